#include "cli/ProjectDescription.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <sstream>

#include "avi/audio/AudioTrack.h"
#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/QualityPercent.h"
#include "avi/writer/FourCC.h"
#include "cli/CliProject.h"
#include "common/Error.h"
#include "project/Motion.h"
#include "project/PictureDefaults.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::cli {

using project::FrameRate;
using project::FrameRecord;
using project::ProjectHeader;

namespace {

std::string DepthText(const ProjectHeader& header)
{
    const int bits = project::ColorDepthBits(header);
    return std::to_string(bits) + (bits == 1 ? " bit" : " bits");
}

std::string CompressorText(const project::CodecSettings& settings)
{
    if (settings == project::CodecSettings{}) {
        return "not chosen";
    }
    const auto* codec = avi::CodecRegistry::Default().Find(settings.Handler);
    std::string text = Printable(avi::FourccText(settings.Handler));
    text += codec != nullptr ? " (" + codec->Name + ")" : " (not available in this build)";
    if (settings.Quality <= avi::kQualityMax) {
        text += ", quality " + std::to_string(avi::PercentFromQuality(settings.Quality)) + "%";
    }
    return text;
}

std::string BackgroundText(const ProjectHeader& header)
{
    std::string text = "#";
    for (const std::uint8_t channel : header.Background) {
        text += HexByte(channel);
    }
    return text;
}

// The rate as the user would type it; a stored rate that is not positive as it is stored.
std::string RateText(const ProjectHeader& header)
{
    const std::uint32_t denominator = header.RateDenominator;
    if (header.FramesPerSecond <= 0) {
        return std::to_string(header.FramesPerSecond.Get()) +
               (denominator > 1 ? "/" + std::to_string(denominator) : "");
    }
    return project::FormatFrameRate(project::GetFrameRate(header));
}

// The frame-list column of today's projects, or the mode that column cannot say.
std::string FitText(const FrameRecord& record)
{
    const project::FitMode fit = project::GetFit(record);
    if (fit == project::FitMode::Stretch || fit == project::FitMode::TopLeft) {
        return record.Stretch != 0 ? "stretch" : "no-stretch";
    }
    return std::string(project::FitModeName(fit));
}

// "3 s, blur, crossfade 0.5 s, motion auto": what pictures added get; one frame for a duration of 0.
std::string DefaultsText(const project::PictureDefaults& defaults)
{
    std::string text =
        defaults.Duration == 0 ? std::string("1 frame") : project::FormatSeconds(defaults.Duration) + " s";
    text += ", " + std::string(project::FitModeName(defaults.Fit.value_or(project::FitMode::Stretch)));
    if (defaults.Crossfade != 0) {
        text += ", crossfade " + project::FormatSeconds(defaults.Crossfade) + " s";
    }
    if (defaults.Motion == project::MotionKind::Automatic) {
        text += ", motion auto";
    }
    return text;
}

std::string ColourText(std::span<const std::uint8_t> colour)
{
    std::string text = "#";
    for (const std::uint8_t channel : colour) {
        text += HexByte(channel);
    }
    return text;
}

// A caption's text and its looks, the text's line breaks and control characters shown as \xNN.
std::string CaptionText(const project::Caption& caption)
{
    std::string text = Printable(caption.Text) + "\tposition " +
                       std::string(project::TextPositionName(caption.Position)) + "\tsize " +
                       project::FormatTextSize(caption.Size) + "%\tcolour " + ColourText(caption.Colour) + "\tstyle " +
                       std::string(project::ReadabilityName(caption.Style));
    if (caption.Style == project::Readability::Box) {
        text += "\tbox " + ColourText(caption.Box);
    }
    if (caption.Font != project::FontChoice{}) {
        text += "\tfont " + Printable(project::FormatFontChoice(caption.Font));
    }
    return text;
}

std::string TitleText(const project::Title& title)
{
    std::string text = Printable(title.Text);
    if (!title.Subtitle.empty()) {
        text += "\tsubtitle " + Printable(title.Subtitle);
    }
    text += "\tbackground " + (title.BlurredBackground ? std::string("blur") : ColourText(title.Background));
    if (title.Font != project::FontChoice{}) {
        text += "\tfont " + Printable(project::FormatFontChoice(title.Font));
    }
    return text;
}

// Sound records take no time; each is cued where the next picture starts and plays from there, or
// from where the sound before it ends when that is later. Walked in record order, so a project of
// any length needs only the end of the last sound.
class SoundPlacer {
public:
    explicit SoundPlacer(FrameRate rate) : m_rate(rate) {}

