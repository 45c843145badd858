#pragma once

#include <cstdint>

// Small byte helpers shared by the TGA and GIF readers.
namespace kinetar::pictures {

constexpr std::uint8_t LowNibble(std::uint8_t value)
{
    return static_cast<std::uint8_t>(value & 0x0F);
}
constexpr std::uint8_t HighNibble(std::uint8_t value)
{
    return static_cast<std::uint8_t>(value >> 4);
}
constexpr bool IsBitSet(std::uint8_t value, unsigned bit)
{
    return ((value >> bit) & 1U) != 0;
}

}  // namespace kinetar::pictures
