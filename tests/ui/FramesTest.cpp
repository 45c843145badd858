#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "UiTest.h"
#include "pictures/LoadPicture.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/GifBuilder.h"
#include "support/RgbImage.h"
#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/Thumbnails.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<int>;

const QString kRemoveQuestion = QStringLiteral("Do you really want to remove selected items from project?");
// The question says how many frames go.
QString RemoveQuestion(qsizetype frames)
{
    return kRemoveQuestion + (frames == 1 ? QStringLiteral("\r\n1 frame will be removed.")
                                          : QStringLiteral("\r\n%1 frames will be removed.").arg(frames));
}
const QString kStartQuestion =
    QStringLiteral("Detected number at the begin of filename\r\nShall added files be sorted by this number?");
const QString kEndQuestion =
    QStringLiteral("Detected number at the end of filename\r\nShall added files be sorted by this number?");

class FramesTest : public UiTest {
protected:
    static QString FileName(const ui::MainWindow& window) { return Find<QLineEdit>(window, "ed_PictFileName")->text(); }
    static QString Dimension(const ui::MainWindow& window) { return Find<QLabel>(window, "lb_RozmerySnimku")->text(); }
    static QImage Preview(const ui::MainWindow& window)
    {
        return Find<QLabel>(window, "Image_Preview")->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    }
    static QImage Placeholder(const char* name)
    {
        return QImage(QStringLiteral(":/kinetar/placeholders/") + QString::fromLatin1(name) + QStringLiteral(".bmp"))
            .convertToFormat(QImage::Format_RGB32);
    }
    std::string Picture(const std::string& name, int width, int height)
    {
        WriteFile(File(name), Bmp24(SolidImage(width, height, 0x336699)));
        return File(name);
    }
};

TEST_F(FramesTest, AddOrdersSeveralPicturesAsAnswered)
{
    struct Case {
        QStringList files;
        std::vector<QMessageBox::StandardButton> answers;
        QStringList questions;
        QStringList order;
    };
    const auto Yes = QMessageBox::Yes;
    const auto No = QMessageBox::No;
    const Case cases[] = {
        {{"f9.bmp", "f10.bmp", "f100.bmp"}, {Yes}, {kEndQuestion}, {"f9.bmp", "f10.bmp", "f100.bmp"}},
        {{"f9.bmp", "f10.bmp", "f100.bmp"}, {No}, {kEndQuestion}, {"f10.bmp", "f100.bmp", "f9.bmp"}},
        {{"7a.bmp", "x.bmp"}, {Yes}, {kStartQuestion}, {"7a.bmp", "x.bmp"}},
        {{"x.bmp", "7a.bmp"}, {}, {}, {"7a.bmp", "x.bmp"}},
        {{"a.bmp", "A.pcx"}, {}, {}, {"A.pcx", "a.bmp"}},
        {{"10x2.bmp", "9x5.bmp"}, {Yes, No}, {kStartQuestion, kEndQuestion}, {"9x5.bmp", "10x2.bmp"}},
        {{"10x2.bmp", "9x5.bmp"}, {Yes, Yes}, {kStartQuestion, kEndQuestion}, {"10x2.bmp", "9x5.bmp"}},
        {{"10x2.bmp", "9x5.bmp"},
         {QMessageBox::Cancel, QMessageBox::Cancel},
         {kStartQuestion, kEndQuestion},
         {"10x2.bmp", "9x5.bmp"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.files.join(' ').toStdString());
        auto window = Open({"/old.bmp"});
        QStringList paths;
        for (const QString& file : test.files) {
            paths << QPath(file.toStdString());
        }
        m_prompter->Answers.assign(test.answers.begin(), test.answers.end());
        ChooseFiles(paths);
        Find<QAction>(*window, "menu_Snimek_Pridat")->trigger();
        EXPECT_EQ(TakeAsked(), test.questions);
        const QStringList expected = QStringList{"old.bmp"} + test.order;
        EXPECT_EQ(Lines(*window), expected);
        EXPECT_EQ(Records(*window), expected);
        EXPECT_EQ(window->Frames().SelectedRows(), QList<int>{static_cast<int>(expected.size()) - 1});
        EXPECT_TRUE(window->ProjectModified());
    }
}

TEST_F(FramesTest, AddingOnePictureSelectsAndShowsIt)
{
    const std::string picture = Picture("one.bmp", 640, 480);
    auto window = Open({picture});
    window->Frames().AddPictureFiles({QString::fromStdString(picture)});  // a duplicate is a frame too
    EXPECT_TRUE(TakeAsked().isEmpty());
    EXPECT_EQ(Lines(*window), QStringList({"one.bmp", "one.bmp"}));
    EXPECT_EQ(window->Frames().SelectedRows(), QList<int>{1});
    EXPECT_EQ(FileName(*window), QString::fromStdString(picture));
    EXPECT_EQ(Dimension(*window), "640 x 480");
    EXPECT_EQ(Preview(*window).size(), QSize(640, 480));
    EXPECT_EQ(Find<QCheckBox>(*window, "ch_StretchPicture")->checkState(), Qt::Checked);
}

// The keyboard goes on from the new line, not from where the user clicked before adding.
TEST_F(FramesTest, AfterAddingShiftExtendsFromTheNewLine)
{
    auto window = Open({"/a.bmp", "/b.bmp", "/c.bmp"});
    ui::FrameList& list = window->Frames();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.model()->index(0, 0)).center());
    list.AddPictureFiles({QPath("d.bmp")});
    QTest::keyClick(&list, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(list.SelectedRows(), QList<int>({2, 3}));
    EXPECT_EQ(list.currentRow(), 2);
}

