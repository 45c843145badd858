#include "support/ui/ChooserAnswer.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSpinBox>
#include <QTimer>

#include "avi/codecs/CodecRegistry.h"
#include "ui/CompressorChooser.h"

namespace kinetar::test {

namespace {

ChooserAnswer* g_current = nullptr;

}  // namespace

ChooserAnswer::ChooserAnswer(std::optional<std::uint32_t> fourcc, std::optional<int> quality)
    : m_fourcc(fourcc), m_quality(quality)
{
    g_current = this;
}

ChooserAnswer::~ChooserAnswer()
{
    if (g_current == this) {
        g_current = nullptr;
    }
}

bool ChooserAnswer::Answer(QWidget* owner, avi::Container container, project::CodecSettings& variables,
                           const avi::FrameDIB& format)
{
    ChooserAnswer* answer = g_current;
    if (answer == nullptr) {
        ADD_FAILURE() << "unexpected compressor chooser";
        return false;
    }
    ++answer->Shown;
    if (answer->Then) {
        QTimer::singleShot(0, answer->Then);
    }
    if (!answer->m_fourcc) {
        return false;
    }
    ui::CompressorChooser chooser(avi::CodecRegistry::Default(), format.BitsPerPixel(), variables, owner, container);
    auto* list = chooser.findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
    const auto* codec = avi::CodecRegistry::Default().Find(*answer->m_fourcc);
    list->setCurrentIndex(codec != nullptr ? list->findText(QString::fromStdString(codec->Name)) : -1);
    if (answer->m_quality) {
        chooser.findChild<QSpinBox*>(QStringLiteral("ud_Quality"))->setValue(*answer->m_quality);
    }
    if (chooser.Selected() == nullptr) {
        return false;
    }
    variables = chooser.Choice();
    return true;
}

}  // namespace kinetar::test
