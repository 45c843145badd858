#include "ui/Startup.h"

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "settings/FileTypes.h"
#include "ui/FileDialogs.h"
#include "ui/MainWindow.h"
#include "ui/UiServices.h"

namespace kinetar::ui {

StartCommand ClassifyCommandLine(const QStringList& arguments)
{
    if (arguments.isEmpty()) {
        return StartCommand::Window;
    }
    const QString& first = arguments.front();
    if (first == QStringLiteral("/register")) {
        return StartCommand::Register;
    }
    if (first == QStringLiteral("/unregister")) {
        return StartCommand::Unregister;
    }
    if (arguments.size() == 1 && (first == QStringLiteral("--help") || first == QStringLiteral("-h"))) {
        return StartCommand::Help;
    }
    if (arguments.size() == 1 && first == QStringLiteral("--version")) {
        return StartCommand::Version;
    }
    return StartCommand::Window;
}

QString UsageText()
{
    return QStringLiteral(
        "Usage: kinetar [PROJECT.AVIprj]\n"
        "       kinetar /register | /unregister\n"
        "       kinetar -h | --help | --version\n"
        "\n"
        "Opens the desktop program. A project named on the command line is opened, or created\n"
        "after a question when it does not exist; without one, the last project is opened again.\n"
        "\n"
        "  /register     make .AVIprj files open in this program for the current user, then exit\n"
        "  /unregister   remove that registration, then exit\n"
        "  -h, --help    print this text\n"
        "  --version     print the version\n");
}

QString VersionText()
{
    return QStringLiteral("kinetar " KINETAR_VERSION "\n");
}

int RunKinetar(int argc, char** argv)
{
    // Taken before Qt removes the options it knows from argv: every argument counts as written.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QFile::decodeName(argv[i]);
    }
    switch (ClassifyCommandLine(arguments)) {
    case StartCommand::Register: {
        QCoreApplication application(argc, argv);
        settings::RegisterProjectFileType(QCoreApplication::applicationFilePath());
        return 0;
    }
    case StartCommand::Unregister: {
        QCoreApplication application(argc, argv);
        settings::UnregisterProjectFileType();
        return 0;
    }
    case StartCommand::Help:
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return 0;
    case StartCommand::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case StartCommand::Window:
        break;
    }
    QApplication application(argc, argv);
    // The shared dialog's holder is handed to the window, so it is there first; the window's creation
    // uses no file dialog all the same.
    SharedFileDialog holder;
    MainWindow window(DesktopServices(holder), arguments);
    window.show();
    QApplication::exec();
    return 0;
}

}  // namespace kinetar::ui
