#include "avi/codecs/RleEncoder.h"

#include <algorithm>

#include "common/PackedPixels.h"

namespace kinetar::avi {

namespace {

constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;
constexpr std::int32_t kMaxCount = 255;
// Unchanged pixels shorter than this between two changed ones are coded again rather than skipped:
// a delta costs four bytes and breaks the runs around it.
constexpr std::int32_t kMinSkip = 8;

class RowPixels {
public:
    RowPixels(const IndexedRows& rows, std::int32_t storedRow)
        : m_bytes(rows.Pixels.subspan(static_cast<std::size_t>(storedRow) * rows.Stride, rows.Stride)),
          m_bits(rows.BitsPerPixel)
    {
    }
    std::uint8_t operator[](std::int32_t x) const { return PackedPixel(m_bytes, x, m_bits); }

private:
    std::span<const std::uint8_t> m_bytes;
    int m_bits;
};

class Encoder {
public:
    Encoder(const IndexedRows& frame, std::vector<std::uint8_t>& out)
        : m_bits(frame.BitsPerPixel), m_nibbles(frame.BitsPerPixel == 4), m_out(out)
    {
    }

    // Codes pixels [from, to) of one row: runs where the pixels repeat, absolute blocks elsewhere.
    // At 4 bits a run repeats a pair of nibbles, so alternating pixels are a run too.
    void Pixels(const RowPixels& row, std::int32_t from, std::int32_t to)
    {
        std::int32_t literalStart = from;
        std::int32_t x = from;
        while (x < to) {
            const std::int32_t run = RunLength(row, x, to);
            if (run >= 3) {
                Literal(row, literalStart, x);
                Run(row, x, run);
                x += run;
                literalStart = x;
            } else {
                ++x;
                if (x - literalStart == kMaxCount) {
                    Literal(row, literalStart, x);
                    literalStart = x;
                }
            }
        }
        Literal(row, literalStart, to);
    }

    void EndOfLine() { Escape(kEndOfLine); }
    void EndOfBitmap() { Escape(kEndOfBitmap); }
    void Delta(std::int32_t dx, std::int32_t dy)
    {
        while (dx > 0 || dy > 0) {
            const std::int32_t stepX = std::min(dx, kMaxCount);
            const std::int32_t stepY = std::min(dy, kMaxCount);
            m_out.insert(m_out.end(),
                         {kEscape, kDelta, static_cast<std::uint8_t>(stepX), static_cast<std::uint8_t>(stepY)});
            dx -= stepX;
            dy -= stepY;
        }
    }

private:
    std::int32_t RunLength(const RowPixels& row, std::int32_t x, std::int32_t to) const
    {
        const std::uint8_t first = row[x];
        const std::uint8_t second = (m_nibbles && x + 1 < to) ? row[x + 1] : first;
        std::int32_t length = 1;
        while (x + length < to && length < kMaxCount && row[x + length] == ((length % 2 == 0) ? first : second)) {
            ++length;
        }
        return length;
    }

    // The run's byte holds the pixels it alternates, as many as fit: one at 8 bits, two at 4.
    void Run(const RowPixels& row, std::int32_t x, std::int32_t length)
    {
        std::uint8_t value = 0;
        for (std::int32_t i = 0; i < 8 / m_bits; ++i) {
            SetPackedPixel({&value, 1}, i, m_bits, row[x + std::min(i, length - 1)]);
        }
        m_out.insert(m_out.end(), {static_cast<std::uint8_t>(length), value});
    }

    // An absolute block needs at least three pixels; one or two go out as runs of one.
    void Literal(const RowPixels& row, std::int32_t from, std::int32_t to)
    {
        const std::int32_t count = to - from;
        if (count <= 0) {
            return;
        }
        if (count < 3) {
            for (std::int32_t x = from; x < to; ++x) {
                Run(row, x, 1);
            }
            return;
        }
        m_out.insert(m_out.end(), {kEscape, static_cast<std::uint8_t>(count)});
        const std::size_t start = m_out.size();
        const std::size_t bytes = (static_cast<std::size_t>(count) * static_cast<std::size_t>(m_bits) + 7) / 8;
        m_out.resize(start + bytes, 0);
        const auto block = std::span(m_out).subspan(start);
        for (std::int32_t x = from; x < to; ++x) {
            SetPackedPixel(block, x - from, m_bits, row[x]);
        }
        if (bytes % 2 == 1) {
            m_out.push_back(0);  // blocks are padded to an even number of bytes
        }
    }

    void Escape(std::uint8_t code) { m_out.insert(m_out.end(), {kEscape, code}); }

    int m_bits;
    bool m_nibbles;
    std::vector<std::uint8_t>& m_out;
};

// The changed pixels of a row as ranges [first, second), short unchanged gaps merged in.
std::vector<std::pair<std::int32_t, std::int32_t>> ChangedRanges(const RowPixels& now, const RowPixels& before,
                                                                 std::int32_t width)
{
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    std::int32_t x = 0;
    while (x < width) {
        while (x < width && now[x] == before[x]) {
            ++x;
        }
        if (x == width) {
            break;
        }
        const std::int32_t start = x;
        while (x < width && now[x] != before[x]) {
            ++x;
        }
        if (!ranges.empty() && start - ranges.back().second < kMinSkip) {
            ranges.back().second = x;
        } else {
            ranges.emplace_back(start, x);
        }
    }
    return ranges;
}

}  // namespace

void EncodeRle(const IndexedRows& frame, const IndexedRows* previous, std::vector<std::uint8_t>& out)
{
    const std::size_t start = out.size();
    Encoder encoder(frame, out);
    if (previous == nullptr) {
        for (std::int32_t y = 0; y < frame.Height; ++y) {
            encoder.Pixels(RowPixels(frame, y), 0, frame.Width);
            if (y + 1 < frame.Height) {
                encoder.EndOfLine();
            }
        }
    } else {
        // The decoder's position, in stored rows and columns.
        std::int32_t atRow = 0;
        std::int32_t atColumn = 0;
        for (std::int32_t y = 0; y < frame.Height; ++y) {
            const RowPixels row(frame, y);
            for (const auto& [from, to] : ChangedRanges(row, RowPixels(*previous, y), frame.Width)) {
                if (atRow < y && from < atColumn) {
                    encoder.EndOfLine();
                    ++atRow;
                    atColumn = 0;
                }
                encoder.Delta(from - atColumn, y - atRow);
                encoder.Pixels(row, from, to);
                atRow = y;
                atColumn = to;
            }
        }
    }
    encoder.EndOfBitmap();
    // A frame whose coded size equals the uncompressed size would be taken as uncompressed by some
    // decoders; one more end of bitmap sets it apart.
    if (out.size() - start == frame.Stride * static_cast<std::size_t>(frame.Height)) {
        encoder.EndOfBitmap();
    }
}

}  // namespace kinetar::avi
