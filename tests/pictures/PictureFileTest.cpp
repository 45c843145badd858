#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "pictures/PictureFile.h"
#include "support/BmpBuilder.h"
#include "support/ErrorText.h"
#include "support/ExternalTools.h"
#include "support/GifBuilder.h"
#include "support/PcxBuilder.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"
#include "support/TgaBuilder.h"

namespace kinetar::pictures {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Writes a photo with Pillow from `statements` that make `im`; false when Pillow is not there.
bool WritePhoto(const std::string& statements, const std::string& path)
{
    const std::string script = "import sys, random\nfrom PIL import Image\n" + statements + "im.save(sys.argv[1]" +
                               (path.ends_with(".jpg") ? ", quality=95, subsampling=0" : "") + ")\n";
    return test::HaveProgram(test::kPython) && test::RunCommand(test::kPython + " -c " + test::ShellQuote(script) +
                                                                " " + test::ShellQuote(path) + " 2>/dev/null") == 0;
}

// Pixels that neither compress away nor repeat.
const std::string kNoise = "random.seed(7)\nim = Image.frombytes('RGB', (W, H), random.randbytes(W * H * 3))\n";

std::string Noise(int width, int height)
{
    return "W, H = " + std::to_string(width) + ", " + std::to_string(height) + "\n" + kNoise;
}

// The bytes are a copy, so a file cut short once it has been read leaves them whole.
TEST(PictureFile, KeepsItsBytesWhenTheFileIsCutAfterwards)
{
    const test::TempDir dir;
    const std::string path = dir.File("a.bmp");
    const Bytes bytes = test::Bmp24(test::GradientImage(64, 64));
    test::WriteFile(path, bytes);
    const PictureFile file(path);
    ASSERT_EQ(::truncate(path.c_str(), 0), 0);
    EXPECT_TRUE(std::ranges::equal(file.Bytes(), bytes));
}

// A file cut to half its size is refused with its own reader's message for data that ended early.
TEST(PictureFile, AFileCutInHalfGivesItsReadersMessage)
{
    const test::TempDir dir;
    using Writer = std::function<bool(const std::string& path)>;  // false where it cannot be written
    const auto bytes = [](Bytes whole) -> Writer {
        return [whole](const std::string& path) {
            test::WriteFile(path, whole);
            return true;
        };
    };
    const Writer photo = [](const std::string& path) { return WritePhoto(Noise(48, 32), path); };
    Bytes gifPixels(16 * 16);
    for (std::size_t i = 0; i < gifPixels.size(); ++i) {
        gifPixels[i] = static_cast<std::uint8_t>(i * i / 7 % 4);  // enough codes that half the file is past its header
    }
    const struct {
        const char* file;
        Writer write;      // a whole picture
        std::string text;  // the message for it cut in half, the path where "|" stands
    } rows[] = {
        {"a.bmp", bytes(test::Bmp24(test::GradientImage(16, 16))), "Reading pixels FAILED|"},
        // The palette block is the file's last 769 bytes, so half the file has no room for one.
        {"a.pcx", bytes(test::PcxBuilder{}.Window(0, 0, 1, 0).Data({1, 2}).Palette().Build()), "Bad PCX format: |"},
        {"a.tga", bytes(test::TgaBuilder{}.Size(8, 8).Data(test::GradientImage(8, 8).Pixels).Build()),
         "Read TGA error "},
        {"a.gif",
         bytes(test::GifBuilder{}
                   .Signature()
                   .Screen(16, 16, 0x81)  // a global table of four colours
                   .Colors({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF})
                   .Image(16, 16, 0x00)  // no local table
                   .Pixels(2, gifPixels)
                   .Trailer()
                   .Build()),
         "Read GIF error"},
        {"a.jpg", photo, "Bad JPEG file |\r\nPremature end of JPEG file"},
        {"a.png", photo, "Bad PNG file |\r\nunexpected end of file"},
        {"a.webp", photo, "Bad WebP file |\r\nthe file ends too early"},
    };
    std::string unwritten;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = dir.File(row.file);
        if (!row.write(path)) {
            unwritten += std::string(" ") + row.file;
            continue;
        }
        ASSERT_NO_THROW((void)LoadPicture(path));
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(test::ReadFile(path).size() / 2)), 0);
        std::string expected = row.text;
        if (const auto bar = expected.find('|'); bar != std::string::npos) {
            expected.replace(bar, 1, path);
        }
        EXPECT_EQ(test::ErrorText([&] { (void)LoadPicture(path); }), expected);
    }
    if (!unwritten.empty()) {
        GTEST_SKIP() << "Pillow in " << test::kPython << " writes the photos:" << unwritten;
    }
}

}  // namespace
}  // namespace kinetar::pictures
