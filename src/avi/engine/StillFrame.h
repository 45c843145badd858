#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "avi/frames/FrameFitting.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::avi {

// Frame `frame` (from 0) of the video the project's records make with these settings, as the
// render makes it before depth conversion and compression: the same pictures, decoded at the
// same size, fitted, moved and blended by the same functions, so the two agree to the pixel.
// Throws Error naming the frame when it lies past the video's end or its picture (or the one
// fading out under it) cannot be read.
std::unique_ptr<WorkingFrame> MakeStill(const project::ProjectHeader& header, const std::string& workingCopyPath,
                                        std::int64_t frame);

// "12.5", "0:12.5", "1:02:03.5" (seconds, minutes and seconds, hours too) as the frame showing at
// that time; "#300" as frame 300. Nothing for anything else.
std::optional<std::int64_t> ParseFramePosition(std::string_view text, project::FrameRate rate);

}  // namespace kinetar::avi
