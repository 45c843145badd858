#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pictures/BmpReader.h"
#include "support/BmpBuilder.h"
#include "support/ReaderCalls.h"
#include "support/RgbImage.h"
#include "support/Truncation.h"

namespace kinetar::pictures {
namespace {

using test::BmpBuilder;
using test::PixelIndices;
using test::RgbImage;
using test::ToRgb;

const std::string kPath = "/pictures/p.bmp";

const test::ReaderCalls kReader(ReadBmpPicture, kPath);

const std::vector<PaletteEntry> kFour = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 0, 0}};

// The 2x2 picture  red green / blue yellow  at every depth, rows stored bottom-up or top-down.
TEST(BmpReader, FourColoursAtEveryDepthAndBothRowOrders)
{
    const RgbImage expected{2, 2, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0}};
    const struct {
        const char* name;
        std::uint16_t bits;
        std::vector<std::uint8_t> bottomRow, topRow;  // each padded to 4 bytes
        std::vector<PaletteEntry> palette;
    } rows[] = {
        {"24", 24, {255, 0, 0, 0, 255, 255, 0, 0}, {0, 0, 255, 0, 255, 0, 0, 0}, {}},
        {"8", 8, {2, 3, 0, 0}, {0, 1, 0, 0}, kFour},
        {"4", 4, {0x23, 0, 0, 0}, {0x01, 0, 0, 0}, kFour},
        {"1", 1, {0x40, 0, 0, 0}, {0x80, 0, 0, 0}, {{0, 0, 255, 0}, {255, 0, 0, 0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::uint8_t> bottomUp = row.bottomRow;
        bottomUp.insert(bottomUp.end(), row.topRow.begin(), row.topRow.end());
        std::vector<std::uint8_t> topDown = row.topRow;
        topDown.insert(topDown.end(), row.bottomRow.begin(), row.bottomRow.end());
        const auto clrUsed = static_cast<std::uint32_t>(row.palette.size());
        const auto up = kReader.Read(
            BmpBuilder{}.Size(2, 2).Bits(row.bits).ClrUsed(clrUsed).Palette(row.palette).Pixels(bottomUp).Build());
        const auto down = kReader.Read(
            BmpBuilder{}.Size(2, -2).Bits(row.bits).ClrUsed(clrUsed).Palette(row.palette).Pixels(topDown).Build());
        EXPECT_EQ(up.BitsPerPixel(), row.bits);
        EXPECT_EQ(down.Height(), 2);
        if (row.bits == 1) {
            // Two colours only: index 1 (red) on the diagonal from the top left.
            EXPECT_EQ(PixelIndices(up), (std::vector<std::vector<int>>{{1, 0}, {0, 1}}));
            EXPECT_EQ(PixelIndices(down), PixelIndices(up));
            continue;
        }
        EXPECT_EQ(test::FirstDifference(ToRgb(up), expected), "");
        EXPECT_EQ(test::FirstDifference(ToRgb(down), expected), "");
    }
}

TEST(BmpReader, RowPaddingAtWidthsOneToFour)
{
    for (int width = 1; width <= 4; ++width) {
        SCOPED_TRACE(width);
        const std::size_t stride = RowStride(width, 24);
        std::vector<std::uint8_t> pixels;
        for (int y = 0; y < 2; ++y) {
            for (std::size_t i = 0; i < stride; ++i) {
                pixels.push_back(i < static_cast<std::size_t>(width) * 3 ? static_cast<std::uint8_t>(y * 100 + i)
                                                                         : 0xEE);
            }
        }
        const auto picture = kReader.Read(BmpBuilder{}.Size(width, 2).Bits(24).Pixels(pixels).Build());
        // The first stored row is the bottom one.
        EXPECT_EQ(picture.PixelColor(width - 1, 1).Blue, static_cast<std::uint8_t>((width - 1) * 3));
        EXPECT_EQ(picture.PixelColor(0, 0).Red, 102);
    }
}

TEST(BmpReader, ColourTableFollowsTheDeclaredInformationHeader)
{
    for (const std::uint32_t infoSize : {40U, 108U, 124U}) {
        SCOPED_TRACE(infoSize);
        const auto picture = kReader.Read(
            BmpBuilder{}.InfoSize(infoSize).Size(2, 1).Bits(8).ClrUsed(4).Palette(kFour).Pixels({3, 2, 0, 0}).Build());
        ASSERT_EQ(picture.Palette().size(), 4U);
        EXPECT_EQ(picture.PixelColor(0, 0), kFour[3]);
        EXPECT_EQ(picture.PixelColor(1, 0), kFour[2]);
        EXPECT_TRUE(picture.PaletteChanged());
    }
}

TEST(BmpReader, PaletteSizeFromClrUsedBoundedByTheBitCount)
{
    std::vector<PaletteEntry> many(300);
    for (std::size_t i = 0; i < many.size(); ++i) {
        many[i] = {static_cast<std::uint8_t>(i), 0, 0, 0};
    }
    const struct {
        const char* name;
        std::uint16_t bits;
        std::uint32_t clrUsed;
        std::size_t paletteInFile, expected;
    } rows[] = {
        {"8 bits, 0 = all", 8, 0, 256, 256}, {"8 bits, 20", 8, 20, 20, 20}, {"8 bits, 300", 8, 300, 300, 256},
        {"4 bits, 0", 4, 0, 16, 16},         {"1 bit, 5", 1, 5, 5, 2},      {"24 bits, 256", 24, 256, 256, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<PaletteEntry> palette(many.begin(),
                                                many.begin() + static_cast<std::ptrdiff_t>(row.paletteInFile));
        const auto picture = kReader.Read(
            BmpBuilder{}.Size(1, 1).Bits(row.bits).ClrUsed(row.clrUsed).Palette(palette).Pixels({0, 0, 0, 0}).Build());
        EXPECT_EQ(picture.Palette().size(), row.expected);
    }
}

TEST(BmpReader, PixelsAreReadFromOffBitsWhereverItLies)
{
    auto bytes = BmpBuilder{}
                     .Size(1, 1)
                     .Bits(8)
                     .ClrUsed(2)
                     .Palette({{1, 1, 1, 0}, {9, 9, 9, 0}})
                     .OffBits(100)
                     .Pixels({1, 0, 0, 0})
                     .Build();
    EXPECT_EQ(kReader.Read(bytes).PixelColor(0, 0), (PaletteEntry{9, 9, 9, 0}));
}

TEST(BmpReader, IndexBeyondThePaletteShowsBlack)
{
    const auto picture = kReader.Read(
        BmpBuilder{}.Size(3, 1).Bits(8).ClrUsed(1).Palette({{50, 60, 70, 0}}).Pixels({0, 1, 255, 0}).Build());
    EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{50, 60, 70, 0}));
    EXPECT_EQ(picture.PixelColor(1, 0), (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(picture.PixelColor(2, 0), (PaletteEntry{0, 0, 0, 0}));
}

TEST(BmpReader, RefusedHeaders)
{
    const struct {
        const char* name;
        BmpBuilder builder;
        std::string message;
    } rows[] = {
        {"16 bits", BmpBuilder{}.Bits(16).Pixels({0, 0, 0, 0}), "Unsupported bitmap" + kPath},
        {"32 bits", BmpBuilder{}.Bits(32).Pixels({0, 0, 0, 0}), "Unsupported bitmap" + kPath},
        {"0 bits", BmpBuilder{}.Bits(0), "Unsupported bitmap" + kPath},
        {"2 bits", BmpBuilder{}.Bits(2), "Unsupported bitmap" + kPath},
        {"negative width", BmpBuilder{}.Size(-4, 2), "Unsupported bitmap" + kPath},
        {"OS/2 12-byte header", BmpBuilder{}.InfoSize(12), "Unsupported bitmap" + kPath},
        {"16-byte header", BmpBuilder{}.InfoSize(16), "Unsupported bitmap" + kPath},
        {"bit fields", BmpBuilder{}.Compression(3).Pixels({0, 0, 0, 0}), "Unsupported compression of Bitmap " + kPath},
        {"jpeg", BmpBuilder{}.Bits(8).Palette(kFour).ClrUsed(4).Compression(4),
         "Unsupported compression of Bitmap " + kPath},
        {"wider than 65535", BmpBuilder{}.Size(65536, 1), "Picture is too large " + kPath},
        {"over 2^28 pixels", BmpBuilder{}.Size(20000, -20000), "Picture is too large " + kPath},
        {"height -2^31", BmpBuilder{}.Size(1, INT32_MIN), "Picture is too large " + kPath},
        {"pixels cut short", BmpBuilder{}.Size(2, 2).Pixels({1, 2, 3, 4, 5, 6, 7, 8}), "Reading pixels FAILED" + kPath},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(kReader.ErrorOf(row.builder.Build()), row.message) << row.name;
    }
}

// Every cut through the headers and the colour table gives the message of the read that came up short.
TEST(BmpReader, TruncationTable)
{
    const BmpBuilder builder =
        BmpBuilder{}.Size(2, 2).Bits(8).ClrUsed(4).Palette(kFour).Pixels({0, 1, 0, 0, 2, 3, 0, 0});
    const auto whole = builder.Build();
    ASSERT_NO_THROW(kReader.Read(whole));
    test::ExpectTruncations(whole, 0, whole.size(), kReader.Reads(), [&](std::size_t cut) {
        const char* expected = cut < 14                      ? "Can't read file header "
                               : cut < 54                    ? "Can't read file info "
                               : cut < builder.PixelOffset() ? "Reading color table FAILED"
                                                             : "Reading pixels FAILED";
        return expected + kPath;
    });
}

std::vector<std::vector<int>> DecodeRle(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                        std::uint32_t compression, std::vector<std::uint8_t> data)
{
    std::vector<PaletteEntry> palette(bits == 4 ? 16 : 256);
    return PixelIndices(kReader.Read(BmpBuilder{}
                                         .Size(width, height)
                                         .Bits(bits)
                                         .Compression(compression)
                                         .Palette(palette)
                                         .Pixels(std::move(data))
                                         .Build()));
}

using Rows = std::vector<std::vector<int>>;

TEST(BmpReader, Rle8Escapes)
{
    const struct {
        const char* name;
        std::int32_t width, height;
        std::vector<std::uint8_t> data;
        Rows expected;  // top row first
    } rows[] = {
        {"runs and end of line", 4, 2, {2, 7, 2, 8, 0, 0, 4, 9, 0, 1}, {{9, 9, 9, 9}, {7, 7, 8, 8}}},
        {"end of bitmap mid-row", 4, 2, {2, 7, 0, 1, 4, 9}, {{0, 0, 0, 0}, {7, 7, 0, 0}}},
        {"delta keeps the column", 4, 3, {1, 5, 0, 2, 1, 1, 1, 6, 0, 1}, {{0, 0, 0, 0}, {0, 0, 6, 0}, {5, 0, 0, 0}}},
        {"delta past the height ends", 2, 2, {1, 5, 0, 2, 0, 5, 2, 9}, {{0, 0}, {5, 0}}},
        {"odd absolute block is padded", 4, 1, {0, 3, 1, 2, 3, 0xAA, 1, 4, 0, 1}, {{1, 2, 3, 4}}},
        {"even absolute block is not", 4, 1, {0, 4, 1, 2, 3, 4, 0, 1}, {{1, 2, 3, 4}}},
        {"run past the row is cut", 3, 2, {9, 4, 0, 0, 1, 5}, {{5, 0, 0}, {4, 4, 4}}},
        {"absolute past the row is cut", 3, 1, {0, 5, 1, 2, 3, 4, 5, 0}, {{1, 2, 3}}},
        {"data ends early", 3, 2, {2, 4}, {{0, 0, 0}, {4, 4, 0}}},
        {"data ends inside a block", 4, 1, {0, 4, 1, 2}, {{1, 2, 0, 0}}},
        {"lone last byte", 2, 1, {1, 3, 1}, {{3, 0}}},
        {"no end of bitmap after the last row", 1, 1, {1, 3, 0, 0, 1, 9}, {{3}}},
    };
    for (const auto& row : rows) {
        // Run-length rows are bottom-up whatever the sign of the height says.
        EXPECT_EQ(DecodeRle(row.width, row.height, 8, 1, row.data), row.expected) << row.name;
    }
}

TEST(BmpReader, Rle4Escapes)
{
    const struct {
        const char* name;
        std::int32_t width, height;
        std::vector<std::uint8_t> data;
        Rows expected;
    } rows[] = {
        {"run alternates nibbles from its own start", 6, 1, {1, 0x30, 5, 0x12, 0, 1}, {{3, 1, 2, 1, 2, 1}}},
        {"absolute of 3 has no padding", 4, 1, {0, 3, 0x12, 0x30, 1, 0x70, 0, 1}, {{1, 2, 3, 7}}},
        {"absolute of 5 has one padding byte",
         6,
         1,
         {0, 5, 0x12, 0x34, 0x50, 0xFF, 1, 0x60, 0, 1},
         {{1, 2, 3, 4, 5, 6}}},
        {"end of line and delta",
         4,
         3,
         {2, 0x11, 0, 0, 0, 2, 2, 1, 1, 0xF0, 0, 1},
         {{0, 0, 15, 0}, {0, 0, 0, 0}, {1, 1, 0, 0}}},
        {"end of bitmap leaves zeros", 3, 2, {3, 0x45, 0, 1}, {{0, 0, 0}, {4, 5, 4}}},
        {"run past the row is cut", 3, 1, {200, 0x9A, 0, 1}, {{9, 10, 9}}},
        {"odd width keeps the last nibble", 5, 1, {5, 0x21}, {{2, 1, 2, 1, 2}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DecodeRle(row.width, row.height, 4, 2, row.data), row.expected) << row.name;
    }
}

TEST(BmpReader, CompressionDecidesTheDecoderNotTheBitCount)
{
    // Compression 1 at 4 bits: RLE8 bytes land in the 4-bit rows, two pixels each.
    EXPECT_EQ(DecodeRle(4, 1, 4, 1, {2, 0x12, 0, 1}), (Rows{{1, 2, 1, 2}}));
    // A negative height turns only uncompressed rows over: run-length rows stay bottom-up.
    EXPECT_EQ(DecodeRle(2, -2, 8, 1, {2, 5, 0, 0, 2, 6, 0, 1}), (Rows{{6, 6}, {5, 5}}));
    // Compression 2 at 8 bits: nibbles land in the 8-bit row's bytes.
    EXPECT_EQ(DecodeRle(2, 1, 8, 2, {4, 0x12, 0, 1}), (Rows{{0x12, 0x12}}));
}

TEST(BmpReader, ReusedPictureTakesTheNewFilesState)
{
    DecodedPicture picture;
    ReadBmpPicture(
        BmpBuilder{}.Size(3, 3).Bits(8).ClrUsed(4).Palette(kFour).Pixels(std::vector<std::uint8_t>(12, 2)).Build(),
        kPath, picture);
    ReadBmpPicture(BmpBuilder{}.Size(1, 2).Bits(24).Pixels({1, 2, 3, 0, 4, 5, 6, 0}).Build(), kPath, picture);
    EXPECT_EQ(picture.BitsPerPixel(), 24);
    EXPECT_EQ(picture.Width(), 1);
    EXPECT_EQ(picture.Height(), 2);
    EXPECT_TRUE(picture.Palette().empty());
    EXPECT_EQ(picture.PixelColor(0, 0), (PaletteEntry{6, 5, 4, 0}));
}

}  // namespace
}  // namespace kinetar::pictures
