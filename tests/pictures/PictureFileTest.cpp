#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
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

// Whether every byte is the expected one or zero.
bool SameOrZero(const test::RgbImage& actual, const test::RgbImage& expected)
{
    return actual.Width == expected.Width && actual.Height == expected.Height &&
           std::ranges::equal(actual.Pixels, expected.Pixels,
                              [](std::uint8_t got, std::uint8_t want) { return got == want || got == 0; });
}

// Another program cuts the files short and writes them back all the time, as a sync client does,
// while they are loaded: each load gives the picture or a reader's message, and never brings the
// process down.
TEST(PictureFile, LoadsWhileTheFileIsCutAndRestoredEndWellOrWithAnError)
{
    const test::TempDir dir;
    struct Picture {
        std::string path;
        Bytes bytes;
        bool uncompressed;
        std::vector<std::string> messages;  // how a cut one may be refused: message starts
        test::RgbImage pixels;
    };
    std::vector<Picture> pictures;
    pictures.push_back(
        {dir.File("big.bmp"),
         test::Bmp24(test::GradientImage(640, 640)),  // 1.2 MB
         true,
         {"Can't read file header ", "Can't read file info ", "Reading pixels FAILED", "Unknown file format "},
         {}});
    const std::string jpeg = dir.File("big.jpg");
    if (WritePhoto(Noise(760, 570), jpeg)) {  // 1 MB
        pictures.push_back({jpeg, test::ReadFile(jpeg), false, {"Bad JPEG file ", "Unknown file format "}, {}});
    }
    for (Picture& picture : pictures) {
        test::WriteFile(picture.path, picture.bytes);
        picture.pixels = test::ToRgb(*LoadPicture(picture.path));
    }

    std::atomic<bool> done{false};
    std::atomic<int> cuts{0};
    std::thread cutter([&] {
        using namespace std::chrono_literals;
        const std::size_t fractions[] = {0, 1, 3, 5, 7};  // eighths of the file left
        for (std::size_t round = 0; !done; ++round) {
            for (const Picture& picture : pictures) {
                const std::size_t keep = picture.bytes.size() * fractions[round % std::size(fractions)] / 8;
                const auto rest = std::span(picture.bytes).subspan(keep);
                const int fd = ::open(picture.path.c_str(), O_WRONLY | O_CLOEXEC);
                const bool cut = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(keep)) == 0;
                std::this_thread::sleep_for(1ms);
                const bool restored = cut && ::pwrite(fd, rest.data(), rest.size(), static_cast<off_t>(keep)) ==
                                                 static_cast<ssize_t>(rest.size());
                if (fd >= 0) {
                    ::close(fd);
                }
                if (!restored) {
                    ADD_FAILURE() << "cannot cut and restore " << picture.path;
                    return;
                }
                ++cuts;
                std::this_thread::sleep_for(3ms);
            }
        }
    });
    int loaded = 0;
    int refused = 0;
    const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (loaded + refused < 300 && std::chrono::steady_clock::now() < stop) {
        const Picture& picture = pictures[static_cast<std::size_t>(loaded + refused) % pictures.size()];
        try {
            const test::RgbImage pixels = test::ToRgb(*LoadPicture(picture.path));
            // A read that overlaps the cut can see the length restored before the bytes, which
            // read as zeros (seen on ext4): no reader can tell, but no other byte may appear.
            EXPECT_TRUE(picture.uncompressed
                            ? SameOrZero(pixels, picture.pixels)
                            : pixels.Width == picture.pixels.Width && pixels.Height == picture.pixels.Height)
                << picture.path;
            ++loaded;
        } catch (const Error& error) {
            const std::string message = error.what();
            EXPECT_TRUE(std::ranges::any_of(picture.messages, [&](const auto& start) {
                return message.starts_with(start);
            })) << message;
            ++refused;
        }
    }
    done = true;
    cutter.join();
    EXPECT_GT(cuts, 0);
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0) << "no load ever met a cut file";
}

}  // namespace
}  // namespace kinetar::pictures
