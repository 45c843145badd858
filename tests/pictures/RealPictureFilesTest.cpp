#include <gtest/gtest.h>

#include <string>

#include "pictures/LoadPicture.h"
#include "support/ErrorText.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

using test::kConvert;
using test::kFfmpeg;
using test::kPython;
using test::RgbImage;

// Pictures written by other programs at test time, read by us and compared pixel for pixel with
// another program's decode of the same file.

constexpr int kWidth = 37;  // odd, so PCX lines and packed rows have odd lengths
constexpr int kHeight = 23;

// A picture of kWidth x kHeight with the given number of colours (0: every pixel its own).
RgbImage SourcePicture(int colors)
{
    RgbImage image{kWidth, kHeight, {}};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (colors == 0) {
                image.Pixels.insert(image.Pixels.end(),
                                    {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 11),
                                     static_cast<std::uint8_t>((x + y) * 5)});
            } else {
                const int index = (x * 3 + y * 5 + (x ^ y)) % colors;
                image.Pixels.insert(image.Pixels.end(), {static_cast<std::uint8_t>(index * 37 % 256),
                                                         static_cast<std::uint8_t>(index * 91 % 256),
                                                         static_cast<std::uint8_t>((index * 53 + colors) % 256)});
            }
        }
    }
    return image;
}

enum class Reference { ImageMagick, Pillow };

struct RealFile {
    const char* name;
    int colors;  // of the source picture
    std::string extension;
    std::string tool;     // must exist for the row to run
    std::string command;  // {in} and {out} stand for the source and the written file
    Reference reference = Reference::ImageMagick;
    bool fiveBitChannels = false;  // 16-bit TGA: we keep only the top 5 bits of each channel
};

std::string Pillow(const std::string& statement)
{
    return test::PillowCommand(statement, "{in} {out}");
}

// TGA files are checked against Pillow: the ImageMagick at hand stores and reads rows against the
// descriptor's origin bit (ffmpeg and Pillow agree with each other and with us).
const RealFile kRealFiles[] = {
    {"PCX 3 planes, netpbm", 0, ".pcx", "/usr/bin/ppmtopcx", "/usr/bin/ppmtopcx -24bit {in} > {out} 2>/dev/null"},
    {"PCX 1 plane, netpbm", 200, ".pcx", "/usr/bin/ppmtopcx", "/usr/bin/ppmtopcx -8bit {in} > {out} 2>/dev/null"},
    {"PCX 3 planes, ImageMagick", 0, ".pcx", kConvert, kConvert + " {in} {out}"},
    {"PCX 1 plane, ImageMagick", 200, ".pcx", kConvert, kConvert + " {in} -type Palette {out}"},
    {"PCX 1 plane, Pillow", 200, ".pcx", kPython, Pillow("im.quantize(200).save(sys.argv[2])"), Reference::Pillow},

    {"TGA type 2, 24 bits, bottom first", 0, ".tga", kConvert, kConvert + " {in} -compress None {out}",
     Reference::Pillow},
    {"TGA type 2, 24 bits, top first", 0, ".tga", kPython, Pillow("im.save(sys.argv[2], orientation=1)"),
     Reference::Pillow},
    {"TGA type 2, 16 bits, top first", 0, ".tga", kFfmpeg,
     kFfmpeg + " -loglevel error -y -i {in} -pix_fmt rgb555le -rle 0 {out}", Reference::Pillow, true},
    {"TGA type 10, bottom first", 0, ".tga", kConvert, kConvert + " {in} -compress RLE {out}", Reference::Pillow},
    {"TGA type 10, top first", 0, ".tga", kPython,
     Pillow("im.save(sys.argv[2], orientation=1, compression=\"tga_rle\")"), Reference::Pillow},
    {"TGA type 1, bottom first", 200, ".tga", kConvert, kConvert + " {in} -type Palette -compress None {out}",
     Reference::Pillow},
    {"TGA type 1, top first", 200, ".tga", kPython, Pillow("im.quantize(200).save(sys.argv[2], orientation=1)"),
     Reference::Pillow},
    {"TGA type 9, bottom first, image ID", 200, ".tga", "/usr/bin/ppmtotga",
     "/usr/bin/ppmtotga -cmap {in} > {out} 2>/dev/null", Reference::Pillow},
    {"TGA type 9, top first", 200, ".tga", kPython,
     Pillow("im.quantize(200).save(sys.argv[2], orientation=1, compression=\"tga_rle\")"), Reference::Pillow},
    {"TGA type 3, bottom first", 0, ".tga", kConvert, kConvert + " {in} -colorspace Gray -compress None {out}",
     Reference::Pillow},
    {"TGA type 3, top first", 0, ".tga", kPython, Pillow("im.convert(\"L\").save(sys.argv[2], orientation=1)"),
     Reference::Pillow},
    {"TGA type 11, bottom first", 0, ".tga", "/usr/bin/ppmtotga", "/usr/bin/ppmtotga -mono {in} > {out} 2>/dev/null",
     Reference::Pillow},
    {"TGA type 11, top first", 0, ".tga", kPython,
     Pillow("im.convert(\"L\").save(sys.argv[2], orientation=1, compression=\"tga_rle\")"), Reference::Pillow},

    {"GIF 87a, 8 colours", 8, ".gif", "/usr/bin/ppmtogif", "/usr/bin/ppmtogif {in} > {out} 2>/dev/null"},
    {"GIF 87a interlaced, 17 colours", 17, ".gif", "/usr/bin/pamtogif",
     "/usr/bin/pamtogif -interlace {in} > {out} 2>/dev/null"},
    {"GIF 89a, comment", 17, ".gif", "/usr/bin/pamtogif",
     "/usr/bin/pamtogif -comment \"two words\" {in} > {out} 2>/dev/null"},
    {"GIF 89a, transparency", 8, ".gif", "/usr/bin/pamtogif",
     "/usr/bin/pamtogif -transparent=#000010 {in} > {out} 2>/dev/null", Reference::Pillow},
    {"GIF 89a, 2 colours", 2, ".gif", kConvert, kConvert + " {in} {out}"},
    {"GIF 89a, 3 colours", 3, ".gif", kConvert, kConvert + " {in} {out}"},
    {"GIF 89a interlaced, 256 colours", 256, ".gif", kConvert, kConvert + " {in} -interlace GIF {out}"},
    {"GIF 89a, several images", 3, ".gif", kConvert, kConvert + " {in} -negate {in} {out}"},
    {"GIF local table only", 256, ".gif", kFfmpeg, kFfmpeg + " -loglevel error -y -i {in} -global_palette 0 {out}"},
    {"GIF local and global tables, interlaced", 17, ".gif", kPython,
     Pillow("im.quantize(17).save(sys.argv[2], include_color_table=True)"), Reference::Pillow},
    {"GIF two frames, transparency", 16, ".gif", kPython,
     Pillow("p = im.quantize(16)\np.save(sys.argv[2], save_all=True, append_images=[im.quantize(4)], transparency=3)"),
     Reference::Pillow},
};

