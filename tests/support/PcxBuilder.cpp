#include "support/PcxBuilder.h"

namespace kinetar::test {

std::vector<std::uint8_t> PcxBuilder::Build() const
{
    ByteWriter file;
    file.U8(10)                                           // maker mark
        .U8(m_version)                                    // version
        .U8(1)                                            // encoding: run-length
        .U8(8)                                            // bits per pixel per plane
        .U16(static_cast<std::uint16_t>(m_left))          // window: left
        .U16(static_cast<std::uint16_t>(m_top))           // top
        .U16(static_cast<std::uint16_t>(m_right))         // right
        .U16(static_cast<std::uint16_t>(m_bottom))        // bottom
        .Zeros(4)                                         // resolution
        .Zeros(48)                                        // 16-colour header palette
        .U8(0)                                            // reserved
        .U8(m_planes)                                     // plane count
        .U16(static_cast<std::uint16_t>(m_bytesPerLine))  // bytes per line of one plane
        .Zeros(60)                                        // palette type, screen size, filler
        .Bytes(m_data.Data())
        .Bytes(m_palette.Data());
    return file.Data();
}

}  // namespace kinetar::test
