#include "UiTest.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "project/ProjectFile.h"
#include "support/ui/ChooserAnswer.h"
#include "ui/FrameList.h"

namespace kinetar::test {

TestApplication::TestApplication(const TempDir& home, std::initializer_list<const char*> mimeTypes) : m_home(home)
{
    std::filesystem::create_directories(home.File("data/applications"));
    std::ofstream(home.File("test-application"))
        << "#!/bin/sh\necho \"$1\" > '" << home.File("opened") << "'\nexit $(cat '" << home.File("status") << "')\n";
    std::filesystem::permissions(home.File("test-application"), std::filesystem::perms::owner_all);
    EndWith(0);
    std::ofstream(home.File("data/applications/test-application.desktop"))
        << "[Desktop Entry]\nType=Application\nName=Test application\nExec=" << home.File("test-application")
        << " %f\n";
    std::ofstream list(home.File("mimeapps.list"));
    list << "[Default Applications]\n";
    for (const char* type : mimeTypes) {
        list << type << "=test-application.desktop\n";
    }
    // The data folder is the test's already; xdg-open looks for associations only where it believes
    // there is a display, and a desktop named in the environment would send it to that desktop's
    // own launcher.
    const std::pair<const char*, std::string> environment[] = {
        {"XDG_CONFIG_HOME", home.Path().string()},
        {"DISPLAY", std::getenv("DISPLAY") ? std::getenv("DISPLAY") : ":0"},
        {"XDG_CURRENT_DESKTOP", ""},
        {"DESKTOP_SESSION", ""}};
    for (const auto& [name, value] : environment) {
        const char* saved = std::getenv(name);
        m_savedEnvironment.emplace_back(name, saved ? saved : "");
        value.empty() ? ::unsetenv(name) : ::setenv(name, value.c_str(), 1);
    }
}

TestApplication::~TestApplication()
{
    for (const auto& [name, value] : m_savedEnvironment) {
        value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
    }
}

std::string TestApplication::TakeOpened()
{
    std::string opened;
    std::getline(std::ifstream(m_home.File("opened")), opened);
    std::filesystem::remove(m_home.File("opened"));
    return opened;
}

void TestApplication::EndWith(int status) const
{
    std::ofstream(m_home.File("status")) << status << "\n";
}

UiTest::UiTest() : m_savedCurrent(QDir::currentPath())
{
    // Qt settles the settings folder once per process (see main); each test starts without values.
    QSettings(QStringLiteral("Tavrel"), QStringLiteral("Kinetar")).clear();
    ::setenv("XDG_DATA_HOME", File("data").c_str(), 1);
    m_prompter = new RecordingPrompter;
}

ui::UiServices UiTest::Services()
{
    ui::UiServices services = ui::DesktopServices(*m_holder);
    services.Ask = [this](QWidget* parent, const ui::Prompt& prompt) { return m_prompter->Ask(parent, prompt); };
    services.RunFileDialog = [this](QWidget*, const ui::FileDialogSetup& setup) {
        m_dialogsShown.push_back(setup);
        if (m_dialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog: " << setup.Title.toStdString();
            return QStringList();
        }
        QStringList answer = m_dialogAnswers.front();
        m_dialogAnswers.pop_front();
        return answer;
    };
    services.ChooseColor = [this](QWidget*, const QColor&) { return m_colorAnswer; };
    services.AskSlideshow = [this](QWidget*, const ui::UiServices&) { return m_slideshowAnswer; };
    services.AskCaptionStyle = [this](QWidget*, const ui::UiServices&, const project::Caption& initial) {
        m_captionStylesShown.push_back(initial);
        return m_captionStyleAnswer;
    };
    services.AskTitle = [this](QWidget*, const ui::UiServices&, const ui::TitleChoices& initial) {
        m_titlesShown.push_back(initial);
        return m_titleAnswer;
    };
    services.ChooseCompressor = &ChooserAnswer::Answer;
    return services;
}

std::unique_ptr<ui::MainWindow> UiTest::Window(const QStringList& arguments)
{
    auto window = std::make_unique<ui::MainWindow>(Services(), arguments);
    window->show();
    QApplication::processEvents();
    return window;
}

std::unique_ptr<ui::MainWindow> UiTest::Open(const std::vector<std::string>& pictures)
{
    WriteProject(File("p.AVIprj"), pictures);
    return Window({QPath("p.AVIprj")});
}

QStringList UiTest::Lines(ui::MainWindow& window)
{
    QStringList lines;
    for (int row = 0; row < window.Frames().count(); ++row) {
        lines << window.Frames().model()->index(row, 0).data().toString();
    }
    return lines;
}

QStringList UiTest::Records(ui::MainWindow& window)
{
    std::vector<project::FrameRecord> records;
    project::ReadProject(window.WorkingCopyPath(), &records);
    QStringList names;
    for (const auto& record : records) {
        names << QString::fromStdString(std::filesystem::path(project::GetText(record.PictureFileName)).filename());
    }
    return names;
}

void UiTest::Select(ui::MainWindow& window, const std::vector<int>& rows)
{
    ui::FrameList& list = window.Frames();
    list.clearSelection();
    for (const int row : rows) {
        list.setCurrentRow(row, QItemSelectionModel::Select);
    }
}

UiTest::~UiTest()
{
    EXPECT_TRUE(m_prompter->Answers.empty()) << "questions expected but never asked";
    EXPECT_TRUE(m_dialogAnswers.empty()) << "file dialogs expected but never shown";
    delete m_prompter;
    QDir::setCurrent(m_savedCurrent);
}

void UiTest::Answer(std::initializer_list<QMessageBox::StandardButton> answers)
{
    m_prompter->Answers.insert(m_prompter->Answers.end(), answers);
}

QStringList UiTest::TakeAsked()
{
    QStringList texts;
    for (const auto& prompt : m_prompter->Asked) {
        texts << prompt.Text;
    }
    m_prompter->Asked.clear();
    return texts;
}

QString UiTest::TakeOnlyAsked()
{
    const QStringList asked = TakeAsked();
    EXPECT_EQ(asked.size(), 1) << asked.join(u'|').toStdString();
    return asked.value(0);
}

void UiTest::WriteProject(const std::string& path, const std::vector<std::string>& pictures) const
{
    std::vector<project::FrameRecord> records;
    for (const auto& picture : pictures) {
        records.push_back(project::NewFrameRecord(picture));
    }
    project::ReplaceProjectFile(path, project::NewProjectHeader(), records);
}

}  // namespace kinetar::test

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Settings, session notes and temporary files (working copies among them) go to folders of this
    // run's own, so no window meets what the user or another run left or is leaving behind. Qt
    // settles the settings folder once, before the application is made.
    const kinetar::test::TempDir own;
    for (const char* folder : {"config", "state"}) {
        std::filesystem::create_directories(own.File(folder));
    }
    ::setenv("XDG_CONFIG_HOME", own.File("config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", own.File("state").c_str(), 1);
    ::setenv("TMPDIR", own.Path().c_str(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
