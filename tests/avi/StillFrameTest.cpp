#include <gtest/gtest.h>

#include "avi/engine/StillFrame.h"
#include "avi/engine/VideoSettings.h"
#include "avi/frames/FrameFitting.h"
#include "pictures/LoadPicture.h"
#include "pictures/PngWriter.h"

namespace kinetar::avi {
namespace {

TEST(StillFrame, TimesAndIndexesNameTheFrameShowingThen)
{
    const project::FrameRate pal{25, 1};
    const project::FrameRate ntsc{30000, 1001};
    const struct {
        const char* text;
        project::FrameRate rate;
        std::optional<std::int64_t> frame;
    } rows[] = {
        {"0", pal, 0},
        {"12.5", pal, 312},
        {"0:12.5", pal, 312},
        {"1:00", pal, 1500},
        {"1:02:03.5", pal, 93'087},
        {"0.039", pal, 0},  // frame 1 starts at 0.04 s
        {"0.04", pal, 1},
        {"1.001", ntsc, 30},
        {"1", ntsc, 29},
        {"#300", pal, 300},
        {"#0", pal, 0},
        {"#", pal, std::nullopt},
        {"#-1", pal, std::nullopt},
        {"#3x", pal, std::nullopt},
        {"-1", pal, std::nullopt},
        {":12", pal, std::nullopt},
        {"1:2:3:4", pal, std::nullopt},
        {"twelve", pal, std::nullopt},
        {"", pal, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseFramePosition(row.text, row.rate), row.frame);
    }
}

TEST(StillFrame, SizePresetsByName)
{
    const struct {
        const char* name;
        std::int32_t width, height;
    } rows[] = {{"720p", 1280, 720},      {"1080p", 1920, 1080},  {"4K", 3840, 2160},
                {"vertical", 1080, 1920}, {"square", 1080, 1080}, {"portrait", 1080, 1350}};
    for (const auto& row : rows) {
        const auto preset = FindSizePreset(row.name);
        ASSERT_TRUE(preset) << row.name;
        EXPECT_EQ(preset->Width, row.width);
        EXPECT_EQ(preset->Height, row.height);
    }
    EXPECT_FALSE(FindSizePreset("1080"));
    EXPECT_FALSE(FindSizePreset("1080p "));
}

TEST(StillFrame, APngWrittenReadsBackPixelForPixel)
{
    WorkingFrame frame(7, 3);
    for (std::int32_t y = 0; y < frame.Height(); ++y) {
        for (std::size_t i = 0; i < frame.RowBytes(); ++i) {
            frame.Row(y)[i] = static_cast<std::uint8_t>(37 * y + 11 * i);
        }
    }
    const auto png = pictures::EncodePng(frame.Row(0).data(), frame.RowBytes(), frame.Width(), frame.Height());
    const auto picture = pictures::LoadPicture(png, "still.png");
    ASSERT_EQ(picture->Width(), 7);
    ASSERT_EQ(picture->Height(), 3);
    ASSERT_EQ(picture->BitsPerPixel(), 24);
    for (std::int32_t y = 0; y < frame.Height(); ++y) {
        EXPECT_TRUE(std::equal(frame.Row(y).begin(), frame.Row(y).end(), picture->Row(y).begin())) << "row " << y;
    }
}

TEST(StillFrame, ABlurredFillShowsThePictureWholeOverADarkenedCopy)
{
    // A flat portrait picture in a landscape frame: the picture's colour in the middle, three
    // quarters of it at the sides.
    pictures::DecodedPicture picture;
    picture.SetWidth(90);
    picture.SetHeight(160);
    picture.SetPixelFormat(24);
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        std::fill(picture.Row(y).begin(), picture.Row(y).end(), 200);
    }
    WorkingFrame frame(160, 90);
    FitPicture(picture, {.Mode = project::FitMode::Blur, .Background = {0, 0, 255, 0}, .Smooth = false}, frame);
    EXPECT_EQ(frame.Row(45)[3 * 80], 200);
    EXPECT_EQ(frame.Row(45)[3 * 5], 150);
    EXPECT_EQ(frame.Row(0)[3 * 155 + 2], 150);  // no trace of the background colour
}

}  // namespace
}  // namespace kinetar::avi
