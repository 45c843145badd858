#pragma once

#include <cstdint>
#include <vector>

namespace kinetar::pictures {
class DecodedPicture;
}

namespace kinetar::test {

// Every pixel as 0xRRGGBB, top row first, left to right.
std::vector<std::uint32_t> PixelColors(const pictures::DecodedPicture& picture);

}  // namespace kinetar::test
