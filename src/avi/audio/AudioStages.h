#pragma once

// The stages of a video's sound track, shared by the files that make it: sound files decoded and
// resampled (SoundDecoding.cpp), their lengths counted (SoundCounting.cpp), the track encoded
// (AudioEncoder.cpp); AudioTrack.cpp places and mixes the sounds. Not for use outside them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include "avi/audio/AudioTrack.h"
#include "avi/audio/SoundInput.h"

namespace kinetar::avi::audio {

// The track's samples: 48 kHz stereo floats, interleaved.
constexpr int kChannels = 2;
constexpr int kSampleRate = static_cast<int>(project::kSoundSampleRate);
// A tenth of a second: the largest PCM packet, and the step the track is made in.
constexpr std::int64_t kStepSamples = kSampleRate / 10;
struct LibavFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
using CodecContextPointer = std::unique_ptr<AVCodecContext, LibavFree>;
using PacketPointer = std::unique_ptr<AVPacket, LibavFree>;
using FramePointer = std::unique_ptr<AVFrame, LibavFree>;
using ResamplerPointer = std::unique_ptr<SwrContext, LibavFree>;

bool PlayableRate(int rate);

// The layout the resampler is told for the given channels: their own when the file names them, else
// the usual one for that many, else the speakers in the standard order. False when there is none.
bool InputLayout(const AVChannelLayout& given, AVChannelLayout& layout);

// A resampler to 48 kHz floats: mono stays mono, to be put on both channels at full level, as the
// library's own upmix would lower it by 3 dB; more channels are mixed down to stereo by the library.
// Null when the library cannot take the input.
SwrContext* MakeResampler(AVChannelLayout& in, int format, int rate);

// True when frames of this format, rate and layout reach the resampler, as the track takes them.
bool Resamplable(const AVChannelLayout& given, int format, int rate);

// How many samples the resampler makes at 48 kHz of a run of samples at the given rate, flushed at
// its end. It does not depend on how the run is cut into pieces, nor on the samples, their format
// or channels; only its end differs from the ratio of the rates (the filter's tail), and it
// repeats with every period of the ratio: a period of the input more gives a period of the output
// more. So a run long enough to be past the filter's start, and within a period of it, tells.
std::int64_t ResampledSamples(std::int64_t samples, int rate);

// A sound file's best audio stream with its decoder open, checked against what the track can play:
// a rate a sound file can hold, a sensible number of channels, which the library can mix down.
class SoundSource {
public:
    // Throws Error naming the file when it holds no such sound.
    explicit SoundSource(const std::string& path);

    AVFormatContext* Format() const { return m_format; }
    const AVStream* Stream() const { return m_format->streams[m_stream]; }
    int StreamIndex() const { return m_stream; }
    AVCodecContext* Codec() const { return m_codec.get(); }

    // Another decoder of the stream; with manualTrimming it leaves priming and padding in the
    // frames and only marks them. Null when it cannot be opened.
    CodecContextPointer OpenDecoder(bool manualTrimming) const;

private:
    const SoundInput m_input;
    AVFormatContext* m_format;
    const AVCodec* m_decoder = nullptr;
    int m_stream = -1;
    CodecContextPointer m_codec;
};

// A sound file decoded and resampled to 48 kHz stereo floats, a slice of a decoded frame at a time,
// so what waits in memory is bounded whatever the rate; or, counting, only its samples counted.
class SoundDecoder {
public:
    enum class Mode { Play, Count };

    // Throws Error naming the file when it holds no sound the libraries can decode.
    explicit SoundDecoder(const std::string& path, Mode mode = Mode::Play);
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;
    ~SoundDecoder() { av_channel_layout_uninit(&m_inLayout); }

    // Up to count samples, interleaved stereo; fewer only at the sound's end.
    std::int64_t Read(float* out, std::int64_t count);

    // Counting: the samples the whole sound makes at 48 kHz, decoded to its end.
    std::int64_t CountAll();

private:
    // Decodes until some samples come out; false at the end. A damaged frame is dropped, whether
    // the decoder reports it when given the packet or when asked for the frame, and decoding goes
    // on after it, as players do; only a long run of errors ends the sound there.
    bool Refill();

    // Keeps the decoded frame to be resampled slice by slice; drops it when its rate or channels
    // cannot be played.
    void Hold();

    // Sets the resampler up for the frame's format; a format that changes mid-stream first
    // flushes what the old one holds.
    bool PrepareResampler(const AVFrame* frame);

    // Resamples the next slice of the held frame onto the end of the buffer: input for a tenth of a
    // second of output at most, so a low rate, which makes many samples of each, never makes more
    // at once.
    void ConvertSlice();

    // What the resampler still holds, at the end or before the format changes.
    void Flush();

    // Resamples count samples (or, given none, flushes) onto the end of the buffer.
    void Resample(const std::uint8_t** in, int count);

    const SoundSource m_source;
    AVCodecContext* m_codec;
    const bool m_counting;
    const PacketPointer m_packet{av_packet_alloc()};
    const FramePointer m_frame{av_frame_alloc()};  // the frame being resampled while m_holding
    ResamplerPointer m_resampler;
    bool m_inputEnded = false;
    bool m_done = false;
    int m_errorsInARow = 0;
    bool m_holding = false;
    int m_frameOffset = 0;

    AVChannelLayout m_inLayout{};
    int m_inFormat = -1;
    int m_inRate = 0;
    int m_outChannels = kChannels;

    std::vector<float> m_converted;
    std::vector<float> m_buffer;  // interleaved stereo, from m_offset on not yet read
    std::size_t m_offset = 0;

    std::int64_t m_segment = 0;  // counting: samples since the resampler was last flushed
    std::int64_t m_counted = 0;  // counting: samples made at 48 kHz
};

// The track's samples to packets: 16-bit PCM made here, AAC and Opus by libavcodec.
class AudioEncoder {
public:
    explicit AudioEncoder(AudioCodec codec);
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;
    ~AudioEncoder() { Release(); }

    const AudioStreamFormat& Format() const { return m_format; }
    // Samples per call of Encode: any count for PCM (a tenth of a second at most), else a frame.
    std::int64_t FrameSize() const { return m_context != nullptr ? m_context->frame_size : kStepSamples; }

    // Encodes count samples (interleaved stereo) that start at sample pts.
    bool Encode(const float* samples, std::int64_t count, std::int64_t pts, const AudioPacketSink& sink);

    bool Flush(const AudioPacketSink& sink);

private:
    bool Drain(const AudioPacketSink& sink);

    void Release();

    AudioStreamFormat m_format;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    bool m_smallLastFrame = false;
    std::vector<std::uint8_t> m_pcm;
};

}  // namespace kinetar::avi::audio
