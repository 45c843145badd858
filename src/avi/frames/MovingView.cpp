#include "avi/frames/MovingView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "common/PackedPixels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kinetar::avi {

using project::FitMode;

ViewRect FitView(FitMode mode, std::int32_t pictureWidth, std::int32_t pictureHeight, std::int32_t frameWidth,
                 std::int32_t frameHeight)
{
    const double width = pictureWidth;
    const double height = pictureHeight;
    const double aspect = static_cast<double>(frameWidth) / frameHeight;
    const bool wider = width * frameHeight >= static_cast<double>(frameWidth) * height;
    switch (mode) {
    case FitMode::Stretch:
        return {0, 0, width, height};
    case FitMode::TopLeft:
        return {0, 0, static_cast<double>(frameWidth), static_cast<double>(frameHeight)};
    case FitMode::Centre:
        return {(width - frameWidth) / 2, (height - frameHeight) / 2, static_cast<double>(frameWidth),
                static_cast<double>(frameHeight)};
    case FitMode::Crop:
        return wider ? ViewRect{(width - height * aspect) / 2, 0, height * aspect, height}
                     : ViewRect{0, (height - width / aspect) / 2, width, width / aspect};
    case FitMode::Letterbox:
    case FitMode::Blur:
        break;
    }
    return wider ? ViewRect{0, (height - width / aspect) / 2, width, width / aspect}
                 : ViewRect{(width - height * aspect) / 2, 0, height * aspect, height};
}

ViewRect FramedView(FitMode mode, std::int32_t pictureWidth, std::int32_t pictureHeight, std::int32_t frameWidth,
                    std::int32_t frameHeight, const project::Framing& framing)
{
    const ViewRect fit = FitView(mode, pictureWidth, pictureHeight, frameWidth, frameHeight);
    const double zoom = std::clamp(framing.Zoom, project::kMinZoom, project::kMaxZoom);
    ViewRect view{0, 0, fit.Width / zoom, fit.Height / zoom};
    // Inside the picture where the view is smaller; around all of it where the view is larger.
    const auto place = [](double centre, double size, double pictureSize) {
        const double start = centre - size / 2;
        return std::clamp(start, std::min(0.0, pictureSize - size), std::max(0.0, pictureSize - size));
    };
    view.Left = place(framing.X * pictureWidth, view.Width, pictureWidth);
    view.Top = place(framing.Y * pictureHeight, view.Height, pictureHeight);
    return view;
}

