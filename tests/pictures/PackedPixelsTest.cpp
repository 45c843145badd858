#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/PackedPixels.h"

namespace kinetar {
namespace {

// 0xB4 0x1F: 1011 0100 0001 1111.
constexpr std::array<std::uint8_t, 2> kRow{0xB4, 0x1F};

TEST(PackedPixels, ReadsLeftmostPixelFromTheHighBits)
{
    const struct {
        int bits;
        std::vector<int> pixels;
    } rows[] = {
        {1, {1, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {2, {2, 3, 1, 0, 0, 1, 3, 3}},
        {4, {0xB, 0x4, 0x1, 0xF}},
        {8, {0xB4, 0x1F}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        for (std::size_t x = 0; x < row.pixels.size(); ++x) {
            EXPECT_EQ(PackedPixel(kRow, x, row.bits), row.pixels[x]) << x;
        }
    }
}

TEST(PackedPixels, SetChangesOnlyItsPixelAndKeepsTheLowBitsOfTheValue)
{
    const struct {
        int bits;
        std::size_t x;
        std::uint8_t value;
        std::array<std::uint8_t, 2> row;
    } rows[] = {
        {1, 1, 1, {0xF4, 0x1F}}, {1, 0, 0, {0x34, 0x1F}},   {1, 15, 0, {0xB4, 0x1E}},   {1, 6, 3, {0xB6, 0x1F}},
        {2, 2, 2, {0xB8, 0x1F}}, {4, 0, 0x7, {0x74, 0x1F}}, {4, 3, 0x20, {0xB4, 0x10}}, {8, 1, 0xA5, {0xB4, 0xA5}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.bits << " bits, pixel " << row.x);
        auto bytes = kRow;
        SetPackedPixel(bytes, row.x, row.bits, row.value);
        EXPECT_EQ(bytes, row.row);
    }
}

}  // namespace
}  // namespace kinetar
