#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/JpegCompressor.h"
#include "avi/engine/AviEngine.h"
#include "avi/writer/AviWriter.h"
#include "common/LittleEndian.h"
#include "support/BmpBuilder.h"
#include "support/ByteWriter.h"
#include "support/EngineRun.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/RiffWalker.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using project::CodecSettings;
using test::EngineRun;
using test::RgbImage;

std::uint8_t DepthCode(int bits)
{
    return static_cast<std::uint8_t>(bits == 1 ? 0 : bits == 4 ? 1 : bits == 8 ? 2 : 3);
}

// Slowly changing colours, as in a photograph, so a lossy codec's error shows as noise, not as
// the loss of detail no picture of this size has.
RgbImage SmoothImage(int width, int height, int seed)
{
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Pixels.insert(image.Pixels.end(), {static_cast<std::uint8_t>(x * 150 / width + seed % 10 * 8),
                                                     static_cast<std::uint8_t>(y * 150 / height + seed % 7 * 9),
                                                     static_cast<std::uint8_t>((x + y) * 100 / (width + height) + 50)});
        }
    }
    return image;
}

// Six frames of changing pictures, fitted to the video size, at 6 frames a second.
class CodecRun : public EngineRun {
public:
    explicit CodecRun(int bits, std::int32_t width = 160, std::int32_t height = 120)
        : EngineRun(width, height, DepthCode(bits), 6)
    {
        std::vector<test::ProjectFrame> frames;
        for (int i = 0; i < 6; ++i) {
            // Frames 2 and 3 are the same, so inter frames have runs of nothing to code.
            const RgbImage picture = SmoothImage(width, height, i == 3 ? 2 : i * 9);
            frames.push_back({Picture("p" + std::to_string(i) + ".bmp", test::Bmp24(picture))});
        }
        Frames(frames);
    }

    // Renders name.avi with the given choice and no progress callback; returns the result code.
    std::uint8_t Render(const std::string& name, const CodecSettings& choice)
    {
        return GenerateInto(name, test::WithChooser(test::Choosing(choice)), {.reportProgress = false}).result;
    }
};

// The run-length, Microsoft Video 1 and Cinepak decoders do not say which frames they could start on.
bool DecoderReportsKeyFrames(std::uint32_t fourcc)
{
    return fourcc != kRleFourcc && fourcc != FourCC('M', 'S', 'V', 'C') && fourcc != FourCC('c', 'v', 'i', 'd');
}

double Psnr(const RgbImage& actual, const RgbImage& expected)
{
    double squares = 0;
    for (std::size_t i = 0; i < expected.Pixels.size(); ++i) {
        const double difference = static_cast<double>(actual.Pixels[i]) - static_cast<double>(expected.Pixels[i]);
        squares += difference * difference;
    }
    if (squares == 0) {
        return 99.0;
    }
    return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(expected.Pixels.size()) / squares);
}

struct CodecCase {
    std::uint32_t fourcc;
    int bits;
};

void PrintTo(const CodecCase& c, std::ostream* out)
{
    *out << FourccText(c.fourcc) << " at " << c.bits << " bits";
}

std::vector<CodecCase> EveryCodecAtEveryDepth()
{
    std::vector<CodecCase> cases;
    for (const CodecInfo& codec : CodecRegistry::Default().All()) {
        for (const int bits : {1, 4, 8, 24}) {
            if (codec.Takes(bits) && codec.GoesInto(Container::Avi)) {
                cases.push_back({codec.Fourcc, bits});
            }
        }
    }
    return cases;
}

// The decoder an independent reader picks from the stream's format.
std::string DecoderName(std::uint32_t fourcc)
{
    const struct {
        const char* fourcc;
        const char* decoder;
    } names[] = {{"DIB ", "rawvideo"}, {"mrle", "msrle"},    {"MJPG", "mjpeg"}, {"XVID", "mpeg4"},
                 {"H264", "h264"},     {"MSVC", "msvideo1"}, {"FFV1", "ffv1"},  {"HFYU", "huffyuv"},
                 {"ULRG", "utvideo"},  {"M8RG", "magicyuv"}, {"ZMBV", "zmbv"},  {"MPNG", "png"},
                 {"cvid", "cinepak"}};
    for (const auto& name : names) {
        if (fourcc == *ParseFourcc(name.fourcc)) {
            return name.decoder;
        }
    }
    return "(not listed)";
}

