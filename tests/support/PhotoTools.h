#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/RgbImage.h"

namespace kinetar::test {

// Peak signal-to-noise ratio in dB over every channel; 99 for equal images, 0 when the sizes differ.
double Psnr(const RgbImage& actual, const RgbImage& expected);

// An ICC profile of an RGB space: the x, y of its red, green and blue primaries, a D65 white and a
// pure gamma curve.
std::vector<std::uint8_t> RgbProfile(const std::array<double, 6>& primaries, double gamma);

// An ICC profile of grey with a pure gamma curve.
std::vector<std::uint8_t> GreyProfile(double gamma);

// Sets the CRC of the PNG chunk that starts (at its length field) at offset.
void FixPngChunkCrc(std::vector<std::uint8_t>& png, std::size_t offset);

}  // namespace kinetar::test
