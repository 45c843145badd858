#include "avi/audio/AudioTrack.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <numeric>
#include <span>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "avi/audio/SoundInput.h"
#include "common/Error.h"
#include "common/LittleEndian.h"

namespace kinetar::avi {

namespace {

constexpr int kChannels = 2;
constexpr int kSampleRate = static_cast<int>(project::kSoundSampleRate);
// A tenth of a second: the largest PCM packet, and the step the track is made in.
constexpr std::int64_t kStepSamples = kSampleRate / 10;
constexpr std::int64_t kFadeSamples = kSampleRate;
// The rates a sound file can sensibly hold. Below, a damaged or hostile header makes each input
// sample dozens of output samples (48,000 of each at 1 Hz); above, the resampler's filter grows
// with the ratio of the rates without bound.
constexpr int kMinSoundRate = 1'000;
constexpr int kMaxSoundRate = 768'000;
// More channels than any speaker layout names; each costs a plane and a column of the mix.
constexpr int kMaxSoundChannels = 64;
// Decoding errors in a row after which the rest of a sound file is taken to be unreadable.
constexpr int kMaxErrorsInARow = 64;

// The speakers of the standard channel order, FL to TBR, in which WAV files without a channel mask
// list their channels.
constexpr int kSpeakerChannels = AV_CHAN_TOP_BACK_RIGHT + 1;

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

bool PlayableRate(int rate)
{
    return rate >= kMinSoundRate && rate <= kMaxSoundRate;
}

// The layout the resampler is told for the given channels: their own when the file names them, else
// the usual one for that many, else the speakers in the standard order. False when there is none.
bool InputLayout(const AVChannelLayout& given, AVChannelLayout& layout)
{
    if (given.nb_channels > kMaxSoundChannels) {
        return false;
    }
    if (given.order != AV_CHANNEL_ORDER_UNSPEC && av_channel_layout_check(&given) != 0) {
        return av_channel_layout_copy(&layout, &given) >= 0;
    }
    const int channels = std::max(given.nb_channels, 1);
    av_channel_layout_default(&layout, channels);
    if (layout.order != AV_CHANNEL_ORDER_UNSPEC) {
        return true;
    }
    av_channel_layout_uninit(&layout);
    return channels <= kSpeakerChannels &&
           av_channel_layout_from_mask(&layout, (std::uint64_t{1} << channels) - 1) >= 0;
}

// A resampler to 48 kHz floats: mono stays mono, to be put on both channels at full level, as the
// library's own upmix would lower it by 3 dB; more channels are mixed down to stereo by the library.
// Null when the library cannot take the input.
SwrContext* MakeResampler(AVChannelLayout& in, int format, int rate)
{
    AVChannelLayout out{};
    av_channel_layout_default(&out, in.nb_channels == 1 ? 1 : kChannels);
    SwrContext* resampler = nullptr;
    const int made = swr_alloc_set_opts2(&resampler, &out, AV_SAMPLE_FMT_FLT, kSampleRate, &in,
                                         static_cast<AVSampleFormat>(format), rate, 0, nullptr);
    av_channel_layout_uninit(&out);
    // The downmix adds the centre and rear channels to the front ones at full weight for float
    // output, so a loud 5.1 file would clip; scaled so nothing exceeds full scale, as the library
    // does for integer output. Mono and stereo pass unchanged.
    if (made < 0 || av_opt_set_double(resampler, "rematrix_maxval", 1.0, 0) < 0 || swr_init(resampler) < 0) {
        swr_free(&resampler);
    }
    return resampler;
}

// True when frames of this format, rate and layout reach the resampler, as the track takes them.
bool Resamplable(const AVChannelLayout& given, int format, int rate)
{
    AVChannelLayout layout{};
    ResamplerPointer trial(PlayableRate(rate) && InputLayout(given, layout) ? MakeResampler(layout, format, rate)
                                                                            : nullptr);
    av_channel_layout_uninit(&layout);
    return trial != nullptr;
}

// How many samples the resampler makes at 48 kHz of a run of samples at the given rate, flushed at
// its end. It does not depend on how the run is cut into pieces, nor on the samples, their format
// or channels; only its end differs from the ratio of the rates (the filter's tail), and it
// repeats with every period of the ratio: a period of the input more gives a period of the output
// more. So a run long enough to be past the filter's start, and within a period of it, tells.
std::int64_t ResampledSamples(std::int64_t samples, int rate)
{
    constexpr std::int64_t kSettled = std::int64_t{1} << 16;
    const std::int64_t common = std::gcd(std::int64_t{rate}, std::int64_t{kSampleRate});
    const std::int64_t inPeriod = rate / common;
    const std::int64_t outPeriod = kSampleRate / common;
    const std::int64_t periods = samples > kSettled ? (samples - kSettled) / inPeriod : 0;
    std::int64_t left = samples - periods * inPeriod;

    AVChannelLayout mono{};
    av_channel_layout_default(&mono, 1);
    const ResamplerPointer resampler(MakeResampler(mono, AV_SAMPLE_FMT_FLT, rate));
    av_channel_layout_uninit(&mono);
    if (resampler == nullptr) {
        return 0;
    }
    constexpr int kPiece = 4096;
    const std::vector<float> silence(kPiece, 0.0F);
    std::vector<float> out;
    std::int64_t made = periods * outPeriod;
    while (true) {
        const int piece = static_cast<int>(std::min<std::int64_t>(left, kPiece));
        const int room = swr_get_out_samples(resampler.get(), piece);
        out.resize(static_cast<std::size_t>(std::max(room, 1)));
        auto* outBytes = reinterpret_cast<std::uint8_t*>(out.data());
        const auto* inBytes = reinterpret_cast<const std::uint8_t*>(silence.data());
        const int got = swr_convert(resampler.get(), &outBytes, room, piece > 0 ? &inBytes : nullptr, piece);
        made += std::max(got, 0);
        if (piece == 0) {
            return made;
        }
        left -= piece;
    }
}

// A sound file's best audio stream with its decoder open, checked against what the track can play:
// a rate a sound file can hold, a sensible number of channels, which the library can mix down.
class SoundSource {
public:
    // Throws Error naming the file when it holds no such sound.
    explicit SoundSource(const std::string& path) : m_input(path), m_format(m_input.Format())
    {
        const std::string message = kCantReadSound + path;
        // Only regular files: a FIFO or a device would block or never end.
        if (m_format == nullptr || avformat_find_stream_info(m_format, nullptr) < 0 ||
            (m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &m_decoder, 0)) < 0 ||
            m_decoder == nullptr) {
            throw Error(message);
        }
        m_codec = OpenDecoder(false);
        const int rate = m_codec != nullptr ? m_codec->sample_rate : 0;
        const int channels = m_codec != nullptr ? m_codec->ch_layout.nb_channels : 0;
        // A decoder that tells its rate only with its first frame is tried with a stand-in.
        if (m_codec == nullptr || (rate != 0 && !PlayableRate(rate)) || channels <= 0 || channels > kMaxSoundChannels) {
            throw Error(message);
        }
        // Channels the library cannot mix down would only give silence. A decoder that tells its
        // sample format only with its first frame is tried with a stand-in too.
        const int format = m_codec->sample_fmt != AV_SAMPLE_FMT_NONE ? m_codec->sample_fmt : AV_SAMPLE_FMT_FLT;
        if (!Resamplable(m_codec->ch_layout, format, rate != 0 ? rate : kSampleRate)) {
            throw Error(message);
        }
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            if (static_cast<int>(i) != m_stream) {
                m_format->streams[i]->discard = AVDISCARD_ALL;
            }
        }
    }

