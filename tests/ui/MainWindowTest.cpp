#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "support/TestFiles.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;

const QString kSaveChanges = QStringLiteral("Save changes to project?");

class MainWindowTest : public UiTest {
protected:
    static QString Status(const ui::MainWindow& window) { return Find<QLabel>(window, "StatusBar_Project")->text(); }
    // Something for a Save to carry: one more frame in the working copy.
    static void EditWorkingCopy(ui::MainWindow& window)
    {
        window.Session().AddFrames({"/x.bmp"});
        ASSERT_TRUE(window.ProjectModified());
    }
};

TEST_F(MainWindowTest, CommandsStatusAndPanelFollowTheOpenProject)
{
    const char* const projectCommands[] = {"menu_Ulozit", "menu_UlozitJako", "menu_Zavrit", "menu_Snimek_Pridat",
                                           "menu_GenerovatAVI"};
    auto window = Window();
    for (const char* name : projectCommands) {
        EXPECT_FALSE(Find(*window, name)->isEnabled()) << name;
    }
    EXPECT_FALSE(Find<QMenu>(*window, "menu_m_polozka")->menuAction()->isEnabled());
    EXPECT_TRUE(Find<QWidget>(*window, "Panel1")->isHidden());
    EXPECT_EQ(Status(*window), "No project opened.");
    for (const char* name : {"menu_Novy", "menu_Otevrit", "menu_Konec", "menu_tools_ext_reg", "menu_WWWPage"}) {
        EXPECT_TRUE(Find(*window, name)->isEnabled()) << name;
    }

    ChooseFiles({QPath("a.AVIprj")});
    Trigger(*window, "menu_Novy");
    for (const char* name : projectCommands) {
        EXPECT_TRUE(Find(*window, name)->isEnabled()) << name;
    }
    EXPECT_TRUE(Find<QMenu>(*window, "menu_m_polozka")->menuAction()->isEnabled());
    EXPECT_FALSE(Find<QWidget>(*window, "Panel1")->isHidden());
    EXPECT_EQ(Status(*window), "Project: " + QPath("a.AVIprj"));
    EXPECT_EQ(fs::file_size(File("a.AVIprj")), 360U);
    EXPECT_EQ(DialogsShown().back().Title, "Creating new project...Please,select name of new project");

    Trigger(*window, "menu_Zavrit");  // unmodified: no question
    EXPECT_FALSE(Find(*window, "menu_Ulozit")->isEnabled());
    EXPECT_EQ(fs::file_size(File("a.AVIprj")), 360U);
    EXPECT_TRUE(TakeAsked().isEmpty());
}

TEST_F(MainWindowTest, NewOverTheOpenModifiedProjectAsksToOverwriteThenToSave)
{
    auto window = Window();
    ChooseFiles({QPath("p.AVIprj")});
    Trigger(*window, "menu_Novy");
    const std::string firstCopy = window->WorkingCopyPath();
    EditWorkingCopy(*window);

    ChooseFiles({QPath("p.AVIprj")});
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    Trigger(*window, "menu_Novy");
    EXPECT_EQ(TakeAsked(), QStringList({"Project file exists!\r\nOverwrite it?", kSaveChanges}));
    EXPECT_EQ(m_prompter->Asked.size(), 0U);
    EXPECT_EQ(fs::file_size(File("p.AVIprj")), 360U);
    EXPECT_FALSE(fs::exists(firstCopy));
    EXPECT_EQ(fs::file_size(window->WorkingCopyPath()), 360U);
    EXPECT_FALSE(window->ProjectModified());

    // Anything but Yes to the overwrite question leaves the open project as it is.
    EditWorkingCopy(*window);
    ChooseFiles({QPath("p.AVIprj")});
    Answer({QMessageBox::Cancel});
    Trigger(*window, "menu_Novy");
    EXPECT_EQ(TakeAsked().size(), 1);
    EXPECT_TRUE(window->ProjectModified());
}

