#include <gtest/gtest.h>

#include <cstring>

#include "project/FrameEdits.h"
#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::project {
namespace {

// One edit, many records: a picture takes each value given and keeps the rest; a sound takes none.
TEST(FrameEdits, PicturesTakeTheEditAndSoundsKeepTheirBytes)
{
    FrameRecord picture = NewFrameRecord("/a.bmp");
    picture.Duration = 1500;
    picture.Crossfade = 250;
    picture.Stretch = 0;  // top-left, so each row shows what it changes
    FrameRecord sound = NewSoundRecord("/song.mp3");
    sound.Duration = 1500;
    struct Row {
        const char* name;
        FrameEdit edit;
        std::uint8_t stretch;
        FitMode fit;
        std::uint32_t duration, crossfade;
    };
    const Row rows[] = {
        {"nothing", {}, 0, FitMode::TopLeft, 1500, 250},
        {"stretch only", {1, {}, {}, {}}, 1, FitMode::Stretch, 1500, 250},
        {"letterbox, drawn stretched by readers of the stretch byte alone",
         {{}, FitMode::Letterbox, {}, {}},
         1,
         FitMode::Letterbox,
         1500,
         250},
        {"a stretch the fit overrides", {0, FitMode::Stretch, {}, {}}, 1, FitMode::Stretch, 1500, 250},
        {"times", {{}, {}, 3000, 0}, 0, FitMode::TopLeft, 3000, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FrameRecord edited = picture;
        EXPECT_TRUE(ApplyFrameEdit(edited, row.edit));
        EXPECT_EQ(edited.Stretch, row.stretch);
        EXPECT_EQ(GetFit(edited), row.fit);
        EXPECT_EQ(edited.Duration.Get(), row.duration);
        EXPECT_EQ(edited.Crossfade.Get(), row.crossfade);
        EXPECT_EQ(GetText(edited.PictureFileName), "/a.bmp");

        FrameRecord untouched = sound;
        EXPECT_FALSE(ApplyFrameEdit(untouched, row.edit));
        EXPECT_EQ(std::memcmp(&untouched, &sound, sizeof sound), 0);
    }
}

// A motion brings its own easing; an easing alone re-eases the record's motion and is lost on a
// picture that does not move, whose motion bytes stay zero.
TEST(FrameEdits, MotionAndEasing)
{
    const Motion panning{.Kind = MotionKind::Custom,
                         .Ease = Easing::Smooth,
                         .Start = {0.0, 1.0, 1.0},  // fractions the 16-bit bytes hold exactly
                         .End = {1.0, 0.0, 2.0}};
    Motion automatic;
    automatic.Kind = MotionKind::Automatic;
    FrameRecord still = NewFrameRecord("/a.bmp");
    FrameRecord moving = still;
    SetMotion(moving, panning);
    FrameEdit smoothOnly;
    smoothOnly.Motion.Ease = Easing::Smooth;
    FrameEdit linearOnly;
    linearOnly.Motion.Ease = Easing::Linear;
    FrameEdit automaticOnly;
    automaticOnly.Motion = MotionEdit::Whole(automatic);
    FrameEdit automaticSmooth = automaticOnly;
    automaticSmooth.Motion.Ease = Easing::Smooth;
    FrameEdit stop;
    stop.Motion = MotionEdit::Whole(Motion{});
    struct Row {
        const char* name;
        FrameRecord before;
        FrameEdit edit;
        MotionKind kind;
        Easing ease;
        std::uint8_t easingByte;
        Framing start;
    };
    const Row rows[] = {
        {"easing on a still picture", still, smoothOnly, MotionKind::None, Easing::Linear, 0, {}},
        {"easing on a moving one", moving, linearOnly, MotionKind::Custom, Easing::Linear, 0, panning.Start},
        {"a motion replaces the old one with its easing",
         moving,
         automaticOnly,
         MotionKind::Automatic,
         Easing::Linear,
         0,
         {}},
        {"a motion with an easing", still, automaticSmooth, MotionKind::Automatic, Easing::Smooth, 1, {}},
        {"no motion clears it", moving, stop, MotionKind::None, Easing::Linear, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FrameRecord edited = row.before;
        EXPECT_TRUE(ApplyFrameEdit(edited, row.edit));
        const Motion motion = GetMotion(edited);
        EXPECT_EQ(motion.Kind, row.kind);
        EXPECT_EQ(motion.Ease, row.ease);
        EXPECT_EQ(edited.Easing, row.easingByte);
        EXPECT_EQ(motion.Start, row.start);
        EXPECT_EQ(edited.MotionStart == FrameRecord{}.MotionStart, row.kind != MotionKind::Custom);
        EXPECT_EQ(GetFit(edited), GetFit(row.before));
        EXPECT_EQ(edited.Duration.Get(), row.before.Duration.Get());
    }
}

}  // namespace
}  // namespace kinetar::project
