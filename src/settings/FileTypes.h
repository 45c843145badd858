#pragma once

#include <QString>

namespace kinetar::settings {

inline constexpr char kProjectMimeType[] = "application/x-kinetar-project";

// Registers *.AVIprj for the current user, opening in `programPath` (the running program's full
// path; the caller passes QCoreApplication::applicationFilePath()). Failures are ignored.
//
// Writes, under $XDG_DATA_HOME (default ~/.local/share): the MIME package
// mime/packages/kinetar-project.xml, the desktop entry applications/org.tavrel.KinetarProject.desktop,
// and the icon as icons/hicolor/scalable/apps/org.tavrel.Kinetar.svg and
// icons/hicolor/scalable/mimetypes/application-x-kinetar-project.svg; under $XDG_CONFIG_HOME
// (default ~/.config) the type's line in mimeapps.list. Then updates the MIME and desktop databases
// where their tools are installed. Both variables are read at each call.
void RegisterProjectFileType(const QString& programPath);
// Removes what RegisterProjectFileType wrote. Failures are ignored.
void UnregisterProjectFileType();

// The desktop entry's Exec value for a program: the path, quoted only when it holds a blank or
// another reserved character, then " %f"; escaped for the entry file.
QString DesktopExecValue(const QString& programPath);

}  // namespace kinetar::settings
