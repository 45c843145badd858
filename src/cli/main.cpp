// kinetar-cli: edits projects and generates their videos from the command line.

#include <malloc.h>
#include <sys/stat.h>
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
#include <fstream>
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
#include "pictures/LoadPicture.h"
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
    "                               [--background RRGGBB] [--smooth yes|no] [--codec FOURCC] [--quality "
    "PERCENT|default]\n"
    "       kinetar-cli add PROJECT [--sort name|start|end] [--no-stretch] [--fit "
    "stretch|top-left|letterbox|crop|centre]\n"
    "                               [--duration SECONDS] [--crossfade SECONDS] [--from FILE|-] PICTURE|SOUND...\n"
    "       kinetar-cli frame PROJECT INDEX|all [--fit MODE] [--duration SECONDS] [--crossfade SECONDS]\n"
    "       kinetar-cli remove PROJECT INDEX...\n"
    "       kinetar-cli move PROJECT FROM TO\n"
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
    "          --background the colour around fitted pictures, --smooth a smooth scaling filter,\n"
    "          --codec and --quality the compressor a generation starts from (as its chooser keeps it)\n"
    "  add     appends pictures as frames (stretched unless --fit or --no-stretch), sorted by name or number;\n"
    "          a sound file (MP3, M4A, OGG, Opus, FLAC, WAV...) becomes a sound record, which takes no time:\n"
    "          its sound starts where the next picture starts, or when the sound before it ends;\n"
    "          --from FILE adds the paths listed in FILE, one a line (- reads them from standard input)\n"
    "  frame   changes the fit, duration or crossfade of the frame at INDEX (from 0) or of all frames\n"
    "          (sound records are left as they are)\n"
    "  remove  removes the frames at the INDEXes (as info numbers them)\n"
    "  move    moves the frame at FROM so that it becomes the frame at TO\n"
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
    "Short options: -o --output, -q --quiet, -f --force, -c --codec, -h --help.\n"
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
        bool optionsEnded = false;
        for (int i = first; i < argc; ++i) {
            std::string item = argv[i];
            optionsEnded = optionsEnded || item == "--";
            m_items.push_back(optionsEnded ? item : LongOption(item));
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
    static std::string LongOption(const std::string& item)
    {
        static const std::array<std::pair<const char*, const char*>, 4> shortOptions{
            {{"-o", "--output"}, {"-q", "--quiet"}, {"-f", "--force"}, {"-c", "--codec"}}};
        for (const auto& [shortName, longName] : shortOptions) {
            if (item == shortName) {
                return longName;
            }
        }
        return item;
    }

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

// A message on one line, so that each starts with the program's name.
std::string OneLine(std::string text)
{
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.replace(at, 2, " ");
    }
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string Absolute(const std::string& path)
{
    if (path.empty()) {
        Usage("a file name cannot be empty");
    }
    return std::filesystem::absolute(path).lexically_normal().string();
}

// What a file that is not a regular one is, for the message refusing it.
std::string FileKind(mode_t mode)
{
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return S_ISSOCK(mode) ? "a socket" : "not a file";
}

// Projects and pictures are read only from regular files: a FIFO waits for a writer, a device
// never ends. A missing file is left for the reader to report.
void RequireRegularFile(const std::string& path, const std::string& consequence = {})
{
    if (path.empty()) {
        Usage("a file name cannot be empty");
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        throw Error(path + " is not a regular file (" + FileKind(status.st_mode) + ")" + consequence);
    }
}

std::vector<FrameRecord> ReadRecords(const std::string& path, ProjectHeader& header)
{
    RequireRegularFile(path);
    std::vector<FrameRecord> records;
    header = project::ReadProject(path, &records);
    return records;
}

// Replaces the project file with the signals that end a run held back, so that an interrupted
// edit leaves either the old file or the new one and no temporary beside them.
void SaveProject(const std::string& path, const ProjectHeader& header, const std::vector<FrameRecord>& records)
{
    sigset_t held;
    sigset_t previous;
    sigemptyset(&held);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &previous);
    try {
        project::ReplaceProjectFile(path, header, records);
    } catch (...) {
        sigprocmask(SIG_SETMASK, &previous, nullptr);
        throw;
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// A frame index as info shows it: from 0, below count.
std::size_t ParseIndex(const std::string& text, std::size_t count)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        Usage("a frame index is a whole number from 0, not '" + text + "'");
    }
    // Past ten digits it is past any project's last frame.
    const auto index = text.size() > 10 ? count : static_cast<std::size_t>(std::stoull(text));
    if (index >= count) {
        Usage("there is no frame " + text + ": the project has " + std::to_string(count) +
              (count == 1 ? " frame" : " frames") + ", numbered from 0");
    }
    return index;
}

