#pragma once

#include <QString>
#include <exception>
#include <utility>

#include "ui/Messages.h"
#include "ui/UiServices.h"

class QWidget;

namespace kinetar::ui {

// The program's name as the title of its message boxes.
inline const QString kApplicationTitle = msg::kApplicationTitle;

// The message an error that no handler caught is shown with: a full stop is added when the last
// character's code is above that of ".", so a text ending in a path or a letter gets one.
QString UncaughtErrorText(const QString& message);
// Shows that message: error icon, OK, the application's title as caption.
void ShowUncaughtError(const AskFunction& ask, QWidget* parent, const std::exception& error);

// Runs one command handler so that no exception leaves it: an error ends the command and is shown,
// and the program goes on. Every slot of the program is connected through this.
template <typename Handler>
auto Guarded(QWidget* parent, const UiServices& services, Handler handler)
{
    return [parent, ask = services.Ask, handler = std::move(handler)]() {
        try {
            handler();
        } catch (const std::exception& error) {
            ShowUncaughtError(ask, parent, error);
        }
    };
}

}  // namespace kinetar::ui
