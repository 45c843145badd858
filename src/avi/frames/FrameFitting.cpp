#include "avi/frames/FrameFitting.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "avi/frames/BlurredFill.h"
#include "avi/frames/MovingView.h"
#include "avi/frames/SmoothScaler.h"
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

using project::FitMode;
using Palette = std::array<std::array<std::uint8_t, 3>, 256>;

// Copies the picture unscaled with its top-left corner at (left, top) of the frame, which may lie
// outside it; the background fills what the picture leaves uncovered.
void CopyAt(const DecodedPicture& picture, const Palette& colors, std::int32_t left, std::int32_t top,
            pictures::PaletteEntry background, WorkingFrame& frame)
{
    const std::int32_t firstX = std::max(left, 0);
    const std::int32_t lastX = std::min(frame.Width(), left + picture.Width());
    const std::int32_t firstY = std::max(top, 0);
    const std::int32_t lastY = std::min(frame.Height(), top + picture.Height());
    if (firstX > 0 || firstY > 0 || lastX < frame.Width() || lastY < frame.Height()) {
        frame.Fill(background);
    }
    if (firstX >= lastX || firstY >= lastY) {
        return;
    }
    std::vector<std::int32_t> columns(static_cast<std::size_t>(lastX - firstX));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i] = firstX - left + static_cast<std::int32_t>(i);
    }
    for (std::int32_t y = firstY; y < lastY; ++y) {
        std::uint8_t* target = frame.Row(y).data() + static_cast<std::size_t>(firstX) * 3;
        if (picture.BitsPerPixel() == 24) {
            std::memcpy(target, picture.Row(y - top).data() + static_cast<std::size_t>(firstX - left) * 3,
                        columns.size() * 3);
        } else {
            DrawRow(picture, picture.Row(y - top), colors, columns, target);
        }
    }
}

// Nearest neighbour, each axis on its own, onto the whole frame.
void StretchNearest(const DecodedPicture& picture, const Palette& colors, WorkingFrame& frame)
{
    const auto columns = SampleMap(frame.Width(), picture.Width());
    const auto rows = SampleMap(frame.Height(), picture.Height());
    std::int32_t previous = -1;
    for (std::int32_t y = 0; y < frame.Height(); ++y) {
        const std::int32_t sourceRow = rows[static_cast<std::size_t>(y)];
        if (sourceRow == previous) {
            std::memcpy(frame.Row(y).data(), frame.Row(y - 1).data(), frame.RowBytes());
            continue;
        }
        DrawRow(picture, picture.Row(sourceRow), colors, columns, frame.Row(y).data());
        previous = sourceRow;
    }
}

// A rectangle of the picture or of the frame.
struct Rect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// a x b / c, rounded to the nearest, at least 1 and at most limit.
std::int32_t ScaledSide(std::int64_t a, std::int64_t b, std::int64_t c, std::int32_t limit)
{
    const std::int64_t value = (2 * a * b + c) / (2 * c);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 1, limit));
}

// Scales the part of the picture onto the part of the frame with the smooth filter; an indexed
// picture is first drawn in full colour.
void ScalePart(const DecodedPicture& picture, const Palette& colors, const Rect& from, const Rect& to,
               WorkingFrame& frame)
{
    ConstBgrRegion source;
    std::vector<std::uint8_t> expanded;
    if (picture.BitsPerPixel() == 24) {
        source.Pixels = picture.Row(from.Top).data() + static_cast<std::size_t>(from.Left) * 3;
        source.Stride = picture.Stride();
    } else {
        const auto rowBytes = static_cast<std::size_t>(from.Width) * 3;
        expanded.resize(rowBytes * static_cast<std::size_t>(from.Height));
        std::vector<std::int32_t> columns(static_cast<std::size_t>(from.Width));
        for (std::size_t i = 0; i < columns.size(); ++i) {
            columns[i] = from.Left + static_cast<std::int32_t>(i);
        }
        for (std::int32_t y = 0; y < from.Height; ++y) {
            DrawRow(picture, picture.Row(from.Top + y), colors, columns,
                    expanded.data() + static_cast<std::size_t>(y) * rowBytes);
        }
        source.Pixels = expanded.data();
        source.Stride = rowBytes;
    }
    source.Width = from.Width;
    source.Height = from.Height;
    const BgrRegion target{frame.Row(to.Top).data() + static_cast<std::size_t>(to.Left) * 3, frame.RowBytes(), to.Width,
                           to.Height};
    ScaleSmoothly(source, target);
}

}  // namespace