    struct Place {
        std::int64_t StartSample = 0;
        std::optional<std::int64_t> Milliseconds;  // nothing when the file cannot be read
    };

    // A sound whose length cannot be read takes no time, so the next one starts at its own cue.
    Place Next(const std::string& soundPath, std::int64_t cueFrame)
    {
        Place place;
        place.StartSample = std::max(project::SampleAtFrame(cueFrame, m_rate), m_end);
        // Decoded, as the render plays it: a lossy file's declared length often counts its priming
        // and padding, and a cut file declares its whole length.
        const std::optional<std::int64_t> samples = avi::SoundSamples(soundPath);
        const std::int64_t length = std::max<std::int64_t>(samples.value_or(0), 0);
        if (samples) {
            place.Milliseconds = project::SampleMilliseconds(*samples);
        }
        constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
        m_end = length > kMax - place.StartSample ? kMax : place.StartSample + length;
        return place;
    }

private:
    FrameRate m_rate;
    std::int64_t m_end = 0;
};

// Output gathered into pieces of this size, so that millions of short lines cost few writes.
constexpr std::size_t kOutputPiece = 64 * 1024;

void PassOn(std::string& piece, std::ostream& out, bool always = false)
{
    if (always || piece.size() >= kOutputPiece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        piece.clear();
    }
}

// Seconds rounded to the millisecond: "2.5", "0", "12.021".
std::string SampleSeconds(std::int64_t sample)
{
    const std::int64_t milliseconds = project::SampleMilliseconds(sample);
    std::string text = std::to_string(milliseconds / 1000);
    if (milliseconds % 1000 != 0) {
        std::string fraction = std::to_string(1000 + milliseconds % 1000).substr(1);
        while (fraction.back() == '0') {
            fraction.pop_back();
        }
        text += "." + fraction;
    }
    return text;
}

}  // namespace

namespace {

// "key": text, and "key_hex": its bytes when the text is not UTF-8, so that a script can still
// name the file exactly.
std::string JsonText(const std::string& key, const std::string& text)
{
    std::string json = "\"" + key + "\": " + JsonString(text);
    if (!IsValidUtf8(text)) {
        json += ", \"" + key + "_hex\": \"";
        for (const char letter : text) {
            json += HexByte(static_cast<std::uint8_t>(letter));
        }
        json += "\"";
    }
    return json;
}

const char* JsonBool(bool value)
{
    return value ? "true" : "false";
}

std::string FontJson(const project::FontChoice& font)
{
    return "{" + JsonText("family", font.Family) + ", \"bold\": " + JsonBool(font.Bold) +
           ", \"italic\": " + JsonBool(font.Italic) + "}";
}

std::string CaptionJson(const project::Caption& caption)
{
    return "{" + JsonText("text", caption.Text) + ", \"position\": \"" +
           std::string(project::TextPositionName(caption.Position)) +
           "\", \"size_percent\": " + project::FormatTextSize(caption.Size) + ", \"colour\": \"" +
           ColourText(caption.Colour) + "\", \"style\": \"" + std::string(project::ReadabilityName(caption.Style)) +
           "\", \"box\": \"" + ColourText(caption.Box) + "\", \"font\": " + FontJson(caption.Font) + "}";
}

std::string TitleJson(const project::Title& title)
{
    return "{" + JsonText("text", title.Text) + ", " + JsonText("subtitle", title.Subtitle) + ", \"background\": \"" +
           (title.BlurredBackground ? std::string("blur") : ColourText(title.Background)) +
           "\", \"font\": " + FontJson(title.Font) + "}";
}

}  // namespace

