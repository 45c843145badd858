#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "ScopedEnvironment.h"
#include "settings/FileTypes.h"
#include "support/ExternalTools.h"
#include "support/TestFiles.h"

namespace kinetar::settings {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

const std::string kXdgMime = "/usr/bin/xdg-mime";
const std::string kUpdateMime = "/usr/bin/update-mime-database";
const std::string kUpdateDesktop = "/usr/bin/update-desktop-database";
const std::string kValidate = "/usr/bin/desktop-file-validate";
const std::string kGio = "/usr/bin/gio";
const std::string kOurEntry = "org.tavrel.KinetarProject.desktop";
const std::string kOurLine = "application/x-kinetar-project=" + kOurEntry;

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Each test gets its own XDG data and config folders, which the registration reads at each call.
class FileTypesTest : public ::testing::Test {
protected:
    fs::path Entry() const { return m_dataHome / "applications" / kOurEntry; }
    fs::path MimeApps() const { return m_configHome / "mimeapps.list"; }

    // Every file of the tree by its path inside the tree, with its contents.
    std::map<std::string, std::string> Files() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(m_root.Path())) {
            if (entry.is_regular_file()) {
                files[fs::relative(entry.path(), m_root.Path()).string()] = Slurp(entry.path());
            }
        }
        return files;
    }

    // Runs a command of the desktop tools with the test's folders and no desktop session, so they
    // take the generic freedesktop road.
    static std::string Run(const std::string& command)
    {
        std::string output;
        RunCommand("env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID " +
                       command + " 2>&1",
                   &output);
        return output;
    }
    // The types a fresh QMimeDatabase gives the file names, one a line.
    static std::string MimeTypesOf(const std::string& names)
    {
        return Run(ShellQuote(KINETAR_MIME_PROBE) + " " + names);
    }
    std::string ExecLine() const
    {
        const std::string entry = Slurp(Entry());
        const auto at = entry.find("\nExec=");
        return at == std::string::npos ? std::string() : entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
    }

    test::TempDir m_root;
    const fs::path m_dataHome = m_root.Path() / "data";
    const fs::path m_configHome = m_root.Path() / "config";
    test::ScopedEnvironment m_data{"XDG_DATA_HOME", m_dataHome.string()};
    test::ScopedEnvironment m_config{"XDG_CONFIG_HOME", m_configHome.string()};
};

TEST_F(FileTypesTest, RegisteredTypeIsWhatTheDesktopToolsFind)
{
    KINETAR_SKIP_WITHOUT(kXdgMime, kUpdateMime, kUpdateDesktop, kValidate);
    RegisterProjectFileType("/usr/lib/kinetar/kinetar");

    EXPECT_EQ(Run(kXdgMime + " query default application/x-kinetar-project"), kOurEntry + "\n");
    // Any case of the extension is a project, as the program opens any path it is handed.
    EXPECT_EQ(MimeTypesOf("x.AVIprj /a/b.aviprj c.AVIPRJ d.avi"),
              "application/x-kinetar-project\napplication/x-kinetar-project\napplication/x-kinetar-project\n"
              "video/x-msvideo\n");
    EXPECT_EQ(Run(kValidate + " " + ShellQuote(Entry().string())), "");
    EXPECT_EQ(ExecLine(), "/usr/lib/kinetar/kinetar %f");
    EXPECT_NE(Slurp(m_dataHome / "applications" / "mimeinfo.cache").find("application/x-kinetar-project=" + kOurEntry),
              std::string::npos);

    // The same package and icon the installed program brings.
    EXPECT_EQ(Slurp(m_dataHome / "mime/packages/kinetar-project.xml"), Slurp(KINETAR_DATA_DIR "/kinetar-project.xml"));
    const std::string icon = Slurp(KINETAR_DATA_DIR "/icons/kinetar.svg");
    ASSERT_FALSE(icon.empty());
    EXPECT_EQ(Slurp(m_dataHome / "icons/hicolor/scalable/apps/org.tavrel.Kinetar.svg"), icon);
    EXPECT_EQ(Slurp(m_dataHome / "icons/hicolor/scalable/mimetypes/application-x-kinetar-project.svg"), icon);
}

