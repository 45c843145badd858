#include <algorithm>
#include <cmath>
#include <span>

extern "C" {
#include <libavutil/channel_layout.h>
}

#include "avi/audio/AudioStages.h"
#include "common/Error.h"

namespace kinetar::avi::audio {

AudioEncoder::AudioEncoder(AudioCodec codec)
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

bool AudioEncoder::Encode(const float* samples, std::int64_t count, std::int64_t pts, const AudioPacketSink& sink)
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
    if (av_channel_layout_copy(&m_frame->ch_layout, &m_context->ch_layout) < 0 || av_frame_get_buffer(m_frame, 0) < 0) {
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

bool AudioEncoder::Flush(const AudioPacketSink& sink)
{
    if (m_context == nullptr) {
        return true;
    }
    if (avcodec_send_frame(m_context, nullptr) < 0) {
        throw Error(kCantEncodeSound + m_format.CodecName);
    }
    return Drain(sink);
}

bool AudioEncoder::Drain(const AudioPacketSink& sink)
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

void AudioEncoder::Release()
{
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
}

}  // namespace kinetar::avi::audio
