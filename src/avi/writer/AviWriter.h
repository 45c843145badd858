#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "avi/writer/FourCC.h"

namespace kinetar::avi {

// What the one video stream of a file carries.
struct StreamInfo {
    std::uint32_t Handler = 0;  // the codec's fourcc
    std::uint32_t Rate = 1;     // Rate / Scale frames per second
    std::uint32_t Scale = 1;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint32_t SuggestedBufferSize = 0;
    bool Compressed = false;  // "00dc" chunks instead of "00db"
};

// An uncompressed PCM sound stream (WAVEFORMATEX).
struct WaveFormat {
    std::uint16_t Channels = 2;
    std::uint32_t SamplesPerSecond = 48'000;
    std::uint16_t BitsPerSample = 16;
    std::uint32_t BlockAlign() const { return std::uint32_t{Channels} * BitsPerSample / 8; }
};

// Writes a RIFF AVI file with one video stream and optionally one PCM sound stream, growing into OpenDML (AVIX)
// segments past 1 GiB. Room for the indexes of the frames written so far is always held on disk behind the last frame,
// so a failed write (disk full, file size limit) still closes into a valid file that holds every frame completely
// written.
class AviWriter {
public:
    AviWriter() = default;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;
    ~AviWriter();

    // Takes an open, empty, writable descriptor; the writer closes it.
    explicit AviWriter(int fd);

    // Writes the fixed-size header region; false when it cannot be written.
    bool CreateStream(const StreamInfo& info, std::span<const std::uint8_t> format);
    // Sets the stream format and the codec that made it; false when the format does not fit the
    // header region or the header cannot be written.
    bool SetFormat(std::span<const std::uint8_t> format, std::uint32_t handler, bool compressed);
    // Adds the sound stream (stream 1, chunks "01wb"); only after CreateStream and before the
    // first sample. False when it comes too late or the header cannot be written.
    bool AddAudioStream(const WaveFormat& format);
    // Appends a chunk of PCM sound, whole blocks only, after the video samples written so far.
    // Failures behave as those of WriteSample.
    bool WriteAudio(std::span<const std::uint8_t> pcm);
    // Writes the sample at the given position. Positions skipped since the last sample become
    // empty chunks, so later samples keep their time. False after any write failure; the frames
    // written before it stay.
    // Empty chunks for the positions before this one that have none yet.
    bool PadTo(std::int64_t position);
    bool WriteSample(std::int64_t position, std::span<const std::uint8_t> data, bool keyFrame);
    // Pads with empty samples up to the given count, writes the indexes and the final header and
    // closes the file. True when the file is a valid AVI; Failed() then tells whether it holds
    // less than was written to it (the frames before the first failure).
    bool Close(std::int64_t sampleCount);

    bool Failed() const { return m_failed; }
    // The errno of the first write, truncation or close that failed; 0 when none did.
    int SystemError() const { return m_error; }

    // Header region and segment limits, for the tests.
    static constexpr std::int64_t kHeaderRegionSize = 8192;
    static constexpr std::int64_t kDefaultSegmentLimit = std::int64_t{1} << 30;
    // With a sound stream each stream's super index gets half of these, so both fit the header.
    static constexpr std::size_t kSuperIndexEntries = 256;
    // Smaller segments make OpenDML files testable without writing gigabytes.
    void SetSegmentLimitForTesting(std::int64_t bytes) { m_segmentLimit = bytes; }

private:
    struct IndexEntry {
        std::int64_t Offset;  // of the chunk's header
        std::uint32_t Size;   // of the chunk's data
        bool KeyFrame;
        bool Audio;
    };
    struct SuperIndexEntry {
        std::int64_t Offset;  // of the ix00 chunk
        std::uint32_t Size;   // of the ix00 chunk, header included
        std::uint32_t Duration;
    };

    bool HeaderFits() const;
    std::size_t SuperIndexCapacity() const;
    bool OpenMovi();
    bool AppendChunk(std::span<const std::uint8_t> data, bool keyFrame, bool audio = false);
    bool WriteStandardIndex(bool audio);
    bool StartSegment();
    bool CloseSegment();
    std::int64_t ReserveNeeded(std::size_t entries) const;
    bool EnsureReserve();
    // Writes count zeros at the offset; false, with the errno in m_zeroError, when they do not fit.
    bool WriteZeros(std::int64_t offset, std::int64_t count);
    std::vector<std::uint8_t> BuildHeader() const;
    bool WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes);
    // Marks the file as holding less than was asked of it and returns false.
    bool Fail();
    // The same for a failed call of the system, keeping the first errno.
    bool Fail(int error);

    int m_fd = -1;
    StreamInfo m_info;
    std::vector<std::uint8_t> m_format;
    std::int64_t m_segmentLimit = kDefaultSegmentLimit;

    std::int64_t m_end = 0;        // where the next chunk goes
    std::int64_t m_allocated = 0;  // bytes really on disk; [m_end, m_allocated) is index reserve
    bool m_failed = false;
    int m_error = 0;
    int m_zeroError = 0;

    // The segment being written: its RIFF header, its movi list and the chunks in it.
    std::int64_t m_segmentStart = 0;
    std::int64_t m_moviStart = 0;
    std::vector<IndexEntry> m_entries;
    std::vector<SuperIndexEntry> m_superIndex;
    bool m_segmentOpen = false;
    bool m_firstSegment = true;
    std::int64_t m_firstRiffEnd = 0;
    std::int64_t m_firstSegmentSamples = 0;
    std::int64_t m_totalSamples = 0;
    std::uint32_t m_maxChunkSize = 0;

    bool m_hasAudio = false;
    WaveFormat m_wave;
    std::vector<SuperIndexEntry> m_audioSuperIndex;
    std::int64_t m_audioBlocks = 0;
    std::uint32_t m_maxAudioChunkSize = 0;
};

}  // namespace kinetar::avi
