// kinetar-cli: edits projects and generates their videos from the command line.

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "avi/audio/SoundFile.h"
#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/AviEngine.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "avi/writer/FourCC.h"
#include "cli/CliProject.h"
#include "common/Error.h"
#include "project/PictureOrder.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace {

using namespace kinetar;
using project::FitMode;
using project::FrameRecord;
using project::ProjectHeader;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// render: the run could not start (unreadable project, settings out of range).
constexpr int kExitRenderError = 8;

const char* const kUsage =
    "Usage: kinetar-cli new PROJECT.AVIprj [--force]\n"
    "       kinetar-cli set PROJECT [--size WxH] [--fps N|N/D|DECIMAL] [--depth 1|4|8|24] [--output FILE] [--play "
    "yes|no]\n"
    "                               [--background RRGGBB] [--smooth yes|no]\n"
    "       kinetar-cli add PROJECT [--sort name|start|end] [--no-stretch] [--fit "
    "stretch|top-left|letterbox|crop|centre]\n"
    "                               [--duration SECONDS] [--crossfade SECONDS] PICTURE|SOUND...\n"
    "       kinetar-cli frame PROJECT INDEX|all [--fit MODE] [--duration SECONDS] [--crossfade SECONDS]\n"
    "       kinetar-cli info PROJECT [--json]\n"
    "       kinetar-cli codecs [--depth BITS] [--container avi|mp4|mkv|webm]\n"
    "       kinetar-cli render PROJECT [--codec FOURCC] [--quality PERCENT] [--on-error skip|stop] [--output FILE] "
    "[--quiet]\n";

const char* const kHelp =
    "Turns an ordered list of still pictures (BMP, PCX, TGA, GIF, JPEG, PNG, WebP, HEIC, AVIF) into an AVI\n"
    "video, or an MP4, Matroska or WebM video when the output's name ends in .mp4 (.m4v, .mov), .mkv or\n"
    ".webm.\n"
    "\n"
    "  new     creates a project with the defaults of the New command (24 bits, 8 frames per second)\n"
    "  set     changes the video settings of a project; --fps takes 25, 29.97, 12.5 or 30000/1001,\n"
    "          --background the colour around fitted pictures, --smooth a smooth scaling filter\n"
    "  add     appends pictures as frames (stretched unless --fit or --no-stretch), sorted by name or number;\n"
    "          a sound file (MP3, M4A, OGG, Opus, FLAC, WAV...) becomes a sound record, which takes no time:\n"
    "          its sound starts where the next picture starts, or when the sound before it ends\n"
    "  frame   changes the fit, duration or crossfade of the frame at INDEX (from 0) or of all frames\n"
    "          (sound records are left as they are)\n"
    "  info    shows the settings and the video's length, then one line per frame: index, fit, path,\n"
    "          and its duration and crossfade when set (\"sound\" in place of the fit for a sound);\n"
    "          --json prints all of it as JSON, with each sound's cue frame and start in seconds\n"
    "  codecs  lists the compressors: fourcc, a tab, the name; --container those that kind of file\n"
    "          takes (avi when not given)\n"
    "  render  generates the video; the exit status is the result code\n"
    "          (0 done, 1 codec library mismatch, 2 cannot open the file, 3 cannot create the stream,\n"
    "          4 stopped, 5 cannot make the compressor, 6 compressor refuses the format, 7 write failed,\n"
    "          8 the run could not start)\n"
    "\n"
    "A fit MODE is stretch, top-left (--no-stretch), letterbox, crop or centre. SECONDS are decimal\n"
    "seconds (3, 0.5, 2.002) up to a day; a duration of 0 shows the picture for one frame, a crossfade\n"
    "of 0 cuts to it.\n"
    "\n"
    "Options: --help, --version. Bad usage exits with 2.\n";

struct UsageError {
    std::string message;
};

[[noreturn]] void Usage(const std::string& message)
{
    throw UsageError{message};
}

