#include "cli/RenderCommand.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <typeinfo>

#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/QualityPercent.h"
#include "avi/engine/AviEngine.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "avi/writer/FourCC.h"
#include "cli/CliProject.h"
#include "cli/CommandLine.h"
#include "cli/ProgressReport.h"
#include "cli/RunMessages.h"
#include "common/Error.h"
#include "common/StopRequest.h"
#include "pictures/LoadPicture.h"
#include "project/ProjectFile.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::cli {

using project::FrameRecord;
using project::ProjectHeader;

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
    RequestStop();
}

// Ctrl-C, SIGTERM and SIGHUP stop a run at its next progress report, which keeps the frames
// written and leaves no temporary file.
void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    // Reading a picture goes on undisturbed; the run stops at its next progress report.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

// Without a size the video takes the first picture's; one that cannot be read leaves none.
void CheckFirstPicture(const ProjectHeader& header, const ProjectRecords& records, const std::string& folder)
{
    if (header.Width != 0 && header.Height != 0) {
        return;
    }
    std::optional<FrameRecord> first;
    for (std::int32_t i = 0; i < records.Count() && !first; ++i) {
        if (FrameRecord record = records.At(i); project::IsPictureRecord(record)) {
            first = record;
        }
    }
    if (!first) {
        throw Error("The video has no size and no picture to take it from: set one with --size");
    }
    const std::string picture = project::ResolveRecordPath(project::GetText(first->PictureFileName), folder);
    if (picture.empty()) {
        throw Error("The video takes its size from the first picture, which has no file name; set a size with --size");
    }
    try {
        RequireRegularFile(picture);
        (void)pictures::LoadPicture(picture);
    } catch (const Error& error) {
        throw Error("The video takes its size from the first picture, which cannot be read (" +
                    cli::NamedMessage(OneLine(error.what()), picture) + "); set a size with --size");
    }
}

// render's own exit status for a failure that is not one of the run's results: a fault of the
// program or the machine (memory), met mid-run. The destination is left as it was.
constexpr int kExitInternalError = 9;

// Above this an uncompressed video is worth a word before it starts: it fills disks fast.
constexpr std::uint64_t kLargeUncompressedBytes = 2ULL << 30;
// The bar and the JSON lines are redrawn at most this often; the last frame always is.
constexpr auto kReportInterval = std::chrono::milliseconds(200);
// Unreadable files named one by one before the rest are left to the summary.
constexpr std::uint64_t kUnreadableMessagesShown = 100;

// What an unexpected failure was, in words, not a library's name for it.
std::string InternalErrorText(const std::exception& error)
{
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        return "not enough memory";
    }
    if (dynamic_cast<const std::length_error*>(&error) != nullptr) {
        return "a size out of range";
    }
    if (dynamic_cast<const std::out_of_range*>(&error) != nullptr) {
        return "an index out of range";
    }
    const std::string what = error.what();
    return what.empty() ? "an unexpected failure" : "an unexpected failure (" + what + ")";
}

int TerminalColumns()
{
    struct winsize size {};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// Shows the run's progress in the chosen style, in video frames, and keeps every message on a
// line of its own.
class ProgressDisplay {
public:
    explicit ProgressDisplay(ProgressStyle style) : m_style(style) {}

    void Report(const avi::RunProgress& progress)
    {
        const auto now = avi::RunClock::Clock::now();
        if (!m_clock.Started()) {
            m_clock.Start(now);
        }
        m_clock.Report(progress.FramesDone, now);
        m_last = progress;
        const bool last = progress.FramesDone >= progress.FramesTotal;
        if (m_style == ProgressStyle::None || progress.FramesDone == 0) {
            return;
        }
        m_pending = !last && now - m_shownAt < kReportInterval;
        if (!m_pending) {
            m_shownAt = now;
            Show();
        }
    }

    // Ends the bar's line so that a message gets a line of its own.
    void Break()
    {
        if (m_barShown) {
            std::fputs("\n", stderr);
            m_barShown = false;
        }
    }

    // Shows the last report if the interval held it back, and ends the line. A run through every
    // record has done all its frames, also when its last pictures were skipped without a report.
    void Finish(bool completed)
    {
        if (completed && m_last.FramesDone < m_last.FramesTotal) {
            m_last.FramesDone = m_last.FramesTotal;
            m_pending = m_style != ProgressStyle::None;
        }
        if (m_pending) {
            Show();
            m_pending = false;
        }
        Break();
    }

private:
    void Show()
    {
        const auto secondsLeft = m_clock.SecondsLeft(m_last.FramesTotal);
        if (m_style == ProgressStyle::Bar) {
            // Erases what a longer line before it left.
            std::fprintf(stderr, "\r%s\x1b[K",
                         ProgressBarText(m_last, m_clock.FramesPerSecond(), secondsLeft, TerminalColumns()).c_str());
            m_barShown = true;
        } else {
            std::fprintf(stdout, "%s\n", ProgressJson(m_last, m_clock.FramesPerSecond(), secondsLeft).c_str());
            std::fflush(stdout);
        }
    }

    ProgressStyle m_style;
    avi::RunClock m_clock;
    avi::RunProgress m_last;
    avi::RunClock::Clock::time_point m_shownAt{};
    bool m_barShown = false;
    bool m_pending = false;  // a report not shown yet
};

ProgressStyle ChooseProgressStyle(const std::optional<std::string>& asked, bool quiet)
{
    if (asked && *asked != "json") {
        Usage("--progress takes json, not '" + *asked + "'");
    }
    if (asked) {
        return ProgressStyle::Json;
    }
    return !quiet && ::isatty(STDERR_FILENO) == 1 ? ProgressStyle::Bar : ProgressStyle::None;
}

}  // namespace

