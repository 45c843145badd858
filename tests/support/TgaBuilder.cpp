#include "support/TgaBuilder.h"

namespace kinetar::test {

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
