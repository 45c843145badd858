#include <QAbstractItemModel>
#include <QTest>

#include "UiTest.h"
#include "project/MusicFit.h"
#include "project/PictureDefaults.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "ui/FrameList.h"
#include "ui/FrameListModel.h"

namespace kinetar::test {
namespace {

class SlideshowTest : public UiTest {
protected:
    void Pictures(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            WriteFile(File(name), Bmp24(SolidImage(8, 6, 0x336699)));
        }
    }
    // A 440 Hz tone of the given seconds.
    void Song(const std::string& name, double seconds)
    {
        ASSERT_EQ(RunCommand(kFfmpeg + " -v error -y -f lavfi -i sine=duration=" + std::to_string(seconds) + " " +
                             ShellQuote(File(name))),
                  0);
    }
    static std::vector<project::FrameRecord> WorkingRecords(ui::MainWindow& window)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(window.WorkingCopyPath(), &records);
        return records;
    }
    static QString Timing(ui::MainWindow& window, int row)
    {
        return window.Frames().model()->index(row, 0).data(ui::FrameListModel::kTimingRole).toString();
    }
    // The timing once the sounds' lengths, read on a thread of their own, have come (or 5 s).
    static QString SettledTiming(ui::MainWindow& window, int row, const QString& expected)
    {
        for (int wait = 0; wait < 500 && Timing(window, row) != expected; ++wait) {
            QTest::qWait(10);
        }
        return Timing(window, row);
    }
};

// New slideshow makes the project the dialog describes, its music first and its pictures by name
// with the defaults; pictures added later take them too; Add music goes in front of the selected
// picture; Fit pictures to music ends the video on the music's last frame. Each edit is one undo
// step, and the list says each line's timing.
TEST_F(SlideshowTest, ANewSlideshowTakesItsDefaultsItsMusicAndItsLength)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    Pictures({"b.bmp", "a.bmp", "c.bmp"});
    Song("song.wav", 7.3);
    Song("late.wav", 1.0);
    const project::PictureDefaults defaults{2000, project::FitMode::Crop, 250, project::MotionKind::Automatic};
    m_slideshowAnswer = ui::SlideshowChoices{
        {1280, 720, {30, 1}, {1, 2, 3}, defaults}, {QPath("b.bmp"), QPath("a.bmp")}, {QPath("song.wav")}};
    auto window = Window();
    ChooseFiles({QPath("show.AVIprj")});
    Trigger(*window, "newSlideshowAction");
    ASSERT_EQ(window->ProjectPath(), QPath("show.AVIprj"));
    EXPECT_EQ(Records(*window), (QStringList{"song.wav", "a.bmp", "b.bmp"}));
    project::ProjectHeader header;
    ASSERT_TRUE(project::ReadProjectHeader(File("show.AVIprj"), header));
    EXPECT_EQ(header.Width, 1280);
    EXPECT_EQ(header.Height, 720);
    EXPECT_EQ(project::GetFrameRate(header), (project::FrameRate{30, 1}));
    EXPECT_EQ(header.Background, (std::array<std::uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(project::GetPictureDefaults(header), defaults);
    EXPECT_EQ(project::GetText(header.AviFileName), File("show.mp4"));
    const auto takesDefaults = [&](const project::FrameRecord& record) {
        return project::GetFit(record) == project::FitMode::Crop && record.Duration == 2000U &&
               record.Crossfade == 250U && project::GetMotion(record).Kind == project::MotionKind::Automatic;
    };
    for (const auto& record : WorkingRecords(*window)) {
        EXPECT_EQ(takesDefaults(record), !project::IsSoundRecord(record));
    }
    EXPECT_EQ(Timing(*window, 1), QStringLiteral("0:00.0 \u00b7 2 s \u00b7 \u2194 0.25 s"));
    EXPECT_EQ(Timing(*window, 2), QStringLiteral("0:02.0 \u00b7 2 s \u00b7 \u2194 0.25 s"));

    ChooseFiles({QPath("c.bmp")});
    Trigger(*window, "menu_Snimek_Pridat");
    EXPECT_TRUE(takesDefaults(WorkingRecords(*window).back()));

    // Before the selected picture; with nothing selected it would go first.
    Select(*window, {2});
    ChooseFiles({QPath("late.wav")});
    Trigger(*window, "addMusicAction");
    EXPECT_EQ(DialogsShown().back().Title, QStringLiteral("Select music..."));
    EXPECT_EQ(Records(*window), (QStringList{"song.wav", "a.bmp", "late.wav", "b.bmp", "c.bmp"}));
    EXPECT_EQ(Lines(*window).size(), 5);
    EXPECT_TRUE(project::IsSoundRecord(WorkingRecords(*window)[2]));
    const QString lateSong = QStringLiteral("\u25b6 0:07.3 \u00b7 0:01.0");
    EXPECT_EQ(SettledTiming(*window, 2, lateSong), lateSong) << "after the first song";
    Trigger(*window, "menu_Zpet");
    EXPECT_EQ(Records(*window), (QStringList{"song.wav", "a.bmp", "b.bmp", "c.bmp"}));
    Trigger(*window, "menu_Znovu");

    // All pictures equal, the video as long as the two songs one after the other: 8.3 s.
    Answer({QMessageBox::No});
    Trigger(*window, "fitToMusicAction");
    const auto fitted = WorkingRecords(*window);
    const project::FrameRate rate{30, 1};
    EXPECT_EQ(project::VideoFrameCount(fitted, rate), 249);
    for (const std::size_t picture : {1U, 3U, 4U}) {
        EXPECT_NEAR(fitted[picture].Duration, 8300 / 3, 1) << picture;
        EXPECT_EQ(fitted[picture].Crossfade, 250U);
    }
    Trigger(*window, "menu_Zpet");
    EXPECT_EQ(WorkingRecords(*window)[1].Duration, 2000U);

    // Cancelled: nothing changes.
    Answer({QMessageBox::Cancel});
    Trigger(*window, "fitToMusicAction");
    EXPECT_EQ(WorkingRecords(*window)[1].Duration, 2000U);
}

// The dialog cancelled, or the project's name not given: no project, nothing written.
TEST_F(SlideshowTest, CancellingMakesNoProject)
{
    auto window = Window();
    Trigger(*window, "newSlideshowAction");
    m_slideshowAnswer = ui::SlideshowChoices{};
    ChooseFiles({});
    Trigger(*window, "newSlideshowAction");
    EXPECT_TRUE(window->ProjectPath().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(File("show.AVIprj")));
}

}  // namespace
}  // namespace kinetar::test
