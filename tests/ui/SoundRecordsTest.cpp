#include <QLabel>
#include <QTest>

#include "UiTest.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "ui/FrameList.h"
#include "ui/Thumbnails.h"

namespace kinetar::test {
namespace {

using SoundRecordsTest = UiTest;
const QString kTone = QString::fromUtf8("\u266A tone.flac");

// Each line's note as the list shows it and the record's kind; they must agree.
QList<bool> Sounds(ui::MainWindow& window)
{
    std::vector<project::FrameRecord> records;
    project::ReadProject(window.WorkingCopyPath(), &records);
    QList<bool> sounds;
    for (int row = 0; row < window.Frames().count(); ++row) {
        const bool line = window.Frames().item(row)->data(ui::ThumbnailDelegate::kSoundRole).toBool();
        EXPECT_EQ(line, project::IsSoundRecord(records.at(static_cast<std::size_t>(row)))) << row;
        sounds << line;
    }
    return sounds;
}

// A sound is a line with a note and its length where a picture's size goes, the picture's fields
// off; it moves and is undone like any frame. A sound named as a TGA picture stays a picture.
TEST_F(SoundRecordsTest, ASoundIsALineWithANoteAndItsLength)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    WriteFile(File("b.bmp"), Bmp24(SolidImage(40, 30, 0x336699)));
    ASSERT_TRUE(MakeTone(File("tone.flac"), 2.5) && MakeTone(File("a.wav"), 0.5));
    std::filesystem::rename(File("a.wav"), File("a.tga"));
    auto window = Open({});
    window->Frames().AddPictureFiles({QPath("tone.flac"), QPath("b.bmp"), QPath("a.tga")});
    EXPECT_EQ(Lines(*window), QStringList({"a.tga", "b.bmp", kTone}));
    EXPECT_EQ(Sounds(*window), QList<bool>({false, false, true}));

    auto* size = Find<QLabel>(*window, "lb_RozmerySnimku");
    EXPECT_TRUE(QTest::qWaitFor([&] { return size->text() == "0:02.5"; }, 5000)) << size->text().toStdString();
    EXPECT_EQ(Find<QLabel>(*window, "lb_RozmerySnimkuPopis")->text(), "Sound:");
    EXPECT_TRUE(TakeAsked().isEmpty());  // never read as a picture
    const auto fieldsOn = [&] {
        QList<bool> on;
        for (const char* name : {"ch_StretchPicture", "cb_Prizpusobeni", "ed_DobaZobrazeni", "ed_Prolinani"}) {
            on << Find<QWidget>(*window, name)->isEnabled();
        }
        return on;
    };
    EXPECT_EQ(fieldsOn(), QList<bool>(4, false));
    Select(*window, {1});
    EXPECT_EQ(size->text(), "40 x 30");
    EXPECT_EQ(fieldsOn(), QList<bool>(4, true));

    Select(*window, {2});
    QTest::keyClick(&window->Frames(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Lines(*window), QStringList({"a.tga", kTone, "b.bmp"}));
    EXPECT_EQ(Sounds(*window), QList<bool>({false, true, false}));
    window->Session().History().undo();
    EXPECT_EQ(Sounds(*window), QList<bool>({false, false, true}));
    Trigger(*window, "menu_Ulozit");
    window.reset();
    auto reopened = Window({QPath("p.AVIprj")});
    EXPECT_EQ(Lines(*reopened), QStringList({"a.tga", "b.bmp", kTone}));
    EXPECT_EQ(Sounds(*reopened), QList<bool>({false, false, true}));
}

}  // namespace
}  // namespace kinetar::test