TEST_F(MainWindowTest, OpenFillsTheListAndLeavesTheCurrentFolderAlone)
{
    fs::create_directory(File("sub"));
    const QString startedIn = QDir::currentPath();
    WriteProject(File("sub/p.AVIprj"), {"/pictures/one.bmp", "two.tga"});
    auto window = Window();
    ChooseFiles({QPath("sub/p.AVIprj")});
    Trigger(*window, "menu_Otevrit");
    EXPECT_TRUE(DialogsShown().back().FileMustExist);
    EXPECT_EQ(DialogsShown().back().Title, "Select project...");
    auto* list = Find<QListView>(*window, "Snimky");
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(list->model()->index(0, 0).data().toString(), "one.bmp");
    EXPECT_EQ(list->model()->index(1, 0).data().toString(), "two.tga");
    EXPECT_EQ(QDir::currentPath(), startedIn);
    const std::string workingCopy = window->WorkingCopyPath();
    EXPECT_EQ(ReadFile(workingCopy), ReadFile(File("sub/p.AVIprj")));

    Trigger(*window, "menu_Zavrit");
    EXPECT_FALSE(fs::exists(workingCopy));
    EXPECT_EQ(list->model()->rowCount(), 0);
}

TEST_F(MainWindowTest, SaveAs)
{
    WriteProject(File("old.AVIprj"), {"/a.bmp"});
    WriteProject(File("taken.AVIprj"));
    const auto oldBytes = ReadFile(File("old.AVIprj"));
    auto window = Window({QPath("old.AVIprj")});
    EditWorkingCopy(*window);

    // Onto an existing file, answered No: nothing changes.
    ChooseFiles({QPath("taken.AVIprj")});
    Answer({QMessageBox::No});
    Trigger(*window, "menu_UlozitJako");
    EXPECT_EQ(TakeAsked(), QStringList({"File exists.\r\nOverwrite it?"}));
    EXPECT_EQ(window->ProjectPath(), QPath("old.AVIprj"));
    EXPECT_EQ(fs::file_size(File("taken.AVIprj")), 360U);
    EXPECT_EQ(DialogsShown().back().Filters.back().first, "Všechny soubory (*.*)");

    // Onto a new name: later saves go there, the old file keeps what it had.
    ChooseFiles({QPath("new.AVIprj")});
    Trigger(*window, "menu_UlozitJako");
    EXPECT_EQ(Status(*window), "Project: " + QPath("new.AVIprj"));
    EXPECT_EQ(ReadFile(File("new.AVIprj")), ReadFile(window->WorkingCopyPath()));
    EXPECT_FALSE(window->ProjectModified());
    ASSERT_TRUE(project::WriteFrameRecord(window->WorkingCopyPath(), 1, project::NewFrameRecord("/b.bmp")));
    Trigger(*window, "menu_Ulozit");
    EXPECT_EQ(project::ProjectFrameCount(File("new.AVIprj")), 2);
    EXPECT_EQ(ReadFile(File("old.AVIprj")), oldBytes);
    // The dialog remembers the file chosen last.
    ChooseFiles({});
    Trigger(*window, "menu_UlozitJako");
    EXPECT_EQ(DialogsShown().back().FileName, QPath("new.AVIprj"));
}

TEST_F(MainWindowTest, ClosingTheWindowWithAModifiedProject)
{
    WriteProject(File("p.AVIprj"));
    auto window = Window({QPath("p.AVIprj")});
    EditWorkingCopy(*window);

    Answer({QMessageBox::Cancel});
    EXPECT_FALSE(window->close());
    EXPECT_EQ(TakeAsked(), QStringList({kSaveChanges}));
    EXPECT_TRUE(fs::exists(window->WorkingCopyPath()));
    EXPECT_EQ(window->ProjectPath(), QPath("p.AVIprj"));

    const auto edited = ReadFile(window->WorkingCopyPath());
    const std::string workingCopy = window->WorkingCopyPath();
    Answer({QMessageBox::Yes});
    EXPECT_TRUE(window->close());
    EXPECT_EQ(ReadFile(File("p.AVIprj")), edited);
    EXPECT_FALSE(fs::exists(workingCopy));
    window.reset();
    QSettings stored(QStringLiteral("Tavrel"), QStringLiteral("Kinetar"));
    EXPECT_EQ(stored.value(QStringLiteral("LastProject")).toString(), QPath("p.AVIprj"));
}

