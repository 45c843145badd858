#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "avi/codecs/CodecLibraryVersion.h"
#include "avi/engine/AviEngine.h"
#include "avi/writer/AviWriter.h"
#include "pictures/Palettes.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"
#include "support/ErrorText.h"
#include "support/RgbImage.h"
#include "support/RiffWalker.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using project::CodecSettings;
using test::Choosing;
using test::EngineRun;
using test::ProjectFrame;
using test::RgbImage;
using test::RunOptions;
using test::WithChooser;

RgbImage Crop(const RgbImage& image, int width, int height)
{
    RgbImage out = test::SolidImage(width, height, 0);
    for (int y = 0; y < std::min(height, image.Height); ++y) {
        for (int x = 0; x < std::min(width, image.Width); ++x) {
            for (int c = 0; c < 3; ++c) {
                out.Pixels[static_cast<std::size_t>((y * width + x) * 3 + c)] =
                    image.Pixels[static_cast<std::size_t>((y * image.Width + x) * 3 + c)];
            }
        }
    }
    return out;
}

TEST(CreateAVI, ProgressReportsFollowTheFramesWritten)
{
    const struct {
        const char* name;
        int frames;
        int unreadable;  // index of a frame whose picture cannot be read, or -1
        std::vector<int> progress;
        std::vector<std::int64_t> pts;
    } rows[] = {
        {"four frames", 4, -1, {0, 0, 25, 50, 75}, {0, 1, 2, 3}},
        {"one frame", 1, -1, {0, 0}, {0}},
        {"no frames", 0, -1, {0}, {}},
        {"frame 2 of 5 skipped", 5, 2, {0, 0, 20, 60, 80}, {0, 1, 3, 4}},
        {"last frame skipped", 3, 2, {0, 0, 33}, {0, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineRun project(8, 6);
        const std::string good = project.Picture("good.bmp", test::Bmp24(test::GradientImage(8, 6)));
        std::vector<ProjectFrame> frames(static_cast<std::size_t>(row.frames), ProjectFrame{good});
        if (row.unreadable >= 0) {
            frames[static_cast<std::size_t>(row.unreadable)] = ProjectFrame{"missing.bmp"};
        }
        project.Frames(frames);
        const auto run = project.Generate();
        EXPECT_EQ(run.result, kResultDone);
        EXPECT_EQ(run.progress, row.progress);
        EXPECT_EQ(run.questions.size(), row.unreadable >= 0 ? 1U : 0U);
        const auto probed = project.Probe();
        ASSERT_TRUE(probed.has_value());
        if (row.frames > 0) {
            EXPECT_EQ(probed->CountedFrames, row.frames - (row.unreadable >= 0 ? 1 : 0));
            EXPECT_EQ(probed->HeaderFrames, row.frames);  // skipped positions keep their time
        }
        std::vector<std::int64_t> pts;
        for (const auto& packet : probed->Packets) {
            pts.push_back(packet.Pts);
            EXPECT_TRUE(packet.Key);
        }
        EXPECT_EQ(pts, row.pts);
        EXPECT_EQ(probed->FrameRate, "5/1");
        EXPECT_EQ(project.Files(), (std::set<std::string>{"good.bmp", "work.AVIprj", "out.avi"}));
    }
}

TEST(CreateAVI, PicturesHoldTheirFramesAtAnExactRate)
{
    const struct {
        const char* name;
        std::uint32_t fourcc;
        std::vector<ProjectFrame> frames;
        std::vector<int> progress;
        std::vector<std::int64_t> framesDone;  // video frames, as a progress bar counts them
        std::int64_t headerFrames;
        std::vector<std::int64_t> pts;
        bool repeatedSamples = true;  // an intra-only codec writes a held picture's sample again
    } rows[] = {
        // 0.1 s at 29.97 is 2.997 frames: 3, then 3 more, then one frame, then 1.5 frames (ending
        // at 8.49) rounded to 1.
        {"uncompressed",
         kUncompressedFourcc,
         {{"a.bmp", 1, 100}, {"b.bmp", 1, 100}, {"a.bmp", 1, 0}, {"b.bmp", 1, 50}},
         {0, 25, 62, 75, 87},
         {0, 3, 6, 7, 8},
         8,
         {0, 1, 2, 3, 4, 5, 6, 7}},
        {"Motion JPEG repeats its samples",
         FourCC('M', 'J', 'P', 'G'),
         {{"a.bmp", 1, 100}, {"b.bmp", 1, 100}},
         {0, 33, 83},
         {0, 3, 6},
         6,
         {0, 1, 2, 3, 4, 5}},
        {"an unreadable picture leaves its frames empty",
         kUncompressedFourcc,
         {{"a.bmp", 1, 100}, {"missing.bmp", 1, 200}, {"b.bmp", 1, 0}},
         {0, 20, 90},
         {0, 3, 10},
         10,
         {0, 1, 2, 9}},
        {"H.264 is given the held frame again",
         FourCC('H', '2', '6', '4'),
         {{"a.bmp", 1, 100}, {"b.bmp", 1, 100}},
         {0, 0, 16, 33, 50, 66, 83},
         {0, 1, 2, 3, 4, 5, 6},
         6,
         {},  // no times in the packets: every frame decoded is what counts
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineRun project(8, 6);
        project::SetFrameRate(project.header, {30000, 1001});
        project.Picture("a.bmp", test::Bmp24(test::SolidImage(8, 6, 0xFF0000)));
        project.Picture("b.bmp", test::Bmp24(test::SolidImage(8, 6, 0x0000FF)));
        project.Frames(row.frames);
        const auto run = project.Generate(WithChooser(Choosing(MakeCodecSettings(row.fourcc))));
        EXPECT_EQ(run.result, kResultDone);
        EXPECT_EQ(run.progress, row.progress);
        EXPECT_EQ(run.framesDone, row.framesDone);
        const auto probed = project.Probe();
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(probed->FrameRate, "30000/1001");
        EXPECT_EQ(probed->HeaderFrames, row.headerFrames);
        std::vector<std::int64_t> pts;
        for (const auto& packet : probed->Packets) {
            pts.push_back(packet.Pts);
            if (row.repeatedSamples) {
                EXPECT_EQ(packet.Size, probed->Packets[pts.size() < 4 ? 0 : 3].Size);
            }
        }
        if (row.repeatedSamples) {
            EXPECT_EQ(pts, row.pts);
        }
        EXPECT_EQ(probed->CountedFrames,
                  row.repeatedSamples ? static_cast<std::int64_t>(pts.size()) : row.headerFrames);
    }
}

// A stop at the report before the first frame leaves no file.
TEST(CreateAVI, ALongHeldPictureStillReportsProgressAndStops)
{
    const struct {
        int stopAfterReports;
        std::vector<int> progress;
        std::int64_t frames;
    } rows[] = {{-1, {0, 41, 83, 99}, 600}, {2, {0, 41}, 250}, {1, {0}, -1}};  // -1: no file
    for (const auto& row : rows) {
        EngineRun project(8, 6, 3, 30);
        project.Picture("a.bmp", test::Bmp24(test::SolidImage(8, 6, 0x808080)));
        project.Frames({{"a.bmp", 1, 20'000}});
        RunOptions options;
        options.stopAfterReports = row.stopAfterReports;
        const auto run =
            project.Generate(WithChooser(Choosing(MakeCodecSettings(FourCC('M', 'J', 'P', 'G')))), options);
        EXPECT_EQ(run.result, row.stopAfterReports < 0 ? kResultDone : kResultStopped);
        EXPECT_EQ(run.progress, row.progress);
        const auto probed = project.Probe();
        ASSERT_EQ(probed.has_value(), row.frames >= 0) << "stopped after " << row.stopAfterReports;
        if (probed) {
            EXPECT_EQ(probed->CountedFrames, row.frames);
        }
    }
}

// An unreadable picture's frames stay empty; a long run of them is passed in steps with a report
// after each, so a stop is heard within it and the file ends where the stop came.
TEST(CreateAVI, ALongUnreadablePictureStillReportsProgressAndStops)
{
    const struct {
        int stopAfterReports;
        int result;
        std::int64_t headerFrames;
        std::int64_t decodedFrames;
    } rows[] = {{-1, kResultDone, 30'060, 60}, {3, kResultStopped, 4'126, 30}};
    for (const auto& row : rows) {
        EngineRun project(8, 6, 3, 30);
        project.Picture("a.bmp", test::Bmp24(test::SolidImage(8, 6, 0x808080)));
        project.Frames({{"a.bmp", 1, 1'000}, {"missing.bmp", 1, 1'000'000}, {"a.bmp", 1, 1'000}});
        RunOptions options;
        options.stopAfterReports = row.stopAfterReports;
        const auto run =
            project.Generate(WithChooser(Choosing(MakeCodecSettings(FourCC('M', 'J', 'P', 'G')))), options);
        EXPECT_EQ(run.result, row.result);
        EXPECT_GE(run.progress.size(), row.stopAfterReports < 0 ? 8U : 3U);
        EXPECT_TRUE(std::is_sorted(run.progress.begin(), run.progress.end()));
        const auto probed = project.Probe();
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(probed->HeaderFrames, row.headerFrames);
        EXPECT_EQ(probed->CountedFrames, row.decodedFrames);
    }
}

// A show of days at a high rate has more than 21,474,836 frames, where a 32-bit product wraps.
TEST(CreateAVI, ThePercentageStaysFrom0To99HoweverLongTheVideo)
{
    const struct {
        std::int64_t index, count;
        int percent;
    } rows[] = {
        {0, 0, 0},
        {0, 1, 0},
        {1, 3, 33},
        {2, 3, 66},
        {99, 100, 99},
        {21'474'836, 25'920'000, 82},
        {21'474'837, 25'920'000, 82},
        {25'919'999, 25'920'000, 99},
        {2'999'999'999, 3'000'000'000, 99},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProgressPercent(row.index, row.count), row.percent) << row.index << " of " << row.count;
    }
}

TEST(CreateAVI, CrossfadesBlendTheFittedPicturesWithoutChangingTheLength)
{
    // At 10 frames a second: red for 0.5 s, then green fading in over 0.3 s of its 0.5 s, onto a
    // grey background with letterbox bars; then blue held for one frame with a fade longer than it.
    EngineRun project(8, 6);
    project.header.FramesPerSecond = 10;
    project.header.Background = {0x40, 0x40, 0x40};
    project.Picture("red.bmp", test::Bmp24(test::SolidImage(8, 6, 0xFF0000)));
    project.Picture("green.bmp", test::Bmp24(test::SolidImage(8, 3, 0x00FF00)));
    project.Picture("blue.bmp", test::Bmp24(test::SolidImage(8, 6, 0x0000FF)));
    project.Frames({{"red.bmp", 1, 500}, {"green.bmp", 1, 500, 1, 300}, {"blue.bmp", 1, 0, 0, 5000}});
    ASSERT_EQ(project.Generate().result, kResultDone);
    const auto frames = project.DecodedFrames();
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 11U);
    const auto at = [&](std::size_t frame, int y) { return (*frames)[frame].At(4, y); };
    for (std::size_t frame = 0; frame < 5; ++frame) {
        EXPECT_EQ(at(frame, 0), 0xFF0000U) << frame;
    }
    // Bars: rows 0, 4 and 5 blend red into grey, rows 1 to 3 red into green, weights 1/4, 2/4, 3/4.
    EXPECT_EQ(at(5, 0), 0xCF1010U);
    EXPECT_EQ(at(5, 2), 0xBF4000U);
    EXPECT_EQ(at(6, 2), 0x808000U);
    EXPECT_EQ(at(7, 2), 0x40BF00U);
    EXPECT_EQ(at(7, 5), 0x703030U);
    EXPECT_EQ(at(8, 2), 0x00FF00U);
    EXPECT_EQ(at(9, 0), 0x404040U);
    // One frame of a long fade: half of each.
    EXPECT_EQ(at(10, 2), 0x008080U);
    EXPECT_EQ(at(10, 0), 0x2020A0U);
}

// FNV-1a over the file: a regression check, not a digest.
std::uint64_t FileHash(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::istreambuf_iterator<char> it(in), end; it != end; ++it) {
        hash = (hash ^ static_cast<unsigned char>(*it)) * 1099511628211ULL;
    }
    return hash;
}

TEST(CreateAVI, AProjectWithoutSlideshowSettingsRendersTheBytesItAlwaysHas)
{
    const struct {
        const char* name;
        std::uint8_t depth;
        std::uint32_t fourcc;
        std::uint64_t hash;
    } rows[] = {
        {"24 bits uncompressed", 3, kUncompressedFourcc, 0xb980bcc306c242edULL},
        {"8 bits RLE", 2, kRleFourcc, 0x50fa0e6fcca568f0ULL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineRun project(37, 23, row.depth, 7);
        project.Picture("same.bmp", test::Bmp24(test::GradientImage(37, 23, 1)));
        project.Picture("large.bmp", test::Bmp24(test::GradientImage(80, 50, 2)));
        project.Picture("small.bmp", test::Bmp24(test::GradientImage(10, 7, 3)));
        project.Frames({{"same.bmp", 1},
                        {"large.bmp", 1},
                        {"missing.bmp", 1},
                        {"small.bmp", 0},
                        {"large.bmp", 0},
                        {"small.bmp", 1}});
        ASSERT_EQ(project.Generate(WithChooser(Choosing(MakeCodecSettings(row.fourcc)))).result, kResultDone);
        EXPECT_EQ(FileHash(project.Avi()), row.hash) << std::hex << FileHash(project.Avi());
    }
}

TEST(CreateAVI, TheFrameErrorQuestionCarriesTheReadersMessage)
{
    EngineRun project(4, 4);
    project.Picture("junk.bmp", {'B', 'M', 1, 2});  // too short for a bitmap header
    project.Frames({{"junk.bmp"}});
    const auto run = project.Generate();
    ASSERT_EQ(run.questions.size(), 1U);
    EXPECT_EQ(run.questions[0], "Unknown file format " + project.dir.File("junk.bmp"));
    EXPECT_EQ(FrameErrorText(run.questions[0]), run.questions[0] + "\r\nDo you want continue?");
}

TEST(CreateAVI, DecodedFramesAreTheFittedPicturesAt24Bits)
{
    EngineRun project(10, 8);
    const RgbImage same = test::GradientImage(10, 8, 1);
    const RgbImage large = test::GradientImage(20, 18, 2);
    const RgbImage small = test::GradientImage(4, 3, 3);
    // 5x4 blocks of 2x2 pixels: stretched to 10x8 each pixel becomes a 2x2 block.
    const RgbImage tiny = test::GradientImage(5, 4, 4);
    project.Picture("same.bmp", test::Bmp24(same));
    project.Picture("large.bmp", test::Bmp24(large));
    project.Picture("small.bmp", test::Bmp24(small));
    project.Picture("tiny.bmp", test::Bmp24(tiny));
    project.Frames({{"same.bmp", 0}, {"large.bmp", 0}, {"small.bmp", 0}, {"tiny.bmp", 255}, {"large.bmp", 1}});
    ASSERT_EQ(project.Generate().result, kResultDone);

    const auto frames = project.DecodedFrames();
    ASSERT_TRUE(frames.has_value());
    ASSERT_EQ(frames->size(), 5U);
    EXPECT_EQ(test::FirstDifference((*frames)[0], same), "");
    EXPECT_EQ(test::FirstDifference((*frames)[1], Crop(large, 10, 8)), "");
    EXPECT_EQ(test::FirstDifference((*frames)[2], Crop(small, 10, 8)), "");
    RgbImage doubled = test::SolidImage(10, 8, 0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            for (int c = 0; c < 3; ++c) {
                doubled.Pixels[static_cast<std::size_t>((y * 10 + x) * 3 + c)] =
                    tiny.Pixels[static_cast<std::size_t>(((y / 2) * 5 + x / 2) * 3 + c)];
            }
        }
    }
    EXPECT_EQ(test::FirstDifference((*frames)[3], doubled), "") << "Stretch 255 stretches";
    // Scaled down, not cut: the last frame column shows the picture's right part.
    const RgbImage& scaled = (*frames)[4];
    EXPECT_NE(scaled.At(9, 7), large.At(9, 7));
    EXPECT_EQ(scaled.At(9, 7) >> 16, large.At(19, 17) >> 16);
}

TEST(CreateAVI, IndexedDepthsDecodeToTheTableColours)
{
    const struct {
        std::uint8_t code;
        int bits;
        int width;
    } rows[] = {{0, 1, 33}, {1, 4, 7}, {2, 8, 12}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        EngineRun project(row.width, 6, row.code);
        const auto table = pictures::DefaultPalette(row.bits);
        // Left half: table colours in turn, which must come back exactly; right half: any colours,
        // which must come back as some table colour.
        RgbImage image = test::GradientImage(row.width, 6, 5);
        std::set<std::uint32_t> colors;
        for (const auto& entry : table) {
            colors.insert(static_cast<std::uint32_t>(entry.Red) << 16 | static_cast<std::uint32_t>(entry.Green) << 8 |
                          entry.Blue);
        }
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < row.width / 2; ++x) {
                const auto& entry = table[static_cast<std::size_t>(y * row.width + x) % table.size()];
                const auto at = static_cast<std::size_t>((y * row.width + x) * 3);
                image.Pixels[at] = entry.Red;
                image.Pixels[at + 1] = entry.Green;
                image.Pixels[at + 2] = entry.Blue;
            }
        }
        project.Picture("p.bmp", test::Bmp24(image));
        project.Frames({{"p.bmp"}, {"p.bmp"}});
        ASSERT_EQ(project.Generate().result, kResultDone);
        const auto probed = project.Probe();
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(probed->Width, row.width);
        const auto frames = project.DecodedFrames();
        ASSERT_TRUE(frames.has_value());
        ASSERT_EQ(frames->size(), 2U);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < row.width; ++x) {
                const std::uint32_t decoded = (*frames)[1].At(x, y);
                ASSERT_TRUE(colors.count(decoded) == 1) << x << "," << y;
                if (x < row.width / 2) {
                    ASSERT_EQ(decoded, image.At(x, y)) << x << "," << y;
                }
            }
        }
    }
}

