#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/ProjectFile.h"

namespace kinetar::project {

// Reads the frame records of one project file, one at a time, through a descriptor kept open from
// construction to destruction, so a long run does not open the file once per record.
class FrameRecordReader {
public:
    enum class Reading {
        // Each read sees the file as it is at that moment, as ReadFrameRecord does.
        AsItIsNow,
        // Records come from a block of a few thousand read at once, for a walk through a file that
        // nothing else writes meanwhile: one system call per block instead of per record.
        InBlocks,
    };

    // Opens the file; a path that is not a regular file, or cannot be opened, reads no records.
    explicit FrameRecordReader(const std::string& path, Reading reading = Reading::AsItIsNow);
    FrameRecordReader(const FrameRecordReader&) = delete;
    FrameRecordReader& operator=(const FrameRecordReader&) = delete;
    ~FrameRecordReader();

    bool IsOpen() const { return m_fd >= 0; }
    // The whole records the file held when it was opened; 0 when it is not open.
    std::int64_t Count() const { return m_count; }

    // Record `index`; false, with the record as the caller had it, when there is no whole record there.
    bool Read(std::int32_t index, FrameRecord& record) const;

private:
    bool ReadBlock(std::int32_t first) const;

    int m_fd = -1;
    std::int64_t m_count = 0;
    Reading m_reading;
    mutable std::vector<FrameRecord> m_block;
    mutable std::int32_t m_blockFirst = 0;
};

}  // namespace kinetar::project
