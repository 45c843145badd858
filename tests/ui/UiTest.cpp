#include "UiTest.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <cstdlib>

#include "project/ProjectFile.h"

namespace kinetar::test {

QMessageBox::StandardButton RecordingPrompter::Ask(QWidget* /*parent*/, const ui::Prompt& prompt)
{
    Asked.push_back(prompt);
    if (OnAsk) {
        OnAsk(prompt);
    }
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected message: " << prompt.Text.toStdString();
        return prompt.Buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
    }
    const auto answer = Answers.front();
    Answers.pop_front();
    return answer;
}

UiTest::UiTest() : m_savedCurrent(QDir::currentPath())
{
    // Qt settles the settings folder once per process (see main); each test starts without values.
    QSettings(QStringLiteral("Tavrel"), QStringLiteral("Kinetar")).clear();
    ::setenv("XDG_DATA_HOME", File("data").c_str(), 1);
    auto prompter = std::make_unique<RecordingPrompter>();
    m_prompter = prompter.get();
    ui::Prompter::Replace(std::move(prompter));
    ui::ReplaceFileDialogRunner([this](QWidget*, const ui::FileDialogSetup& setup) {
        m_dialogsShown.push_back(setup);
        if (m_dialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog: " << setup.Title.toStdString();
            return QStringList();
        }
        QStringList answer = m_dialogAnswers.front();
        m_dialogAnswers.pop_front();
        return answer;
    });
    m_holder = std::make_unique<ui::SdilenePrvky>();
}

UiTest::~UiTest()
{
    EXPECT_TRUE(m_prompter->Answers.empty()) << "questions expected but never asked";
    EXPECT_TRUE(m_dialogAnswers.empty()) << "file dialogs expected but never shown";
    ui::Prompter::Replace(nullptr);
    ui::ReplaceFileDialogRunner(nullptr);
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
    const kinetar::test::TempDir config;
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
