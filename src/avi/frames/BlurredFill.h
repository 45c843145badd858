#pragma once

#include "avi/frames/FrameFitting.h"
#include "pictures/DecodedPicture.h"

namespace kinetar::avi {

// Fills the frame with the picture cropped to the frame's shape, blurred (a radius of about 4 % of
// the frame's height) and darkened: what a blurred fill shows around a picture of another shape.
// The blur is made at an eighth of the frame's size and scaled up, which also keeps it cheap.
void DrawBlurredFill(const pictures::DecodedPicture& picture, pictures::PaletteEntry background, WorkingFrame& frame);

}  // namespace kinetar::avi
