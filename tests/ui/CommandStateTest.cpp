#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <filesystem>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "session/ProjectSession.h"
#include "ui/FrameList.h"
#include "ui/Messages.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;

using Button = QMessageBox::StandardButton;

class CommandStateTest : public UiTest {
protected:
    static bool Enabled(const ui::MainWindow& window, const char* action) { return Find(window, action)->isEnabled(); }
    static QStringList Records(const std::string& project)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(project, &records);
        QStringList names;
        for (const auto& record : records) {
            names << QString::fromStdString(project::GetText(record.PictureFileName));
        }
        return names;
    }
};

// Every enabled state comes from the session's state, whichever way it was reached.
TEST_F(CommandStateTest, CommandsFollowTheProjectTheSelectionPendingEditsAndARun)
{
    struct Row {
        const char* name;
        bool open;
        std::vector<int> selected;
        bool pending;
        bool generating;
        // Expected: Save, Remove, Move up and Move down, Add, New, the list, the details, the menu bar.
        bool save, remove, move, add, newProject, list, details, menus;
    };
    const Row rows[] = {
        {"no project", false, {}, false, false, false, false, false, false, true, true, false, true},
        {"nothing selected", true, {}, false, false, true, false, false, true, true, true, false, true},
        {"one selected", true, {1}, false, false, true, true, true, true, true, true, true, true},
        {"two selected", true, {0, 2}, false, false, true, true, false, true, true, true, true, true},
        {"typing in the details", true, {1}, true, false, false, false, false, false, false, false, true, true},
        {"a run", true, {1}, false, true, false, false, false, false, false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = row.open ? Open({"/a.bmp", "/b.bmp", "/c.bmp"}) : Window();
        Select(*window, row.selected);
        if (row.pending) {
            Find<QLineEdit>(*window, "ed_PictFileName")->setText(QStringLiteral("/typed.bmp"));
        }
        window->Session().SetGenerating(row.generating);
        EXPECT_EQ(Enabled(*window, "menu_Ulozit"), row.save);
        EXPECT_EQ(Enabled(*window, "menu_Snimek_Odebrat"), row.remove);
        EXPECT_EQ(Enabled(*window, "tl_PosunNahoru"), row.move);
        EXPECT_EQ(Enabled(*window, "tl_PosunDolu"), row.move);
        EXPECT_EQ(Enabled(*window, "menu_Snimek_Pridat"), row.add);
        EXPECT_EQ(Enabled(*window, "menu_Novy"), row.newProject);
        EXPECT_EQ(window->Frames().isEnabled(), row.list);
        EXPECT_EQ(Find<QWidget>(*window, "Panel1")->isEnabled(), row.details);
        EXPECT_EQ(window->menuBar()->isEnabled(), row.menus);
        EXPECT_EQ(Find<QToolBar>(*window, "ToolBar1")->isEnabled(), row.menus);
        // After the run everything is back as the selection says.
        window->Session().SetGenerating(false);
        EXPECT_EQ(Enabled(*window, "menu_Snimek_Odebrat"), row.open && !row.pending && !row.selected.empty());
    }
}

// Saving the details of several frames leaves Move up and Move down off, and deleting the
// selection leaves the details with nothing to take input for.
TEST_F(CommandStateTest, SavingSeveralFramesAndRemovingThemLeaveTheirCommandsOff)
{
    auto window = Open({"/a.bmp", "/b.bmp", "/c.bmp"});
    Select(*window, {0, 1});
    Find<QLineEdit>(*window, "ed_DobaZobrazeni")->setText(QStringLiteral("2"));
    Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
    EXPECT_FALSE(window->Session().PendingChanges());
    EXPECT_FALSE(Enabled(*window, "tl_PosunNahoru"));
    EXPECT_FALSE(Enabled(*window, "tl_PosunDolu"));
    EXPECT_TRUE(Enabled(*window, "menu_Snimek_Odebrat"));

    Answer({QMessageBox::Yes});
    Trigger(*window, "menu_Snimek_Odebrat");
    TakeAsked();
    EXPECT_FALSE(Find<QWidget>(*window, "Panel1")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(*window, "ed_PictFileName")->isEnabled());
}

// Close, Open, New and Exit ask alike: Cancel (and so Escape) keeps the project open with its edits.
TEST_F(CommandStateTest, EachSaveQuestionCanBeCancelled)
{
    WriteProject(File("other.AVIprj"), {"/o.bmp"});
    struct Row {
        const char* name;
        std::function<void(ui::MainWindow&)> command;
    };
    const Row rows[] = {
        {"close", [](ui::MainWindow& window) { Trigger(window, "menu_Zavrit"); }},
        {"open",
         [this](ui::MainWindow& window) {
             ChooseFiles({QPath("other.AVIprj")});
             Trigger(window, "menu_Otevrit");
         }},
        {"new",
         [this](ui::MainWindow& window) {
             ChooseFiles({QPath("new.AVIprj")});
             Trigger(window, "menu_Novy");
         }},
        {"exit", [](ui::MainWindow& window) { Trigger(window, "menu_Konec"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = Open({"/a.bmp"});
        window->Session().AddFrames({"/added.bmp"});
        const std::string workingCopy = window->WorkingCopyPath();
        Answer({QMessageBox::Cancel});
        row.command(*window);
        ASSERT_EQ(m_prompter->Asked.size(), 1U);
        EXPECT_EQ(m_prompter->Asked.front().Text, ui::msg::kSaveChangesQuestion);
        EXPECT_EQ(m_prompter->Asked.front().Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        TakeAsked();
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->ProjectPath(), QPath("p.AVIprj"));
        EXPECT_TRUE(window->ProjectModified());
        EXPECT_TRUE(fs::exists(workingCopy));
        EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "added.bmp"}));
        EXPECT_FALSE(fs::exists(File("new.AVIprj")));
    }
}

// Another program's write: Enter keeps it, Overwrite replaces it, Reload drops this window's edits
// after a second question.
TEST_F(CommandStateTest, AProjectChangedOnDiskIsKeptOverwrittenOrReloaded)
{
    struct Row {
        const char* name;
        std::vector<Button> answers;
        bool overwritten, reloaded;
    };
    const Row rows[] = {
        {"cancel", {QMessageBox::Cancel}, false, false},
        {"overwrite", {QMessageBox::Yes}, true, false},
        {"reload", {QMessageBox::Retry, QMessageBox::Yes}, false, true},
        {"reload, then keep the edits", {QMessageBox::Retry, QMessageBox::No}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = Open({"/a.bmp"});
        window->Session().AddFrames({"/window.bmp"});
        project::ReplaceProjectFile(File("p.AVIprj"), project::NewProjectHeader(),
                                    {project::NewFrameRecord("/a.bmp"), project::NewFrameRecord("/cli.bmp")});
        for (const Button answer : row.answers) {
            Answer({answer});
        }
        Trigger(*window, "menu_Ulozit");
        ASSERT_EQ(m_prompter->Asked.size(), row.answers.size());
        const ui::Prompt& question = m_prompter->Asked.front();
        EXPECT_EQ(question.Buttons, QMessageBox::Yes | QMessageBox::Retry | QMessageBox::Cancel);
        EXPECT_EQ(question.Default, QMessageBox::Cancel);
        EXPECT_EQ(question.ButtonTexts.value(QMessageBox::Yes), "&Overwrite");
        EXPECT_EQ(question.ButtonTexts.value(QMessageBox::Retry), "&Reload");
        if (row.answers.size() == 2) {
            EXPECT_EQ(m_prompter->Asked.back().Default, QMessageBox::No);
        }
        TakeAsked();
        const QStringList onDisk = Records(File("p.AVIprj"));
        EXPECT_EQ(onDisk,
                  row.overwritten ? QStringList({"/a.bmp", "/window.bmp"}) : QStringList({"/a.bmp", "/cli.bmp"}));
        EXPECT_EQ(Lines(*window),
                  row.reloaded ? QStringList({"a.bmp", "cli.bmp"}) : QStringList({"a.bmp", "window.bmp"}));
        EXPECT_EQ(window->ProjectModified(), !row.overwritten && !row.reloaded);
    }
}

// Ctrl+Z and Ctrl+Shift+Z in a details field undo and redo the project, unless the field holds text
// the user typed and has not saved: then they are the field's own.
TEST_F(CommandStateTest, UndoKeysInADetailsFieldAreTheProjectsUnlessTextWasTyped)
{
    struct Row {
        const char* field;
        bool typed;
        bool moving;  // the frame has custom motion, so the views' numbers show
    };
    const Row rows[] = {{"ed_DobaZobrazeni", false, false},
                        {"ed_PictFileName", false, false},
                        {"ed_DobaZobrazeni", true, false},
                        {"ed_StartZoom", false, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.field << row.typed);
        auto window = Open({"/a.bmp"});
        if (row.moving) {
            session::DetailsEdit moving;
            moving.Frame.Motion.Kind = project::MotionKind::Custom;
            window->Session().SaveDetails({0}, moving);
        }
        window->Session().AddFrames({"/b.bmp"});
        QApplication::setActiveWindow(window.get());
        Select(*window, {0});
        auto* field = Find<QWidget>(*window, row.field);
        field->setFocus();
        const QString shown = field->property("text").toString();
        if (row.typed) {
            QTest::keyClicks(field, QStringLiteral("7"));
            ASSERT_TRUE(window->Session().PendingChanges());
        }
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        if (row.typed) {
            // The field's own undo took the typing back; the project kept its frames.
            EXPECT_EQ(field->property("text").toString(), shown);
            EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "b.bmp"}));
            continue;
        }
        EXPECT_EQ(Lines(*window), QStringList({"a.bmp"}));
        EXPECT_FALSE(window->Session().PendingChanges());
        EXPECT_TRUE(window->Frames().isEnabled());
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "b.bmp"}));
        EXPECT_FALSE(window->Session().PendingChanges());
    }
}

