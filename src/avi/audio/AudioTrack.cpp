// The sound track: the show's sound mix handed to the encoder a piece at a time.

#include "avi/audio/AudioTrack.h"

#include <algorithm>
#include <vector>

#include "avi/audio/AudioStages.h"
#include "avi/audio/SoundMix.h"

namespace kinetar::avi {

struct AudioTrack::State {
    std::unique_ptr<SoundMix> Mix;
    audio::AudioEncoder Out;
    std::vector<float> Samples;  // a piece of the mix on its way to the encoder

    explicit State(AudioCodec codec) : Out(codec) {}

    // Encodes the mix's next count samples.
    bool EncodeNext(std::int64_t count, const AudioPacketSink& sink)
    {
        Samples.resize(static_cast<std::size_t>(count * audio::kChannels));
        const std::int64_t first = Mix->Position();
        const std::int64_t made = Mix->Read(Samples.data(), count);
        return Out.Encode(Samples.data(), made, first, sink);
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
    std::unique_ptr<SoundMix> mix = SoundMix::Make(cues, std::move(pathOf), rate, videoFrames, skipUnreadable, stopped);
    if (mix == nullptr) {
        return nullptr;
    }
    auto state = std::make_unique<State>(codec);
    state->Mix = std::move(mix);
    return std::unique_ptr<AudioTrack>(new AudioTrack(std::move(state)));
}

const AudioStreamFormat& AudioTrack::Format() const
{
    return m_state->Out.Format();
}

std::int64_t AudioTrack::TotalSamples() const
{
    return m_state->Mix->TotalSamples();
}

bool AudioTrack::EncodeUntil(std::int64_t sample, const AudioPacketSink& sink)
{
    State& state = *m_state;
    const std::int64_t target = std::clamp<std::int64_t>(sample, 0, state.Mix->TotalSamples());
    const std::int64_t frame = state.Out.FrameSize();
    const bool wholeFrames = state.Out.Format().FrameSize > 0;
    while (state.Mix->Position() < target) {
        const std::int64_t count = std::min(frame, target - state.Mix->Position());
        if (wholeFrames && count < frame) {
            break;
        }
        if (!state.EncodeNext(count, sink)) {
            return false;
        }
    }
    return true;
}

bool AudioTrack::Finish(const AudioPacketSink& sink)
{
    return FinishAt(m_state->Mix->TotalSamples(), sink);
}

bool AudioTrack::FinishAt(std::int64_t sample, const AudioPacketSink& sink)
{
    State& state = *m_state;
    // A fade already made for the planned end stays on the samples that remain; a stop before the
    // fade gets none, as the fade starts past the new end.
    state.Mix->EndAt(sample);
    const std::int64_t total = state.Mix->TotalSamples();
    if (!EncodeUntil(total, sink)) {
        return false;
    }
    if (state.Mix->Position() < total && !state.EncodeNext(total - state.Mix->Position(), sink)) {
        return false;
    }
    return state.Out.Flush(sink);
}

}  // namespace kinetar::avi
