#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "UiTest.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/ToneFile.h"
#include "ui/FrameList.h"
#include "ui/Thumbnails.h"

namespace kinetar::test {
namespace {

const QString kToneLine = QString::fromUtf8("\u266A tone.wav");

class SoundRecordsTest : public UiTest {
protected:
    static QList<bool> SoundLines(ui::MainWindow& window)
    {
        QList<bool> sounds;
        for (int row = 0; row < window.Frames().count(); ++row) {
            sounds << window.Frames().item(row)->data(ui::ThumbnailDelegate::kSoundRole).toBool();
        }
        return sounds;
    }
    static QList<bool> SoundRecords(ui::MainWindow& window)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(window.WorkingCopyPath(), &records);
        QList<bool> sounds;
        for (const auto& record : records) {
            sounds << project::IsSoundRecord(record);
        }
        return sounds;
    }
};

// The sound is a record of its own: a note before its name, its length where a picture's size
// goes, the picture's fields off; it moves and is undone like any frame.
TEST_F(SoundRecordsTest, ASoundIsAListLineWithANoteAndItsLength)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    WriteFile(File("a.bmp"), Bmp24(SolidImage(40, 30, 0x336699)));
    ASSERT_TRUE(MakeTone(File("tone.wav"), 2.5));
    auto window = Open({File("a.bmp")});
    window->Frames().AddPictureFiles({QPath("tone.wav")});
    EXPECT_EQ(Lines(*window), QStringList({"a.bmp", kToneLine}));
    EXPECT_EQ(SoundRecords(*window), QList<bool>({false, true}));
    EXPECT_EQ(SoundLines(*window), QList<bool>({false, true}));

    // Selected by the add: its length once the sound library has read it, and never a picture error.
    auto* size = Find<QLabel>(*window, "lb_RozmerySnimku");
    EXPECT_TRUE(QTest::qWaitFor([&] { return size->text() == "0:02.5"; }, 5000)) << size->text().toStdString();
    EXPECT_EQ(Find<QLabel>(*window, "lb_RozmerySnimkuPopis")->text(), "Sound:");
    EXPECT_TRUE(TakeAsked().isEmpty());
    const char* pictureFields[] = {"ch_StretchPicture", "cb_Prizpusobeni", "ed_DobaZobrazeni", "ed_Prolinani"};
    for (const char* field : pictureFields) {
        EXPECT_FALSE(Find<QWidget>(*window, field)->isEnabled()) << field;
    }
    // A picture again: its size and its fields back.
    Select(*window, {0});
    EXPECT_EQ(size->text(), "40 x 30");
    for (const char* field : pictureFields) {
        EXPECT_TRUE(Find<QWidget>(*window, field)->isEnabled()) << field;
    }

    // Moved up, the note and the record's kind go with the line; undone, they come back.
    Select(*window, {1});
    QTest::keyClick(&window->Frames(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Lines(*window), QStringList({kToneLine, "a.bmp"}));
    EXPECT_EQ(SoundRecords(*window), QList<bool>({true, false}));
    EXPECT_EQ(SoundLines(*window), QList<bool>({true, false}));
    window->Session().History().undo();
    EXPECT_EQ(SoundRecords(*window), QList<bool>({false, true}));
    EXPECT_EQ(SoundLines(*window), QList<bool>({false, true}));
    window->Session().History().undo();  // the add
    EXPECT_EQ(Lines(*window), QStringList({"a.bmp"}));
    window->Session().History().redo();
    EXPECT_EQ(SoundLines(*window), QList<bool>({false, true}));
}

// Several files at once, a picture among them: each gets the record of its kind, and a project
// opened again shows its sounds as sounds.
TEST_F(SoundRecordsTest, SoundsAndPicturesAddedTogetherAndReopened)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    WriteFile(File("b.bmp"), Bmp24(SolidImage(8, 8, 0xffffff)));
    ASSERT_TRUE(MakeTone(File("c.flac"), 0.5));
    // A sound file named as a picture stays a picture: names of pictures are never probed.
    ASSERT_TRUE(MakeTone(File("d.wav"), 0.5));
    std::filesystem::rename(File("d.wav"), File("a.tga"));
    auto window = Open({});
    window->Frames().AddPictureFiles({QPath("c.flac"), QPath("b.bmp"), QPath("a.tga")});
    EXPECT_EQ(Lines(*window), QStringList({"a.tga", "b.bmp", QString::fromUtf8("\u266A c.flac")}));
    EXPECT_EQ(SoundRecords(*window), QList<bool>({false, false, true}));
    Trigger(*window, "menu_Ulozit");
    window.reset();
    auto reopened = Window({QPath("p.AVIprj")});
    EXPECT_EQ(Lines(*reopened), QStringList({"a.tga", "b.bmp", QString::fromUtf8("\u266A c.flac")}));
    EXPECT_EQ(SoundLines(*reopened), QList<bool>({false, false, true}));
}

}  // namespace
}  // namespace kinetar::test
