#pragma once

#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/ProjectFile.h"

namespace kinetar::session {

// What a line needs of its record.
struct LineRecord {
    QString Picture;  // the path, or a caption's or a title's words
    bool Sound = false;
    std::uint8_t Kind = 0;  // the record's kind byte: picture, sound, caption or title
};

// The records of a working copy read when a line is asked for, a page at a time. A list paints the
// same few lines again and again, so the pages read last are kept; the rest of a large file is never
// held.
class RecordCache {
public:
    static constexpr std::int32_t kPageRecords = 64;
    static constexpr std::size_t kPages = 16;

    // Reads from this file from now on; empty: no file, every record empty.
    void Reset(std::string path);
    // Forgets what was read, as the file has changed.
    void Forget() { m_pages.clear(); }
    // A record past the file's end reads as an empty one.
    const LineRecord& At(std::int32_t row);
    // How many records are held.
    std::size_t Size() const { return m_pages.size() * static_cast<std::size_t>(kPageRecords); }

private:
    struct Page {
        std::int32_t First = 0;
        std::vector<LineRecord> Lines;
        std::uint64_t LastUse = 0;
    };

    std::string m_path;
    std::vector<Page> m_pages;
    std::uint64_t m_clock = 0;
};

// Records `first` to `first + count - 1` of a project file; fewer when the file ends before.
std::vector<project::FrameRecord> ReadFrameRecordRange(const std::string& path, std::int32_t first, std::int32_t count);
// Calls `visit` for each of the rows (ascending) whose record can be read, reading the file a block at
// a time rather than once per row or all at once.
void ForEachFrameRecord(const std::string& path, const QList<int>& rows,
                        const std::function<void(int row, const project::FrameRecord& record)>& visit);

}  // namespace kinetar::session
