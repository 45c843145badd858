#include "ui/AviCreateWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
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
#include <QSpinBox>
#include <QStandardItemModel>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "avi/engine/AviEngine.h"
#include "avi/engine/ResultCode.h"
#include "avi/engine/VideoSettings.h"
#include "avi/writer/Container.h"
#include "common/Error.h"
#include "pictures/LoadPicture.h"
#include "project/Slideshow.h"
#include "settings/StoredSettings.h"
#include "ui/CommandGuard.h"
#include "ui/CompressorChooser.h"
#include "ui/ProjectSession.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

namespace {

constexpr int kClientWidth = 414;
constexpr int kClientHeight = 203;
const QPoint kDesignPosition(178, 106);
const QString kCreateErrorCaption = QStringLiteral("AVI create error");

// The sizes the preset list offers; an empty size stands for the first frame's picture.
struct SizePreset {
    const char* Text;
    QSize Size;
};
const SizePreset kSizePresets[] = {
    {"First picture", {}},
    {"1280 \u00D7 720", {1280, 720}},
    {"1920 \u00D7 1080", {1920, 1080}},
    {"3840 \u00D7 2160", {3840, 2160}},
    {"1080 \u00D7 1920 (vertical)", {1080, 1920}},
    {"1080 \u00D7 1080 (square)", {1080, 1080}},
};

// A whole number in the 32-bit range, or the error every such field reports.
std::int32_t ReadWholeNumber(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        throw Error("'" + ToNativePath(text) + "' is not a valid integer value");
    }
    return static_cast<std::int32_t>(value);
}

// Text that is no number counts as 0.
std::int32_t ReadWholeNumberOrZero(const QString& text)
{
    try {
        return ReadWholeNumber(text);
    } catch (const Error&) {
        return 0;
    }
}

avi::FrameErrorAnswer AskFrameError(const UiServices& services, const std::string& message)
{
    // No owner: the settings window stays usable while the question is open.
    switch (
        services.Ask(nullptr, {QString::fromLatin1(avi::kFrameErrorCaption), FromCoreText(avi::FrameErrorText(message)),
                               QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel})) {
    case QMessageBox::Yes:
        return avi::FrameErrorAnswer::Yes;
    case QMessageBox::No:
        return avi::FrameErrorAnswer::No;
    default:
        return avi::FrameErrorAnswer::Cancel;
    }
}

bool AnyWindowMinimized()
{
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* window) { return window->isMinimized(); });
}

void RestoreMinimizedWindows()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isMinimized()) {
            window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
            window->show();
        }
    }
}

// A path's folder when it is there, else the nearest folder above it that is.
QString ExistingFolderOf(const QString& path)
{
    QDir folder = QFileInfo(path).absoluteDir();
    while (!folder.exists() && !folder.isRoot()) {
        folder.setPath(QFileInfo(folder.path()).absolutePath());
    }
    return folder.path();
}

QLabel* Label(const char* text)
{
    return new QLabel(QString::fromLatin1(text));
}

// An up-down spinner that stays disabled and is coupled to nothing.
QSpinBox* Spinner(const char* name)
{
    auto* spinner = new QSpinBox;
    spinner->setObjectName(QString::fromLatin1(name));
    spinner->setRange(0, 32767);
    spinner->setValue(0);
    spinner->setSpecialValueText(QStringLiteral(" "));  // it never moves from 0: arrows only
    spinner->setEnabled(false);
    return spinner;
}

}  // namespace

QString TimeLeftText(qint64 milliseconds)
{
    const qint64 seconds = (std::max<qint64>(milliseconds, 0) + 999) / 1000;
    if (seconds < 60) {
        return QStringLiteral("about %1 s left").arg(seconds);
    }
    if (seconds < 3600) {
        return QStringLiteral("about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
    }
    const qint64 minutes = seconds / 60;
    return QStringLiteral("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar(u'0'));
}

TAVICreateWindow::TAVICreateWindow(ProjectSession& session, UiServices services, MainWindowControls mainWindow,
                                   QWidget* parent)
    : QDialog(parent),
      m_session(session),
      m_services(std::move(services)),
      m_projectPath(session.ProjectPath()),
      m_workingCopyPath(session.WorkingCopyPath()),
      m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("AVICreateWindow"));
    setWindowTitle(QStringLiteral("Setting and generating AVI file"));
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    CreateControls();
    ConnectHandlers();
    FormCreate();
}

TAVICreateWindow::~TAVICreateWindow()
{
    FormDestroy();
}