TEST_F(MainWindowTest, FailuresAreReportedAndNothingIsLost)
{
    auto window = Window();

    // A project whose folder went away cannot be saved: said so, and it stays modified.
    fs::create_directory(File("gone"));
    WriteProject(File("gone/p.AVIprj"));
    window->DropFiles({QPath("gone/p.AVIprj")});
    EditWorkingCopy(*window);
    fs::remove_all(File("gone"));
    Answer({QMessageBox::Ok});
    Trigger(*window, "menu_Ulozit");
    ASSERT_EQ(m_prompter->Asked.size(), 1U);
    EXPECT_EQ(m_prompter->Asked[0].Caption, "Error");
    EXPECT_TRUE(TakeOnlyAsked().contains(QPath("gone/p.AVIprj")));
    EXPECT_TRUE(window->ProjectModified());
    // Nor closed as if saved: the edits stay in the working copy.
    Answer({QMessageBox::Yes, QMessageBox::Ok});
    Trigger(*window, "menu_Zavrit");
    TakeAsked();
    EXPECT_TRUE(fs::exists(window->WorkingCopyPath()));
    Answer({QMessageBox::No});
    Trigger(*window, "menu_Zavrit");
    TakeAsked();

    // A folder named like a project cannot be copied into a working copy: not opened.
    fs::create_directory(File("folder.AVIprj"));
    Answer({QMessageBox::Ok});
    window->DropFiles({QPath("folder.AVIprj")});
    EXPECT_TRUE(TakeOnlyAsked().contains(QPath("folder.AVIprj")));
    EXPECT_TRUE(window->ProjectPath().isEmpty());
    EXPECT_TRUE(window->WorkingCopyPath().empty());

    // No working copy can be made: not opened.
    WriteProject(File("p.AVIprj"));
    const std::string savedTemp = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
    ::setenv("TMPDIR", File("missing-folder").c_str(), 1);
    Answer({QMessageBox::Ok});
    window->DropFiles({QPath("p.AVIprj")});
    savedTemp.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", savedTemp.c_str(), 1);
    EXPECT_TRUE(TakeOnlyAsked().contains(QPath("missing-folder")));
    EXPECT_TRUE(window->ProjectPath().isEmpty());

    // A new project in a folder that does not exist: not opened.
    ChooseFiles({QPath("no-such-folder/n.AVIprj")});
    Answer({QMessageBox::Ok});
    Trigger(*window, "menu_Novy");
    EXPECT_TRUE(TakeOnlyAsked().contains(QPath("no-such-folder/n.AVIprj")));
    EXPECT_TRUE(window->ProjectPath().isEmpty());
}

