#include "avi/frames/BlurredFill.h"

#include <algorithm>
#include <vector>

#include "avi/frames/MovingView.h"

namespace kinetar::avi {

namespace {

constexpr std::int32_t kReduction = 8;
constexpr double kRadius = 0.04;   // of the frame's height
constexpr unsigned kDarken = 192;  // of 256
constexpr int kBoxPasses = 3;      // three box blurs come close to a Gaussian one

// One pass of a box blur of the given radius along rows (step 3) or columns (step the row's
// bytes), edges held.
void BoxBlur(WorkingFrame& frame, std::int32_t radius, bool alongRows)
{
    const std::int32_t length = alongRows ? frame.Width() : frame.Height();
    const std::int32_t lines = alongRows ? frame.Height() : frame.Width();
    std::vector<std::uint32_t> line(static_cast<std::size_t>(length) * 3);
    const auto at = [&](std::int32_t lineIndex, std::int32_t i) {
        return alongRows ? frame.Row(lineIndex).data() + static_cast<std::size_t>(i) * 3
                         : frame.Row(i).data() + static_cast<std::size_t>(lineIndex) * 3;
    };
    const auto window = static_cast<std::uint32_t>(2 * radius + 1);
    for (std::int32_t l = 0; l < lines; ++l) {
        for (std::int32_t i = 0; i < length; ++i) {
            const std::uint8_t* pixel = at(l, i);
            std::copy(pixel, pixel + 3, line.begin() + static_cast<std::ptrdiff_t>(i) * 3);
        }
        for (std::size_t c = 0; c < 3; ++c) {
            const auto value = [&](std::int32_t i) {
                return line[static_cast<std::size_t>(std::clamp(i, 0, length - 1)) * 3 + c];
            };
            std::uint32_t sum = 0;
            for (std::int32_t i = -radius; i <= radius; ++i) {
                sum += value(i);
            }
            for (std::int32_t i = 0; i < length; ++i) {
                at(l, i)[c] = static_cast<std::uint8_t>((sum + window / 2) / window);
                sum += value(i + radius + 1);
                sum -= value(i - radius);
            }
        }
    }
}

}  // namespace

void DrawBlurredFill(const pictures::DecodedPicture& picture, pictures::PaletteEntry background, WorkingFrame& frame)
{
    WorkingFrame small(std::max(frame.Width() / kReduction, 1), std::max(frame.Height() / kReduction, 1));
    DrawView(picture, FitView(project::FitMode::Crop, picture.Width(), picture.Height(), frame.Width(), frame.Height()),
             background, small);
    const auto radius = static_cast<std::int32_t>(kRadius * frame.Height() / kReduction + 0.5);
    for (int pass = 0; pass < kBoxPasses && radius > 0; ++pass) {
        BoxBlur(small, radius, true);
        BoxBlur(small, radius, false);
    }
    for (std::int32_t y = 0; y < small.Height(); ++y) {
        for (std::uint8_t& byte : small.Row(y)) {
            byte = static_cast<std::uint8_t>(byte * kDarken / 256);
        }
    }
    DrawRegion({small.Row(0).data(), small.RowBytes(), small.Width(), small.Height()},
               {0, 0, static_cast<double>(small.Width()), static_cast<double>(small.Height())}, background,
               Under::Background, frame);
}

}  // namespace kinetar::avi
