#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// Little-endian loads and stores over bytes in memory: every file format here stores its numbers
// that way, whatever the host's order.
namespace kinetar {

constexpr std::uint16_t LoadLE16(std::span<const std::uint8_t> bytes, std::size_t at = 0)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

constexpr std::uint32_t LoadLE32(std::span<const std::uint8_t> bytes, std::size_t at = 0)
{
    return std::uint32_t{bytes[at]} | (std::uint32_t{bytes[at + 1]} << 8) | (std::uint32_t{bytes[at + 2]} << 16) |
           (std::uint32_t{bytes[at + 3]} << 24);
}

constexpr std::uint64_t LoadLE64(std::span<const std::uint8_t> bytes, std::size_t at = 0)
{
    return std::uint64_t{LoadLE32(bytes, at)} | (std::uint64_t{LoadLE32(bytes, at + 4)} << 32);
}

constexpr void StoreLE16(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value)
{
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void StoreLE32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

constexpr void StoreLE64(std::span<std::uint8_t> bytes, std::size_t at, std::uint64_t value)
{
    StoreLE32(bytes, at, static_cast<std::uint32_t>(value));
    StoreLE32(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

}  // namespace kinetar