// The list keeps its width while the size text changes and "&Save changes" turns bold; a narrow
// window narrows the panel, never the list below its minimum, and cuts no caption.
TEST_F(FramesTest, TheLayoutHoldsStillAndShrinksWithoutClipping)
{
    auto window = Open({Picture("wide.bmp", 640, 480), "/missing.bmp"});
    ui::FrameList& list = window->Frames();
    const int width = list.width();
    Select(*window, {0});
    QApplication::processEvents();
    EXPECT_EQ(Dimension(*window), "640 x 480");
    EXPECT_EQ(list.width(), width);
    QTest::keyClicks(Find<QLineEdit>(*window, "ed_PictFileName"), "x");
    QApplication::processEvents();
    EXPECT_EQ(list.width(), width);
    Find<QPushButton>(*window, "bt_ZrusitZmeny")->click();

    window->resize(400, 470);
    QApplication::processEvents();
    EXPECT_GE(list.width(), 120);
    EXPECT_LT(Find<QWidget>(*window, "PanelMain")->width(), 300);
    const QWidget* panel = Find<QWidget>(*window, "Panel1");
    for (const char* name : {"ch_StretchPicture", "bt_UlozitZmeny", "bt_ZrusitZmeny", "Button2", "lb_RozmerySnimku"}) {
        const auto* widget = Find<QWidget>(*window, name);
        EXPECT_GE(widget->width(), widget->sizeHint().width()) << name;
        EXPECT_LE(widget->mapTo(panel, QPoint(widget->width(), 0)).x(), panel->width()) << name;
    }
}

// Each line's thumbnail shows its record's picture; the View menu switches thumbnails off for good.
TEST_F(FramesTest, ThumbnailsFollowTheRecordsAndCanBeSwitchedOff)
{
    const QString kPath = QStringLiteral("/pictures/one.bmp");
    {
        auto window = Open({kPath.toStdString(), "/two.bmp"});
        ui::FrameList& list = window->Frames();
        EXPECT_EQ(list.model()->index(0, 0).data(Qt::UserRole).toString(), kPath);
        EXPECT_GE(list.sizeHintForRow(0), 48);
        Select(*window, {0});
        Find<QLineEdit>(*window, "ed_PictFileName")->setText(QStringLiteral("/other.bmp"));
        Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
        EXPECT_EQ(list.model()->index(0, 0).data().toString(), "one.bmp");
        EXPECT_EQ(list.model()->index(0, 0).data(Qt::UserRole).toString(), "/other.bmp");
        Trigger(*window, "tl_PosunDolu");
        EXPECT_EQ(list.model()->index(1, 0).data(Qt::UserRole).toString(), "/other.bmp");
        Trigger(*window, "menu_Nahledy");
        EXPECT_LT(list.sizeHintForRow(0), 48);
    }
    auto window = Open({});
    EXPECT_FALSE(Find(*window, "menu_Nahledy")->isChecked());
}

