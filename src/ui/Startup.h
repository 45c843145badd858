#pragma once

#include <QString>
#include <QStringList>

namespace kinetar::ui {

enum class StartCommand {
    Register,    // register the project file type, no window
    Unregister,  // remove the registration, no window
    Help,        // print the usage
    Version,     // print the version
    Window,      // the desktop program; a single argument names a project to open or create
};

// What the command line (without the program's name) asks for. Only the first argument is looked at
// for the switches, which must match exactly.
StartCommand ClassifyCommandLine(const QStringList& arguments);

QString UsageText();
QString VersionText();

// Runs the program for this command line and returns the exit code.
int RunKinetar(int argc, char** argv);

}  // namespace kinetar::ui
