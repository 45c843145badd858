#pragma once

#include <QMessageBox>
#include <deque>
#include <functional>
#include <vector>

#include "ui/Prompter.h"

class QWidget;

namespace kinetar::test {

// Answers message boxes from a queue and keeps every prompt asked. A question nobody expected is
// answered Cancel (or OK) and fails the test.
class RecordingPrompter {
public:
    QMessageBox::StandardButton Ask(QWidget* parent, const ui::Prompt& prompt);

    std::deque<QMessageBox::StandardButton> Answers;
    std::vector<ui::Prompt> Asked;
    // Runs as each prompt is asked, to see the program's state at that moment.
    std::function<void(const ui::Prompt&)> OnAsk;
};

}  // namespace kinetar::test
