#include <gtest/gtest.h>

#include <string>

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

using test::RgbImage;

// Pictures written by other programs at test time, read by us and compared pixel for pixel with
// another program's decode of the same file.

constexpr int kWidth = 37;  // odd, so PCX lines and packed rows have odd lengths
constexpr int kHeight = 23;

// A binary PPM of kWidth x kHeight with the given number of colours (0: every pixel its own).
std::vector<std::uint8_t> SourcePicture(int colors)
{
    test::ByteWriter ppm;
    ppm.Text("P6 " + std::to_string(kWidth) + " " + std::to_string(kHeight) + " 255\n");
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (colors == 0) {
                ppm.U8(static_cast<std::uint32_t>(x * 7)).U8(static_cast<std::uint32_t>(y * 11)).U8(static_cast<std::uint32_t>((x + y) * 5));
            } else {
                const int index = (x * 3 + y * 5 + (x ^ y)) % colors;
                ppm.U8(static_cast<std::uint32_t>(index * 37 % 256))
                    .U8(static_cast<std::uint32_t>(index * 91 % 256))
                    .U8(static_cast<std::uint32_t>((index * 53 + colors) % 256));
            }
        }
    }
    return ppm.Data();
}

enum class Reference { ImageMagick, Pillow };

struct RealFile {
    const char* name;
    int colors;            // of the source picture
    std::string extension;
    std::string tool;      // must exist for the row to run
    std::string command;   // {in} and {out} stand for the source and the written file
    Reference reference = Reference::ImageMagick;
    bool fiveBitChannels = false;  // 16-bit TGA: we keep only the top 5 bits of each channel
};

std::string Substitute(std::string command, const std::string& in, const std::string& out)
{
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{in}", in}, {"{out}", out}}) {
        const std::string quoted = test::ShellQuote(value);
        for (std::size_t at = command.find(key); at != std::string::npos; at = command.find(key, at + quoted.size())) {
            command.replace(at, key.size(), quoted);
        }
    }
    return command;
}

const std::string kConvert = "/usr/bin/convert";
const std::string kPython = "/usr/bin/python3";
const std::string kFfmpeg = "/usr/bin/ffmpeg";

std::string Pillow(const std::string& statement)
{
    return kPython + " -c 'import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n" + statement + "' {in} {out}";
}

