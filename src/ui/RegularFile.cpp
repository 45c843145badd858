#include "ui/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace kinetar::ui {

RegularFile::RegularFile(const std::string& path, int flags, const std::string& failure)
{
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer; it is dropped again below, so
    // the reads and writes of a regular file behave as usual.
    m_fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (m_fd < 0) {
        throw Error(failure + path + ": " + std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(m_fd, &status) != 0) {
        const int error = errno;
        ::close(m_fd);
        throw Error(failure + path + ": " + std::strerror(error));
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(m_fd);
        throw Error(NotRegularText(path));
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_size = status.st_size;
}

RegularFile::~RegularFile()
{
    ::close(m_fd);
}

std::string NotRegularText(const std::string& path)
{
    return path + " is not a regular file";
}

std::vector<std::uint8_t> ReadRegularFile(const std::string& path, const std::string& failure)
{
    const RegularFile file(path, O_RDONLY, failure);
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

}  // namespace kinetar::ui
