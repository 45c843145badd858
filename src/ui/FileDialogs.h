#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

class QFileDialog;
class QWidget;

namespace kinetar::ui {

// Everything a use of a file dialog sets: the dialog is described by this and built from it each
// time it is shown, so what one use leaves behind stays for the next.
struct FileDialogSetup {
    enum class Kind { Open, Save };
    Kind DialogKind = Kind::Open;
    QString Title;  // empty: the platform's default
    // Description and patterns ("*.BMP;*.PCX"), in the order shown.
    QList<QPair<QString, QString>> Filters;
    int FilterIndex = 1;       // the filter selected at first, counted from 1
    QString DefaultExtension;  // without the dot; added to a typed name that has none
    bool AllowMultiSelect = false;
    bool FileMustExist = false;
    bool HideReadOnly = false;
    // Where the dialog opens when no file is selected, or when the selected one's folder is not
    // there (its name is then kept whole, relative to this one); empty: the current folder.
    QString Directory;
    QString AcceptText;  // the confirming button's text; empty: the platform's ("Open", "Save")
    QString FileName;    // selected when the dialog opens; the chosen file afterwards
    QStringList Files;   // every chosen file after a multiple selection
};

// Puts a dialog into the state the setup describes. Patterns match names in any case.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogSetup& setup);

// Shows a dialog for the setup and returns the chosen files (full paths), or nothing when the user
// cancelled.
using FileDialogRunner = std::function<QStringList(QWidget* parent, const FileDialogSetup& setup)>;
// The real dialog.
QStringList ShowFileDialog(QWidget* parent, const FileDialogSetup& setup);
// Whether a file name matches a pattern list ("*.BMP;*.PCX"), in any letter case.
bool MatchesPatterns(const QString& fileName, const QString& patterns);

enum FileDialogMode { kProjectMode = 0, kPicturesMode = 1, kAviFileMode = 2, kMusicMode = 3 };

// The holder of the open-file dialog that the whole program shares: made at start-up and handed to
// every window that uses it.
class SharedFileDialog {
public:
    FileDialogSetup OpenDialog;

    // Sets the shared dialog up for one of the four modes; any other mode leaves it as it is. The
    // file chosen last is preselected only when the mode's first filter takes it (a project is no
    // picture); otherwise the dialog opens in its folder with nothing selected.
    void PrepareFileDialog(int mode);

    SharedFileDialog() = default;
    SharedFileDialog(const SharedFileDialog&) = delete;
    SharedFileDialog& operator=(const SharedFileDialog&) = delete;
};

// The state the main window's own save dialog starts with.
FileDialogSetup ProjectSaveDialogSetup();

}  // namespace kinetar::ui
