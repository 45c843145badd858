#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "UiTest.h"
#include "project/ProjectFile.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/ui/ChooserAnswer.h"
#include "ui/FrameList.h"
#include "ui/Thumbnails.h"
#include "ui/VideoSettingsWindow.h"

namespace kinetar::test {
namespace {

// The sample project from the main window's Generate command to a saved project that the command
// line renders to the same video.
TEST_F(UiTest, GenerateFromTheMainWindowThenRenderTheSavedProject)
{
    KINETAR_SKIP_WITHOUT(kPython, kFfprobe);
    std::string project;
    ASSERT_EQ(RunCommand(ShellQuote(kPython) + " " + ShellQuote(KINETAR_SAMPLE_SCRIPT) + " " + ShellQuote(KINETAR_CLI) +
                             " " + ShellQuote(File("sample")),
                         &project),
              0);
    project = project.substr(0, project.find('\n'));
    ui::MainWindow window(Services(), {QString::fromStdString(project)});
    window.show();
    QApplication::processEvents();
    ASSERT_FALSE(window.WorkingCopyPath().empty());

    for (const auto& [fourcc, codecName] : {std::pair{avi::kUncompressedFourcc, "rawvideo"}, {0x47504A4DU, "mjpeg"}}) {
        SCOPED_TRACE(codecName);
        const QString video = QPath(codecName) + ".avi";
        ChooserAnswer chooser(fourcc, 60);
        QTimer::singleShot(0, [&] {
            auto* settings = window.findChild<ui::VideoSettingsWindow*>(QStringLiteral("AVICreateWindow"));
            ASSERT_NE(settings, nullptr);
            settings->findChild<QLineEdit*>(QStringLiteral("ed_FileNameAVI"))->setText(video);
            settings->findChild<QCheckBox*>(QStringLiteral("ch_playAVIafter"))->setChecked(false);
            settings->findChild<QPushButton*>(QStringLiteral("bt_Generuj"))->click();
        });
        Answer({QMessageBox::Ok});
        window.findChild<QAction*>(QStringLiteral("menu_GenerovatAVI"))->trigger();
        EXPECT_EQ(TakeOnlyAsked(), "AVI generation done.");
        EXPECT_EQ(window.findChild<ui::VideoSettingsWindow*>(), nullptr) << "destroyed after use";

        const auto probed = Probe(video.toStdString(), false);
        ASSERT_TRUE(probed);
        EXPECT_EQ(probed->Codec, codecName);
        EXPECT_EQ(probed->CountedFrames, 36);
        EXPECT_EQ(probed->Width, 320);
        EXPECT_EQ(probed->FrameRate, "12/1");
        project::ProjectHeader header;
        ASSERT_TRUE(project::ReadProjectHeader(window.WorkingCopyPath(), header));
        EXPECT_EQ(header.CodecSettings.Handler, fourcc);
        EXPECT_TRUE(window.ProjectModified());
    }

    window.findChild<QAction*>(QStringLiteral("menu_Ulozit"))->trigger();
    EXPECT_FALSE(window.ProjectModified());
    ASSERT_EQ(RunCommand(ShellQuote(KINETAR_CLI) + " render --quiet " + ShellQuote(project) + " --output " +
                         ShellQuote(File("cli.avi"))),
              0);
    // The same pictures; the bytes may differ, as each encoder thread tunes its own Huffman tables.
    const auto rendered = DecodeVideoFrames(File("cli.avi"));
    ASSERT_TRUE(rendered);
    EXPECT_EQ(rendered->size(), 36U);
    EXPECT_TRUE(rendered == DecodeVideoFrames(File("mjpeg.avi")));
}

// A picture a record names relatively is the project folder's: the window and the command line,
// started in another folder, make the same frames of it.
TEST_F(UiTest, ARelativePictureIsTheProjectFoldersForTheWindowAndTheCommandLine)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    std::filesystem::create_directory(File("project"));
    std::filesystem::create_directory(File("elsewhere"));
    // 2x2, 24 bits, every pixel red (stored blue, green, red); each row padded to 8 bytes.
    WriteFile(File("project/red.bmp"),
              BmpBuilder{}.Size(2, 2).Pixels({0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0}).Build());
    project::ProjectHeader header = project::NewProjectHeader();
    header.Width = 16;
    header.Height = 16;
    project::ReplaceProjectFile(File("project/p.AVIprj"), header,
                                {project::NewFrameRecord("red.bmp"), project::NewFrameRecord("red.bmp")});

    ui::MainWindow window(Services(), {QPath("project/p.AVIprj")});
    window.show();
    QApplication::processEvents();
    ChooserAnswer chooser(avi::kUncompressedFourcc);
    QTimer::singleShot(0, [&] {
        auto* settings = window.findChild<ui::VideoSettingsWindow*>(QStringLiteral("AVICreateWindow"));
        ASSERT_NE(settings, nullptr);
        settings->findChild<QLineEdit*>(QStringLiteral("ed_FileNameAVI"))->setText(QPath("window.avi"));
        settings->findChild<QCheckBox*>(QStringLiteral("ch_playAVIafter"))->setChecked(false);
        settings->findChild<QPushButton*>(QStringLiteral("bt_Generuj"))->click();
    });
    Answer({QMessageBox::Ok});
    window.findChild<QAction*>(QStringLiteral("menu_GenerovatAVI"))->trigger();
    EXPECT_EQ(TakeOnlyAsked(), "AVI generation done.");

