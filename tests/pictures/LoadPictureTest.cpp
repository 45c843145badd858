#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "support/BmpBuilder.h"
#include "support/ErrorText.h"
#include "support/PcxBuilder.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"
#include "support/TgaBuilder.h"

namespace kinetar::pictures {
namespace {

using test::TempDir;

std::string LoadError(const std::string& path)
{
    return test::ErrorText([&] { (void)LoadPicture(path); });
}

// A PCX header alone: a blank window and no lines.
std::vector<std::uint8_t> PcxHeader(std::uint8_t version, std::uint8_t planes)
{
    return test::PcxBuilder{}.Version(version).Planes(planes).BytesPerLine(0).Build();
}

TEST(LoadPicture, MissingFileFailsAtTheFirstTestWhateverItsName)
{
    TempDir dir;
    for (const char* name : {"x.tga", "x.bmp", "x.gif", "x"}) {
        const std::string path = dir.File(name);
        EXPECT_EQ(LoadError(path), "Can't open file " + path);
    }
    EXPECT_EQ(LoadError(dir.Path().string()), "Can't open file " + dir.Path().string()) << "a folder is no picture";
    EXPECT_THROW((void)IsBmpFile(dir.File("x.tga")), Error);
    EXPECT_THROW((void)IsGifFile(dir.File("x.tga")), Error);
    EXPECT_FALSE(IsTgaFile(dir.File("x.gif"))) << "the TGA test looks at the name only";
}

TEST(LoadPicture, AFifoOrADeviceIsRefusedAtOnce)
{
    TempDir dir;
    const std::string fifo = dir.File("fifo.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(20);  // a blocking open would wait for a writer for ever, and /dev/zero never ends
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        EXPECT_EQ(LoadError(path), path + " is not a regular file");
    }
    ::alarm(0);
}

TEST(LoadPicture, ContentDecidesBeforeTheName)
{
    TempDir dir;
    const auto bmp = test::BmpBuilder{}.Size(1, 1).Bits(24).Pixels({1, 2, 3, 0}).Build();
    for (const char* name : {"picture.tga", "picture.gif", "picture.pcx", "picture"}) {
        const std::string path = dir.File(name);
        test::WriteFile(path, bmp);
        const auto picture = LoadPicture(path);
        EXPECT_EQ(picture->PixelColor(0, 0), (PaletteEntry{3, 2, 1, 0})) << name;
    }
}

std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

TEST(LoadPicture, FormatTestsInTheirOrder)
{
    using namespace std::string_view_literals;
    auto shortPcx = PcxHeader(5, 1);
    shortPcx.pop_back();
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* path;
        PictureFormat expected;
    } rows[] = {
        {"13 bytes of BM are not BMP", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "/p/a.bmp", PictureFormat::Unknown},
        {"14 bytes of BM are", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "/p/a.gif", PictureFormat::Bmp},
        {"PCX version 5, 1 plane", PcxHeader(5, 1), "/p/a.tga", PictureFormat::Pcx},
        {"PCX version 5, 3 planes", PcxHeader(5, 3), "/p/a", PictureFormat::Pcx},
        {"127 bytes are not PCX", shortPcx, "/p/a", PictureFormat::Unknown},
        {"GIF named .TGA is TGA", {'G', 'I', 'F', '8', '9', 'a', 0}, "/p/A.TGA", PictureFormat::Tga},
        {"anything named .Tga", {}, "/p/b.Tga", PictureFormat::Tga},
        {"GIF89a", {'G', 'I', 'F', '8', '9', 'a'}, "/p/a.bmp", PictureFormat::Gif},
        {"GIF87a", {'G', 'I', 'F', '8', '7', 'a'}, "/p/a", PictureFormat::Gif},
        {"GIF89A is not", {'G', 'I', 'F', '8', '9', 'A'}, "/p/a.gif", PictureFormat::Unknown},
        {"named .tg", {}, "/p/a.tg", PictureFormat::Unknown},
        {"named tga without a dot", {}, "/p/tga", PictureFormat::Unknown},
        {"a dot in the folder only", {}, "/p.tga/a", PictureFormat::Unknown},
        {"JPEG named .tga", Bytes("\xFF\xD8\xFF"sv), "/p/a.tga", PictureFormat::Jpeg},
        {"FF D8 FE is not JPEG", Bytes("\xFF\xD8\xFE"sv), "/p/a.jpg", PictureFormat::Unknown},
        {"PNG", Bytes("\x89PNG\r\n\x1A\n"sv), "/p/a", PictureFormat::Png},
        {"PNG with a text-mode line end", Bytes("\x89PNG\n\n\x1A\n"sv), "/p/a", PictureFormat::Unknown},
        {"WebP", Bytes("RIFF\x09\0\0\0WEBP"sv), "/p/a.tga", PictureFormat::Webp},
        {"RIFF AVI", Bytes("RIFF\x09\0\0\0AVI "sv), "/p/a", PictureFormat::Unknown},
        // box size, "ftyp", major brand, minor version, compatible brands
        {"HEIC major brand", Bytes("\0\0\0\020ftypheic\0\0\0\0"sv), "/p/a", PictureFormat::Heif},
        {"AVIF compatible brand", Bytes("\0\0\0\030ftypavis\0\0\0\0mif1avif"sv), "/p/a", PictureFormat::Heif},
        {"a brand past the box's end", Bytes("\0\0\0\024ftypisom\0\0\0\0iso2heic"sv), "/p/a", PictureFormat::Unknown},
        {"heic as the minor version", Bytes("\0\0\0\020ftypmp42heic"sv), "/p/a", PictureFormat::Unknown},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DetectPictureFormat(row.bytes, row.path), row.expected) << row.name;
    }
}

