#include "avi/audio/SoundInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace kinetar::avi {

SoundInput::SoundInput(const std::string& path) : m_file(path, O_RDONLY)
{
    // The libraries' own log lines would reach the terminal; what matters reaches the user in our words.
    av_log_set_level(AV_LOG_QUIET);
    if (m_file.IsOpen() && !Open(path)) {
        avformat_close_input(&m_format);
    }
}

SoundInput::~SoundInput()
{
    avformat_close_input(&m_format);
    if (m_io != nullptr) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

bool SoundInput::Open(const std::string& path)
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

int SoundInput::Read(void* opaque, std::uint8_t* bytes, int size)
{
    const int fd = static_cast<SoundInput*>(opaque)->m_file.Descriptor();
    ssize_t got = 0;
    do {
        got = ::read(fd, bytes, static_cast<std::size_t>(size));
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return AVERROR(errno);
    }
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
}

std::int64_t SoundInput::Seek(void* opaque, std::int64_t offset, int whence)
{
    const int fd = static_cast<SoundInput*>(opaque)->m_file.Descriptor();
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(fd, &status) == 0 ? static_cast<std::int64_t>(status.st_size) : AVERROR(errno);
    }
    const off_t position = ::lseek(fd, static_cast<off_t>(offset), whence);
    return position < 0 ? AVERROR(errno) : static_cast<std::int64_t>(position);
}

}  // namespace kinetar::avi
