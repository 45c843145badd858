#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "pictures/LoadPicture.h"
#include "support/ErrorText.h"
#include "support/ExternalTools.h"
#include "support/PhotoTools.h"
#include "support/TestFiles.h"

namespace kinetar::pictures {
namespace {

using test::kConvert;
using test::kCwebp;
using test::kExiftool;
using test::kHeifConvert;
using test::kHeifEnc;
using test::kPython;

// Photos written by other programs at test time, read by us and compared with Pillow's decode of
// the same file (through heif-convert for HEIF, which Pillow does not read).

// What Pillow does to `im` to show the picture as we should: over black, turned, in sRGB.
const std::string kOnBlack =
    "im = Image.alpha_composite(Image.new('RGBA', im.size, (0, 0, 0, 255)), im.convert('RGBA'))\n";
const std::string kTurned = "from PIL import ImageOps\nim = ImageOps.exif_transpose(im)\n";
const std::string kToSrgb =
    "from PIL import ImageCms\nimport io\nim = ImageCms.profileToProfile(im, "
    "ImageCms.ImageCmsProfile(io.BytesIO(im.info['icc_profile'])), ImageCms.createProfile('sRGB'))\n";
// A grey picture's profile, with or without alpha, over black.
const std::string kGreyToSrgb =
    "from PIL import ImageCms\nimport io\n"
    "profile = ImageCms.ImageCmsProfile(io.BytesIO(im.info['icc_profile']))\n"
    "alpha = im.getchannel('A') if im.mode == 'LA' else None\n"
    "im = ImageCms.profileToProfile(im.convert('L'), profile, ImageCms.createProfile('sRGB'), outputMode='RGB')\n"
    "if alpha is not None:\n    im.putalpha(alpha)\n" +
    kOnBlack;

// 62 x 44 (so a quarter turn shows): s.png opaque, sa.png with an alpha ramp; Display P3 and Adobe
// RGB profiles, and a linear grey one.
class PhotoFiles : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string missing =
                test::MissingPrograms({kPython, kConvert, kCwebp, kHeifEnc, kHeifConvert, kExiftool});
            !missing.empty()) {
            GTEST_SKIP() << missing;
        }
        const std::string make =
            "im = Image.new('RGB', (62, 44))\n"
            "im.putdata([(x * 4, y * 5, (x * y) % 256) for y in range(44) for x in range(62)])\n"
            "im.save(sys.argv[1] + '/s.png')\n"
            "im.putalpha(Image.linear_gradient('L').resize((62, 44)))\n"
            "im.save(sys.argv[1] + '/sa.png')\n";
        ASSERT_EQ(test::RunCommand(kPython + " -c " + test::ShellQuote("import sys\nfrom PIL import Image\n" + make) +
                                   " " + test::ShellQuote(m_dir.Path().string())),
                  0);
        test::WriteFile(File("p3.icc"), test::RgbProfile({0.680, 0.320, 0.265, 0.690, 0.150, 0.060}, 2.2));
        test::WriteFile(File("adobe.icc"), test::RgbProfile({0.640, 0.330, 0.210, 0.710, 0.150, 0.060}, 2.2));
        test::WriteFile(File("grey.icc"), test::GreyProfile(1.0));
    }

    std::string File(const std::string& name) const { return m_dir.File(name); }

    // Writes a file with the command ({in}: a source in the folder, {out}: the file).
    std::string Write(const std::string& command, const std::string& source, const std::string& name)
    {
        const std::string out = File(name);
        EXPECT_EQ(test::RunCommand(test::FillCommand(command, File(source), out) + " >/dev/null 2>&1"), 0) << command;
        return out;
    }

    // "magick" as the statements takes ImageMagick's decode instead.
    void ExpectLikePillow(const std::string& path, const std::string& statements, double minPsnr,
                          const std::string& referencePath = {})
    {
        const std::string reference = referencePath.empty() ? path : referencePath;
        const auto expected = statements == "magick" ? test::DecodeWithImageMagick(reference)
                                                     : test::DecodeWithPillow(reference, statements);
        ASSERT_TRUE(expected.has_value()) << "the reference decoder failed";
        const auto actual = test::ToRgb(*LoadPicture(path));
        if (minPsnr == 0) {
            EXPECT_EQ(test::FirstDifference(actual, *expected), "");
        } else {
            EXPECT_GE(test::Psnr(actual, *expected), minPsnr);
        }
    }

    test::TempDir m_dir;
};

std::string Pillow(const std::string& statement)
{
    return test::PillowCommand(statement, "{in} {out}");
}