TEST(LoadPicture, RecognisingAFileFromItsFirstBytesAgreesWithTheWholeFile)
{
    using namespace std::string_view_literals;
    TempDir dir;
    const auto bmp = test::BmpBuilder{}.Size(64, 64).Bits(24).Pixels(std::vector<std::uint8_t>(64 * 64 * 3, 9)).Build();
    std::vector<std::uint8_t> noise(10000);
    std::mt19937 generator(7);
    for (auto& byte : noise) {
        byte = static_cast<std::uint8_t>(generator());
    }
    noise[0] = 0;  // no signature starts with a zero byte, whatever the seed gives
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        PictureFormat expected;
    } rows[] = {
        {"whole.bmp", bmp, PictureFormat::Bmp},  // longer than the bytes looked at
        {"cut.bmp", {bmp.begin(), bmp.begin() + 20}, PictureFormat::Bmp},
        {"bmp.jpg", bmp, PictureFormat::Bmp},
        {"signature-only.jpg", Bytes("\xFF\xD8\xFF"sv), PictureFormat::Jpeg},
        {"cut.png", Bytes("\x89PNG\r\n\x1A\n\0\0"sv), PictureFormat::Png},
        {"gif.bmp", Bytes("GIF89a\x01\0"sv), PictureFormat::Gif},
        {"header.pcx", PcxHeader(5, 3), PictureFormat::Pcx},
        {"anything.tga", Bytes("not a picture at all\n"sv), PictureFormat::Tga},
        {"text.jpg", Bytes("These are notes, not a photo.\n"sv), PictureFormat::Unknown},
        {"empty.png", {}, PictureFormat::Unknown},
        {"noise.gif", noise, PictureFormat::Unknown},
        {"noise", noise, PictureFormat::Unknown},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.File(row.name);
        test::WriteFile(path, row.bytes);
        EXPECT_EQ(RecognisePictureFile(path), row.expected);
        EXPECT_EQ(DetectPictureFormat(row.bytes, path), row.expected);
    }
}

