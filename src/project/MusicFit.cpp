#include "project/MusicFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

#include "common/Error.h"
#include "project/TextRecords.h"

namespace kinetar::project {
namespace {

// The frame count whose end lies nearest to the sample: round(sample x rate / 48000).
std::int64_t FramesAtSample(std::int64_t sample, FrameRate rate)
{
    __extension__ using Wide = __int128;
    const Wide scaled = static_cast<Wide>(sample) * rate.Numerator;
    const Wide per = static_cast<Wide>(kSoundSampleRate) * rate.Denominator;
    return static_cast<std::int64_t>((2 * scaled + per) / (2 * per));
}

std::int64_t PlacedEnd(std::span<const FrameRecord> records, FrameRate rate,
                       const std::map<std::int32_t, std::int64_t>& lengths)
{
    const std::int64_t videoFrames = VideoFrameCount(records, rate);
    std::vector<SoundCue> heard;
    std::vector<std::int64_t> heardLengths;
    for (const SoundCue& cue : SoundCues(records, rate)) {
        if (cue.Frame < videoFrames) {
            heard.push_back(cue);
            const auto length = lengths.find(cue.Record);
            heardLengths.push_back(length == lengths.end() ? 0 : length->second);  // unreadable: left out
        }
    }
    return SoundStarts(heard, heardLengths, rate).back();
}

std::map<std::int32_t, std::int64_t> SoundLengths(std::span<const FrameRecord> records,
                                                  const SoundLengthOf& soundLength)
{
    std::map<std::int32_t, std::int64_t> lengths;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (IsSoundRecord(records[i])) {
            if (const auto samples = soundLength(static_cast<std::int32_t>(i)); samples && *samples > 0) {
                lengths[static_cast<std::int32_t>(i)] = *samples;
            }
        }
    }
    return lengths;
}

}  // namespace

std::int64_t MusicEndSample(std::span<const FrameRecord> records, FrameRate rate, const SoundLengthOf& soundLength)
{
    return PlacedEnd(records, rate, SoundLengths(records, soundLength));
}

MusicFit FitPicturesToMusic(std::span<const FrameRecord> records, FrameRate rate, bool keepRatios,
                            const SoundLengthOf& soundLength)
{
    std::vector<std::size_t> pictures;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!TakesNoVideoTime(records[i])) {  // pictures and title cards
            pictures.push_back(i);
        }
    }
    if (pictures.empty()) {
        throw Error("The project has no picture to fit to its music");
    }
    const auto lengths = SoundLengths(records, soundLength);
    if (lengths.empty()) {
        throw Error("The project has no music that can be read");
    }
    // A sound after the last picture is cued at the video's end, whatever the durations.
    if (lengths.begin()->first > static_cast<std::int32_t>(pictures.back())) {
        throw Error("The music comes after the last picture, where it is never heard; move it before the pictures");
    }
    const auto count = static_cast<std::int64_t>(pictures.size());
    // What each picture's share is weighed by when the ratios are kept: its duration, or one
    // frame's milliseconds for a picture shown for one frame.
    const std::int64_t frameMilliseconds =
        std::max<std::int64_t>(std::llround(1000.0 * rate.Denominator / rate.Numerator), 1);
    std::vector<std::int64_t> weights;
    std::int64_t weightSum = 0;
    for (const std::size_t at : pictures) {
        const std::int64_t duration = records[at].Duration;
        weights.push_back(keepRatios && duration != 0 ? duration : keepRatios ? frameMilliseconds : 1);
        weightSum += weights.back();
    }

    std::vector<FrameRecord> fitted(records.begin(), records.end());
    enum class Spread { Done, TooShort, TooLong };
    // The records with durations summing to total milliseconds, unless a picture would get none
    // or more than a day.
    const auto spread = [&](std::int64_t total) {
        __extension__ using Wide = __int128;
        std::int64_t before = 0;
        Wide cumulative = 0;
        for (std::size_t k = 0; k < pictures.size(); ++k) {
            cumulative += weights[k];
            const auto upTo = static_cast<std::int64_t>((2 * cumulative * total + weightSum) / (2 * weightSum));
            const std::int64_t duration = upTo - before;
            before = upTo;
            if (duration < 1 || duration > kMaxMilliseconds) {
                return duration < 1 ? Spread::TooShort : Spread::TooLong;
            }
            fitted[pictures[k]].Duration = static_cast<std::uint32_t>(duration);
        }
        return Spread::Done;
    };
    // How many frames the video is longer than its music with that total; the video grows with
    // the total faster than the music does (a sound moves with the pictures before it only).
    // Totals that give a picture no time count as too short, those past a day as too long.
    constexpr std::int64_t kFar = std::numeric_limits<std::int64_t>::max();
    const auto excess = [&](std::int64_t total) {
        switch (spread(total)) {
        case Spread::TooShort:
            return -kFar;
        case Spread::TooLong:
            return kFar;
        case Spread::Done:
            break;
        }
        return VideoFrameCount(fitted, rate) - FramesAtSample(PlacedEnd(fitted, rate, lengths), rate);
    };

    std::int64_t low = count;  // a millisecond each
    std::int64_t high = count * kMaxMilliseconds;
    if (const std::int64_t shortest = excess(low); shortest > 0 && shortest != kFar) {
        throw Error("The music is too short for " + std::to_string(count) + " pictures");
    }
    if (excess(high) < 0) {
        throw Error("The music is longer than " + std::to_string(count) + " pictures of a day each");
    }
    while (low + 1 < high) {  // excess(low) < 0 or low is the first total, excess(high) >= 0
        const std::int64_t middle = low + (high - low) / 2;
        (excess(middle) >= 0 ? high : low) = middle;
    }
    if (excess(low) >= 0) {
        high = low;
    }
    // Among the totals that end the video on the music's last frame, one all pictures share
    // evenly if the frame allows it, and of those the one whose pictures end nearest to where the
    // music does.
    std::optional<std::int64_t> chosen;
    std::pair<bool, std::int64_t> best{};
    for (std::int64_t total = high; total < high + 2 * frameMilliseconds + count && excess(total) == 0; ++total) {
        const std::int64_t musicMilliseconds = SampleMilliseconds(PlacedEnd(fitted, rate, lengths));
        const std::pair<bool, std::int64_t> score{!keepRatios && total % count != 0,
                                                  std::abs(total - musicMilliseconds)};
        if (!chosen || score < best) {
            chosen = total;
            best = score;
        }
    }
    if (!chosen || spread(*chosen) != Spread::Done) {
        throw Error("No durations end the video on the frame where its music ends");
    }
    return {fitted, VideoFrameCount(fitted, rate), PlacedEnd(fitted, rate, lengths)};
}

}  // namespace kinetar::project
