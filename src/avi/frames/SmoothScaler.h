#pragma once

#include <cstddef>
#include <cstdint>

namespace kinetar::avi {

// A rectangle of 3-byte pixels: the first pixel, the distance between rows, the size.
struct BgrRegion {
    std::uint8_t* Pixels = nullptr;
    std::size_t Stride = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};
struct ConstBgrRegion {
    const std::uint8_t* Pixels = nullptr;
    std::size_t Stride = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// Scales the source onto the whole target with a bicubic filter that widens as it shrinks (every
// source pixel counts when scaling down). Each colour is filtered on its own, so a flat colour stays
// exactly that colour.
void ScaleSmoothly(const ConstBgrRegion& source, const BgrRegion& target);

}  // namespace kinetar::avi
