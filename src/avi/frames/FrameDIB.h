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
//
// A 24-bit frame may instead keep a picture's rows where they are, top row first: compressors read
// rows through DisplayRowData and never copy it, and the bitmap's own rows are only made the first
// time someone asks for Pixels or Block. A frame is used by one thread at a time.
class FrameDIB {
public:
    FrameDIB(std::int32_t width, std::int32_t height, int bitsPerPixel);
    // Takes over the rows of a 24-bit picture.
    explicit FrameDIB(std::unique_ptr<pictures::DecodedPicture> picture);
    // A copy for a compressor that takes the same frame again.
    std::unique_ptr<FrameDIB> Clone() const;
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t Stride() const { return m_stride; }
    std::size_t ImageSize() const { return m_stride * static_cast<std::size_t>(m_height); }
    std::size_t FormatSize() const { return 40 + 4 * m_colors; }
    std::span<const std::uint8_t> Block() const;
    // The header and the colour table: the stream format.
    std::span<const std::uint8_t> Format() const { return {m_block.get(), FormatSize()}; }
    // The rows bottom-up, as a bitmap stores them.
    std::span<const std::uint8_t> Pixels() const;
    std::span<std::uint8_t> Pixels();
    // Row y of the picture as displayed (row 0 at the top), stored bottom-up in the block.
    std::span<std::uint8_t> DisplayRow(std::int32_t y);
    // Where row y as displayed starts, wherever the rows are held, and the step from one displayed
    // row to the next (negative for bottom-up rows); Rows() spans them all.
    const std::uint8_t* DisplayRowData(std::int32_t y) const
    {
        return m_top + DisplayRowStep() * static_cast<std::ptrdiff_t>(y);
    }
    std::ptrdiff_t DisplayRowStep() const
    {
        const auto stride = static_cast<std::ptrdiff_t>(m_stride);
        return m_picture ? stride : -stride;
    }
    std::span<const std::uint8_t> Rows() const
    {
        return {m_picture ? m_top : DisplayRowData(m_height - 1), ImageSize()};
    }

private:
    FrameDIB(std::int32_t width, std::int32_t height, int bitsPerPixel, bool withRows);
    // Gives the block its rows from the picture held, and lets the picture go.
    void MakeBitmap() const;
    std::uint8_t* LastStoredRow() const;

    std::int32_t m_width;
    std::int32_t m_height;
    int m_bitsPerPixel;
    std::size_t m_stride;
    std::size_t m_colors;
    mutable std::unique_ptr<std::uint8_t[]> m_block;
    mutable std::unique_ptr<pictures::DecodedPicture> m_picture;  // rows top first, until MakeBitmap
    mutable const std::uint8_t* m_top = nullptr;                  // displayed row 0
};

// Converts the frame to 1, 4, 8 or 24 bits. The indexed depths use one fixed table each (the
// depth's default palette) and map every pixel to its nearest entry, without dithering, so every
// frame of a stream shares the table of its format.
std::unique_ptr<FrameDIB> GetFrameDIB(const WorkingFrame& frame, int bitsPerPixel);
// The same straight from a 24-bit picture of the frame's size, which fitting would only copy. At
// 24 bits the frame takes the picture's rows over rather than copying them.
std::unique_ptr<FrameDIB> GetFrameDIB(std::unique_ptr<pictures::DecodedPicture> picture, int bitsPerPixel);

}  // namespace kinetar::avi
