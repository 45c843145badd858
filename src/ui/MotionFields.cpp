#include "ui/MotionFields.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

namespace kinetar::ui {

namespace {

const QString kVarious = QStringLiteral("various");
// What choosing Custom proposes when no selected frame had views of its own: a gentle zoom in.
constexpr project::Framing kProposedEnd{0.5, 0.5, 1.25};

std::array<std::optional<double>, 3> Numbers(const project::Framing& framing)
{
    return {framing.X, framing.Y, framing.Zoom};
}

// The still view as custom motion stores it, so a still frame and a custom one left at the centre
// show one number, not "various".
project::Framing StoredStillView()
{
    project::FrameRecord record{};
    project::SetMotion(record, {project::MotionKind::Custom, project::Easing::Linear, {}, {}});
    return project::GetMotion(record).Start;
}

template <typename T>
void Fold(std::optional<T>& summary, const T& value, bool first)
{
    if (first) {
        summary = value;
    } else if (summary && *summary != value) {
        summary.reset();
    }
}

}  // namespace

MotionSummary SummariseMotion(const std::vector<project::FrameRecord>& records)
{
    MotionSummary summary;
    bool first = true;
    bool firstMoving = true;
    for (const project::FrameRecord& record : records) {
        if (project::IsSoundRecord(record)) {
            continue;
        }
        project::Motion motion = project::GetMotion(record);
        Fold(summary.Kind, motion.Kind, first);
        if (motion.Kind != project::MotionKind::Custom) {
            motion.Start = motion.End = StoredStillView();
        }
        const auto start = Numbers(motion.Start);
        const auto end = Numbers(motion.End);
        for (std::size_t part = 0; part < 3; ++part) {
            Fold(summary.Start[part], *start[part], first);
            Fold(summary.End[part], *end[part], first);
        }
        first = false;
        if (motion.Kind != project::MotionKind::None) {
            Fold(summary.Ease, motion.Ease, firstMoving);
            firstMoving = false;
        }
    }
    if (first) {
        summary.Kind = project::MotionKind::None;
        summary.Start = summary.End = Numbers(project::Framing{});
    }
    if (firstMoving) {
        summary.Ease = project::Easing::Linear;
    }
    return summary;
}

ViewNumberBox::ViewNumberBox(const char* name, const QString& accessibleName, double minimum, double maximum,
                             double step)
    : m_minimum(minimum)
{
    setObjectName(QString::fromLatin1(name));
    setAccessibleName(accessibleName);
    setDecimals(3);
    setRange(minimum, maximum);
    setSingleStep(step);
    setAccelerated(true);
    // Room for "various" and for the widest number, so the row never moves.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("various")) + 28);
}

bool ViewNumberBox::Various() const
{
    return !specialValueText().isEmpty() && value() < m_minimum;
}

void ViewNumberBox::ShowValue(double value)
{
    setSpecialValueText({});
    setMinimum(m_minimum);
    setValue(value);
}

void ViewNumberBox::ShowVarious()
{
    setMinimum(m_minimum - singleStep());
    setSpecialValueText(kVarious);
    setValue(minimum());
}

MotionFields::MotionFields()
{
    m_kindBox = new QComboBox;
    m_kindBox->setObjectName(QStringLiteral("cb_Pohyb"));
    // In the order of Index.
    m_kindBox->addItems({QStringLiteral("None"), QStringLiteral("Automatic"), QStringLiteral("Custom")});
    m_kindBox->setPlaceholderText(kVarious);
    m_kindBox->setToolTip(
        QStringLiteral("None: the picture stands still. Automatic: a gentle zoom and drift.\n"
                       "Custom: from the start view to the end view."));
    m_kindLabel = new QLabel(QStringLiteral("&Motion:"));
    m_kindLabel->setBuddy(m_kindBox);

    m_easingBox = new QComboBox;
    m_easingBox->setObjectName(QStringLiteral("cb_Plynulost"));
    m_easingBox->addItems({QStringLiteral("Linear"), QStringLiteral("Smooth")});
    m_easingBox->setPlaceholderText(kVarious);
    m_easingBox->setAccessibleName(QStringLiteral("Easing"));
    m_easingBox->setToolTip(QStringLiteral("Linear: at a steady pace. Smooth: starting and stopping gently."));

    m_views = new QWidget;
    m_views->setObjectName(QStringLiteral("PanelMotionViews"));
    auto* grid = new QGridLayout(m_views);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    int column = 1;
    for (const char* heading : {"X", "Y", "Zoom"}) {
        grid->addWidget(new QLabel(QString::fromLatin1(heading)), 0, column++, Qt::AlignHCenter);
    }
    const char* names[2][3] = {{"ed_StartX", "ed_StartY", "ed_StartZoom"}, {"ed_EndX", "ed_EndY", "ed_EndZoom"}};
    const QString rowNames[2] = {QStringLiteral("Start"), QStringLiteral("End")};
    const QString partNames[3] = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("zoom")};
    for (int view = 0; view < 2; ++view) {
        grid->addWidget(new QLabel(rowNames[view] + QStringLiteral(":")), view + 1, 0);
        for (int part = 0; part < 3; ++part) {
            const bool zoom = part == 2;
            auto* box =
                new ViewNumberBox(names[view][part], rowNames[view] + QStringLiteral(" view ") + partNames[part],
                                  zoom ? project::kMinZoom : 0.0, zoom ? project::kMaxZoom : 1.0, zoom ? 0.05 : 0.01);
            box->setToolTip(zoom ? QStringLiteral("How much closer than the whole fitted picture: 1 to 10")
                                 : QStringLiteral("The view's centre as a fraction of the picture: 0 to 1"));
            m_numbers[static_cast<std::size_t>(view)][static_cast<std::size_t>(part)] = box;
            grid->addWidget(box, view + 1, part + 1);
            connect(box, &QDoubleSpinBox::valueChanged, this, [this, view, part] { OnNumberEdited(view, part); });
        }
    }
    grid->setColumnStretch(4, 1);

