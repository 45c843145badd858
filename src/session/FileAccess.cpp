#include "session/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Error.h"
#include "common/ReadAll.h"

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
    const ReadResult read = ReadAll(file.Descriptor(), bytes);
    if (read.Error != 0) {
        throw Error(failure + path + ": " + std::strerror(read.Error));
    }
    // Shorter than it was a moment ago: what is there.
    bytes.resize(read.Count);
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
