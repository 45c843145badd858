#include <gtest/gtest.h>

#include "pictures/LoadPicture.h"
#include "pictures/PcxReader.h"
#include "support/ErrorText.h"
#include "support/PcxBuilder.h"
#include "support/ReaderCalls.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"
#include "support/Truncation.h"

namespace kinetar::pictures {
namespace {

using test::PcxBuilder;
using test::PixelColors;
using test::ToRgb;

const std::string kPath = "/pictures/a.pcx";

const test::ReaderCalls kReader(ReadPcxPicture, kPath);

// The grey level of every pixel, top row first (the fixtures' palette entry i is grey i).
std::vector<int> Greys(const DecodedPicture& picture)
{
    const test::RgbImage image = ToRgb(picture);
    std::vector<int> levels;
    for (std::size_t i = 0; i < image.Pixels.size(); i += 3) {
        levels.push_back(image.Pixels[i]);
    }
    return levels;
}

TEST(PcxReader, OnePlaneGoesThroughTheEndPalette)
{
    // 3 x 2 with 4 bytes per line: the fourth byte of each line is not shown.
    const auto bytes =
        PcxBuilder{}.Window(0, 0, 2, 1).BytesPerLine(4).Data({7, 8, 9, 99, 0xC3, 50, 60}).Palette().Build();
    const DecodedPicture picture = kReader.Read(bytes);
    EXPECT_EQ(picture.BitsPerPixel(), 24);
    EXPECT_TRUE(picture.Palette().empty());
    EXPECT_TRUE(picture.PaletteChanged());
    EXPECT_EQ(Greys(picture), (std::vector<int>{7, 8, 9, 50, 50, 50}));
}

TEST(PcxReader, ThreePlanesAreRedGreenBlue)
{
    // 2 x 1 with 3 bytes per plane; no palette block.
    const auto bytes =
        PcxBuilder{}.Window(0, 0, 1, 0).Planes(3).BytesPerLine(3).Data({1, 2, 77, 3, 4, 77, 5, 6, 77}).Build();
    const test::RgbImage image = ToRgb(kReader.Read(bytes));
    EXPECT_EQ(image.At(0, 0), 0x010305U);
    EXPECT_EQ(image.At(1, 0), 0x020406U);
}

TEST(PcxReader, LineBufferRules)
{
    // Three planes of 2 x 3, so the data can end early without reaching a palette block. A line is
    // red 0, red 1, green 0, green 1, blue 0, blue 1.
    const std::uint32_t one = 0x010101, two = 0x020202, three = 0x030303;
    const struct {
        const char* name;
        std::vector<std::uint8_t> data;
        std::vector<std::uint32_t> colors;
    } rows[] = {
        {"run cut at the end of the line", {0xC7, 1, 2, 2, 2, 2, 2, 2, 0xC6, 3}, {one, one, two, two, three, three}},
        {"count 192 makes nothing", {0xC0, 9, 0xC6, 1, 0xC6, 2, 0xC6, 3}, {one, one, two, two, three, three}},
        {"values of 192 up need a run of one",
         {0xC2, 0xC8, 0xC2, 0xFF, 0xC2, 0xC0, 0xC6, 2, 0xC6, 3},
         {0xC8FFC0, 0xC8FFC0, two, two, three, three}},
        // The line being decoded keeps the tail of the line before; later rows repeat it.
        {"data ends inside row 1", {0xC6, 1, 0xC2, 2}, {one, one, 0x020101, 0x020101, 0x020101, 0x020101}},
        {"data ends inside row 0", {5, 6}, {0x050000, 0x060000, 0x050000, 0x060000, 0x050000, 0x060000}},
        {"data ends after a count byte", {0xC6, 1, 0xC3}, {one, one, one, one, one, one}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto bytes = PcxBuilder{}.Window(0, 0, 1, 2).Planes(3).BytesPerLine(2).Build();
        bytes.insert(bytes.end(), row.data.begin(), row.data.end());
        EXPECT_EQ(PixelColors(kReader.Read(bytes)), row.colors);
    }
}

TEST(PcxReader, EdgesGiveSizeEitherWayRound)
{
    const auto bytes = PcxBuilder{}.Window(5, 10, 2, 10).BytesPerLine(4).Data({1, 2, 3, 4}).Palette().Build();
    const DecodedPicture picture = kReader.Read(bytes);
    EXPECT_EQ(picture.Width(), 4);
    EXPECT_EQ(picture.Height(), 1);
}

TEST(PcxReader, Refusals)
{
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string message;
    } rows[] = {
        {"bytes per line 0", PcxBuilder{}.BytesPerLine(0).Data({1}).Palette().Build(), "Bad PCX format: " + kPath},
        {"bytes per line negative", PcxBuilder{}.BytesPerLine(-2).Data({1}).Palette().Build(),
         "Bad PCX format: " + kPath},
        {"no palette marker", PcxBuilder{}.Data({1, 2}).Palette(11).Build(), "Bad PCX format: " + kPath},
        {"too short for a palette", PcxBuilder{}.Data({1, 2, 12}).Build(), "Bad PCX format: " + kPath},
        {"two planes", PcxBuilder{}.Planes(2).Data({1, 2, 3, 4}).Build(),
         "Format of PCX is old. Supported is only version 5.0: " + kPath},
        {"65536 wide", PcxBuilder{}.Window(-32768, 0, 32767, 0).Data({1}).Palette().Build(),
         "Picture is too large " + kPath},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(kReader.ErrorOf(row.bytes), row.message);
    }
    const auto valid = PcxBuilder{}.Window(0, 0, 1, 0).Data({1, 2}).Palette().Build();
    test::ExpectTruncations(valid, 0, 128, kReader.Reads(), "Can't read soubor " + kPath);
}

TEST(PcxReader, ReachedThroughLoadPicture)
{
    const test::TempDir dir;
    const std::string path = dir.File("picture.tga");  // content decides before the name
    test::WriteFile(path, PcxBuilder{}.Window(0, 0, 1, 0).Data({3, 4}).Palette().Build());
    EXPECT_EQ(Greys(*LoadPicture(path)), (std::vector<int>{3, 4}));
    DecodedPicture picture;
    EXPECT_EQ(test::ErrorText([&] { ReadPcxPicture(dir.File("missing.pcx"), picture); }),
              "Can't open file " + dir.File("missing.pcx"));
}

}  // namespace
}  // namespace kinetar::pictures