TEST_F(PhotoFiles, DecodeLikeAnIndependentDecoder)
{
    const struct {
        const char* name;
        std::string write;
        const char* source;
        const char* file;
        std::string reference;
        double minPsnr;  // 0: equal
    } rows[] = {
        {"JPEG 4:2:0, ImageMagick", kConvert + " {in} -quality 90 {out}", "s.png", "a.jpg", "", 45},
        {"JPEG progressive 4:4:4", Pillow("im.save(sys.argv[2], quality=92, progressive=True, subsampling=0)"), "s.png",
         "b.jpg", "", 45},
        {"JPEG grey", kConvert + " {in} -colorspace Gray {out}", "s.png", "c.jpg", "", 45},
        {"JPEG CMYK, inverted with an Adobe marker", kConvert + " {in} -colorspace CMYK -quality 95 {out}", "s.png",
         "d.jpg", "", 35},
        {"JPEG Display P3", kConvert + " {in} -profile p3.icc {out}", "s.png", "e.jpg", kToSrgb, 40},
        {"JPEG Adobe RGB", kConvert + " {in} -profile adobe.icc {out}", "s.png", "f.jpg", kToSrgb, 40},
        {"PNG 8-bit RGB", Pillow("im.save(sys.argv[2])"), "s.png", "a.png", "", 0},
        {"PNG 16-bit RGB", kConvert + " {in} -evaluate multiply 0.9973 -depth 16 PNG48:{out}", "s.png", "b.png",
         "magick", 48},
        {"PNG palette with tRNS", Pillow("im.quantize(16).save(sys.argv[2], transparency=bytes(range(0, 256, 16)))"),
         "s.png", "c.png", kOnBlack, 45},
        {"PNG 2-bit grey", kConvert + " {in} -colorspace Gray -depth 2 {out}", "s.png", "d.png", "", 0},
        {"PNG grey and alpha", Pillow("im.convert('LA').save(sys.argv[2])"), "sa.png", "e.png", kOnBlack, 45},
        {"PNG RGBA Adam7", kConvert + " {in} -interlace PNG PNG32:{out}", "sa.png", "f.png", kOnBlack, 45},
        {"PNG Display P3", Pillow("im.save(sys.argv[2], icc_profile=open(sys.argv[3], 'rb').read())") + " p3.icc",
         "s.png", "g.png", kToSrgb, 40},
        {"PNG grey, linear grey profile",
         Pillow("im.convert('L').save(sys.argv[2], icc_profile=open(sys.argv[3], 'rb').read())") + " grey.icc", "s.png",
         "h.png", kGreyToSrgb, 45},
        {"PNG grey and alpha, linear grey profile",
         Pillow("im.convert('LA').save(sys.argv[2], icc_profile=open(sys.argv[3], 'rb').read())") + " grey.icc",
         "sa.png", "i.png", kGreyToSrgb, 45},
        {"WebP lossless", kCwebp + " -lossless {in} -o {out}", "s.png", "a.webp", "", 0},
        {"WebP lossy", kCwebp + " -q 80 {in} -o {out}", "s.png", "b.webp", "", 45},
        {"WebP lossy with alpha", kCwebp + " -q 90 {in} -o {out}", "sa.png", "c.webp", kOnBlack, 45},
        {"WebP animation, first frame",
         Pillow("im.save(sys.argv[2], save_all=True, append_images=[im.rotate(90)], lossless=True)"), "sa.png",
         "d.webp", kOnBlack, 45},
        {"HEIC", kHeifEnc + " -q 90 {in} -o {out}", "s.png", "a.heic", "", 45},
        {"HEIC with alpha", kHeifEnc + " -q 90 {in} -o {out}", "sa.png", "b.heic", kOnBlack, 40},
        {"AVIF", kHeifEnc + " -A -q 90 {in} -o {out}", "s.png", "c.avif", "", 40},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // The profiles are named relative to the folder.
        const std::string path =
            Write("cd " + test::ShellQuote(m_dir.Path().string()) + " && " + row.write, row.source, row.file);
        const bool heif = std::string(row.file).find(".heic") != std::string::npos ||
                          std::string(row.file).find(".avif") != std::string::npos;
        if (heif) {
            ASSERT_EQ(test::RunCommand(test::FillCommand(kHeifConvert + " {in} {out} >/dev/null", path, path + ".png")),
                      0);
        }
        ExpectLikePillow(path, row.reference, row.minPsnr, heif ? path + ".png" : "");
    }
}

