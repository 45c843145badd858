#include "ui/TitleDialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "project/Slideshow.h"
#include "ui/TextLookFields.h"

namespace kinetar::ui {

TitleDialog::TitleDialog(const UiServices& services, const TitleChoices& initial, QWidget* parent)
    : QDialog(parent), m_initial(initial)
{
    setObjectName(QStringLiteral("TitleDialog"));
    setWindowTitle(QStringLiteral("Title card"));
    auto* form = new QFormLayout;

    m_title = new QLineEdit(QString::fromStdString(initial.Title.Text));
    m_title->setObjectName(QStringLiteral("titleText"));
    m_title->setMinimumWidth(m_title->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
    form->addRow(QStringLiteral("&Title:"), m_title);
    m_subtitle = new QLineEdit(QString::fromStdString(initial.Title.Subtitle));
    m_subtitle->setObjectName(QStringLiteral("titleSubtitle"));
    m_subtitle->setPlaceholderText(QStringLiteral("none"));
    form->addRow(QStringLiteral("Second &line:"), m_subtitle);

    m_duration = new QDoubleSpinBox;
    m_duration->setObjectName(QStringLiteral("titleDuration"));
    m_duration->setRange(0.001, project::kMaxMilliseconds / 1000.0);
    m_duration->setDecimals(3);
    m_duration->setSingleStep(0.5);
    m_duration->setSuffix(QStringLiteral(" s"));
    m_duration->setValue(initial.Duration / 1000.0);
    form->addRow(QStringLiteral("Sho&w for:"), m_duration);

    m_colourBackground = new QRadioButton(QStringLiteral("&Colour"));
    m_colourBackground->setObjectName(QStringLiteral("titleColourBackground"));
    m_colour = new ColourButton(services, QStringLiteral("titleColour"));
    m_colour->SetRgb(initial.Title.Background);
    m_blurBackground = new QRadioButton(QStringLiteral("Bl&ur of the next picture"));
    m_blurBackground->setObjectName(QStringLiteral("titleBlurBackground"));
    (initial.Title.BlurredBackground ? m_blurBackground : m_colourBackground)->setChecked(true);
    auto* background = new QHBoxLayout;
    background->addWidget(m_colourBackground);
    background->addWidget(m_colour);
    background->addSpacing(12);
    background->addWidget(m_blurBackground);
    background->addStretch(1);
    form->addRow(QStringLiteral("Background:"), background);
    connect(m_colourBackground, &QRadioButton::toggled, this, &TitleDialog::ShowBackgroundFields);
    ShowBackgroundFields();

    m_font = new FontFields(QStringLiteral("titleFont"));
    m_font->SetFont(initial.Title.Font);
    form->addRow(QStringLiteral("&Font:"), m_font);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    // A title card says something: no OK while the title is empty.
    const auto needTitle = [this, ok] { ok->setEnabled(!m_title->text().trimmed().isEmpty()); };
    connect(m_title, &QLineEdit::textChanged, this, needTitle);
    needTitle();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

void TitleDialog::ShowBackgroundFields()
{
    m_colour->setEnabled(m_colourBackground->isChecked());
}

TitleChoices TitleDialog::Choices() const
{
    TitleChoices choices = m_initial;
    choices.Title.Text = m_title->text().trimmed().toStdString();
    choices.Title.Subtitle = m_subtitle->text().trimmed().toStdString();
    choices.Title.Background = m_colour->Rgb();
    choices.Title.BlurredBackground = m_blurBackground->isChecked();
    choices.Title.Font = m_font->Font();
    choices.Duration = static_cast<std::uint32_t>(std::llround(m_duration->value() * 1000));
    return choices;
}

std::optional<TitleChoices> AskTitleCard(QWidget* parent, const UiServices& services, const TitleChoices& initial)
{
    TitleDialog dialog(services, initial, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choices();
}

}  // namespace kinetar::ui