// A compressor by its fourcc as codecs lists it: case does not matter, trailing blanks are optional.
const avi::CodecInfo& ParseCodec(const std::string& text)
{
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == ' ') {
        trimmed.pop_back();
    }
    const avi::CodecInfo* codec = avi::CodecRegistry::Default().FindByText(trimmed);
    if (codec == nullptr) {
        Usage("unknown compressor '" + text + "' (kinetar-cli codecs lists them)");
    }
    return *codec;
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
    RequireRegularFile(path);
    SaveProject(path, project::NewProjectHeader(), {});
    return 0;
}

// The compressor choice as the window's chooser stores it: the previous choice kept whole when the
// same compressor is chosen again, a fresh one otherwise; the quality in hundredths of a percent,
// or the compressor's own default. --quality alone changes the stored compressor's quality.
project::CodecSettings ChooseCodec(const ProjectHeader& header, const std::optional<std::string>& codecText,
                                   const std::optional<std::string>& qualityText)
{
    project::CodecSettings previous = header.CodecSettings;
    const bool chosenBefore = previous != project::CodecSettings{};
    previous.StructSize = 64;
    previous.Flags = avi::kCodecSettingsValid;
    const avi::CodecInfo* codec = nullptr;
    if (codecText) {
        codec = &ParseCodec(*codecText);
    } else if (chosenBefore) {
        codec = avi::CodecRegistry::Default().Find(previous.Handler);
    }
    if (codec == nullptr) {
        Usage("--quality needs a compressor: give --codec FOURCC");
    }
    const std::string name = avi::FourccText(codec->Fourcc);
    const int bits = project::ColorDepthBits(header);
    const avi::Container container = avi::ContainerForPath(project::GetText(header.AviFileName));
    if (!codec->Takes(bits, container)) {
        Usage("the compressor '" + name + "' does not take " + std::to_string(bits) +
              "-bit frames (kinetar-cli codecs --depth " + std::to_string(bits) + " lists those that do)");
    }
    const bool same = chosenBefore && codec->Fourcc == previous.Handler;
    project::CodecSettings choice = same ? previous : avi::MakeCodecSettings(codec->Fourcc);
    if (qualityText && !codec->HasQuality) {
        Usage("the compressor '" + name + "' has no quality setting");
    }
    if (!codec->HasQuality) {
        return choice;
    }
    std::uint32_t percent = 0;  // the compressor's default
    if (qualityText && *qualityText != "default") {
        if (qualityText->empty() || qualityText->find_first_not_of("0123456789") != std::string::npos ||
            qualityText->size() > 3 || std::stoul(*qualityText) < 1 || std::stoul(*qualityText) > 100) {
            Usage("--quality must be a whole number from 1 to 100 or default, not '" + *qualityText + "'");
        }
        percent = static_cast<std::uint32_t>(std::stoul(*qualityText));
    } else if (!qualityText && same && previous.Quality <= avi::kQualityMax) {
        percent = std::clamp((previous.Quality + 50U) / 100U, 1U, 100U);
    }
    choice.Quality = percent == 0 ? avi::kQualityDefault : percent * 100U;
    return choice;
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
    const auto codecText = arguments.Value("--codec");
    const auto qualityText = arguments.Value("--quality");
    const std::string path = OneProject(arguments);

    ProjectHeader header;
    const std::vector<FrameRecord> records = ReadRecords(path, header);
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
        const std::string destination = Absolute(*output);
        if (destination.size() > project::kMaxTextLength) {
            Usage("--output is longer than " + std::to_string(project::kMaxTextLength) + " bytes: " + destination);
        }
        if (std::filesystem::is_directory(destination)) {
            Usage("--output names a folder, not a video file: " + destination);
        }
        project::SetText(header.AviFileName, destination);
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
    if (codecText || qualityText) {
        header.CodecSettings = ChooseCodec(header, codecText, qualityText);
    }
    SaveProject(path, header, records);
    return 0;
}

