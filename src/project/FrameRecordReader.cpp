#include "project/FrameRecordReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/ReadAll.h"
namespace kinetar::project {

namespace {

// 1.2 MB: few enough system calls for a walk through millions of records, little memory.
constexpr std::int32_t kBlockRecords = 4096;

}  // namespace

FrameRecordReader::FrameRecordReader(const std::string& path, Reading reading) : m_reading(reading)
{
    // Not blocking, so a FIFO of that name cannot hold the run up before it is turned away.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status {};
    if (m_fd >= 0 && (::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd >= 0 && status.st_size > kHeaderSize) {
        m_count = (status.st_size - kHeaderSize) / kFrameRecordSize;
    }
}

FrameRecordReader::~FrameRecordReader()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool FrameRecordReader::ReadBlock(std::int32_t first) const
{
    m_block.resize(kBlockRecords);
    const std::size_t got =
        ReadUpTo(m_fd, FrameRecordOffset(first), m_block.data(), m_block.size() * sizeof(FrameRecord));
    m_block.resize(got / sizeof(FrameRecord));
    m_blockFirst = first;
    return !m_block.empty();
}

bool FrameRecordReader::Read(std::int32_t index, FrameRecord& record) const
{
    if (m_fd < 0 || index < 0) {
        return false;
    }
    if (m_reading == Reading::InBlocks) {
        const bool inBlock = index >= m_blockFirst && index - m_blockFirst < static_cast<std::int64_t>(m_block.size());
        if (!inBlock && !ReadBlock(index)) {
            return false;
        }
        record = m_block[static_cast<std::size_t>(index - m_blockFirst)];
        return true;
    }
    FrameRecord read;
    if (ReadUpTo(m_fd, FrameRecordOffset(index), &read, sizeof read) != sizeof read) {
        return false;
    }
    record = read;
    return true;
}

}  // namespace kinetar::project
