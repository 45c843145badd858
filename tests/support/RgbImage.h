#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kinetar::pictures {
class DecodedPicture;
}

namespace kinetar::test {

// An RGB raster, 3 bytes per pixel, rows top first, no padding.
struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;

    bool operator==(const RgbImage&) const = default;
    std::uint32_t At(int x, int y) const;  // 0xRRGGBB
};

// A picture of one colour, 0xRRGGBB.
RgbImage SolidImage(int width, int height, std::uint32_t color);
// Every pixel a different colour, so that misplaced rows and columns show.
RgbImage GradientImage(int width, int height, int seed = 0);

// A decoded picture as the colours it shows.
RgbImage ToRgb(const pictures::DecodedPicture& picture);
// A 24-bit picture of the image, its rows' padding not zero, as a reader may leave it.
pictures::DecodedPicture ToPicture(const RgbImage& image);
// Every pixel as 0xRRGGBB, top row first, left to right.
std::vector<std::uint32_t> PixelColors(const pictures::DecodedPicture& picture);
// The stored value of every pixel (a palette index below 24 bits), one row a vector, top row first.
std::vector<std::vector<int>> PixelIndices(const pictures::DecodedPicture& picture);

// The first place two images differ, or an empty string when they are equal.
std::string FirstDifference(const RgbImage& actual, const RgbImage& expected);

// A binary PPM (P6, maxval 255), the format other programs take and give pictures in.
std::vector<std::uint8_t> PpmBytes(const RgbImage& image);
std::optional<RgbImage> ParsePpm(std::span<const std::uint8_t> bytes);

}  // namespace kinetar::test