// The paths listed in a file, one a line ("-": standard input); blank lines are skipped and a
// line's closing carriage return dropped.
void ReadPathList(const std::string& listPath, std::vector<std::string>& paths)
{
    std::ifstream file;
    if (listPath != "-") {
        file.open(listPath);
        if (!file) {
            throw Error("Can't read the list of pictures " + listPath + ": " + std::strerror(errno) +
                        "; nothing was added");
        }
    }
    std::istream& list = listPath == "-" ? std::cin : file;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            paths.push_back(line);
        }
    }
    if (list.bad()) {
        throw Error("Can't read the list of pictures " + listPath + "; nothing was added");
    }
}

int CommandAdd(Arguments arguments)
{
    const auto sort = arguments.Value("--sort");
    const auto from = arguments.Value("--from");
    FrameOptions options = TakeFrameOptions(arguments);
    if (arguments.Flag("--no-stretch")) {
        if (options.Fit && *options.Fit != FitMode::TopLeft) {
            Usage("--no-stretch means --fit top-left; it cannot go with --fit " +
                  std::string(project::FitModeName(*options.Fit)));
        }
        options.Fit = FitMode::TopLeft;
    }
    auto rest = arguments.Rest();
    if (rest.empty() || (rest.size() < 2 && !from)) {
        Usage("a project file and at least one picture (or --from FILE) are needed");
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
    std::vector<std::string> listed(rest.begin() + 1, rest.end());
    if (from) {
        ReadPathList(*from, listed);
    }
    std::vector<std::string> pictures;
    pictures.reserve(listed.size());
    for (const std::string& name : listed) {
        const std::string picture = Absolute(name);
        if (picture.size() > project::kMaxTextLength) {
            throw Error("The picture path is longer than " + std::to_string(project::kMaxTextLength) +
                        " bytes; nothing was added: " + picture);
        }
        if (!std::filesystem::exists(picture)) {
            throw Error("No such picture file; nothing was added: " + picture);
        }
        RequireRegularFile(picture, "; nothing was added");
        pictures.push_back(picture);
    }
    ProjectHeader header;
    std::vector<FrameRecord> records = ReadRecords(path, header);
    records.reserve(records.size() + pictures.size());
    for (const auto& picture : project::SortPictures(pictures, mode, cli::AsciiCaseLess)) {
        FrameRecord record = avi::NewRecordFor(picture);
        // A sound takes no time and fills no frame: the picture options are not for it.
        if (!project::IsSoundRecord(record)) {
            options.ApplyTo(record);
        }
        records.push_back(record);
    }
    SaveProject(path, header, records);
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
    if (!all && (which.empty() || which.find_first_not_of("0123456789") != std::string::npos)) {
        Usage("the frame must be an index from 0 or all, not '" + which + "'");
    }
    ProjectHeader header;
    std::vector<FrameRecord> records = ReadRecords(path, header);
    std::size_t first = 0;
    std::size_t end = records.size();
    if (!all) {
        first = ParseIndex(which, records.size());
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
        SaveProject(path, header, records);
    }
    return 0;
}

int CommandRemove(Arguments arguments)
{
    const auto rest = arguments.Rest();
    if (rest.size() < 2) {
        Usage("a project file and at least one frame index are needed");
    }
    ProjectHeader header;
    std::vector<FrameRecord> records = ReadRecords(rest[0], header);
    // Every index is checked before anything is removed; one given twice is removed once.
    std::vector<bool> removed(records.size(), false);
    for (std::size_t i = 1; i < rest.size(); ++i) {
        removed[ParseIndex(rest[i], records.size())] = true;
    }
    std::vector<FrameRecord> kept;
    kept.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!removed[i]) {
            kept.push_back(records[i]);
        }
    }
    SaveProject(rest[0], header, kept);
    return 0;
}

