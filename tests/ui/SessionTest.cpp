#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "UiTest.h"
#include "project/Slideshow.h"
#include "session/SoundLength.h"
#include "ui/FrameList.h"

namespace kinetar::test {
namespace {

using Rows = std::vector<int>;

class SessionTest : public UiTest {
protected:
    static QList<int> Selected(ui::MainWindow& window) { return window.Frames().SelectedRows(); }
    static void Press(ui::MainWindow& window, int line, Qt::Key key)
    {
        Select(window, {line});
        QTest::keyClick(&window.Frames(), key, Qt::AltModifier);
    }
};

// Every kind of edit is one step: undone, the working copy is byte for byte what it was and the list,
// the selection and the modified flag are back; redone, all is as after the edit.
TEST_F(SessionTest, UndoAndRedoPutEverythingBack)
{
    struct Row {
        const char* name;
        Rows selected;
        std::function<void(ui::MainWindow&)> edit;
    };
    const Row rows[] = {
        {"add pictures",
         {1},
         [this](ui::MainWindow& window) {
             window.Frames().AddPictureFiles({QPath("x.bmp"), QPath("y.bmp")});
         }},
        {"remove",
         {0, 2},
         [this](ui::MainWindow& window) {
             Answer({QMessageBox::Yes});
             Trigger(window, "menu_Snimek_Odebrat");
             TakeAsked();
         }},
        {"move", {2}, [](ui::MainWindow& window) { Trigger(window, "tl_PosunNahoru"); }},
        {"drag", {0, 3}, [](ui::MainWindow& window) { window.Frames().MoveSelectedTo(2); }},
        {"details saved",
         {1, 2},
         [](ui::MainWindow& window) {
             Find<QLineEdit>(window, "ed_PictFileName")->setText(QStringLiteral("/renamed.bmp"));
             Find<QPushButton>(window, "bt_UlozitZmeny")->click();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = Open({"/a.bmp", "/b.bmp", "/c.bmp", "/d.bmp"});
        Select(*window, row.selected);
        const auto bytesBefore = ReadFile(window->WorkingCopyPath());
        const QStringList linesBefore = Lines(*window);
        const QList<int> selectedBefore = Selected(*window);
        row.edit(*window);
        const auto bytesAfter = ReadFile(window->WorkingCopyPath());
        const QStringList linesAfter = Lines(*window);
        const QList<int> selectedAfter = Selected(*window);
        EXPECT_NE(bytesAfter, bytesBefore);
        EXPECT_TRUE(window->ProjectModified());
        EXPECT_EQ(window->Session().History().Count(), 1);

        Trigger(*window, "menu_Zpet");
        EXPECT_EQ(ReadFile(window->WorkingCopyPath()), bytesBefore);
        EXPECT_EQ(Lines(*window), linesBefore);
        EXPECT_EQ(Records(*window), linesBefore);
        EXPECT_EQ(Selected(*window), selectedBefore);
        EXPECT_FALSE(window->ProjectModified());
        EXPECT_FALSE(Find(*window, "menu_Zpet")->isEnabled());

        Trigger(*window, "menu_Znovu");
        EXPECT_EQ(ReadFile(window->WorkingCopyPath()), bytesAfter);
        EXPECT_EQ(Lines(*window), linesAfter);
        EXPECT_EQ(Selected(*window), selectedAfter);
        EXPECT_TRUE(window->ProjectModified());
    }
}

TEST_F(SessionTest, SavingKeepsTheHistoryOpeningAndClosingClearIt)
{
    auto window = Open({"/a.bmp"});
    const auto saved = ReadFile(File("p.AVIprj"));
    window->Frames().AddPictureFiles({QPath("b.bmp")});
    Trigger(*window, "menu_Ulozit");
    const auto afterSave = ReadFile(File("p.AVIprj"));
    EXPECT_FALSE(window->ProjectModified());
    EXPECT_TRUE(Find(*window, "menu_Zpet")->isEnabled());

    // Undone past the save: modified, and the working copy is what the file held before.
    Trigger(*window, "menu_Zpet");
    EXPECT_TRUE(window->ProjectModified());
    EXPECT_EQ(ReadFile(window->WorkingCopyPath()), saved);
    Trigger(*window, "menu_Znovu");
    EXPECT_FALSE(window->ProjectModified());
    EXPECT_EQ(ReadFile(window->WorkingCopyPath()), afterSave);

    // Pending details edits lock the history too.
    Select(*window, {0});
    QTest::keyClicks(Find<QLineEdit>(*window, "ed_PictFileName"), "x");
    EXPECT_FALSE(Find(*window, "menu_Zpet")->isEnabled());
    Find<QPushButton>(*window, "bt_ZrusitZmeny")->click();
    EXPECT_TRUE(Find(*window, "menu_Zpet")->isEnabled());

    Trigger(*window, "menu_Zavrit");
    EXPECT_FALSE(Find(*window, "menu_Zpet")->isEnabled());
    EXPECT_EQ(window->Session().History().Count(), 0);
}

// Dragged lines land as one block in front of the line they are dropped on, exactly as the same
// order made by Alt+Up and Alt+Down, and are one step.
TEST_F(SessionTest, DraggingEqualsTheMoves)
{
    struct Row {
        Rows dragged;
        int destination;
        QStringList order;
        std::vector<std::pair<int, Qt::Key>> presses;  // the same by the keys
    };
    const Row rows[] = {
        {{0},
         5,
         {"b", "c", "d", "e", "a"},
         {{0, Qt::Key_Down}, {1, Qt::Key_Down}, {2, Qt::Key_Down}, {3, Qt::Key_Down}}},
        {{3}, 1, {"a", "d", "b", "c", "e"}, {{3, Qt::Key_Up}, {2, Qt::Key_Up}}},
        {{1, 2}, 0, {"b", "c", "a", "d", "e"}, {{1, Qt::Key_Up}, {2, Qt::Key_Up}}},
        {{0, 2, 4}, 2, {"b", "a", "c", "e", "d"}, {{0, Qt::Key_Down}, {4, Qt::Key_Up}}},
        {{1}, 2, {"a", "b", "c", "d", "e"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.order.join(' ').toStdString());
        auto keys = Open({"/a", "/b", "/c", "/d", "/e"});
        for (const auto& [line, key] : row.presses) {
            Press(*keys, line, key);
        }
        const auto byKeys = ReadFile(keys->WorkingCopyPath());
        auto dragged = Open({"/a", "/b", "/c", "/d", "/e"});
        const auto original = ReadFile(dragged->WorkingCopyPath());
        Select(*dragged, row.dragged);
        dragged->Frames().MoveSelectedTo(row.destination);
        EXPECT_EQ(Lines(*dragged), row.order);
        EXPECT_EQ(ReadFile(dragged->WorkingCopyPath()), byKeys);
        EXPECT_EQ(dragged->ProjectModified(), !row.presses.empty());
        if (!row.presses.empty()) {
            QList<int> selected;
            for (const int line : row.dragged) {
                selected << static_cast<int>(row.order.indexOf(QStringLiteral("abcde").mid(line, 1)));
            }
            std::sort(selected.begin(), selected.end());
            EXPECT_EQ(Selected(*dragged), selected);
            Trigger(*dragged, "menu_Zpet");
            EXPECT_EQ(ReadFile(dragged->WorkingCopyPath()), original);
        }
    }
    // Where a drop lands: the upper half of a line goes in front of it, the lower half after it.
    auto window = Open({"/a", "/b", "/c"});
    ui::FrameList& list = window->Frames();
    const QRect second = list.visualRect(list.model()->index(1, 0));
    EXPECT_EQ(list.DropDestination(second.center() - QPoint(0, second.height() / 4)), 1);
    EXPECT_EQ(list.DropDestination(second.center() + QPoint(0, second.height() / 4)), 2);
    EXPECT_EQ(list.DropDestination({5, list.viewport()->height() - 2}), 3);
}

}  // namespace
}  // namespace kinetar::test

namespace kinetar::test {
namespace {

// The music's part of the length lines: its length, and where it stops when pictures go on after it,
// the sounds placed one after another from their cues.
TEST(MusicLengthText, SaysTheMusicsLengthAndWhereItStops)
{
    const auto picture = [](std::uint32_t milliseconds) {
        project::FrameRecord record = project::NewFrameRecord("/a.bmp");
        record.Duration = milliseconds;
        return record;
    };
    const project::FrameRecord sound = project::NewSoundRecord("/song.wav");
    const project::FrameRate rate{25, 1};
    struct Row {
        const char* name;
        std::vector<project::FrameRecord> records;
        QList<qint64> lengths;
        QString text;
    };
    const Row rows[] = {
        {"longer than the pictures", {sound, picture(3000)}, {5000}, QStringLiteral("music 0:05.0")},
        {"shorter", {sound, picture(8000)}, {5000}, QStringLiteral("music 0:05.0; silent from 0:05.0")},
        {"two in turn",
         {sound, sound, picture(8000)},
         {3000, 2500},
         QStringLiteral("music 0:05.5; silent from 0:05.5")},
        {"cued at the second picture",
         {picture(2000), sound, picture(6000)},
         {3000},
         QStringLiteral("music 0:03.0; silent from 0:05.0")},
        {"after the last picture: never heard",
         {picture(2000), sound},
         {3000},
         QStringLiteral("music 0:03.0; silent from 0:00.0")},
        {"unreadable", {sound, picture(2000)}, {-1}, QStringLiteral("music 0:00.0; silent from 0:00.0")},
        {"not measured yet", {sound, picture(2000)}, {}, QStringLiteral("music \u2026")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(session::MusicLengthText(row.records, rate, row.lengths, QStringLiteral("; ")), row.text);
    }
}

}  // namespace
}  // namespace kinetar::test
