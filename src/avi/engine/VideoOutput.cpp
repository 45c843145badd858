#include "avi/engine/VideoOutput.h"

#include <string_view>

#include "avi/muxer/MediaMuxer.h"

namespace kinetar::avi {

namespace {

class AviOutput final : public VideoOutput {
public:
    explicit AviOutput(int fd) : m_writer(fd) {}

    bool CreateStream(const StreamInfo& info, std::span<const std::uint8_t> blankFormat) override
    {
        return m_writer.CreateStream(info, blankFormat);
    }
    bool SetFormat(const Compressor& compressor, const CodecInfo& codec) override
    {
        return m_writer.SetFormat(compressor.OutputFormat(), codec.Fourcc, compressor.Compressed());
    }
    // Sound in AVI is 16-bit PCM, interleaved in movi.
    bool AddAudioStream(const AudioStreamParameters& audio) override
    {
        if (std::string_view(audio.CodecName) != "pcm_s16le") {
            return false;
        }
        return m_writer.AddAudioStream(WaveFormat{.Channels = static_cast<std::uint16_t>(audio.Channels),
                                                  .SamplesPerSecond = static_cast<std::uint32_t>(audio.SampleRate),
                                                  .BitsPerSample = 16});
    }
    bool Start() override { return true; }
    bool WriteSample(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) override
    {
        return m_writer.WriteSample(position, sample, keyFrame);
    }
    bool SkipTo(std::int64_t position) override { return m_writer.PadTo(position); }
    // PCM follows on from the chunk before: its time is its place in the stream.
    bool WriteAudio(std::span<const std::uint8_t> packet, std::int64_t /*pts*/, std::int64_t /*duration*/) override
    {
        return m_writer.WriteAudio(packet);
    }
    bool Close(std::int64_t positions) override { return m_writer.Close(positions); }
    bool Failed() const override { return m_writer.Failed(); }
    int SystemError() const override { return m_writer.SystemError(); }

private:
    AviWriter m_writer;
};

class MuxerOutput final : public VideoOutput {
public:
    MuxerOutput(int fd, const std::string& destination) : m_muxer(fd, destination) {}

    // The rate is all the container needs before the compressor is known; a disk without room
    // for the headers fails here, as it does for AVI.
    bool CreateStream(const StreamInfo& info, std::span<const std::uint8_t> /*blankFormat*/) override
    {
        m_rate = info.Rate;
        m_scale = info.Scale;
        return m_muxer.ReserveRoom();
    }
    bool SetFormat(const Compressor& compressor, const CodecInfo& /*codec*/) override
    {
        const auto parameters = compressor.StreamParameters();
        return parameters && m_muxer.AddVideoStream(*parameters, m_rate, m_scale);
    }
    bool AddAudioStream(const AudioStreamParameters& audio) override { return m_muxer.AddAudioStream(audio); }
    bool Start() override { return m_muxer.WriteHeader(); }
    bool WriteSample(std::int64_t position, std::span<const std::uint8_t> sample, bool keyFrame) override
    {
        return m_muxer.WriteVideo(position, sample, keyFrame);
    }
    // A sample's time is its position: a gap costs nothing.
    bool SkipTo(std::int64_t /*position*/) override { return !m_muxer.Failed(); }
    bool WriteAudio(std::span<const std::uint8_t> packet, std::int64_t pts, std::int64_t duration) override
    {
        return m_muxer.WriteAudio(packet, pts, duration);
    }
    bool Close(std::int64_t positions) override { return m_muxer.Close(positions); }
    bool Failed() const override { return m_muxer.Failed(); }
    int SystemError() const override { return m_muxer.SystemError(); }

private:
    MediaMuxer m_muxer;
    std::uint32_t m_rate = 1;
    std::uint32_t m_scale = 1;
};

}  // namespace

std::unique_ptr<VideoOutput> MakeVideoOutput(Container container, int fd, const std::string& destination)
{
    if (container == Container::Avi) {
        return std::make_unique<AviOutput>(fd);
    }
    return std::make_unique<MuxerOutput>(fd, destination);
}

}  // namespace kinetar::avi
