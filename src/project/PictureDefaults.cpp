#include "project/PictureDefaults.h"

#include <algorithm>

namespace kinetar::project {

PictureDefaults GetPictureDefaults(const ProjectHeader& header)
{
    PictureDefaults defaults;
    defaults.Duration = std::min<std::uint32_t>(header.DefaultDuration, kMaxMilliseconds);
    defaults.Crossfade = std::min<std::uint32_t>(header.DefaultCrossfade, kMaxMilliseconds);
    if (header.DefaultFit != 0) {
        // The record's own reading of its Fit byte, so both mean the same; an unknown one reads
        // as the stretch a zero gives.
        FrameRecord sample;
        sample.Stretch = 1;
        sample.Fit = header.DefaultFit;
        if (const FitMode fit = GetFit(sample); fit != FitMode::Stretch) {
            defaults.Fit = fit;
        }
    }
    if (header.DefaultMotion == static_cast<std::uint8_t>(MotionKind::Automatic)) {
        defaults.Motion = MotionKind::Automatic;
    }
    return defaults;
}

void SetPictureDefaults(ProjectHeader& header, const PictureDefaults& defaults)
{
    header.DefaultDuration = std::min(defaults.Duration, kMaxMilliseconds);
    header.DefaultCrossfade = std::min(defaults.Crossfade, kMaxMilliseconds);
    header.DefaultFit = 0;
    if (defaults.Fit) {
        FrameRecord sample;
        SetFit(sample, *defaults.Fit);
        header.DefaultFit = sample.Fit;  // 0 for stretch and top-left, which need no default
    }
    header.DefaultMotion =
        defaults.Motion == MotionKind::Automatic ? static_cast<std::uint8_t>(MotionKind::Automatic) : std::uint8_t{0};
}

FrameEdit WithDefaults(const FrameEdit& given, const PictureDefaults& defaults)
{
    FrameEdit edit = given;
    if (!edit.Fit && !edit.Stretch && defaults.Fit) {
        edit.Fit = defaults.Fit;
    }
    if (!edit.Duration && defaults.Duration != 0) {
        edit.Duration = defaults.Duration;
    }
    if (!edit.Crossfade && defaults.Crossfade != 0) {
        edit.Crossfade = defaults.Crossfade;
    }
    if (!edit.Motion.Kind && defaults.Motion != MotionKind::None) {
        edit.Motion.Kind = defaults.Motion;
    }
    return edit;
}

PictureDefaults SlideshowDefaults()
{
    return {.Duration = 3000, .Fit = FitMode::Blur, .Crossfade = 500, .Motion = MotionKind::Automatic};
}

ProjectHeader NewSlideshowHeader(const SlideshowSettings& settings)
{
    ProjectHeader header = NewProjectHeader();
    header.Width = settings.Width;
    header.Height = settings.Height;
    SetFrameRate(header, settings.Rate);
    header.Background = settings.Background;
    header.SmoothScaling = 1;
    SetPictureDefaults(header, settings.Defaults);
    return header;
}

std::string SlideshowVideoPath(const std::string& projectPath)
{
    std::string video = DefaultAviFileName(projectPath);
    return video.replace(video.size() - 4, 4, ".mp4");
}

}  // namespace kinetar::project
