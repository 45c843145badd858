#include "ui/RecordSplice.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/Error.h"
#include "common/ReplacingFile.h"
#include "ui/RecordCache.h"

namespace kinetar::ui {

namespace {

// A window of up to this many records (1.2 MB) is rewritten in place.
constexpr std::int32_t kInPlaceRecords = 4096;
constexpr std::int32_t kStreamRecords = 4096;

[[noreturn]] void CantWrite(const std::string& path)
{
    throw Error("Can't write project file " + path);
}

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
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
    if (!file.IsOpen() || !WriteAll(file.Descriptor(), header.Bytes.data(), header.Bytes.size())) {
        CantWrite(path);
    }
    SplicedRecords records(path, splice, 0);
    std::vector<project::FrameRecord> piece;
    piece.reserve(kStreamRecords);
    const std::int32_t countAfter = splice.CountAfter(count);
    for (std::int32_t index = 0; index < countAfter; ++index) {
        piece.push_back(records.Next(index));
        if (piece.size() == kStreamRecords || index + 1 == countAfter) {
            if (!WriteAll(file.Descriptor(), piece.data(), piece.size() * sizeof(project::FrameRecord))) {
                CantWrite(path);
            }
            piece.clear();
        }
    }
    if (!WriteAll(file.Descriptor(), splice.TailAfter.data(), splice.TailAfter.size()) || file.Commit() != 0) {
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
    std::error_code failed;
    region.FileSize = static_cast<std::int64_t>(std::filesystem::file_size(path, failed));
    if (failed) {
        region.FileSize = 0;
        return region;
    }
    const std::int64_t end = length < 0 ? region.FileSize : std::min(region.FileSize, offset + length);
    if (end <= offset) {
        return region;
    }
    region.Bytes.resize(static_cast<std::size_t>(end - offset));
    std::ifstream file(path, std::ios::binary);
    file.seekg(offset);
    file.read(reinterpret_cast<char*>(region.Bytes.data()), static_cast<std::streamsize>(region.Bytes.size()));
    region.Bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return region;
}

void WriteBytesAt(const std::string& path, std::int64_t offset, const std::vector<std::uint8_t>& bytes,
                  std::int64_t size)
{
    {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        if (!file.is_open()) {
            file.open(path, std::ios::binary | std::ios::out);
        }
        file.seekp(offset);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        file.flush();
        if (!file) {
            CantWrite(path);
        }
    }
    std::error_code failed;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size), failed);
    if (failed) {
        CantWrite(path);
    }
}

}  // namespace kinetar::ui
