#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "avi/frames/FrameFitting.h"
#include "pictures/DecodedPicture.h"

namespace kinetar::avi {

// A converted frame in one block: a 40-byte bitmap info header, the colour table (2, 16 or 256
// entries of blue, green, red, 0; none at 24 bits), then the pixel rows bottom-up, each padded to a
// multiple of 4 bytes.
class FrameDIB {
public:
    FrameDIB(std::int32_t width, std::int32_t height, int bitsPerPixel);
    // A copy for a compressor that takes the same frame again.
    std::unique_ptr<FrameDIB> Clone() const;
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t Stride() const { return m_stride; }
    std::size_t ImageSize() const { return m_stride * static_cast<std::size_t>(m_height); }
    std::size_t FormatSize() const { return 40 + 4 * m_colors; }
    std::span<const std::uint8_t> Block() const { return {m_block.get(), FormatSize() + ImageSize()}; }
    // The header and the colour table: the stream format.
    std::span<const std::uint8_t> Format() const { return {m_block.get(), FormatSize()}; }
    std::span<const std::uint8_t> Pixels() const { return {m_block.get() + FormatSize(), ImageSize()}; }
    std::span<std::uint8_t> Pixels() { return {m_block.get() + FormatSize(), ImageSize()}; }
    // Row y of the picture as displayed (row 0 at the top), stored bottom-up in the block.
    std::span<std::uint8_t> DisplayRow(std::int32_t y)
    {
        return {m_block.get() + FormatSize() + static_cast<std::size_t>(m_height - 1 - y) * m_stride, m_stride};
    }

private:
    std::int32_t m_width;
    std::int32_t m_height;
    int m_bitsPerPixel;
    std::size_t m_stride;
    std::size_t m_colors;
    std::unique_ptr<std::uint8_t[]> m_block;
};

// Converts the frame to 1, 4, 8 or 24 bits. The indexed depths use one fixed table each (the
// depth's default palette) and map every pixel to its nearest entry, without dithering, so every
// frame of a stream shares the table of its format.
std::unique_ptr<FrameDIB> GetFrameDIB(const WorkingFrame& frame, int bitsPerPixel);
// The same straight from a 24-bit picture of the frame's size, which fitting would only copy.
std::unique_ptr<FrameDIB> GetFrameDIB(const pictures::DecodedPicture& picture, int bitsPerPixel);

}  // namespace kinetar::avi
