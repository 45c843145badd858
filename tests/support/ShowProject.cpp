#include "support/ShowProject.h"

#include <gtest/gtest.h>

#include "pictures/PngWriter.h"
#include "project/Motion.h"
#include "project/Slideshow.h"
#include "support/TestFiles.h"

namespace kinetar::test {

namespace {

// Stripes and a gradient in a colour of the seed's own, so neighbouring pictures differ everywhere.
std::string PatternedPicture(const TempDir& dir, const std::string& name, std::int32_t width, std::int32_t height,
                             int seed)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * 3 * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* pixel =
                &pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) *
                        3];
            pixel[0] = static_cast<std::uint8_t>(x * 255 / width);
            pixel[1] = static_cast<std::uint8_t>(((x / 7 + y / 5) % 2) * 120 + seed * 40);
            pixel[2] = static_cast<std::uint8_t>(y * 255 / height ^ seed * 60);
        }
    }
    WriteFile(dir.File(name), pictures::EncodePng(pixels.data(), static_cast<std::size_t>(width) * 3, width, height));
    return dir.File(name);
}

}  // namespace

ShowProject::ShowProject(std::int32_t width, std::int32_t height, std::int32_t fps)
{
    header = project::NewProjectHeader();
    header.Width = width;
    header.Height = height;
    header.FramesPerSecond = fps;
    header.Background = {20, 90, 200};
    header.SmoothScaling = 1;
    project::SetText(header.AviFileName, dir.File("show.avi"));

    const auto picture = [&](const std::string& path, std::uint32_t durationMs, std::uint32_t crossfadeMs,
                             project::FitMode fit, project::MotionKind motion) {
        project::FrameRecord record = project::NewFrameRecord(path);
        record.Duration = durationMs;
        record.Crossfade = crossfadeMs;
        project::SetFit(record, fit);
        project::Motion moving;
        moving.Kind = motion;
        if (motion == project::MotionKind::Custom) {
            moving.Start = {0.3, 0.4, 1.5};
            moving.End = {0.7, 0.6, 2.5};
        }
        project::SetMotion(record, moving);
        records.push_back(record);
    };
    using project::FitMode;
    using project::MotionKind;
    picture(PatternedPicture(dir, "a.png", 240, 160, 0), 1000, 0, FitMode::Crop, MotionKind::Automatic);
    records.push_back(project::NewSoundRecord(dir.File("music.wav")));
    picture(PatternedPicture(dir, "b.png", 150, 200, 1), 800, 400, FitMode::Blur, MotionKind::None);
    picture(dir.File("missing.png"), 500, 200, FitMode::Letterbox, MotionKind::None);
    picture(PatternedPicture(dir, "c.png", 300, 180, 2), 1000, 300, FitMode::Letterbox, MotionKind::Custom);
    picture(PatternedPicture(dir, "d.png", 90, 60, 3), 0, 0, FitMode::Stretch, MotionKind::None);
    picture(PatternedPicture(dir, "e.png", 260, 150, 4), 600, 600, FitMode::Crop, MotionKind::Automatic);
}

std::string ShowProject::Write() const
{
    EXPECT_TRUE(project::WriteProjectHeader(Path(), header));
    EXPECT_TRUE(project::WriteFrameRecords(Path(), 0, records));
    return Path();
}

}  // namespace kinetar::test
