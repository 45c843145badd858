#include "ui/NewSlideshowDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <array>

#include "avi/engine/VideoSettings.h"

namespace kinetar::ui {

namespace {

// 1080p first: what most photos are shown at now.
constexpr std::array<const char*, 6> kSizeOrder{"1080p", "720p", "4k", "vertical", "square", "portrait"};

struct RateChoice {
    const char* Text;
    project::FrameRate Rate;
};
constexpr std::array<RateChoice, 5> kRates{
    {{"25", {25, 1}}, {"29.97", {30000, 1001}}, {"30", {30, 1}}, {"50", {50, 1}}, {"60", {60, 1}}}};

struct FitChoice {
    const char* Text;
    project::FitMode Fit;
};
constexpr std::array<FitChoice, 3> kFits{{{"Blurred fill", project::FitMode::Blur},
                                          {"Letterbox", project::FitMode::Letterbox},
                                          {"Crop", project::FitMode::Crop}}};

QDoubleSpinBox* SecondsBox(double value, double minimum, const QString& name)
{
    auto* box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setRange(minimum, project::kMaxMilliseconds / 1000.0);
    box->setDecimals(3);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" s"));
    box->setValue(value);
    return box;
}

std::uint32_t Milliseconds(const QDoubleSpinBox* box)
{
    return static_cast<std::uint32_t>(std::llround(box->value() * 1000));
}

QString FilesText(const QStringList& files, const QString& none, const QString& several)
{
    if (files.isEmpty()) {
        return none;
    }
    return files.size() == 1 ? QFileInfo(files.front()).fileName() : several.arg(files.size());
}

}  // namespace

NewSlideshowDialog::NewSlideshowDialog(const UiServices& services, QWidget* parent)
    : QDialog(parent), m_services(services)
{
    setObjectName(QStringLiteral("NewSlideshowDialog"));
    setWindowTitle(QStringLiteral("New slideshow"));
    auto* form = new QFormLayout;

    m_size = new QComboBox;
    m_size->setObjectName(QStringLiteral("slideshowSize"));
    for (const char* name : kSizeOrder) {
        const auto preset = avi::FindSizePreset(name);
        m_size->addItem(QStringLiteral("%1 \u00d7 %2 (%3)").arg(preset->Width).arg(preset->Height).arg(name),
                        QSize(preset->Width, preset->Height));
    }
    form->addRow(QStringLiteral("&Size:"), m_size);

    m_rate = new QComboBox;
    m_rate->setObjectName(QStringLiteral("slideshowRate"));
    for (const RateChoice& rate : kRates) {
        m_rate->addItem(QString::fromLatin1(rate.Text));
    }
    form->addRow(QStringLiteral("&Frames per second:"), m_rate);

    m_duration = SecondsBox(3, 0.001, QStringLiteral("slideshowDuration"));
    form->addRow(QStringLiteral("Seconds per &picture:"), m_duration);

    m_fit = new QComboBox;
    m_fit->setObjectName(QStringLiteral("slideshowFit"));
    for (const FitChoice& fit : kFits) {
        m_fit->addItem(QString::fromLatin1(fit.Text));
    }
    form->addRow(QStringLiteral("F&it:"), m_fit);

    m_crossfade = SecondsBox(0.5, 0, QStringLiteral("slideshowCrossfade"));
    form->addRow(QStringLiteral("&Crossfade:"), m_crossfade);

    m_motion = new QComboBox;
    m_motion->setObjectName(QStringLiteral("slideshowMotion"));
    m_motion->addItems({QStringLiteral("Automatic"), QStringLiteral("None")});
    form->addRow(QStringLiteral("&Motion:"), m_motion);

    m_background = new QPushButton;
    m_background->setObjectName(QStringLiteral("slideshowBackground"));
    connect(m_background, &QPushButton::clicked, this, &NewSlideshowDialog::ChooseBackground);
    ShowBackground();
    form->addRow(QStringLiteral("&Background:"), m_background);

    const auto fileRow = [&](const QString& buttonText, const QString& name, QLabel*& label, auto chooser) {
        auto* row = new QHBoxLayout;
        auto* button = new QPushButton(buttonText);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, chooser);
        label = new QLabel;
        row->addWidget(button);
        row->addWidget(label, 1);
        return row;
    };
    form->addRow(QStringLiteral("Pictures:"),
                 fileRow(QStringLiteral("Add p&ictures..."), QStringLiteral("slideshowPictures"), m_picturesText,
                         &NewSlideshowDialog::ChoosePictures));
    form->addRow(QStringLiteral("Music:"), fileRow(QStringLiteral("Add m&usic..."), QStringLiteral("slideshowMusic"),
                                                   m_musicText, &NewSlideshowDialog::ChooseMusic));
    m_picturesText->setText(FilesText(m_pictures, QStringLiteral("none yet"), QString()));
    m_musicText->setText(FilesText(m_music, QStringLiteral("none"), QString()));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("C&reate..."));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setLayout(form);
}

SlideshowChoices NewSlideshowDialog::Choices() const
{
    SlideshowChoices choices;
    const QSize size = m_size->currentData().toSize();
    choices.Settings.Width = size.width();
    choices.Settings.Height = size.height();
    choices.Settings.Rate = kRates[static_cast<std::size_t>(m_rate->currentIndex())].Rate;
    choices.Settings.Background = {static_cast<std::uint8_t>(m_backgroundColor.red()),
                                   static_cast<std::uint8_t>(m_backgroundColor.green()),
                                   static_cast<std::uint8_t>(m_backgroundColor.blue())};
    choices.Settings.Defaults = {
        .Duration = Milliseconds(m_duration),
        .Fit = kFits[static_cast<std::size_t>(m_fit->currentIndex())].Fit,
        .Crossfade = Milliseconds(m_crossfade),
        .Motion = m_motion->currentIndex() == 0 ? project::MotionKind::Automatic : project::MotionKind::None};
    choices.Pictures = m_pictures;
    choices.Music = m_music;
    return choices;
}

void NewSlideshowDialog::ChooseBackground()
{
    if (const std::optional<QColor> chosen = m_services.ChooseColor(this, m_backgroundColor)) {
        m_backgroundColor = *chosen;
        ShowBackground();
    }
}

void NewSlideshowDialog::ShowBackground()
{
    m_background->setText(m_backgroundColor.name());
    QPixmap swatch(16, 16);
    swatch.fill(m_backgroundColor);
    m_background->setIcon(QIcon(swatch));
}

void NewSlideshowDialog::ChoosePictures()
{
    m_services.SharedDialog->PrepareFileDialog(kPicturesMode);
    if (m_services.RunSharedDialog(this)) {
        m_pictures = m_services.SharedDialog->OpenDialog.Files;
        m_picturesText->setText(FilesText(m_pictures, QStringLiteral("none yet"), QStringLiteral("%1 files")));
    }
}

void NewSlideshowDialog::ChooseMusic()
{
    m_services.SharedDialog->PrepareFileDialog(kMusicMode);
    if (m_services.RunSharedDialog(this)) {
        m_music = m_services.SharedDialog->OpenDialog.Files;
        m_musicText->setText(FilesText(m_music, QStringLiteral("none"), QStringLiteral("%1 sounds")));
    }
}

std::optional<SlideshowChoices> AskNewSlideshow(QWidget* parent, const UiServices& services)
{
    NewSlideshowDialog dialog(services, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choices();
}

}  // namespace kinetar::ui
