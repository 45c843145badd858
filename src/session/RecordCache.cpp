#include "session/RecordCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "project/Slideshow.h"
#include "session/PathText.h"

namespace kinetar::session {

namespace {

constexpr std::int32_t kBlockRecords = 256;

}  // namespace

std::vector<project::FrameRecord> ReadFrameRecordRange(const std::string& path, std::int32_t first, std::int32_t count)
{
    std::vector<project::FrameRecord> records;
    if (first < 0 || count <= 0) {
        return records;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return records;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * sizeof(project::FrameRecord));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::pread(fd, bytes.data() + got, bytes.size() - got,
                                     static_cast<off_t>(project::FrameRecordOffset(first) + static_cast<off_t>(got)));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            break;
        }
        got += static_cast<std::size_t>(read);
    }
    ::close(fd);
    records.resize(got / sizeof(project::FrameRecord));
    std::memcpy(records.data(), bytes.data(), records.size() * sizeof(project::FrameRecord));
    return records;
}

void ForEachFrameRecord(const std::string& path, const QList<int>& rows,
                        const std::function<void(int row, const project::FrameRecord& record)>& visit)
{
    std::vector<project::FrameRecord> block;
    int blockFirst = -1;
    for (const int row : rows) {
        if (row < 0) {
            continue;
        }
        if (blockFirst < 0 || row < blockFirst || row >= blockFirst + kBlockRecords) {
            blockFirst = row;
            block = ReadFrameRecordRange(path, row, kBlockRecords);
        }
        const auto place = static_cast<std::size_t>(row - blockFirst);
        if (place < block.size()) {
            visit(row, block[place]);
        }
    }
}

void RecordCache::Reset(std::string path)
{
    m_path = std::move(path);
    m_pages.clear();
}

const LineRecord& RecordCache::At(std::int32_t row)
{
    static const LineRecord kEmpty;
    if (row < 0) {
        return kEmpty;
    }
    const std::int32_t first = row - row % kPageRecords;
    auto page = std::find_if(m_pages.begin(), m_pages.end(), [first](const Page& kept) { return kept.First == first; });
    if (page == m_pages.end()) {
        if (m_pages.size() < kPages) {
            page = m_pages.insert(m_pages.end(), Page{});
        } else {
            page = std::min_element(m_pages.begin(), m_pages.end(),
                                    [](const Page& left, const Page& right) { return left.LastUse < right.LastUse; });
        }
        page->First = first;
        page->Lines.clear();
        if (!m_path.empty()) {
            for (const auto& record : ReadFrameRecordRange(m_path, first, kPageRecords)) {
                page->Lines.push_back(
                    {FromNativePath(project::GetText(record.PictureFileName)), project::IsSoundRecord(record)});
            }
        }
    }
    page->LastUse = ++m_clock;
    const auto place = static_cast<std::size_t>(row - first);
    return place < page->Lines.size() ? page->Lines[place] : kEmpty;
}

}  // namespace kinetar::session
