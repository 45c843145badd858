#pragma once

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>

#include "avi/codecs/CodecRegistry.h"
#include "ui/CompressorChooser.h"

namespace kinetar::test {

// Answers the compressor chooser from the keyboard when a run opens it: selects a compressor (and
// a quality in percent) and presses Enter, or, without a compressor, presses Escape.
class ChooserAnswer {
public:
    explicit ChooserAnswer(std::optional<std::uint32_t> fourcc, std::optional<int> quality = {})
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, fourcc, quality] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* chooser = qobject_cast<ui::CompressorChooser*>(window);
                if (chooser == nullptr || !chooser->isVisible()) {
                    continue;
                }
                ++Shown;
                auto* list = chooser->findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
                if (fourcc) {
                    const auto* codec = avi::CodecRegistry::Default().Find(*fourcc);
                    list->setCurrentIndex(codec != nullptr ? list->findText(QString::fromStdString(codec->Name)) : -1);
                    if (quality) {
                        chooser->findChild<QSpinBox*>(QStringLiteral("ud_Quality"))->setValue(*quality);
                    }
                }
                QTest::keyClick(list, fourcc ? Qt::Key_Return : Qt::Key_Escape);
                if (Then) {
                    QTimer::singleShot(0, Then);  // at the run's next progress report
                }
            }
        });
        m_timer.start(5);
    }

    std::function<void()> Then;
    int Shown = 0;

private:
    QTimer m_timer;
};

}  // namespace kinetar::test
