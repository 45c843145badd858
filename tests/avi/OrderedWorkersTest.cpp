#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/OrderedWorkers.h"
#include "avi/engine/AviEngine.h"
#include "avi/writer/FourCC.h"
#include "support/BmpBuilder.h"
#include "support/EngineRun.h"
#include "support/RgbImage.h"

namespace kinetar::avi {
namespace {

using test::EngineRun;

constexpr int kFrames = 6;
constexpr int kUnreadable = 3;

// The frame a picture stands for, read back from its colour: blue is 40 times its number.
int FrameNumber(const FrameDIB& frame)
{
    return frame.Pixels()[0] / 40;
}

// What the encoders did, from their threads.
struct EncoderLog {
    std::mutex Mutex;
    std::vector<int> Finished;  // frame numbers in the order their encoding ended
};

// Full frames encoded by two threads through OrderedWorkers, some made to take their time; one
// frame may fail. The samples are the frames' rows, so the file reads as uncompressed video.
class PausingCompressor final : public Compressor {
public:
    PausingCompressor(std::shared_ptr<EncoderLog> log, std::map<int, int> pauses, int failing)
        : m_log(std::move(log)), m_pauses(std::move(pauses)), m_failing(failing)
    {
    }

    bool SetFormat(std::span<const std::uint8_t> inputFormat) override
    {
        m_format.assign(inputFormat.begin(), inputFormat.end());
        std::vector<OrderedWorkers::FrameEncoder> encoders;
        for (int i = 0; i < 2; ++i) {
            encoders.emplace_back([this](const FrameDIB& frame, std::vector<std::uint8_t>& sample) {
                const int number = FrameNumber(frame);
                if (const auto pause = m_pauses.find(number); pause != m_pauses.end()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(pause->second));
                }
                sample.assign(frame.Pixels().begin(), frame.Pixels().end());
                const std::lock_guard lock(m_log->Mutex);
                m_log->Finished.push_back(number);
                return number != m_failing;
            });
        }
        m_workers = std::make_unique<OrderedWorkers>(std::move(encoders), 3);
        return true;
    }
    std::vector<std::uint8_t> OutputFormat() const override { return m_format; }
    bool Compressed() const override { return false; }
    bool Compress(std::unique_ptr<const FrameDIB> frame, const SampleSink& sink) override
    {
        return m_workers->Push(std::move(frame), sink);
    }
    bool Flush(const SampleSink& sink) override { return m_workers->Finish(sink); }

private:
    std::shared_ptr<EncoderLog> m_log;
    std::map<int, int> m_pauses;  // frame number -> milliseconds
    int m_failing;
    std::vector<std::uint8_t> m_format;
    std::unique_ptr<OrderedWorkers> m_workers;  // last: its threads stop before the rest goes
};

const std::uint32_t kPausingFourcc = FourCC('P', 'A', 'U', 'S');

CodecRegistry PausingRegistry(const std::shared_ptr<EncoderLog>& log, std::map<int, int> pauses, int failing = -1)
{
    CodecRegistry codecs;
    codecs.Add({.Fourcc = kPausingFourcc, .Name = "Pausing", .Make = [=](const CompressionOptions&) {
                    return std::unique_ptr<Compressor>(std::make_unique<PausingCompressor>(log, pauses, failing));
                }});
    return codecs;
}

// Six frames of one colour each, the fourth picture missing.
class ParallelRun : public EngineRun {
public:
    ParallelRun() : EngineRun(16, 8, 3, 5)
    {
        std::vector<test::ProjectFrame> frames;
        for (int i = 0; i < kFrames; ++i) {
            const auto colour = static_cast<std::uint32_t>(0x200000 * (i + 1) + 0x001000 * i + 40 * i);
            frames.push_back({i == kUnreadable ? "/missing/picture.bmp"
                                               : Picture("p" + std::to_string(i) + ".bmp",
                                                         test::Bmp24(test::SolidImage(16, 8, colour)))});
        }
        Frames(frames);
    }

    // A run with every report and question in one list, in the order they came.
    struct Logged {
        std::uint8_t result = 255;
        std::vector<std::string> events;
    };
    Logged Run(const std::string& name, std::uint32_t fourcc, const CodecRegistry* codecs, int stopAtReport = -1,
               FrameErrorAnswer answer = FrameErrorAnswer::Yes)
    {
        project::SetText(header.AviFileName, Avi(name));
        Logged run;
        EngineServices services = test::WithChooser(test::Choosing(MakeCodecSettings(fourcc)), codecs);
        services.AskFrameError = [&](const UnreadableFile&) {
            run.events.push_back("question");
            return answer;
        };
        const ProgressCallback progress = [&](const RunProgress& report) {
            run.events.push_back(std::to_string(report.Percent) + "%");
            return static_cast<int>(run.events.size()) != stopAtReport;
        };
        bool settingsChanged = false;
        CreateAVI(header, Path(), settingsChanged, progress, run.result, services);
        return run;
    }

