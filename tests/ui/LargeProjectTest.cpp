#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "session/RecordCache.h"
#include "ui/FrameList.h"

namespace kinetar::test {
namespace {

// A project of `count` records, nearly all of them zeros the file system does not store, with a
// picture named at each of `named` and `tail` bytes after the last whole record.
class LargeProjectTest : public UiTest {
protected:
    std::unique_ptr<ui::MainWindow> OpenLarge(std::int32_t count, const std::vector<std::int32_t>& named, int tail = 0)
    {
        const std::string path = File("large.AVIprj");
        WriteProject(path);
        std::filesystem::resize_file(path, static_cast<std::uintmax_t>(project::FrameRecordOffset(count) + tail));
        for (const std::int32_t row : named) {
            project::WriteFrameRecord(path, row, project::NewFrameRecord("/p/" + std::to_string(row) + ".bmp"));
        }
        // Trailing bytes make it look like no project, which the window says once and opens it all the same.
        if (tail != 0) {
            Answer({QMessageBox::Ok});
        }
        auto window = Window({QString::fromStdString(path)});
        EXPECT_EQ(TakeAsked().size(), tail != 0 ? 1 : 0);
        return window;
    }
    static QString Line(ui::MainWindow& window, int row)
    {
        return window.Frames().model()->index(row, 0).data().toString();
    }
};

// The lines are counted from the file's size and read only as they are shown: scrolled from end to
// end, the list holds a few pages of records, not the file.
TEST_F(LargeProjectTest, LinesAreReadAsShown)
{
    constexpr std::int32_t kCount = 300'000;
    auto window = OpenLarge(kCount, {0, kCount / 2, kCount - 1}, 100);
    ui::FrameList& list = window->Frames();
    EXPECT_EQ(list.count(), kCount);
    for (const int row : {kCount - 1, kCount / 2, 0}) {
        list.scrollTo(list.model()->index(row, 0));
        QApplication::processEvents();
        EXPECT_EQ(Line(*window, row), QStringLiteral("%1.bmp").arg(row));
    }
    EXPECT_EQ(Line(*window, 1), "");
    EXPECT_LE(window->Session().RecordsHeld(), session::RecordCache::kPages * session::RecordCache::kPageRecords);
}

// Undone and redone on a project read line by line, each edit gives back the working copy byte for
// byte and the lines, also where the edit shifts more records than it rewrites in place, where
// bytes trail the last record, and where a renamed line keeps the text it was made with.
TEST_F(LargeProjectTest, UndoAndRedoOfShiftingEdits)
{
    constexpr std::int32_t kCount = 10'000;
    struct Row {
        const char* name;
        std::vector<int> selected;
        std::function<void(ui::MainWindow&)> edit;
        std::vector<std::pair<int, QString>> linesAfter;
    };
    const auto remove = [this](ui::MainWindow& window) {
        Answer({QMessageBox::Yes});
        Trigger(window, "menu_Snimek_Odebrat");
        TakeAsked();
    };
    const Row rows[] = {
        {"add",
         {},
         [this](ui::MainWindow& window) { window.Frames().AddPictureFiles({QPath("x.bmp")}); },
         {{kCount - 1, "9999.bmp"}, {kCount, "x.bmp"}}},
        {"remove first and last", {0, kCount - 1}, remove, {{0, ""}, {kCount / 2 - 1, "5000.bmp"}}},
        {"move the last to the front",
         {kCount - 1},
         [](ui::MainWindow& window) { window.Frames().MoveSelectedTo(0); },
         {{0, "9999.bmp"}, {1, "0.bmp"}, {kCount / 2 + 1, "5000.bmp"}}},
        {"move down by a key",
         {kCount / 2},
         [](ui::MainWindow& window) { QTest::keyClick(&window.Frames(), Qt::Key_Down, Qt::AltModifier); },
         {{kCount / 2, ""}, {kCount / 2 + 1, "5000.bmp"}}},
        {"details of two far lines",
         {1, kCount - 2},
         [](ui::MainWindow& window) {
             Find<QLineEdit>(window, "ed_DobaZobrazeni")->setText(QStringLiteral("2"));
             Find<QPushButton>(window, "bt_UlozitZmeny")->click();
         },
         {{1, ""}, {kCount - 2, ""}}},
        {"renamed, then moved",
         {0},
         [](ui::MainWindow& window) {
             Find<QLineEdit>(window, "ed_PictFileName")->setText(QStringLiteral("/renamed.bmp"));
             Find<QPushButton>(window, "bt_UlozitZmeny")->click();
             window.Frames().MoveSelectedTo(kCount);
             window.Session().History().Undo();
             window.Session().History().Redo();
             window.Frames().MoveSelectedTo(kCount / 2);
         },
         {{0, ""}, {kCount / 2 - 1, "5000.bmp"}, {kCount / 2, "0.bmp"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = OpenLarge(kCount, {0, kCount / 2, kCount - 1}, 100);
        Select(*window, row.selected);
        const auto bytesBefore = ReadFile(window->WorkingCopyPath());
        const QStringList linesBefore = Lines(*window);
        row.edit(*window);
        const auto bytesAfter = ReadFile(window->WorkingCopyPath());
        const QStringList linesAfter = Lines(*window);
        for (const auto& [line, text] : row.linesAfter) {
            EXPECT_EQ(Line(*window, line), text) << line;
        }
        while (window->Session().History().CanUndo()) {
            Trigger(*window, "menu_Zpet");
        }
        EXPECT_EQ(ReadFile(window->WorkingCopyPath()), bytesBefore);
        EXPECT_EQ(Lines(*window), linesBefore);
        while (window->Session().History().CanRedo()) {
            Trigger(*window, "menu_Znovu");
        }
        EXPECT_EQ(ReadFile(window->WorkingCopyPath()), bytesAfter);
        EXPECT_EQ(Lines(*window), linesAfter);
    }
}

}  // namespace
}  // namespace kinetar::test
