#include "avi/writer/AviWriter.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>

#include "common/LittleEndian.h"
#include "common/WriteAll.h"

namespace kinetar::avi {

namespace {

constexpr std::uint32_t kAvifHasIndex = 0x10;
constexpr std::uint32_t kAviifKeyFrame = 0x10;
constexpr std::uint32_t kStandardIndexNonKey = 0x80000000U;
constexpr std::uint8_t kIndexOfIndexes = 0;
constexpr std::uint8_t kIndexOfChunks = 1;

constexpr std::int64_t kListHeaderSize = 12;
constexpr std::int64_t kChunkHeaderSize = 8;
constexpr std::int64_t kStandardIndexHeader = kChunkHeaderSize + 24;
constexpr std::int64_t kStandardIndexEntry = 8;
constexpr std::int64_t kOldIndexEntry = 16;
constexpr std::int64_t kSuperIndexHeader = 24;
constexpr std::int64_t kSuperIndexEntrySize = 16;
constexpr std::int64_t kDmlhSize = 248;
constexpr std::int64_t kWaveFormatSize = 18;
constexpr std::uint32_t kWavePcm = 1;
// Zeros written ahead of the index reserve, so small frames do not extend the file one by one;
// more for frames under kLargeChunk. A large frame extends the file itself.
constexpr std::int64_t kReserveSlack = 16 * 1024;
constexpr std::int64_t kSmallChunkSlack = 256 * 1024;
constexpr std::uint32_t kLargeChunk = 64 * 1024;
// Bounds the index entries held in memory for one segment.
constexpr std::size_t kMaxEntriesPerSegment = std::size_t{1} << 20;
// A chunk must leave its RIFF's 32-bit size room for the headers around it.
constexpr std::uint64_t kMaxChunkData = 0xFFFFFFFFULL - 0x10000;

class Bytes {
public:
    Bytes& U8(std::uint32_t value)
    {
        m_bytes.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    Bytes& U16(std::uint32_t value)
    {
        StoreLE16(Grow(2), 0, value);
        return *this;
    }
    Bytes& U32(std::uint32_t value)
    {
        StoreLE32(Grow(4), 0, value);
        return *this;
    }
    Bytes& U64(std::uint64_t value)
    {
        StoreLE64(Grow(8), 0, value);
        return *this;
    }
    Bytes& Raw(std::span<const std::uint8_t> bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& Zeros(std::size_t count)
    {
        m_bytes.insert(m_bytes.end(), count, 0);
        return *this;
    }
    std::size_t Size() const { return m_bytes.size(); }
    void PatchU32(std::size_t at, std::uint32_t value) { StoreLE32(m_bytes, at, value); }
    std::vector<std::uint8_t>& Data() { return m_bytes; }

private:
    // Appends count bytes for the caller to fill.
    std::span<std::uint8_t> Grow(std::size_t count)
    {
        m_bytes.resize(m_bytes.size() + count);
        return std::span(m_bytes).last(count);
    }

    std::vector<std::uint8_t> m_bytes;
};

std::uint32_t U32(std::int64_t value)
{
    return static_cast<std::uint32_t>(value);
}

std::array<std::uint8_t, 8> ChunkHeader(std::uint32_t id, std::uint32_t size)
{
    std::array<std::uint8_t, 8> header{};
    StoreLE32(header, 0, id);
    StoreLE32(header, 4, size);
    return header;
}

std::uint32_t AudioChunkId()
{
    return FourCC('0', '1', 'w', 'b');
}

// An OpenDML super index with room for capacity entries.
template <typename Entries>
void PutSuperIndex(Bytes& out, std::uint32_t chunkId, const Entries& entries, std::size_t capacity)
{
    out.Raw(ChunkHeader(FourCC('i', 'n', 'd', 'x'),
                        U32(kSuperIndexHeader + kSuperIndexEntrySize * static_cast<std::int64_t>(capacity))));
    out.U16(4).U8(0).U8(kIndexOfIndexes);
    out.U32(static_cast<std::uint32_t>(entries.size()));
    out.U32(chunkId);
    out.Zeros(12);
    for (const auto& entry : entries) {
        out.U64(static_cast<std::uint64_t>(entry.Offset)).U32(entry.Size).U32(entry.Duration);
    }
    out.Zeros(static_cast<std::size_t>(kSuperIndexEntrySize) * (capacity - entries.size()));
}

}  // namespace

AviWriter::AviWriter(int fd) : m_fd(fd) {}

AviWriter::~AviWriter()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool AviWriter::Fail()
{
    m_failed = true;
    return false;
}

bool AviWriter::Fail(int error)
{
    if (m_error == 0) {
        m_error = error;
    }
    return Fail();
}

bool AviWriter::WriteAt(std::int64_t offset, std::span<const std::uint8_t> bytes)
{
    if (const int error = WriteAll(m_fd, offset, bytes); error != 0) {
        return Fail(error);
    }
    m_allocated = std::max(m_allocated, offset + static_cast<std::int64_t>(bytes.size()));
    return true;
}

std::vector<std::uint8_t> AviWriter::BuildHeader() const
{
    const std::int64_t framesInFirst = m_firstSegment ? m_totalSamples : m_firstSegmentSamples;
    const std::uint32_t rate = std::max<std::uint32_t>(m_info.Rate, 1);
    const std::uint32_t scale = std::max<std::uint32_t>(m_info.Scale, 1);
    const std::uint32_t audioBytesPerSecond = m_hasAudio ? m_wave.SamplesPerSecond * m_wave.BlockAlign() : 0;
    const std::uint64_t bytesPerSecond = std::uint64_t{m_maxChunkSize} * rate / scale + audioBytesPerSecond;
    const std::uint64_t microsecondsPerFrame = (std::uint64_t{1000000} * scale + rate / 2) / rate;
    const std::uint32_t chunkId = FourCC('0', '0', 'd', m_info.Compressed ? 'c' : 'b');

    Bytes out;
    out.Raw(ChunkHeader(FourCC('R', 'I', 'F', 'F'), 0)).U32(FourCC('A', 'V', 'I', ' '));
    const std::size_t hdrlAt = out.Size();
    out.Raw(ChunkHeader(FourCC('L', 'I', 'S', 'T'), 0)).U32(FourCC('h', 'd', 'r', 'l'));

    out.Raw(ChunkHeader(FourCC('a', 'v', 'i', 'h'), 56));
    out.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(microsecondsPerFrame, 0xFFFFFFFFU)));
    out.U32(static_cast<std::uint32_t>(std::min<std::uint64_t>(bytesPerSecond, 0xFFFFFFFFU)));
    out.U32(0);  // padding granularity
    out.U32(kAvifHasIndex);
    out.U32(U32(framesInFirst));
    out.U32(0);                   // initial frames
    out.U32(m_hasAudio ? 2 : 1);  // streams
    out.U32(std::max(m_maxChunkSize, m_info.SuggestedBufferSize));
    out.U32(U32(m_info.Width)).U32(U32(m_info.Height));
    out.Zeros(16);

