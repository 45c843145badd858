#include "avi/audio/AudioTrack.h"

#include <algorithm>
#include <array>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "avi/audio/SoundInput.h"
#include "common/Error.h"

namespace kinetar::avi {

namespace {

constexpr int kChannels = 2;
constexpr int kSampleRate = static_cast<int>(project::kSoundSampleRate);
// A tenth of a second: the largest PCM packet, and the step the track is made in.
constexpr std::int64_t kStepSamples = kSampleRate / 10;
constexpr std::int64_t kFadeSamples = kSampleRate;
// The resampler's filter grows with the ratio of the rates: a sound that claims a rate beyond any
// real one (a damaged header) would make it allocate without bound.
constexpr int kMaxSoundRate = 768'000;
// Decoding errors in a row after which the rest of a sound file is taken to be unreadable.
constexpr int kMaxErrorsInARow = 64;

// The speakers of the standard channel order, FL to TBR, in which WAV files without a channel mask
// list their channels.
constexpr int kSpeakerChannels = AV_CHAN_TOP_BACK_RIGHT + 1;

// The layout the resampler is told for the given channels: their own when the file names them, else
// the usual one for that many, else the speakers in the standard order. False when there is none.
bool InputLayout(const AVChannelLayout& given, AVChannelLayout& layout)
{
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

// A sound file decoded and resampled to 48 kHz stereo floats, one decoded frame at a time.
class SoundDecoder {
public:
    // Throws Error naming the file when it holds no sound the libraries can decode.
    explicit SoundDecoder(const std::string& path) : m_input(path), m_format(m_input.Format())
    {
        const std::string message = kCantReadSound + path;
        // Only regular files: a FIFO or a device would block or never end.
        if (m_format == nullptr) {
            throw Error(message);
        }
        const AVCodec* decoder = nullptr;
        if (avformat_find_stream_info(m_format, nullptr) < 0 ||
            (m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0)) < 0 ||
            decoder == nullptr) {
            Release();
            throw Error(message);
        }
        m_codec = avcodec_alloc_context3(decoder);
        m_packet = av_packet_alloc();
        m_frame = av_frame_alloc();
        if (m_codec == nullptr || m_packet == nullptr || m_frame == nullptr ||
            avcodec_parameters_to_context(m_codec, m_format->streams[m_stream]->codecpar) < 0 ||
            m_codec->sample_rate > kMaxSoundRate || avcodec_open2(m_codec, decoder, nullptr) < 0) {
            Release();
            throw Error(message);
        }
        // Channels the library cannot mix down would only give silence. A decoder that tells its
        // sample format or rate only with its first frame is tried with stand-ins.
        AVChannelLayout layout{};
        const int format = m_codec->sample_fmt != AV_SAMPLE_FMT_NONE ? m_codec->sample_fmt : AV_SAMPLE_FMT_FLT;
        const int rate = m_codec->sample_rate > 0 ? m_codec->sample_rate : kSampleRate;
        SwrContext* trial = InputLayout(m_codec->ch_layout, layout) ? MakeResampler(layout, format, rate) : nullptr;
        const bool mixable = trial != nullptr;
        swr_free(&trial);
        av_channel_layout_uninit(&layout);
        if (!mixable) {
            Release();
            throw Error(message);
        }
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            if (static_cast<int>(i) != m_stream) {
                m_format->streams[i]->discard = AVDISCARD_ALL;
            }
        }
    }
    SoundDecoder(const SoundDecoder&) = delete;
    SoundDecoder& operator=(const SoundDecoder&) = delete;
    ~SoundDecoder() { Release(); }

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

private:
    void Release()
    {
        swr_free(&m_resampler);
        av_channel_layout_uninit(&m_inLayout);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
    }