TEST_F(FramesTest, APathTooLongForAFrameIsRefusedAndTheOthersGoIn)
{
    auto window = Open({});
    const QString longPath = QStringLiteral("/") + QString(300, u'x') + QStringLiteral(".bmp");
    Answer({QMessageBox::Ok});
    window->Frames().AddPictureFiles({QPath("a.bmp"), longPath, QPath("b.bmp")});
    const QString message = TakeOnlyAsked();
    EXPECT_TRUE(message.contains(longPath)) << message.toStdString();
    EXPECT_TRUE(message.contains("260")) << message.toStdString();
    EXPECT_EQ(Records(*window), QStringList({"a.bmp", "b.bmp"}));
    EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "b.bmp"}));
}

TEST_F(FramesTest, RemoveKeepsTheUnselectedFramesInOrder)
{
    struct Case {
        Rows selected;
        QMessageBox::StandardButton answer;
        QStringList left;
        bool modified;
    };
    const Case cases[] = {
        {{0, 2}, QMessageBox::Yes, {"b.bmp", "d.bmp"}, true},
        {{0, 1, 2, 3}, QMessageBox::Yes, {}, true},
        {{1}, QMessageBox::No, {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}, false},
        {{1}, QMessageBox::Cancel, {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}, false},
    };
    for (const Case& test : cases) {
        auto window = Open({"/a.bmp", "/b.bmp", "/c.bmp", "/d.bmp"});
        Select(*window, test.selected);
        Answer({test.answer});
        Find<QAction>(*window, "menu_Snimek_Odebrat")->trigger();
        EXPECT_EQ(TakeOnlyAsked(), RemoveQuestion(test.selected.size()));
        EXPECT_EQ(Lines(*window), test.left);
        EXPECT_EQ(Records(*window), test.left);
        EXPECT_EQ(window->ProjectModified(), test.modified);
        EXPECT_EQ(fs::file_size(window->WorkingCopyPath()), 360U + 292U * static_cast<unsigned>(test.left.size()));
        if (test.answer == QMessageBox::Yes) {
            EXPECT_TRUE(window->Frames().SelectedRows().isEmpty());
            EXPECT_FALSE(Find<QAction>(*window, "menu_Snimek_Odebrat")->isEnabled());
        }
    }
}

TEST_F(FramesTest, AFailedRemoveSaysSoAndChangesNothing)
{
    auto window = Open({"/a.bmp", "/b.bmp"});
    Select(*window, {0});
    fs::remove(window->WorkingCopyPath());
    Answer({QMessageBox::Yes, QMessageBox::Ok});
    Find<QAction>(*window, "menu_Snimek_Odebrat")->trigger();
    EXPECT_EQ(TakeAsked(),
              QStringList({RemoveQuestion(1), "There is some error, when removing items.\r\nOperation was storned."}));
    EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "b.bmp"}));
    EXPECT_FALSE(fs::exists(window->WorkingCopyPath()));
    EXPECT_TRUE(window->ProjectModified());
}

TEST_F(FramesTest, MovesSwapTheFrameWithItsNeighbour)
{
    struct Case {
        Rows selected;
        int key;  // with Alt held
        QStringList order;
        Rows selectedAfter;
    };
    const Case cases[] = {
        {{1}, Qt::Key_Up, {"b.bmp", "a.bmp", "c.bmp"}, {0}},
        {{1}, Qt::Key_Down, {"a.bmp", "c.bmp", "b.bmp"}, {2}},
        {{0}, Qt::Key_Up, {"a.bmp", "b.bmp", "c.bmp"}, {0}},
        {{2}, Qt::Key_Down, {"a.bmp", "b.bmp", "c.bmp"}, {2}},
        {{0, 1}, Qt::Key_Down, {"a.bmp", "b.bmp", "c.bmp"}, {0, 1}},
    };
    for (const Case& test : cases) {
        auto window = Open({"/a.bmp", "/b.bmp", "/c.bmp"});
        Select(*window, test.selected);
        QTest::keyClick(&window->Frames(), static_cast<Qt::Key>(test.key), Qt::AltModifier);
        EXPECT_EQ(Lines(*window), test.order);
        EXPECT_EQ(Records(*window), test.order);
        EXPECT_EQ(window->Frames().SelectedRows(), QList<int>(test.selectedAfter.begin(), test.selectedAfter.end()));
        EXPECT_EQ(window->ProjectModified(), test.order != QStringList({"a.bmp", "b.bmp", "c.bmp"}));
    }
}

