#include <gtest/gtest.h>

#include "avi/frames/FrameDIB.h"
#include "pictures/Palettes.h"
#include "support/BmpBuilder.h"

namespace kinetar::avi {
namespace {

using pictures::DecodedPicture;

// A 24-bit picture whose pixel (x, y) is the colour Color(x, y).
std::uint32_t Color(int x, int y)
{
    return static_cast<std::uint32_t>(0x100000 * (x % 16) + 0x1000 * (y % 16) + 0x40);
}

DecodedPicture Picture24(int width, int height, std::uint32_t (*color)(int, int) = Color)
{
    DecodedPicture picture;
    picture.SetWidth(width);
    picture.SetHeight(height);
    picture.SetPixelFormat(24);
    for (int y = 0; y < height; ++y) {
        auto row = picture.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = color(x, y);
            row[3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(c);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(c >> 8);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(c >> 16);
        }
    }
    return picture;
}

std::uint32_t FramePixel(const WorkingFrame& frame, int x, int y)
{
    const auto row = frame.Row(y);
    const auto at = 3 * static_cast<std::size_t>(x);
    return static_cast<std::uint32_t>(row[at + 2]) << 16 | static_cast<std::uint32_t>(row[at + 1]) << 8 | row[at];
}

TEST(FitPicture, CopiesAtTheTopLeftCutsAndLeavesBlack)
{
    const struct {
        const char* name;
        int width, height;
        bool stretch;
    } rows[] = {
        {"same size, no stretch", 6, 4, false},
        {"same size, stretch", 6, 4, true},
        {"larger, no stretch", 16, 14, false},
        {"smaller, no stretch", 3, 2, false},
    };
    WorkingFrame frame(6, 4);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A white frame before shows whether the black band is really painted.
        FitPicture(Picture24(6, 4, [](int, int) { return 0xFFFFFFU; }), false, frame);
        FitPicture(Picture24(row.width, row.height), row.stretch, frame);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const bool inside = x < row.width && y < row.height;
                ASSERT_EQ(FramePixel(frame, x, y), inside ? Color(x, y) : 0U) << x << "," << y;
            }
        }
    }
}

TEST(FitPicture, StretchScalesEachAxisByNearestNeighbour)
{
    // 2x2 blocks of one colour each: halving keeps one pixel per block, doubling makes blocks of
    // 4x4; the width and height factors differ (x2 and x1).
    const auto blocks = [](int x, int y) {
        return static_cast<std::uint32_t>(0x010000 * (x / 2 + 1) + 0x000100 * (y / 2 + 1));
    };
    {
        WorkingFrame frame(3, 2);
        FitPicture(Picture24(6, 4, blocks), true, frame);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(FramePixel(frame, x, y), blocks(2 * x, 2 * y)) << x << "," << y;
            }
        }
    }
    {
        WorkingFrame frame(12, 4);
        FitPicture(Picture24(6, 4, blocks), true, frame);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 12; ++x) {
                EXPECT_EQ(FramePixel(frame, x, y), blocks(x / 2, y)) << x << "," << y;
            }
        }
    }
}

TEST(FitPicture, IndexedPicturesAreDrawnThroughTheirPalette)
{
    for (const int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        DecodedPicture picture;
        picture.SetWidth(9);
        picture.SetHeight(2);
        picture.SetPixelFormat(bits);
        const std::vector<pictures::PaletteEntry> palette = {{10, 20, 30, 0}, {200, 100, 50, 0}};
        picture.SetPalette(palette);
        // Row 0 alternates 0 and 1; row 1 holds the highest index, beyond the palette except at 1 bit.
        const int highest = (1 << bits) - 1;
        for (int x = 0; x < 9; ++x) {
            const auto column = static_cast<std::size_t>(x);
            const int values[2] = {x % 2, highest};
            for (int y = 0; y < 2; ++y) {
                auto row = picture.Row(y);
                const auto value = static_cast<std::uint8_t>(values[y]);
                if (bits == 8) {
                    row[column] = value;
                } else if (bits == 4) {
                    row[column / 2] = static_cast<std::uint8_t>(column % 2 == 0 ? (row[column / 2] & 0x0F) | value << 4
                                                                                : (row[column / 2] & 0xF0) | value);
                } else {
                    const auto mask = static_cast<std::uint8_t>(0x80 >> (column % 8));
                    row[column / 8] =
                        static_cast<std::uint8_t>(value != 0 ? row[column / 8] | mask : row[column / 8] & ~mask);
                }
            }
        }
        WorkingFrame frame(9, 2);
        FitPicture(picture, false, frame);
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(FramePixel(frame, x, 0), x % 2 == 0 ? 0x0A141EU : 0xC86432U) << x;
            EXPECT_EQ(FramePixel(frame, x, 1), bits == 1 ? 0xC86432U : 0U) << x;
        }
    }
}

