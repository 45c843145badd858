#include "ui/FrameDetails.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
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
#include <algorithm>
#include <cmath>

#include "avi/engine/VideoSettings.h"
#include "avi/frames/FrameFitting.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "pictures/PictureFile.h"
#include "ui/CommandGuard.h"
#include "ui/FrameList.h"
#include "ui/Messages.h"
#include "ui/ProjectSession.h"
#include "ui/QtConvert.h"
#include "ui/RecordCache.h"
#include "ui/Thumbnails.h"

namespace kinetar::ui {

namespace {

// The name field's text while the selected frames name different files.
const QString kDifferentNames = QStringLiteral("  ");
// The summary's stretch while the selected frames differ in it; never stored.
constexpr std::uint8_t kDifferentStretch = 255;
// What an empty field means, and that it stands for several frames' differing values.
const QString kOneFrame = QStringLiteral("one frame");
const QString kNoCrossfade = QStringLiteral("none");
const QString kDifferentValues = QStringLiteral("various");
// A preview needs no more pixels than a large screen shows: a larger video is drawn smaller.
constexpr double kMaxPreviewPixels = 3840.0 * 2160.0;

void ShowSeconds(QLineEdit* field, std::uint32_t milliseconds, const QString& emptyMeans)
{
    const bool differ = milliseconds == kDifferentMilliseconds;
    field->setPlaceholderText(differ ? kDifferentValues : emptyMeans);
    field->setText(differ || milliseconds == 0 ? QString()
                                               : QString::fromStdString(project::FormatSeconds(milliseconds)));
}

QLineEdit* SecondsField(const char* name, const QString& emptyMeans)
{
    auto* field = new QLineEdit;
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(emptyMeans);
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(kOneFrame + QStringLiteral("00")) + 8);
    return field;
}

}  // namespace