    // What ffprobe and ffmpeg read in name.avi: the frames' times and pictures.
    void ExpectTheSameVideo(const std::string& name, const std::string& reference)
    {
        const auto probed = Probe(name);
        const auto expected = Probe(reference);
        ASSERT_TRUE(probed.has_value());
        ASSERT_TRUE(expected.has_value());
        ASSERT_EQ(probed->Packets.size(), expected->Packets.size());
        for (std::size_t i = 0; i < probed->Packets.size(); ++i) {
            EXPECT_EQ(probed->Packets[i].Pts, expected->Packets[i].Pts) << i;
        }
        EXPECT_EQ(probed->CountedFrames, expected->CountedFrames);
        const auto frames = DecodedFrames(name);
        const auto expectedFrames = DecodedFrames(reference);
        ASSERT_TRUE(frames.has_value());
        ASSERT_TRUE(expectedFrames.has_value());
        EXPECT_EQ(*frames, *expectedFrames);
    }
};

// Frames 0 and 2 take their time, 2 the longest: frames after each are done first, and wait.
TEST(OrderedWorkers, LateAndOutOfOrderFramesLandAtTheirPositions)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg, test::kFfprobe);
    ParallelRun run;
    const auto log = std::make_shared<EncoderLog>();
    const CodecRegistry codecs = PausingRegistry(log, {{0, 300}, {2, 500}});
    const auto parallel = run.Run("parallel", kPausingFourcc, &codecs);
    const auto plain = run.Run("plain", kUncompressedFourcc, nullptr);
    EXPECT_EQ(parallel.result, kResultDone);
    // Reports and the question about the missing picture come at the same turns as without threads.
    EXPECT_EQ(parallel.events, (std::vector<std::string>{"0%", "0%", "16%", "33%", "question", "66%", "83%"}));
    EXPECT_EQ(parallel.events, plain.events);
    // The encoders did finish out of order: frame 1 before frame 0, frame 4 before frame 2.
    ASSERT_EQ(log->Finished.size(), 5U);
    const auto finishedAt = [&](int frame) { return std::find(log->Finished.begin(), log->Finished.end(), frame); };
    EXPECT_LT(finishedAt(1), finishedAt(0));
    EXPECT_LT(finishedAt(4), finishedAt(2));
    run.ExpectTheSameVideo("parallel", "plain");
}

// A stop while frames are still being encoded: those frames are written, the file is whole.
TEST(OrderedWorkers, AStopMidRunKeepsEveryFrameHandedOver)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg, test::kFfprobe);
    const struct {
        const char* name;
        int stopAtReport;
        FrameErrorAnswer answer;
        std::int64_t frames;
    } rows[] = {
        {"the callback stops after frame 1", 3, FrameErrorAnswer::Yes, 2},
        {"No at the missing picture", -1, FrameErrorAnswer::No, 3},
        {"Cancel at the missing picture", -1, FrameErrorAnswer::Cancel, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ParallelRun run;
        const auto log = std::make_shared<EncoderLog>();
        const CodecRegistry codecs = PausingRegistry(log, {{0, 200}, {1, 200}});
        const auto parallel = run.Run("parallel", kPausingFourcc, &codecs, row.stopAtReport, row.answer);
        const auto plain = run.Run("plain", kUncompressedFourcc, nullptr, row.stopAtReport, row.answer);
        EXPECT_EQ(parallel.result, kResultStopped);
        EXPECT_EQ(parallel.events, plain.events);
        const auto probed = run.Probe("parallel");
        ASSERT_TRUE(probed.has_value());
        EXPECT_EQ(probed->CountedFrames, row.frames);
        EXPECT_EQ(probed->HeaderFrames, row.frames);
        run.ExpectTheSameVideo("parallel", "plain");
    }
}

// An encoder that fails ends the run with result 7 and a file that still reads; the threads stop.
TEST(OrderedWorkers, AFailedFrameEndsTheRunWithAValidFile)
{
    KINETAR_SKIP_WITHOUT(test::kFfmpeg, test::kFfprobe);
    ParallelRun run;
    const auto log = std::make_shared<EncoderLog>();
    const CodecRegistry codecs = PausingRegistry(log, {{0, 100}}, 2);
    const auto failed = run.Run("failed", kPausingFourcc, &codecs);
    EXPECT_EQ(failed.result, kResultWriteFailed);
    const auto probed = run.Probe("failed");
    ASSERT_TRUE(probed.has_value());
    const auto frames = run.DecodedFrames("failed");
    ASSERT_TRUE(frames.has_value());
    ASSERT_GE(frames->size(), 2U);
    EXPECT_EQ((*frames)[0].At(0, 0), 0x200000U);
    EXPECT_EQ((*frames)[1].At(0, 0), 0x401028U);
}

}  // namespace
}  // namespace kinetar::avi
