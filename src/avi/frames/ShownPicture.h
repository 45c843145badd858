#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "avi/frames/FrameFitting.h"
#include "pictures/DecodedPicture.h"
#include "project/Motion.h"
#include "text/TextDrawing.h"

namespace kinetar::avi {

// A picture's captions, drawn once for the frame's size.
using Captions = std::vector<std::shared_ptr<const text::DrawnText>>;

// A picture as the video shows it: decoded, fitted, moving or not, over the frames it spans.
// The render, a still and the preview all draw frames through here, so they agree to the pixel.
struct ShownPicture {
    std::shared_ptr<const pictures::DecodedPicture> Picture;
    FitOptions Options;
    std::optional<project::Motion> Motion;  // resolved (ResolvedMotion); none: it stands still
    std::int64_t Frames = 1;                // the frames its place in the video spans
    // Drawn over the picture where it stands in the frame, whatever the motion: words do not pan.
    // A crossfade blends them with their picture.
    avi::Captions Captions = {};
};

// Puts the captions on a frame their picture has been drawn on.
void PutCaptions(const Captions& captions, WorkingFrame& frame);

// The picture's record made ready to show: its fit, and its motion resolved for the picture once
// decoded. number is its place among the pictures, from 0.
ShownPicture MakeShownPicture(std::shared_ptr<const pictures::DecodedPicture> picture,
                              const project::ProjectHeader& header, const project::FrameRecord& record,
                              std::int64_t number, std::int64_t frames, std::int32_t frameWidth,
                              std::int32_t frameHeight);

// What to ask of the picture's reader: as for a still picture, closer by the motion's zoom.
pictures::PictureRequest PictureRequestFor(const project::ProjectHeader& header, const project::FrameRecord& record,
                                           std::int32_t frameWidth, std::int32_t frameHeight);

// Draws frame k of the picture's span; a moving picture may be drawn past its span, as it goes
// on moving while the next one fades in. A still picture looks the same at every k.
void DrawShownPicture(const ShownPicture& shown, std::int64_t k, WorkingFrame& frame);

}  // namespace kinetar::avi