    const std::size_t strlAt = out.Size();
    out.Raw(ChunkHeader(FourCC('L', 'I', 'S', 'T'), 0)).U32(FourCC('s', 't', 'r', 'l'));
    out.Raw(ChunkHeader(FourCC('s', 't', 'r', 'h'), 56));
    out.U32(FourCC('v', 'i', 'd', 's')).U32(m_info.Handler);
    out.U32(0);         // flags
    out.U16(0).U16(0);  // priority, language
    out.U32(0);         // initial frames
    out.U32(scale).U32(rate);
    out.U32(0);  // start
    out.U32(U32(m_totalSamples));
    out.U32(m_info.SuggestedBufferSize);
    out.U32(0).U32(0);  // quality, sample size
    out.U16(0)
        .U16(0)
        .U16(static_cast<std::uint32_t>(m_info.Width) & 0xFFFF)
        .U16(static_cast<std::uint32_t>(m_info.Height) & 0xFFFF);

    out.Raw(ChunkHeader(FourCC('s', 't', 'r', 'f'), static_cast<std::uint32_t>(m_format.size()))).Raw(m_format);
    if (m_format.size() % 2 != 0) {
        out.U8(0);
    }

    PutSuperIndex(out, chunkId, m_superIndex, SuperIndexCapacity());
    out.PatchU32(strlAt + 4, static_cast<std::uint32_t>(out.Size() - strlAt - 8));