void MergeFrameSummary(project::FrameRecord& summary, const project::FrameRecord& record)
{
    const QString name = FromNativePath(project::GetText(summary.PictureFileName));
    if (name != kDifferentNames &&
        CompareIgnoringCase(name, FromNativePath(project::GetText(record.PictureFileName))) != 0) {
        project::SetText(summary.PictureFileName, ToNativePath(kDifferentNames));
    }
    // The fit first: while its byte is 0 it reads the stretch byte.
    if (summary.Fit != kDifferentFit && project::GetFit(summary) != project::GetFit(record)) {
        summary.Fit = kDifferentFit;
    }
    if (summary.Duration.Get() != kDifferentMilliseconds && summary.Duration.Get() != record.Duration.Get()) {
        summary.Duration = kDifferentMilliseconds;
    }
    if (summary.Crossfade.Get() != kDifferentMilliseconds && summary.Crossfade.Get() != record.Crossfade.Get()) {
        summary.Crossfade = kDifferentMilliseconds;
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
    // The video's size and background come from the settings.
    connect(&m_session, &ProjectSession::HeaderChanged, this, Guarded(this, m_services, [this] { ShowFitted(); }));
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

    // "Fit" has no free access key: its letters open menus or go to the file name.
    cb_Prizpusobeni = new QComboBox;
    cb_Prizpusobeni->setObjectName(QStringLiteral("cb_Prizpusobeni"));
    // In the order of project::FitMode, so an item's index is its mode.
    cb_Prizpusobeni->addItems({QStringLiteral("Stretch"), QStringLiteral("Top-left"), QStringLiteral("Letterbox"),
                               QStringLiteral("Crop"), QStringLiteral("Centre")});
    cb_Prizpusobeni->setPlaceholderText(kDifferentValues);
    cb_Prizpusobeni->setCurrentIndex(static_cast<int>(project::FitMode::TopLeft));  // as the stretch box starts
    auto* fitRow = new QHBoxLayout;
    fitRow->addWidget(cb_Prizpusobeni);
    fitRow->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("Fit:")), 2, 0);
    grid->addLayout(fitRow, 2, 1, 1, 2);

    ed_DobaZobrazeni = SecondsField("ed_DobaZobrazeni", kOneFrame);
    ed_Prolinani = SecondsField("ed_Prolinani", kNoCrossfade);
    auto* showForLabel = new QLabel(QStringLiteral("Sho&w for:"));
    showForLabel->setBuddy(ed_DobaZobrazeni);
    auto* crossfadeLabel = new QLabel(QStringLiteral("Crossfa&de:"));
    crossfadeLabel->setBuddy(ed_Prolinani);
    // A row each, so the panel stays as narrow as its other rows allow.
    int row = 3;
    for (const auto& [label, field] : {std::pair{showForLabel, ed_DobaZobrazeni}, {crossfadeLabel, ed_Prolinani}}) {
        auto* fieldRow = new QHBoxLayout;
        fieldRow->setSpacing(4);
        fieldRow->addWidget(field);
        fieldRow->addWidget(new QLabel(QStringLiteral("s")));
        fieldRow->addStretch(1);
        grid->addWidget(label, row, 0);
        grid->addLayout(fieldRow, row++, 1, 1, 2);
    }

    m_sizeRow = new QHBoxLayout;
    m_sizeRow->setSpacing(6);
    m_sizeCaption = new QLabel(QStringLiteral("Dimension of picture:"));
    m_sizeCaption->setObjectName(QStringLiteral("lb_RozmerySnimkuPopis"));
    m_sizeRow->addWidget(m_sizeCaption);
    lb_RozmerySnimku = new QLabel(QStringLiteral("0x0"));
    lb_RozmerySnimku->setObjectName(QStringLiteral("lb_RozmerySnimku"));
    // Room for the largest size, so a new size never moves what stands beside it.
    lb_RozmerySnimku->setFixedWidth(lb_RozmerySnimku->fontMetrics().horizontalAdvance(QStringLiteral("00000 x 00000")));
    m_sizeRow->addWidget(lb_RozmerySnimku);
    m_sizeRow->addStretch(1);
    grid->addLayout(m_sizeRow, 5, 0, 1, 3);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->addStretch(1);
    grid->addLayout(m_buttonRow, 6, 0, 1, 3);

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
    // The label holds the whole frame and draws it at the size the panel gives it.
    Image_Preview->setScaledContents(true);
    ScrollBox_Picture = new QScrollArea;
    ScrollBox_Picture->setObjectName(QStringLiteral("ScrollBox_Picture"));
    ScrollBox_Picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox_Picture->setWidget(Image_Preview);
    // The preview always fits, so nothing scrolls.
    ScrollBox_Picture->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox_Picture->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox_Picture->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_details);
    layout->addWidget(ScrollBox_Picture, 1);

    connect(ed_PictFileName, &QLineEdit::textChanged, this,
            Guarded(this, m_services, [this] { ed_PictFileNameChange(); }));
    connect(ch_StretchPicture, &QCheckBox::stateChanged, this,
            Guarded(this, m_services, [this] { ch_StretchPictureClick(); }));
    connect(cb_Prizpusobeni, &QComboBox::currentIndexChanged, this,
            Guarded(this, m_services, [this] { cb_PrizpusobeniChange(); }));
    for (QLineEdit* field : {ed_DobaZobrazeni, ed_Prolinani}) {
        connect(field, &QLineEdit::textChanged, this, Guarded(this, m_services, [this] { ed_DobaZobrazeniChange(); }));
    }
    connect(Button2, &QPushButton::clicked, this, Guarded(this, m_services, [this] { Button2Click(); }));
    connect(bt_ZrusitZmeny, &QPushButton::clicked, this, Guarded(this, m_services, [this] { bt_ZrusitZmenyClick(); }));
    connect(bt_UlozitZmeny, &QPushButton::clicked, this, Guarded(this, m_services, [this] { bt_UlozitZmenyClick(); }));
    connect(&m_soundProbe, &SoundLengthProbe::Measured, this, &FrameDetails::ShowSoundLength);
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

bool FrameDetails::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ScrollBox_Picture->viewport() && event->type() == QEvent::Resize) {
        ScalePreview();
    }
    return QWidget::eventFilter(watched, event);
}

