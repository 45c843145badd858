#include "avi/engine/StillFrame.h"

#include <charconv>
#include <vector>

#include "avi/engine/FrameText.h"
#include "avi/engine/ShowFrames.h"
#include "avi/frames/ShownPicture.h"
#include "common/Error.h"
#include "project/FrameRecordReader.h"
#include "project/Motion.h"
#include "project/TextRecords.h"

namespace kinetar::avi {

namespace {

__extension__ typedef unsigned __int128 Wide;

// A picture or title record and its place in the video.
struct Placed {
    project::FrameRecord Record;
    std::int64_t Number = 0;  // among the pictures and titles
    std::int64_t Start = 0;
    std::int64_t End = 0;
    std::vector<project::FrameRecord> Captions;  // the caption records before it
    std::int64_t PictureIndex = 0;               // among the picture records
    std::string NextPicture;                     // for a title's blurred background
};

ShownPicture Show(const Placed& placed, const project::ProjectHeader& header, std::int64_t pictureCount,
                  std::int32_t width, std::int32_t height)
{
    std::shared_ptr<const pictures::DecodedPicture> picture =
        LoadFramePicture(placed.Record, header, placed.NextPicture,
                         PictureRequestFor(header, placed.Record, width, height), width, height);
    ShownPicture shown = MakeShownPicture(std::move(picture), header, placed.Record, placed.Number,
                                          placed.End - placed.Start, width, height);
    shown.Captions = DrawCaptions(placed.Captions, placed.Record, placed.PictureIndex, pictureCount, width, height);
    return shown;
}

}  // namespace

std::unique_ptr<WorkingFrame> MakeStill(const project::ProjectHeader& header, const std::string& workingCopyPath,
                                        std::int64_t frame)
{
    const project::FrameRate rate = project::GetFrameRate(header);
    const project::FrameRecordReader records(workingCopyPath, project::FrameRecordReader::Reading::InBlocks);
    const std::int64_t pictureCount = project::SummariseTimeline(records, rate).Pictures;
    project::Timeline timeline(rate);
    std::optional<Placed> previous;
    std::optional<Placed> current;
    std::int64_t number = 0;
    std::int64_t pictureIndex = 0;
    std::vector<project::FrameRecord> captions;
    project::FrameRecord record;
    for (std::int32_t i = 0; i < records.Count() && records.Read(i, record); ++i) {
        if (project::IsCaptionRecord(record)) {
            captions.push_back(record);
        }
        if (project::TakesNoVideoTime(record)) {
            continue;
        }
        const std::int64_t start = timeline.Frames();
        Placed placed{record, number++, start, timeline.Advance(record.Duration), std::move(captions), 0, {}};
        captions.clear();
        if (project::IsPictureRecord(record)) {
            placed.PictureIndex = pictureIndex++;
        } else {
            placed.NextPicture = NextPicturePath(records, i + 1);
        }
        if (frame < placed.End) {
            current = placed;
            break;
        }
        previous = placed;
    }
    if (!current || frame < 0) {
        throw Error("The video has " + std::to_string(timeline.Frames()) + " frames; there is no frame " +
                    std::to_string(frame));
    }
    auto still = std::make_unique<WorkingFrame>(header.Width, header.Height);
    const auto unreadable = [&](const Placed& placed, const Error& error) {
        return Error("Frame " + std::to_string(frame) + " shows " + project::GetText(placed.Record.PictureFileName) +
                     ", which cannot be read: " + error.what());
    };
    ShownPicture shown;
    try {
        shown = Show(*current, header, pictureCount, still->Width(), still->Height());
    } catch (const Error& error) {
        throw unreadable(*current, error);
    }
    const std::int64_t k = frame - current->Start;
    const std::int64_t fade =
        previous ? project::CrossfadeFrames(current->Record.Crossfade, rate, current->End - current->Start) : 0;
    std::optional<ShownPicture> before;
    if (k < fade) {
        try {
            before = Show(*previous, header, pictureCount, still->Width(), still->Height());
        } catch (const Error&) {
            // Left out by the render too, which cuts in after it.
        }
    }
    ComposeShowFrame(&shown, before ? &*before : nullptr, k, fade, FitOptionsFor(header, current->Record).Background,
                     *still);
    return still;
}

std::optional<std::int64_t> ParseFramePosition(std::string_view text, project::FrameRate rate)
{
    if (!text.empty() && text.front() == '#') {
        std::int64_t index = 0;
        const auto [end, error] = std::from_chars(text.data() + 1, text.data() + text.size(), index);
        if (error != std::errc() || end != text.data() + text.size() || text.size() == 1 || index < 0) {
            return std::nullopt;
        }
        return index;
    }
    // Hours and minutes before the seconds, each whole.
    std::uint64_t wholeMinutes = 0;
    std::size_t parts = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            break;
        }
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + colon, value);
        if (error != std::errc() || end != text.data() + colon || colon == 0 || ++parts > 2 || value > 100'000) {
            return std::nullopt;
        }
        wholeMinutes = wholeMinutes * 60 + value;
        text.remove_prefix(colon + 1);
    }
    const auto seconds = project::ParseSeconds(text);
    if (!seconds) {
        return std::nullopt;
    }
    // The frame showing at that moment: frame k shows from k / rate on.
    const std::uint64_t milliseconds = wholeMinutes * 60'000 + *seconds;
    if (rate.Numerator == 0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(Wide{milliseconds} * rate.Numerator / (Wide{1000} * rate.Denominator));
}

}  // namespace kinetar::avi
