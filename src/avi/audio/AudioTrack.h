#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

// 16-bit PCM for AVI, AAC for MP4 and QuickTime, Opus for Matroska and WebM.
enum class AudioCodec { Pcm16, Aac, Opus };

// What a container needs to describe the sound stream.
struct AudioStreamFormat {
    std::string CodecName;  // "pcm_s16le", "aac", "opus"
    int SampleRate = 48'000;
    int Channels = 2;
    std::vector<std::uint8_t> Extradata;  // the codec's global header, empty for PCM
    int FrameSize = 0;                    // samples per packet; 0 for PCM, whose packets vary
    int InitialPadding = 0;               // priming samples the player drops at the start
    std::int64_t BitRate = 0;
};

// One encoded packet. Data lives only for the call of the sink it is handed to.
struct AudioPacket {
    std::span<const std::uint8_t> Data;
    std::int64_t Pts = 0;  // in samples at 48 kHz; below 0 by the priming for AAC and Opus
    std::int64_t Duration = 0;
};
// Takes one packet; false when it could not be written, which stops the encoding.
using AudioPacketSink = std::function<bool(const AudioPacket&)>;
// Asked with a message naming the file when a sound cannot be read; true leaves the sound out and
// goes on, false stops the run.
using SoundErrorQuestion = std::function<bool(const std::string& message, const std::string& path)>;

inline constexpr const char* kCantReadSound = "Can't read sound file ";
inline constexpr const char* kCantEncodeSound = "Can't encode the sound track with ";

// A sound file's length in samples at 48 kHz exactly as the track plays it, the priming and padding
// its file marks left out. Nothing when it cannot be read. Where the container gives each packet's
// exact duration, only a few packets at each end are decoded; otherwise the whole file is.
std::optional<std::int64_t> SoundSamples(const std::string& path);

// The sound track of a video: the sound records' files decoded, resampled to 48 kHz stereo, placed
// by their cues one after another, silence between them, cut at the video's end with a fade-out,
// and encoded. Decoding streams a piece at a time; no song is ever held whole.
class AudioTrack {
public:
    // The track for a video of videoFrames frames. Every sound file is opened first; one that
    // cannot be read is put to the question (none: left out). Returns nothing when there is no
    // sound record or every sound was left out, and also, with stopped set to true, when the
    // question answered false. Throws Error when the encoder cannot be opened.
    static std::unique_ptr<AudioTrack> Make(std::span<const project::FrameRecord> records, project::FrameRate rate,
                                            std::int64_t videoFrames, AudioCodec codec,
                                            const SoundErrorQuestion& skipUnreadable = {}, bool* stopped = nullptr);
    // The same from the sound records' cues, each record's path asked for when it is needed, so the
    // track holds no path of its own: pathOf must answer for as long as the track lives.
    using SoundPathOf = std::function<std::string(std::int32_t record)>;
    static std::unique_ptr<AudioTrack> Make(std::span<const project::SoundCue> cues, SoundPathOf pathOf,
                                            project::FrameRate rate, std::int64_t videoFrames, AudioCodec codec,
                                            const SoundErrorQuestion& skipUnreadable = {}, bool* stopped = nullptr);
    ~AudioTrack();
    AudioTrack(const AudioTrack&) = delete;
    AudioTrack& operator=(const AudioTrack&) = delete;

    const AudioStreamFormat& Format() const;
    // The track's length: exactly the video's, in samples.
    std::int64_t TotalSamples() const;

    // Encodes the track up to the given sample (exclusive; clamped to the track's length) and hands
    // every packet finished so far to the sink. AAC and Opus encode whole frames only, so up to a
    // frame stays pending until a later call. False when the sink refused a packet.
    bool EncodeUntil(std::int64_t sample, const AudioPacketSink& sink);
    // Encodes the rest of the track, to the video's end, and flushes the encoder.
    bool Finish(const AudioPacketSink& sink);
    // Ends the track early where a stopped run's video ends, without a fade, and flushes the
    // encoder. Never before the samples already encoded (up to a frame more for AAC and Opus).
    bool FinishAt(std::int64_t sample, const AudioPacketSink& sink);

    struct State;

private:
    explicit AudioTrack(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

}  // namespace kinetar::avi