void FrameDetails::ShowSelectedFrames()
{
    const QList<int> selected = m_session.Selection().Rows;
    m_fillingPanel = true;
    const auto endFilling = qScopeGuard([this] { m_fillingPanel = false; });
    m_soundSelected = !selected.isEmpty() && std::all_of(selected.begin(), selected.end(), [&](int row) {
        return row >= 0 && row < m_session.LineCount() && m_session.SoundAt(row);
    });
    // A sound takes no time and fills no frame.
    for (QWidget* field :
         std::initializer_list<QWidget*>{ch_StretchPicture, cb_Prizpusobeni, ed_DobaZobrazeni, ed_Prolinani}) {
        field->setEnabled(!m_soundSelected);
    }
    if (selected.isEmpty()) {
        ed_PictFileName->clear();
        // The fit list follows the stretch box, which keeps its last state.
        cb_Prizpusobeni->setCurrentIndex(static_cast<int>(
            ch_StretchPicture->checkState() == Qt::Checked ? project::FitMode::Stretch : project::FitMode::TopLeft));
        ed_DobaZobrazeni->clear();
        ed_Prolinani->clear();
        return;
    }
    const std::string& workingCopy = m_session.WorkingCopyPath();
    project::FrameRecord summary{};
    if (selected.size() == 1) {
        ch_StretchPicture->setTristate(false);
        project::ReadFrameRecord(workingCopy, m_session.Selection().Current, summary);
    } else {
        // A block of records at a time rather than one read per selected line or the whole copy.
        bool first = true;
        ForEachFrameRecord(workingCopy, selected, [&](int, const project::FrameRecord& record) {
            if (first) {
                summary = record;
                // A fit byte of 255 from elsewhere reads the stretch byte, as 0 does.
                summary.Fit = summary.Fit == kDifferentFit ? 0 : summary.Fit;
                first = false;
            } else {
                MergeFrameSummary(summary, record);
            }
        });
        ch_StretchPicture->setTristate(true);
    }
    ed_PictFileName->setText(FromNativePath(project::GetText(summary.PictureFileName)));
    ch_StretchPicture->setCheckState(summary.Stretch == kDifferentStretch ? Qt::PartiallyChecked
                                     : summary.Stretch != 0               ? Qt::Checked
                                                                          : Qt::Unchecked);
    cb_Prizpusobeni->setCurrentIndex(summary.Fit == kDifferentFit ? -1 : static_cast<int>(project::GetFit(summary)));
    ShowSeconds(ed_DobaZobrazeni, summary.Duration, kOneFrame);
    ShowSeconds(ed_Prolinani, summary.Crossfade, kNoCrossfade);
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
    if (m_fillingPanel || m_syncingFit) {
        return;
    }
    // The box stands for the two fits it has always meant; grey keeps each frame's own fit.
    m_syncingFit = true;
    const auto endSync = qScopeGuard([this] { m_syncingFit = false; });
    const Qt::CheckState state = ch_StretchPicture->checkState();
    cb_Prizpusobeni->setCurrentIndex(state == Qt::PartiallyChecked ? -1
                                     : state == Qt::Checked        ? static_cast<int>(project::FitMode::Stretch)
                                                                   : static_cast<int>(project::FitMode::TopLeft));
    ShowFitted();
}

void FrameDetails::cb_PrizpusobeniChange()
{
    SetEditingMode(true);
    const std::optional<project::FitMode> fit = ChosenFit();
    if (m_fillingPanel || m_syncingFit || !fit) {
        return;
    }
    // The box shows the stretch byte that saving this fit writes.
    m_syncingFit = true;
    const auto endSync = qScopeGuard([this] { m_syncingFit = false; });
    project::FrameRecord written{};
    project::SetFit(written, *fit);
    ch_StretchPicture->setCheckState(written.Stretch != 0 ? Qt::Checked : Qt::Unchecked);
    ShowFitted();
}

void FrameDetails::ed_DobaZobrazeniChange()
{
    SetEditingMode(true);
}

std::optional<project::FitMode> FrameDetails::ChosenFit() const
{
    const int index = cb_Prizpusobeni->currentIndex();
    return index < 0 ? std::nullopt : std::optional(static_cast<project::FitMode>(index));
}

