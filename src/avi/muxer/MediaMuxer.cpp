#include "avi/muxer/MediaMuxer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include "common/WriteAll.h"

namespace kinetar::avi {

namespace {

constexpr int kIoBufferSize = 64 * 1024;
// The index's fixed parts (headers, track descriptions, tags) need less than this.
constexpr std::int64_t kFixedReserve = 64 * 1024;
// Per packet: an MP4 sample costs at most a size, a chunk offset, a chunk entry, a time entry and
// a key-frame entry; a Matroska cue point some 40 bytes. Both with room to spare.
constexpr std::int64_t kIndexPerPacket = 64;
// The container's own bytes around a packet's data (block headers, cluster starts).
constexpr std::int64_t kFramingPerPacket = 64;
// Zeros written ahead, so small packets do not extend the file one by one.
constexpr std::int64_t kReserveSlack = 256 * 1024;

std::string LowerExtension(std::string_view path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    std::string extension(dot == std::string_view::npos ? std::string_view{} : name.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The container library's muxer for the extension; .m4v takes the iPod flavour, which carries
// H.264 only, so other codecs go into plain MP4 there.
const char* MuxerName(const std::string& extension, int videoCodec)
{
    if (extension == ".mov") {
        return "mov";
    }
    if (extension == ".m4v") {
        return videoCodec == AV_CODEC_ID_H264 ? "ipod" : "mp4";
    }
    if (extension == ".mkv") {
        return "matroska";
    }
    if (extension == ".webm") {
        return "webm";
    }
    return "mp4";
}

bool CopyExtradata(AVCodecParameters* parameters, const std::vector<std::uint8_t>& extradata)
{
    if (extradata.empty()) {
        return true;
    }
    parameters->extradata = static_cast<std::uint8_t*>(av_mallocz(extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (parameters->extradata == nullptr) {
        return false;
    }
    std::memcpy(parameters->extradata, extradata.data(), extradata.size());
    parameters->extradata_size = static_cast<int>(extradata.size());
    return true;
}

// The file read back while the index is moved to the front.
struct Reader {
    int Fd = -1;
    std::int64_t Position = 0;
    std::int64_t Size = 0;
};

int ReadPacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto* reader = static_cast<Reader*>(opaque);
    const std::int64_t left = reader->Size - reader->Position;
    if (left <= 0) {
        return AVERROR_EOF;
    }
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(left, size));
    ssize_t got = 0;
    do {
        got = ::pread(reader->Fd, buffer, wanted, static_cast<off_t>(reader->Position));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return AVERROR(errno);
    }
    if (got == 0) {
        return AVERROR_EOF;
    }
    reader->Position += got;
    return static_cast<int>(got);
}

// A seek of the container library's I/O on a file of the given size from position, which moves
// to the answer unless it is the size asked for or an error.
std::int64_t SeekIn(std::int64_t& position, std::int64_t size, std::int64_t offset, int whence)
{
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return size;
    case SEEK_SET:
        position = offset;
        break;
    case SEEK_CUR:
        position += offset;
        break;
    case SEEK_END:
        position = size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    return position;
}

std::int64_t SeekReader(void* opaque, std::int64_t offset, int whence)
{
    auto* reader = static_cast<Reader*>(opaque);
    return SeekIn(reader->Position, reader->Size, offset, whence);
}

}  // namespace

MediaMuxer::MediaMuxer(int fd, std::string_view destination)
    : m_fd(fd), m_destination(destination), m_extension(LowerExtension(destination))
{
    m_faststart = m_extension != ".mkv" && m_extension != ".webm";
    m_packet = av_packet_alloc();
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (buffer != nullptr) {
        m_io = avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, WritePacket, Seek);
        if (m_io == nullptr) {
            av_free(buffer);
        } else {
            m_io->seekable = AVIO_SEEKABLE_NORMAL;
        }
    }
}

MediaMuxer::~MediaMuxer()
{
    if (!m_closed) {
        (void)Close(m_held.Position + 1);
    }
    av_packet_free(&m_packet);
}

bool MediaMuxer::AddVideoStream(const VideoStreamParameters& video, std::uint32_t rateNumerator,
                                std::uint32_t rateDenominator)
{
    if (m_format != nullptr || m_io == nullptr || m_packet == nullptr || m_headerWritten || rateNumerator == 0 ||
        rateDenominator == 0 || rateNumerator > INT32_MAX || rateDenominator > INT32_MAX) {
        return false;
    }
    // The muxer is known once the video codec is.
    if (avformat_alloc_output_context2(&m_format, nullptr, MuxerName(m_extension, video.CodecId), nullptr) < 0) {
        return false;
    }
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->opaque = this;
    // Moving the index to the front reads the file back through these.
    m_format->io_open = OpenForReading;
    m_format->io_close2 = CloseReader;
    av_freep(&m_format->url);
    m_format->url = av_strdup(m_destination.c_str());
    m_video = avformat_new_stream(m_format, nullptr);
    if (m_video == nullptr) {
        return false;
    }
    m_videoRateNum = static_cast<int>(rateNumerator);
    m_videoRateDen = static_cast<int>(rateDenominator);
    AVCodecParameters* parameters = m_video->codecpar;
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = static_cast<AVCodecID>(video.CodecId);
    parameters->format = video.PixelFormat;
    parameters->width = video.Width;
    parameters->height = video.Height;
    parameters->bits_per_coded_sample = video.BitsPerCodedSample;
    parameters->profile = video.Profile;
    parameters->level = video.Level;
    parameters->sample_aspect_ratio = {1, 1};
    parameters->field_order = AV_FIELD_PROGRESSIVE;
    parameters->color_primaries = static_cast<AVColorPrimaries>(video.ColorPrimaries);
    parameters->color_trc = static_cast<AVColorTransferCharacteristic>(video.ColorTransfer);
    parameters->color_space = static_cast<AVColorSpace>(video.ColorSpace);
    parameters->color_range = static_cast<AVColorRange>(video.ColorRange);
    // Players that take only the first HEVC tag insist on it.
    if (m_faststart && video.CodecId == AV_CODEC_ID_HEVC) {
        parameters->codec_tag = MKTAG('h', 'v', 'c', '1');
    }
    m_video->time_base = {m_videoRateDen, m_videoRateNum};
    m_video->avg_frame_rate = {m_videoRateNum, m_videoRateDen};
    m_video->r_frame_rate = m_video->avg_frame_rate;
    return CopyExtradata(parameters, video.Extradata);
}

bool MediaMuxer::AddAudioStream(const AudioStreamParameters& audio)
{
    if (m_format == nullptr || m_audio != nullptr || m_headerWritten || audio.SampleRate <= 0 || audio.Channels <= 0) {
        return false;
    }
    int codecId = audio.CodecId;
    if (codecId == 0) {
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(audio.CodecName);
        if (descriptor == nullptr) {
            return false;
        }
        codecId = descriptor->id;
    }
    m_audio = avformat_new_stream(m_format, nullptr);
    if (m_audio == nullptr) {
        return false;
    }
    m_audioRate = audio.SampleRate;
    AVCodecParameters* parameters = m_audio->codecpar;
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = static_cast<AVCodecID>(codecId);
    parameters->sample_rate = audio.SampleRate;
    av_channel_layout_default(&parameters->ch_layout, audio.Channels);
    parameters->frame_size = audio.FrameSize;
    parameters->initial_padding = audio.InitialPadding;
    parameters->bits_per_coded_sample = audio.BitsPerCodedSample;
    m_audio->time_base = {1, audio.SampleRate};
    return CopyExtradata(parameters, audio.Extradata);
}

bool MediaMuxer::WriteHeader()
{
    if (m_format == nullptr || m_video == nullptr || m_headerWritten || !MakeRoom(0)) {
        return false;
    }
    AVDictionary* options = nullptr;
    if (m_faststart) {
        av_dict_set(&options, "movflags", "+faststart", 0);
    }
    const int written = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (written < 0) {
        return false;
    }
    avio_flush(m_io);
    m_headerWritten = !m_writeFailed;
    m_bound = m_end;
    return m_headerWritten;
}

bool MediaMuxer::WriteVideo(std::int64_t position, std::span<const std::uint8_t> data, bool keyFrame)
{
    if (!m_headerWritten || m_failed || position <= m_held.Position) {
        return false;
    }
    if (!MakeRoom(data.size())) {
        return Fail();
    }
    if (m_held.Position >= 0 && !WriteHeldFrame(position)) {
        return Fail();
    }
    m_held.Data.assign(data.begin(), data.end());
    m_held.Position = position;
    m_held.KeyFrame = keyFrame;
    return true;
}

bool MediaMuxer::WriteAudio(std::span<const std::uint8_t> data, std::int64_t pts, std::int64_t duration)
{
    if (!m_headerWritten || m_failed || m_audio == nullptr) {
        return false;
    }
    if (!MakeRoom(data.size())) {
        return Fail();
    }
    m_packet->time_base = {1, m_audioRate};
    return Write(m_audio, data, pts, duration, true) || Fail();
}

bool MediaMuxer::WriteHeldFrame(std::int64_t until)
{
    const std::int64_t position = m_held.Position;
    m_held.Position = -1;
    return Write(m_video, m_held.Data, position, std::max<std::int64_t>(until - position, 1), m_held.KeyFrame);
}

bool MediaMuxer::Write(AVStream* stream, std::span<const std::uint8_t> data, std::int64_t pts, std::int64_t duration,
                       bool keyFrame)
{
    if (av_new_packet(m_packet, static_cast<int>(data.size())) < 0) {
        return false;
    }
    if (!data.empty()) {
        std::memcpy(m_packet->data, data.data(), data.size());
    }
    m_packet->stream_index = stream->index;
    m_packet->pts = pts;
    m_packet->dts = pts;
    m_packet->duration = duration;
    m_packet->flags = keyFrame ? AV_PKT_FLAG_KEY : 0;
    // An AV1 encoder that gives its sequence header only in the stream: Matroska takes the
    // stream's description from the first packet, which carries it.
    // Sound packets may come first.
    if (stream == m_video && stream->codecpar->codec_id == AV_CODEC_ID_AV1 && stream->codecpar->extradata_size == 0 &&
        !m_videoStarted) {
        std::uint8_t* header = av_packet_new_side_data(m_packet, AV_PKT_DATA_NEW_EXTRADATA, data.size());
        if (header == nullptr) {
            return false;
        }
        std::memcpy(header, data.data(), data.size());
    }
    const AVRational from = stream == m_video ? AVRational{m_videoRateDen, m_videoRateNum} : AVRational{1, m_audioRate};
    av_packet_rescale_ts(m_packet, from, stream->time_base);
    ++m_packets;
    m_videoStarted = m_videoStarted || stream == m_video;
    m_bound += static_cast<std::int64_t>(data.size()) + kFramingPerPacket;
    const int written = av_interleaved_write_frame(m_format, m_packet);
    av_packet_unref(m_packet);
    return written >= 0 && !m_writeFailed;
}

std::int64_t MediaMuxer::IndexReserve(std::int64_t packets) const
{
    const std::int64_t extradata = (m_video != nullptr ? m_video->codecpar->extradata_size : 0) +
                                   (m_audio != nullptr ? m_audio->codecpar->extradata_size : 0);
    const std::int64_t index = kFixedReserve + 2 * extradata + kIndexPerPacket * packets;
    // Moving the data behind the index in front needs the index's size once more.
    return m_faststart ? 2 * index : index;
}

bool MediaMuxer::MakeRoom(std::size_t packetBytes)
{
    // The packet held back counts as already written.
    const std::int64_t needed = m_bound + static_cast<std::int64_t>(packetBytes) + kFramingPerPacket +
                                (m_held.Position >= 0 ? static_cast<std::int64_t>(m_held.Data.size()) : 0) +
                                IndexReserve(m_packets + 2);
    if (m_allocated >= needed) {
        return true;
    }
    // Real zeros, not a hole: the blocks must be on disk before the packet that needs them counts.
    static const std::array<std::uint8_t, 64 * 1024> zeros{};
    const std::int64_t target = needed + kReserveSlack;
    while (m_allocated < target) {
        const auto count = static_cast<std::size_t>(std::min<std::int64_t>(target - m_allocated, std::ssize(zeros)));
        if (const int error = WriteAll(m_fd, m_allocated, std::span(zeros.data(), count)); error != 0) {
            // Whatever was written still counts; the slack is optional.
            if (m_allocated < needed) {
                Remember(error);
                return false;
            }
            return true;
        }
        m_allocated += static_cast<std::int64_t>(count);
    }
    return true;
}

bool MediaMuxer::Fail()
{
    m_failed = true;
    return false;
}

void MediaMuxer::Remember(int error)
{
    if (m_error == 0) {
        m_error = error;
    }
}

bool MediaMuxer::Close(std::int64_t videoPositions)
{
    if (m_closed) {
        return false;
    }
    m_closed = true;
    bool valid = m_headerWritten;
    if (m_headerWritten) {
        // The last frame lasts to the end of the video; the room for it was taken when it came.
        const bool heldFailed = m_held.Position >= 0 && !WriteHeldFrame(videoPositions);
        valid = av_write_trailer(m_format) >= 0;
        avio_flush(m_io);
        valid = valid && !m_writeFailed && !heldFailed;
        // The zeros held in reserve go.
        if (::ftruncate(m_fd, static_cast<off_t>(m_end)) != 0) {
            Remember(errno);
            valid = false;
        }
        m_failed = m_failed || heldFailed;
    }
    if (m_io != nullptr) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_format != nullptr) {
        m_format->pb = nullptr;
        avformat_free_context(m_format);
        m_format = nullptr;
    }
    if (m_fd >= 0 && ::close(m_fd) != 0) {
        Remember(errno);
        valid = false;
    }
    m_fd = -1;
    return valid;
}

int MediaMuxer::WritePacket(void* opaque, std::uint8_t* buffer, int size)
{
    auto* muxer = static_cast<MediaMuxer*>(opaque);
    const int error = WriteAll(muxer->m_fd, muxer->m_position, {buffer, static_cast<std::size_t>(size)});
    if (error != 0) {
        muxer->Remember(error);
        muxer->m_failed = true;
        muxer->m_writeFailed = true;
        return AVERROR(error);
    }
    muxer->m_position += size;
    muxer->m_end = std::max(muxer->m_end, muxer->m_position);
    return size;
}

std::int64_t MediaMuxer::Seek(void* opaque, std::int64_t offset, int whence)
{
    auto* muxer = static_cast<MediaMuxer*>(opaque);
    return SeekIn(muxer->m_position, muxer->m_end, offset, whence);
}

int MediaMuxer::OpenForReading(AVFormatContext* format, AVIOContext** io, const char* /*url*/, int flags,
                               AVDictionary** /*options*/)
{
    auto* muxer = static_cast<MediaMuxer*>(format->opaque);
    if ((flags & AVIO_FLAG_WRITE) != 0) {
        return AVERROR(EPERM);
    }
    avio_flush(muxer->m_io);
    auto* reader = new Reader{muxer->m_fd, 0, muxer->m_end};
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    *io = buffer != nullptr ? avio_alloc_context(buffer, kIoBufferSize, 0, reader, ReadPacket, nullptr, SeekReader)
                            : nullptr;
    if (*io == nullptr) {
        av_free(buffer);
        delete reader;
        return AVERROR(ENOMEM);
    }
    (*io)->seekable = AVIO_SEEKABLE_NORMAL;
    return 0;
}

int MediaMuxer::CloseReader(AVFormatContext* /*format*/, AVIOContext* io)
{
    delete static_cast<Reader*>(io->opaque);
    av_freep(&io->buffer);
    avio_context_free(&io);
    return 0;
}

}  // namespace kinetar::avi
