// Plays a project in the main window's preview on Qt's offscreen platform and counts the frames shown
// and left out after the first second (when the pictures around the start have been read):
//   kinetar-player-bench PROJECT SECONDS [WIDTHxHEIGHT of the window]
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "ui/FileDialogs.h"
#include "ui/FrameDetails.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPlayer.h"
#include "ui/UiServices.h"

int main(int argc, char** argv)
{
    using namespace kinetar;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: kinetar-player-bench PROJECT SECONDS [WIDTHxHEIGHT]\n");
        return 2;
    }
    const double seconds = QString::fromLocal8Bit(argv[2]).toDouble();
    QSize windowSize(578, 470);
    if (argc > 3) {
        const QStringList parts = QString::fromLocal8Bit(argv[3]).split(u'x');
        windowSize = QSize(parts.value(0).toInt(), parts.value(1).toInt());
    }
    ui::SharedFileDialog dialogs;
    ui::UiServices services = ui::DesktopServices(dialogs);
    ui::MainWindow window(services, {QString::fromLocal8Bit(argv[1])});
    window.show();
    window.resize(windowSize);
    QApplication::processEvents();
    ui::PreviewPlayer& player = window.Details().Player();
    window.Session().SetSelection({{0}, 0});
    player.Play();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, [&] {
        const std::int64_t shown = player.FramesShown();
        const std::int64_t dropped = player.FramesDropped();
        const QSize size = player.FrameSize();
        player.Pause();
        const double counted = static_cast<double>(shown + dropped);
        std::printf(
            "frame %dx%d, %.0f s played: %.1f frames shown a second, %lld of %lld dropped (%.2f %%) after "
            "the first second\n",
            size.width(), size.height(), seconds, static_cast<double>(shown) / (seconds - 1.0),
            static_cast<long long>(dropped), static_cast<long long>(shown + dropped),
            counted > 0 ? 100.0 * static_cast<double>(dropped) / counted : 0.0);
        QApplication::quit();
    });
    return QApplication::exec();
}