// The command's arguments: options with their values, and the rest in order.
class Arguments {
public:
    Arguments(int argc, char** argv, int first)
    {
        for (int i = first; i < argc; ++i) {
            m_items.emplace_back(argv[i]);
        }
    }
    // Takes "--name VALUE" (or "--name=VALUE") out of the list.
    std::optional<std::string> Value(const std::string& name)
    {
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i] == name) {
                if (i + 1 >= m_items.size()) {
                    Usage(name + " needs a value");
                }
                std::string value = m_items[i + 1];
                m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i),
                              m_items.begin() + static_cast<std::ptrdiff_t>(i) + 2);
                return value;
            }
            if (m_items[i].rfind(name + "=", 0) == 0) {
                std::string value = m_items[i].substr(name.size() + 1);
                m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
                return value;
            }
        }
        return std::nullopt;
    }
    bool Flag(const std::string& name)
    {
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i] == name) {
                m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }
    // What is left: no unknown options allowed ("--" ends the options). A negative number is left
    // for the command to refuse with its own reason.
    std::vector<std::string> Rest()
    {
        std::vector<std::string> rest;
        bool optionsEnded = false;
        for (const auto& item : m_items) {
            if (!optionsEnded && item == "--") {
                optionsEnded = true;
            } else if (!optionsEnded && item.size() > 1 && item[0] == '-' &&
                       !std::isdigit(static_cast<unsigned char>(item[1]))) {
                Usage("unknown option " + item);
            } else {
                rest.push_back(item);
            }
        }
        return rest;
    }

private:
    std::vector<std::string> m_items;
};

std::string OneProject(Arguments& arguments)
{
    auto rest = arguments.Rest();
    if (rest.size() != 1) {
        Usage(rest.empty() ? "a project file is needed" : "unexpected argument " + rest[1]);
    }
    return rest[0];
}

std::string Absolute(const std::string& path)
{
    return std::filesystem::absolute(path).lexically_normal().string();
}

std::int32_t ParseNumber(const std::string& text, const std::string& what, std::int64_t low, std::int64_t high)
{
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || text.empty() || value < low || value > high) {
        Usage(what + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", not '" +
              text + "'");
    }
    return static_cast<std::int32_t>(value);
}

// 1, 4, 8 or 24 bits per pixel.
int ParseDepth(const std::string& text)
{
    const std::int32_t bits = ParseNumber(text, "--depth", 1, 24);
    if (!project::ColorDepthCode(bits)) {
        Usage("--depth must be 1, 4, 8 or 24, not '" + text + "'");
    }
    return bits;
}

std::uint32_t ParseSecondsOption(const std::string& text, const std::string& name)
{
    const auto milliseconds = project::ParseSeconds(text);
    if (!milliseconds) {
        Usage(name + " must be seconds from 0 to " + project::FormatSeconds(project::kMaxMilliseconds) +
              " (such as 3, 0.5 or 2.002), not '" + text + "'");
    }
    return *milliseconds;
}

FitMode ParseFit(const std::string& text)
{
    const auto mode = project::FitModeFromName(text);
    if (!mode) {
        Usage("--fit must be stretch, top-left, letterbox, crop or centre, not '" + text + "'");
    }
    return *mode;
}

bool ParseYesNo(const std::string& text, const std::string& name)
{
    if (text != "yes" && text != "no") {
        Usage(name + " must be yes or no, not '" + text + "'");
    }
    return text == "yes";
}

// RRGGBB, six hex digits, with or without a leading "#".
std::array<std::uint8_t, 3> ParseColour(const std::string& text)
{
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        Usage("--background must be six hex digits RRGGBB, not '" + text + "'");
    }
    std::array<std::uint8_t, 3> colour{};
    for (std::size_t i = 0; i < colour.size(); ++i) {
        colour[i] = static_cast<std::uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    }
    return colour;
}

// The slideshow settings of frames that add and frame take; each only when given.
struct FrameOptions {
    std::optional<FitMode> Fit;
    std::optional<std::uint32_t> Duration;
    std::optional<std::uint32_t> Crossfade;

    bool Any() const { return Fit || Duration || Crossfade; }
    void ApplyTo(FrameRecord& record) const
    {
        if (Fit) {
            project::SetFit(record, *Fit);
        }
        if (Duration) {
            record.Duration = *Duration;
        }
        if (Crossfade) {
            record.Crossfade = *Crossfade;
        }
    }
};

FrameOptions TakeFrameOptions(Arguments& arguments)
{
    FrameOptions options;
    if (const auto fit = arguments.Value("--fit")) {
        options.Fit = ParseFit(*fit);
    }
    if (const auto duration = arguments.Value("--duration")) {
        options.Duration = ParseSecondsOption(*duration, "--duration");
    }
    if (const auto crossfade = arguments.Value("--crossfade")) {
        options.Crossfade = ParseSecondsOption(*crossfade, "--crossfade");
    }
    return options;
}

int CommandNew(Arguments arguments)
{
    const bool force = arguments.Flag("--force");
    const std::string path = OneProject(arguments);
    if (!force && std::filesystem::exists(path)) {
        throw Error(path + " already exists; use --force to replace it");
    }
    project::ReplaceProjectFile(path, project::NewProjectHeader(), {});
    return 0;
}