void TAVICreateWindow::CreateControls()
{
    ed_SirkaAVI = new QLineEdit(QStringLiteral("0"));
    ed_SirkaAVI->setObjectName(QStringLiteral("ed_SirkaAVI"));
    ud_SirkaAVI = Spinner("ud_SirkaAVI");
    ed_VyskaAVI = new QLineEdit(QStringLiteral("0"));
    ed_VyskaAVI->setObjectName(QStringLiteral("ed_VyskaAVI"));
    ud_VyskaAVI = Spinner("ud_VyskaAVI");
    for (QLineEdit* side : {ed_SirkaAVI, ed_VyskaAVI}) {
        side->setMinimumWidth(side->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 8);
        side->setMaximumWidth(side->minimumWidth() + 10);
    }
    // Only the spinner's arrows show, as the field beside it holds the number.
    for (QSpinBox* spinner : {ud_SirkaAVI, ud_VyskaAVI}) {
        spinner->setFixedWidth(spinner->sizeHint().width() -
                               spinner->fontMetrics().horizontalAdvance(QStringLiteral("32767")));
    }

    cb_SnimkuZaSekundu = new QComboBox;
    cb_SnimkuZaSekundu->setObjectName(QStringLiteral("cb_SnimkuZaSekundu"));
    cb_SnimkuZaSekundu->setEditable(true);
    cb_SnimkuZaSekundu->setInsertPolicy(QComboBox::NoInsert);
    cb_SnimkuZaSekundu->addItems({QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("12"),
                                  QStringLiteral("16"), QStringLiteral("20"), QStringLiteral("23.976"),
                                  QStringLiteral("24"), QStringLiteral("25"), QStringLiteral("29.97"),
                                  QStringLiteral("30"), QStringLiteral("32"), QStringLiteral("50"),
                                  QStringLiteral("59.94"), QStringLiteral("60")});
    cb_SnimkuZaSekundu->setEditText(QStringLiteral("3"));

    cb_VelikostAVI = new QComboBox;
    cb_VelikostAVI->setObjectName(QStringLiteral("cb_VelikostAVI"));
    for (const SizePreset& preset : kSizePresets) {
        cb_VelikostAVI->addItem(QString::fromUtf8(preset.Text));
    }
    // Shown while the fields hold a size no preset has; not to be chosen.
    cb_VelikostAVI->addItem(QStringLiteral("Custom"));
    qobject_cast<QStandardItemModel*>(cb_VelikostAVI->model())->item(cb_VelikostAVI->count() - 1)->setEnabled(false);
    bt_BarvaPozadi = new QPushButton;
    bt_BarvaPozadi->setObjectName(QStringLiteral("bt_BarvaPozadi"));
    ch_HladkeZmenseni = new QCheckBox(QStringLiteral("&Smooth scaling"));
    ch_HladkeZmenseni->setObjectName(QStringLiteral("ch_HladkeZmenseni"));
    lb_DelkaVidea = new QLabel;
    lb_DelkaVidea->setObjectName(QStringLiteral("lb_DelkaVidea"));
    lb_DelkaVidea->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for a long video, so a new rate never resizes the window.
    lb_DelkaVidea->setMinimumWidth(
        lb_DelkaVidea->fontMetrics().horizontalAdvance(QStringLiteral("Length: 10:00:00.0 \u2014 9,999,999 frames")));
    // A line of its own that is always there, so a note coming or going never resizes the window.
    lb_Poznamka = new QLabel;
    lb_Poznamka->setObjectName(QStringLiteral("lb_Poznamka"));
    lb_Poznamka->setMinimumHeight(lb_Poznamka->fontMetrics().height());
    lb_Poznamka->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    cb_HloubkaBarevAVI = new QComboBox;
    cb_HloubkaBarevAVI->setObjectName(QStringLiteral("cb_HloubkaBarevAVI"));
    cb_HloubkaBarevAVI->addItems({QStringLiteral("1 bit - MONOCHROME(B/W)"), QStringLiteral("4 bits - 16 colors"),
                                  QStringLiteral("8 bits - 256 colors"), QStringLiteral("24 bits - true colors")});

    ed_FileNameAVI = new QLineEdit;
    ed_FileNameAVI->setObjectName(QStringLiteral("ed_FileNameAVI"));
    Button1 = new QPushButton(QStringLiteral("&Browse..."));
    Button1->setObjectName(QStringLiteral("Button1"));
    ch_playAVIafter = new QCheckBox(QStringLiteral("&Play AVI after generation"));
    ch_playAVIafter->setObjectName(QStringLiteral("ch_playAVIafter"));

    bt_Generuj = new QPushButton(QStringLiteral("Generate AVI"));
    bt_Generuj->setObjectName(QStringLiteral("bt_Generuj"));
    bt_Generuj->setDefault(true);
    QFont bold = bt_Generuj->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    bt_Generuj->setFont(bold);
    bt_Generuj->setMinimumWidth(bt_Generuj->sizeHint().width() + 40);

    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    ProgressBar_Generace = new QProgressBar;
    ProgressBar_Generace->setObjectName(QStringLiteral("ProgressBar_Generace"));
    ProgressBar_Generace->setRange(0, 100);
    ProgressBar_Generace->setTextVisible(false);  // the label under it says the percentage
    Prubeh = new QLabel(QStringLiteral("0%"));
    Prubeh->setObjectName(QStringLiteral("Prubeh"));
    Prubeh->setAlignment(Qt::AlignCenter);
    // Frames and time left flank the percentage, which stays in the middle.
    m_framesDoneText = new QLabel;
    m_framesDoneText->setObjectName(QStringLiteral("lb_HotovoSnimku"));
    m_timeLeft = new QLabel;
    m_timeLeft->setObjectName(QStringLiteral("lb_ZbyvaCasu"));
    m_timeLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QLabel* side : {m_framesDoneText, m_timeLeft}) {
        side->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    Button2 = new QPushButton(QStringLiteral("&Minimalize"));
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("&Cancel..."));
    Button3->setObjectName(QStringLiteral("Button3"));
    for (QPushButton* button : {Button1, Button2, Button3, bt_BarvaPozadi}) {
        button->setAutoDefault(false);  // Enter belongs to bt_Generuj
    }

    auto* sizes = new QHBoxLayout;
    sizes->setSpacing(4);
    sizes->addWidget(Label("Width:"));
    sizes->addWidget(ed_SirkaAVI);
    sizes->addWidget(ud_SirkaAVI);
    sizes->addSpacing(8);
    sizes->addWidget(Label("Height:"));
    sizes->addWidget(ed_VyskaAVI);
    sizes->addWidget(ud_VyskaAVI);
    sizes->addSpacing(8);
    sizes->addWidget(Label("Frames per seconds:"));
    sizes->addWidget(cb_SnimkuZaSekundu, 1);

    auto* framing = new QHBoxLayout;
    framing->setSpacing(4);
    auto* presetLabel = Label("Si&ze:");
    presetLabel->setBuddy(cb_VelikostAVI);
    auto* backgroundLabel = Label("Back&ground:");
    backgroundLabel->setBuddy(bt_BarvaPozadi);
    framing->addWidget(presetLabel);
    framing->addWidget(cb_VelikostAVI);
    framing->addSpacing(8);
    framing->addWidget(backgroundLabel);
    framing->addWidget(bt_BarvaPozadi);
    framing->addSpacing(8);
    framing->addWidget(ch_HladkeZmenseni);
    framing->addStretch();

    auto* depth = new QHBoxLayout;
    depth->addWidget(Label("Depth of colors:"));
    depth->addWidget(cb_HloubkaBarevAVI, 1);

    auto* destination = new QHBoxLayout;
    destination->addWidget(Label("Destination AVI file:"));
    destination->addWidget(ed_FileNameAVI, 1);
    destination->addWidget(Button1);

    auto* generate = new QHBoxLayout;
    generate->addStretch();
    generate->addWidget(bt_Generuj);
    generate->addStretch();

    auto* progress = new QHBoxLayout;
    progress->addWidget(m_framesDoneText, 1);
    progress->addWidget(Prubeh);
    progress->addWidget(m_timeLeft, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    auto* playAndLength = new QHBoxLayout;
    playAndLength->addWidget(ch_playAVIafter);
    playAndLength->addStretch();
    playAndLength->addWidget(lb_DelkaVidea);

    layout->addLayout(sizes);
    layout->addLayout(framing);
    layout->addLayout(depth);
    layout->addLayout(destination);
    layout->addWidget(lb_Poznamka);
    layout->addLayout(playAndLength);
    layout->addLayout(generate);
    layout->addWidget(separator);
    layout->addWidget(ProgressBar_Generace);
    layout->addLayout(progress);
    layout->addLayout(buttons);

    // The designed size where the texts fit in it; larger where this platform's fonts need more.
    const QSize needed = layout->sizeHint();
    setFixedSize(std::max(kClientWidth, needed.width()), std::max(kClientHeight, needed.height()));
}