namespace {

// Keys' cubic (a = -0.5): interpolates, and reproduces straight ramps exactly.
float Cubic(double x)
{
    x = std::fabs(x);
    if (x < 1) {
        return static_cast<float>((1.5 * x - 2.5) * x * x + 1);
    }
    if (x < 2) {
        return static_cast<float>(((-0.5 * x + 2.5) * x - 4) * x + 2);
    }
    return 0.0F;
}

// The filter of one axis: for each output position, its first source position and the weights
// of the consecutive ones from there, summing to 1. Taps past the picture's edges count as its
// edge pixels, so the colour never takes anything from outside; how much of each output pixel
// the picture covers is apart, in Covered.
struct AxisFilter {
    std::vector<std::int32_t> First;
    std::vector<float> Weights;  // Taps per output position, zero-padded
    std::vector<float> Covered;  // the share of each output pixel's footprint inside the picture
    std::int32_t Taps = 0;
    std::int32_t Lowest = 0;   // the first source position any output uses
    std::int32_t Highest = 0;  // the last one (beyond the picture only with weight 0)
};

AxisFilter MakeFilter(double start, double size, std::int32_t outputs, std::int32_t sourceSize)
{
    AxisFilter filter;
    const double scale = size / outputs;          // source pixels per output pixel
    const double stretch = std::max(scale, 1.0);  // the kernel's widening when shrinking
    const double support = 2 * stretch;
    filter.Taps = static_cast<std::int32_t>(std::ceil(2 * support)) + 1;
    filter.First.resize(static_cast<std::size_t>(outputs));
    filter.Covered.resize(static_cast<std::size_t>(outputs));
    filter.Weights.assign(static_cast<std::size_t>(outputs) * static_cast<std::size_t>(filter.Taps), 0.0F);
    const std::int32_t lastFirst = std::max(sourceSize - filter.Taps, 0);
    for (std::int32_t i = 0; i < outputs; ++i) {
        const double centre = start + (i + 0.5) * scale;  // source pixel j's centre is j + 0.5
        const auto first = static_cast<std::int32_t>(std::ceil(centre - support - 0.5));
        const std::int32_t placed = std::clamp(first, 0, lastFirst);
        float* weights = filter.Weights.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(filter.Taps);
        double sum = 0;
        for (std::int32_t t = 0; t < filter.Taps; ++t) {
            const double weight = Cubic((first + t + 0.5 - centre) / stretch);
            const std::int32_t j = std::clamp(first + t, 0, sourceSize - 1);
            weights[j - placed] += static_cast<float>(weight);
            sum += weight;
        }
        for (std::int32_t t = 0; t < filter.Taps; ++t) {
            weights[t] = static_cast<float>(weights[t] / sum);
        }
        filter.First[static_cast<std::size_t>(i)] = placed;
        const double overlap = std::min(centre + scale / 2, double(sourceSize)) - std::max(centre - scale / 2, 0.0);
        filter.Covered[static_cast<std::size_t>(i)] = static_cast<float>(std::clamp(overlap / scale, 0.0, 1.0));
    }
    filter.Lowest = *std::min_element(filter.First.begin(), filter.First.end());
    filter.Highest = *std::max_element(filter.First.begin(), filter.First.end()) + filter.Taps - 1;
    return filter;
}

typedef float Floats4 __attribute__((vector_size(16)));

std::uint8_t ToByte(float value)
{
    return static_cast<std::uint8_t>(std::clamp(value + 0.5F, 0.0F, 255.0F));
}

// ToByte of the first three lanes at once, to the same bytes.
void StoreBytes(Floats4 value, std::uint8_t* pixel)
{
    typedef std::int32_t Ints4 __attribute__((vector_size(16)));
    value += 0.5F;
    value = value < 0.0F ? Floats4{} : value;
    value = value > 255.0F ? Floats4{} + 255.0F : value;
    const Ints4 whole = __builtin_convertvector(value, Ints4);
    pixel[0] = static_cast<std::uint8_t>(whole[0]);
    pixel[1] = static_cast<std::uint8_t>(whole[1]);
    pixel[2] = static_cast<std::uint8_t>(whole[2]);
}

// One output row's vertical pass: each position's taps summed in order in registers, sixteen
// positions at a time, so the row is written once instead of once per tap. The same sums in the
// same order as the plain loop, so both give the same bytes.
void SumRows(const std::uint8_t* const* rows, const float* weights, std::int32_t taps, std::size_t count, float* out)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= count; i += 16) {
        __m128 sums[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
        for (std::int32_t t = 0; t < taps; ++t) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t] + i));
            const __m128i low = _mm_unpacklo_epi8(bytes, zero);
            const __m128i high = _mm_unpackhi_epi8(bytes, zero);
            const __m128 weight = _mm_set1_ps(weights[t]);
            const __m128i words[4] = {_mm_unpacklo_epi16(low, zero), _mm_unpackhi_epi16(low, zero),
                                      _mm_unpacklo_epi16(high, zero), _mm_unpackhi_epi16(high, zero)};
            for (int k = 0; k < 4; ++k) {
                sums[k] = _mm_add_ps(sums[k], _mm_mul_ps(weight, _mm_cvtepi32_ps(words[k])));
            }
        }
        for (int k = 0; k < 4; ++k) {
            _mm_storeu_ps(out + i + 4 * static_cast<std::size_t>(k), sums[k]);
        }
    }
#endif
    for (; i < count; ++i) {
        float sum = 0.0F;
        for (std::int32_t t = 0; t < taps; ++t) {
            sum += weights[t] * static_cast<float>(rows[t][i]);
        }
        out[i] = sum;
    }
}

}  // namespace

