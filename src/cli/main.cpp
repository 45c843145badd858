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
#include <functional>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "avi/audio/SoundFile.h"
#include "avi/codecs/CodecRegistry.h"
#include "avi/engine/AviEngine.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "avi/writer/FourCC.h"
#include "cli/CliProject.h"
#include "cli/CommandLine.h"
#include "cli/RenderCommand.h"
#include "cli/StillCommand.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/Motion.h"
#include "project/PictureOrder.h"
#include "project/ProjectFile.h"
#include "project/ProjectRewrite.h"
#include "project/Slideshow.h"

namespace {

using namespace kinetar;
using namespace kinetar::cli;
using project::FitMode;
using project::FrameRecord;
using project::ProjectHeader;

// The signals that end a run held back while it lasts: a replace in progress finishes, so an edit
// leaves either the old file or the new one and no temporary beside them.
class HeldStopSignals {
public:
    HeldStopSignals()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &m_previous);
    }
    HeldStopSignals(const HeldStopSignals&) = delete;
    HeldStopSignals& operator=(const HeldStopSignals&) = delete;
    ~HeldStopSignals() { sigprocmask(SIG_SETMASK, &m_previous, nullptr); }

private:
    sigset_t m_previous{};
};

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopRequest(int /*signal*/)
{
    g_stopRequested = 1;
}

// While it lasts a stop request (Ctrl-C, SIGTERM, SIGHUP) is noted for the rewrite to act on, so a
// long one can be stopped and still leave the project whole. A signal the caller ignores stays
// ignored.
class CaughtStopSignals {
public:
    CaughtStopSignals()
    {
        g_stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = OnStopRequest;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler != SIG_IGN) {
                sigaction(kSignals[i], &action, nullptr);
            }
        }
    }
    CaughtStopSignals(const CaughtStopSignals&) = delete;
    CaughtStopSignals& operator=(const CaughtStopSignals&) = delete;
    ~CaughtStopSignals()
    {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &m_previous[i], nullptr);
        }
    }

    static bool Requested() { return g_stopRequested != 0; }

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> m_previous{};
};

void SaveProject(const std::string& path, const ProjectHeader& header, const std::vector<FrameRecord>& records)
{
    const HeldStopSignals held;
    project::ReplaceProjectFile(path, header, records);
}

// A stop request is looked at after this many records (1.2 MB written).
constexpr std::int32_t kRecordsBetweenStopChecks = 4096;

