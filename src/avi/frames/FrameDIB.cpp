#include "avi/frames/FrameDIB.h"

#include <algorithm>
#include <cstring>

#include "avi/frames/BitmapInfoHeader.h"
#include "common/PackedPixels.h"
#include "pictures/Palettes.h"

namespace kinetar::avi {

FrameDIB::FrameDIB(std::int32_t width, std::int32_t height, int bitsPerPixel)
    : FrameDIB(width, height, bitsPerPixel, true)
{
}

FrameDIB::FrameDIB(std::unique_ptr<pictures::DecodedPicture> picture)
    : FrameDIB(picture->Width(), picture->Height(), 24, false)
{
    m_picture = std::move(picture);
    m_top = m_height > 0 ? m_picture->Row(0).data() : nullptr;
}

FrameDIB::FrameDIB(std::int32_t width, std::int32_t height, int bitsPerPixel, bool withRows)
    : m_width(width),
      m_height(height),
      m_bitsPerPixel(bitsPerPixel),
      m_stride(pictures::RowStride(width, bitsPerPixel)),
      m_colors(bitsPerPixel <= 8 ? std::size_t{1} << bitsPerPixel : 0),
      m_block(new std::uint8_t[FormatSize() + (withRows ? ImageSize() : 0)])
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
    m_top = LastStoredRow();
}

std::uint8_t* FrameDIB::LastStoredRow() const
{
    return m_block.get() + FormatSize() + static_cast<std::size_t>(std::max(m_height - 1, 0)) * m_stride;
}

namespace {

const pictures::NearestColorTable& TableFor(int bitsPerPixel)
{
    static const pictures::NearestColorTable mono(pictures::DefaultPalette(1));
    static const pictures::NearestColorTable vga(pictures::DefaultPalette(4));
    static const pictures::NearestColorTable full(pictures::DefaultPalette(8));
    return bitsPerPixel == 1 ? mono : bitsPerPixel == 4 ? vga : full;
}

// Maps rows of blue, green, red pixels, top row first, to the indexes of the depth's table. Each
// byte is gathered in a register and stored once; with the depth fixed per instance and the loop
// over a byte's pixels unrolled, every pixel's shift is a constant.
template <int Bits, typename RowOf>
void ConvertIndexedRows(FrameDIB& dib, RowOf rowOf)
{
    constexpr std::size_t kPerByte = 8 / Bits;
    const auto& table = TableFor(Bits);
    const auto width = static_cast<std::size_t>(dib.Width());
    const std::size_t whole = width / kPerByte;
    const std::size_t rest = width % kPerByte;
    for (std::int32_t y = 0; y < dib.Height(); ++y) {
        const std::uint8_t* source = rowOf(y);
        const auto pack = [&](std::size_t count) {
            std::uint8_t byte = 0;
#pragma GCC unroll 8
            for (std::size_t i = 0; i < count; ++i, source += 3) {
                SetPackedPixel({&byte, 1}, i, Bits, table.Lookup(source[2], source[1], source[0]));
            }
            return byte;
        };
        const auto row = dib.DisplayRow(y);
        for (std::size_t at = 0; at < whole; ++at) {
            row[at] = pack(kPerByte);
        }
        if (rest > 0) {
            row[whole] = pack(rest);
        }
        std::fill(row.begin() + static_cast<std::ptrdiff_t>(whole + (rest > 0 ? 1 : 0)), row.end(), std::uint8_t{0});
    }
}

// Converts rows of blue, green, red pixels, top row first, into a new FrameDIB.
template <typename RowOf>
std::unique_ptr<FrameDIB> ConvertRows(std::int32_t width, std::int32_t height, RowOf rowOf, int bitsPerPixel)
{
    auto dib = std::make_unique<FrameDIB>(width, height, bitsPerPixel);
    switch (bitsPerPixel) {
    case 24: {
        const auto rowBytes = static_cast<std::size_t>(width) * 3;
        for (std::int32_t y = 0; y < height; ++y) {
            const auto row = dib->DisplayRow(y);
            std::memcpy(row.data(), rowOf(y), rowBytes);
            std::fill(row.begin() + static_cast<std::ptrdiff_t>(rowBytes), row.end(), std::uint8_t{0});
        }
        break;
    }
    case 8:
        ConvertIndexedRows<8>(*dib, rowOf);
        break;
    case 4:
        ConvertIndexedRows<4>(*dib, rowOf);
        break;
    default:
        ConvertIndexedRows<1>(*dib, rowOf);
        break;
    }
    return dib;
}

}  // namespace

void FrameDIB::MakeBitmap() const
{
    if (!m_picture) {
        return;
    }
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[FormatSize() + ImageSize()]);
    std::memcpy(block.get(), m_block.get(), FormatSize());
    const auto rowBytes = static_cast<std::size_t>(m_width) * 3;
    for (std::int32_t y = 0; y < m_height; ++y) {
        // Bottom-up, with the padding zero as in every bitmap made here.
        std::uint8_t* row = block.get() + FormatSize() + static_cast<std::size_t>(m_height - 1 - y) * m_stride;
        std::memcpy(row, DisplayRowData(y), rowBytes);
        std::fill(row + rowBytes, row + m_stride, std::uint8_t{0});
    }
    m_block = std::move(block);
    m_picture.reset();
    m_top = LastStoredRow();
}

std::span<const std::uint8_t> FrameDIB::Block() const
{
    MakeBitmap();
    return {m_block.get(), FormatSize() + ImageSize()};
}

std::span<const std::uint8_t> FrameDIB::Pixels() const
{
    MakeBitmap();
    return {m_block.get() + FormatSize(), ImageSize()};
}

std::span<std::uint8_t> FrameDIB::Pixels()
{
    MakeBitmap();
    return {m_block.get() + FormatSize(), ImageSize()};
}

std::span<std::uint8_t> FrameDIB::DisplayRow(std::int32_t y)
{
    MakeBitmap();
    return {m_block.get() + FormatSize() + static_cast<std::size_t>(m_height - 1 - y) * m_stride, m_stride};
}

std::unique_ptr<FrameDIB> FrameDIB::Clone() const
{
    if (m_picture) {
        return std::make_unique<FrameDIB>(std::make_unique<pictures::DecodedPicture>(*m_picture));
    }
    auto copy = std::make_unique<FrameDIB>(m_width, m_height, m_bitsPerPixel);
    std::memcpy(copy->m_block.get(), m_block.get(), FormatSize() + ImageSize());
    return copy;
}

std::unique_ptr<FrameDIB> GetFrameDIB(const WorkingFrame& frame, int bitsPerPixel)
{
    return ConvertRows(
        frame.Width(), frame.Height(), [&frame](std::int32_t y) { return frame.Row(y).data(); }, bitsPerPixel);
}

std::unique_ptr<FrameDIB> GetFrameDIB(std::unique_ptr<pictures::DecodedPicture> picture, int bitsPerPixel)
{
    if (bitsPerPixel == 24 && picture->BitsPerPixel() == 24) {
        return std::make_unique<FrameDIB>(std::move(picture));
    }
    const pictures::DecodedPicture& rows = *picture;
    return ConvertRows(
        rows.Width(), rows.Height(), [&rows](std::int32_t y) { return rows.Row(y).data(); }, bitsPerPixel);
}

}  // namespace kinetar::avi
