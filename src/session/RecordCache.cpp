#include "session/RecordCache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "common/ReadAll.h"
#include "common/RegularFile.h"
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
    // Non-blocking and regular files only: a FIFO put in the working copy's place never stalls a list.
    const RegularFile file(path, O_RDONLY);
    if (!file.IsOpen()) {
        return records;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * sizeof(project::FrameRecord));
    const std::size_t got = ReadUpTo(file.Descriptor(), static_cast<std::int64_t>(project::FrameRecordOffset(first)),
                                     bytes.data(), bytes.size());
    records.resize(got / sizeof(project::FrameRecord));
    // Nothing read (a row past the end, as while an undo puts the lines back): no copy from nowhere.
    if (!records.empty()) {
        std::memcpy(records.data(), bytes.data(), records.size() * sizeof(project::FrameRecord));
    }
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
                page->Lines.push_back({FromNativePath(project::GetText(record.PictureFileName)),
                                       project::IsSoundRecord(record), record.Reserved1});
            }
        }
    }
    page->LastUse = ++m_clock;
    const auto place = static_cast<std::size_t>(row - first);
    return place < page->Lines.size() ? page->Lines[place] : kEmpty;
}

}  // namespace kinetar::session
