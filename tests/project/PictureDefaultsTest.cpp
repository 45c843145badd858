#include <gtest/gtest.h>

#include <cstring>

#include "project/PictureDefaults.h"

namespace kinetar::project {
namespace {

std::array<std::uint8_t, 13> TailBytes(const ProjectHeader& header)
{
    std::array<std::uint8_t, 13> bytes{};
    std::memcpy(bytes.data(), reinterpret_cast<const std::uint8_t*>(&header) + 347, bytes.size());
    return bytes;
}

// The header's bytes 347-359 for each set of defaults, and what reads back from them.
TEST(PictureDefaults, StoredInTheHeadersReservedBytes)
{
    struct Row {
        const char* name;
        PictureDefaults defaults;
        std::array<std::uint8_t, 13> bytes;
    };
    const Row rows[] = {
        {"none: the bytes stay zero", {}, {}},
        {"a slideshow", SlideshowDefaults(), {0xb8, 0x0b, 0, 0, 4, 0xf4, 0x01, 0, 0, 2, 0, 0, 0}},
        {"crop, still, no crossfade", {2500, FitMode::Crop, 0, MotionKind::None}, {0xc4, 0x09, 0, 0, 2}},
        {"letterbox", {0, FitMode::Letterbox, 0, MotionKind::None}, {0, 0, 0, 0, 1}},
        {"centre, a day", {kMaxMilliseconds, FitMode::Centre, 0, MotionKind::None}, {0x00, 0x5c, 0x26, 0x05, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProjectHeader header = NewProjectHeader();
        SetPictureDefaults(header, row.defaults);
        EXPECT_EQ(TailBytes(header), row.bytes);
        EXPECT_EQ(GetPictureDefaults(header), row.defaults);
    }
}

// Bytes another version may write read as the nearest thing this one knows.
TEST(PictureDefaults, UnknownBytesReadAsNone)
{
    ProjectHeader header{};
    header.DefaultFit = 9;
    header.DefaultMotion = 1;  // a custom move has no framings to take from the header
    header.DefaultDuration = 4'000'000'000U;
    const PictureDefaults defaults = GetPictureDefaults(header);
    EXPECT_FALSE(defaults.Fit);
    EXPECT_EQ(defaults.Motion, MotionKind::None);
    EXPECT_EQ(defaults.Duration, kMaxMilliseconds);
}

// What the user gives wins, each value on its own; a zero default leaves the new record as it was.
TEST(PictureDefaults, TheUsersValuesWinOverTheDefaults)
{
    const PictureDefaults slideshow = SlideshowDefaults();
    struct Row {
        const char* name;
        FrameEdit given;
        PictureDefaults defaults;
        FitMode fit;
        std::uint32_t duration, crossfade;
        MotionKind motion;
    };
    FrameEdit easingOnly;
    easingOnly.Motion.Ease = Easing::Smooth;
    FrameEdit still;
    still.Motion.Kind = MotionKind::None;
    const Row rows[] = {
        {"no defaults: today's record", {}, {}, FitMode::Stretch, 0, 0, MotionKind::None},
        {"all defaults", {}, slideshow, FitMode::Blur, 3000, 500, MotionKind::Automatic},
        {"a fit given", {{}, FitMode::Crop, {}, {}}, slideshow, FitMode::Crop, 3000, 500, MotionKind::Automatic},
        {"no stretch given",
         {{}, FitMode::TopLeft, {}, {}},
         slideshow,
         FitMode::TopLeft,
         3000,
         500,
         MotionKind::Automatic},
        {"times given, zero included", {{}, {}, 1000, 0}, slideshow, FitMode::Blur, 1000, 0, MotionKind::Automatic},
        {"only the easing given", easingOnly, slideshow, FitMode::Blur, 3000, 500, MotionKind::Automatic},
        {"no motion given", still, slideshow, FitMode::Blur, 3000, 500, MotionKind::None},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FrameRecord record = NewFrameRecord("/a.jpg");
        ApplyFrameEdit(record, WithDefaults(row.given, row.defaults));
        EXPECT_EQ(GetFit(record), row.fit);
        EXPECT_EQ(record.Duration, row.duration);
        EXPECT_EQ(record.Crossfade, row.crossfade);
        EXPECT_EQ(GetMotion(record).Kind, row.motion);
        if (row.defaults == PictureDefaults{} && !row.given.Fit) {
            const FrameRecord today = NewFrameRecord("/a.jpg");
            EXPECT_EQ(std::memcmp(&record, &today, sizeof record), 0);
        }
    }
    FrameRecord eased = NewFrameRecord("/a.jpg");
    ApplyFrameEdit(eased, WithDefaults(easingOnly, slideshow));
    EXPECT_EQ(GetMotion(eased).Ease, Easing::Smooth);
}

TEST(PictureDefaults, ANewSlideshowIsReadyForPhotos)
{
    const ProjectHeader header = NewSlideshowHeader();
    EXPECT_EQ(header.Width, 1920);
    EXPECT_EQ(header.Height, 1080);
    EXPECT_EQ(GetFrameRate(header), (FrameRate{25, 1}));
    EXPECT_EQ(ColorDepthBits(header), 24);
    EXPECT_EQ(GetPictureDefaults(header), SlideshowDefaults());
    // Plain New keeps its header, the defaults' bytes zero.
    EXPECT_EQ(TailBytes(NewProjectHeader()), (std::array<std::uint8_t, 13>{}));
}

}  // namespace
}  // namespace kinetar::project