void FitPicture(const DecodedPicture& picture, const FitOptions& options, WorkingFrame& frame)
{
    const std::int32_t width = frame.Width();
    const std::int32_t height = frame.Height();
    const std::int32_t pictureWidth = picture.Width();
    const std::int32_t pictureHeight = picture.Height();
    const Palette colors = picture.BitsPerPixel() == 24 ? Palette{} : PaletteBgr(picture);
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        frame.Fill(options.Background);
        return;
    }
    const bool sameSize = pictureWidth == width && pictureHeight == height;
    const Rect whole{0, 0, pictureWidth, pictureHeight};
    const Rect frameRect{0, 0, width, height};
    // Which side limits the scaling: the picture is relatively wider than the frame.
    const bool wider = std::int64_t{pictureWidth} * height >= std::int64_t{width} * pictureHeight;
    switch (sameSize ? FitMode::TopLeft : options.Mode) {
    case FitMode::TopLeft:
        CopyAt(picture, colors, 0, 0, options.Background, frame);
        return;
    case FitMode::Centre:
        CopyAt(picture, colors, (width - pictureWidth) / 2, (height - pictureHeight) / 2, options.Background, frame);
        return;
    case FitMode::Stretch:
        if (options.Smooth) {
            ScalePart(picture, colors, whole, frameRect, frame);
        } else {
            StretchNearest(picture, colors, frame);
        }
        return;
    case FitMode::Letterbox: {
        Rect to = frameRect;
        if (wider) {
            to.Height = ScaledSide(pictureHeight, width, pictureWidth, height);
            to.Top = (height - to.Height) / 2;
        } else {
            to.Width = ScaledSide(pictureWidth, height, pictureHeight, width);
            to.Left = (width - to.Width) / 2;
        }
        frame.Fill(options.Background);
        ScalePart(picture, colors, whole, to, frame);
        return;
    }
    case FitMode::Crop: {
        Rect from = whole;
        if (wider) {
            from.Width = ScaledSide(pictureHeight, width, height, pictureWidth);
            from.Left = (pictureWidth - from.Width) / 2;
        } else {
            from.Height = ScaledSide(pictureWidth, height, width, pictureHeight);
            from.Top = (pictureHeight - from.Height) / 2;
        }
        ScalePart(picture, colors, from, frameRect, frame);
        return;
    }
    case FitMode::Blur:
        DrawBlurredFill(picture, options.Background, frame);
        DrawView(picture, FitView(FitMode::Blur, pictureWidth, pictureHeight, width, height), options.Background, frame,
                 Under::Frame);
        return;
    }
}

void FitPicture(const DecodedPicture& picture, bool stretch, WorkingFrame& frame)
{
    FitPicture(picture, FitOptions{stretch ? FitMode::Stretch : FitMode::TopLeft, {}, false}, frame);
}

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
    // Each of these only ever shrinks a picture larger than the frame in both directions.
    if (options.Mode == FitMode::Stretch || options.Mode == FitMode::Letterbox || options.Mode == FitMode::Crop ||
        options.Mode == FitMode::Blur) {
        request.TargetWidth = frameWidth;
        request.TargetHeight = frameHeight;
    }
    return request;
}

void BlendFrames(const WorkingFrame& from, const WorkingFrame& to, std::int64_t k, std::int64_t n,
                 WorkingFrame& blended)
{
    const auto weight = static_cast<std::uint64_t>(k + 1);
    const auto total = static_cast<std::uint64_t>(n + 1);
    for (std::int32_t y = 0; y < blended.Height(); ++y) {
        const auto a = from.Row(y);
        const auto b = to.Row(y);
        const auto out = blended.Row(y);
        for (std::size_t x = 0; x < out.size(); ++x) {
            out[x] = static_cast<std::uint8_t>((a[x] * (total - weight) + b[x] * weight + total / 2) / total);
        }
    }
}

}  // namespace kinetar::avi