TEST(GetFrameDIB, HeaderTableAndStridePerDepth)
{
    const struct {
        int bits;
        int width;
        std::size_t stride;
        std::size_t formatSize;
        std::uint32_t colorsUsed;
    } rows[] = {{1, 33, 8, 48, 2}, {4, 7, 4, 104, 16}, {8, 5, 8, 1064, 256}, {24, 5, 16, 40, 0}, {24, 4, 12, 40, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        const WorkingFrame frame(row.width, 3);
        const auto dib = GetFrameDIB(frame, row.bits);
        const auto block = dib->Block();
        EXPECT_EQ(dib->Stride(), row.stride);
        EXPECT_EQ(dib->FormatSize(), row.formatSize);
        EXPECT_EQ(block.size(), row.formatSize + row.stride * 3);
        EXPECT_EQ(test::BmpBuilder{}
                      .Size(row.width, 3)
                      .Bits(static_cast<std::uint16_t>(row.bits))
                      .ImageSize(static_cast<std::uint32_t>(row.stride * 3))
                      .Resolution(0, 0)
                      .ClrUsed(row.colorsUsed)
                      .InfoHeader(),
                  std::vector<std::uint8_t>(block.begin(), block.begin() + 40));
        const auto table = pictures::DefaultPalette(row.bits);
        for (std::size_t i = 0; i < row.colorsUsed; ++i) {
            ASSERT_EQ(block[40 + 4 * i], table[i].Blue);
            ASSERT_EQ(block[41 + 4 * i], table[i].Green);
            ASSERT_EQ(block[42 + 4 * i], table[i].Red);
            ASSERT_EQ(block[43 + 4 * i], 0);
        }
    }
}

TEST(GetFrameDIB, RowsAreStoredBottomUpWithTableIndexes)
{
    // Each row one table colour: at 8 bits the row's index is found at the mirrored row.
    for (const int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        const int height = 2;
        WorkingFrame frame(3, height);
        const auto table = bits == 24 ? std::span<const pictures::PaletteEntry>() : pictures::DefaultPalette(bits);
        // The 8-bit table repeats white at its end; the lowest index of a colour is the one used.
        const std::uint8_t last =
            bits == 24 ? 0 : pictures::NearestEntry(table, table.back().Red, table.back().Green, table.back().Blue);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < 3; ++x) {
                const auto row = frame.Row(y);
                const pictures::PaletteEntry color =
                    bits == 24 ? pictures::PaletteEntry{static_cast<std::uint8_t>(y * 100 + x), 7, 9, 0}
                               : table[y == 0 ? 0 : table.size() - 1];
                row[3 * static_cast<std::size_t>(x)] = color.Blue;
                row[3 * static_cast<std::size_t>(x) + 1] = color.Green;
                row[3 * static_cast<std::size_t>(x) + 2] = color.Red;
            }
        }
        const auto dib = GetFrameDIB(frame, bits);
        const auto pixels = dib->Pixels();
        const auto bottom = pixels.subspan(0, dib->Stride());
        const auto top = pixels.subspan(dib->Stride(), dib->Stride());
        if (bits == 24) {
            for (std::size_t x = 0; x < 3; ++x) {
                EXPECT_EQ(bottom[3 * x], 9);
                EXPECT_EQ(bottom[3 * x + 1], 7);
                EXPECT_EQ(bottom[3 * x + 2], 100 + x);
                EXPECT_EQ(top[3 * x + 2], x);
            }
            continue;
        }
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(pictures::PackedPixel(top, x, bits), 0) << x;
            EXPECT_EQ(pictures::PackedPixel(bottom, x, bits), last) << x;
        }
    }
}

}  // namespace
}  // namespace kinetar::avi
