#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "avi/writer/StreamParameters.h"

struct AVFormatContext;
struct AVIOContext;
struct AVStream;
struct AVPacket;
struct AVDictionary;

namespace kinetar::avi {

// Writes MP4/QuickTime (the index in front), Matroska and WebM files through the container library,
// on a descriptor of our own. Room for the index of the packets written so far, and for moving the
// data behind the index on closing, is always held on disk behind the last packet, so a failed
// write (disk full, file size limit) still closes into a playable file holding every packet
// completely written.
class MediaMuxer {
public:
    // Takes an open, empty descriptor for reading and writing; the muxer closes it. The
    // destination's extension names the format: .mp4, .m4v, .mov, .mkv or .webm.
    MediaMuxer(int fd, std::string_view destination);
    MediaMuxer(const MediaMuxer&) = delete;
    MediaMuxer& operator=(const MediaMuxer&) = delete;
    ~MediaMuxer();

    // Takes the room the file's headers and fixed index parts need; false when the disk has none.
    bool ReserveRoom() { return MakeRoom(0); }
    // The video stream comes first, then any audio stream, then the header, then the packets.
    // Video frames have the exact rate numerator / denominator; a packet's time is its position.
    bool AddVideoStream(const VideoStreamParameters& video, std::uint32_t rateNumerator, std::uint32_t rateDenominator);
    // Audio has times in samples of its own rate.
    bool AddAudioStream(const AudioStreamParameters& audio);
    bool WriteHeader();

    // Writes the frame at the given position; it lasts until the next frame's position, the last
    // one until the end given to Close. False once anything could not be written or held: the
    // packets before it stay.
    bool WriteVideo(std::int64_t position, std::span<const std::uint8_t> data, bool keyFrame);
    // An audio packet at pts (in samples) lasting duration samples; packets of the two streams may
    // come in any order within a few seconds of each other.
    bool WriteAudio(std::span<const std::uint8_t> data, std::int64_t pts, std::int64_t duration);

    // Writes the index and closes the file. True when the file is complete and playable; Failed()
    // then tells whether it holds less than was handed to it.
    bool Close(std::int64_t videoPositions);
    bool Failed() const { return m_failed; }
    // The errno of the first write, truncation or close that failed; 0 when none did.
    int SystemError() const { return m_error; }

private:
    struct HeldFrame {
        std::vector<std::uint8_t> Data;
        std::int64_t Position = -1;
        bool KeyFrame = false;
    };

    bool Write(AVStream* stream, std::span<const std::uint8_t> data, std::int64_t pts, std::int64_t duration,
               bool keyFrame);
    bool WriteHeldFrame(std::int64_t until);
    // Makes sure the bytes of one more packet and the index of every packet so far fit on disk.
    bool MakeRoom(std::size_t packetBytes);
    std::int64_t IndexReserve(std::int64_t packets) const;
    bool Fail();
    // Keeps the first errno of a failed call of the system.
    void Remember(int error);

    static int WritePacket(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);
    static int OpenForReading(AVFormatContext* format, AVIOContext** io, const char* url, int flags,
                              AVDictionary** options);
    static int CloseReader(AVFormatContext* format, AVIOContext* io);

    int m_fd = -1;
    std::string m_destination;
    std::string m_extension;
    bool m_faststart = false;
    AVFormatContext* m_format = nullptr;
    AVIOContext* m_io = nullptr;
    AVStream* m_video = nullptr;
    AVStream* m_audio = nullptr;
    int m_videoRateNum = 1;
    int m_videoRateDen = 1;
    int m_audioRate = 48000;
    AVPacket* m_packet = nullptr;
    HeldFrame m_held;
    bool m_headerWritten = false;
    bool m_failed = false;       // a packet was refused or not written
    bool m_writeFailed = false;  // a write went wrong, so the file may hold less than it says
    bool m_closed = false;
    int m_error = 0;

    std::int64_t m_position = 0;   // where the container library writes next
    std::int64_t m_end = 0;        // the file's length as the container library made it
    std::int64_t m_allocated = 0;  // bytes really on disk
    std::int64_t m_bound = 0;      // how far the packets handed over can have reached
    std::int64_t m_packets = 0;
    bool m_videoStarted = false;  // the video stream has had its first packet
};

}  // namespace kinetar::avi
