#include "ui/FrameDetails.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
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
#include "session/ProjectSession.h"
#include "session/RecordCache.h"
#include "ui/CaptionFields.h"
#include "ui/CommandGuard.h"
#include "ui/FrameSummary.h"
#include "ui/Messages.h"
#include "ui/MotionFields.h"
#include "ui/PreviewPlayer.h"
#include "ui/QtConvert.h"
#include "ui/Thumbnails.h"
#include "ui/ViewRectangles.h"

namespace kinetar::ui {

namespace {

// What an empty field means, and that it stands for several frames' differing values.
const QString kOneFrame = QStringLiteral("one frame");
const QString kNoCrossfade = QStringLiteral("none");

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

FrameDetails::FrameDetails(session::ProjectSession& session, UiServices services)
    : m_session(session), m_services(std::move(services))
{
    setObjectName(QStringLiteral("Panel1"));
    CreateControls();
    connect(&m_session, &session::ProjectSession::SelectionChanged, this, Guarded(this, m_services, [this] {
        ShowSelectedFrames();
        // While the player shows the show, the still preview waits (reading a photo would hold it up).
        if (!m_player->Active()) {
            RefreshPreview();
        }
    }));
    // The video's size and background come from the settings.
    connect(&m_session, &session::ProjectSession::HeaderChanged, this, Guarded(this, m_services, [this] {
        // Transparent parts are laid over the background as the picture is read.
        if (m_pictureShown && m_session.Header().Background != m_readOver) {
            RefreshPreview();
        } else {
            ShowFitted();
        }
    }));
}

bool FrameDetails::EditingMode() const
{
    return m_session.PendingChanges();
}

void FrameDetails::FocusSaveChanges()
{
    m_saveChangesButton->setFocus();
}

void FrameDetails::CreateControls()
{
    m_details = new QWidget;
    m_details->setObjectName(QStringLiteral("PanelDetails"));
    auto* grid = new QGridLayout(m_details);
    grid->setContentsMargins(4, 4, 4, 2);
    grid->setVerticalSpacing(3);

    auto* fileNameLabel = new QLabel(QStringLiteral("Picture &filename:"));
    m_nameField = new QLineEdit;
    m_nameField->setObjectName(QStringLiteral("ed_PictFileName"));
    m_nameField->setMinimumWidth(60);
    fileNameLabel->setBuddy(m_nameField);
    m_browseButton = new QPushButton(QStringLiteral("&Browse..."));
    m_browseButton->setObjectName(QStringLiteral("Button2"));
    grid->addWidget(fileNameLabel, 0, 0);
    grid->addWidget(m_nameField, 0, 1);
    grid->addWidget(m_browseButton, 0, 2);

    m_stretchBox = new QCheckBox(QStringLiteral("St&retch, when size is other than AVI?"));
    m_stretchBox->setObjectName(QStringLiteral("ch_StretchPicture"));
    grid->addWidget(m_stretchBox, 1, 0, 1, 3);

    // "Fit" has no free access key: its letters open menus or go to the file name.
    m_fitBox = new QComboBox;
    m_fitBox->setObjectName(QStringLiteral("cb_Prizpusobeni"));
    // In the order of project::FitMode, so an item's index is its mode.
    m_fitBox->addItems({QStringLiteral("Stretch"), QStringLiteral("Top-left"), QStringLiteral("Letterbox"),
                        QStringLiteral("Crop"), QStringLiteral("Centre"), QStringLiteral("Blurred fill")});
    m_fitBox->setPlaceholderText(kDifferentValues);
    m_fitBox->setCurrentIndex(static_cast<int>(project::FitMode::TopLeft));  // as the stretch box starts
    auto* fitRow = new QHBoxLayout;
    fitRow->addWidget(m_fitBox);
    fitRow->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("Fit:")), 2, 0);
    grid->addLayout(fitRow, 2, 1, 1, 2);