    AVFormatContext* Format() const { return m_format; }
    const AVStream* Stream() const { return m_format->streams[m_stream]; }
    int StreamIndex() const { return m_stream; }
    AVCodecContext* Codec() const { return m_codec.get(); }

    // Another decoder of the stream; with manualTrimming it leaves priming and padding in the
    // frames and only marks them. Null when it cannot be opened.
    CodecContextPointer OpenDecoder(bool manualTrimming) const
    {
        CodecContextPointer codec(avcodec_alloc_context3(m_decoder));
        if (codec == nullptr || avcodec_parameters_to_context(codec.get(), Stream()->codecpar) < 0) {
            return nullptr;
        }
        // Checked before opening: some decoders size their tables by the rate.
        if (codec->sample_rate > kMaxSoundRate || codec->ch_layout.nb_channels > kMaxSoundChannels) {
            return nullptr;
        }
        if (manualTrimming) {
            codec->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
        }
        return avcodec_open2(codec.get(), m_decoder, nullptr) < 0 ? nullptr : std::move(codec);
    }

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
    explicit SoundDecoder(const std::string& path, Mode mode = Mode::Play)
        : m_source(path), m_codec(m_source.Codec()), m_counting(mode == Mode::Count)
    {
        if (m_packet == nullptr || m_frame == nullptr) {
            throw Error(kCantReadSound + path);
        }
    }
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;
    ~SoundDecoder() { av_channel_layout_uninit(&m_inLayout); }

