#pragma once

#include <cstdint>
#include <string>

#include "project/ProjectFile.h"

namespace kinetar::project {

// Reads the frame records of one project file, one at a time, through a descriptor kept open from
// construction to destruction, so a long run does not open the file once per record. Each read
// sees the file as it is at that moment, as ReadFrameRecord does.
class FrameRecordReader {
public:
    // Opens the file; a path that is not a regular file, or cannot be opened, reads no records.
    explicit FrameRecordReader(const std::string& path);
    FrameRecordReader(const FrameRecordReader&) = delete;
    FrameRecordReader& operator=(const FrameRecordReader&) = delete;
    ~FrameRecordReader();

    // Record `index`; false, with the record as the caller had it, when there is no whole record there.
    bool Read(std::int32_t index, FrameRecord& record) const;

private:
    int m_fd = -1;
};

}  // namespace kinetar::project
