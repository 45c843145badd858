#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "support/ByteWriter.h"

namespace kinetar::test {

// Builds a TGA file: the 18-byte header, the image ID, then the data as given (colour map and
// pixels). The defaults make an uncompressed 2 x 2 picture of 24 bits, bottom row first.
class TgaBuilder {
public:
    TgaBuilder& Type(std::uint8_t type)
    {
        m_type = type;
        return *this;
    }
    // An image ID of this many bytes.
    TgaBuilder& Id(std::size_t length)
    {
        m_id.assign(length, 'i');
        return *this;
    }
    TgaBuilder& ColorMap(std::uint8_t mapType, std::uint16_t first, std::uint16_t length, std::uint8_t entryBits)
    {
        m_mapType = mapType;
        m_first = first;
        m_length = length;
        m_entryBits = entryBits;
        return *this;
    }
    TgaBuilder& Size(std::uint16_t width, std::uint16_t height)
    {
        m_width = width;
        m_height = height;
        return *this;
    }
    TgaBuilder& Depth(std::uint8_t depth)
    {
        m_depth = depth;
        return *this;
    }
    TgaBuilder& Descriptor(std::uint8_t descriptor)
    {
        m_descriptor = descriptor;
        return *this;
    }
    TgaBuilder& Data(std::initializer_list<std::uint8_t> bytes)
    {
        m_data.Bytes(bytes);
        return *this;
    }
    TgaBuilder& Data(const std::vector<std::uint8_t>& bytes)
    {
        m_data.Bytes(bytes);
        return *this;
    }
    std::vector<std::uint8_t> Build() const;

private:
    std::uint8_t m_type = 2;
    std::string m_id;
    std::uint8_t m_mapType = 0;
    std::uint16_t m_first = 0, m_length = 0;
    std::uint8_t m_entryBits = 0;
    std::uint16_t m_width = 2, m_height = 2;
    std::uint8_t m_depth = 24;
    std::uint8_t m_descriptor = 0;
    ByteWriter m_data;
};

}  // namespace kinetar::test