bool IsLossless(std::uint32_t fourcc)
{
    for (const char* text : {"DIB ", "mrle", "FFV1", "HFYU", "ULRG", "M8RG", "ZMBV", "MPNG"}) {
        if (fourcc == *ParseFourcc(text)) {
            return true;
        }
    }
    return false;
}

// The lowest PSNR a lossy codec may give on these pictures at its default quality.
double PsnrFloor(std::uint32_t fourcc)
{
    return fourcc == FourCC('M', 'S', 'V', 'C') || fourcc == FourCC('c', 'v', 'i', 'd') ? 24.0 : 30.0;
}

class EveryCompressor : public ::testing::TestWithParam<CodecCase> {};

// Each compressor, at each depth it accepts, read back by ffprobe and decoded by ffmpeg against the
// uncompressed frames of the same run; a key frame every second frame where the codec has inter frames.
TEST_P(EveryCompressor, RoundTripsThroughAnIndependentDecoder)
{
    const CodecCase& c = GetParam();
    const CodecInfo* codec = CodecRegistry::Default().Find(c.fourcc);
    ASSERT_NE(codec, nullptr);
    CodecRun run(c.bits, 64, 48);
    CodecSettings choice = MakeCodecSettings(c.fourcc);
    choice.KeyFrameInterval = 2;
    ASSERT_EQ(run.Render("coded", choice), kResultDone);
    ASSERT_EQ(run.Render("plain", MakeCodecSettings(kUncompressedFourcc)), kResultDone);

    const auto probed = run.Probe("coded");
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->FrameRate, "6/1");
    EXPECT_EQ(probed->Width, 64);
    EXPECT_EQ(probed->HeaderFrames, 6);
    ASSERT_EQ(probed->Packets.size(), 6U);
    // The index marks a key frame exactly where the decoder finds one: every frame of an intra-only
    // codec; for the others the first and then at least every second, with inter frames between.
    const auto decodedKeys = test::DecodedKeyFrames(run.Avi("coded"));
    ASSERT_EQ(decodedKeys.size(), 6U);
    int sinceKey = 0;
    bool interFrames = false;
    for (std::size_t i = 0; i < probed->Packets.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const bool key = probed->Packets[i].Key;
        if (DecoderReportsKeyFrames(c.fourcc)) {
            EXPECT_EQ(key, decodedKeys[i]);
        }
        EXPECT_TRUE(key || !codec->EveryFrameKey);
        EXPECT_TRUE(key || i > 0);
        sinceKey = key ? 0 : sinceKey + 1;
        interFrames = interFrames || !key;
        EXPECT_LT(sinceKey, 2);
    }
    // Cinepak may find a key frame cheaper than an inter frame and is free to send one.
    if (c.fourcc != FourCC('c', 'v', 'i', 'd')) {
        EXPECT_EQ(interFrames, !codec->EveryFrameKey);
    }
    EXPECT_EQ(probed->Codec, DecoderName(c.fourcc));

    const auto coded = run.DecodedFrames("coded");
    const auto plain = run.DecodedFrames("plain");
    ASSERT_TRUE(coded.has_value());
    ASSERT_TRUE(plain.has_value());
    ASSERT_EQ(coded->size(), 6U);
    ASSERT_EQ(plain->size(), 6U);
    for (std::size_t i = 0; i < coded->size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        if (IsLossless(c.fourcc)) {
            EXPECT_EQ(test::FirstDifference((*coded)[i], (*plain)[i]), "");
        } else {
            EXPECT_GE(Psnr((*coded)[i], (*plain)[i]), PsnrFloor(c.fourcc));
        }
    }
}

std::string CaseName(const ::testing::TestParamInfo<CodecCase>& info)
{
    std::string name = FourccText(info.param.fourcc);
    for (char& letter : name) {
        letter = std::isalnum(static_cast<unsigned char>(letter)) != 0 ? letter : '_';
    }
    return name + "_" + std::to_string(info.param.bits) + "bits";
}

INSTANTIATE_TEST_SUITE_P(Registry, EveryCompressor, ::testing::ValuesIn(EveryCodecAtEveryDepth()), CaseName);

