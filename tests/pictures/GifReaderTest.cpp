#include <gtest/gtest.h>

#include "common/Error.h"
#include "pictures/GifReader.h"
#include "pictures/LoadPicture.h"
#include "support/ErrorText.h"
#include "support/GifBuilder.h"
#include "support/ReaderCalls.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"
#include "support/Truncation.h"

namespace kinetar::pictures {
namespace {

using test::GifBuilder;
using test::PixelColors;

const std::string kPath = "/pictures/a.gif";
const std::vector<std::uint8_t> kFourPixels = {0, 1, 2, 3};

// Screen and image packed bytes: a colour table follows when 0x80 is set; its size is 2^(low bits + 1).
constexpr std::uint8_t kNoTable = 0x00;
constexpr std::uint8_t kTwoColors = 0x80;
constexpr std::uint8_t kFourColors = 0x81;
constexpr std::uint8_t kSixteenColors = 0x83;
constexpr std::uint8_t kInterlaced = 0x40;

GifBuilder FourColorScreen(std::uint16_t width = 2, std::uint16_t height = 2)
{
    return std::move(
        GifBuilder{}.Signature().Screen(width, height, kFourColors).Colors({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
}

const test::ReaderCalls kReader(ReadGifPicture, kPath);

TEST(GifReader, BlockWalk)
{
    const std::vector<std::uint32_t> fourColors = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const std::vector<std::uint8_t> sixteen = {15, 14, 1, 2, 3, 4, 5, 6, 7, 8};
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::uint32_t> colors;
    } rows[] = {
        {"global table", FourColorScreen().Image(2, 2, kNoTable).Pixels(2, kFourPixels).Trailer().Build(), fourColors},
        {"87a",
         GifBuilder{}
             .Signature("GIF87a")
             .Screen(2, 2, kFourColors)
             .Colors({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF})
             .Image(2, 2, kNoTable)
             .Pixels(2, kFourPixels)
             .Trailer()
             .Build(),
         fourColors},
        {"no table at all: 0 black, 1 white",
         GifBuilder{}.Signature().Screen(2, 1, kNoTable).Image(2, 1, kNoTable).Pixels(2, {{1, 0}}).Trailer().Build(),
         {0xFFFFFF, 0x000000}},
        {"local table over the global one",
         FourColorScreen().Image(2, 1, kTwoColors).Colors({0x123456, 0x654321}).Pixels(2, {{1, 0}}).Trailer().Build(),
         {0x654321, 0x123456}},
        // Transparency, comments and unknown extensions are skipped whatever they hold.
        {"extensions skipped",
         FourColorScreen()
             .Extension(0xFE, {"a comment", "in two sub-blocks"})
             .Extension(0xF9, {std::string("\x01\x00\x00\x02", 4)})  // transparent index 2
             .Extension(0x99, {"unknown"})
             .Image(2, 2, kNoTable)
             .Pixels(2, kFourPixels)
             .Trailer()
             .Build(),
         fourColors},
        {"first image only, at its own size",
         FourColorScreen(9, 9)
             .Image(1, 2, kNoTable)
             .Pixels(2, {{3, 2}})
             .Image(2, 2, kNoTable)
             .Pixels(2, kFourPixels)
             .Trailer()
             .Build(),
         {0xFFFFFF, 0x0000FF}},
        {"interlaced",
         FourColorScreen().Image(1, 4, kInterlaced).Pixels(2, {{0, 2, 1, 3}}).Trailer().Build(),
         {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}},
        // 16 colours pack two to a byte; a width of 5 leaves padding that is never expanded.
        {"16 colours, width 5",
         GifBuilder{}
             .Signature()
             .Screen(5, 2, kSixteenColors)
             .Colors({0, 0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606, 0x070707, 0x080808, 0x090909,
                      0x0A0A0A, 0x0B0B0B, 0x0C0C0C, 0x0D0D0D, 0x0E0E0E, 0x0F0F0F})
             .Image(5, 2, kNoTable)
             .Pixels(4, sixteen)
             .Trailer()
             .Build(),
         {0x0F0F0F, 0x0E0E0E, 0x010101, 0x020202, 0x030303, 0x040404, 0x050505, 0x060606, 0x070707, 0x080808}},
        // Clear (4), pixel 3, end (5): the pixels never reached show colour 0.
        {"early end code",
         FourColorScreen()
             .Image(2, 2, kNoTable)
             .Byte(2)
             .Bytes(test::SubBlocks(test::LzwCodeWriter{}.Code(4, 3).Code(3, 3).Code(5, 3).Bytes()))
             .Trailer()
             .Build(),
         {0xFFFFFF, 0xFF0000, 0xFF0000, 0xFF0000}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const DecodedPicture picture = kReader.Read(row.bytes);
        EXPECT_EQ(picture.BitsPerPixel(), 24);
        EXPECT_TRUE(picture.Palette().empty());
        EXPECT_FALSE(picture.PaletteChanged()) << "the reader leaves the palette alone";
        EXPECT_EQ(PixelColors(picture), row.colors);
    }
}

TEST(GifReader, Refusals)
{
    const std::string report = std::string("Intenal error: Please send me this GIF to email ") + KINETAR_SUPPORT_EMAIL +
                               " (UGIFPICTURE, line 142)";
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string message;
    } rows[] = {
        {"capital A", GifBuilder{}.Signature("GIF89A").Screen(1, 1, kNoTable).Build(), "Bad GIF signature"},
        {"unknown block", FourColorScreen().Byte(0x2D).Build(), "Bad GIF header "},
        {"trailer before any image", FourColorScreen().Extension(0xFE, {"x"}).Trailer().Build(), report},
        {"width 0", FourColorScreen().Image(0, 2, kNoTable).Pixels(2, {}).Build(), "Bad GIF header "},
        {"height 0", FourColorScreen().Image(2, 0, kNoTable).Pixels(2, {}).Build(), "Bad GIF header "},
        {"65535 x 65535", FourColorScreen().Image(65535, 65535, kNoTable).Pixels(2, {}).Build(),
         "Picture is too large " + kPath},
        {"code size 10", FourColorScreen().Image(2, 2, kNoTable).Byte(10).Byte(0).Build(), "Bad GIF code size "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(kReader.ErrorOf(row.bytes), row.message);
    }
}

TEST(GifReader, TruncationTable)
{
    const auto valid = GifBuilder{}
                           .Signature()
                           .Screen(2, 2, kTwoColors)
                           .Colors({0x000000, 0xFFFFFF})
                           .Extension(0xFE, {"ab", "cd"})
                           .Image(2, 2, kFourColors)
                           .Colors({1, 2, 3, 4})
                           .Pixels(2, kFourPixels)
                           .Build();
    ASSERT_NO_THROW(kReader.Read(valid));
    const std::size_t codeSizeAt = 6 + 7 + 6 + 9 + 10 + 12;  // signature, screen, table, comment, image, table
    ASSERT_EQ(valid[codeSizeAt], 2);
    test::ExpectTruncations(valid, 0, valid.size() - 1, kReader.Reads(), [&](std::size_t cut) {
        return cut > codeSizeAt ? "Read GIF error" : cut >= 6 && cut < 13 ? "GIF read error" : "GIF read error ";
    });
    // Without its block terminator the image is still whole: nothing after the last pixel is read.
    EXPECT_NO_THROW(kReader.Read({valid.begin(), valid.end() - 1}));
}

TEST(GifReader, FailureLeavesThePictureAlone)
{
    DecodedPicture picture;
    picture.SetWidth(3);
    picture.SetHeight(1);
    picture.Fill(0x42);
    const auto broken = FourColorScreen().Image(2, 2, kNoTable).Byte(2).Byte(1).Byte(0x0C).Build();
    EXPECT_THROW(ReadGifPicture(broken, kPath, picture), Error);
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_EQ(picture.Row(0)[0], 0x42);
}

TEST(GifReader, FilesAndTheFormatTest)
{
    const test::TempDir dir;
    const auto bytes = FourColorScreen().Image(2, 2, kNoTable).Pixels(2, kFourPixels).Trailer().Build();
    test::WriteFile(dir.File("a.bin"), bytes);
    test::WriteFile(dir.File("a.tga"), bytes);
    EXPECT_EQ(PixelColors(*LoadPicture(dir.File("a.bin"))),
              (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    EXPECT_THROW(LoadPicture(dir.File("a.tga")), Error) << "a GIF named .tga goes to the TGA reader";

    const std::string missing = dir.File("missing.gif");
    DecodedPicture picture;
    EXPECT_EQ(test::ErrorText([&] { ReadGifPicture(missing, picture); }), "GIF read error ");
    EXPECT_EQ(test::ErrorText([&] { (void)IsGifFile(missing); }), "Can't open file " + missing);
}

}  // namespace
}  // namespace kinetar::pictures
