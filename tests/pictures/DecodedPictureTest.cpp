#include <gtest/gtest.h>

#include "pictures/DecodedPicture.h"
#include "support/ErrorText.h"

namespace kinetar::pictures {
namespace {

TEST(DecodedPicture, NewSizeIsWhiteAtEveryDepth)
{
    for (const int bits : {24, 8, 4, 1}) {
        SCOPED_TRACE(bits);
        DecodedPicture picture;
        picture.SetWidth(5);
        picture.SetHeight(3);
        picture.SetPixelFormat(bits);
        EXPECT_EQ(picture.Stride(), RowStride(5, bits));
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(picture.PixelColor(x, y), (PaletteEntry{255, 255, 255, 0}));
            }
        }
    }
}

TEST(DecodedPicture, RowLayoutAndStride)
{
    const struct {
        int width;
        int bits;
        std::size_t stride;
    } rows[] = {{1, 1, 4}, {32, 1, 4}, {33, 1, 8}, {7, 4, 4}, {9, 4, 8}, {5, 8, 8}, {1, 24, 4}, {5, 24, 16}};
    for (const auto& row : rows) {
        EXPECT_EQ(RowStride(row.width, row.bits), row.stride) << row.width << "x" << row.bits;
    }
}

TEST(DecodedPicture, ResizeKeepsSharedTopLeftAndWhitensTheRest)
{
    DecodedPicture picture;
    picture.SetWidth(2);
    picture.SetHeight(2);
    picture.Row(0)[0] = 1;  // blue of (0, 0)
    picture.Row(1)[3] = 2;  // blue of (1, 1)
    picture.SetWidth(3);
    picture.SetHeight(1);
    EXPECT_EQ(picture.Row(0)[0], 1);
    EXPECT_EQ(picture.PixelColor(2, 0), (PaletteEntry{255, 255, 255, 0}));
    picture.SetHeight(2);
    EXPECT_EQ(picture.PixelColor(1, 1), (PaletteEntry{255, 255, 255, 0})) << "a row cut off comes back white";

    DecodedPicture packed;
    packed.SetWidth(9);
    packed.SetHeight(1);
    packed.SetPixelFormat(1);
    packed.Row(0)[0] = 0x00;  // pixels 0..7 black
    packed.Row(0)[1] = 0x7F;  // pixel 8 black, padding bits white
    packed.SetWidth(10);
    EXPECT_EQ(packed.PixelColor(8, 0), (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(packed.PixelColor(9, 0), (PaletteEntry{255, 255, 255, 0}));
}

TEST(DecodedPicture, PixelFormatConvertsContentAndInstallsDefaultPalettes)
{
    DecodedPicture picture;
    picture.SetWidth(2);
    picture.SetHeight(1);
    auto row = picture.Row(0);
    row[0] = 0, row[1] = 0, row[2] = 255;  // (0, 0) pure red
    row[3] = 0, row[4] = 0, row[5] = 0;    // (1, 0) black
    picture.SetPixelFormat(8);
    EXPECT_EQ(picture.Palette().size(), 256U);
    EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{255, 0, 0, 0}));
    EXPECT_EQ(picture.PixelColor(1, 0), (PaletteEntry{0, 0, 0, 0}));
    picture.SetPixelFormat(4);
    EXPECT_EQ(picture.Palette().size(), 16U);
    EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{255, 0, 0, 0}));
    picture.SetPixelFormat(1);
    EXPECT_EQ(picture.Palette().size(), 2U);
    picture.SetPixelFormat(24);
    EXPECT_EQ(picture.PixelColor(1, 0), (PaletteEntry{0, 0, 0, 0}));
}

TEST(DecodedPicture, ScanLineOutOfRange)
{
    DecodedPicture picture;
    picture.SetWidth(4);
    picture.SetHeight(2);
    for (const int y : {-1, 2, 100}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(test::ErrorText([&] { (void)picture.Row(y); }), "Scan line index out of range");
    }
    EXPECT_NO_THROW((void)picture.Row(1));
}

TEST(DecodedPicture, IndexBeyondPaletteShowsBlack)
{
    DecodedPicture picture;
    picture.SetWidth(1);
    picture.SetHeight(1);
    picture.SetPixelFormat(8);
    const PaletteEntry single[] = {{10, 20, 30, 0}};
    picture.SetPalette(single);
    picture.Row(0)[0] = 0;
    EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{10, 20, 30, 0}));
    picture.Row(0)[0] = 7;
    EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{0, 0, 0, 0}));
}

TEST(DecodedPicture, SizeBound)
{
    const struct {
        std::int64_t width, height;
        bool fits;
    } rows[] = {{65535, 4096, true},   {65536, 1, false}, {1, 65536, false}, {16384, 16384, true},
                {16385, 16384, false}, {-1, 1, false},    {0, 0, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
        if (row.fits) {
            EXPECT_NO_THROW(CheckPictureSize(row.width, row.height, "/p.bmp"));
        } else {
            EXPECT_EQ(test::ErrorText([&] { CheckPictureSize(row.width, row.height, "/p.bmp"); }),
                      "Picture is too large /p.bmp");
        }
    }
}

}  // namespace
}  // namespace kinetar::pictures
