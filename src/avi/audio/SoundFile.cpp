#include "avi/audio/SoundFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "common/RegularFile.h"
#include "pictures/LoadPicture.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

namespace {

// The file opened by the sound library, its streams found; closed when it goes. The library reads
// through a descriptor of ours, so a FIFO or a device is refused at once, never opened by name.
class Probe {
public:
    explicit Probe(const std::string& path) : m_file(path, O_RDONLY)
    {
        av_log_set_level(AV_LOG_ERROR);
        if (!m_file.IsOpen() || !OpenInput(path)) {
            return;
        }
        if (avformat_find_stream_info(m_format, nullptr) < 0) {
            avformat_close_input(&m_format);
        }
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    ~Probe()
    {
        avformat_close_input(&m_format);
        if (m_io != nullptr) {
            av_freep(&m_io->buffer);
            avio_context_free(&m_io);
        }
    }

    bool IsSound() const
    {
        if (m_format == nullptr) {
            return false;
        }
        bool audio = false;
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            const AVStream* stream = m_format->streams[i];
            const AVMediaType type = stream->codecpar->codec_type;
            if (type == AVMEDIA_TYPE_AUDIO) {
                audio = true;
            } else if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
                return false;
            }
        }
        return audio;
    }

    std::optional<std::int64_t> Milliseconds() const
    {
        if (!IsSound() || m_format->duration == AV_NOPTS_VALUE || m_format->duration < 0) {
            return std::nullopt;
        }
        return (m_format->duration + 500) / 1000;  // microseconds
    }

private:
    bool OpenInput(const std::string& path)
    {
        constexpr int kBufferSize = 1 << 16;
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
        if (buffer == nullptr) {
            return false;
        }
        m_io = avio_alloc_context(buffer, kBufferSize, 0, this, &Read, nullptr, &Seek);
        if (m_io == nullptr) {
            av_free(buffer);
            return false;
        }
        m_format = avformat_alloc_context();
        if (m_format == nullptr) {
            return false;
        }
        m_format->pb = m_io;
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
        // The path still names the input, so the library may weigh its extension.
        return avformat_open_input(&m_format, path.c_str(), nullptr, nullptr) == 0;  // frees m_format on failure
    }

    static int Read(void* opaque, std::uint8_t* bytes, int size)
    {
        const int fd = static_cast<Probe*>(opaque)->m_file.Descriptor();
        ssize_t got = 0;
        do {
            got = ::read(fd, bytes, static_cast<std::size_t>(size));
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            return AVERROR(errno);
        }
        return got == 0 ? AVERROR_EOF : static_cast<int>(got);
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence)
    {
        const int fd = static_cast<Probe*>(opaque)->m_file.Descriptor();
        whence &= ~AVSEEK_FORCE;
        if (whence == AVSEEK_SIZE) {
            struct stat status {};
            return ::fstat(fd, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : AVERROR(errno);
        }
        const off_t position = ::lseek(fd, static_cast<off_t>(offset), whence);
        return position < 0 ? AVERROR(errno) : static_cast<std::int64_t>(position);
    }

    RegularFile m_file;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_format = nullptr;
};

// True when the first bytes, or the name for TGA, make the file a picture.
bool LooksLikePicture(const std::string& path)
{
    if (pictures::IsTgaFile(path)) {
        return true;
    }
    std::array<std::uint8_t, 128> head{};
    const RegularFile file(path, O_RDONLY);
    if (!file.IsOpen()) {
        return false;
    }
    const ssize_t got = ::read(file.Descriptor(), head.data(), head.size());
    if (got <= 0) {
        return false;
    }
    const std::span<const std::uint8_t> bytes(head.data(), static_cast<std::size_t>(got));
    const bool pcx = bytes.size() >= head.size() && bytes[0] == 10;  // the PCX test may throw on old versions
    return pcx || pictures::IsBmpData(bytes) || pictures::IsGifData(bytes) || pictures::IsJpegData(bytes) ||
           pictures::IsPngData(bytes) || pictures::IsWebpData(bytes) || pictures::IsHeifData(bytes);
}

}  // namespace

bool IsSoundFile(const std::string& path)
{
    return Probe(path).IsSound();
}

std::optional<std::int64_t> SoundMilliseconds(const std::string& path)
{
    return Probe(path).Milliseconds();
}

project::FrameRecord NewRecordFor(const std::string& path)
{
    if (!LooksLikePicture(path) && IsSoundFile(path)) {
        return project::NewSoundRecord(path);
    }
    return project::NewFrameRecord(path);
}

}  // namespace kinetar::avi