void TAVICreateWindow::ConnectHandlers()
{
    const auto handle = [this](auto* sender, auto signal, void (TAVICreateWindow::*handler)()) {
        connect(sender, signal, this, Guarded(this, m_services, [this, handler] { (this->*handler)(); }));
    };
    handle(ed_SirkaAVI, &QLineEdit::textChanged, &TAVICreateWindow::ed_SirkaAVIChange);
    handle(ed_VyskaAVI, &QLineEdit::textChanged, &TAVICreateWindow::ed_SirkaAVIChange);
    handle(cb_HloubkaBarevAVI, &QComboBox::currentIndexChanged, &TAVICreateWindow::ed_SirkaAVIChange);
    handle(ch_playAVIafter, &QCheckBox::stateChanged, &TAVICreateWindow::ed_SirkaAVIChange);
    handle(ed_FileNameAVI, &QLineEdit::textChanged, &TAVICreateWindow::ed_FileNameAVIChange);
    handle(cb_SnimkuZaSekundu, &QComboBox::editTextChanged, &TAVICreateWindow::cb_SnimkuZaSekunduChange);
    handle(ch_HladkeZmenseni, &QCheckBox::stateChanged, &TAVICreateWindow::ed_SirkaAVIChange);
    handle(bt_BarvaPozadi, &QPushButton::clicked, &TAVICreateWindow::bt_BarvaPozadiClick);
    for (QLineEdit* side : {ed_SirkaAVI, ed_VyskaAVI}) {
        handle(side, &QLineEdit::textChanged, &TAVICreateWindow::ShowSizePreset);
        handle(side, &QLineEdit::textChanged, &TAVICreateWindow::ShowPaddingNote);
    }
    handle(ed_FileNameAVI, &QLineEdit::textChanged, &TAVICreateWindow::ShowPaddingNote);
    connect(&m_soundProbe, &SoundLengthProbe::Measured, this, [this](int, const QList<qint64>& milliseconds) {
        // A sound whose length cannot be read adds nothing, as it adds nothing to the video.
        m_musicMs = 0;
        for (const qint64 length : milliseconds) {
            m_musicMs += std::max<qint64>(length, 0);
        }
        ShowLength();
    });
    // Only the user's picks: the list following the fields fills nothing.
    connect(cb_VelikostAVI, &QComboBox::activated, this,
            [this](int index) { Guarded(this, m_services, [this, index] { cb_VelikostAVISelect(index); })(); });
    handle(Button1, &QPushButton::clicked, &TAVICreateWindow::Button1Click);
    handle(bt_Generuj, &QPushButton::clicked, &TAVICreateWindow::bt_GenerujClick);
    handle(Button2, &QPushButton::clicked, &TAVICreateWindow::Button2Click);
    handle(Button3, &QPushButton::clicked, &TAVICreateWindow::Button3Click);
    // The rate's keys reach the combo box, which hands them to its line edit directly.
    for (QWidget* field :
         {static_cast<QWidget*>(ed_SirkaAVI), static_cast<QWidget*>(ed_VyskaAVI),
          static_cast<QWidget*>(cb_SnimkuZaSekundu), static_cast<QWidget*>(cb_SnimkuZaSekundu->lineEdit())}) {
        field->installEventFilter(this);
    }
}