    if (m_hasAudio) {
        const std::size_t audioAt = out.Size();
        const std::uint32_t blockAlign = m_wave.BlockAlign();
        out.Raw(ChunkHeader(FourCC('L', 'I', 'S', 'T'), 0)).U32(FourCC('s', 't', 'r', 'l'));
        out.Raw(ChunkHeader(FourCC('s', 't', 'r', 'h'), 56));
        out.U32(FourCC('a', 'u', 'd', 's')).U32(0);
        out.U32(0);         // flags
        out.U16(0).U16(0);  // priority, language
        out.U32(0);         // initial frames
        // One tick is one block: a sample of every channel.
        out.U32(blockAlign).U32(m_wave.SamplesPerSecond * blockAlign);
        out.U32(0);  // start
        out.U32(U32(m_audioBlocks));
        out.U32(m_maxAudioChunkSize);
        out.U32(0xFFFFFFFFU);  // quality: the default
        out.U32(blockAlign);   // sample size
        out.Zeros(8);          // frame rectangle
        out.Raw(ChunkHeader(FourCC('s', 't', 'r', 'f'), U32(kWaveFormatSize)));
        out.U16(kWavePcm).U16(m_wave.Channels).U32(m_wave.SamplesPerSecond);
        out.U32(m_wave.SamplesPerSecond * blockAlign).U16(blockAlign).U16(m_wave.BitsPerSample);
        out.U16(0);  // no extra bytes
        PutSuperIndex(out, AudioChunkId(), m_audioSuperIndex, SuperIndexCapacity());
        out.PatchU32(audioAt + 4, static_cast<std::uint32_t>(out.Size() - audioAt - 8));
    }

    out.Raw(ChunkHeader(FourCC('L', 'I', 'S', 'T'), U32(4 + kChunkHeaderSize + kDmlhSize)))
        .U32(FourCC('o', 'd', 'm', 'l'));
    out.Raw(ChunkHeader(FourCC('d', 'm', 'l', 'h'), U32(kDmlhSize))).U32(U32(m_totalSamples)).Zeros(kDmlhSize - 4);
    out.PatchU32(hdrlAt + 4, static_cast<std::uint32_t>(out.Size() - hdrlAt - 8));

    const auto junk =
        static_cast<std::size_t>(kHeaderRegionSize) - out.Size() - static_cast<std::size_t>(kChunkHeaderSize);
    out.Raw(ChunkHeader(FourCC('J', 'U', 'N', 'K'), static_cast<std::uint32_t>(junk))).Zeros(junk);

