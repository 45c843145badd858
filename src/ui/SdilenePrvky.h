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
    QString Folder;     // the folder the dialog opens in; empty: the one the file name is in
    QString FileName;   // selected when the dialog opens; the chosen file afterwards
    QStringList Files;  // every chosen file after a multiple selection
};

// Puts a dialog into the state the setup describes. Patterns match names in any case.
void ConfigureFileDialog(QFileDialog& dialog, const FileDialogSetup& setup);

// Shows a dialog for the setup and returns the chosen files (full paths), or nothing when the user
// cancelled. Tests put their own answer in place; nullptr restores the real dialog.
using FileDialogRunner = std::function<QStringList(QWidget* parent, const FileDialogSetup& setup)>;
FileDialogRunner ReplaceFileDialogRunner(FileDialogRunner runner);
// Runs the dialog and, when a file was chosen, keeps it in the setup's FileName and Files.
bool ExecuteFileDialog(QWidget* parent, FileDialogSetup& setup);

enum FileDialogMode { kProjectMode = 0, kPicturesMode = 1, kAviFileMode = 2 };

// The holder of the open-file dialog that the whole program shares.
class SdilenePrvky {
public:
    FileDialogSetup OpenDialog;

    // Sets the shared dialog up for one of the three modes; any other mode leaves it as it is.
    void PrepareFileDialog(int mode);
    bool Execute(QWidget* parent) { return ExecuteFileDialog(parent, OpenDialog); }

    // The holder made at start-up, or nullptr before it exists.
    static SdilenePrvky* Instance();
    explicit SdilenePrvky();
    SdilenePrvky(const SdilenePrvky&) = delete;
    SdilenePrvky& operator=(const SdilenePrvky&) = delete;
    ~SdilenePrvky();
};

// The state the main window's own save dialog starts with.
FileDialogSetup ProjectSaveDialogSetup();

}  // namespace kinetar::ui