    m_durationField = SecondsField("ed_DobaZobrazeni", kOneFrame);
    m_crossfadeField = SecondsField("ed_Prolinani", kNoCrossfade);
    auto* showForLabel = new QLabel(QStringLiteral("Sho&w for:"));
    showForLabel->setBuddy(m_durationField);
    auto* crossfadeLabel = new QLabel(QStringLiteral("Crossfa&de:"));
    crossfadeLabel->setBuddy(m_crossfadeField);
    // A row each, so the panel stays as narrow as its other rows allow.
    int row = 3;
    for (const auto& [label, field] : {std::pair{showForLabel, m_durationField}, {crossfadeLabel, m_crossfadeField}}) {
        auto* fieldRow = new QHBoxLayout;
        fieldRow->setSpacing(4);
        fieldRow->addWidget(field);
        fieldRow->addWidget(new QLabel(QStringLiteral("s")));
        fieldRow->addStretch(1);
        grid->addWidget(label, row, 0);
        grid->addLayout(fieldRow, row++, 1, 1, 2);
    }

    m_motion = new MotionFields;
    m_motion->setParent(this);
    auto* motionRow = new QHBoxLayout;
    motionRow->setSpacing(4);
    motionRow->addWidget(m_motion->KindBox());
    motionRow->addWidget(m_motion->EasingBox());
    motionRow->addStretch(1);
    grid->addWidget(m_motion->KindLabel(), row, 0);
    grid->addLayout(motionRow, row++, 1, 1, 2);
    grid->addWidget(m_motion->Views(), row++, 0, 1, 3);

    m_caption = new CaptionFields(m_session, m_services, this);
    m_caption->setParent(this);
    grid->addWidget(m_caption->Label(), row, 0, Qt::AlignTop);
    grid->addWidget(m_caption->Row(), row++, 1, 1, 2);

    m_sizeRow = new QHBoxLayout;
    m_sizeRow->setSpacing(6);
    m_sizeCaption = new QLabel(QStringLiteral("Dimension of picture:"));
    m_sizeCaption->setObjectName(QStringLiteral("lb_RozmerySnimkuPopis"));
    m_sizeRow->addWidget(m_sizeCaption);
    m_sizeLabel = new QLabel(QStringLiteral("0x0"));
    m_sizeLabel->setObjectName(QStringLiteral("lb_RozmerySnimku"));
    // Room for the largest size, so a new size never moves what stands beside it.
    m_sizeLabel->setFixedWidth(m_sizeLabel->fontMetrics().horizontalAdvance(QStringLiteral("00000 x 00000")));
    m_sizeRow->addWidget(m_sizeLabel);
    m_sizeRow->addStretch(1);
    grid->addLayout(m_sizeRow, row++, 0, 1, 3);
    m_buttonRow = new QHBoxLayout;
    m_buttonRow->addStretch(1);
    grid->addLayout(m_buttonRow, row, 0, 1, 3);

