#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>

// Pixels of 1, 2, 4 or 8 bits packed into the bytes of a row, the leftmost pixel in the high bits,
// as bitmaps store indexed pixels. Shifts instead of a switch on the depth: a caller's loop with a
// fixed depth folds them away, and one with a varying depth takes no branch per pixel.
namespace kinetar {

namespace packed_pixels_detail {

// Where pixel x sits: its byte, how far right its bits are, and a mask of its width.
struct Place {
    std::size_t Byte;
    unsigned Shift;
    unsigned Mask;
};

constexpr Place PlaceOf(std::size_t x, int bitsPerPixel)
{
    const auto bits = static_cast<unsigned>(bitsPerPixel);
    const std::size_t first = x * bits;
    return {first / 8, 8U - bits - static_cast<unsigned>(first % 8), (1U << bits) - 1U};
}

}  // namespace packed_pixels_detail

// Pixel x of a packed row; x is a column of any integer type, never negative.
template <std::integral Index>
constexpr std::uint8_t PackedPixel(std::span<const std::uint8_t> row, Index x, int bitsPerPixel)
{
    const auto place = packed_pixels_detail::PlaceOf(static_cast<std::size_t>(x), bitsPerPixel);
    return static_cast<std::uint8_t>((row[place.Byte] >> place.Shift) & place.Mask);
}

// Sets pixel x of a packed row to the low bits of value and leaves its neighbours as they were.
template <std::integral Index>
constexpr void SetPackedPixel(std::span<std::uint8_t> row, Index x, int bitsPerPixel, std::uint8_t value)
{
    const auto place = packed_pixels_detail::PlaceOf(static_cast<std::size_t>(x), bitsPerPixel);
    std::uint8_t& byte = row[place.Byte];
    byte = static_cast<std::uint8_t>((byte & ~(place.Mask << place.Shift)) | ((value & place.Mask) << place.Shift));
}

}  // namespace kinetar