TEST(CreateAVI, SettingsOutOfRangeAreRefusedBeforeAnyFileIsTouched)
{
    const struct {
        std::int32_t width, height, fps;
        const char* message;
        std::uint32_t durationMs = 0;  // of one frame, when not 0
    } rows[] = {
        {0, 10, 5, "Video width 0 is out of range (allowed: 1 to 32767)"},
        {-3, 10, 5, "Video width -3 is out of range (allowed: 1 to 32767)"},
        {10, 32768, 5, "Video height 32768 is out of range (allowed: 1 to 32767)"},
        {10, 10, 0, "Frames per second 0 is out of range (allowed: 1 or more)"},
        {10, 10, 2147483647, "The video would be 2149631131 frames long (allowed: up to 2147483647)", 1001},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        EngineRun project(row.width, row.height, 3, row.fps);
        project.Frames(row.durationMs == 0 ? std::vector<ProjectFrame>{}
                                           : std::vector<ProjectFrame>{{"x.bmp", 1, row.durationMs}});
        test::WriteFile(project.Avi(), std::vector<std::uint8_t>{1, 2, 3});
        EXPECT_EQ(test::ErrorText([&] { project.Generate(); }), row.message);
        EXPECT_EQ(test::ReadFile(project.Avi()), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(project.Files().size(), 2U);
    }
}

TEST(CreateAVI, RunsEndingBeforeTheFrameLoopLeaveAnEarlierFileAlone)
{
    // A compressor that takes no format, to see result 6.
    CodecRegistry picky;
    picky.Add({.Fourcc = FourCC('P', 'I', 'C', 'K'), .Name = "Picky", .Make = [](const CompressionOptions&) {
                   struct Refusing : Compressor {
                       bool SetFormat(std::span<const std::uint8_t>) override { return false; }
                       std::vector<std::uint8_t> OutputFormat() const override { return {}; }
                       bool Compressed() const override { return true; }
                       bool Compress(std::unique_ptr<const FrameDIB>, const SampleSink&) override { return false; }
                   };
                   return std::unique_ptr<Compressor>(std::make_unique<Refusing>());
               }});
    const auto choose = [](std::uint32_t fourcc) { return Choosing(MakeCodecSettings(fourcc)); };
    EngineServices otherLibrary;
    otherLibrary.CodecLibraryVersion = [] { return (CodecLibraryMajorAtBuild() + 1) << 16; };
    const struct {
        const char* name;
        std::uint8_t result;
        EngineServices services;
    } rows[] = {
        {"codec library of another major version", kResultOldVideoLibrary, otherLibrary},
        {"chooser cancelled", kResultStopped, WithChooser([](CodecSettings&, const FrameDIB&) { return false; })},
        {"compressor not in this build", kResultCannotMakeCompressor, WithChooser(choose(FourCC('x', 'y', 'z', 'w')))},
        {"compressor refuses the format", kResultFormatRefused,
         WithChooser(choose(FourCC('P', 'I', 'C', 'K')), &picky)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineRun project(4, 4);
        project.header.CodecSettings.Handler = 7;
        const CodecSettings before = project.header.CodecSettings;
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(4, 4)));
        project.Frames({{"p.bmp"}});
        test::WriteFile(project.Avi(), std::vector<std::uint8_t>{9, 9});
        const auto run = project.Generate(row.services);
        EXPECT_EQ(run.result, row.result);
        EXPECT_EQ(run.progress, std::vector<int>{0});
        EXPECT_FALSE(run.settingsChanged);
        EXPECT_TRUE(project.header.CodecSettings == before);
        EXPECT_EQ(test::ReadFile(project.Avi()), (std::vector<std::uint8_t>{9, 9}));
        EXPECT_EQ(project.Files(), (std::set<std::string>{"p.bmp", "work.AVIprj", "out.avi"}));
    }
}

