#include "support/ByteWriter.h"

#include <stdexcept>

namespace kinetar::test {

ByteWriter& ByteWriter::U8(std::uint32_t value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    return *this;
}

ByteWriter& ByteWriter::U16(std::uint32_t value)
{
    return U8(value & 0xFF).U8((value >> 8) & 0xFF);
}

ByteWriter& ByteWriter::U32(std::uint32_t value)
{
    return U16(value & 0xFFFF).U16(value >> 16);
}

ByteWriter& ByteWriter::Bytes(std::span<const std::uint8_t> bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ByteWriter& ByteWriter::Text(const std::string& text)
{
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    return *this;
}

ByteWriter& ByteWriter::Zeros(std::size_t count)
{
    m_bytes.insert(m_bytes.end(), count, 0);
    return *this;
}

ByteWriter& ByteWriter::PatchU16(std::size_t offset, std::uint32_t value)
{
    if (offset + 2 > m_bytes.size()) {
        throw std::out_of_range("patch past the end of the bytes written");
    }
    m_bytes[offset] = static_cast<std::uint8_t>(value);
    m_bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    return *this;
}

ByteWriter& ByteWriter::PatchU32(std::size_t offset, std::uint32_t value)
{
    return PatchU16(offset, value & 0xFFFF).PatchU16(offset + 2, value >> 16);
}

std::uint16_t LoadU16(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t LoadU32(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return LoadU16(bytes, offset) | static_cast<std::uint32_t>(LoadU16(bytes, offset + 2)) << 16;
}

std::uint64_t LoadU64(std::span<const std::uint8_t> bytes, std::uint64_t offset)
{
    return LoadU32(bytes, offset) | static_cast<std::uint64_t>(LoadU32(bytes, offset + 4)) << 32;
}

}  // namespace kinetar::test
