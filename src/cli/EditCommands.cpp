// The commands that change a project: new, set, add, frame, remove and move.

#include "cli/EditCommands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "avi/audio/AudioTrack.h"
#include "avi/audio/SoundFile.h"
#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/QualityPercent.h"
#include "avi/engine/AviEngine.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "avi/writer/FourCC.h"
#include "cli/CliProject.h"
#include "cli/Options.h"
#include "cli/ProjectWriting.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/CaptionedMoves.h"
#include "project/FrameEdits.h"
#include "project/MusicFit.h"
#include "project/PictureDefaults.h"
#include "project/PictureOrder.h"
#include "project/ProjectFile.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::cli {
namespace {

using project::FitMode;
using project::FrameRecord;
using project::ProjectHeader;

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
    int percent = 0;  // the compressor's default
    if (qualityText && *qualityText != "default") {
        if (qualityText->empty() || qualityText->find_first_not_of("0123456789") != std::string::npos ||
            qualityText->size() > 3 || std::stoul(*qualityText) < 1 || std::stoul(*qualityText) > 100) {
            Usage("--quality must be a whole number from 1 to 100 or default, not '" + *qualityText + "'");
        }
        percent = std::stoi(*qualityText);
    } else if (!qualityText && same) {
        percent = avi::PercentFromQuality(previous.Quality);
    }
    choice.Quality = avi::QualityFromPercent(percent);
    return choice;
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
    // A sound the render would leave out, said now.
    if (const auto refusal = avi::SoundRefusal(path)) {
        throw Error(OneLine(*refusal) + "; nothing was added");
    }
}

}  // namespace