int CommandMove(Arguments arguments)
{
    const auto rest = arguments.Rest();
    if (rest.size() != 3) {
        Usage(rest.size() < 3 ? "a project file and two frame indexes, FROM and TO, are needed"
                              : "unexpected argument " + rest[3]);
    }
    ProjectHeader header;
    std::vector<FrameRecord> records = ReadRecords(rest[0], header);
    const std::size_t from = ParseIndex(rest[1], records.size());
    const std::size_t to = ParseIndex(rest[2], records.size());
    if (from == to) {
        return 0;
    }
    const auto at = [&](std::size_t index) { return records.begin() + static_cast<std::ptrdiff_t>(index); };
    if (from < to) {
        std::rotate(at(from), at(from + 1), at(to + 1));
    } else {
        std::rotate(at(to), at(from), at(from + 1));
    }
    SaveProject(rest[0], header, records);
    return 0;
}

int CommandInfo(Arguments arguments)
{
    const bool json = arguments.Flag("--json");
    const std::string path = OneProject(arguments);
    RequireRegularFile(path);
    std::cout << (json ? cli::DescribeProjectJson(path) : cli::DescribeProject(path));
    // Any file opens as a project; one that does not look like it gets a warning, not a failure.
    if (const auto doubt = project::ProjectDoubt(path)) {
        std::cerr << "kinetar-cli: warning: " << OneLine(*doubt) << "\n";
    }
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
void CheckFirstPicture(const ProjectHeader& header, const std::vector<FrameRecord>& records)
{
    if (header.Width != 0 && header.Height != 0) {
        return;
    }
    const auto first = std::find_if(records.begin(), records.end(),
                                    [](const FrameRecord& record) { return !project::IsSoundRecord(record); });
    if (first == records.end()) {
        throw Error("The video has no size and no picture to take it from: set one with --size");
    }
    const std::string picture = project::GetText(first->PictureFileName);
    try {
        RequireRegularFile(picture);
        (void)pictures::LoadPicture(picture);
    } catch (const Error& error) {
        throw Error("The video takes its size from the first picture, which cannot be read (" +
                    cli::NamedMessage(OneLine(error.what()), picture) + "); set a size with --size");
    }
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

// The run's result for the terminal: the window's text, with what the run tells beyond it (the
// destination and the system's reason, what the compressor refuses, whether a file was written).
std::string ResultText(std::uint8_t result, const avi::RunOutcome& outcome, const std::string& destination)
{
    const std::string reason = outcome.SystemError != 0 ? std::strerror(outcome.SystemError) : "";
    // A run that ends before its first frame leaves an earlier video as it was.
    const std::string left = outcome.DestinationReplaced            ? "the video holds the frames written so far"
                             : std::filesystem::exists(destination) ? destination + " was left as it was"
                                                                    : "no video was written";
    std::string message = OneLine(avi::ResultMessage(static_cast<avi::ResultCode>(result)));
    switch (result) {
    case avi::kResultCannotOpenFile: {
        struct stat status {};
        if (::stat(destination.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
            return "Can't open AVI file. " + destination + " is not a regular file (" + FileKind(status.st_mode) + ")";
        }
        return "Can't open AVI file. " + destination + ": " + (reason.empty() ? "It's probably in use." : reason);
    }
    case avi::kResultFormatRefused:
        return outcome.Detail.empty() ? message : message + ": " + outcome.Detail;
    case avi::kResultStopped:
        return outcome.DestinationReplaced ? "stopped; " + left : "stopped before the first frame; " + left;
    case avi::kResultWriteFailed:
        return message + (reason.empty() ? "" : " (" + reason + ")") + "; " + left;
    default:
        return message;
    }
}

int CommandRender(Arguments arguments)
{
    CatchStopSignals();
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
    const avi::CodecInfo* codec = codecText ? &ParseCodec(*codecText) : nullptr;
    std::optional<std::uint32_t> quality;
    if (qualityText) {
        quality = static_cast<std::uint32_t>(ParseNumber(*qualityText, "--quality", 0, 100)) * 100U;
    }

    const std::string destinationGiven = output ? Absolute(*output) : std::string();
    ProjectHeader header;
    std::vector<FrameRecord> records;
    try {
        records = ReadRecords(path, header);
        avi::ProposeSettings(header, Absolute(path), path);
        CheckFirstPicture(header, records);
        if (output) {
            project::SetText(header.AviFileName, destinationGiven);
        }
        avi::CheckVideoSettings(header);
    } catch (const Error& error) {
        std::cerr << "kinetar-cli: " << OneLine(error.what()) << "\n";
        return kExitRenderError;
    }

    const avi::Container container = avi::ContainerForPath(project::GetText(header.AviFileName));
    if (codec != nullptr && !codec->GoesInto(container)) {
        Usage("the compressor '" + *codecText +
              "' cannot go into this kind of video file (kinetar-cli codecs --container " +
              std::string(avi::ContainerName(container)) + " lists those that can)");
    }

    // The bar counts pictures: a sound record brings no report of its own.
    const auto frames = static_cast<std::int32_t>(
        std::count_if(records.begin(), records.end(), [](const FrameRecord& r) { return !project::IsSoundRecord(r); }));
    ProgressBar bar(!quiet && ::isatty(STDERR_FILENO) == 1, frames);
    std::int32_t processed = 0;
    bool firstReport = true;
    cli::FrameErrorNamer namer(records, project::GetFrameRate(header));

    avi::EngineServices services;
    avi::RunOutcome outcome;
    services.Outcome = &outcome;
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
        std::cerr << "kinetar-cli: " << OneLine(namer.Name(message)) << "\n";
        return stopOnError ? avi::FrameErrorAnswer::No : avi::FrameErrorAnswer::Yes;
    };
    const auto progress = [&](int percent) {
        if (firstReport) {
            firstReport = false;
        } else {
            bar.Frame(++processed);
            namer.Report(percent);
        }
        return g_interrupted == 0;
    };

    bool settingsChanged = false;
    std::uint8_t result = 0;
    try {
        avi::CreateAVI(header, path, settingsChanged, progress, result, services);
    } catch (const Error& error) {
        bar.Break();
        std::cerr << "kinetar-cli: " << OneLine(error.what()) << "\n";
        return kExitRenderError;
    }
    bar.Break();
    const std::string destination = project::GetText(header.AviFileName);
    const std::string message = ResultText(result, outcome, destination);
    if (!message.empty() && (result != avi::kResultStopped || !quiet)) {
        std::cerr << "kinetar-cli: " << message << "\n";
    }
    if ((result == avi::kResultDone || (result == avi::kResultStopped && outcome.DestinationReplaced)) && !quiet) {
        std::cout << destination << "\n";
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
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
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
        if (command == "remove") {
            return CommandRemove(std::move(arguments));
        }
        if (command == "move") {
            return CommandMove(std::move(arguments));
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
    } catch (const std::filesystem::filesystem_error& error) {
        // A path the system refuses to work with: say which and why, not the library's wording.
        std::cerr << "kinetar-cli: " << (error.path1().empty() ? std::string("a file") : error.path1().string()) << ": "
                  << error.code().message() << "\n";
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        std::cerr << "kinetar-cli: not enough memory\n";
        return kExitFailure;
    } catch (const std::exception& error) {
        std::cerr << "kinetar-cli: " << OneLine(error.what()) << "\n";
        return kExitFailure;
    }
}
