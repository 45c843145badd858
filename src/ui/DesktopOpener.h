#pragma once

#include <QUrl>

namespace kinetar::ui {

// Hands a file or an address to the desktop's opener (xdg-open) and says whether it was taken.
// Qt's own openUrl reports only that xdg-open could be started, so a video with no player to open
// it failed without a word. On the common desktops xdg-open passes the file to the desktop's
// launcher and ends at once with its verdict; without one it runs the application itself and
// lasts as long as it does, so an opener still running after a short wait counts as success.
// Input to the program's windows waits meanwhile; painting goes on.
bool OpenWithDesktop(const QUrl& target);

}  // namespace kinetar::ui