TEST(LoadPicture, RecognisingAFileRaisesWhatOpeningItDoes)
{
    TempDir dir;
    const std::string missing = dir.File("missing.bmp");
    EXPECT_EQ(test::ErrorText([&] { (void)RecognisePictureFile(missing); }), "Can't open file " + missing);
    const std::string fifo = dir.File("fifo.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ::alarm(20);  // a blocking open would wait for a writer for ever
    EXPECT_EQ(test::ErrorText([&] { (void)RecognisePictureFile(fifo); }), fifo + " is not a regular file");
    ::alarm(0);
    const std::string oldPcx = dir.File("old.pcx");
    test::WriteFile(oldPcx, PcxHeader(3, 1));
    EXPECT_EQ(test::ErrorText([&] { (void)RecognisePictureFile(oldPcx); }),
              "Format of PCX is old. Supported is only version 5.0: " + oldPcx);
}

TEST(LoadPicture, OldPcxIsRefusedAndNoLaterTestIsTried)
{
    const struct {
        std::uint8_t version, planes;
    } rows[] = {{3, 1}, {0, 3}, {5, 2}, {5, 4}};
    for (const auto& row : rows) {
        const std::string path = "/p/old.tga";
        SCOPED_TRACE("version " + std::to_string(row.version) + ", planes " + std::to_string(row.planes));
        EXPECT_EQ(test::ErrorText([&] { (void)DetectPictureFormat(PcxHeader(row.version, row.planes), path); }),
                  "Format of PCX is old. Supported is only version 5.0: " + path);
    }
}

TEST(LoadPicture, UnknownFormat)
{
    TempDir dir;
    for (const char* name : {"empty.bmp", "empty", "empty.gif"}) {
        const std::string path = dir.File(name);
        test::WriteFile(path, {});
        EXPECT_EQ(LoadError(path), "Unknown file format " + path);
    }
    const std::string text = dir.File("notes.txt");
    test::WriteFile(text, std::vector<std::uint8_t>(200, 'x'));
    EXPECT_EQ(LoadError(text), "Unknown file format " + text);
}

TEST(LoadPicture, ReaderErrorEndsTheLoad)
{
    TempDir dir;
    const std::string path = dir.File("cut.gif");
    const auto whole = test::BmpBuilder{}.Size(4, 4).Bits(24).Pixels(std::vector<std::uint8_t>(48, 7)).Build();
    test::WriteFile(path, std::vector<std::uint8_t>(whole.begin(), whole.begin() + 60));
    EXPECT_EQ(LoadError(path), "Reading pixels FAILED" + path);
}

// A picture read from its file gives the file's bytes back to the system as its rows are copied
// (a 16384 x 16384 BMP would otherwise be held twice); the rows come out as from bytes the caller
// keeps, which are left untouched.
TEST(LoadPicture, AnUncompressedPictureFromItsFileEqualsOneFromBytesKept)
{
    constexpr int kWidth = 1000;
    constexpr int kHeight = 700;  // rows of 3000 bytes: 2.1 MB, past the steps bytes are given back in
    std::vector<std::uint8_t> pixels(std::size_t{kWidth} * 3 * kHeight);
    std::mt19937 random(7);
    for (std::uint8_t& byte : pixels) {
        byte = static_cast<std::uint8_t>(random());
    }
    const struct {
        const char* name;
        std::vector<std::uint8_t> file;
    } rows[] = {
        {"bottom-up.bmp", test::BmpBuilder{}.Size(kWidth, kHeight).Bits(24).Pixels(pixels).Build()},
        {"top-down.bmp", test::BmpBuilder{}.Size(kWidth, -kHeight).Bits(24).Pixels(pixels).Build()},
        {"bottom-up.tga", test::TgaBuilder{}.Size(kWidth, kHeight).Data(pixels).Build()},
        {"top-down.tga", test::TgaBuilder{}.Size(kWidth, kHeight).Descriptor(0x20).Data(pixels).Build()},
    };
    TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.File(row.name);
        test::WriteFile(path, row.file);
        const std::vector<std::uint8_t> kept = row.file;
        const std::vector<std::uint32_t> fromFile = test::PixelColors(*LoadPicture(path));
        EXPECT_TRUE(test::PixelColors(*LoadPicture(kept, path)) == fromFile);
        EXPECT_EQ(kept, row.file);
        // The top row: a bottom-up file stores it last.
        const std::size_t top = row.name[0] == 'b' ? std::size_t{kWidth} * 3 * (kHeight - 1) : 0;
        std::vector<std::uint32_t> topRow;
        for (std::size_t x = top; x < top + kWidth * 3; x += 3) {
            topRow.push_back(std::uint32_t{pixels[x + 2]} << 16 | std::uint32_t{pixels[x + 1]} << 8 | pixels[x]);
        }
        EXPECT_TRUE(std::equal(topRow.begin(), topRow.end(), fromFile.begin(), fromFile.begin() + kWidth));
    }
}

// Found by fuzzing: a file whose alpha plane, an image of its own, is smaller than the picture
// was read past the plane's end.
TEST(LoadPicture, AHeifAlphaPlaneSmallerThanThePictureIsRefused)
{
    const std::string path = std::string(KINETAR_TEST_DATA_DIR) + "/heif-alpha-smaller-than-picture.heic";
    EXPECT_EQ(LoadError(path), "Bad HEIF file " + path);
}

}  // namespace
}  // namespace kinetar::pictures
