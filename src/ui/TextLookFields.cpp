#include "ui/TextLookFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPixmap>

namespace kinetar::ui {

namespace {

const QString kDefaultFamily = QStringLiteral("(default sans-serif)");

}  // namespace

ColourButton::ColourButton(const UiServices& services, const QString& name) : m_services(services)
{
    setObjectName(name);
    connect(this, &QPushButton::clicked, this, [this] {
        if (const std::optional<QColor> chosen = m_services.ChooseColor(window(), m_colour)) {
            SetColour(*chosen);
        }
    });
    SetColour(m_colour);
}

void ColourButton::SetColour(const QColor& colour)
{
    m_colour = colour;
    setText(colour.name());
    QPixmap swatch(16, 16);
    swatch.fill(colour);
    setIcon(QIcon(swatch));
}

project::Rgb ColourButton::Rgb() const
{
    return {static_cast<std::uint8_t>(m_colour.red()), static_cast<std::uint8_t>(m_colour.green()),
            static_cast<std::uint8_t>(m_colour.blue())};
}

void ColourButton::SetRgb(const project::Rgb& rgb)
{
    SetColour(QColor(rgb[0], rgb[1], rgb[2]));
}

FontFields::FontFields(const QString& namePrefix)
{
    m_family = new QComboBox;
    m_family->setObjectName(namePrefix + QStringLiteral("Family"));
    m_family->setEditable(true);
    m_family->setInsertPolicy(QComboBox::NoInsert);
    m_family->addItem(kDefaultFamily);
    m_family->addItems(QFontDatabase::families());
    m_family->setMinimumContentsLength(16);
    m_family->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_bold = new QCheckBox(QStringLiteral("&Bold"));
    m_bold->setObjectName(namePrefix + QStringLiteral("Bold"));
    m_italic = new QCheckBox(QStringLiteral("&Italic"));
    m_italic->setObjectName(namePrefix + QStringLiteral("Italic"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_family, 1);
    row->addWidget(m_bold);
    row->addWidget(m_italic);
}

project::FontChoice FontFields::Font() const
{
    const QString family = m_family->currentText().trimmed();
    return {family == kDefaultFamily ? std::string() : family.toStdString(), m_bold->isChecked(),
            m_italic->isChecked()};
}

void FontFields::SetFont(const project::FontChoice& font)
{
    m_family->setCurrentText(font.Family.empty() ? kDefaultFamily : QString::fromStdString(font.Family));
    m_bold->setChecked(font.Bold);
    m_italic->setChecked(font.Italic);
}

}  // namespace kinetar::ui
