#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

using test::RgbImage;

// A BMP writer: another program and the command that turns src.ppm into out.bmp.
struct Writer {
    const char* name;
    const char* program;  // must exist for the row to run
    const char* command;  // IN and OUT are replaced by the quoted paths
    int colours;          // distinct colours in the source picture
    int bits;             // the bit count the writer must choose; 0: by the colours used, as ImageMagick does
    std::uint32_t infoSize;
    std::uint32_t compression;
};

const Writer kWriters[] = {
    {"magick_24_bmp3", "/usr/bin/convert", "/usr/bin/convert IN -type TrueColor BMP3:OUT", 300, 24, 40, 0},
    {"magick_8_bmp3", "/usr/bin/convert", "/usr/bin/convert IN -type Palette -compress None BMP3:OUT", 200, 0, 40, 0},
    {"magick_4_bmp3", "/usr/bin/convert", "/usr/bin/convert IN -type Palette -compress None BMP3:OUT", 12, 0, 40, 0},
    {"magick_1_bmp3", "/usr/bin/convert", "/usr/bin/convert IN -type Bilevel BMP3:OUT", 2, 1, 40, 0},
    {"magick_rle8_bmp3", "/usr/bin/convert", "/usr/bin/convert IN -type Palette -compress RLE BMP3:OUT", 200, 8, 40, 1},
    {"magick_rle8_v5", "/usr/bin/convert", "/usr/bin/convert IN -type Palette -compress RLE BMP:OUT", 200, 8, 124, 1},
    {"magick_8_v5", "/usr/bin/convert", "/usr/bin/convert IN -type Palette -compress None BMP:OUT", 100, 0, 124, 0},
    {"magick_24_v5", "/usr/bin/convert", "/usr/bin/convert IN -type TrueColor BMP:OUT", 300, 24, 124, 0},
    {"netpbm_24", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 24 IN > OUT 2>/dev/null", 300, 24, 40, 0},
    {"netpbm_8", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 8 IN > OUT 2>/dev/null", 200, 8, 40, 0},
    {"netpbm_4", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 4 IN > OUT 2>/dev/null", 16, 4, 40, 0},
    {"netpbm_1", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 1 IN > OUT 2>/dev/null", 2, 1, 40, 0},
    {"pillow_24", "/usr/bin/python3",
     "/usr/bin/python3 -c \"import sys; from PIL import Image; Image.open(sys.argv[1]).save(sys.argv[2])\" IN OUT", 300,
     24, 40, 0},
    {"pillow_8", "/usr/bin/python3",
     "/usr/bin/python3 -c \"import sys; from PIL import Image; "
     "Image.open(sys.argv[1]).quantize(200).save(sys.argv[2])\" IN OUT",
     200, 8, 40, 0},
    {"pillow_1", "/usr/bin/python3",
     "/usr/bin/python3 -c \"import sys; from PIL import Image; "
     "Image.open(sys.argv[1]).convert('1').save(sys.argv[2])\" IN OUT",
     2, 1, 40, 0},
    {"ffmpeg_24", "/usr/bin/ffmpeg", "/usr/bin/ffmpeg -v error -y -i IN -c:v bmp -pix_fmt bgr24 OUT", 300, 24, 40, 0},
    {"ffmpeg_8", "/usr/bin/ffmpeg", "/usr/bin/ffmpeg -v error -y -i IN -c:v bmp -pix_fmt pal8 OUT", 300, 8, 40, 0},
    {"ffmpeg_rgb8", "/usr/bin/ffmpeg", "/usr/bin/ffmpeg -v error -y -i IN -c:v bmp -pix_fmt rgb8 OUT", 300, 8, 40, 0},
    {"ffmpeg_gray", "/usr/bin/ffmpeg", "/usr/bin/ffmpeg -v error -y -i IN -c:v bmp -pix_fmt gray OUT", 300, 8, 40, 0},
    {"ffmpeg_1", "/usr/bin/ffmpeg", "/usr/bin/ffmpeg -v error -y -i IN -c:v bmp -pix_fmt monob OUT", 2, 1, 40, 0},
};

void PrintTo(const Writer& writer, std::ostream* out)
{
    *out << writer.name;
}

const std::pair<int, int> kSizes[] = {{1, 2}, {2, 3}, {3, 1}, {4, 4}, {5, 3}, {33, 17}};

// A picture of the given number of distinct colours; with 2 they are black and white.
std::vector<std::uint8_t> SourcePpm(int width, int height, int colours)
{
    std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int index = (x * 3 + y * 5 + x * y) % colours;  // as DistinctColours counts them
            if (colours == 2) {
                const std::uint8_t level = index != 0 ? 255 : 0;
                bytes.insert(bytes.end(), {level, level, level});
            } else {
                bytes.insert(bytes.end(),
                             {static_cast<std::uint8_t>(index * 37), static_cast<std::uint8_t>(index * 91 + 7),
                              static_cast<std::uint8_t>(index * 151 + 13)});
            }
        }
    }
    return bytes;
}

int DistinctColours(int width, int height, int colours)
{
    std::set<int> used;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            used.insert((x * 3 + y * 5 + x * y) % colours);
        }
    }
    return static_cast<int>(used.size());
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

// The same file with its rows stored top-down: rows reversed and the height negated.
std::vector<std::uint8_t> TopDown(std::vector<std::uint8_t> bytes, int bits)
{
    const auto width = static_cast<std::int32_t>(U32At(bytes, 18));
    const auto height = static_cast<std::int32_t>(U32At(bytes, 22));
    const std::size_t stride = RowStride(width, bits);
    const std::size_t offset = U32At(bytes, 10);
    std::vector<std::uint8_t> flipped(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    for (std::int32_t row = height - 1; row >= 0; --row) {
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(offset + stride * static_cast<std::size_t>(row));
        flipped.insert(flipped.end(), from, from + static_cast<std::ptrdiff_t>(stride));
    }
    const auto negative = static_cast<std::uint32_t>(-height);
    for (int i = 0; i < 4; ++i) {
        flipped[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(negative >> (8 * i));
    }
    return flipped;
}

class RealBmpFiles : public ::testing::TestWithParam<std::tuple<Writer, std::pair<int, int>>> {};

TEST_P(RealBmpFiles, DecodeLikeAnotherProgram)
{
    const auto& [writer, size] = GetParam();
    if (!test::HaveProgram(writer.program)) {
        GTEST_SKIP() << writer.program << " is not installed (scripts/install-deps installs it)";
    }
    test::TempDir dir;
    const std::string source = dir.File("src.ppm");
    const std::string path = dir.File("out.bmp");
    test::WriteFile(source, SourcePpm(size.first, size.second, writer.colours));
    const std::string command =
        Replace(Replace(writer.command, "IN", test::ShellQuote(source)), "OUT", test::ShellQuote(path));
    ASSERT_EQ(test::RunCommand(command), 0) << command;
    const auto bytes = test::ReadFile(path);
    ASSERT_GE(bytes.size(), 54U);
    // The file is of the kind this row is meant to cover.
    ASSERT_EQ(U32At(bytes, 14), writer.infoSize);
    const int used = DistinctColours(size.first, size.second, writer.colours);
    const int bits = writer.bits != 0 ? writer.bits : used <= 2 ? 1 : used <= 16 ? 4 : 8;
    ASSERT_EQ(bytes[28], bits);
    ASSERT_EQ(U32At(bytes, 30), writer.compression);

    // ffmpeg judges what ImageMagick wrote, and ImageMagick the rest.
    const bool writtenByImageMagick = std::string(writer.program) == "/usr/bin/convert";
    const auto reference = writtenByImageMagick ? test::DecodeWithFfmpeg(path) : test::DecodeWithImageMagick(path);
    ASSERT_TRUE(reference.has_value());

    const auto picture = LoadPicture(path);
    EXPECT_EQ(picture->BitsPerPixel(), bits);
    EXPECT_EQ(test::FirstDifference(test::ToRgb(*picture), *reference), "");

    if (writer.compression == 0) {
        const auto topDown = LoadPicture(TopDown(bytes, bits), path);
        EXPECT_EQ(test::FirstDifference(test::ToRgb(*topDown), *reference), "") << "stored top-down";
    }
}

std::string CaseName(const ::testing::TestParamInfo<RealBmpFiles::ParamType>& info)
{
    const Writer& writer = std::get<0>(info.param);
    const auto size = std::get<1>(info.param);
    return std::string(writer.name) + "_" + std::to_string(size.first) + "x" + std::to_string(size.second);
}

INSTANTIATE_TEST_SUITE_P(Writers, RealBmpFiles,
                         ::testing::Combine(::testing::ValuesIn(kWriters), ::testing::ValuesIn(kSizes)), CaseName);

}  // namespace
}  // namespace kinetar::pictures