void TAVICreateWindow::FormCreate()
{
    move(settings::LoadWindowPosition(kDesignPosition));

    project::ProjectHeader header;
    (void)project::ReadProjectHeader(m_workingCopyPath, header);
    project::ReadProject(m_workingCopyPath, &m_records);
    for (const project::FrameRecord& record : m_records) {
        if (project::IsSoundRecord(record)) {
            m_soundPaths << FromNativePath(project::GetText(record.PictureFileName));
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
    bool changed = avi::ProposeSettings(header, projectPath, m_workingCopyPath);
    if (sizeMissing && header.Width != 0 && header.Height != 0) {
        m_firstPictureSize = QSize(header.Width, header.Height);  // the size list shows where it came from
    }
    if (!longDefault.empty()) {
        header.AviFileName.fill('\0');
        changed = true;
    }
    if (changed) {
        (void)m_session.WriteHeader(header);
    }

    TransferSettings(Direction::ToControls, header);
    if (!longDefault.empty()) {
        ed_FileNameAVI->setText(FromNativePath(longDefault));
    }
    cb_SnimkuZaSekunduChange();
    m_settingsChanged = changed;

    ProgressBar_Generace->setValue(0);
    Button3->setText(QStringLiteral("&Close"));
}

void TAVICreateWindow::FormDestroy()
{
    settings::StoreWindowPosition(pos());
}

void TAVICreateWindow::TransferSettings(Direction direction, project::ProjectHeader& header)
{
    if (direction == Direction::ToControls) {
        ed_SirkaAVI->setText(QString::number(header.Width.Get()));
        ed_VyskaAVI->setText(QString::number(header.Height.Get()));
        ed_FileNameAVI->setText(FromNativePath(project::GetText(header.AviFileName)));
        // A code past the list's end selects nothing, which reads back as 255.
        cb_HloubkaBarevAVI->setCurrentIndex(header.ColorDepth < cb_HloubkaBarevAVI->count() ? header.ColorDepth : -1);
        const project::FrameRate rate = project::GetFrameRate(header);
        // A rate that is not positive shows as it is stored, so the user sees what to mend.
        cb_SnimkuZaSekundu->setEditText(rate.Numerator == 0 ? QString::number(header.FramesPerSecond.Get())
                                                            : QString::fromStdString(project::FormatFrameRate(rate)));
        ch_playAVIafter->setChecked(header.PlayAfterCreate != 0);
        m_background = QColor(header.Background[0], header.Background[1], header.Background[2]);
        ShowBackground();
        ch_HladkeZmenseni->setChecked(header.SmoothScaling != 0);
        return;
    }
    // A refused value sends the keyboard to its field once the error has been shown.
    const auto from = [this](QWidget* field, const auto& read) {
        try {
            return read();
        } catch (...) {
            m_fieldAtFault = field;
            throw;
        }
    };
    header.Width = from(ed_SirkaAVI, [this] { return ReadWholeNumber(ed_SirkaAVI->text()); });
    header.Height = from(ed_VyskaAVI, [this] { return ReadWholeNumber(ed_VyskaAVI->text()); });
    const std::string destination = ToNativePath(ed_FileNameAVI->text());
    if (destination.size() > project::kMaxTextLength) {
        m_fieldAtFault = ed_FileNameAVI;
        throw Error("The destination AVI file name is " + std::to_string(destination.size()) +
                    " bytes long, more than the project can hold (" + std::to_string(project::kMaxTextLength) +
                    "): " + destination);
    }
    project::SetText(header.AviFileName, destination);
    const project::FrameRate rate = from(cb_SnimkuZaSekundu, [this] {
        const QString text = cb_SnimkuZaSekundu->currentText();
        const std::optional<project::FrameRate> parsed = project::ParseFrameRate(text.toStdString());
        if (!parsed) {
            throw Error("'" + ToNativePath(text) + "' is not a valid frame rate");
        }
        return *parsed;
    });
    project::SetFrameRate(header, rate);
    header.ColorDepth = static_cast<std::uint8_t>(cb_HloubkaBarevAVI->currentIndex());
    header.PlayAfterCreate = ch_playAVIafter->isChecked() ? 1 : 0;
    header.Background = {static_cast<std::uint8_t>(m_background.red()), static_cast<std::uint8_t>(m_background.green()),
                         static_cast<std::uint8_t>(m_background.blue())};
    header.SmoothScaling = ch_HladkeZmenseni->isChecked() ? 1 : 0;
}

void TAVICreateWindow::ed_SirkaAVIChange()
{
    m_settingsChanged = true;
}

void TAVICreateWindow::ed_FileNameAVIChange()
{
    m_settingsChanged = true;
}

void TAVICreateWindow::cb_SnimkuZaSekunduChange()
{
    m_settingsChanged = true;
    // ParseFrameRate refuses a zero rate.
    bt_Generuj->setEnabled(project::ParseFrameRate(cb_SnimkuZaSekundu->currentText().toStdString()).has_value());
    ShowLength();
}

bool TAVICreateWindow::ed_SirkaAVIKeyPress(QChar key)
{
    return (key >= u'0' && key <= u'9') || key.unicode() < 32;
}

bool TAVICreateWindow::cb_SnimkuZaSekunduKeyPress(QChar key, const QString& rest)
{
    if (key == u'.' || key == u'/') {
        return !rest.contains(key);
    }
    return ed_SirkaAVIKeyPress(key);
}

bool TAVICreateWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.isEmpty()) {
        return QDialog::eventFilter(watched, event);
    }
    bool allowed = false;
    if (watched == cb_SnimkuZaSekundu || watched == cb_SnimkuZaSekundu->lineEdit()) {
        // A "." or "/" the key replaces does not count against it.
        const QLineEdit* field = cb_SnimkuZaSekundu->lineEdit();
        QString rest = field->text();
        if (field->hasSelectedText()) {
            rest.remove(field->selectionStart(), field->selectedText().size());
        }
        allowed = cb_SnimkuZaSekunduKeyPress(text.front(), rest);
    } else {
        allowed = ed_SirkaAVIKeyPress(text.front());
    }
    return !allowed || QDialog::eventFilter(watched, event);
}

