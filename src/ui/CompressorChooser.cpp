#include "ui/CompressorChooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "avi/codecs/QualityPercent.h"

namespace kinetar::ui {

namespace {

// The quality box shows percent; 0 stands for the compressor's own default.
constexpr int kDefaultQualityStep = 0;

}  // namespace

CompressorChooser::CompressorChooser(const avi::CodecRegistry& codecs, int bitsPerPixel,
                                     const project::CodecSettings& previous, QWidget* parent, avi::Container container)
    : QDialog(parent),
      m_offered(codecs.ForDepth(bitsPerPixel, container)),
      m_bitsPerPixel(bitsPerPixel),
      m_previous(previous)
{
    setObjectName(QStringLiteral("CompressorChooser"));
    setWindowTitle(QString::fromLatin1(avi::kChooserTitle));
    setModal(true);

    m_compressorBox = new QComboBox;
    m_compressorBox->setObjectName(QStringLiteral("cb_Compressor"));
    int selected = -1;
    int uncompressed = 0;
    for (std::size_t i = 0; i < m_offered.size(); ++i) {
        m_compressorBox->addItem(QString::fromStdString(m_offered[i]->Name));
        if (m_offered[i]->Fourcc == previous.Handler) {
            selected = static_cast<int>(i);
        }
        if (m_offered[i]->Fourcc == avi::kUncompressedFourcc) {
            uncompressed = static_cast<int>(i);
        }
    }
    m_compressorBox->setCurrentIndex(selected >= 0 ? selected : uncompressed);

    m_noteLabel = new QLabel;
    m_noteLabel->setObjectName(QStringLiteral("lb_Note"));
    m_noteLabel->setWordWrap(true);

    m_qualityBox = new QSpinBox;
    m_qualityBox->setObjectName(QStringLiteral("ud_Quality"));
    m_qualityBox->setRange(kDefaultQualityStep, 100);
    m_qualityBox->setSuffix(QStringLiteral(" %"));
    m_qualityBox->setSpecialValueText(QStringLiteral("Compressor's default"));
    m_qualityBox->setValue(selected >= 0 ? avi::PercentFromQuality(previous.Quality) : kDefaultQualityStep);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Compressor:"), m_compressorBox);
    form->addRow(QString(), m_noteLabel);
    form->addRow(QStringLiteral("Compression &quality:"), m_qualityBox);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("bt_Buttons"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);  // Enter takes the selection
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_compressorBox, &QComboBox::currentIndexChanged, this, [this] { OnCompressorChosen(); });
    OnCompressorChosen();
    m_compressorBox->setFocus();
}

const avi::CodecInfo* CompressorChooser::Selected() const
{
    const int index = m_compressorBox->currentIndex();
    return index < 0 ? nullptr : m_offered[static_cast<std::size_t>(index)];
}

void CompressorChooser::OnCompressorChosen()
{
    const avi::CodecInfo* codec = Selected();
    m_qualityBox->setEnabled(codec != nullptr && codec->HasQuality);
    // The one gap among the common players: their readers of 1- and 4-bit frames.
    const bool lowDepth = m_bitsPerPixel == 1 || m_bitsPerPixel == 4;
    if (m_offered.empty()) {
        m_noteLabel->setText(
            QStringLiteral("No compressor of this program writes this kind of video file at this depth."));
    } else {
        m_noteLabel->setText(
            codec != nullptr && codec->Fourcc == avi::kUncompressedFourcc && lowDepth
                ? QStringLiteral("Plays on Windows; VLC 3 does not play 1- and 4-bit uncompressed video.")
                : QString());
    }
    m_noteLabel->setVisible(!m_noteLabel->text().isEmpty());
}

project::CodecSettings CompressorChooser::Choice() const
{
    const avi::CodecInfo* codec = Selected();
    if (codec == nullptr) {
        return m_previous;
    }
    const int percent = m_qualityBox->value();
    const std::uint32_t quality = avi::QualityFromPercent(percent);
    project::CodecSettings choice =
        codec->Fourcc == m_previous.Handler ? m_previous : avi::MakeCodecSettings(codec->Fourcc);
    if (codec->HasQuality) {
        choice.Quality = quality;
    }
    return choice;
}

avi::CompressorChooser MakeCompressorChooser(QWidget* owner, const avi::CodecRegistry* codecs, avi::Container container)
{
    return [owner, codecs, container](project::CodecSettings& variables, const avi::FrameDIB& inputFormat) {
        CompressorChooser chooser(codecs != nullptr ? *codecs : avi::CodecRegistry::Default(),
                                  inputFormat.BitsPerPixel(), variables, owner, container);
        if (chooser.exec() != QDialog::Accepted || chooser.Selected() == nullptr) {
            return false;
        }
        variables = chooser.Choice();
        return true;
    };
}

}  // namespace kinetar::ui
