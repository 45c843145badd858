#include "avi/audio/SoundFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>

extern "C" {
#include <libavformat/avformat.h>
}

#include "avi/audio/AudioStages.h"
#include "avi/audio/SoundInput.h"
#include "common/Error.h"
#include "common/RegularFile.h"
#include "pictures/LoadPicture.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

namespace {

// The file opened by the sound library, its streams found.
class Probe {
public:
    explicit Probe(const std::string& path) : m_input(path), m_format(m_input.Format())
    {
        if (m_format != nullptr && avformat_find_stream_info(m_format, nullptr) < 0) {
            m_format = nullptr;
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
    const SoundInput m_input;
    AVFormatContext* m_format;
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

std::optional<std::string> SoundRefusal(const std::string& path)
{
    try {
        const audio::SoundSource source(path);
    } catch (const Error& error) {
        return error.what();
    }
    return std::nullopt;
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
