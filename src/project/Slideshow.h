#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "project/ProjectFile.h"

// The slideshow settings of a project: how long each picture shows, how it fits the frame, the
// exact frame rate. Both front ends and the engine read and write them only through here.
namespace kinetar::project {

enum class FitMode : std::uint8_t { Stretch, TopLeft, Letterbox, Crop, Centre, Blur };

// A Fit byte of 0 (or one this program does not know) follows the Stretch byte.
FitMode GetFit(const FrameRecord& record);
// Also sets the Stretch byte to what a reader that knows only Stretch should do: stretch for the
// scaling modes, the unscaled copy for top-left and centre.
void SetFit(FrameRecord& record, FitMode mode);
// "stretch", "top-left", "letterbox", "crop", "centre".
std::string_view FitModeName(FitMode mode);
std::optional<FitMode> FitModeFromName(std::string_view name);

// Frames per second as an exact fraction, both parts positive.
struct FrameRate {
    std::uint32_t Numerator = 1;
    std::uint32_t Denominator = 1;
    bool operator==(const FrameRate&) const = default;
};

// The header's rate, a zero denominator meaning 1. Numerator 0 when FramesPerSecond is not
// positive.
FrameRate GetFrameRate(const ProjectHeader& header);
// A whole rate is stored with denominator 0, as in a project that has no fractional rate.
void SetFrameRate(ProjectHeader& header, FrameRate rate);
// "25", "29.97", "23.976", "59.94" (the broadcast rates N x 1000/1001), any other decimal as an
// exact fraction in lowest terms ("12.5" is 25/2), or "num/den". Nothing for text that is none of
// these, for a zero rate and for parts beyond the header's fields.
std::optional<FrameRate> ParseFrameRate(std::string_view text);
// The shortest text ParseFrameRate reads back as the same rate: "25", "29.97", "12.5", "10/3".
std::string FormatFrameRate(FrameRate rate);

// The longest duration or crossfade a picture can have: one day.
inline constexpr std::uint32_t kMaxMilliseconds = 86'400'000;
// Decimal seconds ("3", "0.5", "2.002") as whole milliseconds, rounded to the nearest; nothing
// for anything else and for more than kMaxMilliseconds.
std::optional<std::uint32_t> ParseSeconds(std::string_view text);
// Milliseconds as decimal seconds without trailing zeros: "3", "0.5", "2.002".
std::string FormatSeconds(std::uint32_t milliseconds);

// Where each picture starts in the video. Picture i starts at frame
// s_i = max(round(T_i x rate), s_(i-1) + 1), T_i being the exact sum of the durations before it (a
// duration of 0 counting as one frame), and shows until the next one starts.
class Timeline {
public:
    explicit Timeline(FrameRate rate) : m_rate(rate) {}
    // The first frame of the next picture, after one of this duration (in milliseconds).
    std::int64_t Advance(std::uint32_t durationMilliseconds);
    // The first frame of the picture not yet advanced past: the video's length so far.
    std::int64_t Frames() const { return m_start; }

private:
    FrameRate m_rate;
    std::uint64_t m_milliseconds = 0;  // the durations that are not 0
    std::uint64_t m_singleFrames = 0;  // the pictures of duration 0
    std::int64_t m_start = 0;
};

// The frames a crossfade of this many milliseconds takes at the start of a picture shown for span
// frames: round(milliseconds x rate / 1000), at most the span.
std::int64_t CrossfadeFrames(std::uint32_t milliseconds, FrameRate rate, std::int64_t span);

// A record whose first byte is kSoundRecord names a sound file instead of a picture. It takes no
// video time; its sound is cued where the next picture starts.
inline constexpr std::uint8_t kSoundRecord = 1;
bool IsSoundRecord(const FrameRecord& record);
// A record for an added sound file. Refuses a path over 260 bytes, as NewFrameRecord does.
FrameRecord NewSoundRecord(std::string_view soundPath);

// The number of frames of the video the records make; sound and caption records take none.
std::int64_t VideoFrameCount(std::span<const FrameRecord> records, FrameRate rate);

// Where a sound record is cued: the frame where the next picture starts (the video's length when
// no picture follows).
struct SoundCue {
    std::int32_t Record = 0;
    std::int64_t Frame = 0;
    bool operator==(const SoundCue&) const = default;
};
std::vector<SoundCue> SoundCues(std::span<const FrameRecord> records, FrameRate rate);

class FrameRecordReader;
// The video's length and where each sound record is cued, in one walk through the records as the
// reader gives them, so a project of millions of records costs a block of them and a cue per sound.
struct TimelineSummary {
    std::int64_t VideoFrames = 0;
    std::vector<SoundCue> Cues;
    std::int64_t Pictures = 0;  // picture records: not sounds, captions or titles
};
TimelineSummary SummariseTimeline(const FrameRecordReader& records, FrameRate rate);

// Sound is placed and mixed at 48,000 samples a second.
inline constexpr std::int64_t kSoundSampleRate = 48'000;
// The sample where a frame starts: round(frame x 48000 / rate).
std::int64_t SampleAtFrame(std::int64_t frame, FrameRate rate);
// A count of samples in milliseconds, rounded.
std::int64_t SampleMilliseconds(std::int64_t samples);
// Where each cued sound starts, in samples: at its cue, or where the sound before it ends when that
// is later, so sounds cued together play one after another. lengths[i] is the length of cue i's
// sound in samples; the last element of the result is where the last sound ends.
std::vector<std::int64_t> SoundStarts(std::span<const SoundCue> cues, std::span<const std::int64_t> lengths,
                                      FrameRate rate);
// "2:05.3 — 3,133 frames": the video's length in minutes, seconds and tenths (hours in front when
// it has any) and its frames.
std::string VideoLengthText(std::int64_t frames, FrameRate rate);
// "2:05.3": the time at which a frame starts (or a length in frames), as VideoLengthText gives it.
std::string FrameTimeText(std::int64_t frame, FrameRate rate);
// A sample as a time in the same form.
std::string SampleTimeText(std::int64_t sample);

// What the frame list says of a picture's timing: when it appears and how long it shows, and its
// crossfade: "0:03.0 · 3 s", "0:03.1 · 1 frame", "0:06.0 · 3 s · ↔ 0.5 s".
std::string PictureTimingText(std::int64_t startFrame, std::uint32_t durationMilliseconds,
                              std::uint32_t crossfadeMilliseconds, FrameRate rate);
// What it says of a sound: from when it plays and for how long, "▶ 0:03.0 · 2:10.0", or that it
// is never heard (cued at the video's end, after the last picture); its length unknown (not read
// yet, or unreadable) leaves it out.
std::string SoundTimingText(std::int64_t startSample, std::optional<std::int64_t> lengthSamples, bool heard);

}  // namespace kinetar::project