int CommandSet(Arguments arguments)
{
    const auto size = arguments.Value("--size");
    const auto fps = arguments.Value("--fps");
    const auto depth = arguments.Value("--depth");
    const auto output = arguments.Value("--output");
    const auto play = arguments.Value("--play");
    const auto background = arguments.Value("--background");
    const auto smooth = arguments.Value("--smooth");
    const std::string path = OneProject(arguments);

    std::vector<FrameRecord> records;
    ProjectHeader header = project::ReadProject(path, &records);
    if (size) {
        const auto cross = size->find_first_of("xX");
        if (cross == std::string::npos) {
            Usage("--size must be WIDTHxHEIGHT, not '" + *size + "'");
        }
        header.Width = ParseNumber(size->substr(0, cross), "The width", avi::kMinVideoSide, avi::kMaxVideoSide);
        header.Height = ParseNumber(size->substr(cross + 1), "The height", avi::kMinVideoSide, avi::kMaxVideoSide);
    }
    if (fps) {
        const auto rate = project::ParseFrameRate(*fps);
        if (!rate) {
            Usage("--fps must be a positive rate such as 25, 29.97, 12.5 or 30000/1001, not '" + *fps + "'");
        }
        // A whole rate keeps the bytes of a project without fractional rates: denominator 0.
        project::SetFrameRate(header, *rate);
    }
    if (depth) {
        header.ColorDepth = *project::ColorDepthCode(ParseDepth(*depth));
    }
    if (output) {
        project::SetText(header.AviFileName, Absolute(*output));
    }
    if (play) {
        header.PlayAfterCreate = ParseYesNo(*play, "--play") ? 1 : 0;
    }
    if (background) {
        header.Background = ParseColour(*background);
    }
    if (smooth) {
        header.SmoothScaling = ParseYesNo(*smooth, "--smooth") ? 1 : 0;
    }
    project::ReplaceProjectFile(path, header, records);
    return 0;
}

int CommandAdd(Arguments arguments)
{
    const auto sort = arguments.Value("--sort");
    FrameOptions options = TakeFrameOptions(arguments);
    if (arguments.Flag("--no-stretch")) {
        if (options.Fit && *options.Fit != FitMode::TopLeft) {
            Usage("--no-stretch means --fit top-left; it cannot go with --fit " +
                  std::string(project::FitModeName(*options.Fit)));
        }
        options.Fit = FitMode::TopLeft;
    }
    auto rest = arguments.Rest();
    if (rest.size() < 2) {
        Usage("a project file and at least one picture are needed");
    }
    const std::string path = rest[0];
    project::SortMode mode = project::SortMode::Name;
    if (sort) {
        if (*sort == "start") {
            mode = project::SortMode::NumberAtStart;
        } else if (*sort == "end") {
            mode = project::SortMode::NumberAtEnd;
        } else if (*sort != "name") {
            Usage("--sort must be name, start or end, not '" + *sort + "'");
        }
    }
    std::vector<std::string> pictures;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string picture = Absolute(rest[i]);
        if (picture.size() > project::kMaxTextLength) {
            throw Error("The picture path is longer than " + std::to_string(project::kMaxTextLength) +
                        " bytes; nothing was added: " + picture);
        }
        if (!std::filesystem::exists(picture) || std::filesystem::is_directory(picture)) {
            throw Error("No such picture file; nothing was added: " + picture);
        }
        pictures.push_back(picture);
    }
    std::vector<FrameRecord> records;
    const ProjectHeader header = project::ReadProject(path, &records);
    for (const auto& picture : project::SortPictures(pictures, mode, cli::AsciiCaseLess)) {
        FrameRecord record = avi::NewRecordFor(picture);
        // A sound takes no time and fills no frame: the picture options are not for it.
        if (!project::IsSoundRecord(record)) {
            options.ApplyTo(record);
        }
        records.push_back(record);
    }
    project::ReplaceProjectFile(path, header, records);
    return 0;
}

