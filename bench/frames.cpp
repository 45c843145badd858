// Times the main window's frame commands on a large project, on Qt's offscreen platform, and counts
// how often the frame list repaints for each:
//   kinetar-frames-bench FOLDER PICTURE     (FOLDER: an empty work folder; PICTURE: a big BMP)
// Then, as peers in the same run, Qt's own BMP loader on the same picture.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImageReader>
#include <QListWidget>
#include <cstdio>
#include <memory>

#include "project/ProjectFile.h"
#include "ui/FileDialogs.h"
#include "ui/FrameList.h"
#include "ui/MainWindow.h"
#include "ui/UiServices.h"

namespace {

using namespace kinetar;

class PaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        Paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Runs the command, lets the window repaint, and prints the time and the list's repaints.
template <typename Command>
double Measure(const char* label, ui::MainWindow& window, PaintCounter& counter, Command command)
{
    QApplication::processEvents();
    counter.Paints = 0;
    QElapsedTimer timer;
    timer.start();
    command();
    QApplication::processEvents();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("%-40s %8.1f ms   list repaints %d   frames %d\n", label, ms, counter.Paints, window.Frames().count());
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kinetar-frames-bench FOLDER PICTURE\n");
        return 2;
    }
    const std::string folder = argv[1];
    const QString picture = QString::fromLocal8Bit(argv[2]);
    ui::SharedFileDialog dialogs;
    ui::UiServices services = ui::DesktopServices(dialogs);
    // Yes to every question, so the commands run through without a person.
    services.Ask = [](QWidget*, const ui::Prompt&) { return QMessageBox::Yes; };

    const std::string projectPath = folder + "/bench.AVIprj";
    project::ReplaceProjectFile(projectPath, project::NewProjectHeader(), {});
    constexpr int kFrames = 10000;
    QStringList paths;
    for (int i = kFrames; i >= 1; --i) {  // the dialog's order is not the frames' order
        paths << QString::fromStdString(folder) + QStringLiteral("/pictures/frame%1.bmp").arg(i);
    }

    PaintCounter counter;
    double add = 0;
    {
        ui::MainWindow window(services, {QString::fromStdString(projectPath)});
        window.show();
        window.Frames().viewport()->installEventFilter(&counter);
        add = Measure("add 10,000 pictures (sorted by number)", window, counter,
                      [&] { window.Frames().AddPictureFiles(paths); });
        window.SaveProject();
    }
    ui::MainWindow window(services);
    window.show();
    window.Frames().viewport()->installEventFilter(&counter);
    const double open = Measure("open a project of 10,000 frames", window, counter,
                                [&] { window.DropFiles({QString::fromStdString(projectPath)}); });
    ui::FrameList& list = window.Frames();
    {
        const QSignalBlocker quiet(&list);
        QItemSelection every;
        for (int row = 0; row < list.count(); row += 2) {
            every.select(list.model()->index(row, 0), list.model()->index(row, 0));
        }
        list.selectionModel()->select(every, QItemSelectionModel::ClearAndSelect);
    }
    const double remove = Measure("remove 5,000 of them", window, counter, [&] { list.RemoveSelected(); });

    window.Frames().AddPictureFiles({picture});
    list.clearSelection();
    QApplication::processEvents();
    const double preview = Measure("select a frame of the big picture", window, counter,
                                   [&] { list.setCurrentRow(list.count() - 1, QItemSelectionModel::ClearAndSelect); });

    // The peer: Qt's own reader decoding the same file into an image it could draw.
    QElapsedTimer timer;
    timer.start();
    QImageReader reader(picture);
    const QImage image = reader.read();
    const double qtRead = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("%-40s %8.1f ms   (%dx%d)\n", "peer: Qt's reader on the same picture", qtRead, image.width(),
                image.height());
    std::printf("preview / Qt's reader: %.2f\n", qtRead > 0 ? preview / qtRead : 0.0);
    const bool fast = add < 2000 && open < 2000 && remove < 2000 && preview < 200;
    std::printf("goals (each list command under 2 s, the preview under 0.2 s): %s\n", fast ? "met" : "NOT met");
    return 0;
}
