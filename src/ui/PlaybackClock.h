#pragma once

#include <QElapsedTimer>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "avi/audio/SoundMix.h"

class QAudioSink;

namespace kinetar::ui {

// What the player's picture follows: the sample of the show (48 kHz from the video's start) being
// heard now, or that would be heard when there is nothing to hear.
class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    // Goes on from this sample.
    virtual void Start(std::int64_t sample) = 0;
    virtual void Stop() = 0;
    virtual std::int64_t Sample() = 0;
};

// Time without sound: the sample the wall clock has reached since Start.
class TimerClock : public PlaybackClock {
public:
    void Start(std::int64_t sample) override;
    void Stop() override;
    std::int64_t Sample() override;

private:
    QElapsedTimer m_elapsed;
    std::int64_t m_start = 0;
};

// The show's mix as the sound device pulls it: exactly the samples the render encodes, as 32-bit
// float stereo.
class MixDevice : public QIODevice {
public:
    explicit MixDevice(avi::SoundMix& mix) : m_mix(mix) {}
    bool isSequential() const override { return true; }
    // The samples handed out since open.
    std::int64_t SamplesRead() const { return m_read; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    avi::SoundMix& m_mix;
    std::int64_t m_read = 0;
};

// The sound device's clock: the samples it has played, the mix seeked to the start. Made only when
// the system has a sound output that takes 48 kHz float stereo.
class SoundClock : public PlaybackClock {
public:
    // Nothing when there is no sound output to play through.
    static std::unique_ptr<SoundClock> Make(std::unique_ptr<avi::SoundMix> mix);
    ~SoundClock() override;
    void Start(std::int64_t sample) override;
    void Stop() override;
    std::int64_t Sample() override;

private:
    SoundClock(std::unique_ptr<avi::SoundMix> mix, std::unique_ptr<QAudioSink> sink);

    std::unique_ptr<avi::SoundMix> m_mix;
    std::unique_ptr<QAudioSink> m_sink;
    std::unique_ptr<MixDevice> m_device;
    std::int64_t m_start = 0;
};

// How the player gets its clock for a play: the sound device with the mix when there is one, else a
// timer (and then silent is true when there was a mix to hear). Tests put a clock they drive here.
using ClockMaker = std::function<std::unique_ptr<PlaybackClock>(std::unique_ptr<avi::SoundMix> mix, bool& silent)>;
ClockMaker DeviceClocks();

}  // namespace kinetar::ui
