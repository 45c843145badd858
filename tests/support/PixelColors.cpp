#include "support/PixelColors.h"

#include "support/TestFiles.h"

namespace kinetar::test {

std::vector<std::uint32_t> PixelColors(const pictures::DecodedPicture& picture)
{
    const RgbImage image = ToRgb(picture);
    std::vector<std::uint32_t> colors;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            colors.push_back(image.At(x, y));
        }
    }
    return colors;
}

}  // namespace kinetar::test
