#include "project/FrameRecordReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kinetar::project {

FrameRecordReader::FrameRecordReader(const std::string& path)
{
    // Not blocking, so a FIFO of that name cannot hold the run up before it is turned away.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (m_fd >= 0 && (::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FrameRecordReader::~FrameRecordReader()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FrameRecordReader::Read(std::int32_t index, FrameRecord& record) const
{
    if (m_fd < 0 || index < 0) {
        return false;
    }
    FrameRecord read;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&read);
    std::size_t done = 0;
    while (done < sizeof read) {
        const ssize_t got = ::pread(m_fd, bytes + done, sizeof read - done,
                                    static_cast<off_t>(FrameRecordOffset(index)) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    record = read;
    return true;
}

}  // namespace kinetar::project