    // Decodes until some samples come out; false at the end. A damaged frame is dropped, whether
    // the decoder reports it when given the packet or when asked for the frame, and decoding goes
    // on after it, as players do; only a long run of errors ends the sound there.
    bool Refill()
    {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_offset));
        m_offset = 0;
        while (!m_done && m_buffer.empty()) {
            const int received = avcodec_receive_frame(m_codec, m_frame);
            if (received == 0) {
                m_errorsInARow = 0;
                Convert(m_frame);
                av_frame_unref(m_frame);
            } else if (received != AVERROR(EAGAIN) && received != AVERROR_EOF && ++m_errorsInARow <= kMaxErrorsInARow) {
                continue;
            } else if (received == AVERROR(EAGAIN) && !m_inputEnded) {
                if (av_read_frame(m_format, m_packet) < 0) {
                    avcodec_send_packet(m_codec, nullptr);
                    m_inputEnded = true;
                } else {
                    // A damaged packet is dropped; the decoder goes on with the next one.
                    if (m_packet->stream_index == m_stream) {
                        avcodec_send_packet(m_codec, m_packet);
                    }
                    av_packet_unref(m_packet);
                }
            } else {
                Convert(nullptr);  // what the resampler still holds
                m_done = true;
            }
        }
        return !m_buffer.empty();
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
            Convert(nullptr);
            swr_free(&m_resampler);
        }
        av_channel_layout_uninit(&m_inLayout);
        m_inLayout = layout;
        m_inFormat = frame->format;
        m_inRate = frame->sample_rate;
        m_outChannels = layout.nb_channels == 1 ? 1 : kChannels;
        m_resampler = MakeResampler(m_inLayout, m_inFormat, m_inRate);
        return m_resampler != nullptr;
    }

    // Resamples a frame (or, given none, flushes) onto the end of the buffer.
    void Convert(const AVFrame* frame)
    {
        if (frame != nullptr &&
            (frame->sample_rate <= 0 || frame->sample_rate > kMaxSoundRate || !PrepareResampler(frame))) {
            return;
        }
        if (m_resampler == nullptr) {
            return;
        }
        const int inSamples = frame != nullptr ? frame->nb_samples : 0;
        const int room = swr_get_out_samples(m_resampler, inSamples);
        if (room <= 0) {
            return;
        }
        m_converted.resize(static_cast<std::size_t>(room) * static_cast<std::size_t>(m_outChannels));
        auto* out = reinterpret_cast<std::uint8_t*>(m_converted.data());
        const int made =
            swr_convert(m_resampler, &out, room,
                        frame != nullptr ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr, inSamples);
        for (int i = 0; i < made; ++i) {
            for (int channel = 0; channel < kChannels; ++channel) {
                m_buffer.push_back(m_converted[static_cast<std::size_t>(i * m_outChannels + channel % m_outChannels)]);
            }
        }
    }

    const SoundInput m_input;
    AVFormatContext* m_format;
    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_resampler = nullptr;
    int m_stream = -1;
    bool m_inputEnded = false;
    bool m_done = false;
    int m_errorsInARow = 0;

    AVChannelLayout m_inLayout{};
    int m_inFormat = -1;
    int m_inRate = 0;
    int m_outChannels = kChannels;

    std::vector<float> m_converted;
    std::vector<float> m_buffer;  // interleaved stereo, from m_offset on not yet read
    std::size_t m_offset = 0;
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

struct Sound {
    std::string Path;
    std::int64_t Cue = 0;  // the sample of its cue
};

}  // namespace

struct AudioTrack::State {
    std::vector<Sound> Sounds;
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
                    Playing = std::make_unique<SoundDecoder>(Sounds[NextSound].Path);
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
        SoundDecoder decoder(path);
        std::vector<float> scratch(static_cast<std::size_t>(kStepSamples * kChannels));
        std::int64_t total = 0;
        for (std::int64_t got = kStepSamples; got == kStepSamples; total += got) {
            got = decoder.Read(scratch.data(), kStepSamples);
        }
        return total;
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
    std::vector<Sound> sounds;
    for (const project::SoundCue& cue : project::SoundCues(records, rate)) {
        const auto& name = records[static_cast<std::size_t>(cue.Record)].PictureFileName;
        const std::string path(name.data(), std::find(name.begin(), name.end(), '\0'));
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
        sounds.push_back({path, project::SampleAtFrame(cue.Frame, rate)});
    }
    if (sounds.empty()) {
        return nullptr;
    }
    auto state = std::make_unique<State>(codec);
    state->Sounds = std::move(sounds);
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
