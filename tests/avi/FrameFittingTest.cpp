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

constexpr std::uint32_t kBackground = 0x102030;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint8_t kRed[3] = {0, 0, 255};  // blue, green, red
constexpr std::uint8_t kBlue[3] = {255, 0, 0};

// Three bands across the longer side: red, then white over the middle half, then blue.
DecodedPicture Bands(int width, int height)
{
    DecodedPicture picture = Picture24(width, height, [](int, int) { return kWhite; });
    const int across = std::max(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int at = width >= height ? x : y;
            const std::uint8_t* color = at < across / 4 ? kRed : at >= across * 3 / 4 ? kBlue : nullptr;
            if (color != nullptr) {
                std::copy(color, color + 3, picture.Row(y).begin() + 3 * x);
            }
        }
    }
    return picture;
}

TEST(FitPicture, ModesPlaceThePictureAndTheBackground)
{
    using project::FitMode;
    // Each probe: a frame pixel and whether it shows the picture (white) or the background.
    struct Probe {
        int x, y;
        bool picture;
    };
    const struct {
        const char* name;
        FitMode mode;
        int pictureWidth, pictureHeight, frameWidth, frameHeight;
        std::vector<Probe> probes;
    } rows[] = {
        // 64x27 into 32x18: 32x14 (13.5 rounded), rows 2 to 15.
        {"letterbox landscape into landscape",
         FitMode::Letterbox,
         64,
         27,
         32,
         18,
         {{16, 1, false}, {16, 2, true}, {0, 9, true}, {31, 9, true}, {16, 15, true}, {16, 16, false}}},
        // 20x40 into 32x18: 9x18, columns 11 to 19.
        {"letterbox portrait into landscape",
         FitMode::Letterbox,
         20,
         40,
         32,
         18,
         {{10, 9, false}, {11, 9, true}, {19, 9, true}, {20, 9, false}, {15, 0, true}, {15, 17, true}}},
        // 64x27 into 18x32: 18x8 (7.6 rounded), rows 12 to 19.
        {"letterbox landscape into portrait",
         FitMode::Letterbox,
         64,
         27,
         18,
         32,
         {{9, 11, false}, {9, 12, true}, {9, 19, true}, {9, 20, false}}},
        // 20x40 into 18x32: 16x32, columns 1 to 16.
        {"letterbox portrait into portrait",
         FitMode::Letterbox,
         20,
         40,
         18,
         32,
         {{0, 16, false}, {1, 16, true}, {16, 16, true}, {17, 16, false}}},
        {"letterbox smaller, scaled up",
         FitMode::Letterbox,
         8,
         2,
         32,
         18,
         {{16, 4, false}, {16, 5, true}, {16, 12, true}, {16, 13, false}}},
        {"crop landscape into landscape", FitMode::Crop, 64, 18, 32, 18, {{0, 9, true}, {31, 9, true}, {16, 0, true}}},
        {"crop portrait into landscape", FitMode::Crop, 18, 64, 32, 18, {{16, 0, true}, {16, 17, true}, {0, 9, true}}},
        {"crop landscape into portrait", FitMode::Crop, 64, 18, 18, 32, {{0, 16, true}, {17, 16, true}, {9, 0, true}}},
        {"centre smaller",
         FitMode::Centre,
         10,
         6,
         32,
         18,
         {{10, 6, false},
          {11, 6, true},
          {20, 6, true},
          {21, 6, false},
          {11, 5, false},
          {11, 11, true},
          {11, 12, false}}},
        {"top-left smaller", FitMode::TopLeft, 10, 6, 32, 18, {{9, 5, true}, {10, 5, false}, {9, 6, false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Crop's bands show red or blue where too much is kept.
        const DecodedPicture picture =
            row.mode == FitMode::Crop ? Bands(row.pictureWidth, row.pictureHeight)
                                      : Picture24(row.pictureWidth, row.pictureHeight, [](int, int) { return kWhite; });
        WorkingFrame frame(row.frameWidth, row.frameHeight);
        FitPicture(picture, FitOptions{row.mode, {0x10, 0x20, 0x30, 0}, false}, frame);
        for (const Probe& probe : row.probes) {
            EXPECT_EQ(FramePixel(frame, probe.x, probe.y), probe.picture ? kWhite : kBackground)
                << probe.x << "," << probe.y;
        }
    }
}

TEST(FitPicture, CentreCutsALargerPictureEvenlyAndTheSameSizeIsOnlyCopied)
{
    WorkingFrame frame(32, 18);
    FitPicture(Picture24(40, 20), FitOptions{project::FitMode::Centre, {}, false}, frame);
    EXPECT_EQ(FramePixel(frame, 0, 0), Color(4, 1));
    EXPECT_EQ(FramePixel(frame, 31, 17), Color(35, 18));
    for (const auto mode : {project::FitMode::Letterbox, project::FitMode::Crop, project::FitMode::Centre}) {
        FitPicture(Picture24(32, 18), FitOptions{mode, {0x10, 0x20, 0x30, 0}, true}, frame);
        EXPECT_EQ(FramePixel(frame, 0, 0), Color(0, 0));
        EXPECT_EQ(FramePixel(frame, 31, 17), Color(31, 17));
    }
}

TEST(FitPicture, SmoothScalingAveragesAOnePixelCheckerboardToGrey)
{
    const auto checkerboard = [](int x, int y) { return (x + y) % 2 == 0 ? kWhite : 0U; };
    // Nearest neighbour keeps only black and white; the smooth filter, halving or to an odd size,
    // leaves flat grey.
    for (const bool smooth : {false, true}) {
        for (const int side : {32, 23}) {
            WorkingFrame frame(side, side - 6);
            FitPicture(Picture24(64, 64, checkerboard), FitOptions{project::FitMode::Stretch, {}, smooth}, frame);
            for (int y = 0; y < frame.Height(); ++y) {
                for (int x = 0; x < side; ++x) {
                    const int blue = static_cast<int>(FramePixel(frame, x, y) & 0xFF);
                    ASSERT_TRUE(smooth ? std::abs(blue - 128) <= 8 : blue == 0 || blue == 255) << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kinetar::avi
