#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/PackedPixels.h"
#include "pictures/Palettes.h"

namespace kinetar::pictures {

// Leaves new bytes uninitialised on resize, so memory a reader overwrites at once is not cleared
// first.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    template <typename U>
    void construct(U* place) noexcept
    {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U* place, Args&&... args)
    {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// The largest picture any reader accepts; a bigger declared size is refused before allocation.
inline constexpr std::int64_t kMaxPictureSide = 65535;
#ifdef KINETAR_MAX_PICTURE_PIXELS
// Fuzzing builds lower the pixel bound: a tiny file may rightly declare a picture of 2^28 pixels
// (PCX rows repeat once the data ends, GIF stops at an early end code), and filling 768 MiB does
// not fit the fuzzers' one-second budget.
inline constexpr std::int64_t kMaxPicturePixels = KINETAR_MAX_PICTURE_PIXELS;
#else
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;
#endif

// Raises "Picture is too large " + path unless 0 <= width, height <= 65535 and width x height <= 2^28.
// Every reader calls it with the size its header declares before it allocates the picture; a
// picture within the limits is then announced to the calling thread's PictureBudget, if it has one.
void CheckPictureSize(std::int64_t width, std::int64_t height, const std::string& path);

// A bound on the memory of the pictures being read at once. It is told the bytes of each picture a
// reader on its thread is about to decode (at 24 bits, the most any reader makes of that size) and
// may keep the thread waiting until other pictures leave room, or raise to drop the read.
class PictureBudget {
public:
    virtual void Reserve(std::uint64_t bytes) = 0;

protected:
    ~PictureBudget() = default;
};

// Gives the calling thread a budget while it lives, and the one it had before afterwards.
class PictureBudgetScope {
public:
    explicit PictureBudgetScope(PictureBudget& budget);
    PictureBudgetScope(const PictureBudgetScope&) = delete;
    PictureBudgetScope& operator=(const PictureBudgetScope&) = delete;
    ~PictureBudgetScope();

private:
    PictureBudget* m_previous;
};

// Gives the memory pages wholly inside [begin, end) back to the system, for a reader done with
// that part of a large buffer, so the buffer and the picture made from it are never both whole.
// A page given back reads as zeros: only for memory that is freed without being read again.
void ReleasePages(const void* begin, const void* end);

// Gives a file's bytes back to the system behind a reader that reads them once, front to back, when
// they are its own copy of the file: an uncompressed picture and its file are then never both
// whole. With bytes someone else keeps, it does nothing.
class BytesGivenBack {
public:
    BytesGivenBack(std::span<const std::uint8_t> bytes, bool disposable)
        : m_released(disposable ? bytes.data() : nullptr)
    {
    }

    // Everything before `position` has been read for the last time.
    void ReadUpTo(const std::uint8_t* position)
    {
        // In steps of a megabyte or more, so a small file costs no system calls.
        if (m_released != nullptr && position - m_released >= std::ptrdiff_t{1} << 20) {
            ReleasePages(m_released, position);
            m_released = position;
        }
    }

private:
    const std::uint8_t* m_released;
};

// Bytes per row at the given depth, padded to a multiple of 4.
constexpr std::size_t RowStride(std::int64_t width, int bitsPerPixel)
{
    return static_cast<std::size_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// Also reachable as pictures::PackedPixel, as the tests name it.
using kinetar::PackedPixel;

// An in-memory raster of 1, 4, 8 or 24 bits per pixel. Row 0 is the top row; each row is padded to a
// multiple of 4 bytes; 24-bit pixels are blue, green, red; indexed pixels refer to the palette.
// A newly sized picture is white. Rows are allocated on first access, so sizing and choosing the
// format of a new picture cost nothing until it is filled.
class DecodedPicture {
public:
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    std::size_t Stride() const { return RowStride(m_width, m_bitsPerPixel); }

    // Resizing keeps the content of the top-left part both sizes share; the rest is white.
    void SetWidth(std::int32_t width);
    void SetHeight(std::int32_t height);
    // Keeps the content, converted to the new depth. 1, 4 and 8 bits install the depth's default
    // palette first (black and white, 16 colours, the 256-colour halftone table).
    void SetPixelFormat(int bitsPerPixel);

    const std::vector<PaletteEntry>& Palette() const { return m_palette; }
    void SetPalette(std::span<const PaletteEntry> entries);  // at most 256 are kept
    void ClearPalette() { m_palette.clear(); }
    void MarkPaletteChanged() { m_paletteChanged = true; }
    bool PaletteChanged() const { return m_paletteChanged; }

    // Row access; any index outside 0 .. height-1 raises "Scan line index out of range".
    std::span<std::uint8_t> Row(std::int32_t y);
    std::span<const std::uint8_t> Row(std::int32_t y) const;
    // Sets every byte of every row, padding included.
    void Fill(std::uint8_t value);
    // Gives a new picture its rows without making them white, for a reader that writes every byte
    // of every row (padding included) before anyone reads them.
    void AllocateRowsToOverwrite();

    // The colour an indexed value shows: its palette entry, or black when the palette has none.
    PaletteEntry PaletteColor(std::uint32_t index) const
    {
        return index < m_palette.size() ? m_palette[index] : PaletteEntry{};
    }
    // The colour of pixel (x, y), through the palette for indexed pictures.
    PaletteEntry PixelColor(std::int32_t x, std::int32_t y) const;

private:
    void Materialize() const;
    std::uint8_t WhiteByte() const;
    void Reshape(std::int32_t width, std::int32_t height);

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    int m_bitsPerPixel = 24;
    std::vector<PaletteEntry> m_palette;
    bool m_paletteChanged = false;
    // Until m_materialized, every pixel is white and m_pixels is empty.
    mutable std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>> m_pixels;
    mutable bool m_materialized = false;
};

}  // namespace kinetar::pictures