// A real launcher reads the entry back: the program starts from its own path, with the project as
// its only argument.
TEST_F(FileTypesTest, ExecNamesTheProgramQuotedOnlyWhenItMust)
{
    KINETAR_SKIP_WITHOUT(kValidate, kGio);
    struct Row {
        const char* folder;
        const char* written;  // the folder as the entry file spells it
        bool quoted;
    };
    const Row rows[] = {
        {"plain", "plain", false},
        {"k-1.0+x,y=z@", "k-1.0+x,y=z@", false},
        {"My Programs", "My Programs", true},
        {"a$b", "a\\\\$b", true},
        {"say \"hi\"", "say \\\\\"hi\\\\\"", true},
        {"it's", "it's", true},
        {"back\\slash", "back\\\\\\\\slash", true},
        {"tab\there", "tab\\there", true},
        {"100%", "100%%", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.folder);
        const fs::path program = m_root.Path() / row.folder / "kinetar";
        const fs::path said = m_root.Path() / "said";
        fs::remove(said);
        // Renamed into place when complete, so the test never reads half of it.
        Put(program, "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > \"$0.said\" && mv \"$0.said\" " +
                         ShellQuote(said.string()) + "\n");
        fs::permissions(program, fs::perms::owner_all);
        RegisterProjectFileType(QString::fromStdString(program.string()));

        const std::string quote = row.quoted ? "\"" : "";
        EXPECT_EQ(ExecLine(), quote + m_root.Path().string() + "/" + row.written + "/kinetar" + quote + " %f");
        EXPECT_EQ(Run(kValidate + " " + ShellQuote(Entry().string())), "");
        // The launcher does not undo the doubled percent sign that the entry rules ask for.
        if (std::string(row.folder).find('%') != std::string::npos) {
            continue;
        }
        Run(kGio + " launch " + ShellQuote(Entry().string()) + " '/tmp/my films/a.AVIprj'");
        // The launcher does not wait for the program.
        for (int wait = 0; wait < 100 && !fs::exists(said); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(Slurp(said), program.string() + "\n/tmp/my films/a.AVIprj\n");
    }
}

TEST_F(FileTypesTest, RegisterTwiceWritesTheSameFilesAndAMovedProgramItsNewPath)
{
    RegisterProjectFileType("/opt/kinetar/kinetar");
    auto first = Files();
    RegisterProjectFileType("/opt/kinetar/kinetar");
    EXPECT_EQ(Files(), first);

    RegisterProjectFileType("/home/u/moved/kinetar");
    EXPECT_EQ(ExecLine(), "/home/u/moved/kinetar %f");
    // Nothing else changes: the desktop database names the entry, not the program.
    auto moved = Files();
    moved.erase(fs::relative(Entry(), m_root.Path()).string());
    first.erase(fs::relative(Entry(), m_root.Path()).string());
    EXPECT_EQ(moved, first);
}

TEST_F(FileTypesTest, MimeappsListChangesOnlyInTheTypesLine)
{
    struct Row {
        const char* name;
        std::string before;
        std::string registered;
        std::string unregistered;  // after registering; empty: no file
    };
    const std::string others =
        "[Added Associations]\n"
        "application/x-kinetar-project=other.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop\n";
    const std::string rest =
        "# application/x-kinetar-project=commented.desktop\n"
        "image/png=viewer.desktop\n"
        "\n"
        "[Removed Associations]\n"
        "video/x-msvideo=player.desktop;\n";
    const Row rows[] = {
        {"no file", "", "[Default Applications]\n" + kOurLine + "\n", ""},
        {"another program's line", others + "application/x-kinetar-project = other.desktop\n" + rest,
         others + kOurLine + "\n" + rest, others + rest},
        {"no such group", "[Added Associations]\nimage/png=v.desktop;\n",
         "[Added Associations]\nimage/png=v.desktop;\n\n[Default Applications]\n" + kOurLine + "\n",
         "[Added Associations]\nimage/png=v.desktop;\n\n[Default Applications]\n"},
        {"no final line break", "[Default Applications]\ntext/plain=e.desktop",
         "[Default Applications]\ntext/plain=e.desktop\n" + kOurLine, "[Default Applications]\ntext/plain=e.desktop"},
        // The line is replaced where it stands, and only one is left.
        {"line in a second group",
         "[Default Applications]\na/b=x.desktop\n\n[Default Applications]\n" + kOurLine + "\n" + kOurLine + "\n",
         "[Default Applications]\na/b=x.desktop\n\n[Default Applications]\n" + kOurLine + "\n",
         "[Default Applications]\na/b=x.desktop\n\n[Default Applications]\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(MimeApps());
        if (!row.before.empty()) {
            Put(MimeApps(), row.before);
        }
        RegisterProjectFileType("/usr/bin/kinetar");
        EXPECT_EQ(Slurp(MimeApps()), row.registered);
        UnregisterProjectFileType();
        EXPECT_EQ(Slurp(MimeApps()), row.unregistered);
        EXPECT_EQ(fs::exists(MimeApps()), !row.unregistered.empty());
    }
}

TEST_F(FileTypesTest, UnregisterLeavesNothingOfOurs)
{
    KINETAR_SKIP_WITHOUT(kXdgMime, kUpdateMime, kUpdateDesktop);
    Put(m_dataHome / "applications" / "viewer.desktop",
        "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=image/png;\n");
    RegisterProjectFileType("/usr/bin/kinetar");
    UnregisterProjectFileType();

    for (const auto& [path, contents] : Files()) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Lower(path).find("kinetar"), std::string::npos);
        EXPECT_EQ(Lower(contents).find("kinetar"), std::string::npos) << contents;
    }
    EXPECT_EQ(Run(kXdgMime + " query default application/x-kinetar-project"), "");
    EXPECT_EQ(MimeTypesOf("x.AVIprj"), "application/octet-stream\n");
    // Another program's entry stays known.
    EXPECT_EQ(Run(kXdgMime + " query default image/png"), "viewer.desktop\n");
}

TEST_F(FileTypesTest, UnregisterTakesAwayTheTypeWhoeverItNamesAndNothingElse)
{
    const std::map<std::string, std::string> others = {
        {"data/applications/other.desktop", "[Desktop Entry]\nType=Application\nName=O\nExec=o %f\n"},
        {"data/mime/packages/other.xml", "<mime-info/>\n"},
        {"config/mimeapps.list", "[Default Applications]\ntext/plain=e.desktop\n"},
    };
    for (const auto& [path, contents] : others) {
        Put(m_root.Path() / path, contents);
    }
    UnregisterProjectFileType();
    EXPECT_EQ(Files(), others);

    Put(MimeApps(), "[Default Applications]\napplication/x-kinetar-project=other.desktop\ntext/plain=e.desktop\n");
    UnregisterProjectFileType();
    EXPECT_EQ(Slurp(MimeApps()), "[Default Applications]\ntext/plain=e.desktop\n");
}

}  // namespace
}  // namespace kinetar::settings