TEST(CreateAVI, ADestinationThatCannotBeWrittenGivesResult2)
{
    EngineRun project(4, 4);
    project.Frames({});
    test::WriteFile(project.dir.File("plain"), std::vector<std::uint8_t>{1});
    std::filesystem::create_directory(project.dir.File("folder.avi"));
    // The system's reason goes to the caller.
    const std::pair<std::string, int> rows[] = {{project.dir.File("no/such/folder/x.avi"), ENOENT},
                                                {project.dir.File("plain/x.avi"), ENOTDIR},
                                                {project.dir.File("folder.avi"), EISDIR},
                                                {std::string(), ENOENT}};
    for (const auto& [destination, error] : rows) {
        SCOPED_TRACE(destination);
        project::SetText(project.header.AviFileName, destination);
        RunOutcome outcome;
        EngineServices services;
        services.Outcome = &outcome;
        const auto run = project.Generate(services);
        EXPECT_EQ(run.result, kResultCannotOpenFile);
        EXPECT_EQ(outcome.SystemError, error);
        EXPECT_TRUE(run.chooserSaw.empty());
    }
    if (::geteuid() != 0) {
        // Permissions bind everyone but root.
        std::filesystem::create_directory(project.dir.File("locked"));
        std::filesystem::permissions(project.dir.File("locked"),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        project::SetText(project.header.AviFileName, project.dir.File("locked/x.avi"));
        EXPECT_EQ(project.Generate().result, kResultCannotOpenFile);
    }
}

TEST(CreateAVI, StopsInsideTheFrameLoopKeepAValidFile)
{
    const struct {
        const char* name;
        int stopAfterReports;
        FrameErrorAnswer answer;
        bool unreadableThird;
        std::int64_t frames;
        bool storedBack;
    } rows[] = {
        {"callback stops after frame 3", 5, FrameErrorAnswer::Yes, false, 4, true},
        {"No at an unreadable frame", -1, FrameErrorAnswer::No, true, 2, false},
        {"Cancel at an unreadable frame", -1, FrameErrorAnswer::Cancel, true, 2, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineRun project(6, 4);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(6, 4)));
        std::vector<ProjectFrame> frames(6, ProjectFrame{"p.bmp"});
        if (row.unreadableThird) {
            frames[2] = ProjectFrame{"gone.bmp"};
        }
        project.Frames(frames);
        test::WriteFile(project.Avi(), std::vector<std::uint8_t>{1});
        const auto run = project.Generate({}, {.stopAfterReports = row.stopAfterReports, .answer = row.answer});
        EXPECT_EQ(run.result, kResultStopped);
        EXPECT_EQ(run.settingsChanged, row.storedBack);
        EXPECT_EQ(project.header.CodecSettings == MakeCodecSettings(kUncompressedFourcc), row.storedBack);
        const auto probed = project.Probe();
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(probed->CountedFrames, row.frames);
        EXPECT_EQ(probed->HeaderFrames, row.frames);
        EXPECT_EQ(project.Files().size(), 3U);
    }
}

