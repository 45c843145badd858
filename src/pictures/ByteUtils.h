#pragma once

#include <cstdint>

// A flag test shared by the TGA and GIF readers.
namespace kinetar::pictures {

constexpr bool IsBitSet(std::uint8_t value, unsigned bit)
{
    return ((value >> bit) & 1U) != 0;
}

}  // namespace kinetar::pictures
