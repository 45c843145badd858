#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kinetar {

std::string NotRegularFileMessage(const std::string& path)
{
    return path + " is not a regular file";
}

RegularFile::RegularFile(const std::string& path, int flags, mode_t mode)
{
    struct stat status {};
    // Looked at before the open: opening a device can have effects of its own (a tape rewinds).
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        Refuse(status.st_mode);
        return;
    }
    m_fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
    if (m_fd < 0) {
        m_error = errno;
        // A socket, or a FIFO opened for writing without a reader, that took the name meanwhile.
        if (m_error == ENXIO && ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            Refuse(status.st_mode);
        }
        return;
    }
    // The name may have changed hands since it was looked at; the descriptor tells the truth.
    if (::fstat(m_fd, &status) != 0) {
        m_error = errno;
        ::close(std::exchange(m_fd, -1));
        return;
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(std::exchange(m_fd, -1));
        Refuse(status.st_mode);
        return;
    }
    m_size = static_cast<std::int64_t>(status.st_size);
    const int current = ::fcntl(m_fd, F_GETFL);
    if (current >= 0) {
        (void)::fcntl(m_fd, F_SETFL, current & ~O_NONBLOCK);
    }
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(other.m_error), m_type(other.m_type), m_size(other.m_size)
{
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool RegularFile::IsFolder() const
{
    return IsNotRegular() && S_ISDIR(m_type);
}

void RegularFile::Refuse(mode_t mode)
{
    m_type = mode & S_IFMT;
    m_error = S_ISDIR(mode) ? EISDIR : EINVAL;
}

}  // namespace kinetar
