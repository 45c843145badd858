#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "project/ProjectFile.h"

namespace kinetar::session {

// Records taken out of a project file and records put in, which shifts the ones between: a removal,
// a move, or the undoing of either. Only what leaves and what arrives is kept, so undoing an edit of
// a large file holds no more than that edit's records.
struct RecordSplice {
    using Records = std::vector<std::pair<std::int32_t, project::FrameRecord>>;
    Records Removed;   // the index each had before, ascending
    Records Inserted;  // the index each has after, ascending
    // The bytes past the last whole record, before and after.
    std::vector<std::uint8_t> TailBefore, TailAfter;

    RecordSplice Inverse() const { return {Inserted, Removed, TailAfter, TailBefore}; }
    std::int32_t CountAfter(std::int32_t countBefore) const
    {
        return countBefore - static_cast<std::int32_t>(Removed.size()) + static_cast<std::int32_t>(Inserted.size());
    }
};

// Applies the splice to the `count` records of the file. A change that keeps the count within a
// small stretch (a move of a few lines) is written in place; any other rewrites the file beside
// itself, so a failure leaves it whole. Raises an Error when it cannot.
void ApplySplice(const std::string& path, std::int32_t count, const RecordSplice& splice);

// The bytes of a file from `offset` on, at most `length` (to the end: -1), and the file's size.
struct FileRegion {
    std::int64_t Offset = 0;
    std::vector<std::uint8_t> Bytes;
    std::int64_t FileSize = 0;
};
FileRegion ReadRegion(const std::string& path, std::int64_t offset, std::int64_t length);

// Writes `bytes` at `offset` and ends the file at `size`; raises an Error when it cannot.
void WriteBytesAt(const std::string& path, std::int64_t offset, const std::vector<std::uint8_t>& bytes,
                  std::int64_t size);

}  // namespace kinetar::session
