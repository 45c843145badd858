#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTest>
#include <QTimer>

#include "UiTest.h"
#include "common/Error.h"
#include "ui/CommandGuard.h"
#include "ui/Startup.h"

namespace kinetar::test {
namespace {

using ui::StartCommand;

TEST(Startup, OnlyTheExactFirstArgumentIsASwitch)
{
    const std::pair<QStringList, StartCommand> rows[] = {
        {{}, StartCommand::Window},
        {{"/register"}, StartCommand::Register},
        {{"/register", "p.AVIprj"}, StartCommand::Register},
        {{"/unregister"}, StartCommand::Unregister},
        {{"p.AVIprj", "/register"}, StartCommand::Window},
        {{"/Register"}, StartCommand::Window},
        {{"-register"}, StartCommand::Window},
        {{"/register:x"}, StartCommand::Window},
        {{"--help"}, StartCommand::Help},
        {{"--version"}, StartCommand::Version},
        {{"--version", "x"}, StartCommand::Window},
    };
    for (const auto& [arguments, expected] : rows) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        EXPECT_EQ(ui::ClassifyCommandLine(arguments), expected);
    }
}

TEST(UncaughtErrors, AFullStopFollowsALetterOrAPath)
{
    const std::pair<QString, QString> rows[] = {
        {"Can't open file /a/b.bmp", "Can't open file /a/b.bmp."},
        {"Unsupported bitmap", "Unsupported bitmap."},
        {"Done.", "Done."},
        {"Ends in a blank ", "Ends in a blank "},
        {"Ends in a comma,", "Ends in a comma,"},   // "," is below "."
        {"Ends in a slash/", "Ends in a slash/."},  // "/" is above "."
        {"", ""},
    };
    for (const auto& [message, shown] : rows) {
        EXPECT_EQ(ui::UncaughtErrorText(message), shown);
    }
}

// The message boxes themselves: answered from the keyboard, by a button's letter or by Escape.
TEST(Prompter, ButtonsAnswerToTheirLettersAndEscape)
{
    const struct {
        QMessageBox::StandardButtons buttons;
        Qt::Key key;
        QMessageBox::StandardButton answer;
    } rows[] = {
        {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Qt::Key_Escape, QMessageBox::Cancel},
        {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Qt::Key_N, QMessageBox::No},
        {QMessageBox::Yes | QMessageBox::No, Qt::Key_Escape, QMessageBox::No},
        {QMessageBox::Yes | QMessageBox::No, Qt::Key_Y, QMessageBox::Yes},
        {QMessageBox::Ok, Qt::Key_Escape, QMessageBox::Ok},
        {QMessageBox::Ok, Qt::Key_Return, QMessageBox::Ok},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(QKeySequence(row.key).toString().toStdString());
        QString text;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            text = box->text();
            QTest::keyClick(box, row.key);
        });
        EXPECT_EQ(ui::ShowMessageBox(nullptr, {"Question", "Two\r\nlines", QMessageBox::Question, row.buttons}),
                  row.answer);
        EXPECT_EQ(text, "Two\nlines");
    }
}

class ShellTest : public UiTest {};

