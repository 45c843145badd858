#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kinetar::avi {

// BITMAPINFOHEADER (Windows GDI, 40 bytes, little-endian): the frame format handed to the
// compressors and, with a compressor's fourcc, the stream format of the file.
struct BitmapInfoHeader {
    std::uint32_t Size = kSize;  // of the header alone; codec data behind it counts in
    std::int32_t Width = 0;
    std::int32_t Height = 0;  // positive: rows bottom-up
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;  // 0 uncompressed, 1 RLE8, 2 RLE4, or a fourcc
    std::uint32_t SizeImage = 0;
    std::int32_t XPelsPerMeter = 0;
    std::int32_t YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t ClrImportant = 0;

    static constexpr std::size_t kSize = 40;

    // Nullopt when the bytes are shorter than the header.
    static std::optional<BitmapInfoHeader> Parse(std::span<const std::uint8_t> bytes);
    // Writes the 40 bytes at the start of bytes, which must hold them.
    void Write(std::span<std::uint8_t> bytes) const;
};

}  // namespace kinetar::avi
