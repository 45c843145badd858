#pragma once

#include <cstdint>

#include "avi/frames/FrameFitting.h"
#include "avi/frames/SmoothScaler.h"
#include "pictures/DecodedPicture.h"
#include "project/Motion.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

// A rectangle of a picture in real numbers: (0, 0) is the top-left corner of its first pixel,
// (width, height) the bottom-right corner of its last. It may reach past the picture.
struct ViewRect {
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;
    bool operator==(const ViewRect&) const = default;
};

// The part of a picture of the given size that the fit mode maps onto the whole frame: stretch
// the whole picture; crop the largest rectangle of the frame's shape inside it, centred;
// letterbox and blurred fill the smallest one holding all of it, centred; top-left and centre a
// rectangle of the frame's size in pixels at that place.
ViewRect FitView(project::FitMode mode, std::int32_t pictureWidth, std::int32_t pictureHeight, std::int32_t frameWidth,
                 std::int32_t frameHeight);

// The view of a framing: the fit's view shrunk by the zoom about its centre and moved to the
// framing's centre, then kept inside the picture along a side where it is smaller than the
// picture and holding the whole picture along one where it is larger. Never rounded.
ViewRect FramedView(project::FitMode mode, std::int32_t pictureWidth, std::int32_t pictureHeight,
                    std::int32_t frameWidth, std::int32_t frameHeight, const project::Framing& framing);

// What shows where the view reaches past the picture: the background colour, or what the frame
// already holds (a blurred fill drawn first).
enum class Under { Background, Frame };

// Resamples the view onto the whole frame: each axis with a bicubic filter whose support widens
// with the reduction, so that shrinking averages every source pixel a frame pixel covers and
// enlarging interpolates smoothly. A view moved by a fraction of a pixel moves the frame's
// content by that fraction; the picture's edges blend into what lies under it.
void DrawView(const pictures::DecodedPicture& picture, const ViewRect& view, pictures::PaletteEntry background,
              WorkingFrame& frame, Under under = Under::Background);
void DrawRegion(const ConstBgrRegion& source, const ViewRect& view, pictures::PaletteEntry background, Under under,
                WorkingFrame& frame);

}  // namespace kinetar::avi