int CommandRender(Arguments arguments)
{
    CatchStopSignals();
    const auto codecText = arguments.Value("--codec");
    const auto qualityText = arguments.Value("--quality");
    const auto onError = arguments.Value("--on-error");
    const auto output = arguments.Value("--output");
    const auto progressStyle = arguments.Value("--progress");
    const bool quiet = arguments.Flag("--quiet");
    const std::string path = OneProject(arguments);
    if (onError && *onError != "skip" && *onError != "stop") {
        Usage("--on-error must be skip or stop, not '" + *onError + "'");
    }
    const ProgressStyle style = ChooseProgressStyle(progressStyle, quiet);
    const bool stopOnError = onError && *onError == "stop";
    const auto& registry = avi::CodecRegistry::Default();
    const avi::CodecInfo* codec = codecText ? &ParseCodec(*codecText) : nullptr;
    std::optional<std::uint32_t> quality;
    if (qualityText) {
        const int percent = ParseNumber(*qualityText, "--quality", 0, 100);
        // Here 0 has always meant the lowest quality, not the compressor's default.
        quality = percent == 0 ? 0U : avi::QualityFromPercent(percent);
    }

    const std::string destinationGiven = output ? Absolute(*output) : std::string();
    if (output) {
        if (const auto wrongKind = avi::WrongKindOfDestination(destinationGiven)) {
            Usage(*wrongKind);
        }
    }
    ProjectHeader header;
    // What the run reads: relative paths of the records are the project folder's, wherever the
    // command was started.
    std::optional<project::RecordsWithAbsolutePaths> runRecords;
    try {
        const ProjectRecords records = OpenRecords(path);
        header = records.Header();
        const std::string folder = project::ProjectFolder(path);
        runRecords.emplace(path, folder);
        avi::ProposeSettings(header, Absolute(path), runRecords->Path());
        CheckFirstPicture(header, records, folder);
        if (output) {
            project::SetText(header.AviFileName, destinationGiven);
        }
        avi::CheckVideoSettings(header);
    } catch (const Error& error) {
        std::cerr << "kinetar-cli: " << OneLine(error.what()) << "\n";
        return kExitRenderError;
    }
    const std::string destination = project::GetText(header.AviFileName);
    // A destination stored before names were checked is refused before anything is written.
    if (const auto wrongKind = avi::WrongKindOfDestination(destination)) {
        Usage(*wrongKind + " (set one with --output)");
    }

    const avi::Container container = avi::ContainerForPath(destination);
    if (codec != nullptr && !codec->GoesInto(container)) {
        Usage("the compressor '" + *codecText +
              "' cannot go into this kind of video file (kinetar-cli codecs --container " +
              std::string(avi::ContainerName(container)) + " lists those that can)");
    }

    ProgressDisplay display(style);
    avi::EngineServices services;
    avi::RunOutcome outcome;
    services.Outcome = &outcome;
    // The chooser's answer: --codec, else the project's stored choice, else uncompressed.
    // For a kind of file that cannot carry the stored choice or uncompressed frames, the first
    // compressor it takes at the frame's depth.
    // A stored compressor this build does not have is named, not reported as an internal error.
    std::optional<std::uint32_t> unknownCompressor;
    services.ChooseCompressor = [&](project::CodecSettings& variables, const avi::FrameDIB& format) {
        const auto fits = [&](std::uint32_t fourcc) {
            const avi::CodecInfo* known = registry.Find(fourcc);
            return known != nullptr && known->GoesInto(container);
        };
        if (codec != nullptr && variables.Handler != codec->Fourcc) {
            variables = avi::MakeCodecSettings(codec->Fourcc);
        } else if (codec == nullptr && (header.CodecSettings == project::CodecSettings{} ||
                                        (container != avi::Container::Avi && !fits(variables.Handler)))) {
            const auto offered = registry.ForDepth(format.BitsPerPixel(), container);
            if (fits(avi::kUncompressedFourcc) || offered.empty()) {
                variables = avi::MakeCodecSettings(avi::kUncompressedFourcc);
            } else {
                variables = avi::MakeCodecSettings(offered.front()->Fourcc);
            }
        }
        if (quality) {
            variables.Quality = *quality;
        }
        if (registry.Find(variables.Handler) == nullptr) {
            unknownCompressor = variables.Handler;
        }
        const std::uint64_t bytes =
            static_cast<std::uint64_t>(format.ImageSize()) * static_cast<std::uint64_t>(outcome.VideoFrames);
        if (variables.Handler == avi::kUncompressedFourcc && bytes > kLargeUncompressedBytes && !quiet) {
            display.Break();
            std::array<char, 32> size{};
            std::snprintf(size.data(), size.size(), "%.1f", static_cast<double>(bytes) / 1e9);
            std::cerr << "kinetar-cli: the uncompressed video will take about " << size.data()
                      << " GB; --codec MJPG makes it many times smaller\n";
        }
        return true;
    };
    std::uint64_t messagesShown = 0;
    services.AskFrameError = [&](const avi::UnreadableFile& file) {
        // A run of unreadable pictures makes no progress reports; a stop asked meanwhile ends it here.
        if (g_interrupted != 0) {
            return avi::FrameErrorAnswer::No;
        }
        // Each named as it comes up to a point; a project of a million unreadable pictures leaves the
        // rest to the closing summary rather than flood the terminal.
        if (messagesShown < kUnreadableMessagesShown) {
            display.Break();
            std::cerr << "kinetar-cli: " << OneLine(NamedMessage(file.Message, file.Path)) << "\n";
        } else if (messagesShown == kUnreadableMessagesShown) {
            display.Break();
            std::cerr << "kinetar-cli: more files cannot be read; the summary at the end counts them\n";
        }
        ++messagesShown;
        return stopOnError ? avi::FrameErrorAnswer::No : avi::FrameErrorAnswer::Yes;
    };
    const auto progress = [&](const avi::RunProgress& report) {
        display.Report(report);
        return g_interrupted == 0;
    };

    // The last line of a JSON run; the other styles have said it all on the terminal already.
    const auto end = [&](const std::string& outcomeName, int status, const std::string& message) {
        if (style == ProgressStyle::Json) {
            std::cout << RunEndJson({.Outcome = outcomeName,
                                     .Status = status,
                                     .Output = outcome.DestinationReplaced ? std::optional(destination) : std::nullopt,
                                     .FramesWritten = outcome.FramesWritten,
                                     .Message = message,
                                     .LeftOut = outcome.LeftOut})
                      << "\n";
        }
        return status;
    };

    bool settingsChanged = false;
    std::uint8_t result = 0;
    try {
        avi::CreateAVI(header, runRecords->Path(), settingsChanged, progress, result, services);
    } catch (const Error& error) {
        display.Break();
        const std::string message = OneLine(error.what());
        std::cerr << "kinetar-cli: " << message << "\n";
        return end("failed", kExitRenderError, message);
    } catch (const std::exception& error) {
        // A fault of ours or the machine's mid-run: the engine has dropped the new file, so an
        // earlier video stays whole.
        display.Break();
        const std::string left = std::filesystem::exists(destination) ? Printable(destination) + " was left as it was"
                                                                      : "no video was written";
        const std::string message = "internal error: " + InternalErrorText(error) + " at frame " +
                                    std::to_string(outcome.FramesWritten) + " of " +
                                    std::to_string(outcome.VideoFrames) + "; " + left;
        std::cerr << "kinetar-cli: " << message << "\n";
        return end("internal-error", kExitInternalError, message);
    }
    display.Finish(result == avi::kResultDone);
    std::string message = ResultText(result, outcome, destination, container);
    if (result == avi::kResultCannotMakeCompressor && unknownCompressor) {
        // Refused as the compressor refusals are, with what is missing.
        result = avi::kResultFormatRefused;
        message = "the project asks for compressor " + Printable(avi::FourccText(*unknownCompressor)) +
                  ", which this build does not have (kinetar-cli codecs lists those it has)";
    }
    if (!message.empty() && (result != avi::kResultStopped || !quiet)) {
        std::cerr << "kinetar-cli: " << message << "\n";
    }
    if (const std::string summary = LeftOutSummary(outcome.LeftOut); !summary.empty()) {
        std::cerr << "kinetar-cli: " << summary << "\n";
    }
    const bool written = result == avi::kResultDone || (result == avi::kResultStopped && outcome.DestinationReplaced);
    if (written && !quiet && style != ProgressStyle::Json) {
        std::cout << Printable(destination) << "\n";
    }
    const char* outcomeName = result == avi::kResultDone      ? "done"
                              : result == avi::kResultStopped ? "stopped"
                                                              : "failed";
    return end(outcomeName, result, message);
}

}  // namespace kinetar::cli