int CommandNew(Arguments arguments)
{
    const bool force = arguments.Flag("--force");
    const bool slideshow = arguments.Flag("--slideshow");
    const auto size = arguments.Value("--size");
    const auto fps = arguments.Value("--fps");
    const std::string path = OneProject(arguments);
    if (!slideshow && (size || fps)) {
        Usage("--size and --fps go with --slideshow; set changes them in any project");
    }
    if (!force && std::filesystem::exists(path)) {
        throw Error(path + " already exists; use --force to replace it");
    }
    RequireRegularFile(path);
    ProjectHeader header = project::NewProjectHeader();
    if (slideshow) {
        header = project::NewSlideshowHeader();
        if (size) {
            std::tie(header.Width, header.Height) = ParseVideoSize(*size);
        }
        if (fps) {
            project::SetFrameRate(header, ParseRate(*fps));
        }
        // An MP4 video beside the project, named after it.
        const std::string video = project::SlideshowVideoPath(Absolute(path));
        if (video.size() <= project::kMaxTextLength) {
            project::SetText(header.AviFileName, video);
        }
    }
    SaveProject(path, header, {});
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
    const auto codecText = arguments.Value("--codec");
    const auto qualityText = arguments.Value("--quality");
    const auto defaultDuration = arguments.Value("--default-duration");
    const auto defaultFit = arguments.Value("--default-fit");
    const auto defaultCrossfade = arguments.Value("--default-crossfade");
    const auto defaultMotion = arguments.Value("--default-motion");
    const std::string path = OneProject(arguments);

    const cli::ProjectRecords records = OpenRecords(path);
    ProjectHeader header = records.Header();
    project::PictureDefaults defaults = project::GetPictureDefaults(header);
    if (defaultDuration) {
        defaults.Duration = ParseSecondsOption(*defaultDuration, "--default-duration");
    }
    if (defaultFit) {
        const FitMode fit = ParseFit(*defaultFit);
        defaults.Fit = fit == FitMode::Stretch ? std::nullopt : std::optional<FitMode>(fit);
        if (fit == FitMode::TopLeft) {
            Usage("--default-fit takes stretch, letterbox, crop, centre or blur");
        }
    }
    if (defaultCrossfade) {
        defaults.Crossfade = ParseSecondsOption(*defaultCrossfade, "--default-crossfade");
    }
    if (defaultMotion) {
        if (*defaultMotion != "none" && *defaultMotion != "auto") {
            Usage("--default-motion must be none or auto, not '" + *defaultMotion + "'");
        }
        defaults.Motion = *defaultMotion == "auto" ? project::MotionKind::Automatic : project::MotionKind::None;
    }
    project::SetPictureDefaults(header, defaults);
    if (size) {
        std::tie(header.Width, header.Height) = ParseVideoSize(*size);
    }
    if (fps) {
        // A whole rate keeps the bytes of a project without fractional rates: denominator 0.
        project::SetFrameRate(header, ParseRate(*fps));
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

int CommandAdd(Arguments arguments)
{
    const auto sort = arguments.Value("--sort");
    const auto from = arguments.Value("--from");
    project::FrameEdit options = TakeFrameOptions(arguments);
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
    const project::FrameEdit edit = project::WithDefaults(options, project::GetPictureDefaults(records.Header()));
    for (const auto& picture : project::SortPictures(pictures, mode, cli::AsciiCaseLess)) {
        FrameRecord record = avi::NewRecordFor(picture);
        // A sound takes no time and fills no frame: the edit leaves it as it is.
        project::ApplyFrameEdit(record, edit);
        added.push_back(record);
    }
    RewriteProject(path, records.Header(), count + static_cast<std::int32_t>(added.size()), [&](std::int32_t i) {
        return i < count ? records.At(i) : added[static_cast<std::size_t>(i - count)];
    });
    return 0;
}

int CommandFrame(Arguments arguments)
{
    const project::FrameEdit options = TakeFrameOptions(arguments);
    const auto rest = arguments.Rest();
    if (rest.size() != 2) {
        Usage(rest.size() < 2 ? "a project file and a frame index (or all) are needed"
                              : "unexpected argument " + rest[2]);
    }
    if (!AnyFrameOption(options)) {
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
        if (project::IsCaptionRecord(records.At(first))) {
            Usage("frame " + std::to_string(first) +
                  " is a caption, which shows with its picture and has no fit, duration, crossfade or motion");
        }
    }
    const auto edited = [&](std::int32_t i) {
        FrameRecord record = records.At(i);
        if (i >= first && i < end) {
            project::ApplyFrameEdit(record, options);
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
    // A picture's captions go with it: left behind, they would go on the next picture.
    removed = project::WithTheirCaptions(std::move(removed),
                                         [&records](std::int32_t at) { return project::RoleOf(records.At(at)); });
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
    // A picture goes with its captions, and lands before or after a captioned picture, never
    // between its captions and it.
    const project::RecordMove move =
        project::PlanMove({from}, from < to ? to + 1 : to, records.Count(),
                          [&records](std::int32_t i) { return project::RoleOf(records.At(i)); });
    const std::vector<std::int32_t> order = project::OrderAfterMove(move, records.Count());
    if (std::is_sorted(order.begin(), order.end())) {
        return 0;
    }
    RewriteProject(rest[0], records.Header(), records.Count(),
                   [&](std::int32_t i) { return records.At(order[static_cast<std::size_t>(i)]); });
    return 0;
}

int CommandFitMusic(Arguments arguments)
{
    const bool keepRatios = arguments.Flag("--keep-ratios");
    const std::string path = OneProject(arguments);
    const cli::ProjectRecords records = OpenRecords(path);
    const project::FrameRate rate = project::GetFrameRate(records.Header());
    if (rate.Numerator == 0) {
        throw Error("The project has no frame rate; set one with set --fps");
    }
    std::vector<FrameRecord> all;
    all.reserve(static_cast<std::size_t>(records.Count()));
    for (std::int32_t i = 0; i < records.Count(); ++i) {
        all.push_back(records.At(i));
    }
    const std::string folder = project::ProjectFolder(path);
    const project::MusicFit fit = project::FitPicturesToMusic(all, rate, keepRatios, [&](std::int32_t record) {
        const FrameRecord& sound = all[static_cast<std::size_t>(record)];
        return avi::SoundSamples(project::ResolveRecordPath(project::GetText(sound.PictureFileName), folder));
    });
    RewriteProject(path, records.Header(), records.Count(),
                   [&](std::int32_t i) { return fit.Records[static_cast<std::size_t>(i)]; });
    std::cout << "The pictures now last " << project::VideoLengthText(fit.VideoFrames, rate)
              << ", as the music does.\n";
    return 0;
}

}  // namespace kinetar::cli
