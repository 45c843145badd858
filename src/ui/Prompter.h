#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

class QWidget;

namespace kinetar::ui {

// One question or message as the program puts it: the texts exactly as written, line breaks as
// "\r\n".
struct Prompt {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
};

// Every message box of the program goes through the current prompter, so tests can answer the
// questions and see what was asked.
class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows the prompt and returns the button pressed; Escape or closing the box answers Cancel
    // where there is one, else No, else OK.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const Prompt& prompt);

    static Prompter& Current();
    // Puts another prompter in place; nullptr restores the one that shows message boxes. Returns the
    // previous one.
    static std::unique_ptr<Prompter> Replace(std::unique_ptr<Prompter> prompter);
};

inline QMessageBox::StandardButton Ask(QWidget* parent, const Prompt& prompt)
{
    return Prompter::Current().Ask(parent, prompt);
}

}  // namespace kinetar::ui