TEST(Codecs, ChooserListsOnlyCompressorsForTheDepth)
{
    const auto& registry = CodecRegistry::Default();
    for (const int bits : {1, 4, 8, 24}) {
        const auto offered = registry.ForDepth(bits);
        ASSERT_FALSE(offered.empty());
        EXPECT_EQ(offered.front()->Fourcc, kUncompressedFourcc) << "uncompressed takes every depth";
        const bool rle = std::any_of(offered.begin(), offered.end(),
                                     [](const CodecInfo* codec) { return codec->Fourcc == kRleFourcc; });
        EXPECT_EQ(rle, bits == 4 || bits == 8) << bits;
    }
    ASSERT_NE(registry.Find(FourCC('M', 'J', 'P', 'G')), nullptr);
    EXPECT_TRUE(registry.Find(FourCC('M', 'J', 'P', 'G'))->HasQuality);
    EXPECT_FALSE(registry.Find(FourCC('F', 'F', 'V', '1'))->HasQuality);
}

TEST(Codecs, FormatRefusalsAndCompressorsThatCannotOpen)
{
    // A stored 24-bit-only choice handed a 1-bit frame.
    CodecRun oneBit(1);
    EXPECT_EQ(oneBit.Render("mjpeg", MakeCodecSettings(FourCC('M', 'J', 'P', 'G'))), kResultFormatRefused);
    EXPECT_FALSE(std::filesystem::exists(oneBit.Avi("mjpeg")));
    // Microsoft Video 1 takes only sides that are multiples of 4.
    CodecRun odd(24, 62, 48);
    EXPECT_EQ(odd.Render("msvc", MakeCodecSettings(FourCC('M', 'S', 'V', 'C'))), kResultFormatRefused);
    // A fourcc no compressor answers to.
    CodecRun unknown(24);
    EXPECT_EQ(unknown.Render("none", MakeCodecSettings(FourCC('x', 'y', 'z', 'w'))), kResultCannotMakeCompressor);
}

TEST(Codecs, TheSameChoiceAgainStoresNothingBack)
{
    CodecRun run(24);
    const CodecSettings choice = MakeCodecSettings(FourCC('M', 'J', 'P', 'G'), 6000);
    const std::vector<std::uint8_t> expected = [] {
        test::ByteWriter bytes;
        bytes.U32(64).U32(1).U32(0).Text("vidc").Text("MJPG").Zeros(5 * 4).U32(0).U32(0).U32(6000).Zeros(3 * 4);
        return bytes.Data();
    }();
    EXPECT_EQ(std::memcmp(&choice, expected.data(), 64), 0);

    ASSERT_EQ(run.Render("first", choice), kResultDone);
    EXPECT_EQ(run.header.CodecSettings, choice);
    const auto again =
        run.Generate(test::WithChooser(test::Choosing(MakeCodecSettings(FourCC('M', 'J', 'P', 'G'), 6000))),
                     {.reportProgress = false});
    EXPECT_EQ(again.result, kResultDone);
    EXPECT_FALSE(again.settingsChanged) << "byte-identical choice, nothing to store";
}

TEST(Codecs, QualityReachesTheEncoder)
{
    CodecRun run(24);
    for (const char* fourcc : {"MJPG", "XVID", "H264"}) {
        SCOPED_TRACE(fourcc);
        const auto handler = *ParseFourcc(fourcc);
        ASSERT_EQ(run.Render("low", MakeCodecSettings(handler, 500)), kResultDone);
        ASSERT_EQ(run.Render("high", MakeCodecSettings(handler, 9500)), kResultDone);
        EXPECT_GT(std::filesystem::file_size(run.Avi("high")), std::filesystem::file_size(run.Avi("low")) * 11 / 10);
    }
}

