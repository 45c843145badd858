#pragma once

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

#include "avi/codecs/CodecRegistry.h"
#include "ui/CompressorChooser.h"

namespace kinetar::test {

// Answers the compressor chooser from the keyboard when a run opens it: selects a compressor and a
// quality and presses Enter, or presses Escape. What the dialog offered stays for the test.
class ChooserAnswer {
public:
    // No fourcc: Escape.
    explicit ChooserAnswer(std::optional<std::uint32_t> fourcc, std::optional<int> qualityPercent = {})
        : m_fourcc(fourcc), m_quality(qualityPercent)
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start();
    }

    std::function<void()> Then;  // runs at the run's next progress report after the answer
    int Shown = 0;
    QString Title;
    QStringList Offered;
    QString Preselected;
    bool QualityEnabled = false;

private:
    void Look()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* chooser = qobject_cast<ui::CompressorChooser*>(window);
            if (chooser == nullptr || !chooser->isVisible()) {
                continue;
            }
            ++Shown;
            Title = chooser->windowTitle();
            auto* list = chooser->findChild<QComboBox*>(QStringLiteral("cb_Compressor"));
            Preselected = list->currentText();
            for (int i = 0; i < list->count(); ++i) {
                Offered << list->itemText(i);
            }
            if (!m_fourcc) {
                QTest::keyClick(list, Qt::Key_Escape);
            } else {
                const auto* codec = avi::CodecRegistry::Default().Find(*m_fourcc);
                list->setCurrentIndex(codec != nullptr ? list->findText(QString::fromStdString(codec->Name)) : -1);
                auto* quality = chooser->findChild<QSpinBox*>(QStringLiteral("ud_Quality"));
                QualityEnabled = quality->isEnabled();
                if (m_quality) {
                    quality->setValue(*m_quality);
                }
                QTest::keyClick(list, Qt::Key_Return);
            }
            if (Then) {
                QTimer::singleShot(0, Then);
            }
            return;
        }
    }

    std::optional<std::uint32_t> m_fourcc;
    std::optional<int> m_quality;
    QTimer m_timer;
};

}  // namespace kinetar::test