TEST_F(FramesTest, ListKeys)
{
    auto window = Open({"/a.bmp", "/b.bmp"});
    ui::FrameList& list = window->Frames();
    QTest::keyClick(&list, Qt::Key_Down);  // no Alt: the selection moves, nothing else
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.SelectedRows(), QList<int>{1});
    EXPECT_EQ(FileName(*window), "/b.bmp");
    EXPECT_FALSE(window->ProjectModified());

    Answer({QMessageBox::No});
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_EQ(TakeOnlyAsked(), RemoveQuestion(1));
    ChooseFiles({});
    QTest::keyClick(&list, Qt::Key_Insert);
    EXPECT_EQ(DialogsShown().size(), 1U);

    Find<QAction>(*window, "menu_Zavrit")->trigger();
    QTest::keyClick(&list, Qt::Key_Insert);  // no project: nothing
    EXPECT_EQ(DialogsShown().size(), 1U);
}

TEST_F(FramesTest, SeveralSelectedFramesShowWhatTheyShare)
{
    const std::string picture = Picture("Same.bmp", 32, 16);
    const std::vector<std::string> pictures = {picture, File("same.bmp"), File("other.bmp")};
    project::FrameRecord unstretched = project::NewFrameRecord(File("same.bmp"));
    unstretched.Stretch = 0;
    auto window = Open(pictures);
    ASSERT_TRUE(project::WriteFrameRecord(window->WorkingCopyPath(), 1, unstretched));
    auto* stretch = Find<QCheckBox>(*window, "ch_StretchPicture");

    Select(*window, {0, 1});  // one file in two spellings: the first frame's name, previewed
    EXPECT_EQ(FileName(*window), QString::fromStdString(picture));
    EXPECT_EQ(Dimension(*window), "32 x 16");
    EXPECT_EQ(stretch->checkState(), Qt::PartiallyChecked);

    Select(*window, {0, 2});
    EXPECT_EQ(FileName(*window), "  ");
    EXPECT_EQ(Dimension(*window), "none");
    EXPECT_EQ(Preview(*window), Placeholder("MULTYSELECT"));
    EXPECT_EQ(stretch->checkState(), Qt::Checked);
    EXPECT_FALSE(window->ProjectModified());

    // The two blanks and the grey box keep every frame's own values.
    Select(*window, {0, 1, 2});
    const auto before = ReadFile(window->WorkingCopyPath());
    Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
    EXPECT_EQ(ReadFile(window->WorkingCopyPath()), before);
    EXPECT_TRUE(window->ProjectModified());

    // A typed name and a box clicked from grey to checked go into every selected frame.
    Find<QLineEdit>(*window, "ed_PictFileName")->setText(QString::fromStdString(picture));
    stretch->click();
    EXPECT_EQ(stretch->checkState(), Qt::Checked);
    Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
    std::vector<project::FrameRecord> records;
    project::ReadProject(window->WorkingCopyPath(), &records);
    for (const auto& record : records) {
        EXPECT_EQ(project::GetText(record.PictureFileName), picture);
        EXPECT_EQ(record.Stretch, 1);
    }
    EXPECT_EQ(Lines(*window), QStringList({"Same.bmp", "same.bmp", "other.bmp"}));  // lines keep their names
}