// The rows of a large photo are copied out of the library's planes a megabyte at a time, each
// step's rows then given back to the system: every row must still come out, the last ones too.
TEST_F(PhotoFiles, LargePhotosComeOutWhole)
{
    const std::string make =
        "size = (1024, 2100)\n"
        "im = Image.merge('RGBA', [Image.linear_gradient('L').resize(size), Image.radial_gradient('L').resize(size),\n"
        "                          Image.linear_gradient('L').rotate(90).resize(size),\n"
        "                          Image.radial_gradient('L').rotate(45).resize(size)])\n"
        "im.convert('RGB').save(sys.argv[1] + '/big.png')\n"
        "im.save(sys.argv[1] + '/biga.png')\n";
    ASSERT_EQ(test::RunCommand(kPython + " -c " + test::ShellQuote("import sys\nfrom PIL import Image\n" + make) + " " +
                               test::ShellQuote(m_dir.Path().string())),
              0);
    const std::string heic = Write(kHeifEnc + " -q 90 {in} -o {out}", "big.png", "big.heic");
    ASSERT_EQ(test::RunCommand(test::FillCommand(kHeifConvert + " {in} {out} >/dev/null", heic, heic + ".png")), 0);
    ExpectLikePillow(heic, "", 0, heic + ".png");
    ExpectLikePillow(Write(kCwebp + " -lossless {in} -o {out}", "biga.png", "biga.webp"), kOnBlack, 0);
}

// The eight EXIF orientations, set by exiftool on files of three formats, against Pillow's turn.
TEST_F(PhotoFiles, EveryOrientationTurnsAsThePictureSays)
{
    const std::string writers[] = {Pillow("im.save(sys.argv[2], quality=95, subsampling=0)"),
                                   Pillow("im.save(sys.argv[2])"), kCwebp + " -lossless {in} -o {out}"};
    const std::string extensions[] = {".jpg", ".png", ".webp"};
    for (int format = 0; format < 3; ++format) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(extensions[format] + " orientation " + std::to_string(orientation));
            const std::string path = Write(writers[format], "s.png", std::to_string(orientation) + extensions[format]);
            ASSERT_EQ(test::RunCommand(kExiftool + " -q -overwrite_original -Orientation#=" +
                                       std::to_string(orientation) + " " + test::ShellQuote(path)),
                      0);
            ExpectLikePillow(path, kTurned, format == 0 ? 45 : 0);
        }
    }
}

// What heif-enc cannot write: alpha stored premultiplied, and the turns and mirrors of the irot and
// imir properties; against Pillow's own handling of the source picture.
TEST_F(PhotoFiles, AvifPropertiesAgainstTheSource)
{
    KINETAR_SKIP_WITHOUT(test::kAvifenc);
    const struct {
        const char* name;
        const char* options;
        const char* source;
        std::string reference;
    } rows[] = {
        {"premultiplied alpha", "--premultiply", "sa.png", kOnBlack},
        {"a quarter turn anticlockwise", "--irot 1", "s.png", "im = im.transpose(Image.Transpose.ROTATE_90)\n"},
        {"mirrored top to bottom", "--imir 0", "s.png", "im = im.transpose(Image.Transpose.FLIP_TOP_BOTTOM)\n"},
        {"turned, then mirrored", "--irot 3 --imir 1", "s.png",
         "im = im.transpose(Image.Transpose.ROTATE_270).transpose(Image.Transpose.FLIP_LEFT_RIGHT)\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = Write(test::kAvifenc + " --min 5 --max 10 " + row.options + " {in} {out}", row.source,
                                       std::string(row.name) + ".avif");
        ExpectLikePillow(path, row.reference, 35, File(row.source));
    }
}

// A stretched frame of at most half the picture: a JPEG or WebP picture comes out reduced by the
// largest of 2, 4 and 8 that keeps it at least the frame's size; a JPEG's reduced decode against
// Pillow's.
TEST_F(PhotoFiles, ReducedForSmallFrames)
{
    const std::string jpeg = Write(Pillow("im.save(sys.argv[2], quality=95, subsampling=0)"), "s.png", "r.jpg");
    const std::string turned = Write(Pillow("im.save(sys.argv[2], quality=95, subsampling=0)"), "s.png", "t.jpg");
    ASSERT_EQ(test::RunCommand(kExiftool + " -q -overwrite_original -Orientation#=6 " + test::ShellQuote(turned)), 0);
    const std::string webp = Write(kCwebp + " -q 90 {in} -o {out}", "s.png", "r.webp");
    const struct {
        std::string path;
        std::int32_t targetWidth, targetHeight, width, height;
    } rows[] = {
        {jpeg, 31, 22, 31, 22}, {jpeg, 32, 22, 62, 44}, {jpeg, 15, 11, 16, 11},   {jpeg, 8, 6, 8, 6},
        {jpeg, 1, 1, 8, 6},     {jpeg, 0, 0, 62, 44},   {turned, 11, 15, 11, 16}, {webp, 15, 11, 16, 11},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path + " for " + std::to_string(row.targetWidth) + "x" + std::to_string(row.targetHeight));
        const auto picture = LoadPicture(row.path, {{}, row.targetWidth, row.targetHeight});
        EXPECT_EQ(picture->Width(), row.width);
        EXPECT_EQ(picture->Height(), row.height);
        if (row.path == jpeg) {
            // Pillow takes the largest reduction that the whole parts of size / requested allow.
            const int reduction = (62 + row.width - 1) / row.width;
            const auto reference = test::DecodeWithPillow(jpeg, "im.draft('RGB', (" + std::to_string(62 / reduction) +
                                                                    ", " + std::to_string(44 / reduction) + "))\n");
            ASSERT_TRUE(reference.has_value());
            EXPECT_GE(test::Psnr(test::ToRgb(*picture), *reference), 45);
        }
    }
}