    const std::int64_t firstRiffEnd = m_firstSegment ? m_end : m_firstRiffEnd;
    out.PatchU32(4, U32(firstRiffEnd - 8));
    return std::move(out.Data());
}

std::size_t AviWriter::SuperIndexCapacity() const
{
    return m_hasAudio ? kSuperIndexEntries / 2 : kSuperIndexEntries;
}

bool AviWriter::HeaderFits() const
{
    // Everything but the format is of fixed size; the format must leave room for a JUNK header.
    const auto superIndex = kSuperIndexHeader + kSuperIndexEntrySize * static_cast<std::int64_t>(SuperIndexCapacity());
    auto fixed = static_cast<std::int64_t>(12 + 12 + 64 + 12 + 64 + 8 + 8 + superIndex + 12 + 8 + kDmlhSize + 8);
    if (m_hasAudio) {
        fixed += 12 + 64 + 8 + kWaveFormatSize + 8 + superIndex;
    }
    return fixed + static_cast<std::int64_t>(m_format.size() + m_format.size() % 2) <= kHeaderRegionSize;
}

bool AviWriter::AddAudioStream(const WaveFormat& format)
{
    if (m_failed || !m_segmentOpen || m_hasAudio || !m_firstSegment || !m_entries.empty() || format.BlockAlign() == 0) {
        return false;
    }
    m_hasAudio = true;
    m_wave = format;
    if (!HeaderFits()) {
        m_hasAudio = false;
        return false;
    }
    // The reserve now holds a second standard index header.
    return WriteAt(0, BuildHeader()) && EnsureReserve();
}

bool AviWriter::WriteAudio(std::span<const std::uint8_t> pcm)
{
    if (m_failed || !m_segmentOpen || !m_hasAudio || pcm.size() % m_wave.BlockAlign() != 0) {
        return false;
    }
    return pcm.empty() || AppendChunk(pcm, true, true);
}

bool AviWriter::CreateStream(const StreamInfo& info, std::span<const std::uint8_t> format)
{
    if (m_fd < 0) {
        return Fail();
    }
    m_info = info;
    m_format.assign(format.begin(), format.end());
    if (!HeaderFits()) {
        return Fail();  // the format does not fit the header region
    }
    m_end = kHeaderRegionSize;
    if (!WriteAt(0, BuildHeader())) {
        return false;
    }
    m_segmentStart = 0;
    return OpenMovi();
}

bool AviWriter::SetFormat(std::span<const std::uint8_t> format, std::uint32_t handler, bool compressed)
{
    if (m_failed || m_totalSamples > 0) {
        return false;
    }
    std::vector<std::uint8_t> previous = std::move(m_format);
    m_format.assign(format.begin(), format.end());
    if (!HeaderFits()) {
        m_format = std::move(previous);
        return false;
    }
    m_info.Handler = handler;
    m_info.Compressed = compressed;
    return WriteAt(0, BuildHeader());
}

// The movi list of the current segment, and the reserve behind it.
bool AviWriter::OpenMovi()
{
    m_moviStart = m_end;
    Bytes list;
    list.Raw(ChunkHeader(FourCC('L', 'I', 'S', 'T'), 4)).U32(FourCC('m', 'o', 'v', 'i'));
    if (!WriteAt(m_end, list.Data())) {
        return false;
    }
    m_end += kListHeaderSize;
    m_segmentOpen = true;
    m_entries.clear();
    if (!EnsureReserve()) {
        // Not even an empty segment fits: drop it again.
        m_end = m_moviStart;
        m_segmentOpen = false;
        return false;
    }
    return true;
}

std::int64_t AviWriter::ReserveNeeded(std::size_t entries) const
{
    const auto count = static_cast<std::int64_t>(entries);
    std::int64_t bytes = kStandardIndexHeader * (m_hasAudio ? 2 : 1) + kStandardIndexEntry * count;
    if (m_firstSegment) {
        bytes += kChunkHeaderSize + kOldIndexEntry * count;
    }
    return bytes;
}

bool AviWriter::WriteZeros(std::int64_t offset, std::int64_t count)
{
    // Real zeros, not a hole: the blocks must be on disk before the frames that need them count.
    static const std::array<std::uint8_t, 64 * 1024> zeros{};
    std::vector<iovec> parts;
    for (std::int64_t left = count; left > 0; left -= std::ssize(zeros)) {
        parts.push_back({const_cast<std::uint8_t*>(zeros.data()),
                         static_cast<std::size_t>(std::min<std::int64_t>(left, std::ssize(zeros)))});
    }
    if (const int error = WriteAll(m_fd, offset, parts); error != 0) {
        m_zeroError = error;
        return false;
    }
    m_allocated = std::max(m_allocated, offset + count);
    return true;
}

bool AviWriter::EnsureReserve()
{
    const std::int64_t needed = m_end + ReserveNeeded(m_entries.size());
    if (m_allocated >= needed) {
        return true;
    }
    // Some room ahead spares small frames a write each; without it the next frame fails instead.
    // Small frames take more, so their zeros come once every few dozen frames.
    const std::int64_t slack =
        std::max(m_maxChunkSize, m_maxAudioChunkSize) < kLargeChunk ? kSmallChunkSlack : kReserveSlack;
    if (WriteZeros(m_allocated, needed - m_allocated + slack)) {
        return true;
    }
    return WriteZeros(m_allocated, needed - m_allocated) || Fail(m_zeroError);
}

bool AviWriter::AppendChunk(std::span<const std::uint8_t> data, bool keyFrame, bool audio)
{
    if (data.size() > kMaxChunkData) {
        return Fail();  // a frame too large for a chunk
    }
    const auto padded = static_cast<std::int64_t>(data.size() + data.size() % 2);
    const std::int64_t chunkSize = kChunkHeaderSize + padded;
    const bool segmentFull =
        !m_entries.empty() &&
        (m_end + chunkSize + ReserveNeeded(m_entries.size() + 1) - m_segmentStart > m_segmentLimit ||
         m_entries.size() >= kMaxEntriesPerSegment);
    if (segmentFull) {
        if (std::max(m_superIndex.size(), m_audioSuperIndex.size()) + 1 >= SuperIndexCapacity()) {
            return Fail();  // the file has reached its largest size
        }
        if (!CloseSegment() || !StartSegment()) {
            return false;
        }
    }

    const std::uint32_t chunkId = audio ? AudioChunkId() : FourCC('0', '0', 'd', m_info.Compressed ? 'c' : 'b');
    const auto header = ChunkHeader(chunkId, static_cast<std::uint32_t>(data.size()));
    static const std::uint8_t pad = 0;
    std::array<iovec, 3> parts{{{const_cast<std::uint8_t*>(header.data()), header.size()},
                                {const_cast<std::uint8_t*>(data.data()), data.size()},
                                {const_cast<std::uint8_t*>(&pad), data.size() % 2}}};
    if (const int error = WriteAll(m_fd, m_end, parts); error != 0) {
        return Fail(error);
    }
    const std::int64_t chunkStart = m_end;
    m_end += chunkSize;
    m_allocated = std::max(m_allocated, m_end);
    m_entries.push_back({chunkStart, static_cast<std::uint32_t>(data.size()), keyFrame, audio});
    if (!EnsureReserve()) {
        // The index of this frame has no room: the file ends with the frame before it.
        m_entries.pop_back();
        m_end = chunkStart;
        return false;
    }
    if (audio) {
        m_maxAudioChunkSize = std::max(m_maxAudioChunkSize, static_cast<std::uint32_t>(data.size()));
        m_audioBlocks += static_cast<std::int64_t>(data.size() / m_wave.BlockAlign());
        return true;
    }
    m_maxChunkSize = std::max(m_maxChunkSize, static_cast<std::uint32_t>(data.size()));
    ++m_totalSamples;
    return true;
}

bool AviWriter::PadTo(std::int64_t position)
{
    if (m_failed || !m_segmentOpen) {
        return false;
    }
    while (m_totalSamples < position) {
        if (!AppendChunk({}, false)) {
            return false;
        }
    }
    return true;
}

bool AviWriter::WriteSample(std::int64_t position, std::span<const std::uint8_t> data, bool keyFrame)
{
    if (!PadTo(position)) {
        return false;
    }
    if (position < m_totalSamples) {
        return Fail();  // samples come in order
    }
    return AppendChunk(data, keyFrame);
}

// Writes the standard index (and, in the first segment, the AVI 1.0 index) into the reserve and
// closes the segment's lists. Never extends the file past the reserve.
// The segment's standard index of one stream ("ix00" or "ix01"), when it has chunks there.
bool AviWriter::WriteStandardIndex(bool audio)
{
    const std::uint32_t chunkId = audio ? AudioChunkId() : FourCC('0', '0', 'd', m_info.Compressed ? 'c' : 'b');
    const auto count = std::count_if(m_entries.begin(), m_entries.end(),
                                     [audio](const IndexEntry& entry) { return entry.Audio == audio; });
    if (count == 0) {
        return true;
    }
    Bytes index;
    index.Raw(ChunkHeader(FourCC('i', 'x', '0', audio ? '1' : '0'), U32(24 + kStandardIndexEntry * count)));
    index.U16(2).U8(0).U8(kIndexOfChunks);
    index.U32(static_cast<std::uint32_t>(count));
    index.U32(chunkId);
    index.U64(static_cast<std::uint64_t>(m_moviStart));
    index.U32(0);
    std::int64_t duration = 0;
    for (const auto& entry : m_entries) {
        if (entry.Audio == audio) {
            index.U32(U32(entry.Offset + kChunkHeaderSize - m_moviStart));
            index.U32(entry.Size | (entry.KeyFrame ? 0U : kStandardIndexNonKey));
            duration += audio ? entry.Size / m_wave.BlockAlign() : 1;
        }
    }
    if (!WriteAt(m_end, index.Data())) {
        return false;
    }
    (audio ? m_audioSuperIndex : m_superIndex)
        .push_back({m_end, static_cast<std::uint32_t>(index.Size()), static_cast<std::uint32_t>(duration)});
    m_end += static_cast<std::int64_t>(index.Size());
    return true;
}

bool AviWriter::CloseSegment()
{
    const std::uint32_t chunkId = FourCC('0', '0', 'd', m_info.Compressed ? 'c' : 'b');
    bool ok = WriteStandardIndex(false);
    if (m_hasAudio) {
        ok = WriteStandardIndex(true) && ok;
    }
    Bytes size;
    size.U32(U32(m_end - m_moviStart - 8));
    ok = WriteAt(m_moviStart + 4, size.Data()) && ok;

    if (m_firstSegment) {
        Bytes index;
        index.Raw(ChunkHeader(FourCC('i', 'd', 'x', '1'), U32(kOldIndexEntry * std::ssize(m_entries))));
        for (const auto& entry : m_entries) {
            index.U32(entry.Audio ? AudioChunkId() : chunkId);
            index.U32(entry.KeyFrame ? kAviifKeyFrame : 0U);
            // Offsets count from the "movi" fourcc.
            index.U32(U32(entry.Offset - (m_moviStart + 8)));
            index.U32(entry.Size);
        }
        ok = WriteAt(m_end, index.Data()) && ok;
        m_end += static_cast<std::int64_t>(index.Size());
        m_firstSegment = false;
        m_firstSegmentSamples = m_totalSamples;
        m_firstRiffEnd = m_end;
    } else {
        Bytes riffSize;
        riffSize.U32(U32(m_end - m_segmentStart - 8));
        ok = WriteAt(m_segmentStart + 4, riffSize.Data()) && ok;
    }
    m_entries.clear();
    m_segmentOpen = false;
    return ok;
}

bool AviWriter::StartSegment()
{
    const std::int64_t start = m_end;
    Bytes riff;
    riff.Raw(ChunkHeader(FourCC('R', 'I', 'F', 'F'), 4)).U32(FourCC('A', 'V', 'I', 'X'));
    if (!WriteAt(start, riff.Data())) {
        return false;
    }
    m_segmentStart = start;
    m_end = start + kListHeaderSize;
    if (!OpenMovi()) {
        m_end = start;
        return false;
    }
    return true;
}

bool AviWriter::Close(std::int64_t sampleCount)
{
    if (m_fd < 0) {
        return false;
    }
    bool padded = !m_failed;
    while (padded && m_segmentOpen && m_totalSamples < sampleCount) {
        padded = AppendChunk({}, false);
    }
    // From here on every write lands in room already on disk.
    m_failed = m_failed || !padded;
    bool valid = true;
    if (m_segmentOpen) {
        valid = CloseSegment();
    }
    valid = WriteAt(0, BuildHeader()) && valid;
    // Cut off the unused reserve and anything a failed write left behind the last whole frame.
    if (::ftruncate(m_fd, static_cast<off_t>(m_end)) != 0) {
        valid = Fail(errno);
    }
    if (::close(m_fd) != 0) {
        valid = Fail(errno);
    }
    m_fd = -1;
    return valid;
}

}  // namespace kinetar::avi
