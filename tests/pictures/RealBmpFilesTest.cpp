#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "pictures/LoadPicture.h"
#include "support/ByteWriter.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

using test::kConvert;
using test::kFfmpeg;
using test::kPython;
using test::LoadU32;
using test::PillowCommand;
using test::RgbImage;

// A BMP writer: another program and the command that turns {in}, a PPM, into {out}, a BMP.
struct Writer {
    std::string name;
    std::string program;  // must exist for the row to run
    std::string command;
    int colours;  // distinct colours in the source picture
    int bits;     // the bit count the writer must choose; 0: by the colours used, as ImageMagick does
    std::uint32_t infoSize;
    std::uint32_t compression;
};

const Writer kWriters[] = {
    {"magick_24_bmp3", kConvert, kConvert + " {in} -type TrueColor BMP3:{out}", 300, 24, 40, 0},
    {"magick_8_bmp3", kConvert, kConvert + " {in} -type Palette -compress None BMP3:{out}", 200, 0, 40, 0},
    {"magick_4_bmp3", kConvert, kConvert + " {in} -type Palette -compress None BMP3:{out}", 12, 0, 40, 0},
    {"magick_1_bmp3", kConvert, kConvert + " {in} -type Bilevel BMP3:{out}", 2, 1, 40, 0},
    {"magick_rle8_bmp3", kConvert, kConvert + " {in} -type Palette -compress RLE BMP3:{out}", 200, 8, 40, 1},
    {"magick_rle8_v5", kConvert, kConvert + " {in} -type Palette -compress RLE BMP:{out}", 200, 8, 124, 1},
    {"magick_8_v5", kConvert, kConvert + " {in} -type Palette -compress None BMP:{out}", 100, 0, 124, 0},
    {"magick_24_v5", kConvert, kConvert + " {in} -type TrueColor BMP:{out}", 300, 24, 124, 0},
    {"netpbm_24", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 24 {in} > {out} 2>/dev/null", 300, 24, 40, 0},
    {"netpbm_8", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 8 {in} > {out} 2>/dev/null", 200, 8, 40, 0},
    {"netpbm_4", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 4 {in} > {out} 2>/dev/null", 16, 4, 40, 0},
    {"netpbm_1", "/usr/bin/ppmtobmp", "/usr/bin/ppmtobmp -bpp 1 {in} > {out} 2>/dev/null", 2, 1, 40, 0},
    {"pillow_24", kPython, PillowCommand("im.save(sys.argv[2])", "{in} {out}"), 300, 24, 40, 0},
    {"pillow_8", kPython, PillowCommand("im.quantize(200).save(sys.argv[2])", "{in} {out}"), 200, 8, 40, 0},
    {"pillow_1", kPython, PillowCommand("im.convert('1').save(sys.argv[2])", "{in} {out}"), 2, 1, 40, 0},
    {"ffmpeg_24", kFfmpeg, kFfmpeg + " -v error -y -i {in} -c:v bmp -pix_fmt bgr24 {out}", 300, 24, 40, 0},
    {"ffmpeg_8", kFfmpeg, kFfmpeg + " -v error -y -i {in} -c:v bmp -pix_fmt pal8 {out}", 300, 8, 40, 0},
    {"ffmpeg_rgb8", kFfmpeg, kFfmpeg + " -v error -y -i {in} -c:v bmp -pix_fmt rgb8 {out}", 300, 8, 40, 0},
    {"ffmpeg_gray", kFfmpeg, kFfmpeg + " -v error -y -i {in} -c:v bmp -pix_fmt gray {out}", 300, 8, 40, 0},
    {"ffmpeg_1", kFfmpeg, kFfmpeg + " -v error -y -i {in} -c:v bmp -pix_fmt monob {out}", 2, 1, 40, 0},
};

void PrintTo(const Writer& writer, std::ostream* out)
{
    *out << writer.name;
}

const std::pair<int, int> kSizes[] = {{1, 2}, {2, 3}, {3, 1}, {4, 4}, {5, 3}, {33, 17}};

// A picture of the given number of distinct colours; with 2 they are black and white.
RgbImage SourcePicture(int width, int height, int colours)
{
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int index = (x * 3 + y * 5 + x * y) % colours;  // as DistinctColours counts them
            if (colours == 2) {
                const std::uint8_t level = index != 0 ? 255 : 0;
                image.Pixels.insert(image.Pixels.end(), {level, level, level});
            } else {
                image.Pixels.insert(image.Pixels.end(),
                                    {static_cast<std::uint8_t>(index * 37), static_cast<std::uint8_t>(index * 91 + 7),
                                     static_cast<std::uint8_t>(index * 151 + 13)});
            }
        }
    }
    return image;
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

// The same file with its rows stored top-down: rows reversed and the height negated.
std::vector<std::uint8_t> TopDown(const std::vector<std::uint8_t>& bytes, int bits)
{
    const auto width = static_cast<std::int32_t>(LoadU32(bytes, 18));
    const auto height = static_cast<std::int32_t>(LoadU32(bytes, 22));
    const std::size_t stride = RowStride(width, bits);
    const std::size_t offset = LoadU32(bytes, 10);
    test::ByteWriter flipped(
        std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(offset)));
    for (std::int32_t row = height - 1; row >= 0; --row) {
        flipped.Bytes(std::span(bytes).subspan(offset + stride * static_cast<std::size_t>(row), stride));
    }
    flipped.PatchU32(22, static_cast<std::uint32_t>(-height));
    return flipped.Data();
}

class RealBmpFiles : public ::testing::TestWithParam<std::tuple<Writer, std::pair<int, int>>> {};

TEST_P(RealBmpFiles, DecodeLikeAnotherProgram)
{
    const auto& [writer, size] = GetParam();
    KINETAR_SKIP_WITHOUT(writer.program);
    test::TempDir dir;
    const std::string source = dir.File("src.ppm");
    const std::string path = dir.File("out.bmp");
    test::WriteFile(source, test::PpmBytes(SourcePicture(size.first, size.second, writer.colours)));
    const std::string command = test::FillCommand(writer.command, source, path);
    ASSERT_EQ(test::RunCommand(command), 0) << command;
    const auto bytes = test::ReadFile(path);
    ASSERT_GE(bytes.size(), 54U);
    // The file is of the kind this row is meant to cover.
    ASSERT_EQ(LoadU32(bytes, 14), writer.infoSize);
    const int used = DistinctColours(size.first, size.second, writer.colours);
    const int bits = writer.bits != 0 ? writer.bits : used <= 2 ? 1 : used <= 16 ? 4 : 8;
    ASSERT_EQ(bytes[28], bits);
    ASSERT_EQ(LoadU32(bytes, 30), writer.compression);

    // ffmpeg judges what ImageMagick wrote, and ImageMagick the rest.
    const bool writtenByImageMagick = writer.program == kConvert;
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
    return writer.name + "_" + std::to_string(size.first) + "x" + std::to_string(size.second);
}

INSTANTIATE_TEST_SUITE_P(Writers, RealBmpFiles,
                         ::testing::Combine(::testing::ValuesIn(kWriters), ::testing::ValuesIn(kSizes)), CaseName);

}  // namespace
}  // namespace kinetar::pictures