void TAVICreateWindow::cb_VelikostAVISelect(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(kSizePresets))) {
        return;
    }
    QSize size = kSizePresets[index].Size;
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
                const auto picture = pictures::LoadPicture(project::GetText(first->PictureFileName));
                m_firstPictureSize = QSize(picture->Width(), picture->Height());
            } catch (const Error& error) {
                m_services.ReportError(this, FromCoreText(error.what()));
                ShowSizePreset();
                return;
            }
        }
        size = m_firstPictureSize;
    }
    ed_SirkaAVI->setText(QString::number(size.width()));
    ed_VyskaAVI->setText(QString::number(size.height()));
}

void TAVICreateWindow::ShowSizePreset()
{
    const QSize size(ReadWholeNumberOrZero(ed_SirkaAVI->text()), ReadWholeNumberOrZero(ed_VyskaAVI->text()));
    const auto matches = [&](const SizePreset& preset) {
        return preset.Size.isEmpty() ? m_firstPictureSize.isValid() && m_firstPictureSize == size : preset.Size == size;
    };
    cb_VelikostAVI->setCurrentIndex(static_cast<int>(
        std::find_if(std::begin(kSizePresets), std::end(kSizePresets), matches) - std::begin(kSizePresets)));
}

void TAVICreateWindow::bt_BarvaPozadiClick()
{
    const std::optional<QColor> chosen = m_services.ChooseColor(this, m_background);
    if (chosen) {
        m_background = chosen->toRgb();
        ShowBackground();
        m_settingsChanged = true;
    }
}

