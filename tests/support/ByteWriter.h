#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace kinetar::test {

// Builds little-endian test bytes one field at a time; Patch rewrites a field already written, for
// sizes and offsets known only later and for damaging a valid fixture in one place.
class ByteWriter {
public:
    ByteWriter() = default;
    // Goes on from bytes already there.
    explicit ByteWriter(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    ByteWriter& U8(std::uint32_t value);
    ByteWriter& U16(std::uint32_t value);
    ByteWriter& U32(std::uint32_t value);
    ByteWriter& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }
    ByteWriter& Bytes(std::span<const std::uint8_t> bytes);
    ByteWriter& Bytes(std::initializer_list<std::uint8_t> bytes)
    {
        return Bytes(std::span(bytes.begin(), bytes.size()));
    }
    ByteWriter& Text(const std::string& text);
    ByteWriter& Zeros(std::size_t count);

    ByteWriter& PatchU16(std::size_t offset, std::uint32_t value);
    ByteWriter& PatchU32(std::size_t offset, std::uint32_t value);

    std::size_t Size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& Data() const { return m_bytes; }
    std::vector<std::uint8_t>& Data() { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Little-endian fields read back from test bytes.
std::uint16_t LoadU16(std::span<const std::uint8_t> bytes, std::uint64_t offset);
std::uint32_t LoadU32(std::span<const std::uint8_t> bytes, std::uint64_t offset);
std::uint64_t LoadU64(std::span<const std::uint8_t> bytes, std::uint64_t offset);

}  // namespace kinetar::test