void DescribeProject(const std::string& path, std::ostream& out)
{
    const ProjectRecords records(path);
    const ProjectHeader& header = records.Header();
    const FrameRate rate = project::GetFrameRate(header);
    const std::string destination = project::GetText(header.AviFileName);
    out << "Size: " << header.Width.Get() << "x" << header.Height.Get() << "\n";
    out << "Colour depth: " << DepthText(header) << "\n";
    out << "Frames per second: " << RateText(header) << "\n";
    if (header.Background != decltype(header.Background){}) {
        out << "Background: " << BackgroundText(header) << "\n";
    }
    if (header.SmoothScaling != 0) {
        out << "Smooth scaling: yes\n";
    }
    if (const project::PictureDefaults defaults = project::GetPictureDefaults(header);
        defaults != project::PictureDefaults{}) {
        out << "Added pictures: " << DefaultsText(defaults) << "\n";
    }
    out << "Destination: " << (destination.empty() ? std::string("not set") : Printable(destination)) << "\n";
    out << "Compressor: " << CompressorText(header.CodecSettings) << "\n";
    out << "Play after generation: " << (header.PlayAfterCreate != 0 ? "yes" : "no") << "\n";
    // A project of one frame per picture at a whole rate keeps the lines it always had.
    if (rate.Numerator > 0) {
        bool timed = rate.Denominator != 1;
        project::Timeline timeline(rate);
        for (std::int32_t i = 0; i < records.Count(); ++i) {
            const FrameRecord record = records.At(i);
            timed = timed || record.Duration != 0;
            if (!project::TakesNoVideoTime(record)) {
                timeline.Advance(record.Duration);
            }
        }
        if (timed) {
            out << "Length: " << project::VideoLengthText(timeline.Frames(), rate) << "\n";
        }
    }
    out << "Frames: " << records.Count() << "\n";
    std::string piece;
    for (std::int32_t i = 0; i < records.Count(); ++i) {
        const FrameRecord record = records.At(i);
        const std::string picture = Printable(project::GetText(record.PictureFileName));
        if (project::IsSoundRecord(record)) {
            piece += std::to_string(i) + "\tsound\t" + picture + "\n";
        } else if (project::IsCaptionRecord(record)) {
            piece += std::to_string(i) + "\tcaption\t" + CaptionText(project::GetCaption(record)) + "\n";
        } else {
            const bool title = project::IsTitleRecord(record);
            piece += std::to_string(i) + "\t" +
                     (title ? "title\t" + TitleText(project::GetTitle(record)) : FitText(record) + "\t" + picture);
            if (record.Duration != 0) {
                piece += "\tduration " + project::FormatSeconds(record.Duration) + " s";
            }
            if (record.Crossfade != 0) {
                piece += "\tcrossfade " + project::FormatSeconds(record.Crossfade) + " s";
            }
            if (const project::Motion motion = project::GetMotion(record); motion.Kind != project::MotionKind::None) {
                piece += "\tmotion " + project::FormatMotion(motion);
                if (motion.Ease != project::Easing::Linear) {
                    piece += "\teasing " + std::string(project::EasingName(motion.Ease));
                }
            }
            piece += "\n";
        }
        PassOn(piece, out);
    }
    PassOn(piece, out, true);
}

std::string DescribeProject(const std::string& path)
{
    std::ostringstream out;
    DescribeProject(path, out);
    return out.str();
}