int CommandFrame(Arguments arguments)
{
    const FrameOptions options = TakeFrameOptions(arguments);
    const auto rest = arguments.Rest();
    if (rest.size() != 2) {
        Usage(rest.size() < 2 ? "a project file and a frame index (or all) are needed"
                              : "unexpected argument " + rest[2]);
    }
    if (!options.Any()) {
        Usage("frame needs --fit, --duration or --crossfade");
    }
    const std::string& path = rest[0];
    const std::string& which = rest[1];
    const bool all = which == "all";
    if (!all && (which.empty() || which.size() > 10 || which.find_first_not_of("0123456789") != std::string::npos)) {
        Usage("the frame must be an index from 0 or all, not '" + which + "'");
    }
    std::vector<FrameRecord> records;
    const ProjectHeader header = project::ReadProject(path, &records);
    std::size_t first = 0;
    std::size_t end = records.size();
    if (!all) {
        first = std::stoull(which);
        if (first >= records.size()) {
            Usage("there is no frame " + std::to_string(first) + ": the project has " + std::to_string(records.size()) +
                  (records.size() == 1 ? " frame" : " frames") + ", numbered from 0");
        }
        end = first + 1;
        if (project::IsSoundRecord(records[first])) {
            Usage("frame " + std::to_string(first) + " is a sound, which has no fit, duration or crossfade");
        }
    }
    bool changed = false;
    for (std::size_t i = first; i < end; ++i) {
        if (project::IsSoundRecord(records[i])) {
            continue;
        }
        FrameRecord record = records[i];
        options.ApplyTo(record);
        changed = changed || std::memcmp(&record, &records[i], sizeof(FrameRecord)) != 0;
        records[i] = record;
    }
    if (changed) {
        project::ReplaceProjectFile(path, header, records);
    }
    return 0;
}

int CommandInfo(Arguments arguments)
{
    const bool json = arguments.Flag("--json");
    const std::string path = OneProject(arguments);
    std::cout << (json ? cli::DescribeProjectJson(path) : cli::DescribeProject(path));
    return 0;
}

int CommandCodecs(Arguments arguments)
{
    const auto depth = arguments.Value("--depth");
    const auto containerName = arguments.Value("--container");
    if (!arguments.Rest().empty()) {
        Usage("codecs takes no arguments");
    }
    int bits = 0;
    if (depth) {
        bits = ParseDepth(*depth);
    }
    avi::Container container = avi::Container::Avi;
    if (containerName) {
        const auto named = avi::ContainerFromName(*containerName);
        if (!named) {
            Usage("--container must be avi, mp4, mkv or webm, not '" + *containerName + "'");
        }
        container = *named;
    }
    const auto& registry = avi::CodecRegistry::Default();
    for (const auto& codec : registry.All()) {
        if ((bits == 0 || codec.Takes(bits)) && codec.GoesInto(container)) {
            std::cout << avi::FourccText(codec.Fourcc) << "\t" << codec.Name << "\n";
        }
    }
    return 0;
}

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
}

