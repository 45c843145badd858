#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>

class QWidget;

namespace kinetar::ui {

// One question or message as the program puts it: the texts exactly as written, line breaks as
// "\r\n".
struct Prompt {
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
    // The button Enter presses; NoButton: the box's own choice.
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
    // Buttons that say what they do instead of "Yes" or "No".
    QMap<QMessageBox::StandardButton, QString> ButtonTexts{};
};

// Shows the prompt in a message box and returns the button pressed; Escape or closing the box
// answers Cancel where there is one, else No, else OK.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, const Prompt& prompt);

}  // namespace kinetar::ui