TEST(RealPictureFiles, DecodeLikeAnIndependentDecoder)
{
    KINETAR_SKIP_WITHOUT(kConvert, kPython);
    const test::TempDir dir;
    int compared = 0;
    for (const RealFile& row : kRealFiles) {
        SCOPED_TRACE(row.name);
        if (!test::HaveProgram(row.tool)) {
            std::cout << "skipped, " << row.tool << " is missing: " << row.name << "\n";
            continue;
        }
        const std::string source = dir.File("source" + std::to_string(compared) + ".ppm");
        const std::string written = dir.File("written" + std::to_string(compared) + row.extension);
        test::WriteFile(source, test::PpmBytes(SourcePicture(row.colors)));
        ASSERT_EQ(test::RunCommand(test::FillCommand(row.command, source, written)), 0) << row.command;

        const auto expected =
            row.reference == Reference::Pillow ? test::DecodeWithPillow(written) : test::DecodeWithImageMagick(written);
        ASSERT_TRUE(expected.has_value()) << "the reference decoder failed";
        RgbImage reference = *expected;
        if (row.fiveBitChannels) {
            for (std::uint8_t& channel : reference.Pixels) {
                channel = static_cast<std::uint8_t>(channel & 0xF8);
            }
        }
        const auto picture = LoadPicture(written);
        EXPECT_EQ(test::FirstDifference(test::ToRgb(*picture), reference), "");
        ++compared;
    }
    EXPECT_GE(compared, 20);
}

// 16-bit run-length TGA from an independent writer is refused with the reader's own message.
TEST(RealPictureFiles, SixteenBitRunLengthTgaIsRefused)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    const test::TempDir dir;
    test::WriteFile(dir.File("flat.ppm"), test::PpmBytes(test::SolidImage(64, 8, 0)));
    const std::string out = dir.File("flat.tga");
    ASSERT_EQ(test::RunCommand(test::FillCommand(kFfmpeg + " -loglevel error -y -i {in} -pix_fmt rgb555le -rle 1 {out}",
                                                 dir.File("flat.ppm"), out)),
              0);
    const auto bytes = test::ReadFile(out);
    ASSERT_GE(bytes.size(), 18U);
    if (bytes[2] != 10) {
        GTEST_SKIP() << "ffmpeg wrote type " << int{bytes[2]} << ", not run-length";
    }
    EXPECT_EQ(test::ErrorText([&] { (void)LoadPicture(out); }),
              "This isn't tested YET, please send me this picture. I can't create 16 bits TGA");
}

}  // namespace
}  // namespace kinetar::pictures