// A message for the terminal: its line breaks as the terminal's.
std::string TerminalText(std::string text)
{
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

// The progress line on a terminal: percent, frame i of N, frames per second, time left.
class ProgressBar {
public:
    ProgressBar(bool shown, std::int32_t frames) : m_shown(shown), m_frames(frames) {}
    void Frame(std::int32_t done)
    {
        if (!m_shown) {
            return;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const double rate = seconds > 0 ? done / seconds : 0;
        const int percent = m_frames > 0 ? static_cast<int>(100.0 * done / m_frames) : 100;
        const int filled = percent / 5;
        const double left = rate > 0 ? (m_frames - done) / rate : 0;
        std::fprintf(stderr, "\r%3d%% [%s%s] frame %d of %d, %.1f fps, %d:%02d left ", percent,
                     std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(20 - filled), '-').c_str(), done, m_frames, rate,
                     static_cast<int>(left) / 60, static_cast<int>(left) % 60);
        m_dirty = true;
    }
    // Ends the progress line so that a message gets a line of its own.
    void Break()
    {
        if (m_dirty) {
            std::fputc('\n', stderr);
            m_dirty = false;
        }
    }

private:
    bool m_shown;
    std::int32_t m_frames;
    bool m_dirty = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

int CommandRender(Arguments arguments)
{
    const auto codecText = arguments.Value("--codec");
    const auto qualityText = arguments.Value("--quality");
    const auto onError = arguments.Value("--on-error");
    const auto output = arguments.Value("--output");
    const bool quiet = arguments.Flag("--quiet");
    const std::string path = OneProject(arguments);
    if (onError && *onError != "skip" && *onError != "stop") {
        Usage("--on-error must be skip or stop, not '" + *onError + "'");
    }
    const bool stopOnError = onError && *onError == "stop";
    const auto& registry = avi::CodecRegistry::Default();
    const avi::CodecInfo* codec = nullptr;
    if (codecText) {
        std::string trimmed = *codecText;
        while (!trimmed.empty() && trimmed.back() == ' ') {
            trimmed.pop_back();
        }
        codec = registry.FindByText(trimmed);
        if (codec == nullptr) {
            Usage("unknown compressor '" + *codecText + "' (kinetar-cli codecs lists them)");
        }
    }
    std::optional<std::uint32_t> quality;
    if (qualityText) {
        quality = static_cast<std::uint32_t>(ParseNumber(*qualityText, "--quality", 0, 100)) * 100U;
    }

    ProjectHeader header;
    try {
        header = project::ReadProject(path, nullptr);
        avi::ProposeSettings(header, Absolute(path), path);
        if (output) {
            project::SetText(header.AviFileName, Absolute(*output));
        }
        avi::CheckVideoSettings(header);
    } catch (const Error& error) {
        std::cerr << "kinetar-cli: " << error.what() << "\n";
        return kExitRenderError;
    }

    const avi::Container container = avi::ContainerForPath(project::GetText(header.AviFileName));
    if (codec != nullptr && !codec->GoesInto(container)) {
        Usage("the compressor '" + *codecText +
              "' cannot go into this kind of video file (kinetar-cli codecs --container " +
              std::string(avi::ContainerName(container)) + " lists those that can)");
    }

    // The bar counts pictures: a sound record brings no report of its own.
    std::vector<FrameRecord> records;
    (void)project::ReadProject(path, &records);
    const auto frames = static_cast<std::int32_t>(
        std::count_if(records.begin(), records.end(), [](const FrameRecord& r) { return !project::IsSoundRecord(r); }));
    ProgressBar bar(!quiet && ::isatty(STDERR_FILENO) == 1, frames);
    std::int32_t processed = 0;
    bool firstReport = true;

    avi::EngineServices services;
    // The chooser's answer: --codec, else the project's stored choice, else uncompressed.
    // For a kind of file that cannot carry the stored choice or uncompressed frames, the first
    // compressor it takes at the frame's depth.
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
        return true;
    };
    services.AskFrameError = [&](const std::string& message) {
        ++processed;
        bar.Break();
        std::cerr << message << "\n";
        return stopOnError ? avi::FrameErrorAnswer::No : avi::FrameErrorAnswer::Yes;
    };
    const auto progress = [&](int) {
        if (firstReport) {
            firstReport = false;
        } else {
            bar.Frame(++processed);
        }
        return g_interrupted == 0;
    };

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    // Reading a picture goes on undisturbed; the run stops at its next progress report.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    bool settingsChanged = false;
    std::uint8_t result = 0;
    try {
        avi::CreateAVI(header, path, settingsChanged, progress, result, services);
    } catch (const Error& error) {
        bar.Break();
        std::cerr << "kinetar-cli: " << error.what() << "\n";
        return kExitRenderError;
    }
    bar.Break();
    const std::string message = TerminalText(avi::ResultMessage(static_cast<avi::ResultCode>(result)));
    if (!message.empty()) {
        std::cerr << "kinetar-cli: " << message << "\n";
    } else if (result == avi::kResultStopped && !quiet) {
        std::cerr << "kinetar-cli: stopped; the video holds the frames written so far\n";
    }
    if ((result == avi::kResultDone || result == avi::kResultStopped) && !quiet) {
        std::cout << project::GetText(header.AviFileName) << "\n";
    }
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    // A run allocates and frees a picture and a converted frame for every frame. Keeping freed
    // blocks in the heap spares the kernel mapping and zeroing them anew each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    if (argc < 2) {
        std::cerr << "kinetar-cli: a command is needed\n" << kUsage;
        return kExitUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage << "\n" << kHelp;
        return 0;
    }
    if (command == "--version") {
        std::cout << "kinetar-cli " << KINETAR_VERSION << "\n";
        return 0;
    }
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--help") {
            std::cout << kUsage << "\n" << kHelp;
            return 0;
        }
    }
    try {
        Arguments arguments(argc, argv, 2);
        if (command == "new") {
            return CommandNew(std::move(arguments));
        }
        if (command == "set") {
            return CommandSet(std::move(arguments));
        }
        if (command == "add") {
            return CommandAdd(std::move(arguments));
        }
        if (command == "frame") {
            return CommandFrame(std::move(arguments));
        }
        if (command == "info") {
            return CommandInfo(std::move(arguments));
        }
        if (command == "codecs") {
            return CommandCodecs(std::move(arguments));
        }
        if (command == "render") {
            return CommandRender(std::move(arguments));
        }
        Usage("unknown command " + command);
    } catch (const UsageError& error) {
        std::cerr << "kinetar-cli: " << error.message << "\n" << kUsage;
        return kExitUsage;
    } catch (const std::exception& error) {
        std::cerr << "kinetar-cli: " << error.what() << "\n";
        return kExitFailure;
    }
}