// TGA files are checked against Pillow: the ImageMagick at hand stores and reads rows against the
// descriptor's origin bit (ffmpeg and Pillow agree with each other and with us).
const RealFile kRealFiles[] = {
    {"PCX 3 planes, netpbm", 0, ".pcx", "/usr/bin/ppmtopcx", "/usr/bin/ppmtopcx -24bit {in} > {out} 2>/dev/null"},
    {"PCX 1 plane, netpbm", 200, ".pcx", "/usr/bin/ppmtopcx", "/usr/bin/ppmtopcx -8bit {in} > {out} 2>/dev/null"},
    {"PCX 3 planes, ImageMagick", 0, ".pcx", kConvert, kConvert + " {in} {out}"},
    {"PCX 1 plane, ImageMagick", 200, ".pcx", kConvert, kConvert + " {in} -type Palette {out}"},
    {"PCX 1 plane, Pillow", 200, ".pcx", kPython, Pillow("im.quantize(200).save(sys.argv[2])"), Reference::Pillow},

    {"TGA type 2, 24 bits, bottom first", 0, ".tga", kConvert, kConvert + " {in} -compress None {out}", Reference::Pillow},
    {"TGA type 2, 24 bits, top first", 0, ".tga", kPython, Pillow("im.save(sys.argv[2], orientation=1)"), Reference::Pillow},
    {"TGA type 2, 16 bits, top first", 0, ".tga", kFfmpeg, kFfmpeg + " -loglevel error -y -i {in} -pix_fmt rgb555le -rle 0 {out}",
     Reference::Pillow, true},
    {"TGA type 10, bottom first", 0, ".tga", kConvert, kConvert + " {in} -compress RLE {out}", Reference::Pillow},
    {"TGA type 10, top first", 0, ".tga", kPython, Pillow("im.save(sys.argv[2], orientation=1, compression=\"tga_rle\")"), Reference::Pillow},
    {"TGA type 1, bottom first", 200, ".tga", kConvert, kConvert + " {in} -type Palette -compress None {out}", Reference::Pillow},
    {"TGA type 1, top first", 200, ".tga", kPython, Pillow("im.quantize(200).save(sys.argv[2], orientation=1)"), Reference::Pillow},
    {"TGA type 9, bottom first, image ID", 200, ".tga", "/usr/bin/ppmtotga", "/usr/bin/ppmtotga -cmap {in} > {out} 2>/dev/null", Reference::Pillow},
    {"TGA type 9, top first", 200, ".tga", kPython,
     Pillow("im.quantize(200).save(sys.argv[2], orientation=1, compression=\"tga_rle\")"), Reference::Pillow},
    {"TGA type 3, bottom first", 0, ".tga", kConvert, kConvert + " {in} -colorspace Gray -compress None {out}", Reference::Pillow},
    {"TGA type 3, top first", 0, ".tga", kPython, Pillow("im.convert(\"L\").save(sys.argv[2], orientation=1)"), Reference::Pillow},
    {"TGA type 11, bottom first", 0, ".tga", "/usr/bin/ppmtotga", "/usr/bin/ppmtotga -mono {in} > {out} 2>/dev/null", Reference::Pillow},
    {"TGA type 11, top first", 0, ".tga", kPython,
     Pillow("im.convert(\"L\").save(sys.argv[2], orientation=1, compression=\"tga_rle\")"), Reference::Pillow},

    {"GIF 87a, 8 colours", 8, ".gif", "/usr/bin/ppmtogif", "/usr/bin/ppmtogif {in} > {out} 2>/dev/null"},
    {"GIF 87a interlaced, 17 colours", 17, ".gif", "/usr/bin/pamtogif", "/usr/bin/pamtogif -interlace {in} > {out} 2>/dev/null"},
    {"GIF 89a, comment", 17, ".gif", "/usr/bin/pamtogif", "/usr/bin/pamtogif -comment \"two words\" {in} > {out} 2>/dev/null"},
    {"GIF 89a, transparency", 8, ".gif", "/usr/bin/pamtogif", "/usr/bin/pamtogif -transparent=#000010 {in} > {out} 2>/dev/null",
     Reference::Pillow},
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
    if (!test::HaveProgram(kConvert) || !test::HaveProgram(kPython)) {
        GTEST_SKIP() << "needs ImageMagick (/usr/bin/convert) and Python with Pillow (/usr/bin/python3)";
    }
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
        test::WriteFile(source, SourcePicture(row.colors));
        ASSERT_EQ(test::RunCommand(Substitute(row.command, source, written)), 0) << row.command;

        const auto expected = row.reference == Reference::Pillow ? test::DecodeWithPillow(written)
                                                                 : test::DecodeWithImageMagick(written);
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
    if (!test::HaveProgram(kFfmpeg)) {
        GTEST_SKIP() << "needs ffmpeg";
    }
    const test::TempDir dir;
    test::ByteWriter flat;
    flat.Text("P6 64 8 255\n").Zeros(64 * 8 * 3);
    test::WriteFile(dir.File("flat.ppm"), flat.Data());
    const std::string out = dir.File("flat.tga");
    ASSERT_EQ(test::RunCommand(Substitute(kFfmpeg + " -loglevel error -y -i {in} -pix_fmt rgb555le -rle 1 {out}",
                                          dir.File("flat.ppm"), out)), 0);
    const auto bytes = test::ReadFile(out);
    ASSERT_GE(bytes.size(), 18U);
    if (bytes[2] != 10) {
        GTEST_SKIP() << "ffmpeg wrote type " << int{bytes[2]} << ", not run-length";
    }
    try {
        (void)LoadPicture(out);
        FAIL() << "a 16-bit run-length TGA must be refused";
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), "This isn't tested YET, please send me this picture. I can't create 16 bits TGA");
    }
}

}  // namespace
}  // namespace kinetar::pictures