TEST_F(MainWindowTest, Drops)
{
    const QString dropError =
        QStringLiteral("You haven't opened project!\r\nYou can't use DRAG&DROP for pictures in this stage.");
    WriteProject(File("x.AVIprj"));
    WriteProject(File("y.aviprj"));
    struct Row {
        const char* name;
        QStringList files;
        QString opened;  // empty: nothing opened
    };
    const Row rows[] = {
        {"one exact-case project opens", {QPath("x.AVIprj")}, QPath("x.AVIprj")},
        {"another case is a picture", {QPath("y.aviprj")}, {}},
        {"a project among several files is a picture", {QPath("x.AVIprj"), QPath("b.bmp")}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto window = Window();
        if (row.opened.isEmpty()) {
            Answer({QMessageBox::Ok});
        }
        window->DropFiles(row.files);
        EXPECT_EQ(window->ProjectPath(), row.opened);
        EXPECT_EQ(TakeAsked(), row.opened.isEmpty() ? QStringList({dropError}) : QStringList());
    }
}

TEST_F(MainWindowTest, CommandLineProject)
{
    WriteProject(File("cli.AVIprj"));
    WriteProject(File("last.AVIprj"));
    const QString create = QStringLiteral("Project doesn't exists.\r\nDo you want to create it?");
    struct Row {
        const char* name;
        QStringList arguments;
        std::vector<QMessageBox::StandardButton> answers;
        QString opened;
    };
    const Row rows[] = {
        {"an existing project beats the last one", {QPath("cli.AVIprj")}, {}, QPath("cli.AVIprj")},
        {"a missing one answered No: the last one", {QPath("new.AVIprj")}, {QMessageBox::No}, QPath("last.AVIprj")},
        {"answered Cancel: the last one", {QPath("new.AVIprj")}, {QMessageBox::Cancel}, QPath("last.AVIprj")},
        {"two arguments: the last one", {QPath("cli.AVIprj"), QStringLiteral("/register")}, {}, QPath("last.AVIprj")},
        {"answered Yes: created", {QPath("new.AVIprj")}, {QMessageBox::Yes}, QPath("new.AVIprj")},
    };
    // The question comes before any project is shown.
    QString statusAtQuestion;
    m_prompter->OnAsk = [&](const ui::Prompt&) {
        for (const QWidget* window : QApplication::topLevelWidgets()) {
            if (const auto* status = window->findChild<QLabel*>(QStringLiteral("StatusBar_Project"))) {
                statusAtQuestion = status->text();
            }
        }
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        statusAtQuestion.clear();
        QSettings(QStringLiteral("Tavrel"), QStringLiteral("Kinetar"))
            .setValue(QStringLiteral("LastProject"), QPath("last.AVIprj"));
        for (auto answer : row.answers) {
            Answer({answer});
        }
        auto window = Window(row.arguments);
        EXPECT_EQ(window->ProjectPath(), row.opened);
        EXPECT_EQ(TakeAsked(), row.answers.empty() ? QStringList() : QStringList({create}));
        EXPECT_EQ(statusAtQuestion, row.answers.empty() ? QString() : QStringLiteral("No project opened."));
        EXPECT_FALSE(window->ProjectModified());
        EXPECT_TRUE(fs::exists(window->WorkingCopyPath()));
    }
    // The created project: 360 zero bytes, no frames.
    EXPECT_EQ(ReadFile(File("new.AVIprj")), std::vector<std::uint8_t>(360, 0));
}

TEST_F(MainWindowTest, StoredPlacementIsApplied)
{
    {
        auto firstRun = Window();
        EXPECT_EQ(firstRun->pos(), QPoint(188, 55));
        EXPECT_EQ(firstRun->size(), QSize(578, 470));
        EXPECT_EQ(Find<QWidget>(*firstRun, "PanelMain")->width(), 406);
        EXPECT_TRUE(firstRun->ProjectPath().isEmpty());
    }
    QSettings stored(QStringLiteral("Tavrel"), QStringLiteral("Kinetar"));
    stored.setValue(QStringLiteral("mx"), -20);
    stored.setValue(QStringLiteral("my"), 30);
    stored.setValue(QStringLiteral("mw"), 700);
    stored.setValue(QStringLiteral("mh"), 500);
    stored.setValue(QStringLiteral("pW"), 300);
    stored.sync();
    auto window = Window();
    EXPECT_EQ(window->pos(), QPoint(-20, 30));
    EXPECT_EQ(window->size(), QSize(700, 500));
    EXPECT_EQ(Find<QWidget>(*window, "PanelMain")->width(), 300);
}

// What a larger window gains goes to both sides, the larger part to the details and their
// preview; a smaller one gives it back.
TEST_F(MainWindowTest, AWiderWindowWidensThePanelMost)
{
    auto window = Window();
    const QWidget* list = Find<QWidget>(*window, "Snimky");
    const QWidget* panel = Find<QWidget>(*window, "PanelMain");
    const int listBefore = list->width();
    ASSERT_EQ(panel->width(), 406);
    for (const int gained : {1000, 0}) {
        SCOPED_TRACE(gained);
        window->resize(578 + gained, 470);
        QApplication::processEvents();
        const int listGained = list->width() - listBefore;
        const int panelGained = panel->width() - 406;
        EXPECT_EQ(listGained + panelGained, gained);
        EXPECT_GE(listGained, gained / 4);
        EXPECT_GE(panelGained, gained / 2);
    }
}

TEST_F(MainWindowTest, TextsOfMenusAndToolbar)
{
    auto window = Window();
    const std::pair<const char*, const char*> menuTexts[] = {
        {"menu_Novy", "&New..."},
        {"menu_Otevrit", "&Open..."},
        {"menu_Ulozit", "&Save"},
        {"menu_UlozitJako", "Save &as..."},
        {"menu_Zavrit", "&Close"},
        {"menu_Konec", "&Exit"},
        {"menu_Snimek_Pridat", "&Add pictures..."},
        {"menu_Snimek_Odebrat", "&Remove items..."},
        {"menu_GenerovatAVI", "&Generate AVI file..."},
        {"menu_tools_ext_reg", "&Register"},
        {"menu_tools_ext_unreg", "&Unregister"},
        {"menu_WWWPage", "&WWW site..."},
        {"menu_OProgramu", "&About..."},
    };
    for (const auto& [name, text] : menuTexts) {
        EXPECT_EQ(Find(*window, name)->text(), text);
    }
    const std::pair<const char*, const char*> hints[] = {
        {"tl_Projekt_Novy", "Create new project"},
        {"tl_Project_Open", "Open existing project"},
        {"tl_Project_Save", "Save project"},
        {"tl_Project_SaveAs", "Save project as.."},
        {"tl_Project_Close", "Close current project"},
        {"tl_PosunNahoru", "Move up(ALT+ UP arrow)"},
        {"tl_PosunDolu", "Move down(ALT+ DOWN arrow)"},
        {"tl_Polozka_Add", "Add pictures..."},
        {"tl_Polozka_Remove", "Remove selected items"},
        {"tl_Nastroje_GenerateAVI", "Generate AVI..."},
    };
    for (const auto& [name, hint] : hints) {
        auto* button = Find<QToolButton>(*window, name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->toolTip(), hint);
        EXPECT_FALSE(button->icon().isNull()) << name;
    }
    // The Save item is the Project menu's default while there are unsaved changes.
    ChooseFiles({QPath("a.AVIprj")});
    Trigger(*window, "menu_Novy");
    EditWorkingCopy(*window);
    emit Find<QMenu>(*window, "menu_m_projekt")->aboutToShow();
    EXPECT_TRUE(Find(*window, "menu_Ulozit")->font().bold());
}

TEST_F(MainWindowTest, FileTypeMenuSaysWhatItDid)
{
    auto window = Window();
    Answer({QMessageBox::Ok, QMessageBox::Ok});
    Trigger(*window, "menu_tools_ext_unreg");  // nothing registered yet: the message all the same
    Trigger(*window, "menu_tools_ext_reg");
    EXPECT_EQ(m_prompter->Asked[0].Caption, "Information");
    EXPECT_EQ(m_prompter->Asked[0].Icon, QMessageBox::Information);
    EXPECT_EQ(TakeAsked(), QStringList({"Extension .AVIprj was succesfully unregistered.",
                                        "Extension .AVIprj was succesfully registered."}));
    EXPECT_TRUE(fs::exists(std::string(std::getenv("XDG_CONFIG_HOME")) + "/mimeapps.list"));
}

TEST_F(MainWindowTest, TheWebSiteItemOpensTheManual)
{
    TestApplication browser(m_dir, {"text/html"});
    auto window = Window();
    Trigger(*window, "menu_WWWPage");
    // Installed or not, the page is there to open.
    const QString opened = QString::fromStdString(browser.TakeOpened());
    EXPECT_TRUE(QFileInfo::exists(opened)) << opened.toStdString();
    EXPECT_TRUE(opened.endsWith("/manual.html"));

    browser.EndWith(4);
    Answer({QMessageBox::Ok});
    Trigger(*window, "menu_WWWPage");
    EXPECT_EQ(TakeOnlyAsked(), "WWW page couldn't be runed , probably you haven't \r\ninstaled any WWW browser.");
}

TEST_F(MainWindowTest, KeyboardReachesTheMenus)
{
    auto window = Window();
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_P, Qt::AltModifier);
    auto* projectMenu = Find<QMenu>(*window, "menu_m_projekt");
    EXPECT_TRUE(projectMenu->isVisible());
    ChooseFiles({});  // N: New, whose dialog the test cancels
    QTest::keyClick(projectMenu, Qt::Key_N);
    EXPECT_FALSE(projectMenu->isVisible());
    EXPECT_EQ(DialogsShown().size(), 1U);
}

}  // namespace
}  // namespace kinetar::test