    m_buttons = new QWidget;
    auto* buttons = new QHBoxLayout(m_buttons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(6);
    m_cancelChangesButton = new QPushButton(QStringLiteral("&Cancel changes"));
    m_cancelChangesButton->setObjectName(QStringLiteral("bt_ZrusitZmeny"));
    m_saveChangesButton = new QPushButton(QStringLiteral("&Save changes"));
    m_saveChangesButton->setObjectName(QStringLiteral("bt_UlozitZmeny"));
    // As wide as its bold caption, so turning bold moves nothing.
    const QFont normal = m_saveChangesButton->font();
    QFont bold = normal;
    bold.setBold(true);
    m_saveChangesButton->setFont(bold);
    m_saveChangesButton->setMinimumWidth(m_saveChangesButton->sizeHint().width());
    m_saveChangesButton->setFont(normal);
    buttons->addWidget(m_cancelChangesButton);
    buttons->addWidget(m_saveChangesButton);

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

    m_preview = new QLabel;
    m_preview->setObjectName(QStringLiteral("Image_Preview"));
    m_preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label holds the whole frame and draws it at the size the panel gives it.
    m_preview->setScaledContents(true);
    m_previewArea = new QScrollArea;
    m_previewArea->setObjectName(QStringLiteral("ScrollBox_Picture"));
    m_previewArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_previewArea->setWidget(m_preview);
    m_viewRectangles = new ViewRectangles(m_preview);
    m_viewRectangles->hide();
    // The preview always fits, so nothing scrolls.
    m_previewArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_previewArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_previewArea->viewport()->installEventFilter(this);
    m_typedFields = {m_nameField, m_durationField, m_crossfadeField};
    m_typedFields.append(m_caption->Field());
    m_typedFields.append(m_motion->TypingWidgets());
    for (QWidget* field : m_typedFields) {
        field->installEventFilter(this);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_details);
    layout->addWidget(m_previewArea, 1);
    m_player = new PreviewPlayer(m_session);
    layout->addWidget(m_player);
    connect(m_player, &PreviewPlayer::ActiveChanged, this, [this](bool active) {
        m_previewArea->setVisible(!active);
        if (!active) {
            RefreshPreview();
        }
    });

    connect(m_nameField, &QLineEdit::textChanged, this, Guarded(this, m_services, [this] { OnNameEdited(); }));
    connect(m_stretchBox, &QCheckBox::stateChanged, this, Guarded(this, m_services, [this] { OnStretchClicked(); }));
    connect(m_fitBox, &QComboBox::currentIndexChanged, this, Guarded(this, m_services, [this] { OnFitChosen(); }));
    for (QLineEdit* field : {m_durationField, m_crossfadeField}) {
        connect(field, &QLineEdit::textChanged, this, Guarded(this, m_services, [this] { OnSecondsEdited(); }));
    }
    connect(m_browseButton, &QPushButton::clicked, this, Guarded(this, m_services, [this] { OnBrowseClicked(); }));
    connect(m_cancelChangesButton, &QPushButton::clicked, this,
            Guarded(this, m_services, [this] { OnCancelChangesClicked(); }));
    connect(m_saveChangesButton, &QPushButton::clicked, this,
            Guarded(this, m_services, [this] { OnSaveChangesClicked(); }));
    connect(&m_soundProbe, &session::SoundLengthProbe::Measured, this, &FrameDetails::ShowSoundLength);
    connect(m_motion, &MotionFields::KindEdited, this, Guarded(this, m_services, [this] {
                SetEditingMode(true);
                ShowFitted();
            }));
    connect(m_motion, &MotionFields::ViewsEdited, this, Guarded(this, m_services, [this] {
                SetEditingMode(true);
                ShowViews();
            }));
    connect(m_caption, &CaptionFields::Edited, this, Guarded(this, m_services, [this] {
                SetEditingMode(true);
                ShowFitted();
            }));
    // The details show the card as its window left it.
    connect(m_caption, &CaptionFields::TitleEdited, this,
            Guarded(this, m_services, [this] { m_session.SetSelection(m_session.Selection()); }));
    connect(m_viewRectangles, &ViewRectangles::ViewChanged, this,
            [this](ViewRectangles::View view, const project::Framing& framing) { m_motion->SetView(view, framing); });
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
    // Undo and redo are the project's while a field holds no typed text; a field's own undo would
    // only put back what the program filled in, and start an edit of it.
    if ((event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) &&
        m_typedFields.contains(watched) && !m_session.PendingChanges()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            // Ignored, the override lets the window's shortcut run; a press that got here anyway
            // (nothing to undo) goes nowhere.
            event->ignore();
            return true;
        }
    }
    if (watched == m_previewArea->viewport() && event->type() == QEvent::Resize) {
        ScalePreview();
    }
    return QWidget::eventFilter(watched, event);
}

