#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "avi/engine/StillFrame.h"
#include "pictures/PngWriter.h"
#include "project/FrameEdits.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"
#include "support/TestFiles.h"

namespace kinetar::avi {
namespace {

using project::FrameRecord;

constexpr std::int32_t kWidth = 320;
constexpr std::int32_t kHeight = 180;

// A project of flat pictures at 10 frames per second, written into a folder of its own.
class CaptionProject {
public:
    // A picture of one colour (red, green, blue), or with a colour gradient when `ramp` is set.
    std::string Picture(const std::string& name, std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                        bool ramp = false) const
    {
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
        for (std::size_t i = 0; i < pixels.size(); i += 3) {
            const auto x = static_cast<std::uint8_t>((i / 3) % kWidth);
            pixels[i] = ramp ? x : blue;
            pixels[i + 1] = green;
            pixels[i + 2] = red;
        }
        const std::string path = m_dir.File(name);
        test::WriteFile(path, pictures::EncodePng(pixels.data(), kWidth * 3, kWidth, kHeight));
        return path;
    }

    std::unique_ptr<WorkingFrame> Still(const std::vector<FrameRecord>& records, std::int64_t frame) const
    {
        project::ProjectHeader header = project::NewProjectHeader();
        header.Width = kWidth;
        header.Height = kHeight;
        header.FramesPerSecond = 10;
        const std::string path = m_dir.File("show.AVIprj");
        project::ReplaceProjectFile(path, header, records);
        return MakeStill(header, path, frame);
    }

private:
    test::TempDir m_dir;
};

FrameRecord Timed(const std::string& picture, std::uint32_t durationMs, std::uint32_t crossfadeMs = 0)
{
    FrameRecord record = project::NewFrameRecord(picture);
    project::FrameEdit edit;
    edit.Duration = durationMs;
    edit.Crossfade = crossfadeMs;
    project::ApplyFrameEdit(record, edit);
    return record;
}

// An opaque white box: its inside shows exactly how much of the caption a frame holds.
FrameRecord BoxCaption(project::TextPosition position, const std::string& text = "WWWW")
{
    project::Caption caption;
    caption.Text = text;
    caption.Position = position;
    caption.Style = project::Readability::Box;
    caption.Box = {255, 255, 255, 255};
    caption.Colour = {255, 255, 255};
    return project::NewCaptionRecord(caption);
}

std::uint8_t Green(const WorkingFrame& frame, std::int32_t x, std::int32_t y)
{
    return frame.Row(y)[static_cast<std::size_t>(x) * 3 + 1];
}

// Where the box of a caption of that position is on every frame: the middle of the safe area's
// row. Bottom: a little above the safe area's bottom; top: a little below its top.
constexpr std::int32_t kBottomBoxY = 180 - 9 - 6;
constexpr std::int32_t kTopBoxY = 9 + 6;

// A caption fades in and out with its picture: during a crossfade of n frames, frame k shows
// (k + 1) / (n + 1) of the new picture's caption and the rest of the old one's.
TEST(CaptionFrames, CaptionsFadeWithTheirPicturesCrossfade)
{
    const CaptionProject show;
    const std::string black = show.Picture("black.png", 0, 0, 0);
    const std::vector<FrameRecord> records{BoxCaption(project::TextPosition::Top), Timed(black, 1000),
                                           BoxCaption(project::TextPosition::Bottom), Timed(black, 1000, 400)};
    const std::int64_t fade = 4;  // 0.4 s at 10 frames per second
    for (std::int64_t frame = 8; frame < 16; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        const auto still = show.Still(records, frame);
        const std::int64_t k = frame - 10;
        const double incoming = frame < 10 ? 0.0 : (k < fade ? static_cast<double>(k + 1) / (fade + 1) : 1.0);
        EXPECT_EQ(Green(*still, kWidth / 2, kBottomBoxY), std::lround(255 * incoming));
        EXPECT_EQ(Green(*still, kWidth / 2, kTopBoxY), 255 - std::lround(255 * incoming));
    }
}

// Words stay where they are while the picture under them moves.
TEST(CaptionFrames, CaptionsDoNotMoveWithPanAndZoom)
{
    const CaptionProject show;
    const std::string ramp = show.Picture("ramp.png", 40, 90, 0, true);
    FrameRecord moving = Timed(ramp, 1000);
    project::FrameEdit edit;
    edit.Motion = project::MotionEdit::Whole(*project::ParseMotion("0.3,0.5,1:0.7,0.5,2"));
    project::ApplyFrameEdit(moving, edit);
    const std::vector<FrameRecord> records{BoxCaption(project::TextPosition::BottomLeft), moving};
    const auto first = show.Still(records, 0);
    const auto last = show.Still(records, 9);
    // The picture moved: its row through the middle differs.
    EXPECT_FALSE(std::equal(first->Row(90).begin(), first->Row(90).end(), last->Row(90).begin()));
    // The box's rows are the same on both frames wherever the box is.
    int boxPixels = 0;
    for (std::int32_t x = 0; x < kWidth; ++x) {
        if (Green(*first, x, kBottomBoxY) == 255) {
            ++boxPixels;
            EXPECT_EQ(Green(*last, x, kBottomBoxY), 255) << x;
        }
    }
    EXPECT_GT(boxPixels, 20);
}

// {index}, {count} and {name} are the picture's, filled at render time: the frame equals one whose
// caption was typed out.
TEST(CaptionFrames, TemplatesAreFilledForTheirPicture)
{
    const CaptionProject show;
    const std::string first = show.Picture("first.png", 0, 0, 90);
    const std::string second = show.Picture("second.png", 0, 0, 90);
    project::Caption caption;
    caption.Text = "{name} {index}/{count}";
    project::Caption typed = caption;
    typed.Text = "second 2/2";
    const FrameRecord title = project::NewTitleRecord(
        {.Text = "T", .Subtitle = {}, .Background = {}, .BlurredBackground = false, .Font = {}});
    const auto filled =
        show.Still({title, Timed(first, 1000), project::NewCaptionRecord(caption), Timed(second, 1000)}, 12);
    const auto expected =
        show.Still({title, Timed(first, 1000), project::NewCaptionRecord(typed), Timed(second, 1000)}, 12);
    const auto other =
        show.Still({title, Timed(first, 1000), project::NewCaptionRecord(caption), Timed(second, 1000)}, 2);
    for (std::int32_t y = 0; y < kHeight; ++y) {
        ASSERT_TRUE(std::equal(filled->Row(y).begin(), filled->Row(y).end(), expected->Row(y).begin())) << y;
    }
    int wordPixels = 0;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        wordPixels += std::equal(filled->Row(y).begin(), filled->Row(y).end(), other->Row(y).begin()) ? 0 : 1;
    }
    EXPECT_GT(wordPixels, 5) << "the first picture shows without the second's caption";
}

// A title card is a frame of its own: its colour and its words; over the next picture blurred when
// asked, or its colour when there is no picture after it.
TEST(CaptionFrames, TitleCardsShowTheirBackgroundAndWords)
{
    const CaptionProject show;
    const std::string green = show.Picture("green.png", 0, 200, 0);
    project::Title title{
        .Text = "Holiday", .Subtitle = "2024", .Background = {0, 0, 128}, .BlurredBackground = false, .Font = {}};
    FrameRecord coloured = project::NewTitleRecord(title);
    coloured.Duration = 1000;
    title.BlurredBackground = true;
    FrameRecord blurred = project::NewTitleRecord(title);
    blurred.Duration = 1000;
    const auto onColour = show.Still({coloured, Timed(green, 1000)}, 0);
    const std::uint8_t* corner = onColour->Row(0).data();
    EXPECT_EQ(corner[0], 128);  // blue, green, red
    EXPECT_EQ(corner[1], 0);
    EXPECT_EQ(corner[2], 0);
    int white = 0;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        for (std::int32_t x = 0; x < kWidth; ++x) {
            white += Green(*onColour, x, y) > 200 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 100);
    const auto onPicture = show.Still({blurred, Timed(green, 1000)}, 0);
    EXPECT_GT(Green(*onPicture, 0, 0), 60);  // the green picture, darkened
    EXPECT_EQ(onPicture->Row(0)[0], 0);
    const auto lastCard = show.Still({Timed(green, 1000), blurred}, 10);
    EXPECT_EQ(lastCard->Row(0)[0], 128) << "no picture after it: its colour";
    // The card takes its own time: the picture after it starts at frame 10.
    EXPECT_EQ(Green(*show.Still({coloured, Timed(green, 1000)}, 10), 0, 0), 200);
}

}  // namespace
}  // namespace kinetar::avi
