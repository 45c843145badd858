#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/JpegCompressor.h"
#include "avi/engine/AviEngine.h"
#include "avi/writer/FourCC.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"
#include "support/RgbImage.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using test::Choosing;
using test::EngineRun;
using test::WithChooser;

const std::uint32_t kH264 = FourCC('H', '2', '6', '4');
const std::uint32_t kHevc = FourCC('H', 'E', 'V', 'C');
const std::uint32_t kAv1 = FourCC('A', 'V', '0', '1');
const std::uint32_t kVp9 = FourCC('V', 'P', '9', '0');
const std::uint32_t kFfv1 = FourCC('F', 'F', 'V', '1');

// Whether an MP4 file's index comes before its data: fast start.
bool IndexFirst(const std::string& path)
{
    const auto bytes = test::ReadFile(path);
    const auto find = [&](std::string_view type) {
        return std::search(bytes.begin(), bytes.end(), type.begin(), type.end());
    };
    return find("moov") < find("mdat");
}

// The mean of one channel over a column of a decoded frame, down to the given row.
double ColumnMean(const test::RgbImage& image, int x, int channel, int rows)
{
    double sum = 0;
    for (int y = 0; y < rows; ++y) {
        sum += image.Pixels[static_cast<std::size_t>((y * image.Width + x) * 3 + channel)];
    }
    return sum / rows;
}

