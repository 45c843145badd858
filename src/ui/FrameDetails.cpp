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
#include "ui/Messages.h"
#include "ui/ProjectSession.h"
#include "ui/QtConvert.h"

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

FrameDetails::FrameDetails(ProjectSession& session, UiServices services)
    : m_session(session), m_services(std::move(services))
{
    setObjectName(QStringLiteral("Panel1"));
    CreateControls();
    connect(&m_session, &ProjectSession::SelectionChanged, this, Guarded(this, m_services, [this] {
        ShowSelectedFrames();
        RefreshPreview();
    }));
}

bool FrameDetails::EditingMode() const
{
    return m_session.PendingChanges();
}

void FrameDetails::FocusSaveChanges()
{
    bt_UlozitZmeny->setFocus();
}

void FrameDetails::CreateControls()
{
    m_details = new QWidget;
    m_details->setObjectName(QStringLiteral("PanelDetails"));
    auto* grid = new QGridLayout(m_details);
    grid->setContentsMargins(4, 4, 4, 2);
    grid->setVerticalSpacing(3);

    auto* fileNameLabel = new QLabel(QStringLiteral("Picture &filename:"));
    ed_PictFileName = new QLineEdit;
    ed_PictFileName->setObjectName(QStringLiteral("ed_PictFileName"));
    ed_PictFileName->setMinimumWidth(60);
    fileNameLabel->setBuddy(ed_PictFileName);
    Button2 = new QPushButton(QStringLiteral("&Browse..."));
    Button2->setObjectName(QStringLiteral("Button2"));
    grid->addWidget(fileNameLabel, 0, 0);
    grid->addWidget(ed_PictFileName, 0, 1);
    grid->addWidget(Button2, 0, 2);

    ch_StretchPicture = new QCheckBox(QStringLiteral("St&retch, when size is other than AVI?"));
    ch_StretchPicture->setObjectName(QStringLiteral("ch_StretchPicture"));
    grid->addWidget(ch_StretchPicture, 1, 0, 1, 3);

    m_sizeRow = new QHBoxLayout;
    m_sizeRow->setSpacing(6);
    m_sizeRow->addWidget(new QLabel(QStringLiteral("Dimension of picture:")));
    lb_RozmerySnimku = new QLabel(QStringLiteral("0x0"));
    lb_RozmerySnimku->setObjectName(QStringLiteral("lb_RozmerySnimku"));
    // Room for the largest size, so a new size never moves what stands beside it.
    lb_RozmerySnimku->setFixedWidth(lb_RozmerySnimku->fontMetrics().horizontalAdvance(QStringLiteral("00000 x 00000")));
    m_sizeRow->addWidget(lb_RozmerySnimku);
    m_sizeRow->addStretch(1);
    grid->addLayout(m_sizeRow, 2, 0, 1, 3);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->addStretch(1);
    grid->addLayout(m_buttonRow, 3, 0, 1, 3);

    m_buttons = new QWidget;
    auto* buttons = new QHBoxLayout(m_buttons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(6);
    bt_ZrusitZmeny = new QPushButton(QStringLiteral("&Cancel changes"));
    bt_ZrusitZmeny->setObjectName(QStringLiteral("bt_ZrusitZmeny"));
    bt_UlozitZmeny = new QPushButton(QStringLiteral("&Save changes"));
    bt_UlozitZmeny->setObjectName(QStringLiteral("bt_UlozitZmeny"));
    // As wide as its bold caption, so turning bold moves nothing.
    const QFont normal = bt_UlozitZmeny->font();
    QFont bold = normal;
    bold.setBold(true);
    bt_UlozitZmeny->setFont(bold);
    bt_UlozitZmeny->setMinimumWidth(bt_UlozitZmeny->sizeHint().width());
    bt_UlozitZmeny->setFont(normal);
    buttons->addWidget(bt_ZrusitZmeny);
    buttons->addWidget(bt_UlozitZmeny);

    // The panel may be as narrow as the buttons on their own line allow.
    PlaceButtons(false);
    m_details->setMinimumWidth(grid->minimumSize().width());
    m_oneRowWidth = grid->minimumSize().width() + m_buttons->sizeHint().width() + m_sizeRow->spacing();
    m_oneRowWidth = std::max(m_oneRowWidth, m_sizeRow->minimumSize().width() + m_buttons->sizeHint().width() +
                                                m_sizeRow->spacing() + grid->contentsMargins().left() +
                                                grid->contentsMargins().right());
    PlaceButtons(true);
    m_details->setMinimumHeight(81);
    m_details->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

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
    layout->addWidget(m_details);
    layout->addWidget(ScrollBox_Picture, 1);

    connect(ed_PictFileName, &QLineEdit::textChanged, this,
            Guarded(this, m_services, [this] { ed_PictFileNameChange(); }));
    connect(ch_StretchPicture, &QCheckBox::stateChanged, this,
            Guarded(this, m_services, [this] { ch_StretchPictureClick(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded(this, m_services, [this] { Button2Click(); }));
    connect(bt_ZrusitZmeny, &QPushButton::clicked, this, Guarded(this, m_services, [this] { bt_ZrusitZmenyClick(); }));
    connect(bt_UlozitZmeny, &QPushButton::clicked, this, Guarded(this, m_services, [this] { bt_UlozitZmenyClick(); }));
}

void FrameDetails::PlaceButtons(bool besideSize)
{
    QHBoxLayout* to = besideSize ? m_sizeRow : m_buttonRow;
    if (to->indexOf(m_buttons) >= 0) {
        return;
    }
    (besideSize ? m_buttonRow : m_sizeRow)->removeWidget(m_buttons);
    to->addWidget(m_buttons);
}

void FrameDetails::resizeEvent(QResizeEvent* event)
{
    PlaceButtons(width() >= m_oneRowWidth);
    QWidget::resizeEvent(event);
}

void FrameDetails::ShowSelectedFrames()
{
    const QList<int> selected = m_session.Selection().Rows;
    m_fillingPanel = true;
    const auto endFilling = qScopeGuard([this] { m_fillingPanel = false; });
    if (selected.isEmpty()) {
        ed_PictFileName->clear();
        return;
    }
    const std::string& workingCopy = m_session.WorkingCopyPath();
    project::FrameRecord summary{};
    if (selected.size() == 1) {
        ch_StretchPicture->setTristate(false);
        project::ReadFrameRecord(workingCopy, m_session.Selection().Current, summary);
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
    if (m_fillingPanel || (on && m_session.Selection().Rows.isEmpty())) {
        return;
    }
    m_session.SetPendingChanges(on);
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
    if (m_session.Selection().Rows.isEmpty()) {
        return;
    }
    SdilenePrvky& dialogs = *m_services.SharedDialog;
    dialogs.PrepareFileDialog(kPicturesMode);
    dialogs.OpenDialog.AllowMultiSelect = false;
    dialogs.OpenDialog.FileName = ed_PictFileName->text();
    if (m_services.RunSharedDialog(window())) {
        ed_PictFileName->setText(dialogs.OpenDialog.FileName);
    }
}

void FrameDetails::bt_ZrusitZmenyClick()
{
    if (m_session.Selection().Rows.isEmpty()) {
        return;
    }
    SetEditingMode(false);
    m_session.SetSelection(m_session.Selection());
}

void FrameDetails::bt_UlozitZmenyClick()
{
    const QList<int> selected = m_session.Selection().Rows;
    if (selected.isEmpty()) {
        return;
    }
    const QString name = ed_PictFileName->text();
    const bool keepNames = name == kDifferentNames;
    const std::string nativeName = ToNativePath(name);
    if (!keepNames && nativeName.size() > project::kMaxTextLength) {
        // Nothing is stored and the edit stays open for a shorter name.
        m_services.ReportError(window(), msg::kNameTooLong.arg(project::kMaxTextLength) + name);
        return;
    }
    const Qt::CheckState stretch = ch_StretchPicture->checkState();
    std::optional<std::uint8_t> storedStretch;
    if (stretch != Qt::PartiallyChecked) {
        storedStretch = stretch == Qt::Checked ? 1 : 0;
    }
    m_session.SaveDetails(selected, keepNames ? std::nullopt : std::optional<std::string>(nativeName), storedStretch);
    SetEditingMode(false);
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
        m_services.ReportError(window(), msg::kErrorReading + FromCoreText(error.what()) + msg::kCorrectOrRemove);
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