// A frame that takes a picture's rows over, or a copy of one, compresses as the bitmap of the same
// pixels does: the plain copy (its padding zero), the JPEG library's row pointers, the conversion
// loop, the colour conversion, and the padding of an odd side. Every frame gets a compressor of its
// own: which of Motion JPEG's encoders takes a frame, and so its tables, depends on timing.
TEST(Codecs, APicturesRowsTakenOverCompressAsTheirBitmapDoes)
{
    const std::tuple<const char*, Container, int, int> rows[] = {
        {"DIB ", Container::Avi, 7, 5},   {"MJPG", Container::Avi, 32, 24}, {"MSVC", Container::Avi, 32, 24},
        {"HFYU", Container::Avi, 32, 24}, {"H264", Container::Mp4, 33, 17},
    };
    for (const auto& [name, into, width, height] : rows) {
        SCOPED_TRACE(name);
        const auto fourcc = *ParseFourcc(name);
        const auto picture = test::ToPicture(test::GradientImage(width, height));
        WorkingFrame frame(width, height);
        for (int y = 0; y < height; ++y) {
            std::copy_n(picture.Row(y).begin(), frame.RowBytes(), frame.Row(y).begin());
        }
        const auto sampleOf = [&](std::unique_ptr<FrameDIB> dib) {
            std::vector<std::uint8_t> sample;
            const SampleSink sink = [&](std::span<const std::uint8_t> bytes, bool) {
                sample.assign(bytes.begin(), bytes.end());
                return true;
            };
            auto compressor = CodecRegistry::Default().Find(fourcc)->Make(
                {.FccHandler = fourcc, .Into = into, .Background = {10, 20, 30}});
            EXPECT_TRUE(compressor->SetFormat(dib->Format()) && compressor->Compress(std::move(dib), sink) &&
                        compressor->Flush(sink));
            return sample;
        };
        const auto fromBitmap = sampleOf(GetFrameDIB(frame, 24));
        EXPECT_FALSE(fromBitmap.empty());
        auto taken = GetFrameDIB(std::make_unique<pictures::DecodedPicture>(picture), 24);
        EXPECT_EQ(sampleOf(taken->Clone()), fromBitmap);
        EXPECT_EQ(sampleOf(std::move(taken)), fromBitmap);
    }
}

// Full frames handed out two frames late, as an encoder on several threads does.
class LaggingCompressor final : public Compressor {
public:
    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        m_format.assign(inputFormat.begin(), inputFormat.end());
        return true;
    }
    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return false; }
    bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
    {
        m_held.emplace_back(frame->Pixels().begin(), frame->Pixels().end());
        return m_held.size() <= 2 || Release(sink);
    }
    bool Flush(const SampleSink& sink) override
    {
        while (!m_held.empty()) {
            if (!Release(sink)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Release(const SampleSink& sink)
    {
        const bool written = sink(m_held.front(), true);
        m_held.erase(m_held.begin());
        return written;
    }

    std::vector<std::uint8_t> m_format;
    std::vector<std::vector<std::uint8_t>> m_held;
};

TEST(Codecs, SamplesThatComeLateGoToTheirFramesPositions)
{
    CodecRegistry lagging;
    lagging.Add({.Fourcc = FourCC('L', 'A', 'G', '2'), .Name = "Lagging", .Make = [](const CompressionOptions&) {
                     return std::unique_ptr<Compressor>(std::make_unique<LaggingCompressor>());
                 }});
    for (const int stopAfter : {-1, 4}) {
        // Stopped at the report after frame 3, with frames still held back: they are written too.
        SCOPED_TRACE(stopAfter < 0 ? "whole run" : "stopped after four reports");
        CodecRun run(24, 32, 24);
        // Frame 2 cannot be read and is skipped: its position stays empty.
        ASSERT_TRUE(project::WriteFrameRecord(run.Path(), 2, project::NewFrameRecord("/missing/picture.bmp")));
        const auto render = [&](const std::string& name, std::uint32_t fourcc, const CodecRegistry* codecs) {
            return run
                .GenerateInto(name, test::WithChooser(test::Choosing(MakeCodecSettings(fourcc)), codecs),
                              {.stopAfterReports = stopAfter})
                .result;
        };
        const std::uint8_t expected = stopAfter < 0 ? kResultDone : kResultStopped;
        ASSERT_EQ(render("late", FourCC('L', 'A', 'G', '2'), &lagging), expected);
        ASSERT_EQ(render("plain", kUncompressedFourcc, nullptr), expected);
        const auto late = test::ReadFile(run.Avi("late"));
        const auto plain = test::ReadFile(run.Avi("plain"));
        EXPECT_EQ(late.size(), plain.size());
        const auto probedLate = run.Probe("late");
        const auto probedPlain = run.Probe("plain");
        ASSERT_TRUE(probedLate && probedPlain);
        std::vector<std::int64_t> latePts;
        std::vector<std::int64_t> plainPts;
        for (const auto& packet : probedLate->Packets) {
            latePts.push_back(packet.Pts);
        }
        for (const auto& packet : probedPlain->Packets) {
            plainPts.push_back(packet.Pts);
        }
        // The skipped frame 2 keeps its place: later frames keep their time.
        EXPECT_EQ(latePts,
                  stopAfter < 0 ? (std::vector<std::int64_t>{0, 1, 3, 4, 5}) : (std::vector<std::int64_t>{0, 1, 3}));
        EXPECT_EQ(latePts, plainPts);
        const auto lateFrames = run.DecodedFrames("late");
        const auto plainFrames = run.DecodedFrames("plain");
        ASSERT_TRUE(lateFrames && plainFrames);
        EXPECT_EQ(*lateFrames, *plainFrames);
    }
}

// Red grows downwards and blue rightwards, each over most of its range: a picture turned upside
// down, mirrored, or with red and blue swapped is far from it. No sharp edges, which colour at
// half the resolution would blur whatever the quality.
RgbImage SlopeImage(int width, int height, int seed)
{
    RgbImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.Pixels.insert(image.Pixels.end(), {static_cast<std::uint8_t>(30 + 190 * y / (height - 1)),
                                                     static_cast<std::uint8_t>(100 + 10 * seed + 40 * x / width),
                                                     static_cast<std::uint8_t>(30 + 190 * x / (width - 1))});
        }
    }
    return image;
}

