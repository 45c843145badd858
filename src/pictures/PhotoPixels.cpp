#include "pictures/PhotoPixels.h"

#include <algorithm>

#include "common/Error.h"
#include "common/StopRequest.h"
#include "pictures/Messages.h"

namespace kinetar::pictures {

int ReductionFor(std::int64_t width, std::int64_t height, std::int32_t targetWidth, std::int32_t targetHeight)
{
    if (targetWidth <= 0 || targetHeight <= 0 || width < 2 * std::int64_t{targetWidth} ||
        height < 2 * std::int64_t{targetHeight}) {
        return 1;
    }
    int reduction = 2;
    while (reduction < 8 && (width + 2 * reduction - 1) / (2 * reduction) >= targetWidth &&
           (height + 2 * reduction - 1) / (2 * reduction) >= targetHeight) {
        reduction *= 2;
    }
    return reduction;
}

void CompositeRow(const std::uint8_t* bgra, std::size_t pixelCount, PaletteEntry background, std::uint8_t* bgr)
{
    const unsigned back[3] = {background.Blue, background.Green, background.Red};
    for (std::size_t i = 0; i < pixelCount; ++i, bgra += 4, bgr += 3) {
        const unsigned alpha = bgra[3];
        for (int channel = 0; channel < 3; ++channel) {
            // (a x c + (255 - a) x b) / 255, rounded, without a division.
            const unsigned mixed = alpha * bgra[channel] + (255 - alpha) * back[channel] + 128;
            bgr[channel] = static_cast<std::uint8_t>((mixed + (mixed >> 8)) >> 8);
        }
    }
}

void ThrowIfStopRequested(std::int64_t step, std::int64_t every)
{
    if (step % every == 0 && StopRequested()) {
        throw Error(msg::kPictureReadingStopped);
    }
}

DecodedPicture NewPhotoPicture(std::int32_t width, std::int32_t height)
{
    DecodedPicture picture;
    picture.SetPixelFormat(24);
    picture.SetWidth(width);
    picture.SetHeight(height);
    picture.AllocateRowsToOverwrite();
    const auto used = static_cast<std::size_t>(width) * 3;
    for (std::int32_t y = 0; y < height; ++y) {
        const auto row = picture.Row(y);
        std::fill(row.begin() + static_cast<std::ptrdiff_t>(used), row.end(), std::uint8_t{0});
    }
    return picture;
}

}  // namespace kinetar::pictures