TEST(ContainerOutput, EachContainerAndCodecReadsBackAtTheExactRateWithItsColourTags)
{
    // Orange shows a wrong matrix or range; white, in every depth's table, shows the padding.
    constexpr std::uint32_t kOrange = 0xE08020;
    constexpr std::uint32_t kWhite = 0xFFFFFF;
    const struct {
        const char* file;
        std::uint32_t fourcc;
        std::int32_t width, height;
        std::uint8_t depthCode;  // 3: 24 bits, 2: 8 bits
        std::uint32_t rateNum, rateDen, colour;
        const char* codec;
        const char* pixelFormat;
        const char* colourSpace;  // "" : none
        const char* tag;          // the codec tag ffprobe reports, "" : not checked
        bool gstreamer;           // another player's reader plays it to the end
    } rows[] = {
        {"hd.mp4", kH264, 1280, 720, 3, 30000, 1001, kOrange, "h264", "yuv420p", "bt709", "avc1", true},
        {"sd.mov", kH264, 640, 480, 3, 25, 1, kOrange, "h264", "yuv420p", "smpte170m", "avc1", false},
        {"small.m4v", kH264, 64, 48, 3, 24000, 1001, kOrange, "h264", "yuv420p", "smpte170m", "avc1", false},
        {"hevc.mp4", kHevc, 64, 48, 3, 25, 1, kOrange, "hevc", "yuv420p", "smpte170m", "hvc1", false},
        {"av1.mp4", kAv1, 64, 48, 3, 25, 1, kOrange, "av1", "yuv420p", "smpte170m", "av01", false},
        {"h264.mkv", kH264, 64, 48, 3, 30000, 1001, kOrange, "h264", "yuv420p", "smpte170m", "", false},
        {"ffv1.mkv", kFfv1, 64, 48, 3, 5, 1, kOrange, "ffv1", "bgr0", "", "", false},
        {"av1.webm", kAv1, 64, 48, 3, 10, 1, kOrange, "av1", "yuv420p", "smpte170m", "", false},
        {"sd.webm", kVp9, 640, 480, 3, 25, 1, kOrange, "vp9", "yuv420p", "smpte170m", "", true},
        {"odd.mp4", kH264, 63, 47, 3, 25, 1, kWhite, "h264", "yuv420p", "smpte170m", "", false},
        {"odd.webm", kVp9, 65, 48, 3, 25, 1, kWhite, "vp9", "yuv420p", "smpte170m", "", false},
        {"8bit.mkv", kHevc, 64, 48, 2, 25, 1, kWhite, "hevc", "yuv420p", "smpte170m", "", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(row.width, row.height, row.depthCode);
        project::SetFrameRate(project.header, {row.rateNum, row.rateDen});
        project.header.Background = {0x40, 0x40, 0x40};
        project.Picture("p.bmp", test::Bmp24(test::SolidImage(row.width, row.height, row.colour)));
        project.Picture("q.bmp", test::Bmp24(test::GradientImage(row.width, row.height)));
        // Three frames, the first picture held for two of them.
        project.Frames({{"p.bmp", 1, 2000 * row.rateDen / row.rateNum}, {"q.bmp"}});
        ASSERT_EQ(project.GenerateFile(row.file, WithChooser(Choosing(MakeCodecSettings(row.fourcc)))).result,
                  kResultDone);
        const std::string path = project.dir.File(row.file);
        const auto probed = test::Probe(path);
        ASSERT_TRUE(probed.has_value());
        const int codedWidth = row.width + row.width % 2;
        const int codedHeight = row.height + row.height % 2;
        EXPECT_EQ(probed->Codec, row.codec);
        EXPECT_EQ(probed->PixelFormat, row.pixelFormat);
        EXPECT_EQ(std::pair(probed->Width, probed->Height), std::pair(codedWidth, codedHeight));
        EXPECT_EQ(probed->FrameRate, std::to_string(row.rateNum) + "/" + std::to_string(row.rateDen));
        EXPECT_EQ(probed->CountedFrames, 3);
        const auto stream = test::ProbeStream(path, "v:0", "codec_tag_string,color_space,color_primaries,color_range");
        if (*row.colourSpace != '\0') {
            EXPECT_EQ(stream.at("color_space"), row.colourSpace);
            EXPECT_EQ(stream.at("color_primaries"), row.colourSpace);
            EXPECT_EQ(stream.at("color_range"), "tv");
        }
        if (*row.tag != '\0') {
            EXPECT_EQ(stream.at("codec_tag_string"), row.tag);
            EXPECT_TRUE(IndexFirst(path));
        }
        // The colour comes back, so the conversion's matrix is the one the tags name; padding
        // takes the background colour.
        const auto frames = test::DecodeVideoFrames(path);
        ASSERT_TRUE(frames.has_value());
        ASSERT_EQ(frames->size(), 3U);
        for (int channel = 0; channel < 3; ++channel) {
            const auto expected = static_cast<double>((row.colour >> (16 - 8 * channel)) & 0xFF);
            // The converter's rounding takes white to 234 rather than 235; a wrong matrix is 9 off.
            EXPECT_NEAR(ColumnMean(frames->front(), row.width / 2, channel, row.height), expected, 6);
        }
        // Beside white, the edge rings a little; black or white padding would be 64 or 191 off.
        if (codedWidth != row.width) {
            EXPECT_NEAR(ColumnMean(frames->front(), codedWidth - 1, 1, row.height), 0x40, 12);
        }
        if (codedHeight != row.height) {
            const auto lastRow = static_cast<std::size_t>(codedHeight - 1) * static_cast<std::size_t>(codedWidth);
            EXPECT_NEAR(frames->front().Pixels[(lastRow + 10) * 3 + 1], 0x40, 12);
        }
        if (row.gstreamer && test::HaveProgram(test::kGstLaunch)) {
            EXPECT_TRUE(test::GStreamerPlaysToTheEnd(path));
        }
    }
}

TEST(ContainerOutput, AStoppedOrFullRunLeavesAPlayableFileOfTheFramesWritten)
{
    // Noise compresses badly, so a few frames fill the room the limit leaves.
    std::mt19937 random(7);
    test::RgbImage noise = test::SolidImage(160, 120, 0);
    for (auto& value : noise.Pixels) {
        value = static_cast<std::uint8_t>(random());
    }
    constexpr std::uint64_t kNoRoom = 20000;  // not even for the file's headers: no file at all
    const struct {
        const char* file;
        std::uint32_t fourcc;
        int stopAfterReports;  // -1: the file size limit below ends the run
        std::uint64_t limit;
        std::uint8_t result;
    } rows[] = {{"stop.mp4", kH264, 6, 0, kResultStopped},
                {"stop.mkv", kFfv1, 6, 0, kResultStopped},
                {"full.mp4", kH264, -1, 250000, kResultWriteFailed},
                {"full.mkv", kFfv1, -1, 400000, kResultWriteFailed},
                {"tiny.webm", kVp9, -1, kNoRoom, kResultWriteFailed}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(160, 120);
        project.Picture("n.bmp", test::Bmp24(noise));
        // With music that outlasts the video.
        ASSERT_TRUE(test::MakeTone(project.dir.File("tone.flac"), 3.0));
        std::vector<test::ProjectFrame> frames{test::SoundFrame("tone.flac")};
        frames.resize(11, {"n.bmp"});
        project.Frames(frames);
        // Lossless H.264, every frame a key frame, so its frames are large too.
        auto choice = MakeCodecSettings(row.fourcc, row.fourcc == kH264 ? kQualityMax : kQualityDefault);
        choice.KeyFrameInterval = 1;
        std::uint8_t result = 0;
        if (row.stopAfterReports > 0) {
            result =
                project
                    .GenerateFile(row.file, WithChooser(Choosing(choice)), {.stopAfterReports = row.stopAfterReports})
                    .result;
        } else {
            project::SetText(project.header.AviFileName, project.dir.File(row.file));
            result = static_cast<std::uint8_t>(project.GenerateWithFileSizeLimit(row.limit, choice));
        }
        EXPECT_EQ(result, row.result);
        const std::string path = project.dir.File(row.file);
        if (row.limit == kNoRoom) {
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        const auto probed = test::Probe(path);
        ASSERT_TRUE(probed.has_value());
        // The report after the fifth frame stops the run: five frames; a full disk takes some.
        EXPECT_TRUE(row.stopAfterReports > 0 ? probed->CountedFrames == 5
                                             : probed->CountedFrames > 0 && probed->CountedFrames < 10);
        EXPECT_EQ(static_cast<std::int64_t>(probed->Packets.size()), probed->CountedFrames);
        // The sound ends with the frames written, within a frame (9,600 samples at 5 fps), even
        // when the encoder still held frames it was handed.
        const std::int64_t videoSamples = probed->CountedFrames * 9600;
        const std::int64_t soundSamples = test::DecodedSoundSamples(path);
        EXPECT_GT(soundSamples, videoSamples - 9600);
        EXPECT_LT(soundSamples, videoSamples + 9600);
    }
}

TEST(ContainerOutput, WithoutAChooserAnAviOnlyChoiceGivesWayToTheContainersFirstCodec)
{
    const struct {
        const char* file;
        std::uint32_t previous, expected;
        std::uint8_t result;  // the last row's chooser insists on a codec WebM cannot carry
    } rows[] = {{"a.mp4", kMjpgFourcc, kH264, kResultDone},
                {"a.webm", kH264, kVp9, kResultDone},
                {"a.mkv", kFfv1, kFfv1, kResultDone},
                {"a.avi", kMjpgFourcc, kMjpgFourcc, kResultDone},
                {"b.webm", kMjpgFourcc, kMjpgFourcc, kResultFormatRefused}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        EngineRun project(64, 48);
        project.header.CodecSettings = MakeCodecSettings(row.previous);
        project::SetText(project.header.AviFileName, project.dir.File(row.file));
        project.Picture("p.bmp", test::Bmp24(test::GradientImage(64, 48)));
        project.Frames({{"p.bmp"}});
        bool changed = false;
        std::uint8_t result = 255;
        EngineServices services;
        if (row.result != kResultDone) {
            services.ChooseCompressor = [](project::CodecSettings&, const FrameDIB&) { return true; };
        }
        CreateAVI(project.header, project.Path(), changed, {}, result, services);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(project.header.CodecSettings.Handler, row.expected);
        EXPECT_EQ(changed, row.previous != row.expected);
    }
}

}  // namespace
}  // namespace kinetar::avi