RgbImage UpsideDown(const RgbImage& image)
{
    RgbImage turned = image;
    const auto row = static_cast<std::size_t>(image.Width) * 3;
    for (int y = 0; y < image.Height; ++y) {
        std::copy_n(
            image.Pixels.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(y)), row,
            turned.Pixels.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(image.Height - 1 - y)));
    }
    return turned;
}

RgbImage RedAndBlueSwapped(const RgbImage& image)
{
    RgbImage swapped = image;
    for (std::size_t i = 0; i < swapped.Pixels.size(); i += 3) {
        std::swap(swapped.Pixels[i], swapped.Pixels[i + 2]);
    }
    return swapped;
}

// The frame header of a JPEG: marker, then the components' sampling; and how many Huffman tables
// come before the scan. Empty when it does not start and end as a whole JPEG.
struct JpegLayout {
    int FrameMarker = 0;  // 0xC0: baseline
    std::vector<int> Sampling;
    int HuffmanTables = 0;
    int FirstQuantStep = 0;  // the first table's DC step: coarser at a lower quality
};

JpegLayout ReadJpegLayout(std::span<const std::uint8_t> jpeg)
{
    JpegLayout layout;
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8 || jpeg[jpeg.size() - 2] != 0xFF || jpeg.back() != 0xD9) {
        return layout;
    }
    // Segments: FF, marker, a 16-bit length that counts itself, until the scan.
    for (std::size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xFF && jpeg[at + 1] != 0xDA;
         at += 2 + (static_cast<std::size_t>(jpeg[at + 2]) << 8 | jpeg[at + 3])) {
        const int marker = jpeg[at + 1];
        if (marker == 0xC4) {
            ++layout.HuffmanTables;  // one table a segment, as the encoder writes them
        } else if (marker == 0xDB && layout.FirstQuantStep == 0 && at + 5 < jpeg.size()) {
            layout.FirstQuantStep = jpeg[at + 5];  // after the length and the 8-bit table's number
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC8 && marker != 0xCC && at + 10 < jpeg.size()) {
            layout.FrameMarker = marker;
            for (std::size_t c = 0; c < jpeg[at + 9] && at + 11 + 3 * c < jpeg.size(); ++c) {
                layout.Sampling.push_back(jpeg[at + 11 + 3 * c]);
            }
        }
    }
    return layout;
}

