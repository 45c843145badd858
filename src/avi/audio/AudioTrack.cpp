// The sound track: the sounds placed by their cues, one after another with silence between them,
// cut at the video's end with a fade-out, and handed to the encoder a piece at a time.

#include "avi/audio/AudioTrack.h"

#include <algorithm>
#include <array>

#include "avi/audio/AudioStages.h"
#include "common/Error.h"

namespace kinetar::avi {

namespace {

using audio::kChannels;
using audio::kSampleRate;

constexpr std::int64_t kFadeSamples = kSampleRate;

struct Sound {
    std::int32_t Record = 0;
    std::int64_t Cue = 0;  // the sample of its cue
};

}  // namespace

struct AudioTrack::State {
    std::vector<Sound> Sounds;
    AudioTrack::SoundPathOf PathOf;
    std::int64_t Total = 0;
    std::int64_t FadeStart = 0;
    audio::AudioEncoder Out;

    // Making the track: the next sample made, the sound playing, where the last sound ended.
    std::int64_t Position = 0;
    std::size_t NextSound = 0;
    std::unique_ptr<audio::SoundDecoder> Playing;
    std::int64_t LastEnd = 0;
    bool Faded = false;

    // Samples made but not yet encoded, interleaved stereo; the first is sample Pending.
    std::vector<float> Waiting;
    std::int64_t Pending = 0;

    explicit State(AudioCodec codec) : Out(codec) {}

    // Makes count samples of the track from Position on, onto the end of Waiting.
    void Make(std::int64_t count)
    {
        const std::size_t at = Waiting.size();
        Waiting.resize(at + static_cast<std::size_t>(count * kChannels), 0.0F);
        float* out = Waiting.data() + at;
        while (count > 0) {
            if (Playing == nullptr && NextSound < Sounds.size() &&
                std::max(Sounds[NextSound].Cue, LastEnd) <= Position) {
                try {
                    Playing = std::make_unique<audio::SoundDecoder>(PathOf(Sounds[NextSound].Record));
                } catch (const Error&) {
                    // Readable when the track was made, gone since: it plays as silence of no length.
                    ++NextSound;
                    LastEnd = Position;
                    continue;
                }
            }
            std::int64_t made = 0;
            if (Playing != nullptr) {
                made = Playing->Read(out, count);
                if (made < count) {
                    Playing.reset();
                    ++NextSound;
                    LastEnd = Position + made;
                }
            } else {
                // Silence (already zero) up to the next sound's start.
                const std::int64_t next =
                    NextSound < Sounds.size() ? std::max(Sounds[NextSound].Cue, LastEnd) : Position + count;
                made = std::min(count, next - Position);
            }
            out += made * kChannels;
            count -= made;
            Position += made;
        }
    }

    // Makes the track up to the given sample. Once the fade is reached, the track is made to its end
    // at once (at most a second more), as only there can be seen whether a sound is cut.
    void MakeUntil(std::int64_t sample)
    {
        if (sample > FadeStart) {
            sample = Total;
        }
        if (Position < sample) {
            Make(sample - Position);
        }
        if (Position == Total && !Faded) {
            Faded = true;
            std::array<float, kChannels> next{};
            const bool cut = Playing != nullptr && Playing->Read(next.data(), 1) == 1;
            Playing.reset();
            if (cut) {
                ApplyFade();
            }
        }
    }

    // A linear fade over the track's last samples, reaching 0 exactly at the last one.
    void ApplyFade()
    {
        const std::int64_t length = Total - FadeStart;
        for (std::int64_t sample = std::max(FadeStart, Pending); sample < Total; ++sample) {
            const float gain =
                length > 1 ? static_cast<float>(Total - 1 - sample) / static_cast<float>(length - 1) : 0.0F;
            const auto at = static_cast<std::size_t>((sample - Pending) * kChannels);
            for (int channel = 0; channel < kChannels; ++channel) {
                Waiting[at + static_cast<std::size_t>(channel)] *= gain;
            }
        }
    }

