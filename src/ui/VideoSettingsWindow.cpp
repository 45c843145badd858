#include "ui/VideoSettingsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "avi/engine/AviEngine.h"
#include "avi/engine/ResultCode.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/RecordPaths.h"
#include "project/Slideshow.h"
#include "session/ProjectSession.h"
#include "settings/StoredSettings.h"
#include "ui/CommandGuard.h"
#include "ui/CompressorChooser.h"
#include "ui/QtConvert.h"
#include "ui/SizePresets.h"
#include "ui/VideoSettingsForm.h"

namespace kinetar::ui {

namespace {

constexpr int kClientWidth = 414;
constexpr int kClientHeight = 203;
const QPoint kDesignPosition(178, 106);

QLabel* Label(const char* text)
{
    return new QLabel(QString::fromLatin1(text));
}

}  // namespace

VideoSettingsWindow::VideoSettingsWindow(session::ProjectSession& session, UiServices services, QWidget* parent)
    : QDialog(parent), m_session(session), m_services(std::move(services)), m_projectPath(session.ProjectPath())
{
    setObjectName(QStringLiteral("AVICreateWindow"));
    setWindowTitle(QStringLiteral("Setting and generating AVI file"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    CreateControls();
    ConnectHandlers();
    FillFromProject();
}

VideoSettingsWindow::~VideoSettingsWindow()
{
    StorePosition();
}

void VideoSettingsWindow::CreateControls()
{
    m_widthField = new QLineEdit(QStringLiteral("0"));
    m_widthField->setObjectName(QStringLiteral("ed_SirkaAVI"));
    m_heightField = new QLineEdit(QStringLiteral("0"));
    m_heightField->setObjectName(QStringLiteral("ed_VyskaAVI"));
    for (QLineEdit* side : {m_widthField, m_heightField}) {
        side->setMinimumWidth(side->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 8);
        side->setMaximumWidth(side->minimumWidth() + 10);
    }

    m_rateBox = new QComboBox;
    m_rateBox->setObjectName(QStringLiteral("cb_SnimkuZaSekundu"));
    m_rateBox->setEditable(true);
    m_rateBox->setInsertPolicy(QComboBox::NoInsert);
    m_rateBox->addItems({QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("12"),
                         QStringLiteral("16"), QStringLiteral("20"), QStringLiteral("23.976"), QStringLiteral("24"),
                         QStringLiteral("25"), QStringLiteral("29.97"), QStringLiteral("30"), QStringLiteral("32"),
                         QStringLiteral("50"), QStringLiteral("59.94"), QStringLiteral("60")});
    m_rateBox->setEditText(QStringLiteral("3"));
    // Room for the longest rate a header holds as a fraction, so "30000/1001" shows whole.
    m_rateBox->setMinimumContentsLength(static_cast<int>(QStringLiteral("30000/1001").size()));

    m_sizePresetBox = new QComboBox;
    m_sizePresetBox->setObjectName(QStringLiteral("cb_VelikostAVI"));
    for (int index = 0; index < SizePresetCount(); ++index) {
        m_sizePresetBox->addItem(SizePresetText(index));
    }
    // Shown while the fields hold a size no preset has; not to be chosen.
    m_sizePresetBox->addItem(QStringLiteral("Custom"));
    qobject_cast<QStandardItemModel*>(m_sizePresetBox->model())->item(m_sizePresetBox->count() - 1)->setEnabled(false);
    m_backgroundButton = new QPushButton;
    m_backgroundButton->setObjectName(QStringLiteral("bt_BarvaPozadi"));
    m_smoothBox = new QCheckBox(QStringLiteral("&Smooth scaling"));
    m_smoothBox->setObjectName(QStringLiteral("ch_HladkeZmenseni"));
    m_lengthLabel = new QLabel;
    m_lengthLabel->setObjectName(QStringLiteral("lb_DelkaVidea"));
    m_lengthLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for a long video, so a new rate never resizes the window.
    m_lengthLabel->setMinimumWidth(
        m_lengthLabel->fontMetrics().horizontalAdvance(QStringLiteral("Length: 10:00:00.0 \u2014 9,999,999 frames")));
    // A line of its own that is always there, so a note coming or going never resizes the window.
    m_noteLabel = new QLabel;
    m_noteLabel->setObjectName(QStringLiteral("lb_Poznamka"));
    m_noteLabel->setMinimumHeight(m_noteLabel->fontMetrics().height());
    m_noteLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    m_depthBox = new QComboBox;
    m_depthBox->setObjectName(QStringLiteral("cb_HloubkaBarevAVI"));
    m_depthBox->addItems({QStringLiteral("1 bit - MONOCHROME(B/W)"), QStringLiteral("4 bits - 16 colors"),
                          QStringLiteral("8 bits - 256 colors"), QStringLiteral("24 bits - true colors")});

    m_destinationField = new QLineEdit;
    m_destinationField->setObjectName(QStringLiteral("ed_FileNameAVI"));
    m_browseButton = new QPushButton(QStringLiteral("&Browse..."));
    m_browseButton->setObjectName(QStringLiteral("Button1"));
    m_playAfterBox = new QCheckBox(QStringLiteral("&Play AVI after generation"));
    m_playAfterBox->setObjectName(QStringLiteral("ch_playAVIafter"));

    m_generateButton = new QPushButton(QStringLiteral("Generate AVI"));
    m_generateButton->setObjectName(QStringLiteral("bt_Generuj"));
    m_generateButton->setDefault(true);
    QFont bold = m_generateButton->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    m_generateButton->setFont(bold);
    m_generateButton->setMinimumWidth(m_generateButton->sizeHint().width() + 40);

    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    m_progressBar = new QProgressBar;
    m_progressBar->setObjectName(QStringLiteral("ProgressBar_Generace"));
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(false);  // the label under it says the percentage
    m_percentLabel = new QLabel(QStringLiteral("0%"));
    m_percentLabel->setObjectName(QStringLiteral("Prubeh"));
    m_percentLabel->setAlignment(Qt::AlignCenter);
    // Frames and time left flank the percentage, which stays in the middle.
    m_framesDoneText = new QLabel;
    m_framesDoneText->setObjectName(QStringLiteral("lb_HotovoSnimku"));
    m_timeLeft = new QLabel;
    m_timeLeft->setObjectName(QStringLiteral("lb_ZbyvaCasu"));
    m_timeLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* side : {m_framesDoneText, m_timeLeft}) {
        side->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    m_minimizeButton = new QPushButton(QStringLiteral("&Minimalize"));
    m_minimizeButton->setObjectName(QStringLiteral("Button2"));
    m_closeButton = new QPushButton(QStringLiteral("&Cancel..."));
    m_closeButton->setObjectName(QStringLiteral("Button3"));
    for (QPushButton* button : {m_browseButton, m_minimizeButton, m_closeButton, m_backgroundButton}) {
        button->setAutoDefault(false);  // Enter belongs to the Generate button
    }

    auto* sizes = new QHBoxLayout;
    sizes->setSpacing(4);
    sizes->addWidget(Label("Width:"));
    sizes->addWidget(m_widthField);
    sizes->addSpacing(8);
    sizes->addWidget(Label("Height:"));
    sizes->addWidget(m_heightField);
    sizes->addSpacing(8);
    sizes->addWidget(Label("Frames per seconds:"));
    sizes->addWidget(m_rateBox, 1);

    auto* framing = new QHBoxLayout;
    framing->setSpacing(4);
    auto* presetLabel = Label("Si&ze:");
    presetLabel->setBuddy(m_sizePresetBox);
    auto* backgroundLabel = Label("Back&ground:");
    backgroundLabel->setBuddy(m_backgroundButton);
    framing->addWidget(presetLabel);
    framing->addWidget(m_sizePresetBox);
    framing->addSpacing(8);
    framing->addWidget(backgroundLabel);
    framing->addWidget(m_backgroundButton);
    framing->addSpacing(8);
    framing->addWidget(m_smoothBox);
    framing->addStretch();

    auto* depth = new QHBoxLayout;
    depth->addWidget(Label("Depth of colors:"));
    depth->addWidget(m_depthBox, 1);

    auto* destination = new QHBoxLayout;
    m_destinationLabel = Label("Destination AVI file:");
    destination->addWidget(m_destinationLabel);
    destination->addWidget(m_destinationField, 1);
    destination->addWidget(m_browseButton);

    auto* generate = new QHBoxLayout;
    generate->addStretch();
    generate->addWidget(m_generateButton);
    generate->addStretch();

    auto* progress = new QHBoxLayout;
    progress->addWidget(m_framesDoneText, 1);
    progress->addWidget(m_percentLabel);
    progress->addWidget(m_timeLeft, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_minimizeButton);
    buttons->addWidget(m_closeButton);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    auto* playAndLength = new QHBoxLayout;
    playAndLength->addWidget(m_playAfterBox);
    playAndLength->addStretch();
    playAndLength->addWidget(m_lengthLabel);

    layout->addLayout(sizes);
    layout->addLayout(framing);
    layout->addLayout(depth);
    layout->addLayout(destination);
    layout->addWidget(m_noteLabel);
    layout->addLayout(playAndLength);
    layout->addLayout(generate);
    layout->addWidget(separator);
    layout->addWidget(m_progressBar);
    layout->addLayout(progress);
    layout->addLayout(buttons);

    // The designed size where the texts fit in it; larger where this platform's fonts need more.
    const QSize needed = layout->sizeHint();
    setFixedSize(std::max(kClientWidth, needed.width()), std::max(kClientHeight, needed.height()));
}

void VideoSettingsWindow::ConnectHandlers()
{
    const auto handle = [this](auto* sender, auto signal, void (VideoSettingsWindow::*handler)()) {
        connect(sender, signal, this, Guarded(this, m_services, [this, handler] { (this->*handler)(); }));
    };
    handle(m_widthField, &QLineEdit::textChanged, &VideoSettingsWindow::OnSettingEdited);
    handle(m_heightField, &QLineEdit::textChanged, &VideoSettingsWindow::OnSettingEdited);
    handle(m_depthBox, &QComboBox::currentIndexChanged, &VideoSettingsWindow::OnSettingEdited);
    handle(m_playAfterBox, &QCheckBox::stateChanged, &VideoSettingsWindow::OnSettingEdited);
    handle(m_destinationField, &QLineEdit::textChanged, &VideoSettingsWindow::OnDestinationEdited);
    handle(m_rateBox, &QComboBox::editTextChanged, &VideoSettingsWindow::OnRateEdited);
    handle(m_smoothBox, &QCheckBox::stateChanged, &VideoSettingsWindow::OnSettingEdited);
    handle(m_backgroundButton, &QPushButton::clicked, &VideoSettingsWindow::OnBackgroundClicked);
    for (QLineEdit* side : {m_widthField, m_heightField}) {
        handle(side, &QLineEdit::textChanged, &VideoSettingsWindow::ShowSizePreset);
        handle(side, &QLineEdit::textChanged, &VideoSettingsWindow::ShowPaddingNote);
    }
    handle(m_destinationField, &QLineEdit::textChanged, &VideoSettingsWindow::ShowPaddingNote);
    connect(&m_soundProbe, &session::SoundLengthProbe::Measured, this, [this](int, const QList<qint64>& milliseconds) {
        // A sound whose length cannot be read adds nothing, as it adds nothing to the video.
        m_soundMs = milliseconds;
        ShowLength();
    });
    // Only the user's picks: the list following the fields fills nothing.
    connect(m_sizePresetBox, &QComboBox::activated, this,
            [this](int index) { Guarded(this, m_services, [this, index] { OnSizePresetChosen(index); })(); });
    handle(m_browseButton, &QPushButton::clicked, &VideoSettingsWindow::OnBrowseClicked);
    handle(m_generateButton, &QPushButton::clicked, &VideoSettingsWindow::OnGenerateClicked);
    handle(m_minimizeButton, &QPushButton::clicked, &VideoSettingsWindow::OnMinimizeClicked);
    handle(m_closeButton, &QPushButton::clicked, &VideoSettingsWindow::OnCloseOrCancelClicked);
    // The rate's keys reach the combo box, which hands them to its line edit directly.
    for (QWidget* field : {static_cast<QWidget*>(m_widthField), static_cast<QWidget*>(m_heightField),
                           static_cast<QWidget*>(m_rateBox), static_cast<QWidget*>(m_rateBox->lineEdit())}) {
        field->installEventFilter(this);
    }
}

void VideoSettingsWindow::FillFromProject()
{
    move(settings::LoadWindowPosition(kDesignPosition));

    project::ProjectHeader header = m_session.Header();
    m_records = m_session.AllRecords();
    for (const project::FrameRecord& record : m_records) {
        if (project::IsSoundRecord(record)) {
            m_soundPaths << m_session.FileOf(FromNativePath(project::GetText(record.PictureFileName)));
        }
    }
    if (!m_soundPaths.isEmpty()) {
        m_soundProbe.Measure(m_soundPaths);
    }
    const std::string projectPath = ToNativePath(m_projectPath);
    // A default destination too long for the header is put in the field only; Generate refuses it
    // with its message, so it is never cut.
    std::string longDefault;
    if (project::GetText(header.AviFileName).empty() &&
        project::DefaultAviFileName(projectPath).size() > project::kMaxTextLength) {
        longDefault = project::DefaultAviFileName(projectPath);
        project::SetText(header.AviFileName, "-");
    }
    const bool sizeMissing = header.Width == 0 || header.Height == 0;
    // The first picture is the project folder's when its record names it relatively; records that
    // cannot be copied so propose no size, as an unreadable picture does.
    std::optional<project::RecordsWithAbsolutePaths> records;
    if (sizeMissing) {
        try {
            records.emplace(m_session.WorkingCopyPath(), m_session.ProjectFolder());
        } catch (const Error&) {
        }
    }
    bool changed = avi::ProposeSettings(header, projectPath, records ? records->Path() : std::string());
    if (sizeMissing && header.Width != 0 && header.Height != 0) {
        m_firstPictureSize = QSize(header.Width, header.Height);  // the size list shows where it came from
    }
    if (!longDefault.empty()) {
        header.AviFileName.fill('\0');
        changed = true;
    }

    TransferSettings(Direction::ToControls, header);
    if (!longDefault.empty()) {
        m_destinationField->setText(FromNativePath(longDefault));
    }
    ShowKindOfFile();
    OnRateEdited();
    // Filling the fields is no edit of the user's.
    m_settingsChanged = false;
    m_proposed = changed;

    m_progressBar->setValue(0);
    m_closeButton->setText(QStringLiteral("&Close"));
}

void VideoSettingsWindow::StorePosition()
{
    settings::StoreWindowPosition(pos());
}

void VideoSettingsWindow::OnSettingEdited()
{
    m_settingsChanged = true;
}

void VideoSettingsWindow::OnDestinationEdited()
{
    m_settingsChanged = true;
    ShowKindOfFile();
}

void VideoSettingsWindow::ShowKindOfFile()
{
    // The words of an AVI stay as they always were; another kind of file is a video.
    const bool avi = avi::ContainerForPath(ToNativePath(m_destinationField->text())) == avi::Container::Avi;
    const QString kind = avi ? QStringLiteral("AVI") : QStringLiteral("video");
    m_generateButton->setText(QStringLiteral("Generate %1").arg(kind));
    m_destinationLabel->setText(QStringLiteral("Destination %1 file:").arg(kind));
    m_playAfterBox->setText(QStringLiteral("&Play %1 after generation").arg(kind));
}

void VideoSettingsWindow::OnRateEdited()
{
    m_settingsChanged = true;
    // ParseFrameRate refuses a zero rate.
    m_generateButton->setEnabled(project::ParseFrameRate(m_rateBox->currentText().toStdString()).has_value());
    ShowLength();
}

void VideoSettingsWindow::OnSizePresetChosen(int index)
{
    if (index < 0 || index >= SizePresetCount()) {
        return;
    }
    QSize size = SizePresetSize(index);
    if (size.isEmpty()) {
        if (!m_firstPictureSize.isValid()) {
            // Sounds before the first picture are passed over.
            const auto first = std::find_if(m_records.begin(), m_records.end(),
                                            [](const auto& record) { return !project::IsSoundRecord(record); });
            if (first == m_records.end()) {
                m_services.ReportError(this, QStringLiteral("The project has no frames, so it has no first picture."));
                ShowSizePreset();
                return;
            }
            try {
                const auto picture = pictures::LoadPicture(
                    project::ResolveRecordPath(project::GetText(first->PictureFileName), m_session.ProjectFolder()));
                m_firstPictureSize = QSize(picture->Width(), picture->Height());
            } catch (const Error& error) {
                m_services.ReportError(this, FromCoreText(error.what()));
                ShowSizePreset();
                return;
            }
        }
        size = m_firstPictureSize;
    }
    m_widthField->setText(QString::number(size.width()));
    m_heightField->setText(QString::number(size.height()));
}

void VideoSettingsWindow::ShowSizePreset()
{
    const QSize size(ReadWholeNumberOrZero(m_widthField->text()), ReadWholeNumberOrZero(m_heightField->text()));
    m_sizePresetBox->setCurrentIndex(PresetIndexOf(size, m_firstPictureSize));
}

void VideoSettingsWindow::OnBackgroundClicked()
{
    const std::optional<QColor> chosen = m_services.ChooseColor(this, m_background);
    if (chosen) {
        m_background = chosen->toRgb();
        ShowBackground();
        m_settingsChanged = true;
    }
}

void VideoSettingsWindow::ShowBackground()
{
    QPixmap swatch(m_backgroundButton->iconSize());
    swatch.fill(m_background);
    QPainter frame(&swatch);
    frame.setPen(palette().color(QPalette::WindowText));
    frame.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    frame.end();
    m_backgroundButton->setIcon(swatch);
    m_backgroundButton->setText(m_background.name(QColor::HexRgb).toUpper());
}

void VideoSettingsWindow::ShowLength()
{
    const std::optional<project::FrameRate> rate = project::ParseFrameRate(m_rateBox->currentText().toStdString());
    // The core's text is UTF-8 whatever the locale.
    QString text =
        QStringLiteral("Length: ") +
        (rate ? QString::fromStdString(project::VideoLengthText(project::VideoFrameCount(m_records, *rate), *rate))
              : QStringLiteral("\u2014"));
    if (!m_soundPaths.isEmpty()) {
        text += QStringLiteral("; ") + session::MusicLengthText(m_records, rate.value_or(project::FrameRate{0, 1}),
                                                                m_soundMs, QStringLiteral("; "));
    }
    m_lengthLabel->setText(text);
}

void VideoSettingsWindow::ShowPaddingNote()
{
    const avi::Container container = avi::ContainerForPath(ToNativePath(m_destinationField->text()));
    const bool oddWidth = ReadWholeNumberOrZero(m_widthField->text()) % 2 != 0;
    const bool oddHeight = ReadWholeNumberOrZero(m_heightField->text()) % 2 != 0;
    if (container == avi::Container::Avi || (!oddWidth && !oddHeight)) {
        m_noteLabel->clear();
        return;
    }
    const QString added = oddWidth && oddHeight ? QStringLiteral("one column and one row")
                          : oddWidth            ? QStringLiteral("one column")
                                                : QStringLiteral("one row");
    const QString kind = container == avi::Container::Mp4   ? QStringLiteral("MP4")
                         : container == avi::Container::Mkv ? QStringLiteral("Matroska")
                                                            : QStringLiteral("WebM");
    m_noteLabel->setText(QStringLiteral("The frame will be padded by %1: %2 needs even sides.").arg(added, kind));
}

void VideoSettingsWindow::keyPressEvent(QKeyEvent* event)
{
    // No key stands for Close: Escape does nothing.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void VideoSettingsWindow::OnBrowseClicked()
{
    SharedFileDialog& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kAviFileMode);
    dialog.OpenDialog.FileName = m_destinationField->text();
    // The destination's own folder, not the one the program stands in; a typed folder that is not
    // there yet stays in the name, whole.
    if (!m_destinationField->text().isEmpty()) {
        dialog.OpenDialog.Directory = ExistingFolderOf(m_session.FileOf(m_destinationField->text()));
    }
    if (m_services.RunSharedDialog(this)) {
        m_destinationField->setText(dialog.OpenDialog.FileName);
    }
}

}  // namespace kinetar::ui