TEST_F(FramesTest, PendingChangesLockTheWindowUntilSavedOrCancelled)
{
    const char* const locked[] = {"menu_Novy",       "menu_Otevrit",      "menu_Zavrit",        "menu_Ulozit",
                                  "menu_UlozitJako", "menu_GenerovatAVI", "menu_Snimek_Pridat", "menu_Snimek_Odebrat",
                                  "tl_PosunNahoru",  "tl_PosunDolu"};
    auto window = Open({"/a.bmp", "/b.bmp"});
    auto* name = Find<QLineEdit>(*window, "ed_PictFileName");
    auto* save = Find<QPushButton>(*window, "bt_UlozitZmeny");
    name->setText(QStringLiteral("/typed.bmp"));  // nothing selected: not an edit
    EXPECT_TRUE(window->Frames().isEnabled());

    Select(*window, {1});
    QTest::keyClicks(name, QStringLiteral("x"));
    EXPECT_TRUE(window->Details().EditingMode());
    EXPECT_TRUE(save->font().bold());
    EXPECT_FALSE(window->Frames().isEnabled());
    EXPECT_FALSE(Find<QMenu>(*window, "menu_m_polozka")->menuAction()->isEnabled());
    for (const char* command : locked) {
        EXPECT_FALSE(Find<QAction>(*window, command)->isEnabled()) << command;
    }
    Answer({QMessageBox::Ok});
    EXPECT_FALSE(window->close());
    EXPECT_EQ(TakeOnlyAsked(),
              "You are changing some items.\r\nPlease, confirm(cancel) your changes and than close "
              "this program");

    Find<QPushButton>(*window, "bt_ZrusitZmeny")->click();
    EXPECT_FALSE(window->Details().EditingMode());
    EXPECT_FALSE(save->font().bold());
    EXPECT_EQ(name->text(), "/b.bmp");
    for (const char* command : locked) {
        EXPECT_TRUE(Find<QAction>(*window, command)->isEnabled()) << command;
    }
    EXPECT_FALSE(window->ProjectModified());

    // An empty name is stored as such, and there is nothing to preview.
    name->clear();
    save->click();
    project::FrameRecord record;
    ASSERT_TRUE(project::ReadFrameRecord(window->WorkingCopyPath(), 1, record));
    EXPECT_EQ(project::GetText(record.PictureFileName), "");
    EXPECT_TRUE(Find<QLabel>(*window, "Image_Preview")->isHidden());

    // A name too long for a frame is refused and the edit stays open.
    const QString longName = QStringLiteral("/") + QString(280, u'y');
    name->setText(longName);
    Answer({QMessageBox::Ok});
    save->click();
    EXPECT_TRUE(TakeOnlyAsked().contains(longName));
    EXPECT_TRUE(window->Details().EditingMode());
    ASSERT_TRUE(project::ReadFrameRecord(window->WorkingCopyPath(), 1, record));
    EXPECT_EQ(project::GetText(record.PictureFileName), "");
}

