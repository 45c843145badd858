#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "support/ByteWriter.h"

namespace kinetar::test {

// Builds a PCX file: the 128-byte header, the packed lines as given, and for one plane the palette
// block. The defaults make a version-5 file of one plane, 8 bits, run-length encoded.
class PcxBuilder {
public:
    PcxBuilder& Version(std::uint8_t version)
    {
        m_version = version;
        return *this;
    }
    PcxBuilder& Window(std::int16_t left, std::int16_t top, std::int16_t right, std::int16_t bottom)
    {
        m_left = left;
        m_top = top;
        m_right = right;
        m_bottom = bottom;
        return *this;
    }
    PcxBuilder& Planes(std::uint8_t planes)
    {
        m_planes = planes;
        return *this;
    }
    PcxBuilder& BytesPerLine(std::int16_t bytes)
    {
        m_bytesPerLine = bytes;
        return *this;
    }
    PcxBuilder& Data(std::initializer_list<std::uint8_t> bytes)
    {
        m_data.Bytes(bytes);
        return *this;
    }
    // The 769-byte block after the data: the marker (12 unless given), then entry i grey level i.
    PcxBuilder& Palette(std::uint8_t marker = 12)
    {
        m_palette.U8(marker);
        for (std::uint32_t i = 0; i < 256; ++i) {
            m_palette.U8(i).U8(i).U8(i);
        }
        return *this;
    }
    std::vector<std::uint8_t> Build() const;

private:
    std::uint8_t m_version = 5;
    std::int16_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
    std::uint8_t m_planes = 1;
    std::int16_t m_bytesPerLine = 2;
    ByteWriter m_data;
    ByteWriter m_palette;
};

}  // namespace kinetar::test