void DrawRegion(const ConstBgrRegion& source, const ViewRect& view, pictures::PaletteEntry background, Under under,
                WorkingFrame& frame)
{
    const std::int32_t width = source.Width;
    const std::int32_t height = source.Height;
    if (width <= 0 || height <= 0 || view.Width <= 0 || view.Height <= 0) {
        if (under == Under::Background) {
            frame.Fill(background);
        }
        return;
    }
    const AxisFilter across = MakeFilter(view.Left, view.Width, frame.Width(), width);
    const AxisFilter down = MakeFilter(view.Top, view.Height, frame.Height(), height);
    // The columns the filters reach, as one row of floats: filtered down, then across.
    const std::int32_t columns = across.Highest - across.Lowest + 1;
    const std::int32_t inside = std::min(across.Highest + 1, width) - across.Lowest;
    const std::array<float, 3> backgroundBgr{static_cast<float>(background.Blue), static_cast<float>(background.Green),
                                             static_cast<float>(background.Red)};

    const auto drawRows = [&](std::int32_t firstY, std::int32_t endY) {
        // One float more than the pixels: each tap reads four, a pixel and the next one's blue.
        std::vector<float> row(static_cast<std::size_t>(columns) * 3 + 1);
        std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(down.Taps));
        std::vector<float> tapWeights(static_cast<std::size_t>(down.Taps));
        for (std::int32_t y = firstY; y < endY; ++y) {
            const float* rowWeights =
                down.Weights.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(down.Taps);
            const std::int32_t top = down.First[static_cast<std::size_t>(y)];
            std::int32_t used = 0;
            for (std::int32_t t = 0; t < down.Taps; ++t) {
                if (rowWeights[t] == 0.0F) {
                    continue;  // past the picture's edge, or a kernel's zero
                }
                rows[static_cast<std::size_t>(used)] = source.Pixels +
                                                       static_cast<std::size_t>(top + t) * source.Stride +
                                                       static_cast<std::size_t>(across.Lowest) * 3;
                tapWeights[static_cast<std::size_t>(used++)] = rowWeights[t];
            }
            SumRows(rows.data(), tapWeights.data(), used, static_cast<std::size_t>(inside) * 3, row.data());
            const float coveredDown = down.Covered[static_cast<std::size_t>(y)];
            std::uint8_t* target = frame.Row(y).data();
            for (std::int32_t x = 0; x < frame.Width(); ++x) {
                const float* weights =
                    across.Weights.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(across.Taps);
                const float* from =
                    row.data() +
                    static_cast<std::size_t>(across.First[static_cast<std::size_t>(x)] - across.Lowest) * 3;
                // The three colours of a tap at once, in one vector of four.
                Floats4 sums{};
                for (std::int32_t t = 0; t < across.Taps; ++t) {
                    Floats4 colours;
                    std::memcpy(&colours, from + 3 * t, sizeof colours);
                    sums += weights[t] * colours;
                }
                const float covered = coveredDown * across.Covered[static_cast<std::size_t>(x)];
                std::uint8_t* pixel = target + static_cast<std::size_t>(x) * 3;
                if (covered >= 1.0F) {
                    StoreBytes(sums, pixel);
                    continue;
                }
                const std::array<float, 3> sum{sums[0], sums[1], sums[2]};
                for (std::size_t c = 0; c < 3; ++c) {
                    const float below = under == Under::Background ? backgroundBgr[c] : static_cast<float>(pixel[c]);
                    pixel[c] = ToByte(covered * sum[c] + (1.0F - covered) * below);
                }
            }
        }
    };
    // Rows are independent: a large frame is drawn in two halves side by side.
    constexpr std::int64_t kSplitPixels = 256 * 256;
    if (std::int64_t{frame.Width()} * frame.Height() < kSplitPixels) {
        drawRows(0, frame.Height());
        return;
    }
    const std::int32_t middle = frame.Height() / 2;
    std::thread lower;
    try {
        lower = std::thread(drawRows, middle, frame.Height());
    } catch (const std::system_error&) {
        drawRows(0, frame.Height());  // no thread to be had: all of it here
        return;
    }
    drawRows(0, middle);
    lower.join();
}

void DrawView(const pictures::DecodedPicture& picture, const ViewRect& view, pictures::PaletteEntry background,
              WorkingFrame& frame, Under under)
{
    const std::int32_t width = picture.Width();
    const std::int32_t height = picture.Height();
    if (width <= 0 || height <= 0) {
        DrawRegion({}, view, background, under, frame);
        return;
    }
    if (picture.BitsPerPixel() == 24) {
        DrawRegion({picture.Row(0).data(), picture.Stride(), width, height}, view, background, under, frame);
        return;
    }
    // An indexed picture is drawn through its palette into a full-colour copy of the rows used.
    const double reach = 2 * std::max(view.Height / frame.Height(), 1.0) + 1;
    const auto firstRow = static_cast<std::int32_t>(std::clamp(std::floor(view.Top - reach), 0.0, height - 1.0));
    const auto lastRow =
        static_cast<std::int32_t>(std::clamp(std::ceil(view.Top + view.Height + reach), 0.0, height - 1.0));
    std::array<std::array<std::uint8_t, 3>, 256> colors{};
    for (std::uint32_t index = 0; index < colors.size(); ++index) {
        const auto entry = picture.PaletteColor(index);
        colors[index] = {entry.Blue, entry.Green, entry.Red};
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> expanded(rowBytes * static_cast<std::size_t>(lastRow - firstRow + 1));
    for (std::int32_t y = firstRow; y <= lastRow; ++y) {
        const auto row = picture.Row(y);
        std::uint8_t* out = expanded.data() + static_cast<std::size_t>(y - firstRow) * rowBytes;
        for (std::int32_t x = 0; x < width; ++x) {
            const auto& color = colors[PackedPixel(row, x, picture.BitsPerPixel())];
            std::copy(color.begin(), color.end(), out + static_cast<std::size_t>(x) * 3);
        }
    }
    ViewRect shifted = view;
    shifted.Top -= firstRow;
    // The copy holds every row the filters reach with any weight.
    DrawRegion({expanded.data(), rowBytes, width, lastRow - firstRow + 1}, shifted, background, under, frame);
}

}  // namespace kinetar::avi