// Damaged and oversized files, each refused with its message before anything is shown.
TEST_F(PhotoFiles, DamageIsRefusedWithTheFileNamed)
{
    using Bytes = std::vector<std::uint8_t>;
    const auto cut = [](std::size_t keep) { return [keep](Bytes& bytes) { bytes.resize(keep); }; };
    const auto half = [](Bytes& bytes) { bytes.resize(bytes.size() / 2); };
    const auto flip = [](std::size_t offset) { return [offset](Bytes& bytes) { bytes[offset] ^= 1; }; };
    const auto setAt = [](std::size_t offset, Bytes values) {
        return [offset, values](Bytes& bytes) { std::copy(values.begin(), values.end(), bytes.begin() + offset); };
    };
    const std::string jpeg = Write(kConvert + " {in} -quality 90 {out}", "s.png", "x.jpg");
    const std::string png = Write(Pillow("im.save(sys.argv[2])"), "s.png", "x.png");
    const std::string webp = Write(kCwebp + " -q 90 {in} -o {out}", "sa.png", "x.webp");
    const std::string animation =
        Write(Pillow("im.save(sys.argv[2], save_all=True, append_images=[im.rotate(90)])"), "s.png", "y.webp");
    const std::string heic = Write(kHeifEnc + " -q 50 {in} -o {out}", "s.png", "x.heic");
    // Where a box or a marker starts, in a file's bytes.
    const auto find = [](const std::string& path, const Bytes& what) {
        const Bytes bytes = test::ReadFile(path);
        return static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), what.begin(), what.end()) -
                                        bytes.begin());
    };
    const std::size_t sof = find(jpeg, {0xFF, 0xC0});           // then length, precision, height, width
    const std::size_t ispe = find(heic, {'i', 's', 'p', 'e'});  // then version and flags, width, height
    const struct {
        const char* name;
        std::string path;
        std::function<void(Bytes&)> damage;
        std::string expected;  // the path follows the first part
    } rows[] = {
        {"JPEG cut in its data", jpeg, half, "Bad JPEG file |\r\nPremature end of JPEG file"},
        {"JPEG cut in its header", jpeg, cut(30), "Bad JPEG file |\r\nPremature end of JPEG file"},
        {"JPEG 65500 x 65500", jpeg, setAt(sof + 5, {0xFF, 0xDC, 0xFF, 0xDC}), "Picture is too large |"},
        {"JPEG 65501 wide, past the library", jpeg, setAt(sof + 7, {0xFF, 0xDD}), "Picture is too large |"},
        {"PNG cut in its data", png, half, "Bad PNG file |\r\nunexpected end of file"},
        {"PNG header checksum", png, flip(29), "Bad PNG file |\r\nIHDR: CRC error"},
        {"PNG data checksum", png, flip(test::ReadFile(png).size() - 13), "Bad PNG file |\r\nIDAT: CRC error"},
        {"PNG 70000 wide", png,
         [](Bytes& bytes) {
             bytes[17] = 1, bytes[18] = 0x11, bytes[19] = 0x70;
             test::FixPngChunkCrc(bytes, 8);
         },
         "Picture is too large |"},
        {"WebP cut in its data", webp, half, "Bad WebP file |\r\nthe file ends too early"},
        {"WebP canvas of 70000", animation, setAt(24, {0x6F, 0x11, 0x01}), "Picture is too large |"},
        {"HEIC cut in its data", heic, half, "Bad HEIF file |\r\n"},
        {"HEIC 70000 wide", heic, setAt(ispe + 8, {0, 1, 0x11, 0x70}), "Picture is too large |"},
        // The library bounds sides only, so a HEIF side stops where a square would pass the pixel bound.
        {"HEIC 20000 wide", heic, setAt(ispe + 8, {0, 0, 0x4E, 0x20}), "Picture is too large |"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes bytes = test::ReadFile(row.path);
        row.damage(bytes);
        const std::string damaged = row.path + ".damaged";
        test::WriteFile(damaged, bytes);
        const std::string expected =
            row.expected.substr(0, row.expected.find('|')) + damaged + row.expected.substr(row.expected.find('|') + 1);
        const std::string message = test::ErrorText([&] { (void)LoadPicture(damaged); });
        EXPECT_EQ(message.substr(0, expected.size()), expected);
    }
}

}  // namespace
}  // namespace kinetar::pictures
