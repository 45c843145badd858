// Sounds placed by their cues, one after another with silence between them, and cut at the
// video's end with a fade-out.

#include "avi/audio/SoundMix.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

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

struct SoundMix::State {
    std::vector<Sound> Sounds;
    SoundPathOf PathOf;
    std::int64_t Total = 0;
    std::int64_t FadeStart = 0;

    // The next sample made, the sound playing, where the last sound ended.
    std::int64_t Position = 0;
    std::size_t NextSound = 0;
    std::unique_ptr<audio::SoundDecoder> Playing;
    std::int64_t LastEnd = 0;
    bool Faded = false;

    // Samples made but not yet read, interleaved stereo; the first is sample Pending.
    std::vector<float> Waiting;
    std::int64_t Pending = 0;

    // Makes count samples of the mix from Position on, onto the end of Waiting.
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
                    // Readable when the mix was made, gone since: it plays as silence of no length.
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

    // Makes the mix up to the given sample. Once the fade is reached, the mix is made to its end at
    // once (at most a second more), as only there can be seen whether a sound is cut.
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

    // A linear fade over the mix's last samples, reaching 0 exactly at the last one.
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
};

SoundMix::SoundMix(std::unique_ptr<State> state) : m_state(std::move(state)) {}

SoundMix::~SoundMix() = default;

std::unique_ptr<SoundMix> SoundMix::Make(std::span<const project::SoundCue> cues, SoundPathOf pathOf,
                                         project::FrameRate rate, std::int64_t videoFrames,
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
    auto state = std::make_unique<State>();
    state->Sounds = std::move(sounds);
    state->PathOf = std::move(pathOf);
    state->Total = project::SampleAtFrame(videoFrames, rate);
    state->FadeStart = state->Total - std::min(kFadeSamples, state->Total / 2);
    return std::unique_ptr<SoundMix>(new SoundMix(std::move(state)));
}

std::int64_t SoundMix::TotalSamples() const
{
    return m_state->Total;
}

std::int64_t SoundMix::Position() const
{
    return m_state->Pending;
}

std::int64_t SoundMix::Read(float* out, std::int64_t count)
{
    State& state = *m_state;
    count = std::clamp<std::int64_t>(count, 0, state.Total - state.Pending);
    state.MakeUntil(state.Pending + count);
    const auto floats = static_cast<std::size_t>(count * kChannels);
    std::memcpy(out, state.Waiting.data(), floats * sizeof(float));
    state.Waiting.erase(state.Waiting.begin(), state.Waiting.begin() + static_cast<std::ptrdiff_t>(floats));
    state.Pending += count;
    return count;
}

void SoundMix::Seek(std::int64_t sample)
{
    State& state = *m_state;
    sample = std::clamp<std::int64_t>(sample, 0, state.Total);
    if (sample < state.Pending) {
        state.Position = 0;
        state.NextSound = 0;
        state.Playing.reset();
        state.LastEnd = 0;
        state.Faded = false;
        state.Waiting.clear();
        state.Pending = 0;
    }
    std::vector<float> dropped(static_cast<std::size_t>(audio::kStepSamples * kChannels) * 10);
    while (state.Pending < sample) {
        Read(dropped.data(), std::min<std::int64_t>(sample - state.Pending, audio::kStepSamples * 10));
    }
}

void SoundMix::EndAt(std::int64_t sample)
{
    State& state = *m_state;
    state.Total = std::clamp(sample, state.Pending, state.Total);
}

}  // namespace kinetar::avi