    // Encodes count waiting samples and drops them.
    bool EncodeWaiting(std::int64_t count, const AudioPacketSink& sink)
    {
        const bool written = Out.Encode(Waiting.data(), count, Pending, sink);
        Waiting.erase(Waiting.begin(), Waiting.begin() + static_cast<std::ptrdiff_t>(count * kChannels));
        Pending += count;
        return written;
    }
};

AudioTrack::AudioTrack(std::unique_ptr<State> state) : m_state(std::move(state)) {}

AudioTrack::~AudioTrack() = default;

std::unique_ptr<AudioTrack> AudioTrack::Make(std::span<const project::FrameRecord> records, project::FrameRate rate,
                                             std::int64_t videoFrames, AudioCodec codec,
                                             const SoundErrorQuestion& skipUnreadable, bool* stopped)
{
    const std::vector<project::SoundCue> cues = project::SoundCues(records, rate);
    // The track may outlive the records.
    std::vector<std::string> paths(records.size());
    for (const project::SoundCue& cue : cues) {
        paths[static_cast<std::size_t>(cue.Record)] =
            project::GetText(records[static_cast<std::size_t>(cue.Record)].PictureFileName);
    }
    const auto pathOf = [paths = std::move(paths)](std::int32_t record) {
        return paths[static_cast<std::size_t>(record)];
    };
    return Make(cues, pathOf, rate, videoFrames, codec, skipUnreadable, stopped);
}

std::unique_ptr<AudioTrack> AudioTrack::Make(std::span<const project::SoundCue> cues, SoundPathOf pathOf,
                                             project::FrameRate rate, std::int64_t videoFrames, AudioCodec codec,
                                             const SoundErrorQuestion& skipUnreadable, bool* stopped)
{
    std::vector<Sound> sounds;
    // A project naming one song many times opens it once here.
    std::string lastReadable;
    for (const project::SoundCue& cue : cues) {
        const std::string path = pathOf(cue.Record);
        if (sounds.empty() || path != lastReadable) {
            try {
                audio::SoundDecoder check(path);
            } catch (const Error& error) {
                if (skipUnreadable && !skipUnreadable(error.what(), path)) {
                    if (stopped != nullptr) {
                        *stopped = true;
                    }
                    return nullptr;
                }
                continue;
            }
            lastReadable = path;
        }
        sounds.push_back({cue.Record, project::SampleAtFrame(cue.Frame, rate)});
    }
    if (sounds.empty()) {
        return nullptr;
    }
    auto state = std::make_unique<State>(codec);
    state->Sounds = std::move(sounds);
    state->PathOf = std::move(pathOf);
    state->Total = project::SampleAtFrame(videoFrames, rate);
    state->FadeStart = state->Total - std::min(kFadeSamples, state->Total / 2);
    return std::unique_ptr<AudioTrack>(new AudioTrack(std::move(state)));
}

const AudioStreamFormat& AudioTrack::Format() const
{
    return m_state->Out.Format();
}

std::int64_t AudioTrack::TotalSamples() const
{
    return m_state->Total;
}

bool AudioTrack::EncodeUntil(std::int64_t sample, const AudioPacketSink& sink)
{
    State& state = *m_state;
    const std::int64_t target = std::clamp<std::int64_t>(sample, 0, state.Total);
    const std::int64_t frame = state.Out.FrameSize();
    const bool wholeFrames = state.Out.Format().FrameSize > 0;
    while (state.Pending < target) {
        const std::int64_t count = std::min(frame, target - state.Pending);
        if (wholeFrames && count < frame) {
            break;
        }
        state.MakeUntil(state.Pending + count);
        if (!state.EncodeWaiting(count, sink)) {
            return false;
        }
    }
    return true;
}

bool AudioTrack::Finish(const AudioPacketSink& sink)
{
    return FinishAt(m_state->Total, sink);
}

bool AudioTrack::FinishAt(std::int64_t sample, const AudioPacketSink& sink)
{
    State& state = *m_state;
    // A fade already made for the planned end stays on the samples that remain; a stop before the
    // fade gets none, as the fade starts past the new end.
    state.Total = std::clamp(sample, state.Pending, state.Total);
    if (!EncodeUntil(state.Total, sink)) {
        return false;
    }
    if (state.Pending < state.Total) {
        state.MakeUntil(state.Total);
        if (!state.EncodeWaiting(state.Total - state.Pending, sink)) {
            return false;
        }
    }
    return state.Out.Flush(sink);
}

}  // namespace kinetar::avi
