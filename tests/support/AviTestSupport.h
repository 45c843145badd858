#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/TestFiles.h"

namespace kinetar::test {

// Bitmap files for test pictures. Rows are given top first; the files store them bottom-up.
std::vector<std::uint8_t> Bmp24(const RgbImage& image);
// Indexed: one palette index per pixel, packed at 1, 4 or 8 bits.
std::vector<std::uint8_t> BmpIndexed(int width, int height, int bitsPerPixel,
                                     const std::vector<std::array<std::uint8_t, 3>>& palette,
                                     const std::vector<std::uint8_t>& indices);
// A picture of one colour, 0xRRGGBB.
RgbImage SolidImage(int width, int height, std::uint32_t color);
// Every pixel a different colour, so that misplaced rows and columns show.
RgbImage GradientImage(int width, int height, int seed = 0);

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
std::string FourccOf(std::uint32_t id);
std::uint32_t LoadU32(std::span<const std::uint8_t> bytes, std::uint64_t offset);
std::uint16_t LoadU16(std::span<const std::uint8_t> bytes, std::uint64_t offset);
std::uint64_t LoadU64(std::span<const std::uint8_t> bytes, std::uint64_t offset);

// What ffprobe, an independent reader, finds in a video file.
struct ProbedPacket {
    std::int64_t Pts = 0;
    std::int64_t Size = 0;
    bool Key = false;
};
struct ProbedVideo {
    std::string Codec;
    std::string PixelFormat;
    int Width = 0;
    int Height = 0;
    std::string FrameRate;          // "8/1"
    std::int64_t HeaderFrames = 0;  // nb_frames
    std::int64_t CountedFrames = 0; // nb_read_frames (decoded)
    std::vector<ProbedPacket> Packets;
};
std::optional<ProbedVideo> Probe(const std::string& path, bool withPackets = true);
// Every frame ffmpeg decodes, as RGB.
std::optional<std::vector<RgbImage>> DecodeVideoFrames(const std::string& path);

}  // namespace kinetar::test
