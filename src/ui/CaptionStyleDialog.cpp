#include "ui/CaptionStyleDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <array>
#include <cmath>

#include "ui/TextLookFields.h"

namespace kinetar::ui {

namespace {

// The nine places as they lie in the frame, rows top to bottom.
constexpr std::array<project::TextPosition, 9> kGrid{
    project::TextPosition::TopLeft,    project::TextPosition::Top,    project::TextPosition::TopRight,
    project::TextPosition::MiddleLeft, project::TextPosition::Middle, project::TextPosition::MiddleRight,
    project::TextPosition::BottomLeft, project::TextPosition::Bottom, project::TextPosition::BottomRight};

int OpacityPercent(std::uint8_t alpha)
{
    return static_cast<int>(std::lround(alpha * 100.0 / 255.0));
}

}  // namespace

CaptionStyleDialog::CaptionStyleDialog(const UiServices& services, const project::Caption& initial, QWidget* parent)
    : QDialog(parent), m_initial(initial)
{
    setObjectName(QStringLiteral("CaptionStyleDialog"));
    setWindowTitle(QStringLiteral("Caption style"));
    auto* form = new QFormLayout;

    m_font = new FontFields(QStringLiteral("captionFont"));
    m_font->SetFont(initial.Font);
    form->addRow(QStringLiteral("&Font:"), m_font);

    m_size = new QDoubleSpinBox;
    m_size->setObjectName(QStringLiteral("captionSize"));
    m_size->setRange(project::kMinTextSize / 10.0, project::kMaxTextSize / 10.0);
    m_size->setDecimals(1);
    m_size->setSingleStep(0.5);
    m_size->setSuffix(QStringLiteral(" % of the height"));
    m_size->setValue(initial.Size / 10.0);
    form->addRow(QStringLiteral("&Size:"), m_size);

    m_colour = new ColourButton(services, QStringLiteral("captionColour"));
    m_colour->SetRgb(initial.Colour);
    form->addRow(QStringLiteral("&Colour:"), m_colour);

    // A radio button for each place, laid out as the places lie; the arrow keys move among them.
    auto* places = new QWidget;
    auto* grid = new QGridLayout(places);
    grid->setContentsMargins(0, 0, 0, 0);
    m_position = new QButtonGroup(this);
    QRadioButton* first = nullptr;
    for (std::size_t i = 0; i < kGrid.size(); ++i) {
        const std::string_view name = project::TextPositionName(kGrid[i]);
        auto* place = new QRadioButton(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        place->setObjectName(QStringLiteral("captionPosition_") + place->text());
        m_position->addButton(place, static_cast<int>(kGrid[i]));
        grid->addWidget(place, static_cast<int>(i / 3), static_cast<int>(i % 3));
        place->setChecked(kGrid[i] == initial.Position);
        first = first == nullptr ? place : first;
    }
    form->addRow(QStringLiteral("&Place:"), places);
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(places))) {
        label->setBuddy(m_position->checkedButton() != nullptr ? m_position->checkedButton() : first);
    }

    m_readability = new QComboBox;
    m_readability->setObjectName(QStringLiteral("captionReadability"));
    // In the order of project::Readability, so an item's index is its style.
    m_readability->addItems(
        {QStringLiteral("Plain"), QStringLiteral("Shadow"), QStringLiteral("Outline"), QStringLiteral("Box")});
    m_readability->setCurrentIndex(static_cast<int>(initial.Style));
    form->addRow(QStringLiteral("&Readable by:"), m_readability);

    m_boxColour = new ColourButton(services, QStringLiteral("captionBoxColour"));
    m_boxColour->SetRgb({initial.Box[0], initial.Box[1], initial.Box[2]});
    m_boxOpacity = new QSpinBox;
    m_boxOpacity->setObjectName(QStringLiteral("captionBoxOpacity"));
    m_boxOpacity->setRange(0, 100);
    m_boxOpacity->setSuffix(QStringLiteral(" % opaque"));
    m_boxOpacity->setValue(OpacityPercent(initial.Box[3]));
    auto* boxRow = new QHBoxLayout;
    boxRow->addWidget(m_boxColour);
    boxRow->addWidget(m_boxOpacity);
    boxRow->addStretch(1);
    form->addRow(QStringLiteral("B&ox:"), boxRow);
    if (auto* label = qobject_cast<QLabel*>(form->labelForField(boxRow))) {
        label->setBuddy(m_boxColour);
    }
    connect(m_readability, &QComboBox::currentIndexChanged, this, &CaptionStyleDialog::ShowBoxFields);
    ShowBoxFields();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

void CaptionStyleDialog::ShowBoxFields()
{
    const bool box = m_readability->currentIndex() == static_cast<int>(project::Readability::Box);
    m_boxColour->setEnabled(box);
    m_boxOpacity->setEnabled(box);
}

project::Caption CaptionStyleDialog::Chosen() const
{
    project::Caption caption = m_initial;
    caption.Font = m_font->Font();
    caption.Size = static_cast<std::uint16_t>(std::lround(m_size->value() * 10));
    caption.Colour = m_colour->Rgb();
    caption.Position = static_cast<project::TextPosition>(std::max(m_position->checkedId(), 0));
    caption.Style = static_cast<project::Readability>(m_readability->currentIndex());
    const project::Rgb box = m_boxColour->Rgb();
    // An opacity left as it was keeps its exact byte; percents are coarser than bytes.
    const std::uint8_t alpha = m_boxOpacity->value() == OpacityPercent(m_initial.Box[3])
                                   ? m_initial.Box[3]
                                   : static_cast<std::uint8_t>(std::lround(m_boxOpacity->value() * 2.55));
    caption.Box = {box[0], box[1], box[2], alpha};
    return caption;
}

std::optional<project::Caption> AskCaptionStyle(QWidget* parent, const UiServices& services,
                                                const project::Caption& initial)
{
    CaptionStyleDialog dialog(services, initial, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Chosen();
}

}  // namespace kinetar::ui
