#include "session/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace kinetar::session {

RegularFile OpenRegularFile(const std::string& path, int flags, const std::string& failure)
{
    RegularFile file(path, flags);
    if (file.IsNotRegular() && !file.IsFolder()) {
        throw Error(NotRegularFileMessage(path));
    }
    if (!file.IsOpen()) {
        throw Error(failure + path + ": " + std::strerror(file.OpenError()));
    }
    return file;
}

std::vector<std::uint8_t> ReadRegularFile(const std::string& path, const std::string& failure)
{
    const RegularFile file = OpenRegularFile(path, O_RDONLY, failure);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.Size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(file.Descriptor(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw Error(failure + path + ": " + std::strerror(errno));
        }
        if (got == 0) {
            // Shorter than it was a moment ago: what is there.
            bytes.resize(done);
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

std::optional<FileStamp> StampOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

}  // namespace kinetar::session
