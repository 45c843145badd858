#include "support/BmpBuilder.h"

#include "support/TestFiles.h"

namespace kinetar::test {

std::vector<std::uint8_t> BmpBuilder::Build() const
{
    const std::size_t pixelOffset = PixelOffset();
    ByteWriter out;
    out.Text("BM");                                                      // bfType
    out.U32(static_cast<std::uint32_t>(pixelOffset + m_pixels.size()));  // bfSize
    out.U32(0);                                                          // bfReserved1, bfReserved2
    out.U32(static_cast<std::uint32_t>(pixelOffset));                    // bfOffBits
    out.U32(m_infoSize);                                                 // biSize
    out.I32(m_width);                                                    // biWidth
    out.I32(m_height);                                                   // biHeight
    out.U16(1);                                                          // biPlanes
    out.U16(m_bits);                                                     // biBitCount
    out.U32(m_compression);                                              // biCompression
    out.U32(static_cast<std::uint32_t>(m_pixels.size()));                // biSizeImage
    out.U32(2835).U32(2835);                                             // resolution
    out.U32(m_clrUsed);                                                  // biClrUsed
    out.U32(0);                                                          // biClrImportant
    if (m_infoSize > 40) {
        out.Zeros(m_infoSize - 40);
    }
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

}  // namespace kinetar::test
