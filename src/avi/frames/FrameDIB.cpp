#include "avi/frames/FrameDIB.h"

#include <algorithm>
#include <cstring>

#include "avi/frames/BitmapInfoHeader.h"
#include "pictures/Palettes.h"

namespace kinetar::avi {

FrameDIB::FrameDIB(std::int32_t width, std::int32_t height, int bitsPerPixel)
    : m_width(width),
      m_height(height),
      m_bitsPerPixel(bitsPerPixel),
      m_stride(pictures::RowStride(width, bitsPerPixel)),
      m_colors(bitsPerPixel <= 8 ? std::size_t{1} << bitsPerPixel : 0),
      m_block(new std::uint8_t[FormatSize() + ImageSize()])
{
    // The pixel rows are left for the conversion to fill, padding included.
    std::fill(m_block.get(), m_block.get() + FormatSize(), std::uint8_t{0});
    BitmapInfoHeader header;
    header.Width = width;
    header.Height = height;
    header.BitCount = static_cast<std::uint16_t>(bitsPerPixel);
    header.SizeImage = static_cast<std::uint32_t>(ImageSize());
    header.ClrUsed = static_cast<std::uint32_t>(m_colors);
    header.Write({m_block.get(), FormatSize()});
    if (m_colors > 0) {
        const auto table = pictures::DefaultPalette(bitsPerPixel);
        for (std::size_t i = 0; i < m_colors && i < table.size(); ++i) {
            m_block[40 + 4 * i] = table[i].Blue;
            m_block[40 + 4 * i + 1] = table[i].Green;
            m_block[40 + 4 * i + 2] = table[i].Red;
        }
    }
}

namespace {

const pictures::NearestColorTable& TableFor(int bitsPerPixel)
{
    static const pictures::NearestColorTable mono(pictures::DefaultPalette(1));
    static const pictures::NearestColorTable vga(pictures::DefaultPalette(4));
    static const pictures::NearestColorTable full(pictures::DefaultPalette(8));
    return bitsPerPixel == 1 ? mono : bitsPerPixel == 4 ? vga : full;
}

// Converts rows of blue, green, red pixels, top row first, into a new FrameDIB.
template <typename RowOf>
std::unique_ptr<FrameDIB> ConvertRows(std::int32_t width, std::int32_t height, RowOf rowOf, int bitsPerPixel)
{
    auto dib = std::make_unique<FrameDIB>(width, height, bitsPerPixel);
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    if (bitsPerPixel == 24) {
        for (std::int32_t y = 0; y < height; ++y) {
            const auto row = dib->DisplayRow(y);
            std::memcpy(row.data(), rowOf(y), rowBytes);
            std::fill(row.begin() + static_cast<std::ptrdiff_t>(rowBytes), row.end(), std::uint8_t{0});
        }
        return dib;
    }
    const auto& table = TableFor(bitsPerPixel);
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* source = rowOf(y);
        const auto row = dib->DisplayRow(y);
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        std::uint8_t* target = row.data();
        for (std::int32_t x = 0; x < width; ++x, source += 3) {
            const std::uint8_t index = table.Lookup(source[2], source[1], source[0]);
            const auto column = static_cast<std::size_t>(x);
            if (bitsPerPixel == 8) {
                target[column] = index;
            } else if (bitsPerPixel == 4) {
                target[column / 2] =
                    static_cast<std::uint8_t>(target[column / 2] | (column % 2 == 0 ? index << 4 : index));
            } else {
                target[column / 8] = static_cast<std::uint8_t>(target[column / 8] | (index << (7 - column % 8)));
            }
        }
    }
    return dib;
}

}  // namespace

std::unique_ptr<FrameDIB> GetFrameDIB(const WorkingFrame& frame, int bitsPerPixel)
{
    return ConvertRows(
        frame.Width(), frame.Height(), [&frame](std::int32_t y) { return frame.Row(y).data(); }, bitsPerPixel);
}

std::unique_ptr<FrameDIB> GetFrameDIB(const pictures::DecodedPicture& picture, int bitsPerPixel)
{
    return ConvertRows(
        picture.Width(), picture.Height(), [&picture](std::int32_t y) { return picture.Row(y).data(); }, bitsPerPixel);
}

}  // namespace kinetar::avi
