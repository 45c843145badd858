#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "project/Slideshow.h"

namespace kinetar::avi {

// The show's sound before it is encoded: the sound records' files decoded and resampled to 48 kHz
// stereo floats (interleaved), placed by their cues one after another with silence between them,
// and cut at the video's end with a fade-out when a sound is still playing there. The render
// encodes exactly these samples; the window's player plays them.
class SoundMix {
public:
    using SoundPathOf = std::function<std::string(std::int32_t record)>;
    using SoundErrorQuestion = std::function<bool(const std::string& message, const std::string& path)>;

    // The mix for a video of videoFrames frames. Every sound file is opened first; one that cannot
    // be read is put to the question (none: left out). Returns nothing when every sound was left
    // out, and also, with stopped set to true, when the question answered false. pathOf must answer
    // for as long as the mix lives.
    static std::unique_ptr<SoundMix> Make(std::span<const project::SoundCue> cues, SoundPathOf pathOf,
                                          project::FrameRate rate, std::int64_t videoFrames,
                                          const SoundErrorQuestion& skipUnreadable = {}, bool* stopped = nullptr);
    ~SoundMix();
    SoundMix(const SoundMix&) = delete;
    SoundMix& operator=(const SoundMix&) = delete;

    // The mix's length, the video's, in samples.
    std::int64_t TotalSamples() const;
    // The next sample Read gives.
    std::int64_t Position() const;
    // Up to count samples from Position() on into out (count x 2 floats); fewer only at the end.
    std::int64_t Read(float* out, std::int64_t count);
    // Goes on from the given sample. The sounds are made again from the start up to it, as they
    // play, so a sample reached by a seek is the one reached by reading.
    void Seek(std::int64_t sample);
    // Ends the mix at the given sample without a fade (a fade already made stays); never before
    // Position().
    void EndAt(std::int64_t sample);

    struct State;

private:
    explicit SoundMix(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

}  // namespace kinetar::avi
