#include "ui/FrameDetails.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QVBoxLayout>

#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "pictures/PictureFile.h"
#include "ui/CommandGuard.h"
#include "ui/FrameList.h"
#include "ui/MainWindow.h"
#include "ui/Prompter.h"
#include "ui/QtConvert.h"
#include "ui/SdilenePrvky.h"

namespace kinetar::ui {

namespace {

// The name field's text while the selected frames name different files.
const QString kDifferentNames = QStringLiteral("  ");
// The summary's stretch while the selected frames differ in it; never stored.
constexpr std::uint8_t kDifferentStretch = 255;

}  // namespace

void MergeFrameSummary(project::FrameRecord& summary, const project::FrameRecord& record)
{
    const QString name = FromNativePath(project::GetText(summary.PictureFileName));
    if (name != kDifferentNames &&
        CompareIgnoringCase(name, FromNativePath(project::GetText(record.PictureFileName))) != 0) {
        project::SetText(summary.PictureFileName, ToNativePath(kDifferentNames));
    }
    if (summary.Stretch != kDifferentStretch && summary.Stretch != record.Stretch) {
        summary.Stretch = kDifferentStretch;
    }
}

QString FormatPictureSize(int width, int height)
{
    return QString::number(width) + QStringLiteral(" x ") + QString::number(height);
}

FrameDetails::FrameDetails(MainWindow& window) : m_window(window)
{
    setObjectName(QStringLiteral("Panel1"));
    CreateControls();
}

void FrameDetails::CreateControls()
{
    auto* details = new QWidget;
    details->setObjectName(QStringLiteral("PanelDetails"));
    auto* grid = new QGridLayout(details);
    grid->setContentsMargins(4, 4, 4, 2);
    grid->setVerticalSpacing(3);

    auto* fileNameLabel = new QLabel(QStringLiteral("Picture &filename:"));
    ed_PictFileName = new QLineEdit;
    ed_PictFileName->setObjectName(QStringLiteral("ed_PictFileName"));
    fileNameLabel->setBuddy(ed_PictFileName);
    Button2 = new QPushButton(QStringLiteral("&Browse..."));
    Button2->setObjectName(QStringLiteral("Button2"));
    grid->addWidget(fileNameLabel, 0, 0);
    grid->addWidget(ed_PictFileName, 0, 1);
    grid->addWidget(Button2, 0, 2);

    ch_StretchPicture = new QCheckBox(QStringLiteral("St&retch, when size is other than AVI?"));
    ch_StretchPicture->setObjectName(QStringLiteral("ch_StretchPicture"));
    grid->addWidget(ch_StretchPicture, 1, 0, 1, 3);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(6);
    bottom->addWidget(new QLabel(QStringLiteral("Dimension of picture:")));
    lb_RozmerySnimku = new QLabel(QStringLiteral("0x0"));
    lb_RozmerySnimku->setObjectName(QStringLiteral("lb_RozmerySnimku"));
    bottom->addWidget(lb_RozmerySnimku);
    bottom->addStretch(1);
    bt_ZrusitZmeny = new QPushButton(QStringLiteral("&Cancel changes"));
    bt_ZrusitZmeny->setObjectName(QStringLiteral("bt_ZrusitZmeny"));
    bt_UlozitZmeny = new QPushButton(QStringLiteral("&Save changes"));
    bt_UlozitZmeny->setObjectName(QStringLiteral("bt_UlozitZmeny"));
    bottom->addWidget(bt_ZrusitZmeny);
    bottom->addWidget(bt_UlozitZmeny);
    grid->addLayout(bottom, 2, 0, 1, 3);
    details->setMinimumHeight(81);
    details->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    Image_Preview = new QLabel;
    Image_Preview->setObjectName(QStringLiteral("Image_Preview"));
    Image_Preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox_Picture = new QScrollArea;
    ScrollBox_Picture->setObjectName(QStringLiteral("ScrollBox_Picture"));
    ScrollBox_Picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox_Picture->setWidget(Image_Preview);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(details);
    layout->addWidget(ScrollBox_Picture, 1);

    connect(ed_PictFileName, &QLineEdit::textChanged, this, Guarded(this, [this] { ed_PictFileNameChange(); }));
    connect(ch_StretchPicture, &QCheckBox::stateChanged, this, Guarded(this, [this] { ch_StretchPictureClick(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded(this, [this] { Button2Click(); }));
    connect(bt_ZrusitZmeny, &QPushButton::clicked, this, Guarded(this, [this] { bt_ZrusitZmenyClick(); }));
    connect(bt_UlozitZmeny, &QPushButton::clicked, this, Guarded(this, [this] { bt_UlozitZmenyClick(); }));
}

void FrameDetails::ShowSelectedFrames()
{
    const FrameList& list = m_window.Frames();
    const QList<int> selected = list.SelectedRows();
    m_fillingPanel = true;
    const auto endFilling = qScopeGuard([this] { m_fillingPanel = false; });
    if (selected.isEmpty()) {
        ed_PictFileName->clear();
        return;
    }
    const std::string& workingCopy = m_window.WorkingCopyPath();
    project::FrameRecord summary{};
    if (selected.size() == 1) {
        ch_StretchPicture->setTristate(false);
        project::ReadFrameRecord(workingCopy, list.currentRow(), summary);
    } else {
        // One read of the whole copy rather than one per selected line.
        std::vector<project::FrameRecord> records;
        project::ReadProject(workingCopy, &records);
        bool first = true;
        for (const int row : selected) {
            if (static_cast<std::size_t>(row) >= records.size()) {
                continue;
            }
            if (first) {
                summary = records[static_cast<std::size_t>(row)];
                first = false;
            } else {
                MergeFrameSummary(summary, records[static_cast<std::size_t>(row)]);
            }
        }
        ch_StretchPicture->setTristate(true);
    }
    ed_PictFileName->setText(FromNativePath(project::GetText(summary.PictureFileName)));
    ch_StretchPicture->setCheckState(summary.Stretch == kDifferentStretch ? Qt::PartiallyChecked
                                     : summary.Stretch != 0               ? Qt::Checked
                                                                          : Qt::Unchecked);
}

void FrameDetails::SetEditingMode(bool on)
{
    if (m_fillingPanel || (on && !m_window.Frames().selectionModel()->hasSelection())) {
        return;
    }
    m_editing = on;
    m_window.EnableFrameEditing(!on);
    QFont font = bt_UlozitZmeny->font();
    font.setBold(on);
    bt_UlozitZmeny->setFont(font);
}

void FrameDetails::ed_PictFileNameChange()
{
    SetEditingMode(true);
    if (!m_fillingPanel && IsExistingFile(ed_PictFileName->text())) {
        RefreshPreview();
    }
}

void FrameDetails::ch_StretchPictureClick()
{
    SetEditingMode(true);
}

void FrameDetails::Button2Click()
{
    if (!m_window.Frames().selectionModel()->hasSelection()) {
        return;
    }
    SdilenePrvky& dialogs = *SdilenePrvky::Instance();
    dialogs.PrepareFileDialog(kPicturesMode);
    dialogs.OpenDialog.AllowMultiSelect = false;
    dialogs.OpenDialog.FileName = ed_PictFileName->text();
    if (dialogs.Execute(&m_window)) {
        ed_PictFileName->setText(dialogs.OpenDialog.FileName);
    }
}

void FrameDetails::bt_ZrusitZmenyClick()
{
    if (!m_window.Frames().selectionModel()->hasSelection()) {
        return;
    }
    SetEditingMode(false);
    m_window.Frames().SnimkyClick();
}

void FrameDetails::bt_UlozitZmenyClick()
{
    const QList<int> selected = m_window.Frames().SelectedRows();
    if (selected.isEmpty()) {
        return;
    }
    const QString name = ed_PictFileName->text();
    const bool keepNames = name == kDifferentNames;
    const std::string nativeName = ToNativePath(name);
    if (!keepNames && nativeName.size() > project::kMaxTextLength) {
        // Nothing is stored and the edit stays open for a shorter name.
        m_window.ReportError(QStringLiteral("The changes were not saved: the picture's path is longer than %1 bytes, "
                                            "more than a frame can hold.\r\n")
                                 .arg(project::kMaxTextLength) +
                             name);
        return;
    }
    const std::string& workingCopy = m_window.WorkingCopyPath();
    const Qt::CheckState stretch = ch_StretchPicture->checkState();
    for (const int row : selected) {
        project::FrameRecord record{};
        project::ReadFrameRecord(workingCopy, row, record);
        if (!keepNames) {
            project::SetText(record.PictureFileName, nativeName);
        }
        if (stretch != Qt::PartiallyChecked) {
            record.Stretch = stretch == Qt::Checked ? 1 : 0;
        }
        project::WriteFrameRecord(workingCopy, row, record);
    }
    SetEditingMode(false);
    m_window.SetProjectModified(true);
    RefreshPreview();
}

void FrameDetails::RefreshPreview()
{
    lb_RozmerySnimku->setText(QStringLiteral("none"));
    const QString text = ed_PictFileName->text();
    Image_Preview->setVisible(!text.isEmpty());
    if (text.isEmpty()) {
        return;
    }
    if (text == kDifferentNames) {
        ShowPlaceholder("MULTYSELECT");
        return;
    }
    if (!IsExistingFile(text)) {
        ShowPlaceholder("FILENOTFOUND");
        return;
    }
    const std::string path = ToNativePath(text);
    try {
        const pictures::PictureFile file(path);
        if (!pictures::ReadPicture(file.Bytes(), path, m_picture)) {
            ShowPlaceholder("BADFORMAT");
            return;
        }
    } catch (const Error& error) {
        ShowPlaceholder("BADFORMAT");
        Ask(&m_window, {QStringLiteral("Error"),
                        QStringLiteral("Error reading:: \r\n") + FromCoreText(error.what()) +
                            QStringLiteral("\r\nPlease, correct error or remove picture from project!"),
                        QMessageBox::Critical, QMessageBox::Ok});
        return;
    }
    lb_RozmerySnimku->setText(FormatPictureSize(m_picture.Width(), m_picture.Height()));
    ShowPicture();
}

void FrameDetails::ShowPlaceholder(const char* name)
{
    // Read into the preview's picture like any file, through the program's own reader.
    QFile resource(QStringLiteral(":/kinetar/placeholders/") + QString::fromLatin1(name) + QStringLiteral(".bmp"));
    resource.open(QIODevice::ReadOnly);
    const QByteArray bytes = resource.readAll();
    pictures::ReadPicture(
        {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())}, name,
        m_picture);
    ShowPicture();
}

void FrameDetails::ShowPicture()
{
    Image_Preview->setPixmap(QPixmap::fromImage(ToImage(m_picture), Qt::NoFormatConversion));
    Image_Preview->resize(Image_Preview->pixmap().size());
}

}  // namespace kinetar::ui
