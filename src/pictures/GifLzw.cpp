#include "pictures/GifLzw.h"

#include <array>
#include <memory>
#include <stdexcept>

#include "common/Error.h"
#include "pictures/DecodedPicture.h"
#include "pictures/Messages.h"
#include "pictures/PhotoPixels.h"

namespace kinetar::pictures {

namespace {

// LZW as GIF uses it (GIF89a, appendix F): codes of 3 to 12 bits, least significant bit first, in
// sub-blocks of up to 255 bytes.
constexpr std::uint32_t kNoMoreData = 0xFFFF;  // no code can equal it
constexpr std::uint32_t kTableSize = 4096;
constexpr std::uint32_t kMaxCodeWidth = 12;
// One string may unwind to at most this many pixels; more means the table loops.
constexpr std::size_t kMaxPendingPixels = 4096;

class GifCodeReader {
public:
    explicit GifCodeReader(ByteCursor& cursor) : m_cursor(cursor) {}

    void SetWidth(std::uint32_t width)
    {
        m_width = width;
        m_mask = (1U << width) - 1;
    }
    std::uint32_t Width() const { return m_width; }

    // The next code, or kNoMoreData when a sub-block length or a whole sub-block is missing.
    std::uint32_t Next()
    {
        while (m_bitCount < m_width) {
            if (m_blockLeft == 0 && !NextBlock()) {
                return kNoMoreData;
            }
            m_bits |= std::uint32_t{*m_block++} << m_bitCount;
            m_bitCount += 8;
            --m_blockLeft;
        }
        const std::uint32_t code = m_bits & m_mask;
        m_bits >>= m_width;
        m_bitCount -= m_width;
        return code;
    }

private:
    // A zero length adds nothing; the next length byte follows.
    bool NextBlock()
    {
        for (;;) {
            const auto length = m_cursor.TryU8();
            if (!length || m_cursor.Remaining() < *length) {
                return false;
            }
            if (*length != 0) {
                m_block = m_cursor.Take(*length).data();
                m_blockLeft = *length;
                return true;
            }
        }
    }

    ByteCursor& m_cursor;
    const std::uint8_t* m_block = nullptr;
    std::size_t m_blockLeft = 0;
    std::uint32_t m_bits = 0;
    std::uint32_t m_bitCount = 0;
    std::uint32_t m_width = 0;
    std::uint32_t m_mask = 0;
};

// Places pixels left to right, row by row in plain or interlaced order; drops them once the image
// is full.
class GifRowWriter {
public:
    GifRowWriter(std::span<std::uint8_t> buffer, std::int32_t width, std::int32_t height, int bitsPerPixel,
                 bool interlaced)
        : m_buffer(buffer),
          m_stride(RowStride(width, bitsPerPixel)),
          m_width(width),
          m_height(height),
          m_bitsPerPixel(bitsPerPixel),
          m_interlaced(interlaced),
          m_row(width > 0 ? 0 : height)
    {
        SeekRow();
    }

    bool Full() const { return m_row >= m_height; }

    void Put(std::uint8_t value)
    {
        if (Full()) {
            return;
        }
        // A byte's first pixel starts it afresh: the bits of pixels never reached then read 0.
        const auto bit = static_cast<std::size_t>(m_column) * static_cast<std::size_t>(m_bitsPerPixel);
        if (bit % 8 == 0) {
            m_current[bit / 8] = 0;
        }
        SetPackedPixel(m_current, m_column, m_bitsPerPixel, value);
        if (++m_column == m_width) {
            m_column = 0;
            m_row = m_interlaced ? NextInterlacedRow(m_row, m_height, m_pass) : m_row + 1;
            SeekRow();
        }
    }

private:
    void SeekRow()
    {
        if (!Full()) {
            m_current = m_buffer.subspan(m_stride * static_cast<std::size_t>(m_height - 1 - m_row), m_stride);
        }
    }