    connect(m_kindBox, &QComboBox::currentIndexChanged, this, &MotionFields::OnKindChosen);
    connect(m_easingBox, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_filling) {
            emit KindEdited();
        }
    });
}

QList<QWidget*> MotionFields::TypingWidgets() const
{
    QList<QWidget*> boxes;
    for (const auto& view : m_numbers) {
        for (ViewNumberBox* box : view) {
            boxes << box << box->findChild<QLineEdit*>();
        }
    }
    return boxes;
}

void MotionFields::Show(const MotionSummary& summary)
{
    m_filling = true;
    const auto endFilling = qScopeGuard([this] { m_filling = false; });
    m_kindBox->setCurrentIndex(!summary.Kind                                     ? -1
                               : *summary.Kind == project::MotionKind::Custom    ? kCustom
                               : *summary.Kind == project::MotionKind::Automatic ? kAutomatic
                                                                                 : kNone);
    m_easingBox->setCurrentIndex(summary.Ease ? static_cast<int>(*summary.Ease) : -1);
    m_values = {summary.Start, summary.End};
    // Still views everywhere: only what a frame without custom motion reads.
    m_noCustomViews = summary.Kind && *summary.Kind != project::MotionKind::Custom;
    ShowNumbers();
    ShowOrHideViews();
}

void MotionFields::SetEnabled(bool on)
{
    m_enabled = on;
    m_kindBox->setEnabled(on);
    m_kindLabel->setEnabled(on);
    ShowOrHideViews();
}

bool MotionFields::Custom() const
{
    return m_kindBox->currentIndex() == kCustom;
}

std::optional<project::Framing> MotionFields::View(int view) const
{
    const auto& values = m_values[static_cast<std::size_t>(view)];
    if (!values[0] || !values[1] || !values[2]) {
        return std::nullopt;
    }
    return project::Framing{*values[0], *values[1], *values[2]};
}

void MotionFields::SetView(int view, const project::Framing& framing)
{
    m_values[static_cast<std::size_t>(view)] = Numbers(framing);
    ShowNumbers();
    emit ViewsEdited();
}

project::MotionEdit MotionFields::Edit() const
{
    project::MotionEdit edit;
    switch (m_kindBox->currentIndex()) {
    case kNone:
        edit.Kind = project::MotionKind::None;
        break;
    case kAutomatic:
        edit.Kind = project::MotionKind::Automatic;
        break;
    case kCustom:
        edit.Kind = project::MotionKind::Custom;
        break;
    default:
        break;
    }
    if (m_easingBox->currentIndex() >= 0) {
        edit.Ease = static_cast<project::Easing>(m_easingBox->currentIndex());
    }
    edit.Start = m_values[0];
    edit.End = m_values[1];
    return edit;
}

void MotionFields::ShowNumbers()
{
    const bool filling = m_filling;
    m_filling = true;
    const auto endFilling = qScopeGuard([this, filling] { m_filling = filling; });
    for (std::size_t view = 0; view < 2; ++view) {
        for (std::size_t part = 0; part < 3; ++part) {
            if (m_values[view][part]) {
                m_numbers[view][part]->ShowValue(*m_values[view][part]);
            } else {
                m_numbers[view][part]->ShowVarious();
            }
        }
    }
}

void MotionFields::OnKindChosen()
{
    ShowOrHideViews();
    if (m_filling) {
        return;
    }
    if (Custom() && m_noCustomViews) {
        m_noCustomViews = false;
        m_values[0] = Numbers(project::Framing{});
        m_values[1] = Numbers(kProposedEnd);
        ShowNumbers();
    }
    emit KindEdited();
}

void MotionFields::OnNumberEdited(int view, int part)
{
    if (m_filling) {
        return;
    }
    ViewNumberBox* box = m_numbers[static_cast<std::size_t>(view)][static_cast<std::size_t>(part)];
    // Stepped back down to "various", each frame keeps its own again.
    m_values[static_cast<std::size_t>(view)][static_cast<std::size_t>(part)] =
        box->Various() ? std::nullopt : std::optional(box->value());
    emit ViewsEdited();
}

void MotionFields::ShowOrHideViews()
{
    const int index = m_kindBox->currentIndex();
    m_easingBox->setEnabled(m_enabled && index != kNone);
    m_views->setVisible(index == kCustom || index < 0);
    m_views->setEnabled(m_enabled);
}

}  // namespace kinetar::ui
