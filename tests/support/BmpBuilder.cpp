#include "support/BmpBuilder.h"

#include "pictures/DecodedPicture.h"
#include "support/ByteWriter.h"
#include "support/RgbImage.h"

namespace kinetar::test {

std::vector<std::uint8_t> BmpBuilder::InfoHeader() const
{
    ByteWriter out;
    out.U32(m_infoSize);                                                         // biSize
    out.I32(m_width);                                                            // biWidth
    out.I32(m_height);                                                           // biHeight
    out.U16(1);                                                                  // biPlanes
    out.U16(m_bits);                                                             // biBitCount
    out.U32(m_compression);                                                      // biCompression
    out.U32(m_imageSize.value_or(static_cast<std::uint32_t>(m_pixels.size())));  // biSizeImage
    out.I32(m_xPelsPerMeter);                                                    // biXPelsPerMeter
    out.I32(m_yPelsPerMeter);                                                    // biYPelsPerMeter
    out.U32(m_clrUsed);                                                          // biClrUsed
    out.U32(0);                                                                  // biClrImportant
    if (m_infoSize > 40) {
        out.Zeros(m_infoSize - 40);
    }
    return out.Data();
}

std::vector<std::uint8_t> BmpBuilder::Build() const
{
    const std::size_t pixelOffset = PixelOffset();
    ByteWriter out;
    out.Text("BM");                                                      // bfType
    out.U32(static_cast<std::uint32_t>(pixelOffset + m_pixels.size()));  // bfSize
    out.U32(0);                                                          // bfReserved1, bfReserved2
    out.U32(static_cast<std::uint32_t>(pixelOffset));                    // bfOffBits
    out.Bytes(InfoHeader());
    for (const pictures::PaletteEntry& entry : m_palette) {
        out.U8(entry.Blue).U8(entry.Green).U8(entry.Red).U8(0);
    }
    if (out.Size() < pixelOffset) {
        out.Zeros(pixelOffset - out.Size());
    }
    out.Data().resize(pixelOffset);
    out.Bytes(m_pixels);
    return out.Data();
}

std::vector<std::uint8_t> Bmp24(const RgbImage& image)
{
    const std::size_t stride = pictures::RowStride(image.Width, 24);
    std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(image.Height));
    for (int y = 0; y < image.Height; ++y) {
        std::uint8_t* row = rows.data() + static_cast<std::size_t>(image.Height - 1 - y) * stride;
        for (int x = 0; x < image.Width; ++x) {
            const std::uint32_t color = image.At(x, y);
            row[3 * x] = static_cast<std::uint8_t>(color);
            row[3 * x + 1] = static_cast<std::uint8_t>(color >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(color >> 16);
        }
    }
    return BmpBuilder{}.Size(image.Width, image.Height).Bits(24).Pixels(std::move(rows)).Build();
}

}  // namespace kinetar::test
