#include "ui/FileDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace kinetar::ui {

namespace {

// Qt reads a filter's patterns from its last parentheses, which stay hidden: so a description
// without patterns of its own ("Graphics files ") still filters.
QString QtNameFilter(const QPair<QString, QString>& filter)
{
    QStringList patterns = filter.second.split(u';');
    // "*.*" stands for every file, also one without a dot in its name.
    patterns.replaceInStrings(QStringLiteral("*.*"), QStringLiteral("*"));
    return filter.first + u'(' + patterns.join(u' ') + u')';
}

}  // namespace

QStringList ShowFileDialog(QWidget* parent, const FileDialogSetup& setup)
{
    QFileDialog dialog(parent);
    ConfigureFileDialog(dialog, setup);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

bool MatchesPatterns(const QString& fileName, const QString& patterns)
{
    const QString name = fileName.mid(fileName.lastIndexOf(u'/') + 1);
    for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
        const QRegularExpression wildcard(QRegularExpression::wildcardToRegularExpression(
                                              pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern),
                                          QRegularExpression::CaseInsensitiveOption);
        if (wildcard.match(name).hasMatch()) {
            return true;
        }
    }
    return false;
}

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
    if (!setup.AcceptText.isEmpty()) {
        dialog.setLabelText(QFileDialog::Accept, setup.AcceptText);
    }
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
    // Before the name: a name in a folder that is not there is then kept whole, relative to this one.
    if (!setup.Directory.isEmpty()) {
        dialog.setDirectory(setup.Directory);
    }
    if (!setup.FileName.isEmpty()) {
        dialog.selectFile(setup.FileName);
    }
}

void SharedFileDialog::PrepareFileDialog(int mode)
{
    const QPair<QString, QString> allFiles{QStringLiteral("All files (*.*)"), QStringLiteral("*.*")};
    // Sound files are told by their content; the names are only what the dialog shows.
    const QPair<QString, QString> soundFiles{
        QStringLiteral("Sound files (*.MP3;*.M4A;*.AAC;*.OGG;*.OPUS;*.FLAC;*.WAV)"),
        QStringLiteral("*.MP3;*.M4A;*.AAC;*.OGG;*.OPUS;*.FLAC;*.WAV")};
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
            soundFiles,
            allFiles};
        OpenDialog.FilterIndex = 9;
        OpenDialog.DefaultExtension.clear();
        OpenDialog.AllowMultiSelect = true;
        OpenDialog.FileMustExist = true;
        OpenDialog.HideReadOnly = false;
        break;
    case kMusicMode:
        OpenDialog.Title = QStringLiteral("Select music...");
        OpenDialog.Filters = {soundFiles, allFiles};
        OpenDialog.FilterIndex = 1;
        OpenDialog.DefaultExtension.clear();
        OpenDialog.AllowMultiSelect = true;
        OpenDialog.FileMustExist = true;
        OpenDialog.HideReadOnly = false;
        break;
    case kAviFileMode:
        OpenDialog.Title = QStringLiteral("Select AVI filename...");
        // The name's extension chooses the kind of video file.
        OpenDialog.Filters = {{QStringLiteral("AVI files (*.AVI)"), QStringLiteral("*.AVI")},
                              {QStringLiteral("MP4 video (*.MP4)"), QStringLiteral("*.MP4")},
                              {QStringLiteral("Matroska video (*.MKV)"), QStringLiteral("*.MKV")},
                              {QStringLiteral("WebM video (*.WEBM)"), QStringLiteral("*.WEBM")},
                              allFiles};
        OpenDialog.FilterIndex = 1;
        OpenDialog.DefaultExtension = QStringLiteral("avi");
        OpenDialog.AllowMultiSelect = false;
        OpenDialog.FileMustExist = false;
        OpenDialog.HideReadOnly = true;
        break;
    default:
        return;
    }
    OpenDialog.AcceptText.clear();
    const QString& patterns = OpenDialog.Filters[OpenDialog.FilterIndex - 1].second;
    if (!OpenDialog.FileName.isEmpty() && !MatchesPatterns(OpenDialog.FileName, patterns)) {
        OpenDialog.Directory = QFileInfo(OpenDialog.FileName).absolutePath();
        OpenDialog.FileName.clear();
    }
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