// Writes the project anew: the header, then record(i) for i from 0 to count - 1, asked for in that
// order, one at a time. A stop request while they are written drops the new file, leaving the
// project as it was; only the final replace holds the signals back.
void RewriteProject(const std::string& path, const ProjectHeader& header, std::int32_t count,
                    const std::function<FrameRecord(std::int32_t)>& record)
{
    const CaughtStopSignals stop;
    const auto stopIfAsked = [&] {
        if (CaughtStopSignals::Requested()) {
            throw Error("stopped; " + path + " was left as it was");
        }
    };
    project::ProjectRewrite file(path);
    file.Append(header);
    for (std::int32_t i = 0; i < count; ++i) {
        if (i % kRecordsBetweenStopChecks == 0) {
            stopIfAsked();
        }
        file.Append(record(i));
    }
    const HeldStopSignals held;
    stopIfAsked();
    file.Commit();
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
        Usage("--fit must be stretch, top-left, letterbox, crop, centre or blur, not '" + text + "'");
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
    std::optional<project::Motion> Motion;
    std::optional<project::Easing> Ease;

    bool Any() const { return Fit || Duration || Crossfade || Motion || Ease; }
    void ApplyTo(FrameRecord& record) const
    {
        if (Motion || Ease) {
            project::Motion motion = Motion ? *Motion : project::GetMotion(record);
            motion.Ease = Ease ? *Ease : Motion ? project::Easing::Linear : motion.Ease;
            project::SetMotion(record, motion);
        }
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
    if (const auto motion = arguments.Value("--motion")) {
        std::string problem;
        options.Motion = project::ParseMotion(*motion, &problem);
        if (!options.Motion) {
            Usage("--motion: " + problem);
        }
    }
    if (const auto easing = arguments.Value("--easing")) {
        options.Ease = project::ParseEasing(*easing);
        if (!options.Ease) {
            Usage("--easing must be linear or smooth, not '" + *easing + "'");
        }
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

    const cli::ProjectRecords records = OpenRecords(path);
    ProjectHeader header = records.Header();
    if (size) {
        std::tie(header.Width, header.Height) = ParseVideoSize(*size);
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
        if (const auto wrongKind = avi::WrongKindOfDestination(*output)) {
            Usage(*wrongKind);
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
    RewriteProject(path, header, records.Count(), [&](std::int32_t i) { return records.At(i); });
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

// Why a file is neither a picture nor a sound, from its first bytes.
std::string WhatTheContentLooksLike(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::array<char, 512> head{};
    file.read(head.data(), head.size());
    const auto got = static_cast<std::size_t>(file.gcount());
    if (got == 0) {
        return "it is empty";
    }
    // Control characters other than line and page breaks and tabs are not in text.
    const bool text = std::all_of(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(got), [](char letter) {
        const auto code = static_cast<unsigned char>(letter);
        return code >= 0x20 ? code != 0x7F : code == '\t' || code == '\n' || code == '\r' || code == '\f';
    });
    return text ? "it looks like text" : "unknown content";
}

// Only what a render can use is added: a picture by its first bytes (or a .tga name, as the
// readers decide), else a sound by its content. A picture cut short still counts; the render says
// what is wrong with it.
void RequirePictureOrSound(const std::string& path)
{
    try {
        if (pictures::RecognisePictureFile(path) != pictures::PictureFormat::Unknown) {
            return;
        }
    } catch (const Error& error) {
        throw Error(OneLine(error.what()) + "; nothing was added");
    }
    if (!avi::IsSoundFile(path)) {
        throw Error(path + " is not a picture or sound file Kinetar reads (" + WhatTheContentLooksLike(path) +
                    "); nothing was added");
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
        RequirePictureOrSound(picture);
        pictures.push_back(picture);
    }
    const cli::ProjectRecords records = OpenRecords(path);
    const std::int32_t count = records.Count();
    if (pictures.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() - count)) {
        throw Error("A project holds at most " + std::to_string(std::numeric_limits<std::int32_t>::max()) +
                    " frames; nothing was added to " + path);
    }
    std::vector<FrameRecord> added;
    added.reserve(pictures.size());
    for (const auto& picture : project::SortPictures(pictures, mode, cli::AsciiCaseLess)) {
        FrameRecord record = avi::NewRecordFor(picture);
        // A sound takes no time and fills no frame: the picture options are not for it.
        if (!project::IsSoundRecord(record)) {
            options.ApplyTo(record);
        }
        added.push_back(record);
    }
    RewriteProject(path, records.Header(), count + static_cast<std::int32_t>(added.size()), [&](std::int32_t i) {
        return i < count ? records.At(i) : added[static_cast<std::size_t>(i - count)];
    });
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
        Usage("frame needs --fit, --duration, --crossfade, --motion or --easing");
    }
    const std::string& path = rest[0];
    const std::string& which = rest[1];
    const bool all = which == "all";
    if (!all && (which.empty() || which.find_first_not_of("0123456789") != std::string::npos)) {
        Usage("the frame must be an index from 0 or all, not '" + which + "'");
    }
    const cli::ProjectRecords records = OpenRecords(path);
    std::int32_t first = 0;
    std::int32_t end = records.Count();
    if (!all) {
        first = static_cast<std::int32_t>(ParseIndex(which, static_cast<std::size_t>(records.Count())));
        end = first + 1;
        if (project::IsSoundRecord(records.At(first))) {
            Usage("frame " + std::to_string(first) + " is a sound, which has no fit, duration, crossfade or motion");
        }
    }
    const auto edited = [&](std::int32_t i) {
        FrameRecord record = records.At(i);
        if (i >= first && i < end && !project::IsSoundRecord(record)) {
            options.ApplyTo(record);
        }
        return record;
    };
    // A project the options leave as it is stays untouched: looked for first, without writing.
    bool changed = false;
    for (std::int32_t i = first; i < end && !changed; ++i) {
        const FrameRecord record = edited(i);
        const FrameRecord before = records.At(i);
        changed = std::memcmp(&record, &before, sizeof(FrameRecord)) != 0;
    }
    if (changed) {
        RewriteProject(path, records.Header(), records.Count(), edited);
    }
    return 0;
}

int CommandRemove(Arguments arguments)
{
    const auto rest = arguments.Rest();
    if (rest.size() < 2) {
        Usage("a project file and at least one frame index are needed");
    }
    const cli::ProjectRecords records = OpenRecords(rest[0]);
    // Every index is checked before anything is removed; one given twice is removed once.
    std::vector<std::int32_t> removed;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        removed.push_back(static_cast<std::int32_t>(ParseIndex(rest[i], static_cast<std::size_t>(records.Count()))));
    }
    std::sort(removed.begin(), removed.end());
    removed.erase(std::unique(removed.begin(), removed.end()), removed.end());
    // Asked for in order: each new record is the next old one that is not removed.
    std::int32_t old = 0;
    auto skip = removed.begin();
    RewriteProject(rest[0], records.Header(), records.Count() - static_cast<std::int32_t>(removed.size()),
                   [&](std::int32_t /*index*/) {
                       while (skip != removed.end() && *skip == old) {
                           ++skip;
                           ++old;
                       }
                       return records.At(old++);
                   });
    return 0;
}

int CommandMove(Arguments arguments)
{
    const auto rest = arguments.Rest();
    if (rest.size() != 3) {
        Usage(rest.size() < 3 ? "a project file and two frame indexes, FROM and TO, are needed"
                              : "unexpected argument " + rest[3]);
    }
    const cli::ProjectRecords records = OpenRecords(rest[0]);
    const auto count = static_cast<std::size_t>(records.Count());
    const auto from = static_cast<std::int32_t>(ParseIndex(rest[1], count));
    const auto to = static_cast<std::int32_t>(ParseIndex(rest[2], count));
    if (from == to) {
        return 0;
    }
    // The frames between the two shift by one toward where the moved one was.
    const std::int32_t shift = from < to ? 1 : -1;
    RewriteProject(rest[0], records.Header(), records.Count(), [&](std::int32_t i) {
        if (i == to) {
            return records.At(from);
        }
        const bool between = from < to ? i >= from && i < to : i > to && i <= from;
        return records.At(between ? i + shift : i);
    });
    return 0;
}

int CommandInfo(Arguments arguments)
{
    const bool json = arguments.Flag("--json");
    const std::string path = OneProject(arguments);
    RequireRegularFile(path);
    if (json) {
        cli::DescribeProjectJson(path, std::cout);
    } else {
        cli::DescribeProject(path, std::cout);
    }
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

// What each command does, in the order the usage lists them: its usage line(s), its lines in the
// full help, and what its own --help adds. Continuation lines of a usage line are indented for the
// "Usage: " before it.
struct Command {
    std::string_view Name;
    int (*Run)(Arguments);
    std::string_view UsageLines;
    std::string_view Summary;
    std::string_view Options;
};

constexpr std::string_view kFitAndSeconds =
    "A fit MODE is stretch, top-left (--no-stretch), letterbox, crop, centre or blur (letterboxed over a\n"
    "blurred copy of itself). SECONDS are decimal seconds (3, 0.5, 2.002) up to a day; a duration of 0\n"
    "shows the picture for one frame, a crossfade of 0 cuts to it. MOTION is none, auto (a gentle zoom\n"
    "and drift, for pictures of a second or more) or START:END, each view X,Y,ZOOM: its centre as\n"
    "fractions of the picture's width and height (0 to 1) and how much closer than the fit's own view\n"
    "(1 to 10), e.g. 0.5,0.5,1:0.3,0.4,1.4; --easing smooth starts and ends the move gently.\n";

const std::array<Command, 10> kCommands{{
    {"new", CommandNew, "kinetar-cli new PROJECT.AVIprj [--force]\n",
     "  new     creates a project with the defaults of the New command (24 bits, 8 frames per second)\n",
     "          -f, --force replaces a file that is already there\n"},
    {"set", CommandSet,
     "kinetar-cli set PROJECT [--size WxH] [--fps N|N/D|DECIMAL] [--depth 1|4|8|24] [--output FILE] [--play "
     "yes|no]\n"
     "                               [--background RRGGBB] [--smooth yes|no] [--codec FOURCC] [--quality "
     "PERCENT|default]\n",
     "  set     changes the video settings of a project; --fps takes 25, 29.97, 12.5 or 30000/1001,\n"
     "          --background the colour around fitted pictures, --smooth a smooth scaling filter,\n"
     "          --codec and --quality the compressor a generation starts from (as its chooser keeps it)\n",
     "          --size: WxH, each side 1 to 32767, or 720p, 1080p, 4k, vertical (1080x1920), square\n"
     "          (1080x1080) or portrait (1080x1350); --depth: bits per pixel; --play: whether the desktop\n"
     "          program plays the video when it is done; --output: the video file, .avi, .mp4 (.m4v,\n"
     "          .mov), .mkv or .webm (any other name is an AVI file; a picture's or a sound's is refused)\n"},
    {"add", CommandAdd,
     "kinetar-cli add PROJECT [--sort name|start|end] [--no-stretch] [--fit "
     "stretch|top-left|letterbox|crop|centre|blur]\n"
     "                               [--duration SECONDS] [--crossfade SECONDS] [--motion MOTION] [--easing "
     "linear|smooth]\n"
     "                               [--from FILE|-] PICTURE|SOUND...\n",
     "  add     appends pictures as frames (stretched unless --fit or --no-stretch), sorted by name or number;\n"
     "          a sound file (MP3, M4A, OGG, Opus, FLAC, WAV...) becomes a sound record, which takes no time:\n"
     "          its sound starts where the next picture starts, or when the sound before it ends;\n"
     "          --from FILE adds the paths listed in FILE, one a line (- reads them from standard input)\n",
     "          --sort name, start or end: by name, or by the number at the start or end of the name;\n"
     "          a file that is missing or is not a picture or sound is refused, and nothing is added\n"},
    {"frame", CommandFrame,
     "kinetar-cli frame PROJECT INDEX|all [--fit MODE] [--duration SECONDS] [--crossfade SECONDS]\n"
     "                               [--motion MOTION] [--easing linear|smooth]\n",
     "  frame   changes the fit, duration, crossfade or motion of the frame at INDEX (from 0) or of all frames\n"
     "          (sound records are left as they are)\n",
     ""},
    {"remove", CommandRemove, "kinetar-cli remove PROJECT INDEX...\n",
     "  remove  removes the frames at the INDEXes (as info numbers them)\n", ""},
    {"move", CommandMove, "kinetar-cli move PROJECT FROM TO\n",
     "  move    moves the frame at FROM so that it becomes the frame at TO\n", ""},
    {"info", CommandInfo, "kinetar-cli info PROJECT [--json]\n",
     "  info    shows the settings and the video's length, then one line per frame: index, fit, path,\n"
     "          and its duration and crossfade when set (\"sound\" in place of the fit for a sound);\n"
     "          --json prints all of it as JSON, with each sound's cue frame and start in seconds\n",
     ""},
    {"still", CommandStill, "kinetar-cli still PROJECT TIME|#FRAME --output FILE.png [--size WxH]\n",
     "  still   writes the video's frame at TIME (12.5, 0:12.5) or #FRAME (from 0) as a PNG picture,\n"
     "          exactly as the render makes it before compression\n",
     "          --size: another size than the project's (WxH or a preset, as set takes it)\n"},
    {"codecs", CommandCodecs, "kinetar-cli codecs [--depth BITS] [--container avi|mp4|mkv|webm]\n",
     "  codecs  lists the compressors: fourcc, a tab, the name; --container those that kind of file\n"
     "          takes (avi when not given)\n",
     "          --depth: only those that take frames of 1, 4, 8 or 24 bits\n"},
    {"render", CommandRender,
     "kinetar-cli render PROJECT [--codec FOURCC] [--quality PERCENT] [--on-error skip|stop] [--output FILE] "
     "[--quiet]\n"
     "                                  [--progress json]\n",
     "  render  generates the video; the exit status is the result code\n"
     "          (0 done, 1 codec library mismatch, 2 cannot open the file, 3 cannot create the stream,\n"
     "          4 stopped, 5 cannot make the compressor, 6 compressor refuses the format, 7 write failed,\n"
     "          8 the run could not start, 9 internal error)\n",
     "          --codec: a fourcc as codecs lists it (else the project's, else uncompressed);\n"
     "          --on-error skip (the default) leaves an unreadable picture's frame empty, stop ends the run;\n"
     "          --output: another destination; -q, --quiet: no progress and no closing line;\n"
     "          --progress json: one JSON object a line on standard output in place of the bar\n"},
}};

std::string UsageText()
{
    std::string text;
    for (const Command& command : kCommands) {
        text += (text.empty() ? "Usage: " : "       ") + std::string(command.UsageLines);
    }
    return text;
}

std::string HelpText()
{
    std::string text = UsageText() +
                       "\n"
                       "Turns an ordered list of still pictures (BMP, PCX, TGA, GIF, JPEG, PNG, WebP, HEIC, AVIF) and\n"
                       "music into an AVI video, or an MP4, Matroska or WebM video when the output's name ends in\n"
                       ".mp4 (.m4v, .mov), .mkv or .webm.\n"
                       "\n";
    for (const Command& command : kCommands) {
        text += command.Summary;
    }
    return text + "\n" + std::string(kFitAndSeconds) +
           "\n"
           "Short options: -o --output, -q --quiet, -f --force, -c --codec, -h --help.\n"
           "Options: --help, --version; kinetar-cli COMMAND --help shows that command alone.\n"
           "Bad usage exits with 2.\n";
}

std::string CommandHelpText(const Command& command)
{
    std::string text = "Usage: " + std::string(command.UsageLines) + "\n" + std::string(command.Summary) +
                       std::string(command.Options);
    if (command.Name == "add" || command.Name == "frame") {
        text += "\n" + std::string(kFitAndSeconds);
    }
    return text;
}

const Command& FindCommand(const std::string& name)
{
    for (const Command& command : kCommands) {
        if (command.Name == name) {
            return command;
        }
    }
    std::vector<std::string> names{"--help", "--version"};
    for (const Command& command : kCommands) {
        names.emplace_back(command.Name);
    }
    const auto nearest = NearestName(name, names);
    Usage("unknown command " + name + (nearest ? "; did you mean " + *nearest + "?" : ""));
}

// "--help" or "-h" among the options (before "--") asks for the command's help instead.
bool AsksForHelp(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) {
        const std::string item = argv[i];
        if (item == "--") {
            return false;
        }
        if (item == "--help" || item == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // A run allocates and frees a picture and a converted frame for every frame. Keeping freed
    // blocks in the heap spares the kernel mapping and zeroing them anew each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    if (argc < 2) {
        std::cerr << "kinetar-cli: a command is needed\n" << UsageText();
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        std::cout << HelpText();
        return 0;
    }
    if (name == "--version") {
        std::cout << "kinetar-cli " << KINETAR_VERSION << "\n";
        return 0;
    }
    try {
        const Command& command = FindCommand(name);
        if (AsksForHelp(argc, argv)) {
            std::cout << CommandHelpText(command);
            return 0;
        }
        return command.Run(Arguments(argc, argv, 2));
    } catch (const UsageError& error) {
        std::cerr << "kinetar-cli: " << OneLine(error.message) << "\n" << UsageText();
        return kExitUsage;
    } catch (const std::filesystem::filesystem_error& error) {
        // A path the system refuses to work with: say which and why, not the library's wording.
        std::cerr << "kinetar-cli: "
                  << (error.path1().empty() ? std::string("a file") : Printable(error.path1().string())) << ": "
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