void FrameDetails::ShowSelectedFrames()
{
    const QList<int> selected = m_session.Selection().Rows;
    m_fillingPanel = true;
    const auto endFilling = qScopeGuard([this] { m_fillingPanel = false; });
    const auto all = [&](auto kind) {
        return !selected.isEmpty() && std::all_of(selected.begin(), selected.end(), [&](int row) {
            return row >= 0 && row < m_session.LineCount() && kind(row);
        });
    };
    m_soundSelected = all([this](int row) { return m_session.SoundAt(row); });
    m_timelessSelected =
        all([this](int row) { return m_session.SoundAt(row) || m_session.KindAt(row) == project::kCaptionRecord; });
    // A sound or a caption takes no time and fills no frame.
    for (QWidget* field : std::initializer_list<QWidget*>{m_stretchBox, m_fitBox, m_durationField, m_crossfadeField}) {
        field->setEnabled(!m_timelessSelected);
    }
    m_motion->SetEnabled(!m_timelessSelected);
    // A caption's or a title's words are no file's name: the caption field and the title's dialog
    // edit them.
    const bool words = std::any_of(selected.begin(), selected.end(), [this](int row) {
        return m_session.KindAt(row) == project::kCaptionRecord || m_session.KindAt(row) == project::kTitleRecord;
    });
    m_nameField->setEnabled(!words);
    m_browseButton->setEnabled(!words);
    m_caption->Show(selected);
    if (selected.isEmpty()) {
        m_motion->Show(SummariseMotion({}));
        m_nameField->clear();
        // The fit list follows the stretch box, which keeps its last state.
        m_fitBox->setCurrentIndex(static_cast<int>(
            m_stretchBox->checkState() == Qt::Checked ? project::FitMode::Stretch : project::FitMode::TopLeft));
        m_durationField->clear();
        m_crossfadeField->clear();
        return;
    }
    project::FrameRecord summary{};
    if (selected.size() == 1) {
        m_stretchBox->setTristate(false);
        const auto records = m_session.Records({m_session.Selection().Current});
        summary = records.empty() ? project::FrameRecord{} : records.front();
        m_motion->Show(SummariseMotion(records));
    } else {
        bool first = true;
        const auto records = m_session.Records(selected);
        m_motion->Show(SummariseMotion(records));
        for (const project::FrameRecord& record : records) {
            if (first) {
                summary = record;
                // A fit byte of 255 from elsewhere reads the stretch byte, as 0 does.
                summary.Fit = summary.Fit == kDifferentFit ? 0 : summary.Fit;
                first = false;
            } else {
                MergeFrameSummary(summary, record);
            }
        }
        m_stretchBox->setTristate(true);
    }
    m_nameField->setText(words ? QString() : FromNativePath(project::GetText(summary.PictureFileName)));
    m_stretchBox->setCheckState(summary.Stretch == kDifferentStretch ? Qt::PartiallyChecked
                                : summary.Stretch != 0               ? Qt::Checked
                                                                     : Qt::Unchecked);
    m_fitBox->setCurrentIndex(summary.Fit == kDifferentFit ? -1 : static_cast<int>(project::GetFit(summary)));
    ShowSeconds(m_durationField, summary.Duration, kOneFrame);
    ShowSeconds(m_crossfadeField, summary.Crossfade, kNoCrossfade);
}

void FrameDetails::SetEditingMode(bool on)
{
    if (m_fillingPanel || (on && m_session.Selection().Rows.isEmpty())) {
        return;
    }
    m_session.SetPendingChanges(on);
    QFont font = m_saveChangesButton->font();
    font.setBold(on);
    m_saveChangesButton->setFont(font);
    // The title's window saves at once: first the fields' edits are saved or cancelled.
    m_caption->TitleButton()->setEnabled(!on);
}

void FrameDetails::OnNameEdited()
{
    SetEditingMode(true);
    if (!m_fillingPanel && IsExistingFile(m_session.FileOf(m_nameField->text()))) {
        RefreshPreview();
    }
}

void FrameDetails::OnStretchClicked()
{
    SetEditingMode(true);
    if (m_fillingPanel || m_syncingFit) {
        return;
    }
    // The box stands for the two fits it has always meant; grey keeps each frame's own fit.
    m_syncingFit = true;
    const auto endSync = qScopeGuard([this] { m_syncingFit = false; });
    const Qt::CheckState state = m_stretchBox->checkState();
    m_fitBox->setCurrentIndex(state == Qt::PartiallyChecked ? -1
                              : state == Qt::Checked        ? static_cast<int>(project::FitMode::Stretch)
                                                            : static_cast<int>(project::FitMode::TopLeft));
    ShowFitted();
}

void FrameDetails::OnFitChosen()
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
    m_stretchBox->setCheckState(written.Stretch != 0 ? Qt::Checked : Qt::Unchecked);
    ShowFitted();
}

void FrameDetails::OnSecondsEdited()
{
    SetEditingMode(true);
}

std::optional<project::FitMode> FrameDetails::ChosenFit() const
{
    const int index = m_fitBox->currentIndex();
    return index < 0 ? std::nullopt : std::optional(static_cast<project::FitMode>(index));
}

}  // namespace kinetar::ui