    // Up to count samples, interleaved stereo; fewer only at the sound's end.
    std::int64_t Read(float* out, std::int64_t count)
    {
        std::int64_t got = 0;
        while (got < count) {
            const auto available = static_cast<std::int64_t>(m_buffer.size() - m_offset) / kChannels;
            if (available == 0) {
                if (!Refill()) {
                    break;
                }
                continue;
            }
            const std::int64_t take = std::min(available, count - got);
            std::copy_n(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_offset), take * kChannels,
                        out + got * kChannels);
            m_offset += static_cast<std::size_t>(take * kChannels);
            got += take;
        }
        return got;
    }

    // Counting: the samples the whole sound makes at 48 kHz, decoded to its end.
    std::int64_t CountAll()
    {
        Refill();
        return m_counted;
    }

private:
    // Decodes until some samples come out; false at the end. A damaged frame is dropped, whether
    // the decoder reports it when given the packet or when asked for the frame, and decoding goes
    // on after it, as players do; only a long run of errors ends the sound there.
    bool Refill()
    {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_offset));
        m_offset = 0;
        while (!m_done && m_buffer.empty()) {
            if (m_holding) {
                ConvertSlice();
                continue;
            }
            const int received = avcodec_receive_frame(m_codec, m_frame.get());
            if (received == 0) {
                m_errorsInARow = 0;
                Hold();
            } else if (received != AVERROR(EAGAIN) && received != AVERROR_EOF && ++m_errorsInARow <= kMaxErrorsInARow) {
                continue;
            } else if (received == AVERROR(EAGAIN) && !m_inputEnded) {
                if (av_read_frame(m_source.Format(), m_packet.get()) < 0) {
                    avcodec_send_packet(m_codec, nullptr);
                    m_inputEnded = true;
                } else {
                    // A damaged packet is dropped; the decoder goes on with the next one.
                    if (m_packet->stream_index == m_source.StreamIndex()) {
                        avcodec_send_packet(m_codec, m_packet.get());
                    }
                    av_packet_unref(m_packet.get());
                }
            } else {
                Flush();  // what the resampler still holds
                m_done = true;
            }
        }
        return !m_buffer.empty();
    }

    // Keeps the decoded frame to be resampled slice by slice; drops it when its rate or channels
    // cannot be played.
    void Hold()
    {
        if (m_frame->nb_samples <= 0 || !PlayableRate(m_frame->sample_rate) || !PrepareResampler(m_frame.get())) {
            av_frame_unref(m_frame.get());
            return;
        }
        if (m_counting) {
            m_segment += m_frame->nb_samples;
            av_frame_unref(m_frame.get());
            return;
        }
        m_holding = true;
        m_frameOffset = 0;
    }

    // Sets the resampler up for the frame's format; a format that changes mid-stream first
    // flushes what the old one holds.
    bool PrepareResampler(const AVFrame* frame)
    {
        AVChannelLayout layout{};
        if (!InputLayout(frame->ch_layout, layout)) {
            av_channel_layout_uninit(&layout);
            return false;
        }
        const bool same = m_resampler != nullptr && frame->format == m_inFormat && frame->sample_rate == m_inRate &&
                          av_channel_layout_compare(&layout, &m_inLayout) == 0;
        if (same) {
            av_channel_layout_uninit(&layout);
            return true;
        }
        if (m_resampler != nullptr) {
            Flush();
            m_resampler.reset();
        }
        av_channel_layout_uninit(&m_inLayout);
        m_inLayout = layout;
        m_inFormat = frame->format;
        m_inRate = frame->sample_rate;
        m_outChannels = layout.nb_channels == 1 ? 1 : kChannels;
        m_resampler.reset(MakeResampler(m_inLayout, m_inFormat, m_inRate));
        return m_resampler != nullptr;
    }

    // Resamples the next slice of the held frame onto the end of the buffer: input for a tenth of a
    // second of output at most, so a low rate, which makes many samples of each, never makes more
    // at once.
    void ConvertSlice()
    {
        const auto format = static_cast<AVSampleFormat>(m_inFormat);
        const int remaining = m_frame->nb_samples - m_frameOffset;
        const auto slice =
            static_cast<int>(std::clamp<std::int64_t>(kStepSamples * m_inRate / kSampleRate, 1, remaining));
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        const std::size_t step = static_cast<std::size_t>(av_get_bytes_per_sample(format)) *
                                 static_cast<std::size_t>(planar ? 1 : m_inLayout.nb_channels);
        std::array<const std::uint8_t*, kMaxSoundChannels> planes{};
        for (int plane = 0; plane < (planar ? m_inLayout.nb_channels : 1); ++plane) {
            planes[static_cast<std::size_t>(plane)] =
                m_frame->extended_data[plane] + static_cast<std::size_t>(m_frameOffset) * step;
        }
        Resample(planes.data(), slice);
        m_frameOffset += slice;
        if (m_frameOffset >= m_frame->nb_samples) {
            av_frame_unref(m_frame.get());
            m_holding = false;
        }
    }

    // What the resampler still holds, at the end or before the format changes.
    void Flush()
    {
        if (m_counting) {
            m_counted += m_segment > 0 ? ResampledSamples(m_segment, m_inRate) : 0;
            m_segment = 0;
            return;
        }
        Resample(nullptr, 0);
    }

    // Resamples count samples (or, given none, flushes) onto the end of the buffer.
    void Resample(const std::uint8_t** in, int count)
    {
        if (m_resampler == nullptr) {
            return;
        }
        const int room = swr_get_out_samples(m_resampler.get(), count);
        if (room <= 0) {
            return;
        }
        m_converted.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(m_outChannels));
        auto* out = reinterpret_cast<std::uint8_t*>(m_converted.data());
        const int made = swr_convert(m_resampler.get(), &out, room, in, count);
        for (int i = 0; i < made; ++i) {
            for (int channel = 0; channel < kChannels; ++channel) {
                m_buffer.push_back(m_converted[static_cast<std::size_t>(i * m_outChannels + channel % m_outChannels)]);
            }
        }
    }

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
class Encoder {
public:
    explicit Encoder(AudioCodec codec)
    {
        m_format.SampleRate = kSampleRate;
        m_format.Channels = kChannels;
        if (codec == AudioCodec::Pcm16) {
            m_format.CodecName = "pcm_s16le";
            m_format.BitRate = std::int64_t{kSampleRate} * kChannels * 16;
            return;
        }
        const char* name = codec == AudioCodec::Aac ? "aac" : "libopus";
        const AVCodec* encoder = avcodec_find_encoder_by_name(name);
        m_context = encoder != nullptr ? avcodec_alloc_context3(encoder) : nullptr;
        m_frame = av_frame_alloc();
        m_packet = av_packet_alloc();
        if (m_context == nullptr || m_frame == nullptr || m_packet == nullptr) {
            Release();
            throw Error(kCantEncodeSound + std::string(name));
        }
        m_context->sample_rate = kSampleRate;
        av_channel_layout_default(&m_context->ch_layout, kChannels);
        m_context->time_base = {1, kSampleRate};
        m_context->bit_rate = codec == AudioCodec::Aac ? 192'000 : 128'000;
        // Containers that want the codec's header up front (MP4, Matroska) find it in Extradata.
        m_context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        m_context->sample_fmt = codec == AudioCodec::Aac ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_FLT;
        if (avcodec_open2(m_context, encoder, nullptr) < 0 || m_context->frame_size <= 0) {
            Release();
            throw Error(kCantEncodeSound + std::string(name));
        }
        m_format.CodecName = codec == AudioCodec::Aac ? "aac" : "opus";
        m_format.BitRate = m_context->bit_rate;
        m_format.FrameSize = m_context->frame_size;
        m_format.InitialPadding = m_context->initial_padding;
        if (m_context->extradata != nullptr && m_context->extradata_size > 0) {
            m_format.Extradata.assign(m_context->extradata, m_context->extradata + m_context->extradata_size);
        }
        m_smallLastFrame = (encoder->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() { Release(); }

    const AudioStreamFormat& Format() const { return m_format; }
    // Samples per call of Encode: any count for PCM (a tenth of a second at most), else a frame.
    std::int64_t FrameSize() const { return m_context != nullptr ? m_context->frame_size : kStepSamples; }

    // Encodes count samples (interleaved stereo) that start at sample pts.
    bool Encode(const float* samples, std::int64_t count, std::int64_t pts, const AudioPacketSink& sink)
    {
        if (m_context == nullptr) {
            m_pcm.resize(static_cast<std::size_t>(count * kChannels) * 2);
            for (std::size_t i = 0; i < static_cast<std::size_t>(count * kChannels); ++i) {
                const auto value =
                    static_cast<std::int16_t>(std::clamp(std::lrint(samples[i] * 32768.0F), -32768L, 32767L));
                m_pcm[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
                m_pcm[2 * i + 1] = static_cast<std::uint8_t>((static_cast<std::uint16_t>(value) >> 8) & 0xFF);
            }
            return sink(AudioPacket{m_pcm, pts, count});
        }
        // Without small last frames, the end of the track is padded to a whole frame.
        const int frameSamples = m_smallLastFrame ? static_cast<int>(count) : m_context->frame_size;
        av_frame_unref(m_frame);
        m_frame->format = m_context->sample_fmt;
        m_frame->sample_rate = kSampleRate;
        m_frame->nb_samples = frameSamples;
        m_frame->pts = pts;
        if (av_channel_layout_copy(&m_frame->ch_layout, &m_context->ch_layout) < 0 ||
            av_frame_get_buffer(m_frame, 0) < 0) {
            throw Error(kCantEncodeSound + m_format.CodecName);
        }
        for (int i = 0; i < frameSamples; ++i) {
            for (int channel = 0; channel < kChannels; ++channel) {
                const float value = i < count ? samples[i * kChannels + channel] : 0.0F;
                if (m_context->sample_fmt == AV_SAMPLE_FMT_FLTP) {
                    reinterpret_cast<float*>(m_frame->extended_data[channel])[i] = value;
                } else {
                    reinterpret_cast<float*>(m_frame->extended_data[0])[i * kChannels + channel] = value;
                }
            }
        }
        if (avcodec_send_frame(m_context, m_frame) < 0) {
            throw Error(kCantEncodeSound + m_format.CodecName);
        }
        return Drain(sink);
    }

    bool Flush(const AudioPacketSink& sink)
    {
        if (m_context == nullptr) {
            return true;
        }
        if (avcodec_send_frame(m_context, nullptr) < 0) {
            throw Error(kCantEncodeSound + m_format.CodecName);
        }
        return Drain(sink);
    }

private:
    bool Drain(const AudioPacketSink& sink)
    {
        while (true) {
            const int received = avcodec_receive_packet(m_context, m_packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return true;
            }
            if (received < 0) {
                throw Error(kCantEncodeSound + m_format.CodecName);
            }
            const bool written = sink(AudioPacket{std::span(m_packet->data, static_cast<std::size_t>(m_packet->size)),
                                                  m_packet->pts, m_packet->duration});
            av_packet_unref(m_packet);
            if (!written) {
                return false;
            }
        }
    }

    void Release()
    {
        av_packet_free(&m_packet);
        av_frame_free(&m_frame);
        avcodec_free_context(&m_context);
    }

    AudioStreamFormat m_format;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    bool m_smallLastFrame = false;
    std::vector<std::uint8_t> m_pcm;
};

// Packets at each end of a sound that are decoded to count their samples: the priming and padding
// are trimmed there, and only the decoder knows what a packet the container cut short still gives.
constexpr std::size_t kEndPackets = 8;
// Of the packets decoded at the sound's end, the first ones only prime the decoder (an MP3 frame
// may take bytes from the one before, a Vorbis block overlaps it); their lengths are the
// container's, as in the middle.
constexpr std::size_t kPrimingPackets = 2;
// A start that is still being trimmed after this many packets is counted by decoding.
constexpr std::size_t kMaxStartPackets = 4096;

// The samples the container marks to be skipped from the packet's start (its padding at the end
// may be marked with them); nothing when it marks neither.
std::optional<std::uint32_t> SkipMark(const AVPacket& packet)
{
    std::size_t size = 0;
    const std::uint8_t* data = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    return data != nullptr && size >= 10 ? std::optional(LoadLE32(std::span(data, size))) : std::nullopt;
}

// True when the container marks the packet for trimming, in part or whole.
bool MarkedForTrimming(const AVPacket& packet)
{
    return SkipMark(packet).has_value() || (packet.flags & AV_PKT_FLAG_DISCARD) != 0;
}

// The decoder's trimming, followed on a frame that only marks it (the decoder opened with manual
// trimming), as the decoder applies it to the frames the track plays: priming skipped at the start,
// which may span frames; frames marked to be discarded; padding cut from a frame's end. Returns the
// samples the frame keeps. At a sound's end, marks of a start skip are the decoder's own priming
// (its first frame), not the file's.
std::int64_t KeptSamples(const AVFrame& frame, bool packetSetsSkip, bool atStart, std::int64_t& skip)
{
    std::int64_t samples = frame.nb_samples;
    std::int64_t padding = 0;
    if (const AVFrameSideData* marks = av_frame_get_side_data(&frame, AV_FRAME_DATA_SKIP_SAMPLES);
        marks != nullptr && marks->size >= 8) {
        const std::span<const std::uint8_t> bytes(marks->data, marks->size);
        const auto frameSkip = static_cast<std::int32_t>(LoadLE32(bytes, 0));
        if (atStart && (frameSkip > 0 || packetSetsSkip)) {
            skip = std::max(frameSkip, 0);
        }
        padding = LoadLE32(bytes, 4);
    }
    if ((frame.flags & AV_FRAME_FLAG_DISCARD) != 0) {
        skip = std::max<std::int64_t>(skip - samples, 0);
        return 0;
    }
    const std::int64_t skipped = std::min(skip, samples);
    skip -= skipped;
    samples -= skipped;
    return padding > 0 && padding <= samples ? samples - padding : samples;
}

// A sound's length counted from its packets: the container's durations in the middle, the
// decoder's counts at both ends, where priming and padding are trimmed. The middle's durations are
// trusted only when the container's time base holds them exactly and the decoded packets at both
// ends agree with theirs.
class PacketCounter {
public:
    explicit PacketCounter(const SoundSource& source)
        : m_source(source), m_start(source.OpenDecoder(true)), m_end(source.OpenDecoder(true))
    {
    }
    PacketCounter(const PacketCounter&) = delete;
    PacketCounter& operator=(const PacketCounter&) = delete;
    ~PacketCounter() { av_channel_layout_uninit(&m_layout); }

    // The samples at 48 kHz; nothing when the packets cannot tell exactly (durations the container
    // rounds, trimming in the middle, a decoding error at an end, a format that changes, a short
    // sound), and decoding must.
    std::optional<std::int64_t> Count()
    {
        if (m_start == nullptr || m_end == nullptr || m_packet == nullptr || m_frame == nullptr) {
            return std::nullopt;
        }
        std::size_t startPackets = 0;
        bool started = false;
        std::deque<PacketPointer> last;  // the last packets read, decoded at the end
        while (av_read_frame(m_source.Format(), m_packet.get()) >= 0) {
            if (m_packet->stream_index != m_source.StreamIndex()) {
                av_packet_unref(m_packet.get());
                continue;
            }
            if (!started) {
                const bool marked = MarkedForTrimming(*m_packet);
                if (!CountStart(startPackets == 0) || ++startPackets > kMaxStartPackets) {
                    return std::nullopt;
                }
                started = startPackets >= kEndPackets && m_skip == 0 && !marked;
                continue;
            }
            last.emplace_back(av_packet_alloc());
            if (last.back() == nullptr) {
                return std::nullopt;
            }
            av_packet_move_ref(last.back().get(), m_packet.get());
            if (last.size() > kEndPackets) {
                if (!CountMiddle(*last.front())) {
                    return std::nullopt;
                }
                last.pop_front();
            }
        }
        if (last.size() < kEndPackets || !CountEnd(last) || m_rate == 0) {
            return std::nullopt;
        }
        return ResampledSamples(m_samples, m_rate);
    }

private:
    // A packet's duration in samples, when the container's time base holds it exactly.
    std::optional<std::int64_t> DurationSamples(const AVPacket& packet) const
    {
        if (packet.duration <= 0 || packet.duration % m_perSample.den != 0 ||
            packet.duration / m_perSample.den > INT32_MAX) {
            return std::nullopt;
        }
        return packet.duration / m_perSample.den * m_perSample.num;
    }

    // The first frame fixes the format, rate and layout, which the track must be able to play;
    // every later frame counted must keep them, as one run through the resampler.
    bool SameFormat(const AVFrame& frame)
    {
        if (m_rate == 0) {
            const AVRational timeBase = m_source.Stream()->time_base;
            if (!Resamplable(frame.ch_layout, frame.format, frame.sample_rate) ||
                av_reduce(&m_perSample.num, &m_perSample.den, std::int64_t{timeBase.num} * frame.sample_rate,
                          timeBase.den, INT32_MAX) == 0 ||
                av_channel_layout_copy(&m_layout, &frame.ch_layout) < 0) {
                return false;
            }
            m_rate = frame.sample_rate;
            m_format = frame.format;
            return true;
        }
        return frame.sample_rate == m_rate && frame.format == m_format &&
               av_channel_layout_compare(&frame.ch_layout, &m_layout) == 0;
    }

    // Decodes the packet read with the given decoder: the samples it gives and those it keeps. False
    // on a decoding error.
    bool Decode(AVCodecContext* decoder, const AVPacket* packet, bool atStart, std::int64_t& given, std::int64_t& kept)
    {
        const bool setsSkip = packet != nullptr && SkipMark(*packet).has_value();
        if (avcodec_send_packet(decoder, packet) < 0) {
            return false;
        }
        int received = 0;
        while ((received = avcodec_receive_frame(decoder, m_frame.get())) == 0) {
            const bool same = SameFormat(*m_frame);
            given += m_frame->nb_samples;
            kept += KeptSamples(*m_frame, setsSkip, atStart, m_skip);
            av_frame_unref(m_frame.get());
            if (!same) {
                return false;
            }
        }
        return received == AVERROR(EAGAIN) || received == AVERROR_EOF;
    }

    // A packet at the start, decoded as the track decodes it. A packet's samples must agree with its
    // duration, but for the first one's (a Vorbis decoder gives none for it).
    bool CountStart(bool first)
    {
        std::int64_t given = 0;
        const bool decoded = Decode(m_start.get(), m_packet.get(), true, given, m_samples);
        const bool agrees = first || DurationSamples(*m_packet) == given;
        av_packet_unref(m_packet.get());
        return decoded && agrees;
    }

    bool CountMiddle(const AVPacket& packet)
    {
        const std::optional<std::int64_t> samples = MarkedForTrimming(packet) ? std::nullopt : DurationSamples(packet);
        m_samples += samples.value_or(0);
        return samples.has_value();
    }

    // The last packets, decoded by a decoder of their own that the first of them prime. A packet
    // untrimmed but for the last must give what its duration says; the last one's duration may be
    // cut by the container, where the decoder gives its whole frame.
    bool CountEnd(const std::deque<PacketPointer>& last)
    {
        for (std::size_t i = 0; i < last.size(); ++i) {
            const AVPacket& packet = *last[i];
            std::int64_t given = 0;
            std::int64_t kept = 0;
            if (i < kPrimingPackets) {
                Decode(m_end.get(), &packet, false, given, kept);  // errors here are the priming's
                if (!CountMiddle(packet)) {
                    return false;
                }
                continue;
            }
            if (SkipMark(packet).value_or(0) != 0 || !Decode(m_end.get(), &packet, false, given, kept) ||
                (i + 1 < last.size() && !MarkedForTrimming(packet) && DurationSamples(packet) != given)) {
                return false;
            }
            m_samples += kept;
        }
        std::int64_t given = 0;
        return Decode(m_end.get(), nullptr, false, given, m_samples);  // what the decoder still holds
    }

    const SoundSource& m_source;
    const CodecContextPointer m_start;  // decodes the first packets
    const CodecContextPointer m_end;    // decodes the last packets
    const PacketPointer m_packet{av_packet_alloc()};
    const FramePointer m_frame{av_frame_alloc()};
    std::int64_t m_skip = 0;     // start samples still to be skipped
    std::int64_t m_samples = 0;  // at the sound's own rate
    int m_rate = 0;
    int m_format = -1;
    AVChannelLayout m_layout{};
    AVRational m_perSample{1, 1};  // samples per tick of the container's time base, reduced
};

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
    Encoder Out;

    // Making the track: the next sample made, the sound playing, where the last sound ended.
    std::int64_t Position = 0;
    std::size_t NextSound = 0;
    std::unique_ptr<SoundDecoder> Playing;
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
                    Playing = std::make_unique<SoundDecoder>(PathOf(Sounds[NextSound].Record));
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

std::optional<std::int64_t> SoundSamples(const std::string& path)
{
    try {
        {
            const SoundSource source(path);
            if (const std::optional<std::int64_t> samples = PacketCounter(source).Count()) {
                return samples;
            }
        }
        return SoundDecoder(path, SoundDecoder::Mode::Count).CountAll();
    } catch (const Error&) {
        return std::nullopt;
    }
}

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
                SoundDecoder check(path);
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
