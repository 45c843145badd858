#include "ui/CommandGuard.h"

namespace kinetar::ui {

QString UncaughtErrorText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        return message + u'.';
    }
    return message;
}

void ShowUncaughtError(const AskFunction& ask, QWidget* parent, const std::exception& error)
{
    try {
        ask(parent, {kApplicationTitle, UncaughtErrorText(QString::fromLocal8Bit(error.what())), QMessageBox::Critical,
                     QMessageBox::Ok});
    } catch (...) {
        // Nothing more can be done for an error that cannot even be shown; the program goes on.
    }
}

}  // namespace kinetar::ui
