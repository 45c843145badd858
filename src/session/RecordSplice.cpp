#include "session/RecordSplice.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/Error.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "common/ReplacingFile.h"
#include "common/WriteAll.h"
#include "session/FileAccess.h"
#include "session/RecordCache.h"

namespace kinetar::session {

namespace {

// A window of up to this many records (1.2 MB) is rewritten in place.
constexpr std::int32_t kInPlaceRecords = 4096;
constexpr std::int32_t kStreamRecords = 4096;

[[noreturn]] void CantWrite(const std::string& path)
{
    throw Error("Can't write project file " + path);
}

// Appends the bytes at `offset` and moves it past them; raises the write error naming the path.
void Append(const ReplacingFile& file, std::int64_t& offset, const void* data, std::size_t size)
{
    if (WriteAll(file.Descriptor(), offset, {static_cast<const std::uint8_t*>(data), size}) != 0) {
        CantWrite(file.Target());
    }
    offset += static_cast<std::int64_t>(size);
}

// The records of the spliced file in order: an inserted one where its index comes, else the next
// old record that stays.
class SplicedRecords {
public:
    SplicedRecords(const std::string& path, const RecordSplice& splice, std::int32_t firstOld)
        : m_path(path), m_splice(splice), m_nextOld(firstOld)
    {
    }

    project::FrameRecord Next(std::int32_t index)
    {
        if (m_inserted < m_splice.Inserted.size() && m_splice.Inserted[m_inserted].first == index) {
            return m_splice.Inserted[m_inserted++].second;
        }
        while (m_removed < m_splice.Removed.size() && m_splice.Removed[m_removed].first == m_nextOld) {
            ++m_removed;
            ++m_nextOld;
        }
        const std::int32_t old = m_nextOld++;
        if (old < m_blockFirst || old >= m_blockFirst + static_cast<std::int32_t>(m_block.size())) {
            m_blockFirst = old;
            m_block = ReadFrameRecordRange(m_path, old, kStreamRecords);
            if (m_block.empty()) {
                throw Error("Can't read project file " + m_path);
            }
        }
        return m_block[static_cast<std::size_t>(old - m_blockFirst)];
    }

private:
    const std::string& m_path;
    const RecordSplice& m_splice;
    std::int32_t m_nextOld;
    std::size_t m_inserted = 0;
    std::size_t m_removed = 0;
    std::int32_t m_blockFirst = 0;
    std::vector<project::FrameRecord> m_block;
};

void RewriteBeside(const std::string& path, std::int32_t count, const RecordSplice& splice)
{
    const FileRegion header = ReadRegion(path, 0, project::kHeaderSize);
    ReplacingFile file(path, ReplacingFile::Permissions::KeepDestination);
    if (!file.UnsafeLink().empty()) {
        throw Error(UnsafeLinkMessage(file.UnsafeLink()));
    }
    if (!file.IsOpen()) {
        CantWrite(path);
    }
    std::int64_t offset = 0;
    Append(file, offset, header.Bytes.data(), header.Bytes.size());
    SplicedRecords records(path, splice, 0);
    std::vector<project::FrameRecord> piece;
    piece.reserve(kStreamRecords);
    const std::int32_t countAfter = splice.CountAfter(count);
    for (std::int32_t index = 0; index < countAfter; ++index) {
        piece.push_back(records.Next(index));
        if (piece.size() == kStreamRecords || index + 1 == countAfter) {
            Append(file, offset, piece.data(), piece.size() * sizeof(project::FrameRecord));
            piece.clear();
        }
    }
    Append(file, offset, splice.TailAfter.data(), splice.TailAfter.size());
    if (file.Commit() != 0) {
        CantWrite(path);
    }
}

}  // namespace

void ApplySplice(const std::string& path, std::int32_t count, const RecordSplice& splice)
{
    if (splice.Removed.empty() && splice.Inserted.empty() && splice.TailBefore == splice.TailAfter) {
        return;
    }
    if (splice.Removed.size() == splice.Inserted.size() && splice.TailBefore == splice.TailAfter &&
        !splice.Removed.empty()) {
        const std::int32_t first = std::min(splice.Removed.front().first, splice.Inserted.front().first);
        const std::int32_t last = std::max(splice.Removed.back().first, splice.Inserted.back().first);
        if (last - first < kInPlaceRecords) {
            SplicedRecords records(path, splice, first);
            std::vector<project::FrameRecord> window;
            for (std::int32_t index = first; index <= last; ++index) {
                window.push_back(records.Next(index));
            }
            if (!project::WriteFrameRecords(path, first, window)) {
                CantWrite(path);
            }
            return;
        }
    }
    RewriteBeside(path, count, splice);
}

FileRegion ReadRegion(const std::string& path, std::int64_t offset, std::int64_t length)
{
    FileRegion region;
    region.Offset = offset;
    const RegularFile file(path, O_RDONLY);
    if (!file.IsOpen()) {
        return region;
    }
    region.FileSize = file.Size();
    const std::int64_t end = length < 0 ? region.FileSize : std::min(region.FileSize, offset + length);
    if (end <= offset) {
        return region;
    }
    region.Bytes.resize(static_cast<std::size_t>(end - offset));
    const std::size_t done = ReadUpTo(file.Descriptor(), offset, region.Bytes.data(), region.Bytes.size());
    region.Bytes.resize(done);
    return region;
}

void WriteBytesAt(const std::string& path, std::int64_t offset, const std::vector<std::uint8_t>& bytes,
                  std::int64_t size)
{
    const RegularFile file = OpenRegularFile(path, O_RDWR | O_CREAT, "Can't write project file ");
    if (WriteAll(file.Descriptor(), offset, bytes) != 0 ||
        ::ftruncate(file.Descriptor(), static_cast<off_t>(size)) != 0) {
        CantWrite(path);
    }
}

}  // namespace kinetar::session
