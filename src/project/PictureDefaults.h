#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "project/FrameEdits.h"
#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::project {

// What a picture added to the project gets unless the user says otherwise: the header's bytes
// 347-356. All zero adds pictures as a project without them always has.
struct PictureDefaults {
    std::uint32_t Duration = 0;            // milliseconds; 0 = one video frame
    std::optional<FitMode> Fit;            // nothing: stretched
    std::uint32_t Crossfade = 0;           // milliseconds; 0 = cut
    MotionKind Motion = MotionKind::None;  // none or automatic: a custom move belongs to one picture
    bool operator==(const PictureDefaults&) const = default;
};

// A fit byte or motion byte this program does not know reads as none; durations past a day as a day.
PictureDefaults GetPictureDefaults(const ProjectHeader& header);
void SetPictureDefaults(ProjectHeader& header, const PictureDefaults& defaults);

// The edit an added picture takes: each value the user gave, the project's default for the rest.
// A default that is zero leaves the record as it was made, so its bytes stay today's.
FrameEdit WithDefaults(const FrameEdit& given, const PictureDefaults& defaults);

// The defaults of a new slideshow: three seconds a picture, letterboxed over a blurred copy of
// itself, half a second of crossfade, automatic motion.
PictureDefaults SlideshowDefaults();
// What a new slideshow is made with; the defaults are 1920x1080 at 25 frames per second on black,
// with SlideshowDefaults().
struct SlideshowSettings {
    std::int32_t Width = 1920;
    std::int32_t Height = 1080;
    FrameRate Rate{25, 1};
    std::array<std::uint8_t, 3> Background{};  // red, green, blue
    PictureDefaults Defaults = SlideshowDefaults();
};
// A new slideshow's header: the New command's with these settings and smooth scaling.
ProjectHeader NewSlideshowHeader(const SlideshowSettings& settings = {});
// The video a new slideshow makes: an MP4 file beside the project, named after it.
std::string SlideshowVideoPath(const std::string& projectPath);

}  // namespace kinetar::project
