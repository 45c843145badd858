#include "ui/DesktopOpener.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace kinetar::ui {

namespace {

// Long enough for xdg-open to find that nothing opens the file (a quarter of a second here), short
// enough not to be felt while a player starts.
constexpr int kVerdictWaitMs = 2000;

}  // namespace

bool OpenWithDesktop(const QUrl& target)
{
    // A local file goes as an absolute path, so a name beginning with "-" is never an option.
    const QString argument =
        target.isLocalFile() ? QFileInfo(target.toLocalFile()).absoluteFilePath() : target.toString();
    // Owned by the application: an opener that runs the player itself outlives the window that
    // asked for it.
    auto* opener = new QProcess(QCoreApplication::instance());
    // What it and the application print goes where the program's own output goes, not into a buffer
    // that would grow as long as a player runs.
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->start(QStringLiteral("xdg-open"), {argument});
    if (!opener->waitForStarted()) {
        delete opener;
        return false;
    }
    QEventLoop wait;
    QObject::connect(opener, &QProcess::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(kVerdictWaitMs, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    if (opener->state() == QProcess::NotRunning) {
        const bool opened = opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
        delete opener;
        return opened;
    }
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    return true;
}

}  // namespace kinetar::ui
