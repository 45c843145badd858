#include "ui/PlaybackClock.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <algorithm>

#include "project/Slideshow.h"

namespace kinetar::ui {

namespace {

constexpr std::int64_t kBytesPerSample = 2 * sizeof(float);

QAudioFormat MixFormat()
{
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(project::kSoundSampleRate));
    format.setChannelCount(2);
    format.setSampleFormat(QAudioFormat::Float);
    return format;
}

}  // namespace

void TimerClock::Start(std::int64_t sample)
{
    m_start = sample;
    m_elapsed.start();
}

void TimerClock::Stop()
{
    m_start = Sample();
    m_elapsed.invalidate();
}

std::int64_t TimerClock::Sample()
{
    if (!m_elapsed.isValid()) {
        return m_start;
    }
    return m_start + m_elapsed.nsecsElapsed() * project::kSoundSampleRate / 1'000'000'000;
}

qint64 MixDevice::readData(char* data, qint64 maxSize)
{
    const std::int64_t wanted = maxSize / kBytesPerSample;
    const std::int64_t got = m_mix.Read(reinterpret_cast<float*>(data), wanted);
    // Past the mix's end the device goes on with silence, so the clock keeps running to the video's end.
    std::fill(reinterpret_cast<float*>(data) + 2 * got, reinterpret_cast<float*>(data) + 2 * wanted, 0.0f);
    m_read += wanted;
    return wanted * kBytesPerSample;
}

std::unique_ptr<SoundClock> SoundClock::Make(std::unique_ptr<avi::SoundMix> mix)
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(MixFormat())) {
        return nullptr;
    }
    auto sink = std::make_unique<QAudioSink>(device, MixFormat());
    // A fifth of a second buffered: enough not to break up while frames are made.
    sink->setBufferSize(static_cast<qsizetype>(project::kSoundSampleRate / 5 * kBytesPerSample));
    return std::unique_ptr<SoundClock>(new SoundClock(std::move(mix), std::move(sink)));
}

SoundClock::SoundClock(std::unique_ptr<avi::SoundMix> mix, std::unique_ptr<QAudioSink> sink)
    : m_mix(std::move(mix)), m_sink(std::move(sink))
{
}

SoundClock::~SoundClock()
{
    Stop();
}

void SoundClock::Start(std::int64_t sample)
{
    Stop();
    m_start = sample;
    m_mix->Seek(std::min(sample, m_mix->TotalSamples()));
    m_device = std::make_unique<MixDevice>(*m_mix);
    m_device->open(QIODevice::ReadOnly);
    m_sink->start(m_device.get());
}

void SoundClock::Stop()
{
    if (m_device) {
        m_start = Sample();
        m_sink->stop();
        m_device.reset();
    }
}

std::int64_t SoundClock::Sample()
{
    if (!m_device) {
        return m_start;
    }
    // What the device played: what it took, less what still waits in its buffer.
    const std::int64_t processed = m_sink->processedUSecs() * project::kSoundSampleRate / 1'000'000;
    const std::int64_t waiting = (m_sink->bufferSize() - m_sink->bytesFree()) / kBytesPerSample;
    return m_start + std::max<std::int64_t>(0, processed - std::max<std::int64_t>(0, waiting));
}

ClockMaker DeviceClocks()
{
    return [](std::unique_ptr<avi::SoundMix> mix, bool& silent) -> std::unique_ptr<PlaybackClock> {
        silent = false;
        if (!mix) {
            return std::make_unique<TimerClock>();
        }
        if (auto clock = SoundClock::Make(std::move(mix))) {
            return clock;
        }
        silent = true;
        return std::make_unique<TimerClock>();
    };
}

}  // namespace kinetar::ui