TEST_F(FramesTest, PreviewThroughTheProgramsReaders)
{
    struct Case {
        const char* file;
        std::vector<std::uint8_t> bytes;
        QString dimension;
        const char* placeholder;  // nullptr: the picture itself
        QString message;          // after "Error reading:: \r\n"; empty: no message box
    };
    const std::vector<std::uint8_t> gif = GifBuilder{}
                                              .Signature()
                                              .Screen(2, 1, 0x80)
                                              .Colors({0xFF0000, 0x0000FF})
                                              .Image(2, 1, 0)
                                              .Pixels(2, {{1, 0}})
                                              .Trailer()
                                              .Build();
    const Case cases[] = {
        {"wide.bmp", Bmp24(SolidImage(640, 480, 0x102030)), "640 x 480", nullptr, {}},
        {"gif-inside.bmp", gif, "2 x 1", nullptr, {}},
        {"noise.bmp", {1, 2, 3, 4, 5, 6, 7, 8}, "none", "BADFORMAT", {}},
        {"deep.bmp", BmpBuilder{}.Size(2, 2).Bits(16).Pixels(std::vector<std::uint8_t>(8)).Build(), "none", "BADFORMAT",
         "Unsupported bitmap"},
        {"missing.bmp", {}, "none", "FILENOTFOUND", {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.file);
        const std::string path = File(test.file);
        if (!test.bytes.empty()) {
            WriteFile(path, test.bytes);
        }
        auto window = Open({path});
        if (!test.message.isEmpty()) {
            Answer({QMessageBox::Ok});
        }
        Select(*window, {0});
        EXPECT_EQ(Dimension(*window), test.dimension);
        if (test.placeholder != nullptr) {
            EXPECT_EQ(Preview(*window), Placeholder(test.placeholder));
        } else {
            EXPECT_EQ(Preview(*window).size(),
                      QSize(test.dimension.section(' ', 0, 0).toInt(), test.dimension.section(' ', 2, 2).toInt()));
        }
        const QStringList asked = TakeAsked();
        if (test.message.isEmpty()) {
            EXPECT_TRUE(asked.isEmpty());
        } else {
            EXPECT_EQ(asked, QStringList({"Error reading:: \r\n" + test.message + QString::fromStdString(path) +
                                          "\r\nPlease, correct error or remove picture from project!"}));
        }
    }
    auto window = Open({File("wide.bmp")});
    Select(*window, {0});
    EXPECT_EQ(Preview(*window).pixel(5, 5), qRgb(0x10, 0x20, 0x30));
    // Typing an existing path previews it at once; a path that does not exist leaves it.
    auto* name = Find<QLineEdit>(*window, "ed_PictFileName");
    name->setText(QPath("gif-inside.bmp"));
    EXPECT_EQ(Dimension(*window), "2 x 1");
    EXPECT_EQ(Preview(*window).pixel(0, 0), qRgb(0, 0, 0xFF));
    name->setText(QPath("nowhere.bmp"));
    EXPECT_EQ(Dimension(*window), "2 x 1");
}

// Typed, chosen or left as shown, the timing and fit go into every selected frame; fields showing
// differing values keep each frame's own. Each save is one undo step.
TEST_F(FramesTest, TimingAndFitSaveIntoTheSelectedFrames)
{
    using project::FitMode;
    auto window = Open({"/a.bmp", "/b.bmp", "/c.bmp"});
    const std::string copy = window->WorkingCopyPath();
    std::vector<project::FrameRecord> records;
    project::ReadProject(copy, &records);
    records[1].Duration = 2500;
    project::SetFit(records[1], FitMode::Crop);
    records[2].Crossfade = 400;
    ASSERT_TRUE(project::WriteFrameRecords(copy, 0, records));
    auto* duration = Find<QLineEdit>(*window, "ed_DobaZobrazeni");
    auto* fit = Find<QComboBox>(*window, "cb_Prizpusobeni");
    auto* crossfade = Find<QLineEdit>(*window, "ed_Prolinani");
    struct Case {
        const char* name;
        Rows rows;
        const char *duration, *crossfade;                 // typed; nullptr: left as shown
        int fit;                                          // chosen; -1: left as shown
        std::vector<std::array<std::uint32_t, 4>> after;  // per frame: duration, fit byte, stretch, crossfade
    };
    const std::uint32_t s = records[0].Stretch;  // a new frame's stretch
    const Case cases[] = {
        {"one frame", {0}, "3", "0.5", 2, {{3000, 1, 1, 500}, {2500, 2, 1, 0}, {0, 0, s, 400}}},
        {"several, untouched", {0, 1, 2}, nullptr, nullptr, -1, {{0, 0, s, 0}, {2500, 2, 1, 0}, {0, 0, s, 400}}},
        {"several, one typed", {0, 1, 2}, nullptr, "1.25", -1, {{0, 0, s, 1250}, {2500, 2, 1, 1250}, {0, 0, s, 1250}}},
        {"several, fit chosen", {1, 2}, nullptr, nullptr, 4, {{0, 0, s, 0}, {2500, 3, 0, 0}, {0, 3, 0, 400}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Select(*window, test.rows);
        if (test.rows.size() == 3) {
            EXPECT_EQ(duration->placeholderText(), "various");
            EXPECT_EQ(fit->currentIndex(), -1);
        }
        for (const auto& [field, text] : {std::pair{duration, test.duration}, {crossfade, test.crossfade}}) {
            field->selectAll();
            QTest::keyClicks(field, QString::fromLatin1(text != nullptr ? text : ""));
        }
        fit->setCurrentIndex(test.fit >= 0 ? test.fit : fit->currentIndex());
        const auto before = ReadFile(copy);
        Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
        std::vector<std::array<std::uint32_t, 4>> after;
        std::vector<project::FrameRecord> written;
        project::ReadProject(copy, &written);
        for (const auto& saved : written) {
            after.push_back({saved.Duration, saved.Fit, saved.Stretch, saved.Crossfade});
        }
        EXPECT_EQ(after, test.after);
        Trigger(*window, "menu_Zpet");
        EXPECT_EQ(ReadFile(copy), before);
    }

    // The stretch box and the fit list follow each other.
    Select(*window, {0});
    auto* stretch = Find<QCheckBox>(*window, "ch_StretchPicture");
    fit->setCurrentIndex(static_cast<int>(FitMode::TopLeft));
    EXPECT_EQ(stretch->checkState(), Qt::Unchecked);
    stretch->click();
    EXPECT_EQ(fit->currentIndex(), static_cast<int>(FitMode::Stretch));

    // A time that is no number of seconds is refused and its field gets the keyboard.
    const auto before = ReadFile(copy);
    QTest::keyClicks(crossfade, "1,5");
    Answer({QMessageBox::Ok});
    Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
    EXPECT_EQ(TakeOnlyAsked(),
              "The changes were not saved: \"1,5\" is not a time in seconds from 0 to 86400, "
              "such as 3 or 0.5.");
    EXPECT_EQ(window->focusWidget(), crossfade);
    EXPECT_EQ(ReadFile(copy), before);
}

// The preview is the video's frame: its size, the chosen fit, the background around the picture.
TEST_F(FramesTest, PreviewShowsThePictureAsTheVideoWill)
{
    using project::FitMode;
    WriteFile(File("red.bmp"), Bmp24(SolidImage(20, 10, 0xFF0000)));
    project::ProjectHeader header = project::NewProjectHeader();
    header.Width = 40;
    header.Height = 40;
    header.Background = {0, 0xFF, 0};
    project::ReplaceProjectFile(File("p.AVIprj"), header, {{project::NewFrameRecord(File("red.bmp"))}});
    auto window = Window({QPath("p.AVIprj")});
    Select(*window, {0});
    const QRgb red = qRgb(0xFF, 0, 0), green = qRgb(0, 0xFF, 0);  // the picture, the background
    // A pixel on each side of each edge the picture leaves: 20 x 10 into 40 x 40.
    const std::tuple<FitMode, std::vector<std::pair<QPoint, QRgb>>> cases[] = {
        {FitMode::Letterbox, {{{20, 9}, green}, {{20, 10}, red}, {{20, 29}, red}, {{20, 30}, green}}},
        {FitMode::Centre, {{{9, 20}, green}, {{10, 20}, red}, {{29, 15}, red}, {{30, 15}, green}, {{20, 14}, green}}},
        {FitMode::TopLeft, {{{19, 9}, red}, {{20, 9}, green}, {{19, 10}, green}}},
        {FitMode::Crop, {{{0, 0}, red}, {{39, 39}, red}}},
    };
    for (const auto& [mode, pixels] : cases) {
        SCOPED_TRACE(std::string(project::FitModeName(mode)));
        Find<QComboBox>(*window, "cb_Prizpusobeni")->setCurrentIndex(static_cast<int>(mode));
        const QImage preview = Preview(*window);
        EXPECT_EQ(preview.size(), QSize(40, 40));
        for (const auto& [point, colour] : pixels) {
            EXPECT_EQ(preview.pixel(point), colour) << point.x() << "," << point.y();
        }
    }
}

TEST_F(FramesTest, PlaceholdersAreSmallSixteenColourPictures)
{
    for (const char* name : {"FILENOTFOUND", "BADFORMAT", "MULTYSELECT"}) {
        QFile resource(QStringLiteral(":/kinetar/placeholders/") + QString::fromLatin1(name) + QStringLiteral(".bmp"));
        ASSERT_TRUE(resource.open(QIODevice::ReadOnly)) << name;
        const QByteArray bytes = resource.readAll();
        const auto picture = pictures::LoadPicture(
            {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())}, name);
        EXPECT_EQ(picture->Width(), 100);
        EXPECT_EQ(picture->Height(), 50);
        EXPECT_EQ(picture->BitsPerPixel(), 4);
    }
}

TEST_F(FramesTest, DroppedPicturesAreAdded)
{
    auto window = Open({});
    Answer({QMessageBox::No, QMessageBox::No});
    window->DropFiles({QPath("2.bmp"), QPath("1.bmp")});
    EXPECT_EQ(TakeAsked(), QStringList({kStartQuestion, kEndQuestion}));
    EXPECT_EQ(Lines(*window), QStringList({"1.bmp", "2.bmp"}));
}

const QString kTone = QString::fromUtf8("\u266A tone.flac");

// Each line's note, which must agree with its record's kind.
QList<bool> Sounds(ui::MainWindow& window)
{
    std::vector<project::FrameRecord> records;
    project::ReadProject(window.WorkingCopyPath(), &records);
    QList<bool> sounds;
    for (int row = 0; row < window.Frames().count(); ++row) {
        const bool line = window.Frames().model()->index(row, 0).data(ui::ThumbnailDelegate::kSoundRole).toBool();
        EXPECT_EQ(line, project::IsSoundRecord(records.at(static_cast<std::size_t>(row)))) << row;
        sounds << line;
    }
    return sounds;
}

// A sound is a line with a note and its length where a picture's size goes, the picture's fields
// off; it moves and is undone like any frame. A sound named as a TGA picture stays a picture.
TEST_F(FramesTest, ASoundIsALineWithANoteAndItsLength)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    WriteFile(File("b.bmp"), Bmp24(SolidImage(40, 30, 0x336699)));
    ASSERT_TRUE(MakeTone(File("tone.flac"), 2.5) && MakeTone(File("a.wav"), 0.5));
    std::filesystem::rename(File("a.wav"), File("a.tga"));
    auto window = Open({});
    window->Frames().AddPictureFiles({QPath("tone.flac"), QPath("b.bmp"), QPath("a.tga")});
    EXPECT_EQ(Lines(*window), QStringList({"a.tga", "b.bmp", kTone}));
    EXPECT_EQ(Sounds(*window), QList<bool>({false, false, true}));

    EXPECT_TRUE(QTest::qWaitFor([&] { return Dimension(*window) == "0:02.5"; }, 5000));
    EXPECT_EQ(Find<QLabel>(*window, "lb_RozmerySnimkuPopis")->text(), "Sound:");
    EXPECT_TRUE(TakeAsked().isEmpty());  // never read as a picture
    const auto fieldsOn = [&] {
        QList<bool> on;
        for (const char* name :
             {"ch_StretchPicture", "cb_Prizpusobeni", "ed_DobaZobrazeni", "ed_Prolinani", "cb_Pohyb"}) {
            on << Find<QWidget>(*window, name)->isEnabled();
        }
        return on;
    };
    EXPECT_EQ(fieldsOn(), QList<bool>(5, false));
    Select(*window, {1});
    EXPECT_EQ(Dimension(*window), "40 x 30");
    EXPECT_EQ(fieldsOn(), QList<bool>(5, true));

    Select(*window, {2});
    QTest::keyClick(&window->Frames(), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Lines(*window), QStringList({"a.tga", kTone, "b.bmp"}));
    EXPECT_EQ(Sounds(*window), QList<bool>({false, true, false}));
    window->Session().History().Undo();
    EXPECT_EQ(Sounds(*window), QList<bool>({false, false, true}));
    Trigger(*window, "menu_Ulozit");
    window.reset();
    auto reopened = Window({QPath("p.AVIprj")});
    EXPECT_EQ(Lines(*reopened), QStringList({"a.tga", "b.bmp", kTone}));
    EXPECT_EQ(Sounds(*reopened), QList<bool>({false, false, true}));
}

// What is transparent in a photo shows the video's background in the preview, as in the video:
// at the video's own size and fitted into a larger frame, and again when the colour changes.
TEST_F(FramesTest, ThePreviewLaysTransparencyOverTheBackground)
{
    QImage clear(8, 8, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    ASSERT_TRUE(clear.save(QPath("clear.png"), "PNG"));
    const std::tuple<const char*, std::int32_t, QColor> rows[] = {
        {"the video's size", 8, QColor(200, 0, 0)},
        {"fitted into a larger frame", 16, QColor(0, 0, 200)},
    };
    for (const auto& [name, side, colour] : rows) {
        SCOPED_TRACE(name);
        auto window = Open({File("clear.png")});
        project::ProjectHeader header = window->Session().Header();
        header.Width = side;
        header.Height = side;
        header.Background = {static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
                             static_cast<std::uint8_t>(colour.blue())};
        window->Session().WriteHeader(header);
        Select(*window, {0});
        EXPECT_EQ(Preview(*window).pixelColor(4, 4), colour);
        header.Background = {0, 150, 0};
        window->Session().WriteHeader(header);
        EXPECT_EQ(Preview(*window).pixelColor(4, 4), QColor(0, 150, 0));
    }
}

}  // namespace
}  // namespace kinetar::test