// Motion JPEG at the ends and the middle of the quality scale and at its default, at sizes even and
// odd, decoded by the independent reader right side up and in the right colours.
TEST(MotionJpeg, EveryQualityStepDecodesToThePicturesItWasGiven)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg, test::kFfprobe);
    const struct {
        const char* name;
        std::uint32_t quality;
        double psnrFloor;
    } qualities[] = {
        {"0 %", 0, 17.0},
        {"50 %", 5000, 32.0},
        {"100 %", 10000, 35.0},
        {"default", kQualityDefault, 33.0},
    };
    const struct {
        int width;
        int height;
    } sizes[] = {{64, 48}, {61, 37}, {33, 18}};
    for (const auto& size : sizes) {
        EngineRun run(size.width, size.height, DepthCode(24), 5);
        std::vector<RgbImage> pictures;
        std::vector<test::ProjectFrame> frames;
        for (int i = 0; i < 3; ++i) {
            pictures.push_back(SlopeImage(size.width, size.height, i));
            frames.push_back({run.Picture("q" + std::to_string(i) + ".bmp", test::Bmp24(pictures.back()))});
        }
        run.Frames(frames);
        std::vector<int> quantSteps;
        for (const auto& quality : qualities) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " at " + quality.name);
            const auto result = run.GenerateInto(
                "q", test::WithChooser(test::Choosing(MakeCodecSettings(kMjpgFourcc, quality.quality))),
                {.reportProgress = false});
            ASSERT_EQ(result.result, kResultDone);

            const auto probed = run.Probe("q");
            ASSERT_TRUE(probed.has_value());
            EXPECT_EQ(probed->Codec, "mjpeg");
            EXPECT_EQ(probed->PixelFormat, "yuvj420p");
            EXPECT_EQ(probed->HeaderFrames, 3);
            ASSERT_EQ(probed->Packets.size(), 3U);
            EXPECT_TRUE(std::all_of(probed->Packets.begin(), probed->Packets.end(),
                                    [](const test::ProbedPacket& packet) { return packet.Key; }));
            EXPECT_EQ(test::DecodedKeyFrames(run.Avi("q")), std::vector<bool>(3, true));

            // The stream format players look for, and every sample a whole baseline JPEG with its
            // own Huffman tables, brightness at twice the colour's resolution both ways.
            const auto file = test::WalkRiffFile(run.Avi("q"));
            ASSERT_EQ(file.Problem, "");
            const auto& riff = file.Chunks.at(0);
            const test::RiffChunk* strl = riff.Child("hdrl")->Child("strl");
            ASSERT_NE(strl, nullptr);
            const auto& bytes = file.Bytes;
            EXPECT_EQ(test::FourccOf(LoadLE32(bytes, strl->Child("strh")->DataOffset() + 4)), "MJPG");
            const auto strf = strl->Child("strf")->DataOffset();
            EXPECT_EQ(strl->Child("strf")->Size, 40U);
            EXPECT_EQ(LoadLE32(bytes, strf), 40U);  // biSize
            EXPECT_EQ(static_cast<std::int32_t>(LoadLE32(bytes, strf + 4)), size.width);
            EXPECT_EQ(static_cast<std::int32_t>(LoadLE32(bytes, strf + 8)), size.height);
            EXPECT_EQ(LoadLE16(bytes, strf + 14), 24U);                     // biBitCount
            EXPECT_EQ(test::FourccOf(LoadLE32(bytes, strf + 16)), "MJPG");  // biCompression
            const auto samples = riff.Child("movi")->ChildrenNamed("00dc");
            ASSERT_EQ(samples.size(), 3U);
            for (const test::RiffChunk* sample : samples) {
                const JpegLayout layout = ReadJpegLayout(
                    std::span(bytes).subspan(static_cast<std::size_t>(sample->DataOffset()), sample->Size));
                EXPECT_EQ(layout.FrameMarker, 0xC0);
                EXPECT_EQ(layout.Sampling, (std::vector<int>{0x22, 0x11, 0x11}));
                EXPECT_EQ(layout.HuffmanTables, 4);
                if (sample == samples.front()) {
                    quantSteps.push_back(layout.FirstQuantStep);
                }
            }

            const auto decoded = run.DecodedFrames("q");
            ASSERT_TRUE(decoded.has_value());
            ASSERT_EQ(decoded->size(), 3U);
            for (std::size_t i = 0; i < decoded->size(); ++i) {
                SCOPED_TRACE("frame " + std::to_string(i));
                EXPECT_GE(Psnr((*decoded)[i], pictures[i]), quality.psnrFloor);
            }
        }
        // The floors tell a right picture from a wrong one.
        EXPECT_LT(Psnr(UpsideDown(pictures[0]), pictures[0]), 15.0);
        EXPECT_LT(Psnr(RedAndBlueSwapped(pictures[0]), pictures[0]), 15.0);
        // The quality reaches the encoder. (Sizes would not tell: at these sizes the Huffman tables,
        // fitted or not as the threads take the frames, outweigh the quantisation.)
        ASSERT_EQ(quantSteps.size(), 4U);
        EXPECT_GT(quantSteps[0], quantSteps[1]);
        EXPECT_GT(quantSteps[1], quantSteps[2]);
    }
}