void TAVICreateWindow::ShowBackground()
{
    QPixmap swatch(bt_BarvaPozadi->iconSize());
    swatch.fill(m_background);
    QPainter frame(&swatch);
    frame.setPen(palette().color(QPalette::WindowText));
    frame.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    frame.end();
    bt_BarvaPozadi->setIcon(swatch);
    bt_BarvaPozadi->setText(m_background.name(QColor::HexRgb).toUpper());
}

void TAVICreateWindow::ShowLength()
{
    const std::optional<project::FrameRate> rate =
        project::ParseFrameRate(cb_SnimkuZaSekundu->currentText().toStdString());
    // The core's text is UTF-8 whatever the locale.
    QString text =
        QStringLiteral("Length: ") +
        (rate ? QString::fromStdString(project::VideoLengthText(project::VideoFrameCount(m_records, *rate), *rate))
              : QStringLiteral("\u2014"));
    if (!m_soundPaths.isEmpty()) {
        text += QStringLiteral("; music ") + (m_musicMs < 0 ? QStringLiteral("\u2026") : SoundLengthText(m_musicMs));
    }
    lb_DelkaVidea->setText(text);
}

void TAVICreateWindow::ShowPaddingNote()
{
    const avi::Container container = avi::ContainerForPath(ToNativePath(ed_FileNameAVI->text()));
    const bool oddWidth = ReadWholeNumberOrZero(ed_SirkaAVI->text()) % 2 != 0;
    const bool oddHeight = ReadWholeNumberOrZero(ed_VyskaAVI->text()) % 2 != 0;
    if (container == avi::Container::Avi || (!oddWidth && !oddHeight)) {
        lb_Poznamka->clear();
        return;
    }
    const QString added = oddWidth && oddHeight ? QStringLiteral("one column and one row")
                          : oddWidth            ? QStringLiteral("one column")
                                                : QStringLiteral("one row");
    const QString kind = container == avi::Container::Mp4   ? QStringLiteral("MP4")
                         : container == avi::Container::Mkv ? QStringLiteral("Matroska")
                                                            : QStringLiteral("WebM");
    lb_Poznamka->setText(QStringLiteral("The frame will be padded by %1: %2 needs even sides.").arg(added, kind));
}

