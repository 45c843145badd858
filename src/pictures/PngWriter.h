#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kinetar::pictures {

// A 24-bit PNG of the pixels: blue, green, red bytes, rows top first, rowBytes apart. Throws
// Error when the library cannot make it (memory).
std::vector<std::uint8_t> EncodePng(const std::uint8_t* pixels, std::size_t rowBytes, std::int32_t width,
                                    std::int32_t height);

}  // namespace kinetar::pictures