    std::span<std::uint8_t> m_buffer;
    std::size_t m_stride;
    std::int32_t m_width;
    std::int32_t m_height;
    int m_bitsPerPixel;
    bool m_interlaced;
    std::int32_t m_row;
    std::int32_t m_column = 0;
    int m_pass = 0;
    std::span<std::uint8_t> m_current;
};

struct LzwTables {
    std::array<std::uint16_t, kTableSize> Prefix{};
    std::array<std::uint8_t, kTableSize> Suffix{};
    // A string unwinds last pixel first; room for the longest allowed and the pixel before it.
    std::array<std::uint8_t, kMaxPendingPixels + 2> Pending{};
};

}  // namespace

std::int32_t NextInterlacedRow(std::int32_t row, std::int32_t height, int& pass)
{
    const std::int32_t next = row + (pass <= 1 ? 8 : pass == 2 ? 4 : 2);
    if (next < height) {
        return next;
    }
    switch (pass) {
    case 0:
        pass = 1;
        if (4 < height) {
            return 4;
        }
        [[fallthrough]];
    case 1:
        pass = 2;
        if (2 < height) {
            return 2;
        }
        [[fallthrough]];
    case 2:
        pass = 3;
        return 1;
    default:
        return next;
    }
}

void DecodeGifImage(ByteCursor& cursor, std::int32_t width, std::int32_t height, int workBitsPerPixel, bool interlaced,
                    int tableBits, std::span<std::uint8_t> workBuffer)
{
    if (width < 0 || height < 0 ||
        workBuffer.size() < RowStride(width, workBitsPerPixel) * static_cast<std::size_t>(height) ||
        (workBitsPerPixel != 1 && workBitsPerPixel != 4 && workBitsPerPixel != 8) || tableBits < 1 ||
        tableBits > workBitsPerPixel) {
        throw std::invalid_argument("DecodeGifImage: the work buffer does not fit the image");
    }
    const std::uint8_t codeSize = OrFail(msg::kGifReadError, [&] { return cursor.U8(); });
    if (codeSize < 2 || codeSize > 9) {
        throw Error(msg::kBadGifCodeSize);
    }
    const std::uint32_t clearCode = 1U << codeSize;
    const std::uint32_t endCode = clearCode + 1;
    const std::uint32_t firstFree = clearCode + 2;
    const std::uint32_t initialWidth = codeSize + 1U;
    const std::uint32_t pixelMask = (1U << tableBits) - 1;

    GifCodeReader reader(cursor);
    GifRowWriter writer(workBuffer, width, height, workBitsPerPixel, interlaced);
    const auto tables = std::make_unique<LzwTables>();
    std::uint32_t widthLimit = 1U << initialWidth;
    std::uint32_t nextFree = firstFree;
    std::uint32_t previous = 0;
    std::uint8_t firstPixel = 0;
    bool tableFull = false;
    reader.SetWidth(initialWidth);

    // An entry exists only between the first free code and the next free one of the current table.
    const auto isDefined = [&](std::uint32_t code) {
        return code >= firstFree && code < nextFree && code < kTableSize;
    };

    // A huge picture takes seconds: a stop asked meanwhile is heard.
    for (std::int64_t codes = 0; !writer.Full(); ++codes) {
        ThrowIfStopRequested(codes, 4096);
        std::uint32_t code = reader.Next();
        if (code == endCode || code == kNoMoreData) {
            if (code == kNoMoreData) {
                throw Error(msg::kReadGifError);
            }
            return;
        }
        if (code == clearCode) {
            reader.SetWidth(initialWidth);
            widthLimit = 1U << initialWidth;
            nextFree = firstFree;
            do {
                code = reader.Next();
            } while (code == clearCode);
            if (code == kNoMoreData) {
                throw Error(msg::kReadGifError);
            }
            if (code == endCode) {
                return;
            }
            firstPixel = static_cast<std::uint8_t>(code & pixelMask);
            writer.Put(firstPixel);
            previous = code;
            tableFull = false;
            continue;
        }

        std::size_t pending = 0;
        std::uint32_t link = code;
        if (link >= nextFree) {
            // The code the encoder is about to define: the previous string plus its first pixel.
            link = previous;
            tables->Pending[pending++] = firstPixel;
        }
        while (link > pixelMask) {
            if (pending > kMaxPendingPixels || !isDefined(link)) {
                throw Error(msg::kGifCorrupted);
            }
            tables->Pending[pending++] = tables->Suffix[link];
            link = tables->Prefix[link];
        }
        firstPixel = static_cast<std::uint8_t>(link);
        tables->Pending[pending++] = firstPixel;
        while (pending > 0) {
            writer.Put(tables->Pending[--pending]);
        }

        if (!tableFull) {
            tables->Prefix[nextFree] = static_cast<std::uint16_t>(previous);
            tables->Suffix[nextFree] = firstPixel;
        }
        ++nextFree;
        if (nextFree == widthLimit) {
            // At 12 bits the table is full: no more entries until the next clear code.
            if (reader.Width() >= kMaxCodeWidth) {
                tableFull = true;
            } else {
                reader.SetWidth(reader.Width() + 1);
                widthLimit <<= 1;
            }
        }
        previous = code;
    }
}

}  // namespace kinetar::pictures
