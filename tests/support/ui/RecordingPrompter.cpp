#include "support/ui/RecordingPrompter.h"

#include <gtest/gtest.h>

namespace kinetar::test {

QMessageBox::StandardButton RecordingPrompter::Ask(QWidget* /*parent*/, const ui::Prompt& prompt)
{
    Asked.push_back(prompt);
    if (OnAsk) {
        OnAsk(prompt);
    }
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected message: " << prompt.Text.toStdString();
        return prompt.Buttons.testFlag(QMessageBox::Cancel) ? QMessageBox::Cancel : QMessageBox::Ok;
    }
    const auto answer = Answers.front();
    Answers.pop_front();
    return answer;
}

}  // namespace kinetar::test
