#include "avi/frames/FrameFitting.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/PackedPixels.h"
#include "pictures/Palettes.h"

namespace kinetar::avi {

using pictures::DecodedPicture;
using pictures::PaletteEntry;

WorkingFrame::WorkingFrame(std::int32_t width, std::int32_t height)
    : m_width(width), m_height(height), m_pixels(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height))
{
}

namespace {

// The colours of the picture's palette in frame byte order, 256 entries so any index is in range.
std::array<std::array<std::uint8_t, 3>, 256> PaletteBgr(const DecodedPicture& picture)
{
    std::array<std::array<std::uint8_t, 3>, 256> colors{};
    for (std::uint32_t index = 0; index < colors.size(); ++index) {
        const PaletteEntry entry = picture.PaletteColor(index);
        colors[index] = {entry.Blue, entry.Green, entry.Red};
    }
    return colors;
}

// Writes count pixels of source row, starting at source column x of each sampled position, into
// the frame row. columns[i] is the source column of frame column i.
void DrawRow(const DecodedPicture& picture, std::span<const std::uint8_t> source,
             const std::array<std::array<std::uint8_t, 3>, 256>& colors, std::span<const std::int32_t> columns,
             std::uint8_t* target)
{
    const int bits = picture.BitsPerPixel();
    if (bits == 24) {
        for (const std::int32_t column : columns) {
            std::memcpy(target, source.data() + static_cast<std::size_t>(column) * 3, 3);
            target += 3;
        }
        return;
    }
    for (const std::int32_t column : columns) {
        const auto& color = colors[PackedPixel(source, column, bits)];
        target[0] = color[0];
        target[1] = color[1];
        target[2] = color[2];
        target += 3;
    }
}

// Nearest neighbour: frame position i samples the source at the centre of its cell.
std::vector<std::int32_t> SampleMap(std::int32_t targetSize, std::int32_t sourceSize)
{
    std::vector<std::int32_t> map(static_cast<std::size_t>(targetSize));
    for (std::int32_t i = 0; i < targetSize; ++i) {
        const std::int64_t sample = ((2 * std::int64_t{i} + 1) * sourceSize) / (2 * std::int64_t{targetSize});
        map[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(std::min<std::int64_t>(sample, sourceSize - 1));
    }
    return map;
}

}  // namespace

void FitPicture(const DecodedPicture& picture, bool stretch, WorkingFrame& frame)
{
    const std::int32_t width = frame.Width();
    const std::int32_t height = frame.Height();
    const bool sameSize = picture.Width() == width && picture.Height() == height;
    const auto colors =
        picture.BitsPerPixel() == 24 ? std::array<std::array<std::uint8_t, 3>, 256>{} : PaletteBgr(picture);

    if (sameSize || !stretch || picture.Width() <= 0 || picture.Height() <= 0) {
        const std::int32_t copyWidth = std::min(width, std::max(picture.Width(), 0));
        const std::int32_t copyHeight = std::min(height, std::max(picture.Height(), 0));
        // Black only where the picture leaves the frame uncovered.
        const std::size_t copiedBytes = static_cast<std::size_t>(copyWidth) * 3;
        for (std::int32_t y = 0; y < height; ++y) {
            const auto row = frame.Row(y);
            const std::size_t from = y < copyHeight ? copiedBytes : 0;
            std::fill(row.begin() + static_cast<std::ptrdiff_t>(from), row.end(), std::uint8_t{0});
        }
        std::vector<std::int32_t> columns(static_cast<std::size_t>(copyWidth));
        for (std::int32_t x = 0; x < copyWidth; ++x) {
            columns[static_cast<std::size_t>(x)] = x;
        }
        for (std::int32_t y = 0; y < copyHeight; ++y) {
            const auto source = picture.Row(y);
            if (picture.BitsPerPixel() == 24) {
                std::memcpy(frame.Row(y).data(), source.data(), static_cast<std::size_t>(copyWidth) * 3);
            } else {
                DrawRow(picture, source, colors, columns, frame.Row(y).data());
            }
        }
        return;
    }

    const auto columns = SampleMap(width, picture.Width());
    const auto rows = SampleMap(height, picture.Height());
    std::int32_t previous = -1;
    for (std::int32_t y = 0; y < height; ++y) {
        const std::int32_t sourceRow = rows[static_cast<std::size_t>(y)];
        if (sourceRow == previous) {
            std::memcpy(frame.Row(y).data(), frame.Row(y - 1).data(), frame.RowBytes());
            continue;
        }
        DrawRow(picture, picture.Row(sourceRow), colors, columns, frame.Row(y).data());
        previous = sourceRow;
    }
}

}  // namespace kinetar::avi

namespace kinetar::avi {

void WorkingFrame::Fill(pictures::PaletteEntry color)
{
    for (std::size_t at = 0; at < m_pixels.size(); at += 3) {
        m_pixels[at] = color.Blue;
        m_pixels[at + 1] = color.Green;
        m_pixels[at + 2] = color.Red;
    }
}

FitOptions FitOptionsFor(const project::ProjectHeader& header, const project::FrameRecord& record)
{
    FitOptions options;
    options.Mode = project::GetFit(record);
    options.Background = {header.Background[0], header.Background[1], header.Background[2], 0};
    options.Smooth = header.SmoothScaling != 0;
    return options;
}

pictures::PictureRequest PictureRequestFor(const FitOptions& options, std::int32_t frameWidth, std::int32_t frameHeight)
{
    pictures::PictureRequest request;
    request.Background = options.Background;
    using project::FitMode;
    if (options.Mode == FitMode::Stretch || options.Mode == FitMode::Letterbox || options.Mode == FitMode::Crop) {
        request.TargetWidth = frameWidth;
        request.TargetHeight = frameHeight;
    }
    return request;
}

void BlendFrames(const WorkingFrame& from, const WorkingFrame& to, std::int64_t k, std::int64_t n,
                 WorkingFrame& blended)
{
    const auto weight = static_cast<std::uint32_t>(k + 1);
    const auto total = static_cast<std::uint32_t>(n + 1);
    for (std::int32_t y = 0; y < blended.Height(); ++y) {
        const auto a = from.Row(y);
        const auto b = to.Row(y);
        const auto out = blended.Row(y);
        for (std::size_t x = 0; x < out.size(); ++x) {
            out[x] = static_cast<std::uint8_t>((a[x] * (total - weight) + b[x] * weight + total / 2) / total);
        }
    }
}

void FitPicture(const DecodedPicture& picture, const FitOptions& options, WorkingFrame& frame)
{
    FitPicture(picture, options.Mode == project::FitMode::Stretch, frame);
}

}  // namespace kinetar::avi
