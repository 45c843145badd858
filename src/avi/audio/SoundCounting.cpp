// A sound file's length in samples, counted from its packets where the container tells them
// exactly, else by decoding it whole.

#include <deque>
#include <optional>
#include <span>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

#include "avi/audio/AudioStages.h"
#include "common/Error.h"
#include "common/LittleEndian.h"

namespace kinetar::avi {
namespace {

using namespace audio;

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

}  // namespace

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

}  // namespace kinetar::avi
