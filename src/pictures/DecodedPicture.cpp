#include "pictures/DecodedPicture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "common/Error.h"
#include "pictures/Messages.h"

namespace kinetar::pictures {

namespace {

thread_local PictureBudget* t_budget = nullptr;

bool WithinLimits(std::int64_t width, std::int64_t height)
{
    return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

}  // namespace

void CheckPictureSize(std::int64_t width, std::int64_t height, const std::string& path)
{
    if (!WithinLimits(width, height)) {
        throw Error(msg::kPictureTooLarge + path);
    }
    if (t_budget != nullptr) {
        t_budget->Reserve(RowStride(width, 24) * static_cast<std::uint64_t>(height));
    }
}

PictureBudgetScope::PictureBudgetScope(PictureBudget& budget) : m_previous(t_budget)
{
    t_budget = &budget;
}

PictureBudgetScope::~PictureBudgetScope()
{
    t_budget = m_previous;
}

void ReleasePages(const void* begin, const void* end)
{
    const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + pageSize - 1) / pageSize * pageSize;
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) / pageSize * pageSize;
    if (last > first) {
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
    }
}

std::uint8_t DecodedPicture::WhiteByte() const
{
    if (m_bitsPerPixel == 24) {
        return 0xFF;
    }
    const auto palette = m_palette.empty() ? DefaultPalette(m_bitsPerPixel) : std::span<const PaletteEntry>(m_palette);
    const std::uint8_t index = NearestEntry(palette, 255, 255, 255);
    switch (m_bitsPerPixel) {
    case 1:
        return index != 0 ? 0xFF : 0x00;
    case 4:
        return static_cast<std::uint8_t>((index << 4) | index);
    default:
        return index;
    }
}

void DecodedPicture::Materialize() const
{
    if (!m_materialized) {
        m_pixels.assign(Stride() * static_cast<std::size_t>(m_height), WhiteByte());
        m_materialized = true;
    }
}

void DecodedPicture::Reshape(std::int32_t width, std::int32_t height)
{
    if (!WithinLimits(width, height)) {
        throw Error(msg::kPictureTooLarge);
    }
    if (!m_materialized) {
        m_width = width;
        m_height = height;
        return;
    }
    DecodedPicture resized;
    resized.m_bitsPerPixel = m_bitsPerPixel;
    resized.m_palette = m_palette;
    resized.m_width = width;
    resized.m_height = height;
    resized.Materialize();
    const std::int32_t sharedWidth = std::min(m_width, width);
    const std::int32_t sharedHeight = std::min(m_height, height);
    const std::size_t wholeBytes = static_cast<std::size_t>(sharedWidth) * static_cast<std::size_t>(m_bitsPerPixel) / 8;
    for (std::int32_t y = 0; y < sharedHeight; ++y) {
        const auto from = Row(y);
        const auto to = resized.Row(y);
        std::copy_n(from.begin(), wholeBytes, to.begin());
        for (auto x = static_cast<std::int64_t>(wholeBytes * 8 / static_cast<std::size_t>(m_bitsPerPixel));
             x < sharedWidth; ++x) {
            SetPackedPixel(to, x, m_bitsPerPixel, PackedPixel(from, x, m_bitsPerPixel));
        }
    }
    m_width = width;
    m_height = height;
    m_pixels = std::move(resized.m_pixels);
}

void DecodedPicture::SetWidth(std::int32_t width)
{
    Reshape(width, m_height);
}

void DecodedPicture::SetHeight(std::int32_t height)
{
    Reshape(m_width, height);
}

void DecodedPicture::SetPixelFormat(int bitsPerPixel)
{
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24) {
        throw Error("Unsupported pixel format: " + std::to_string(bitsPerPixel) + " bits per pixel");
    }
    if (bitsPerPixel == m_bitsPerPixel) {
        return;
    }
    DecodedPicture converted;
    converted.m_width = m_width;
    converted.m_height = m_height;
    converted.m_bitsPerPixel = bitsPerPixel;
    const auto defaultPalette = DefaultPalette(bitsPerPixel);
    converted.m_palette =
        bitsPerPixel == 24 ? m_palette : std::vector<PaletteEntry>(defaultPalette.begin(), defaultPalette.end());
    if (m_materialized) {
        converted.Materialize();
        const NearestColorTable nearest(converted.m_palette);
        for (std::int32_t y = 0; y < m_height; ++y) {
            const auto to = converted.Row(y);
            for (std::int32_t x = 0; x < m_width; ++x) {
                const PaletteEntry color = PixelColor(x, y);
                if (bitsPerPixel == 24) {
                    const auto at = static_cast<std::size_t>(x) * 3;
                    to[at] = color.Blue;
                    to[at + 1] = color.Green;
                    to[at + 2] = color.Red;
                } else {
                    SetPackedPixel(to, x, bitsPerPixel, nearest.Lookup(color.Red, color.Green, color.Blue));
                }
            }
        }
    }
    *this = std::move(converted);
}

void DecodedPicture::SetPalette(std::span<const PaletteEntry> entries)
{
    m_palette.assign(entries.begin(),
                     entries.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(entries.size(), 256)));
}

std::span<std::uint8_t> DecodedPicture::Row(std::int32_t y)
{
    if (y < 0 || y >= m_height) {
        throw Error(msg::kScanLineOutOfRange);
    }
    Materialize();
    const std::size_t stride = Stride();
    return {m_pixels.data() + stride * static_cast<std::size_t>(y), stride};
}

std::span<const std::uint8_t> DecodedPicture::Row(std::int32_t y) const
{
    if (y < 0 || y >= m_height) {
        throw Error(msg::kScanLineOutOfRange);
    }
    Materialize();
    const std::size_t stride = Stride();
    return {m_pixels.data() + stride * static_cast<std::size_t>(y), stride};
}

void DecodedPicture::Fill(std::uint8_t value)
{
    if (m_materialized) {
        std::fill(m_pixels.begin(), m_pixels.end(), value);
    } else {
        m_pixels.assign(Stride() * static_cast<std::size_t>(m_height), value);
        m_materialized = true;
    }
}

void DecodedPicture::AllocateRowsToOverwrite()
{
    if (!m_materialized) {
        m_pixels.resize(Stride() * static_cast<std::size_t>(m_height));
        m_materialized = true;
    }
}

PaletteEntry DecodedPicture::PixelColor(std::int32_t x, std::int32_t y) const
{
    const auto row = Row(y);
    if (m_bitsPerPixel == 24) {
        const auto at = static_cast<std::size_t>(x) * 3;
        return {row[at + 2], row[at + 1], row[at], 0};
    }
    return PaletteColor(PackedPixel(row, x, m_bitsPerPixel));
}

}  // namespace kinetar::pictures