TEST(CreateAVI, TheChoiceIsStoredBackOnlyWhenItChanged)
{
    {
        // Nothing chosen before: the chooser opens on size 64, flags 1 and zeros.
        EngineRun project(4, 4);
        project.Frames({});
        const auto run = project.Generate();
        ASSERT_EQ(run.chooserSaw.size(), 1U);
        CodecSettings expected;
        expected.StructSize = 64;
        expected.Flags = 1;
        EXPECT_TRUE(run.chooserSaw[0] == expected);
        EXPECT_TRUE(run.settingsChanged);
        EXPECT_TRUE(project.header.CodecSettings == MakeCodecSettings(kUncompressedFourcc));
    }
    for (const bool changedBefore : {false, true}) {
        SCOPED_TRACE(changedBefore);
        // The same choice again: not rewritten, and the flag keeps what it had.
        EngineRun project(4, 4);
        project.header.CodecSettings = MakeCodecSettings(kUncompressedFourcc);
        project.Frames({});
        const auto run = project.Generate(WithChooser([](CodecSettings&, const FrameDIB&) { return true; }),
                                          {.settingsChangedBefore = changedBefore, .reportProgress = false});
        EXPECT_EQ(run.result, kResultDone);
        EXPECT_EQ(run.settingsChanged, changedBefore);
    }
}

