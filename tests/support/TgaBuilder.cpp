#include "support/TgaBuilder.h"

namespace kinetar::test {

TgaBuilder& TgaBuilder::Type(std::uint8_t type)
{
    m_type = type;
    return *this;
}

TgaBuilder& TgaBuilder::Id(std::size_t length)
{
    m_id.assign(length, 'i');
    return *this;
}

TgaBuilder& TgaBuilder::ColorMap(std::uint8_t mapType, std::uint16_t first, std::uint16_t length,
                                 std::uint8_t entryBits)
{
    m_mapType = mapType;
    m_first = first;
    m_length = length;
    m_entryBits = entryBits;
    return *this;
}

TgaBuilder& TgaBuilder::Size(std::uint16_t width, std::uint16_t height)
{
    m_width = width;
    m_height = height;
    return *this;
}

TgaBuilder& TgaBuilder::Depth(std::uint8_t depth)
{
    m_depth = depth;
    return *this;
}

TgaBuilder& TgaBuilder::Descriptor(std::uint8_t descriptor)
{
    m_descriptor = descriptor;
    return *this;
}

TgaBuilder& TgaBuilder::Data(std::initializer_list<std::uint8_t> bytes)
{
    m_data.Bytes(bytes);
    return *this;
}

TgaBuilder& TgaBuilder::Data(const std::vector<std::uint8_t>& bytes)
{
    m_data.Bytes(bytes);
    return *this;
}

std::vector<std::uint8_t> TgaBuilder::Build() const
{
    ByteWriter file;
    file.U8(static_cast<std::uint32_t>(m_id.size()))  // image ID length
        .U8(m_mapType)
        .U8(m_type)
        .U16(m_first)
        .U16(m_length)
        .U8(m_entryBits)
        .U16(0)  // x origin
        .U16(0)  // y origin
        .U16(m_width)
        .U16(m_height)
        .U8(m_depth)
        .U8(m_descriptor)
        .Text(m_id)
        .Bytes(m_data.Data());
    return file.Data();
}

}  // namespace kinetar::test