void DescribeProjectJson(const std::string& path, std::ostream& out)
{
    const ProjectRecords records(path);
    const ProjectHeader& header = records.Header();
    const FrameRate rate = project::GetFrameRate(header);
    std::int64_t totalFrames = 0;
    {
        project::Timeline timeline(rate);
        for (std::int32_t i = 0; i < records.Count(); ++i) {
            const FrameRecord record = records.At(i);
            if (!project::TakesNoVideoTime(record)) {
                timeline.Advance(record.Duration);
            }
        }
        totalFrames = timeline.Frames();
    }
    const project::CodecSettings& codec = header.CodecSettings;
    const bool chosen = codec != project::CodecSettings{};
    out << "{\n";
    out << "  \"width\": " << header.Width.Get() << ",\n";
    out << "  \"height\": " << header.Height.Get() << ",\n";
    out << "  \"depth\": " << project::ColorDepthBits(header) << ",\n";
    out << "  \"fps\": " << JsonString(RateText(header)) << ",\n";
    out << "  \"fps_numerator\": " << rate.Numerator << ",\n";
    out << "  \"fps_denominator\": " << rate.Denominator << ",\n";
    out << "  " << JsonText("destination", project::GetText(header.AviFileName)) << ",\n";
    out << "  \"compressor\": " << (chosen ? JsonString(avi::FourccText(codec.Handler)) : "null") << ",\n";
    out << "  \"quality\": "
        << (chosen && codec.Quality <= avi::kQualityMax ? std::to_string(avi::PercentFromQuality(codec.Quality))
                                                        : "null")
        << ",\n";
    out << "  \"play_after_generation\": " << JsonBool(header.PlayAfterCreate != 0) << ",\n";
    out << "  \"background\": \"" << BackgroundText(header) << "\",\n";
    out << "  \"smooth_scaling\": " << JsonBool(header.SmoothScaling != 0) << ",\n";
    const project::PictureDefaults defaults = project::GetPictureDefaults(header);
    out << "  \"picture_defaults\": {\"duration\": " << JsonString(project::FormatSeconds(defaults.Duration))
        << ", \"fit\": "
        << JsonString(std::string(project::FitModeName(defaults.Fit.value_or(project::FitMode::Stretch))))
        << ", \"crossfade\": " << JsonString(project::FormatSeconds(defaults.Crossfade))
        << ", \"motion\": " << JsonString(defaults.Motion == project::MotionKind::Automatic ? "auto" : "none")
        << "},\n";
    out << "  \"total_frames\": " << totalFrames << ",\n";
    out << "  \"length\": " << (rate.Numerator > 0 ? JsonString(project::VideoLengthText(totalFrames, rate)) : "null")
        << ",\n";
    out << "  \"frames\": [";
    const std::string folder = project::ProjectFolder(path);
    project::Timeline timeline(rate);
    SoundPlacer sounds(rate);
    std::string piece;
    for (std::int32_t i = 0; i < records.Count(); ++i) {
        const FrameRecord record = records.At(i);
        const std::string picture = project::GetText(record.PictureFileName);
        const bool caption = project::IsCaptionRecord(record);
        const bool title = project::IsTitleRecord(record);
        // A caption's or title's text names no file.
        piece += (i == 0 ? "\n" : ",\n") + std::string("    {\"index\": ") + std::to_string(i) + ", " +
                 (caption || title ? std::string("\"path\": null") : JsonText("path", picture));
        const std::int64_t start = timeline.Frames();
        if (caption) {
            piece += ", \"caption\": " + CaptionJson(project::GetCaption(record)) + "}";
            PassOn(piece, out);
            continue;
        }
        if (title) {
            piece += ", \"title\": " + TitleJson(project::GetTitle(record));
        }
        if (project::IsSoundRecord(record)) {
            piece += ", \"sound\": true";
            // A rate that is not positive places no sound.
            if (rate.Numerator > 0) {
                const SoundPlacer::Place place = sounds.Next(project::ResolveRecordPath(picture, folder), start);
                piece += ", \"cue_frame\": " + std::to_string(start) +
                         ", \"start_sample\": " + std::to_string(place.StartSample) +
                         ", \"start_seconds\": " + SampleSeconds(place.StartSample) +
                         ", \"length_ms\": " + (place.Milliseconds ? std::to_string(*place.Milliseconds) : "null");
            }
            piece += "}";
            PassOn(piece, out);
            continue;
        }
        const std::int64_t count = timeline.Advance(record.Duration) - start;
        // A crossfade blends from the picture before, so the first picture has none.
        const std::int64_t crossfadeFrames = start > 0 ? project::CrossfadeFrames(record.Crossfade, rate, count) : 0;
        // "stretch" stays for the scripts that read it, true only when the picture is stretched:
        // a letterboxed or cropped picture keeps the Stretch byte set for older readers.
        const project::FitMode fit = project::GetFit(record);
        piece += ", \"stretch\": " + std::string(JsonBool(fit == project::FitMode::Stretch)) + ", \"fit\": \"" +
                 std::string(project::FitModeName(fit)) +
                 "\", \"duration_ms\": " + std::to_string(record.Duration.Get()) +
                 ", \"crossfade_ms\": " + std::to_string(record.Crossfade.Get()) +
                 ", \"start_frame\": " + std::to_string(start) + ", \"frame_count\": " + std::to_string(count) +
                 ", \"crossfade_frames\": " + std::to_string(crossfadeFrames) + ", \"motion\": \"" +
                 project::FormatMotion(project::GetMotion(record)) + "\", \"easing\": \"" +
                 std::string(project::EasingName(project::GetMotion(record).Ease)) + "\"}";
        PassOn(piece, out);
    }
    PassOn(piece, out, true);
    out << (records.Count() == 0 ? "]\n" : "\n  ]\n") << "}\n";
}

std::string DescribeProjectJson(const std::string& path)
{
    std::ostringstream out;
    DescribeProjectJson(path, out);
    return out.str();
}

}  // namespace kinetar::cli
