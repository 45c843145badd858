#include <gtest/gtest.h>

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "pictures/TgaReader.h"
#include "support/ErrorText.h"
#include "support/ReaderCalls.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"
#include "support/TgaBuilder.h"
#include "support/Truncation.h"

namespace kinetar::pictures {
namespace {

using test::PixelColors;
using test::TgaBuilder;

const std::string kPath = "/pictures/a.tga";

const test::ReaderCalls kReader(ReadTgaPicture, kPath);

// One 2 x 2 picture, top row red and green, bottom row blue and white, in colours 16 bits can hold.
const std::vector<std::uint32_t> kFourColors = {0xF80000, 0x00F800, 0x0000F8, 0xF8F8F8};
#define RED 0x00, 0x00, 0xF8
#define GREEN 0x00, 0xF8, 0x00
#define BLUE 0xF8, 0x00, 0x00
#define WHITE 0xF8, 0xF8, 0xF8

TEST(TgaReader, OnePictureInEveryTypeAndRowOrder)
{
    const auto map = [](TgaBuilder builder) {  // index 0 red, 1 green, 2 blue, 3 white
        return builder.Type(1).ColorMap(1, 0, 4, 24).Depth(8).Data({RED, GREEN, BLUE, WHITE});
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        int bits;
    } rows[] = {
        {"24 bits, bottom row first", TgaBuilder{}.Data({BLUE, WHITE, RED, GREEN}).Build(), 24},
        {"24 bits, top row first", TgaBuilder{}.Descriptor(0x20).Data({RED, GREEN, BLUE, WHITE}).Build(), 24},
        {"right-to-left bit ignored", TgaBuilder{}.Descriptor(0x10).Data({BLUE, WHITE, RED, GREEN}).Build(), 24},
        {"16 bits", TgaBuilder{}.Depth(16).Data({0x1F, 0x00, 0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03}).Build(), 24},
        // A raw packet of three pixels runs on into the next row, then a run of one.
        {"24 bits, run-length", TgaBuilder{}.Type(10).Data({0x02, BLUE, WHITE, RED, 0x80, GREEN}).Build(), 24},
        {"24 bits, run-length, top first", TgaBuilder{}.Type(10).Descriptor(0x20).Data({0x81, RED, 0x81, BLUE}).Build(),
         24},
        {"colour-mapped", map(TgaBuilder{}).Data({2, 3, 0, 1}).Build(), 8},
        {"colour-mapped, top first", map(TgaBuilder{}).Descriptor(0x20).Data({0, 1, 2, 3}).Build(), 8},
        {"colour-mapped, run-length", map(TgaBuilder{}).Type(9).Data({0x01, 2, 3, 0x01, 0, 1}).Build(), 8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DecodedPicture picture = kReader.Read(row.bytes);
        EXPECT_EQ(picture.BitsPerPixel(), row.bits);
        EXPECT_TRUE(picture.PaletteChanged());
        EXPECT_EQ(picture.Palette().size(), row.bits == 8 ? 4U : 0U);
        if (row.name == std::string("24 bits, run-length, top first")) {
            EXPECT_EQ(PixelColors(picture), (std::vector<std::uint32_t>{0xF80000, 0xF80000, 0x0000F8, 0x0000F8}));
        } else {
            EXPECT_EQ(PixelColors(picture), kFourColors);
        }
    }
}

TEST(TgaReader, SixteenBitsTakeFiveBitsPerChannel)
{
    const auto bytes = TgaBuilder{}.Size(3, 1).Depth(16).Data({0x1F, 0x00, 0x00, 0x80, 0xFF, 0x7F}).Build();
    EXPECT_EQ(PixelColors(kReader.Read(bytes)), (std::vector<std::uint32_t>{0x0000F8, 0x000000, 0xF8F8F8}));
}

TEST(TgaReader, GreyPicturesGetTheRampWhateverTheHeaderSays)
{
    // The declared colour map (2 entries of 24 bits) is skipped, not used.
    const auto bytes =
        TgaBuilder{}.Type(3).Depth(8).Size(2, 1).ColorMap(1, 0, 2, 24).Data({1, 2, 3, 4, 5, 6, 10, 200}).Build();
    const DecodedPicture picture = kReader.Read(bytes);
    ASSERT_EQ(picture.Palette().size(), 256U);
    EXPECT_EQ(picture.Palette()[77], (PaletteEntry{77, 77, 77, 0}));
    EXPECT_EQ(PixelColors(picture), (std::vector<std::uint32_t>{0x0A0A0A, 0xC8C8C8}));
    const auto rle = TgaBuilder{}.Type(11).Depth(8).Size(2, 1).Data({0x81, 9}).Build();
    EXPECT_EQ(PixelColors(kReader.Read(rle)), (std::vector<std::uint32_t>{0x090909, 0x090909}));
}

TEST(TgaReader, ColorMapEntriesLandAtTheirFirstIndex)
{
    // Four entries from index 2 on; the palette keeps the map length, so indices 2 and 3 show the
    // first two entries and index 0 the black that entries start as.
    const auto bytes = TgaBuilder{}
                           .Type(1)
                           .Depth(8)
                           .Size(3, 1)
                           .ColorMap(1, 2, 4, 24)
                           .Data({0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 7, 7, 7, 8, 8, 8, 0, 2, 3})
                           .Build();
    const DecodedPicture picture = kReader.Read(bytes);
    ASSERT_EQ(picture.Palette().size(), 4U);
    EXPECT_EQ(PixelColors(picture), (std::vector<std::uint32_t>{0x000000, 0x102030, 0x405060}));

    // Entries past index 255 are dropped; the picture's palette still gets the declared count.
    auto high = TgaBuilder{}.Type(1).Depth(8).Size(1, 1).ColorMap(1, 254, 3, 24);
    const DecodedPicture dropped = kReader.Read(high.Data({1, 1, 1, 2, 2, 2, 3, 3, 3, 0}).Build());
    EXPECT_EQ(dropped.Palette().size(), 3U);
}

TEST(TgaReader, RunLengthPacketsCrossRowsAndStopAtTheLastRow)
{
    // 128 x 2, bottom row first: a raw packet of 118 pixels, a run of 128 that starts 10 pixels
    // before the end of the row, then a run of 128 of which only 10 fit.
    std::vector<std::uint8_t> data{0x75};
    data.insert(data.end(), 118, 1);
    data.insert(data.end(), {0xFF, 9, 0xFF, 5});
    const DecodedPicture picture = kReader.Read(TgaBuilder{}.Type(11).Depth(8).Size(128, 2).Data(data).Build());
    const auto bottom = picture.Row(1);
    const auto top = picture.Row(0);
    EXPECT_EQ(bottom[117], 1);
    EXPECT_EQ(bottom[118], 9);
    EXPECT_EQ(bottom[127], 9);
    EXPECT_EQ(top[117], 9);
    EXPECT_EQ(top[118], 5);
    EXPECT_EQ(top[127], 5);

    // Pixel bytes missing inside the last packet are black; only packet headers are checked.
    const auto cut = TgaBuilder{}.Type(10).Size(3, 1).Data({0x02, 0x10, 0x20, 0x30, 0x40}).Build();
    EXPECT_EQ(PixelColors(kReader.Read(cut)), (std::vector<std::uint32_t>{0x302010, 0x000040, 0x000000}));
}

TEST(TgaReader, HeaderChecksInOrder)
{
    const std::string header = "Bad TGA header " + kPath;
    const std::string depth = "Bad TGA header(32 bit pictures doesn't supported) " + kPath;
    const struct {
        const char* name;
        TgaBuilder builder;
        std::string message;
    } rows[] = {
        {"mapped, depth before entry size", TgaBuilder{}.Type(1).Depth(16).ColorMap(1, 0, 1, 16), header},
        {"mapped, 16-bit entries", TgaBuilder{}.Type(9).Depth(8).ColorMap(1, 0, 1, 16), "Bad TGA pallette " + kPath},
        {"mapped, 32-bit entries", TgaBuilder{}.Type(1).Depth(8).ColorMap(1, 0, 1, 32), "Bad TGA pallette " + kPath},
        {"true colour, 32 bits", TgaBuilder{}.Depth(32), depth},
        {"true colour, 15 bits", TgaBuilder{}.Depth(15), depth},
        {"true colour, run-length, 8 bits", TgaBuilder{}.Type(10).Depth(8), depth},
        {"grey, 16 bits", TgaBuilder{}.Type(11).Depth(16), header},
        {"type 0", TgaBuilder{}.Type(0), header},
        {"type 12", TgaBuilder{}.Type(12), header},
        {"0 x 0", TgaBuilder{}.Size(0, 0), "Bad TGA Size " + kPath},
        {"0 x 5", TgaBuilder{}.Size(0, 5), "Bad TGA Size " + kPath},
        {"5 x 0", TgaBuilder{}.Size(5, 0), "Bad TGA Size " + kPath},
        {"65535 x 65535", TgaBuilder{}.Size(65535, 65535), "Picture is too large " + kPath},
        {"run-length, 16 bits", TgaBuilder{}.Type(10).Depth(16).Data({0x80, 0, 0}),
         "This isn't tested YET, please send me this picture. I can't create 16 bits TGA"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(kReader.ErrorOf(row.builder.Build()), row.message);
    }
}

TEST(TgaReader, TruncationTable)
{
    // A 255-byte image ID, two map entries, 2 x 2 indices; a cut anywhere is reported.
    const auto valid =
        TgaBuilder{}.Type(1).Id(255).ColorMap(1, 0, 2, 24).Depth(8).Data({1, 2, 3, 4, 5, 6, 0, 1, 1, 0}).Build();
    ASSERT_NO_THROW(kReader.Read(valid));
    test::ExpectTruncations(valid, 0, valid.size(), kReader.Reads(), [](std::size_t cut) {
        return cut < 18 ? "Can't read soubor " + kPath : std::string("Read TGA error ");
    });
    // Run-length: every cut before the last packet header leaves a header unread.
    const auto rle = TgaBuilder{}.Type(10).Data({0x80, RED, 0x80, GREEN, 0x81, BLUE}).Build();
    test::ExpectTruncations(rle, 18, 23, kReader.Reads(), "Read TGA error ");
}

TEST(TgaReader, ReachedThroughLoadPictureByNameOnly)
{
    const test::TempDir dir;
    const auto bytes = TgaBuilder{}.Size(1, 1).Data({0x10, 0x20, 0x30}).Build();
    test::WriteFile(dir.File("a.TGA"), bytes);
    test::WriteFile(dir.File("a.tg"), bytes);
    EXPECT_EQ(PixelColors(*LoadPicture(dir.File("a.TGA"))), (std::vector<std::uint32_t>{0x302010}));
    EXPECT_THROW(LoadPicture(dir.File("a.tg")), Error);
    DecodedPicture picture;
    EXPECT_EQ(test::ErrorText([&] { ReadTgaPicture(dir.File("missing.tga"), picture); }),
              "Can't open file " + dir.File("missing.tga"));
}

}  // namespace
}  // namespace kinetar::pictures
