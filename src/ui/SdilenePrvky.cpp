#include "ui/SdilenePrvky.h"

#include <QComboBox>
#include <QFileDialog>

namespace kinetar::ui {

namespace {

SdilenePrvky* g_holder = nullptr;

// Qt reads a filter's patterns from its last parentheses, which stay hidden: so a description
// without patterns of its own ("Graphics files ") still filters.
QString QtNameFilter(const QPair<QString, QString>& filter)
{
    QStringList patterns = filter.second.split(u';');
    // "*.*" stands for every file, also one without a dot in its name.
    patterns.replaceInStrings(QStringLiteral("*.*"), QStringLiteral("*"));
    return filter.first + u'(' + patterns.join(u' ') + u')';
}

QStringList ShowFileDialog(QWidget* parent, const FileDialogSetup& setup)
{
    QFileDialog dialog(parent);
    ConfigureFileDialog(dialog, setup);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

FileDialogRunner& Runner()
{
    static FileDialogRunner runner = ShowFileDialog;
    return runner;
}

}  // namespace

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogSetup& setup)
{
    // The widget dialog, so titles, filters and the default extension are the same on every
    // desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(setup.DialogKind == FileDialogSetup::Kind::Save ? QFileDialog::AcceptSave
                                                                         : QFileDialog::AcceptOpen);
    // The save dialog leaves the overwrite question to its caller.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, setup.DialogKind == FileDialogSetup::Kind::Save);
    if (setup.AllowMultiSelect) {
        dialog.setFileMode(setup.FileMustExist ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    } else {
        dialog.setFileMode(setup.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!setup.Title.isEmpty()) {
        dialog.setWindowTitle(setup.Title);
    }
    QStringList nameFilters;
    for (const auto& filter : setup.Filters) {
        nameFilters << QtNameFilter(filter);
    }
    dialog.setNameFilters(nameFilters);
    if (setup.FilterIndex >= 1 && setup.FilterIndex <= nameFilters.size()) {
        dialog.selectNameFilter(nameFilters[setup.FilterIndex - 1]);
    }
    // Qt trims what it shows; the descriptions are shown as written, a trailing blank included.
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int index = 0; index < types->count() && index < setup.Filters.size(); ++index) {
            types->setItemText(index, setup.Filters[index].first);
        }
    }
    dialog.setDefaultSuffix(setup.DefaultExtension);
    if (!setup.FileName.isEmpty()) {
        dialog.selectFile(setup.FileName);
    }
}

FileDialogRunner ReplaceFileDialogRunner(FileDialogRunner runner)
{
    if (!runner) {
        runner = ShowFileDialog;
    }
    std::swap(runner, Runner());
    return runner;
}

bool ExecuteFileDialog(QWidget* parent, FileDialogSetup& setup)
{
    const QStringList files = Runner()(parent, setup);
    if (files.isEmpty()) {
        return false;
    }
    setup.FileName = files.front();
    setup.Files = files;
    return true;
}

void SdilenePrvky::PrepareFileDialog(int mode)
{
    const QPair<QString, QString> allFiles{QStringLiteral("All files (*.*)"), QStringLiteral("*.*")};
    switch (mode) {
    case kProjectMode:
        OpenDialog.Title = QStringLiteral("Select project...");
        OpenDialog.Filters = {{QStringLiteral("Project files (*.AVIprj)"), QStringLiteral("*.AVIprj")}, allFiles};
        OpenDialog.FilterIndex = 1;
        OpenDialog.DefaultExtension = QStringLiteral("AVIprj");
        OpenDialog.AllowMultiSelect = false;
        OpenDialog.FileMustExist = false;
        OpenDialog.HideReadOnly = true;
        break;
    case kPicturesMode:
        OpenDialog.Title = QStringLiteral("Select pictures...");
        OpenDialog.Filters = {
            {QStringLiteral("BMP files (*.BMP)"), QStringLiteral("*.BMP")},
            {QStringLiteral("PCX files (*.PCX)"), QStringLiteral("*.PCX")},
            {QStringLiteral("TGA files (*.TGA)"), QStringLiteral("*.TGA")},
            {QStringLiteral("GIF files (*.GIF)"), QStringLiteral("*.GIF")},
            {QStringLiteral("JPEG files (*.JPG;*.JPEG)"), QStringLiteral("*.JPG;*.JPEG")},
            {QStringLiteral("PNG files (*.PNG)"), QStringLiteral("*.PNG")},
            {QStringLiteral("WebP files (*.WEBP)"), QStringLiteral("*.WEBP")},
            {QStringLiteral("HEIF files (*.HEIC;*.HEIF;*.AVIF)"), QStringLiteral("*.HEIC;*.HEIF;*.AVIF")},
            {QStringLiteral("Graphics files "),
             QStringLiteral("*.BMP;*.PCX;*.TGA;*.GIF;*.JPG;*.JPEG;*.PNG;*.WEBP;*.HEIC;*.HEIF;*.AVIF")},
            allFiles};
        OpenDialog.FilterIndex = 9;
        OpenDialog.DefaultExtension.clear();
        OpenDialog.AllowMultiSelect = true;
        OpenDialog.FileMustExist = true;
        OpenDialog.HideReadOnly = false;
        break;
    case kAviFileMode:
        OpenDialog.Title = QStringLiteral("Select AVI filename...");
        OpenDialog.Filters = {{QStringLiteral("AVI files (*.AVI)"), QStringLiteral("*.AVI")}, allFiles};
        OpenDialog.FilterIndex = 1;
        OpenDialog.DefaultExtension = QStringLiteral("avi");
        OpenDialog.AllowMultiSelect = false;
        OpenDialog.FileMustExist = false;
        OpenDialog.HideReadOnly = true;
        break;
    default:
        break;
    }
}

SdilenePrvky::SdilenePrvky()
{
    g_holder = this;
}

SdilenePrvky::~SdilenePrvky()
{
    if (g_holder == this) {
        g_holder = nullptr;
    }
}

SdilenePrvky* SdilenePrvky::Instance()
{
    return g_holder;
}

FileDialogSetup ProjectSaveDialogSetup()
{
    FileDialogSetup setup;
    setup.DialogKind = FileDialogSetup::Kind::Save;
    setup.Filters = {{QStringLiteral("AVI projekt (*.AVIprj)"), QStringLiteral("*.AVIprj")},
                     {QStringLiteral("Všechny soubory (*.*)"), QStringLiteral("*.*")}};
    setup.DefaultExtension = QStringLiteral("AVIprj");
    setup.HideReadOnly = true;
    return setup;
}

}  // namespace kinetar::ui
