#include <sys/stat.h>
#include <unistd.h>

#include <QUrl>
#include <filesystem>
#include <optional>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "support/ProcessTools.h"
#include "ui/SessionNote.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;

// Every window of this test program keeps its notes in a folder of its own, so no test meets a note
// another run left behind, and none lands in the user's state folder.
const struct OwnStateFolder {
    TempDir Folder;
    OwnStateFolder() { ::setenv("XDG_STATE_HOME", Folder.Path().c_str(), 1); }
} kOwnStateFolder;

class RecoveryTest : public UiTest {
protected:
    RecoveryTest() { fs::create_directories(File("tmp")); }

    // The records of a project file by picture name.
    static QStringList Pictures(const std::string& path)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(path, &records);
        QStringList names;
        for (const auto& record : records) {
            names << QString::fromStdString(project::GetText(record.PictureFileName));
        }
        return names;
    }
    static bool NoteThere(long pid) { return fs::exists(ui::SessionNotePath(pid)); }

    ScopedVariable m_temporaryFolder{"TMPDIR", File("tmp")};
    ScopedVariable m_stateFolder{"XDG_STATE_HOME", File("state")};
};

// What a start does with what windows that ended without closing left: a note and a working copy,
// or a working copy alone.
TEST_F(RecoveryTest, AStartOffersOnlyTheChangesOfGoneWindows)
{
    enum class Copy { Changed, Unchanged, Missing };
    struct Row {
        const char* name;
        bool gone;  // else a running process's
        bool noted;
        Copy copy;
        std::optional<QMessageBox::StandardButton> answer;  // none: no question
        bool copyKept, noteKept, recovered;
    };
    const Row rows[] = {
        {"recovered", true, true, Copy::Changed, QMessageBox::Yes, false, false, true},
        {"discarded", true, true, Copy::Changed, QMessageBox::No, false, false, false},
        {"asked again later", true, true, Copy::Changed, QMessageBox::Cancel, true, true, false},
        {"nothing unsaved", true, true, Copy::Unchanged, {}, false, false, false},
        {"working copy gone", true, true, Copy::Missing, {}, false, false, false},
        {"no note", true, false, Copy::Changed, {}, false, false, false},
        {"another window still open", false, true, Copy::Changed, {}, true, true, false},
        {"another window's copy without a note", false, false, Copy::Changed, {}, true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteProject(File("p.AVIprj"), {"/a.bmp", "/b.bmp"});
        const auto projectBytes = ReadFile(File("p.AVIprj"));
        const long pid = row.gone ? GonePid() : static_cast<long>(::getppid());
        const std::string copy = File("tmp/AVI" + std::to_string(pid) + ".k3Jx9q");
        if (row.copy != Copy::Missing) {
            WriteProject(copy, row.copy == Copy::Changed ? std::vector<std::string>{"/a.bmp", "/b.bmp", "/c.bmp"}
                                                         : std::vector<std::string>{"/a.bmp", "/b.bmp"});
        }
        if (row.noted) {
            ASSERT_TRUE(ui::WriteSessionNote({pid, File("p.AVIprj"), copy}));
        }
        // A name without a process id, as older versions made them: nobody can tell whose it is.
        WriteFile(File("tmp/AVIk3Jx9q"), {});
        if (row.answer) {
            Answer({*row.answer});
        }

        auto window = Window();
        if (row.answer) {
            EXPECT_EQ(m_prompter->Asked.at(0).Caption, "Question");
            EXPECT_EQ(TakeOnlyAsked(), "The project " + QPath("p.AVIprj") +
                                           " was still open when the program ended, and its unsaved changes were "
                                           "kept.\r\nDo you want to recover them?\r\nYes opens the project with "
                                           "them, No discards them, Cancel asks again at the next start.");
        }
        EXPECT_EQ(fs::exists(copy), row.copyKept);
        EXPECT_EQ(NoteThere(pid), row.noteKept);
        EXPECT_TRUE(fs::exists(File("tmp/AVIk3Jx9q")));
        EXPECT_EQ(ReadFile(File("p.AVIprj")), projectBytes);
        EXPECT_EQ(window->Session().IsOpen(), row.recovered);
        if (row.recovered) {
            EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "b.bmp", "c.bmp"}));
            EXPECT_TRUE(window->ProjectModified());
            // Taken over into a working copy of this process's, which its own note names.
            const std::string own = window->WorkingCopyPath();
            EXPECT_EQ(fs::path(own).filename().string().rfind("AVI" + std::to_string(::getpid()) + ".", 0), 0U);
            const auto notes = ui::ReadSessionNotes();
            ASSERT_EQ(notes.size(), 1U);
            EXPECT_EQ(notes[0].WorkingCopy, own);
            EXPECT_EQ(notes[0].Project, File("p.AVIprj"));
            window->Session().Close();
            EXPECT_FALSE(NoteThere(::getpid()));
        }
        window.reset();
        fs::remove_all(File("tmp"));
        fs::remove_all(File("state"));
        fs::create_directories(File("tmp"));
    }
}

