#pragma once

#include <cstdint>

#include "pictures/Palettes.h"

namespace kinetar::pictures {

// What the caller of a read wants beyond the picture itself. The defaults give the picture at its
// own size over black, which is all the own readers ever produce.
struct PictureRequest {
    // Transparent and partly transparent pixels of a photo are laid over this colour.
    PaletteEntry Background{};
    // The frame the picture will be stretched onto, or 0 x 0 when it is shown or copied at its own
    // size. A photo at least twice as large in both directions may then be decoded smaller.
    std::int32_t TargetWidth = 0;
    std::int32_t TargetHeight = 0;
    // A JPEG may be decoded at any eighth of its size that still covers the target, not only at
    // a half, a quarter or an eighth: for a moving picture, whose filter takes any scale.
    bool AnyEighths = false;
};

}  // namespace kinetar::pictures
