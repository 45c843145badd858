#include "common/ReadAll.h"

#include <unistd.h>

#include <cerrno>
#include <optional>

namespace kinetar {

namespace {

// Reads until the bytes are full or the file ends; from `offset` when there is one.
ReadResult ReadLoop(int fd, std::optional<std::int64_t> offset, std::span<std::uint8_t> bytes)
{
    ReadResult result;
    while (result.Count < bytes.size()) {
        std::uint8_t* const at = bytes.data() + result.Count;
        const std::size_t left = bytes.size() - result.Count;
        const ssize_t got = offset
                                ? ::pread(fd, at, left, static_cast<off_t>(*offset) + static_cast<off_t>(result.Count))
                                : ::read(fd, at, left);
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

}  // namespace

ReadResult ReadAll(int fd, std::span<std::uint8_t> bytes)
{
    return ReadLoop(fd, std::nullopt, bytes);
}

std::size_t ReadUpTo(int fd, std::int64_t offset, void* bytes, std::size_t count)
{
    return ReadLoop(fd, offset, {static_cast<std::uint8_t*>(bytes), count}).Count;
}

}  // namespace kinetar