TEST(CreateAVI, AFullDiskGivesResult7AndAValidFileOfTheWholeFrames)
{
    // 64x48 at 24 bits: 9216 bytes a frame, 9224 with its chunk header, behind 8192 bytes of
    // header and the 12 of the movi list. A frame counts only when the room for its index entries
    // (24 bytes each, 40 for the index headers) is on disk too.
    const struct {
        rlim_t limit;
        int result;
        std::int64_t frames;  // -1: none, and the earlier file stays
    } rows[] = {
        {4000, kResultWriteFailed, -1},
        {8192 + 12 + 5000, kResultWriteFailed, -1},
        {8192 + 12 + 3 * 9224 + 40 + 3 * 24, kResultWriteFailed, 3},
        {8192 + 12 + 3 * 9224 + 40 + 3 * 24 - 1, kResultWriteFailed, 2},
        {8192 + 12 + 7 * 9224 + 9000, kResultWriteFailed, 7},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.limit);
        EngineRun project(64, 48);
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        project.Frames(std::vector<ProjectFrame>(10, ProjectFrame{"p.bmp"}));
        test::WriteFile(project.Avi(), std::vector<std::uint8_t>{1});
        EXPECT_EQ(project.GenerateWithFileSizeLimit(row.limit, MakeCodecSettings(kUncompressedFourcc)), row.result);
        EXPECT_EQ(project.Files().size(), 3U);
        if (row.frames < 0) {
            EXPECT_EQ(test::ReadFile(project.Avi()), std::vector<std::uint8_t>{1});
            continue;
        }
        const auto probed = project.Probe();
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(static_cast<std::int64_t>(probed->Packets.size()), row.frames);
        if (row.frames > 0) {
            EXPECT_EQ(probed->CountedFrames, row.frames);
            EXPECT_EQ(probed->HeaderFrames, row.frames);
        }
        EXPECT_EQ(test::WalkRiffFile(project.Avi()).Problem, "");
    }
}

TEST(CodecLibrary, OnlyTheMajorVersionBuiltAgainstIsAccepted)
{
    const std::uint32_t built = CodecLibraryMajorAtBuild();
    EXPECT_TRUE(CodecLibraryMatches(CodecLibraryVersionAtRunTime(), built));
    EXPECT_TRUE(CodecLibraryMatches(built << 16 | 0x1234, built));
    EXPECT_FALSE(CodecLibraryMatches((built + 1) << 16, built));
    EXPECT_FALSE(CodecLibraryMatches((built - 1) << 16 | 0xFFFF, built));
}

}  // namespace
}  // namespace kinetar::avi
