#include <algorithm>
#include <array>
#include <numeric>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "avi/audio/AudioStages.h"
#include "common/Error.h"

namespace kinetar::avi::audio {
namespace {

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

}  // namespace

bool PlayableRate(int rate)
{
    return rate >= kMinSoundRate && rate <= kMaxSoundRate;
}

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

bool Resamplable(const AVChannelLayout& given, int format, int rate)
{
    AVChannelLayout layout{};
    ResamplerPointer trial(PlayableRate(rate) && InputLayout(given, layout) ? MakeResampler(layout, format, rate)
                                                                            : nullptr);
    av_channel_layout_uninit(&layout);
    return trial != nullptr;
}

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

SoundSource::SoundSource(const std::string& path) : m_input(path), m_format(m_input.Format())
{
    const std::string message = kCantReadSound + path;
    // Only regular files: a FIFO or a device would block or never end.
    if (m_format == nullptr || avformat_find_stream_info(m_format, nullptr) < 0 ||
        (m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &m_decoder, 0)) < 0 ||
        m_decoder == nullptr) {
        throw Error(message);
    }
    // The file's own claims, said: a rate or a channel count no sound file holds.
    const AVCodecParameters* claimed = Stream()->codecpar;
    if (claimed->sample_rate != 0 && !PlayableRate(claimed->sample_rate)) {
        throw Error(message + ": its sample rate of " + std::to_string(claimed->sample_rate) +
                    " Hz is not one Kinetar plays (" + std::to_string(kMinSoundRate) + " to " +
                    std::to_string(kMaxSoundRate) + " Hz)");
    }
    if (claimed->ch_layout.nb_channels <= 0 || claimed->ch_layout.nb_channels > kMaxSoundChannels) {
        throw Error(message + ": it has " + std::to_string(claimed->ch_layout.nb_channels) +
                    " channels (Kinetar plays 1 to " + std::to_string(kMaxSoundChannels) + ")");
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

CodecContextPointer SoundSource::OpenDecoder(bool manualTrimming) const
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

SoundDecoder::SoundDecoder(const std::string& path, Mode mode)
    : m_source(path), m_codec(m_source.Codec()), m_counting(mode == Mode::Count)
{
    if (m_packet == nullptr || m_frame == nullptr) {
        throw Error(kCantReadSound + path);
    }
}

std::int64_t SoundDecoder::Read(float* out, std::int64_t count)
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
        std::copy_n(m_buffer.begin() + static_cast<std::ptrdiff_t>(m_offset), take * kChannels, out + got * kChannels);
        m_offset += static_cast<std::size_t>(take * kChannels);
        got += take;
    }
    return got;
}

std::int64_t SoundDecoder::CountAll()
{
    Refill();
    return m_counted;
}

bool SoundDecoder::Refill()
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

void SoundDecoder::Hold()
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

bool SoundDecoder::PrepareResampler(const AVFrame* frame)
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

void SoundDecoder::ConvertSlice()
{
    const auto format = static_cast<AVSampleFormat>(m_inFormat);
    const int remaining = m_frame->nb_samples - m_frameOffset;
    const auto slice = static_cast<int>(std::clamp<std::int64_t>(kStepSamples * m_inRate / kSampleRate, 1, remaining));
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

void SoundDecoder::Flush()
{
    if (m_counting) {
        m_counted += m_segment > 0 ? ResampledSamples(m_segment, m_inRate) : 0;
        m_segment = 0;
        return;
    }
    Resample(nullptr, 0);
}

void SoundDecoder::Resample(const std::uint8_t** in, int count)
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

}  // namespace kinetar::avi::audio