TEST_F(ShellTest, AnErrorNoHandlerCaughtIsShownAndTheProgramGoesOn)
{
    Answer({QMessageBox::Ok});
    ui::Guarded(nullptr, Services(), [] { throw Error("Can't open file /x.bmp"); })();
    ASSERT_EQ(m_prompter->Asked.size(), 1U);
    EXPECT_EQ(m_prompter->Asked[0].Caption, "Kinetar");
    EXPECT_EQ(m_prompter->Asked[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(m_prompter->Asked[0].Buttons, QMessageBox::Ok);
    EXPECT_EQ(m_prompter->Asked[0].Text, "Can't open file /x.bmp.");
}

TEST_F(ShellTest, FileDialogModes)
{
    ui::SharedFileDialog& holder = *m_holder;
    struct Row {
        int mode;
        QString title;
        int filterIndex;
        QString filterShown;
        QString defaultExtension;
        bool multiple, mustExist;
    };
    const Row rows[] = {
        {ui::kProjectMode, "Select project...", 1, "Project files (*.AVIprj)", "AVIprj", false, false},
        {ui::kPicturesMode, "Select pictures...", 9, "Graphics files ", "", true, true},
        {ui::kAviFileMode, "Select AVI filename...", 1, "AVI files (*.AVI)", "avi", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title.toStdString());
        holder.OpenDialog.FileMustExist = !row.mustExist;  // a caller's change is gone at the next use
        holder.PrepareFileDialog(row.mode);
        const ui::FileDialogSetup& setup = holder.OpenDialog;
        EXPECT_EQ(setup.Title, row.title);
        EXPECT_EQ(setup.FilterIndex, row.filterIndex);
        EXPECT_EQ(setup.Filters[row.filterIndex - 1].first, row.filterShown);
        EXPECT_EQ(setup.Filters.back().first, "All files (*.*)");
        EXPECT_EQ(setup.DefaultExtension, row.defaultExtension);
        EXPECT_EQ(setup.AllowMultiSelect, row.multiple);
        EXPECT_EQ(setup.FileMustExist, row.mustExist);

        // The real dialog shows the descriptions as written and starts on the right one.
        QFileDialog dialog;
        ui::ConfigureFileDialog(dialog, setup);
        EXPECT_EQ(dialog.windowTitle(), row.title);
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        EXPECT_EQ(types->currentText(), row.filterShown);
        EXPECT_EQ(dialog.defaultSuffix(), row.defaultExtension);
        EXPECT_EQ(dialog.fileMode(), row.multiple    ? QFileDialog::ExistingFiles
                                     : row.mustExist ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
    }
    // Sounds follow the pictures, the other kinds of video AVI.
    holder.PrepareFileDialog(ui::kPicturesMode);
    EXPECT_EQ(holder.OpenDialog.Filters[9].first, "Sound files (*.MP3;*.M4A;*.AAC;*.OGG;*.OPUS;*.FLAC;*.WAV)");
    holder.PrepareFileDialog(ui::kAviFileMode);
    for (const auto& [index, filter] :
         {std::pair{1, "MP4 video (*.MP4)"}, {2, "Matroska video (*.MKV)"}, {3, "WebM video (*.WEBM)"}}) {
        EXPECT_EQ(holder.OpenDialog.Filters[index].first, filter);
    }
    holder.PrepareFileDialog(7);  // an unknown mode changes nothing
    EXPECT_EQ(holder.OpenDialog.Title, "Select AVI filename...");
}

// A project is never preselected for pictures, nor a picture for a project; the folder stays.
TEST_F(ShellTest, TheLastFileIsPreselectedOnlyWhereTheModeTakesIt)
{
    const std::tuple<int, QString, bool> rows[] = {
        {ui::kPicturesMode, "/f/p.AVIprj", false}, {ui::kPicturesMode, "/f/a.Bmp", true},
        {ui::kProjectMode, "/f/a.bmp", false},     {ui::kProjectMode, "/f/p.AVIPRJ", true},
        {ui::kAviFileMode, "/f/p.AVIprj", false},  {ui::kAviFileMode, "/f/v.avi", true},
    };
    ui::SharedFileDialog& holder = *m_holder;
    for (const auto& [mode, last, kept] : rows) {
        SCOPED_TRACE(last.toStdString());
        holder.OpenDialog.FileName = last;
        holder.OpenDialog.Directory.clear();
        holder.PrepareFileDialog(mode);
        EXPECT_EQ(holder.OpenDialog.FileName, kept ? last : QString());
        EXPECT_EQ(holder.OpenDialog.Directory, kept ? QString() : QStringLiteral("/f"));
    }
    holder.OpenDialog.Directory = QPath("");
    QFileDialog dialog;
    ui::ConfigureFileDialog(dialog, holder.OpenDialog);
    EXPECT_EQ(dialog.directory().absolutePath(), QDir(QPath("")).absolutePath());
}

TEST_F(ShellTest, PatternsMatchNamesInAnyCase)
{
    for (const char* name : {"lower.bmp", "UPPER.BMP", "Mixed.Gif", "other.txt", "noextension"}) {
        WriteFile(File(name), {});
    }
    ui::SharedFileDialog& holder = *m_holder;
    holder.PrepareFileDialog(ui::kPicturesMode);
    holder.OpenDialog.FileName = QPath("lower.bmp");
    QFileDialog dialog;
    ui::ConfigureFileDialog(dialog, holder.OpenDialog);
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    ASSERT_NE(list, nullptr);
    const auto shownNames = [&] {
        QStringList names;
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row) {
            names << list->model()->index(row, 0, root).data().toString();
        }
        names.sort();
        return names;
    };
    // The folder is read in the background.
    QTRY_COMPARE(shownNames(), QStringList({"Mixed.Gif", "UPPER.BMP", "lower.bmp"}));
    dialog.selectNameFilter(QStringLiteral("All files (*.*)(*)"));
    QTRY_COMPARE(shownNames().size(), 5);
}

TEST_F(ShellTest, ATypedNameWithoutExtensionGetsTheModesExtension)
{
    ui::SharedFileDialog& holder = *m_holder;
    const std::pair<int, const char*> rows[] = {{ui::kProjectMode, "typed.AVIprj"}, {ui::kAviFileMode, "typed.avi"}};
    for (const auto& [mode, expected] : rows) {
        holder.PrepareFileDialog(mode);
        holder.OpenDialog.FileName = QPath("typed");
        QFileDialog dialog;
        ui::ConfigureFileDialog(dialog, holder.OpenDialog);
        QMetaObject::invokeMethod(&dialog, "accept");  // the name need not exist in these modes
        EXPECT_EQ(dialog.selectedFiles(), QStringList({QPath(expected)}));
    }
}

}  // namespace
}  // namespace kinetar::test
