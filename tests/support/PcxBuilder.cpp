#include "support/PcxBuilder.h"

namespace kinetar::test {

PcxBuilder& PcxBuilder::Version(std::uint8_t version)
{
    m_version = version;
    return *this;
}

PcxBuilder& PcxBuilder::Window(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom)
{
    m_left = left;
    m_top = top;
    m_right = right;
    m_bottom = bottom;
    return *this;
}

PcxBuilder& PcxBuilder::Planes(std::uint8_t planes)
{
    m_planes = planes;
    return *this;
}

PcxBuilder& PcxBuilder::BytesPerLine(std::int16_t bytes)
{
    m_bytesPerLine = bytes;
    return *this;
}

PcxBuilder& PcxBuilder::Data(std::initializer_list<std::uint8_t> bytes)
{
    m_data.Bytes(bytes);
    return *this;
}

PcxBuilder& PcxBuilder::Palette(std::uint8_t marker)
{
    m_palette.U8(marker);
    for (std::uint32_t i = 0; i < 256; ++i) {
        m_palette.U8(i).U8(i).U8(i);
    }
    return *this;
}

std::vector<std::uint8_t> PcxBuilder::Build() const
{
    ByteWriter file;
    file.U8(10)                                   // maker mark
        .U8(m_version)                            // version
        .U8(1)                                    // encoding: run-length
        .U8(8)                                    // bits per pixel per plane
        .U16(static_cast<std::uint16_t>(m_left))  // window: left, top, right, bottom
        .U16(static_cast<std::uint16_t>(m_top))
        .U16(static_cast<std::uint16_t>(m_right))
        .U16(static_cast<std::uint16_t>(m_bottom))
        .Zeros(4)      // resolution
        .Zeros(48)     // 16-colour header palette
        .U8(0)         // reserved
        .U8(m_planes)  // plane count
        .U16(static_cast<std::uint16_t>(m_bytesPerLine))
        .Zeros(60)  // palette type, screen size, filler
        .Bytes(m_data.Data())
        .Bytes(m_palette.Data());
    return file.Data();
}

}  // namespace kinetar::test