// The title names the project and marks unsaved changes; Save is bold exactly then.
TEST_F(CommandStateTest, TheTitleAndSaveShowTheModifiedFlag)
{
    auto window = Open({"/a.bmp"});
    EXPECT_EQ(window->windowTitle(), "p.AVIprj[*] - Kinetar - program to create AVI video's");
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_FALSE(Find(*window, "menu_Ulozit")->font().bold());
    window->Session().AddFrames({"/b.bmp"});
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(Find(*window, "menu_Ulozit")->font().bold());
    Trigger(*window, "menu_Zpet");
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_FALSE(Find(*window, "menu_Ulozit")->font().bold());
}

// Opening the settings window and closing it writes nothing and adds no step; a value the user
// changes marks the project.
TEST_F(CommandStateTest, TheSettingsWindowChangesNothingUnlessAValueChanged)
{
    for (const bool edit : {false, true}) {
        SCOPED_TRACE(edit);
        // No size and no destination: the window proposes both.
        project::ProjectHeader header = project::NewProjectHeader();
        header.Width = 0;
        header.AviFileName.fill('\0');
        project::ReplaceProjectFile(File("p.AVIprj"), header, {project::NewFrameRecord(File("missing.bmp"))});
        auto window = Window({QPath("p.AVIprj")});
        const auto before = ReadFile(window->WorkingCopyPath());
        QTimer::singleShot(0, [edit] {
            QWidget* settings = QApplication::activeModalWidget();
            if (edit) {
                FindIn<QCheckBox>(*settings, "ch_HladkeZmenseni")->click();
            }
            settings->close();
        });
        Trigger(*window, "menu_GenerovatAVI");
        EXPECT_EQ(ReadFile(window->WorkingCopyPath()), before);
        EXPECT_EQ(window->ProjectModified(), edit);
        EXPECT_EQ(window->Session().History().Count(), edit ? 1 : 0);
    }
}

// The dialog of New makes a file: its button says so, and the next use of the shared dialog is an
// ordinary one again.
TEST_F(CommandStateTest, TheNewProjectDialogCreates)
{
    auto window = Window();
    ChooseFiles({});
    Trigger(*window, "menu_Novy");
    ChooseFiles({});
    Trigger(*window, "menu_Otevrit");
    ASSERT_EQ(DialogsShown().size(), 2U);
    EXPECT_EQ(DialogsShown()[0].AcceptText, "&Create");
    EXPECT_EQ(DialogsShown()[1].AcceptText, "");
    QFileDialog dialog;
    ui::ConfigureFileDialog(dialog, DialogsShown()[0]);
    EXPECT_EQ(dialog.labelText(QFileDialog::Accept), "&Create");
}

}  // namespace
}  // namespace kinetar::test