bool FrameDetails::ReadSeconds(QLineEdit* field, std::optional<std::uint32_t>& milliseconds)
{
    const QString text = field->text().trimmed();
    if (text.isEmpty()) {
        // Several frames' differing values stay unless the user has edited the field.
        const bool keep = field->placeholderText() == kDifferentValues && !field->isModified();
        milliseconds = keep ? std::nullopt : std::optional<std::uint32_t>(0);
        return true;
    }
    milliseconds = project::ParseSeconds(text.toStdString());
    if (!milliseconds) {
        m_services.ReportError(window(), msg::kNotSeconds.arg(text).arg(project::kMaxMilliseconds / 1000));
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
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
    DetailsEdit edit;
    if (!ReadSeconds(ed_DobaZobrazeni, edit.Duration) || !ReadSeconds(ed_Prolinani, edit.Crossfade)) {
        return;
    }
    if (!keepNames) {
        edit.Name = nativeName;
    }
    if (m_soundSelected) {
        // The picture's fields are off: a sound record keeps its other bytes as they are.
        m_session.SaveDetails(selected, {edit.Name, {}, {}, {}, {}});
        SetEditingMode(false);
        RefreshPreview();
        return;
    }
    const Qt::CheckState stretch = ch_StretchPicture->checkState();
    if (stretch != Qt::PartiallyChecked) {
        edit.Stretch = stretch == Qt::Checked ? 1 : 0;
    }
    edit.Fit = ChosenFit();
    m_session.SaveDetails(selected, edit);
    SetEditingMode(false);
    RefreshPreview();
}

void FrameDetails::RefreshPreview()
{
    m_sizeCaption->setText(QStringLiteral("Dimension of picture:"));
    lb_RozmerySnimku->setText(QStringLiteral("none"));
    m_pictureShown = false;
    m_soundRequest = 0;  // a length still being read is for another file
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
    if (m_soundSelected) {
        // Never read as a picture; its length comes when the sound library has read it.
        m_sizeCaption->setText(QStringLiteral("Sound:"));
        lb_RozmerySnimku->setText(QStringLiteral("\u2026"));
        ShowImage(SoundNotePixmap(QSize(ThumbnailCache::kWidth, ThumbnailCache::kHeight) * 2).toImage());
        m_soundRequest = m_soundProbe.Measure({text});
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
    m_pictureShown = true;
    ShowFitted();
}

void FrameDetails::ShowSoundLength(int request, const QList<qint64>& milliseconds)
{
    if (request != m_soundRequest || milliseconds.size() != 1) {
        return;
    }
    lb_RozmerySnimku->setText(milliseconds.front() < 0 ? QStringLiteral("length unknown")
                                                       : SoundLengthText(milliseconds.front()));
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
    ShowImage(ToImage(m_picture));
}

void FrameDetails::ShowFitted()
{
    if (!m_pictureShown) {
        return;
    }
    const std::string& workingCopy = m_session.WorkingCopyPath();
    project::ProjectHeader header;
    (void)project::ReadProjectHeader(workingCopy, header);
    project::FrameRecord record{};
    (void)project::ReadFrameRecord(workingCopy, m_session.Selection().Current, record);
    avi::FitOptions options = avi::FitOptionsFor(header, record);
    options.Mode = ChosenFit().value_or(options.Mode);

    // A size the video cannot have is proposed from the picture when the video is made.
    std::int32_t width = header.Width;
    std::int32_t height = header.Height;
    const auto possible = [](std::int32_t side) { return side >= avi::kMinVideoSide && side <= avi::kMaxVideoSide; };
    if (!possible(width) || !possible(height)) {
        width = m_picture.Width();
        height = m_picture.Height();
    }
    if (width == m_picture.Width() && height == m_picture.Height()) {
        ShowImage(ToImage(m_picture));  // fitting would copy it as it is
        return;
    }
    const double pixels = static_cast<double>(width) * height;
    if (pixels > kMaxPreviewPixels) {
        const double scale = std::sqrt(kMaxPreviewPixels / pixels);
        width = std::max(1, static_cast<std::int32_t>(std::lround(width * scale)));
        height = std::max(1, static_cast<std::int32_t>(std::lround(height * scale)));
    }
    avi::WorkingFrame frame(width, height);
    avi::FitPicture(m_picture, options, frame);
    ShowImage(ToImage(frame));
}

void FrameDetails::ShowImage(const QImage& image)
{
    Image_Preview->setPixmap(QPixmap::fromImage(image, Qt::NoFormatConversion));
    ScalePreview();
}

void FrameDetails::ScalePreview()
{
    const QSize whole = Image_Preview->pixmap().size();
    const QSize room = ScrollBox_Picture->viewport()->size();
    if (whole.isEmpty()) {
        return;
    }
    QSize shown = whole;
    if ((whole.width() > room.width() || whole.height() > room.height()) && !room.isEmpty()) {
        shown = whole.scaled(room, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    }
    Image_Preview->resize(shown);
}

}  // namespace kinetar::ui