void TAVICreateWindow::keyPressEvent(QKeyEvent* event)
{
    // No key stands for Close: Escape does nothing.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAVICreateWindow::Button1Click()
{
    SdilenePrvky& dialog = *m_services.SharedDialog;
    dialog.PrepareFileDialog(kAviFileMode);
    dialog.OpenDialog.FileName = ed_FileNameAVI->text();
    // The destination's own folder, not the one the program stands in; a typed folder that is not
    // there yet stays in the name, whole.
    if (!ed_FileNameAVI->text().isEmpty()) {
        dialog.OpenDialog.Directory = ExistingFolderOf(QDir::current().absoluteFilePath(ed_FileNameAVI->text()));
    }
    if (m_services.RunSharedDialog(this)) {
        ed_FileNameAVI->setText(dialog.OpenDialog.FileName);
    }
}

void TAVICreateWindow::SetGenerating(bool on)
{
    QWidget* mainWindow = m_mainWindow.Snimky != nullptr ? m_mainWindow.Snimky->window() : nullptr;
    if (on) {
        // Disabling a control that has the keyboard sends it elsewhere; it comes back after the run.
        m_focusBefore = focusWidget();
        m_mainFocusBefore = mainWindow != nullptr ? mainWindow->focusWidget() : nullptr;
    }
    m_generating = on;
    bt_Generuj->setEnabled(!on);
    if (m_mainWindow.Snimky != nullptr) {
        m_mainWindow.Snimky->setEnabled(!on);
    }
    for (QMenu* menu : {m_mainWindow.menu_m_polozka, m_mainWindow.menu_m_projekt, m_mainWindow.menu_m_upravy}) {
        if (menu != nullptr) {
            menu->menuAction()->setEnabled(!on);
        }
    }
    for (QWidget* control : std::initializer_list<QWidget*>{ed_SirkaAVI, ed_VyskaAVI, cb_HloubkaBarevAVI,
                                                            ed_FileNameAVI, cb_SnimkuZaSekundu, Button1, cb_VelikostAVI,
                                                            bt_BarvaPozadi, ch_HladkeZmenseni}) {
        control->setEnabled(!on);
    }
    if (!on) {
        if (m_mainFocusBefore != nullptr) {
            m_mainFocusBefore->setFocus();
        }
        QWidget* focus = m_fieldAtFault != nullptr ? m_fieldAtFault.data() : m_focusBefore.data();
        if (focus != nullptr) {
            focus->setFocus();
        }
        m_fieldAtFault = nullptr;
    }
}

void TAVICreateWindow::EndGenerating()
{
    SetGenerating(false);
    m_framesDoneText->clear();
    m_timeLeft->clear();
    ShowProgress(0);
    QApplication::processEvents();
}

void TAVICreateWindow::bt_GenerujClick()
{
    SetGenerating(true);
    Button3->setText(QStringLiteral("&Cancel"));
    try {
        project::ProjectHeader header;
        (void)project::ReadProjectHeader(m_workingCopyPath, header);
        bool transferred = false;
        try {
            TransferSettings(Direction::FromControls, header);
            transferred = true;
        } catch (const std::exception& error) {
            ShowUncaughtError(m_services.Ask, this, error);
            m_cancelRequested = true;
        }
        if (transferred) {
            RunEngine(header);
        }
    } catch (const std::exception& error) {
        ShowUncaughtError(m_services.Ask, this, error);
        m_cancelRequested = true;
    }
    EndGenerating();
    if (AnyWindowMinimized()) {
        RestoreMinimizedWindows();
    }
    if (!m_cancelRequested) {
        if (ch_playAVIafter->isChecked()) {
            PlayAVI();
        } else {
            m_services.Ask(this, {QStringLiteral("Information"), QStringLiteral("AVI generation done."),
                                  QMessageBox::Information, QMessageBox::Ok});
        }
        close();
    }
    m_cancelRequested = false;
    Button3->setText(QStringLiteral("&Close"));
}

void TAVICreateWindow::RunEngine(project::ProjectHeader& header)
{
    if (m_settingsChanged) {
        (void)m_session.WriteHeader(header);
    }
    m_framesDone = 0;
    m_frameCount = 0;
    m_runClock = {};
    avi::EngineServices services;
    const avi::Container container = avi::ContainerForPath(project::GetText(header.AviFileName));
    services.ChooseCompressor = [this, chooser = MakeCompressorChooser(this, nullptr, container)](
                                    project::CodecSettings& variables, const avi::FrameDIB& format) {
        const auto choice = m_engineThread.OnUiThread<std::optional<project::CodecSettings>>(
            [this, &chooser, &format, choice = variables]() mutable -> std::optional<project::CodecSettings> {
                const bool chosen = chooser(choice, format);
                m_runClock.Start(avi::RunClock::Clock::now());  // the time left counts from the first frame
                return chosen ? std::optional(choice) : std::nullopt;
            },
            std::nullopt);
        if (choice) {
            variables = *choice;
        }
        return choice.has_value();
    };
    services.AskFrameError = [this](const avi::UnreadableFile& file) {
        return m_engineThread.OnUiThread<avi::FrameErrorAnswer>([this, file] { return AskFrameErrorInTurn(file); },
                                                                avi::FrameErrorAnswer::Cancel);
    };
    avi::RunOutcome outcome;
    services.Outcome = &outcome;
    const avi::ProgressCallback progress = [this](const avi::RunProgress& report) {
        return m_engineThread.OnUiThread<bool>([this, report] { return ReportProgress(report); }, false);
    };
    // The engine has its own copies of what it writes to, read here only after it has ended.
    std::uint8_t result = avi::kResultDone;
    bool settingsChanged = m_settingsChanged;
    try {
        m_engineThread.Run(
            [&] { m_services.CreateAVI(header, m_workingCopyPath, settingsChanged, progress, result, services); });
    } catch (const std::exception& error) {
        m_settingsChanged = m_settingsChanged || settingsChanged;
        m_fieldAtFault = FieldAtFault(header, result);
        m_services.Ask(this, {kCreateErrorCaption, FromCoreText(error.what()), QMessageBox::Critical, QMessageBox::Ok});
        m_cancelRequested = true;
        return;
    }
    m_settingsChanged = m_settingsChanged || settingsChanged;
    if (result == avi::kResultDone || result == avi::kResultStopped) {
        // The header now holds the run's compressor choice.
        if (m_settingsChanged) {
            (void)m_session.WriteHeader(header);
        }
    } else {
        m_fieldAtFault = FieldAtFault(header, result);
        std::string message = avi::ResultMessage(static_cast<avi::ResultCode>(result));
        // A refused link is not a file in use: say what it is.
        if (result == avi::kResultCannotOpenFile && !outcome.Detail.empty()) {
            message += "\r\n" + outcome.Detail;
        }
        m_services.Ask(this, {kCreateErrorCaption, FromCoreText(message), QMessageBox::Critical, QMessageBox::Ok});
    }
    if (result != avi::kResultDone) {
        m_cancelRequested = true;
    }
}

bool TAVICreateWindow::ReportProgress(const avi::RunProgress& progress)
{
    // Video frames, so a picture shown for many frames moves the count and the time left evenly.
    m_framesDone = progress.FramesDone;
    m_frameCount = progress.FramesTotal;
    m_runClock.Report(m_framesDone, avi::RunClock::Clock::now());
    ShowFramesDone();
    return ShowProgress(progress.Percent);
}

avi::FrameErrorAnswer TAVICreateWindow::AskFrameErrorInTurn(const avi::UnreadableFile& file)
{
    const auto asked = avi::RunClock::Clock::now();
    const avi::FrameErrorAnswer answer = AskFrameError(m_services, file.Message);
    m_runClock.Exclude(avi::RunClock::Clock::now() - asked);
    return answer;
}

void TAVICreateWindow::ShowFramesDone()
{
    m_framesDoneText->setText(QStringLiteral("%1 / %2 frames").arg(m_framesDone).arg(m_frameCount));
    const auto secondsLeft = m_runClock.SecondsLeft(m_frameCount);
    if (m_framesDone == 0 || m_framesDone >= m_frameCount || !secondsLeft) {
        m_timeLeft->clear();
        return;
    }
    m_timeLeft->setText(TimeLeftText(std::llround(*secondsLeft * 1000)));
}

QWidget* TAVICreateWindow::FieldAtFault(const project::ProjectHeader& header, std::uint8_t result) const
{
    const auto outOfRange = [](std::int32_t side) { return side < avi::kMinVideoSide || side > avi::kMaxVideoSide; };
    if (outOfRange(header.Width)) {
        return ed_SirkaAVI;
    }
    if (outOfRange(header.Height)) {
        return ed_VyskaAVI;
    }
    if (header.FramesPerSecond < 1) {
        return cb_SnimkuZaSekundu;
    }
    switch (result) {
    case avi::kResultCannotOpenFile:
    case avi::kResultWriteFailed:
        return ed_FileNameAVI;
    case avi::kResultFormatRefused:
        return cb_HloubkaBarevAVI;
    default:
        return nullptr;
    }
}

bool TAVICreateWindow::ShowProgress(int percent)
{
    ProgressBar_Generace->setValue(percent);
    Prubeh->setText(QString::number(percent) + QStringLiteral(" %"));
    QApplication::processEvents();
    return !m_cancelRequested;
}

void TAVICreateWindow::Button3Click()
{
    if (m_generating) {
        m_cancelRequested = true;
        return;
    }
    close();
}

void TAVICreateWindow::Button2Click()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            window->showMinimized();
        }
    }
}

bool TAVICreateWindow::FormCloseQuery()
{
    if (m_generating) {
        m_services.Ask(this, {QStringLiteral("Error"), QStringLiteral("Generating now, please cancel before close!"),
                              QMessageBox::Critical, QMessageBox::Ok});
        return false;
    }
    return true;
}

void TAVICreateWindow::closeEvent(QCloseEvent* event)
{
    bool accept = false;
    Guarded(this, m_services, [this, &accept] { accept = FormCloseQuery(); })();
    if (accept) {
        QDialog::closeEvent(event);
    } else {
        event->ignore();
    }
}

void TAVICreateWindow::PlayAVI()
{
    if (!m_services.OpenDocument(QUrl::fromLocalFile(ed_FileNameAVI->text()))) {
        m_services.Ask(this,
                       {QStringLiteral("Error"),
                        QStringLiteral("Can't play AVI file. There is some error.\r\nHave you associate AVI file?"),
                        QMessageBox::Critical, QMessageBox::Ok});
    }
}

}  // namespace kinetar::ui