// `kinetar-cli add` put a frame into the project while the window had it open with its own edit.
TEST_F(RecoveryTest, SaveAsksBeforeOverwritingAnotherProgramsChanges)
{
    const std::pair<QMessageBox::StandardButton, QStringList> rows[] = {
        {QMessageBox::No, {"/a.bmp", "/cli.bmp"}},
        {QMessageBox::Yes, {"/a.bmp", "/window.bmp"}},
    };
    for (const auto& [answer, saved] : rows) {
        SCOPED_TRACE(answer);
        auto window = Open({"/a.bmp"});
        window->Session().AddFrames({"/window.bmp"});
        project::ReplaceProjectFile(File("p.AVIprj"), project::NewProjectHeader(),
                                    {project::NewFrameRecord("/a.bmp"), project::NewFrameRecord("/cli.bmp")});
        Answer({answer});
        Trigger(*window, "menu_Ulozit");
        EXPECT_EQ(TakeOnlyAsked(), "The project file " + QPath("p.AVIprj") +
                                       " was changed by another program since it was opened or saved here.\r\n"
                                       "Do you want to overwrite it, losing those changes?");
        EXPECT_EQ(Pictures(File("p.AVIprj")), saved);
        EXPECT_EQ(window->ProjectModified(), answer != QMessageBox::Yes);
        if (answer == QMessageBox::Yes) {
            // What this window wrote is no other program's change.
            window->Session().AddFrames({"/more.bmp"});
            Trigger(*window, "menu_Ulozit");
            EXPECT_EQ(Pictures(File("p.AVIprj")).size(), 3);
        }
    }
}

// Opening never waits on a FIFO; any regular file opens, with a word when it does not look like a
// project; Save never replaces what is no regular file.
TEST_F(RecoveryTest, WhatIsNoProjectIsAnsweredAtOnce)
{
    const QString fifo = QPath("fifo.AVIprj");
    const QString refusedOpen = "The project was not opened.\r\n" + fifo + " is not a regular file";
    struct Row {
        const char* name;
        std::function<std::unique_ptr<ui::MainWindow>()> run;
        QStringList asked;
        bool open;
    };
    const Row rows[] = {
        {"command line", [&] { return Window({fifo}); }, {refusedOpen}, false},
        {"open",
         [&] {
             auto window = Window();
             ChooseFiles({fifo});
             Trigger(*window, "menu_Otevrit");
             return window;
         },
         {refusedOpen},
         false},
        {"save as",
         [&] {
             auto window = Open({"/a.bmp"});
             ChooseFiles({fifo});
             Trigger(*window, "menu_UlozitJako");
             return window;
         },
         {"File exists.\r\nOverwrite it?", "The project was not saved.\r\n" + fifo + " is not a regular file"},
         true},
        {"not a project's size",
         [&] {
             WriteFile(File("odd.AVIprj"), std::vector<std::uint8_t>(361));
             return Window({QPath("odd.AVIprj")});
         },
         {QPath("odd.AVIprj") + " does not look like a project: its size is not 360 + 292 \u00d7 N bytes"},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WatchedFifo watched(File("fifo.AVIprj"));
        m_prompter->Answers.assign(static_cast<std::size_t>(row.asked.size()), QMessageBox::Yes);
        const auto window = row.run();
        EXPECT_FALSE(watched.ReaderWasStuck());
        EXPECT_EQ(TakeAsked(), row.asked);
        EXPECT_EQ(window->Session().IsOpen(), row.open);
        EXPECT_TRUE(fs::is_fifo(File("fifo.AVIprj")));
        fs::remove(File("fifo.AVIprj"));
    }
}

TEST_F(RecoveryTest, TheWebSiteOfABuildThatIsNotInstalledIsTheManualInTheSources)
{
    EXPECT_EQ(ui::WebSiteAddress(),
              QUrl::fromLocalFile(QStringLiteral(KINETAR_SOURCE_DIR "/docs/manual.html")).toString());
}

}  // namespace
}  // namespace kinetar::test
