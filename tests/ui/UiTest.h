#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/TestFiles.h"
#include "support/ui/RecordingPrompter.h"
#include "support/ui/WindowFinding.h"
#include "ui/FileDialogs.h"
#include "ui/MainWindow.h"
#include "ui/Prompter.h"
#include "ui/UiServices.h"

// Test failures print texts, not their UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kinetar::test {

// The default application for some file types in a test's home, which the real xdg-open finds and
// runs: a script that writes the file it was given into a marker and ends with the status the test
// chose. xdg-open takes the plain lookup of a desktop without its own launcher.
class TestApplication {
public:
    TestApplication(const TempDir& home, std::initializer_list<const char*> mimeTypes);
    ~TestApplication();
    TestApplication(const TestApplication&) = delete;
    TestApplication& operator=(const TestApplication&) = delete;

    // What it was given last; "" when it has not run. Clears the record.
    std::string TakeOpened();
    void EndWith(int status) const;

private:
    const TempDir& m_home;
    std::vector<std::pair<std::string, std::string>> m_savedEnvironment;
};

// A fresh home for each test: settings and file types under a temporary folder, message boxes and
// file dialogs answered by the test, the shared dialog's holder in place.
class UiTest : public ::testing::Test {
protected:
    UiTest();
    ~UiTest() override;

    // What the windows get: the test's answers, the real desktop opener and engine.
    ui::UiServices Services();
    // A shown window whose first-show step has run.
    std::unique_ptr<ui::MainWindow> Window(const QStringList& arguments = {});
    // A shown window with a project of these pictures open.
    std::unique_ptr<ui::MainWindow> Open(const std::vector<std::string>& pictures);
    template <typename T = QAction>
    static T* Find(const QWidget& window, const char* name)
    {
        return FindIn<T>(window, name);
    }
    static void Trigger(const QWidget& window, const char* action) { Find(window, action)->trigger(); }
    // The list's lines and the working copy's frames by file name, to hold against each other.
    static QStringList Lines(ui::MainWindow& window);
    static QStringList Records(ui::MainWindow& window);
    static void Select(ui::MainWindow& window, const std::vector<int>& rows);

    std::string File(const std::string& name) const { return m_dir.File(name); }
    QString QPath(const std::string& name) const { return QString::fromStdString(m_dir.File(name)); }
    // The next file dialog chooses these files; an empty list cancels it.
    void ChooseFiles(const QStringList& files) { m_dialogAnswers.push_back(files); }
    void Answer(std::initializer_list<QMessageBox::StandardButton> answers);
    // The texts asked so far, in order; clears the record.
    QStringList TakeAsked();
    // The one text asked so far (a failure when there was not exactly one); clears the record.
    QString TakeOnlyAsked();
    const std::vector<ui::FileDialogSetup>& DialogsShown() const { return m_dialogsShown; }
    // A project file of a header and `frames` records naming these pictures.
    void WriteProject(const std::string& path, const std::vector<std::string>& pictures = {}) const;

    TempDir m_dir;
    RecordingPrompter* m_prompter = nullptr;
    std::deque<QStringList> m_dialogAnswers;
    std::optional<QColor> m_colorAnswer;                    // the colour dialog's; nothing: cancelled
    std::optional<ui::SlideshowChoices> m_slideshowAnswer;  // the New slideshow dialog's; nothing: cancelled
    // The caption style and title dialogs' answers (nothing: cancelled) and what each was shown.
    std::optional<project::Caption> m_captionStyleAnswer;
    std::optional<ui::TitleChoices> m_titleAnswer;
    std::vector<project::Caption> m_captionStylesShown;
    std::vector<ui::TitleChoices> m_titlesShown;
    std::vector<ui::FileDialogSetup> m_dialogsShown;
    std::unique_ptr<ui::SharedFileDialog> m_holder = std::make_unique<ui::SharedFileDialog>();
    QString m_savedCurrent;
};

}  // namespace kinetar::test
