#include <gtest/gtest.h>

#include <cstring>

#include "project/FrameEdits.h"
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

}  // namespace
}  // namespace kinetar::project
