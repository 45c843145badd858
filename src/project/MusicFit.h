#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::project {

// A sound record's length in samples at kSoundSampleRate; nothing when its file cannot be read.
using SoundLengthOf = std::function<std::optional<std::int64_t>(std::int32_t record)>;

// Where the music of a show ends: its sounds placed as the render places them, each from its cue
// or from where the one before it ends when that is later. A sound cued at the video's end (after
// the last picture) is never heard and counts for nothing.
std::int64_t MusicEndSample(std::span<const FrameRecord> records, FrameRate rate, const SoundLengthOf& soundLength);

struct MusicFit {
    std::vector<FrameRecord> Records;  // the project's records with the pictures' new durations
    std::int64_t VideoFrames = 0;
    std::int64_t MusicEnd = 0;  // in samples
};

// The pictures' (and title cards') durations set so that the video ends on the frame where its
// music ends: equal
// (to the millisecond; exactly equal where the frame allows) or, with keepRatios, in the ratios
// of the durations they had (one frame for a duration of 0). Crossfades and sounds stay as they
// are. Throws Error when there is no picture, no music that is heard, or no durations of at most
// a day make the lengths agree.
MusicFit FitPicturesToMusic(std::span<const FrameRecord> records, FrameRate rate, bool keepRatios,
                            const SoundLengthOf& soundLength);

}  // namespace kinetar::project