    ASSERT_EQ(RunCommand("cd " + ShellQuote(File("elsewhere")) + " && " + ShellQuote(KINETAR_CLI) +
                         " render --quiet --codec DIB ../project/p.AVIprj --output " + ShellQuote(File("cli.avi"))),
              0);
    const auto fromWindow = DecodeVideoFrames(File("window.avi"));
    const auto fromCommandLine = DecodeVideoFrames(File("cli.avi"));
    ASSERT_TRUE(fromWindow && fromCommandLine);
    ASSERT_EQ(fromCommandLine->size(), 2U);
    EXPECT_EQ(fromCommandLine->front().At(8, 8), 0xFF0000U) << "the picture, not an empty frame";
    EXPECT_TRUE(fromWindow == fromCommandLine);
}

// A project whose records and destination are relative and whose size is left to the first
// picture, opened from another folder that holds a picture of the same name: the list, the
// preview, the proposed size and the video all take the project folder's files, and the program
// never changes its current folder.
TEST_F(UiTest, RelativePathsAreTheProjectFoldersWhereverTheProgramStands)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    std::filesystem::create_directory(File("project"));
    std::filesystem::create_directory(File("elsewhere"));
    WriteFile(File("project/photo.bmp"), Bmp24(SolidImage(16, 12, 0xFF0000)));
    WriteFile(File("elsewhere/photo.bmp"), Bmp24(SolidImage(8, 6, 0x0000FF)));
    project::ProjectHeader header = project::NewProjectHeader();
    header.PlayAfterCreate = 0;
    project::SetText(header.AviFileName, "made.avi");
    project::ReplaceProjectFile(File("project/p.AVIprj"), header, {project::NewFrameRecord("photo.bmp")});
    ASSERT_TRUE(QDir::setCurrent(QPath("elsewhere")));
    const QString startedIn = QDir::currentPath();

    ui::MainWindow window(Services(), {QStringLiteral("../project/p.AVIprj")});
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.ProjectPath(), QPath("project/p.AVIprj"));
    EXPECT_EQ(window.Frames().model()->index(0, 0).data(ui::ThumbnailDelegate::kPathRole).toString(),
              QPath("project/photo.bmp"));
    Select(window, {0});
    QApplication::processEvents();
    EXPECT_EQ(Find<QLabel>(window, "lb_RozmerySnimku")->text(), "16 x 12");
    EXPECT_EQ(QDir::currentPath(), startedIn);

    ChooserAnswer chooser(avi::kUncompressedFourcc);
    QTimer::singleShot(0, [&] {
        auto* settings = window.findChild<ui::VideoSettingsWindow*>(QStringLiteral("AVICreateWindow"));
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(Find<QLineEdit>(*settings, "ed_SirkaAVI")->text(), "16");
        EXPECT_EQ(Find<QLineEdit>(*settings, "ed_VyskaAVI")->text(), "12");
        EXPECT_EQ(Find<QLineEdit>(*settings, "ed_FileNameAVI")->text(), "made.avi");
        Find<QPushButton>(*settings, "bt_Generuj")->click();
    });
    Answer({QMessageBox::Ok});
    Trigger(window, "menu_GenerovatAVI");
    EXPECT_EQ(TakeOnlyAsked(), "AVI generation done.");

    EXPECT_FALSE(std::filesystem::exists(File("elsewhere/made.avi")));
    const auto frames = DecodeVideoFrames(File("project/made.avi"));
    ASSERT_TRUE(frames);
    ASSERT_EQ(frames->size(), 1U);
    EXPECT_EQ(frames->front().Width, 16);
    EXPECT_EQ(frames->front().At(8, 6), 0xFF0000U);
    // The project keeps the destination as it was typed.
    project::ProjectHeader stored;
    ASSERT_TRUE(project::ReadProjectHeader(window.WorkingCopyPath(), stored));
    EXPECT_EQ(project::GetText(stored.AviFileName), "made.avi");
    EXPECT_EQ(QDir::currentPath(), startedIn);
}

// Minimalize during a run takes the main window down with the settings window, and both are back
// before the final message.
TEST_F(UiTest, MinimisedDuringARunTheMainWindowIsBackBeforeTheFinalMessage)
{
    WriteFile(File("photo.bmp"), Bmp24(SolidImage(16, 12, 0x00FF00)));
    auto window = Open({File("photo.bmp")});
    ui::VideoSettingsWindow* settings = nullptr;
    ChooserAnswer chooser(avi::kUncompressedFourcc);
    chooser.Then = [&] {
        Find<QPushButton>(*settings, "Button2")->click();
        EXPECT_TRUE(window->isMinimized());
        EXPECT_TRUE(settings->isMinimized());
    };
    int asked = 0;
    m_prompter->OnAsk = [&](const ui::Prompt&) {
        ++asked;
        EXPECT_FALSE(window->isMinimized());
        EXPECT_FALSE(settings->isMinimized());
    };
    QTimer::singleShot(0, [&] {
        settings = window->findChild<ui::VideoSettingsWindow*>(QStringLiteral("AVICreateWindow"));
        ASSERT_NE(settings, nullptr);
        Find<QLineEdit>(*settings, "ed_FileNameAVI")->setText(QPath("made.avi"));
        Find<QCheckBox>(*settings, "ch_playAVIafter")->setChecked(false);
        Find<QPushButton>(*settings, "bt_Generuj")->click();
    });
    Answer({QMessageBox::Ok});
    Trigger(*window, "menu_GenerovatAVI");
    EXPECT_EQ(TakeOnlyAsked(), "AVI generation done.");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(chooser.Shown, 1);
}

}  // namespace
}  // namespace kinetar::test