// Counts the pictures another player's AVI reader decodes: every decoded picture reaches the sink,
// which reports each with its size.
int GStreamerDecodedFrames(const std::string& path, std::size_t pictureBytes, std::string& output)
{
    const int status =
        test::RunCommand(test::kGstLaunch + " -v filesrc location=" + test::ShellQuote(path) +
                             " ! avidemux ! decodebin ! video/x-raw,format=I420 ! fakesink silent=false 2>&1",
                         &output);
    if (status != 0) {
        return -1;
    }
    int frames = 0;
    const std::string chain = "last-message = chain";
    const std::string size = "(" + std::to_string(pictureBytes) + " bytes,";
    for (std::size_t at = output.find(chain); at != std::string::npos; at = output.find(chain, at + 1)) {
        const std::size_t lineEnd = output.find('\n', at);
        if (output.substr(at, lineEnd - at).find(size) != std::string::npos) {
            ++frames;
        }
    }
    return frames;
}

// A reader that finds the stream's layout only behind the format's header: the parameter sets are
// there, and still in the stream for readers that look there.
TEST(H264, AnotherPlayersReaderDecodesEveryFrame)
{
    KINETAR_SKIP_WITHOUT(test::kGstLaunch, test::kFfprobe);
    const std::uint32_t h264 = FourCC('H', '2', '6', '4');
    ASSERT_NE(CodecRegistry::Default().Find(h264), nullptr);
    CodecRun run(24, 64, 48);
    CodecSettings choice = MakeCodecSettings(h264);
    choice.KeyFrameInterval = 3;
    ASSERT_EQ(run.Render("h264", choice), kResultDone);

    const auto file = test::WalkRiffFile(run.Avi("h264"));
    ASSERT_EQ(file.Problem, "");
    const test::RiffChunk* strf = file.Chunks.at(0).Child("hdrl")->Child("strl")->Child("strf");
    ASSERT_NE(strf, nullptr);
    const auto& bytes = file.Bytes;
    const auto at = static_cast<std::size_t>(strf->DataOffset());
    ASSERT_GT(strf->Size, 40U);
    EXPECT_EQ(LoadLE32(bytes, at), strf->Size);  // biSize counts what follows the header
    // Annex B: a start code before the sequence parameter set, then the picture parameter set's.
    const std::vector<std::uint8_t> headers(bytes.begin() + static_cast<std::ptrdiff_t>(at + 40),
                                            bytes.begin() + static_cast<std::ptrdiff_t>(at + strf->Size));
    ASSERT_GE(headers.size(), 5U);
    EXPECT_EQ(headers[0] | headers[1] | headers[2], 0);
    EXPECT_EQ(headers[3], 1);
    EXPECT_EQ(headers[4] & 0x1F, 7);  // sequence parameter set
    const std::vector<std::uint8_t> pictureSet = {0, 0, 1, 0x68};
    EXPECT_NE(std::search(headers.begin(), headers.end(), pictureSet.begin(), pictureSet.end()), headers.end());
    // Every key frame carries them too.
    const auto samples = file.Chunks.at(0).Child("movi")->ChildrenNamed("00dc");
    ASSERT_EQ(samples.size(), 6U);
    for (const std::size_t key : {0, 3}) {
        SCOPED_TRACE("key frame " + std::to_string(key));
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(samples[key]->DataOffset());
        const std::vector<std::uint8_t> sequenceSet = {0, 0, 1, 0x67};
        const auto end = begin + samples[key]->Size;
        EXPECT_NE(std::search(begin, end, sequenceSet.begin(), sequenceSet.end()), end);
    }

    std::string output;
    EXPECT_EQ(GStreamerDecodedFrames(run.Avi("h264"), 64 * 48 * 3 / 2, output), 6) << output;
    const auto probed = run.Probe("h264");
    ASSERT_TRUE(probed.has_value());
    EXPECT_EQ(probed->CountedFrames, 6);
}

}  // namespace
}  // namespace kinetar::avi
