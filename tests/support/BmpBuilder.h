#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "pictures/Palettes.h"

namespace kinetar::test {

struct RgbImage;

// Builds a BMP file field by field: a 14-byte file header, an information header of InfoSize bytes
// (only the first 40 are filled; the rest is zero), the colour table, then the pixel bytes as given.
class BmpBuilder {
public:
    BmpBuilder& Size(std::int32_t width, std::int32_t height)
    {
        m_width = width;
        m_height = height;
        return *this;
    }
    BmpBuilder& Bits(std::uint16_t bits)
    {
        m_bits = bits;
        return *this;
    }
    BmpBuilder& Compression(std::uint32_t compression)
    {
        m_compression = compression;
        return *this;
    }
    BmpBuilder& ClrUsed(std::uint32_t count)
    {
        m_clrUsed = count;
        return *this;
    }
    BmpBuilder& InfoSize(std::uint32_t size)
    {
        m_infoSize = size;
        return *this;
    }
    BmpBuilder& Palette(std::vector<pictures::PaletteEntry> entries)
    {
        m_palette = std::move(entries);
        return *this;
    }
    BmpBuilder& OffBits(std::uint32_t offset)
    {
        m_offBits = offset;
        return *this;
    }
    BmpBuilder& Pixels(std::vector<std::uint8_t> bytes)
    {
        m_pixels = std::move(bytes);
        return *this;
    }
    // biSizeImage; unless given, the size of the pixel bytes.
    BmpBuilder& ImageSize(std::uint32_t size)
    {
        m_imageSize = size;
        return *this;
    }
    BmpBuilder& Resolution(std::int32_t xPelsPerMeter, std::int32_t yPelsPerMeter)
    {
        m_xPelsPerMeter = xPelsPerMeter;
        m_yPelsPerMeter = yPelsPerMeter;
        return *this;
    }
    std::vector<std::uint8_t> Build() const;
    // The information header alone, as video streams carry it.
    std::vector<std::uint8_t> InfoHeader() const;
    // Where the colour table starts and where the pixels start in the built file.
    std::size_t PaletteOffset() const { return 14 + std::max<std::size_t>(m_infoSize, 40); }
    std::size_t PixelOffset() const
    {
        return m_offBits.value_or(static_cast<std::uint32_t>(PaletteOffset() + 4 * m_palette.size()));
    }

private:
    std::int32_t m_width = 1;
    std::int32_t m_height = 1;
    std::uint16_t m_bits = 24;
    std::uint32_t m_compression = 0;
    std::uint32_t m_clrUsed = 0;
    std::uint32_t m_infoSize = 40;
    std::vector<pictures::PaletteEntry> m_palette;
    std::optional<std::uint32_t> m_offBits;
    std::vector<std::uint8_t> m_pixels;
    std::optional<std::uint32_t> m_imageSize;
    std::int32_t m_xPelsPerMeter = 2835;
    std::int32_t m_yPelsPerMeter = 2835;
};

// A 24-bit bitmap of the image, rows stored bottom-up.
std::vector<std::uint8_t> Bmp24(const RgbImage& image);

}  // namespace kinetar::test
