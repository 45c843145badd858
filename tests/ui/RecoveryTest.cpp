#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <tuple>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "session/Recovery.h"
#include "support/ProcessTools.h"
#include "ui/Messages.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;

class RecoveryTest : public UiTest {
protected:
    static bool NoteThere(long pid) { return fs::exists(session::SessionNotePath(pid)); }
    // Where working copies are made: the test program's own temporary folder (see main).
    static std::string Temporary(const std::string& name) { return (fs::path(std::getenv("TMPDIR")) / name).string(); }
};

// What a start does with what windows that ended without closing left: a note and a working copy,
// or a working copy alone.
TEST_F(RecoveryTest, AStartOffersOnlyTheChangesOfGoneWindows)
{
    enum class Copy { Changed, Unchanged, Missing };
    struct Row {
        const char* name;
        bool gone, noted;  // a gone or a running process's; with a note
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
        const std::string copy = Temporary("AVI" + std::to_string(pid) + ".k3Jx9q");
        if (row.copy == Copy::Changed) {
            WriteProject(copy, {"/a.bmp", "/b.bmp", "/c.bmp"});
        } else if (row.copy == Copy::Unchanged) {
            fs::copy_file(File("p.AVIprj"), copy);
        }
        if (row.noted) {
            ASSERT_TRUE(session::WriteSessionNote({pid, File("p.AVIprj"), copy}));
        }
        // A name without a process id, as older versions made them: nobody can tell whose it is.
        WriteFile(Temporary("AVIk3Jx9q"), {});
        if (row.answer) {
            Answer({*row.answer});
        }
        auto window = Window();
        if (row.answer) {
            EXPECT_EQ(m_prompter->Asked.at(0).Caption, "Question");
            EXPECT_EQ(TakeOnlyAsked(), ui::msg::kRecoverChanges.arg(QPath("p.AVIprj")));
        }
        EXPECT_EQ(fs::exists(copy), row.copyKept);
        EXPECT_EQ(NoteThere(pid), row.noteKept);
        EXPECT_TRUE(fs::exists(Temporary("AVIk3Jx9q")));
        EXPECT_EQ(window->Session().IsOpen(), row.recovered);
        if (row.recovered) {
            EXPECT_EQ(ReadFile(File("p.AVIprj")), projectBytes);
            EXPECT_EQ(Lines(*window), QStringList({"a.bmp", "b.bmp", "c.bmp"}));
            EXPECT_TRUE(window->ProjectModified());
            // Taken over into a working copy named for this process, with a note of its own.
            EXPECT_EQ(session::WorkingCopyOwner(window->WorkingCopyPath()), ::getpid());
            EXPECT_TRUE(NoteThere(::getpid()));
            window->Session().Close();
            EXPECT_FALSE(NoteThere(::getpid()));
        }
        fs::remove(copy);
        session::RemoveSessionNote(pid);
    }
}

// `kinetar-cli add` put a frame into the project while the window had it open with its own edit.
TEST_F(RecoveryTest, SaveAsksBeforeOverwritingAnotherProgramsChanges)
{
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        SCOPED_TRACE(answer);
        auto window = Open({"/a.bmp"});
        window->Session().AddFrames({"/window.bmp"});
        project::ReplaceProjectFile(File("p.AVIprj"), project::NewProjectHeader(),
                                    {project::NewFrameRecord("/a.bmp"), project::NewFrameRecord("/cli.bmp")});
        const auto added = ReadFile(File("p.AVIprj"));
        Answer({answer});
        Trigger(*window, "menu_Ulozit");
        EXPECT_EQ(TakeOnlyAsked(), ui::msg::kChangedOnDisk.arg(QPath("p.AVIprj")));
        const bool overwritten = answer == QMessageBox::Yes;
        EXPECT_EQ(ReadFile(File("p.AVIprj")), overwritten ? ReadFile(window->WorkingCopyPath()) : added);
        EXPECT_EQ(window->ProjectModified(), !overwritten);
        if (overwritten) {
            // What this window wrote is no other program's change.
            window->Session().AddFrames({"/more.bmp"});
            Trigger(*window, "menu_Ulozit");
            EXPECT_EQ(ReadFile(File("p.AVIprj")), ReadFile(window->WorkingCopyPath()));
        }
    }
}

// A FIFO named as the project is refused at once, without waiting for a writer; any regular file
// opens, with a word when it does not look like a project.
TEST_F(RecoveryTest, WhatIsNoProjectIsAnsweredAtOnce)
{
    ASSERT_EQ(::mkfifo(File("fifo.AVIprj").c_str(), 0600), 0);
    ReleaseFifoReaderLater(File("fifo.AVIprj"));
    WriteFile(File("odd.AVIprj"), std::vector<std::uint8_t>(361));
    const std::tuple<const char*, QString, bool> rows[] = {
        {"fifo.AVIprj", "The project was not opened.\r\n" + QPath("fifo.AVIprj") + " is not a regular file", false},
        {"odd.AVIprj", QPath("odd.AVIprj") + " does not look like a project: its size is not 360 + 292 \u00d7 N bytes",
         true},
    };
    for (const auto& [name, message, opened] : rows) {
        SCOPED_TRACE(name);
        Answer({QMessageBox::Ok});
        QElapsedTimer clock;
        clock.start();
        const auto window = Window({QPath(name)});
        EXPECT_LT(clock.elapsed(), 5000);
        EXPECT_EQ(TakeOnlyAsked(), message);
        EXPECT_EQ(window->Session().IsOpen(), opened);
    }
}

}  // namespace
}  // namespace kinetar::test
