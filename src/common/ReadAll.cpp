#include "common/ReadAll.h"

#include <unistd.h>

#include <cerrno>

namespace kinetar {

ReadResult ReadAll(int fd, std::span<std::uint8_t> bytes)
{
    ReadResult result;
    while (result.Count < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + result.Count, bytes.size() - result.Count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.Error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        result.Count += static_cast<std::size_t>(got);
    }
    return result;
}

}  // namespace kinetar
