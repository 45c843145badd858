#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kinetar::test {

// One RIFF chunk or list, as found in a file.
struct RiffChunk {
    std::uint32_t Id = 0;
    std::uint32_t ListType = 0;  // for RIFF and LIST, else 0
    std::uint64_t Offset = 0;    // of the chunk's header
    std::uint32_t Size = 0;      // the size field
    std::vector<RiffChunk> Children;

    std::uint64_t DataOffset() const { return Offset + (ListType != 0 ? 12 : 8); }
    // The first child with this id (or, for lists, this list type).
    const RiffChunk* Child(const std::string& fourcc) const;
    std::vector<const RiffChunk*> ChildrenNamed(const std::string& fourcc) const;
};

// Walks the top-level chunks of a file. Every size is checked: a chunk that runs past its parent
// or the file, or a missing pad byte, is reported in *problem and the walk stops.
std::vector<RiffChunk> WalkRiff(std::span<const std::uint8_t> file, std::string* problem);

// A file read and walked: its bytes, its chunks, and what the walk found wrong ("" when nothing).
struct RiffFile {
    std::vector<std::uint8_t> Bytes;
    std::vector<RiffChunk> Chunks;
    std::string Problem;
};
RiffFile WalkRiffFile(const std::string& path);

std::string FourccOf(std::uint32_t id);

}  // namespace kinetar::test
