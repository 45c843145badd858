#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <thread>

#include "UiTest.h"
#include "common/Error.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "support/ui/ChooserAnswer.h"
#include "ui/EngineThread.h"
#include "ui/VideoSettingsWindow.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;
using project::ProjectHeader;
constexpr std::uint32_t kDib = avi::kUncompressedFourcc;
constexpr std::uint32_t kMjpg = 0x47504A4D;  // "MJPG"

class AviCreateWindowTest : public UiTest {
protected:
    // The working copy: a new project's header (32 x 24, out.avi, no playing) as `edit` leaves it,
    // and a frame per picture: a BMP of that width at 4:3, or junk for "bad".
    void WorkingCopy(const std::vector<std::string>& pictures, const std::function<void(ProjectHeader&)>& edit = {})
    {
        ProjectHeader header = project::NewProjectHeader();
        header.Width = 32;
        header.Height = 24;
        header.PlayAfterCreate = 0;
        project::SetText(header.AviFileName, File("out.avi"));
        if (edit) {
            edit(header);
        }
        std::vector<project::FrameRecord> records;
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const int width = pictures[i] == "bad" ? 0 : std::stoi(pictures[i]);
            records.push_back(project::NewFrameRecord(File("p" + std::to_string(i) + ".bmp")));
            WriteFile(File("p" + std::to_string(i) + ".bmp"),
                      width == 0 ? std::vector<std::uint8_t>{'B', 'M', 1} : Bmp24(GradientImage(width, width * 3 / 4)));
        }
        project::ReplaceProjectFile(File("work.AVIprj"), header, records);
    }
    // Shown beside the main window; file dialogs go to `dialogs` when given.
    std::unique_ptr<ui::VideoSettingsWindow> Window(const QString& project = {}, ui::FileDialogRunner dialogs = {})
    {
        m_session.Close();
        m_session.SetProjectPath(QPath("work.AVIprj"));
        m_session.OpenWorkingCopy();
        m_session.SetProjectPath(project.isEmpty() ? QPath("demo.AVIprj") : project);
        m_mainWindow.show();
        m_frames->setFocus();
        ui::UiServices services = Services();
        services.RunFileDialog = dialogs ? dialogs : services.RunFileDialog;
        auto window = std::make_unique<ui::VideoSettingsWindow>(m_session, services, &m_mainWindow);
        window->show();
        return window;
    }
    template <typename T = QPushButton>
    static T* Find(const QWidget& window, const char* name)
    {
        return UiTest::Find<T>(window, name);
    }
    ProjectHeader Stored() const
    {
        ProjectHeader header;
        EXPECT_TRUE(project::ReadProjectHeader(m_session.WorkingCopyPath(), header));
        return header;
    }
    session::ProjectSession m_session;
    // Idle after a run that did not succeed: open, "&Close", the bar and the label at 0, the main
    // window's keyboard back on its list.
    void ExpectIdleAfterRun(const ui::VideoSettingsWindow& window) const
    {
        EXPECT_EQ(m_mainWindow.focusWidget(), m_frames);
        EXPECT_TRUE(window.isVisible() && !window.Generating() && Find(window, "bt_Generuj")->isEnabled() &&
                    Find<QLineEdit>(window, "ed_FileNameAVI")->isEnabled());
        EXPECT_EQ(Find(window, "Button3")->text(), "&Close");
        EXPECT_EQ(Find<QProgressBar>(window, "ProgressBar_Generace")->value(), 0);
        EXPECT_EQ(Find<QLabel>(window, "Prubeh")->text(), "0 %");
    }

    // The main window as the settings window sees it: the list, and a field the keyboard would go
    // to from the list disabled during a run.
    QWidget m_mainWindow;
    QListWidget* m_frames = new QListWidget(&m_mainWindow);
    QLineEdit* m_nextField = new QLineEdit(&m_mainWindow);
};

TEST_F(AviCreateWindowTest, CreationProposesWhatTheHeaderLacks)
{
    // Project paths starting with "/" stand as they are, others lie in the test's folder.
    const std::tuple<const char*, const char*, std::int32_t, const char*, std::int32_t, std::string, bool> rows[] = {
        {"size from the first picture", "320", 0, "demo.AVIprj", 320, {}, true},
        {"first picture unreadable", "bad", 0, "demo.AVIprj", 0, {}, false},
        {"nothing lacking", "320", 32, "demo.AVIprj", 32, {}, false},
        {"name in a folder", "bad", 32, "sub/demo.x.AVIprj", 32, "sub/demo.x.avi", true},
        {"name in the root folder", "bad", 32, "/demo.AVIprj", 32, "/demo.avi", true},
    };
    for (const auto& [name, picture, width, projectName, shownWidth, proposed, changed] : rows) {
        SCOPED_TRACE(name);
        const bool rooted = projectName[0] == '/';
        WorkingCopy({picture}, [&](ProjectHeader& header) {
            header.Width = width;
            if (!proposed.empty()) {
                header.AviFileName.fill('\0');
            }
        });
        auto window = Window(rooted ? QString::fromLatin1(projectName) : QPath(projectName));
        const std::string destination = proposed.empty() ? File("out.avi") : rooted ? proposed : File(proposed);
        EXPECT_EQ(Find<QLineEdit>(*window, "ed_SirkaAVI")->text(), QString::number(shownWidth));
        EXPECT_EQ(Find<QLineEdit>(*window, "ed_FileNameAVI")->text().toStdString(), destination);
        // Shown only: opening the window changes nothing until the user does or a run uses it.
        EXPECT_FALSE(window->SettingsChanged());
        EXPECT_EQ(Stored().Width, width);
        EXPECT_EQ(Stored().Width != shownWidth || project::GetText(Stored().AviFileName) != destination, changed);
        EXPECT_EQ(Find(*window, "Button3")->text(), "&Close");
        EXPECT_EQ(Find<QLabel>(*window, "Prubeh")->text(), "0%");
        EXPECT_GE(window->width(), 414);
        EXPECT_GE(window->height(), 203);
    }
}

// The labels this program shows say "video" for the kinds of file that are no AVI, and the rate
// field is wide enough for a fractional rate.
TEST_F(AviCreateWindowTest, LabelsFollowTheKindOfFileAndTheRateFits)
{
    WorkingCopy({"32"});
    auto window = Window();
    auto* rate = Find<QComboBox>(*window, "cb_SnimkuZaSekundu");
    rate->setEditText(QStringLiteral("30000/1001"));
    EXPECT_GE(rate->lineEdit()->width(), rate->fontMetrics().horizontalAdvance(rate->currentText()));
    const std::pair<const char*, QString> rows[] = {
        {"out.avi", "AVI"}, {"out.mp4", "video"}, {"out.mkv", "video"}, {"out.webm", "video"}, {"out.AVI", "AVI"}};
    // Width and height are plain fields: no arrows beside them that do nothing.
    EXPECT_TRUE(window->findChildren<QAbstractSpinBox*>().isEmpty());
    for (const auto& [name, kind] : rows) {
        SCOPED_TRACE(name);
        Find<QLineEdit>(*window, "ed_FileNameAVI")->setText(QPath(name));
        EXPECT_EQ(Find(*window, "bt_Generuj")->text(), "Generate " + kind);
        EXPECT_EQ(Find<QCheckBox>(*window, "ch_playAVIafter")->text(), "&Play " + kind + " after generation");
    }
}

TEST_F(AviCreateWindowTest, KeysAndTheRate)
{
    WorkingCopy({"32"});
    auto window = Window();
    auto* width = Find<QLineEdit>(*window, "ed_SirkaAVI");
    width->selectAll();
    QTest::keyClicks(width, "1a2-b3");
    QTest::keyClick(width, Qt::Key_Backspace);
    EXPECT_EQ(width->text(), "12");
    QTest::keyClick(width, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    auto* rate = Find<QComboBox>(*window, "cb_SnimkuZaSekundu");
    rate->setEditText({});
    QTest::keyClicks(rate, "ab1c");  // where the keyboard sends them
    QTest::keyClicks(rate->lineEdit(), "7x");
    EXPECT_EQ(rate->currentText(), "17");
    for (const auto& [text, enabled] :
         {std::pair{"", false}, {"0", false}, {"00", false}, {"99999999999", false}, {"7", true}, {"0", false}}) {
        rate->setEditText(QString::fromLatin1(text));
        EXPECT_EQ(Find(*window, "bt_Generuj")->isEnabled(), enabled) << text;
    }
    QTest::keyClick(width, Qt::Key_Return);  // the Generate button is disabled: nothing runs
    EXPECT_FALSE(fs::exists(File("out.avi")));
}

// The rate goes into the header as an exact fraction; what is no positive rate disables Generate.
TEST_F(AviCreateWindowTest, FractionalRates)
{
    WorkingCopy({"32"}, [](ProjectHeader& header) { project::SetFrameRate(header, {30000, 1001}); });
    auto window = Window();
    auto* rate = Find<QComboBox>(*window, "cb_SnimkuZaSekundu");
    EXPECT_EQ(rate->currentText(), "29.97");
    // Each text and what it stores as numerator/denominator; a whole rate keeps the denominator 0.
    const std::pair<const char*, const char*> rows[] = {{"29.97", "30000/1001"}, {"23.976", "24000/1001"},
                                                        {"59.94", "60000/1001"}, {"12.5", "25/2"},
                                                        {"25", "25/0"},          {"24000/1001", "24000/1001"},
                                                        {"1/0", "0/0"},          {"0/5", "0/0"},
                                                        {"2.5.", "0/0"},         {"/", "0/0"}};
    for (const auto& [text, stored] : rows) {
        rate->setEditText(QString::fromLatin1(text));
        ProjectHeader header{};  // a refused text leaves it at 0/0 and Generate disabled
        if (Find(*window, "bt_Generuj")->isEnabled()) {
            window->TransferSettings(ui::VideoSettingsWindow::Direction::FromControls, header);
        }
        EXPECT_EQ(QStringLiteral("%1/%2").arg(header.FramesPerSecond.Get()).arg(header.RateDenominator.Get()), stored);
    }
    rate->setEditText({});
    QTest::keyClicks(rate->lineEdit(), "2a9.9.7/1/");  // one "." and one "/" get through
    EXPECT_EQ(rate->currentText(), "29.97/1");
}

// Background, smoothing and size presets are settings like the others; the length follows the rate.
TEST_F(AviCreateWindowTest, FramingSettingsAndTheLength)
{
    WorkingCopy({"320", "320"}, [](ProjectHeader& header) { header.FramesPerSecond = 25; });
    std::vector<project::FrameRecord> records;
    const ProjectHeader header = project::ReadProject(File("work.AVIprj"), &records);
    records[0].Duration = 60000;
    records[1].Duration = 65320;  // 125.32 s
    project::ReplaceProjectFile(File("work.AVIprj"), header, records);
    auto window = Window();
    m_colorAnswer = QColor(0x12, 0x34, 0x56);
    auto* background = Find(*window, "bt_BarvaPozadi");
    background->click();
    EXPECT_TRUE(window->SettingsChanged());
    m_colorAnswer.reset();
    background->click();  // cancelled: the colour stays
    EXPECT_EQ(background->text(), "#123456");
    auto* length = Find<QLabel>(*window, "lb_DelkaVidea");
    EXPECT_EQ(length->text(), QString::fromUtf8("Length: 2:05.3 \u2014 3,133 frames"));
    Find<QComboBox>(*window, "cb_SnimkuZaSekundu")->setEditText("50");
    EXPECT_EQ(length->text(), QString::fromUtf8("Length: 2:05.3 \u2014 6,266 frames"));

    auto* preset = Find<QComboBox>(*window, "cb_VelikostAVI");
    auto* width = Find<QLineEdit>(*window, "ed_SirkaAVI");
    const auto size = [&] { return width->text() + "x" + Find<QLineEdit>(*window, "ed_VyskaAVI")->text(); };
    // Picked, the first picture's size and a fixed one; another size typed shows no preset.
    for (const auto& [index, shown] : {std::pair{0, "320x240"}, {4, "1080x1920"}}) {
        preset->setCurrentIndex(index);
        emit preset->activated(index);
        EXPECT_EQ(size(), shown);
        width->setText(width->text() + "0");
        EXPECT_EQ(preset->currentText(), "Custom");
    }
    Find<QCheckBox>(*window, "ch_HladkeZmenseni")->click();
    ProjectHeader stored = Stored();
    window->TransferSettings(ui::VideoSettingsWindow::Direction::FromControls, stored);
    EXPECT_EQ(stored.Background, (std::array<std::uint8_t, 3>{0x12, 0x34, 0x56}));
    EXPECT_EQ(stored.SmoothScaling, 1);
    EXPECT_EQ(stored.Height, 1920);
}

// The music's total beside the video's length; a sound adds no frames. Only a kind of file that
// needs even sides says it pads an odd one, on a line that never resizes the window.
TEST_F(AviCreateWindowTest, TheMusicsLengthAndThePaddingNote)
{
    KINETAR_SKIP_WITHOUT(kFfmpeg);
    ASSERT_TRUE(MakeTone(File("one.wav"), 1.5) && MakeTone(File("two.ogg"), 2.0));
    WorkingCopy({"40", "32"}, [](ProjectHeader& header) { header.FramesPerSecond = 25; });
    std::vector<project::FrameRecord> records;
    const ProjectHeader header = project::ReadProject(File("work.AVIprj"), &records);
    records.insert(records.begin(), project::NewSoundRecord(File("one.wav")));
    records.push_back(project::NewSoundRecord(File("two.ogg")));
    project::ReplaceProjectFile(File("work.AVIprj"), header, records);
    auto window = Window();
    auto* length = Find<QLabel>(*window, "lb_DelkaVidea");
    EXPECT_TRUE(QTest::qWaitFor([&] { return length->text().endsWith("music 0:03.5"); }, 5000));
    EXPECT_EQ(length->text(), QString::fromUtf8("Length: 0:00.1 \u2014 2 frames; music 0:03.5"));

    const QString padded = QStringLiteral("The frame will be padded by %1: %2 needs even sides.");
    const std::tuple<const char*, const char*, const char*, QString> rows[] = {
        {"out.avi", "33", "25", ""},
        {"out.MOV", "33", "24", padded.arg("one column", "MP4")},
        {"out.mkv", "32", "25", padded.arg("one row", "Matroska")},
        {"out.webm", "1", "3", padded.arg("one column and one row", "WebM")},
    };
    const QSize windowSize = window->size();
    for (const auto& [destination, width, height, expected] : rows) {
        SCOPED_TRACE(destination);
        Find<QLineEdit>(*window, "ed_FileNameAVI")->setText(QPath(destination));
        Find<QLineEdit>(*window, "ed_SirkaAVI")->setText(width);
        Find<QLineEdit>(*window, "ed_VyskaAVI")->setText(height);
        EXPECT_EQ(Find<QLabel>(*window, "lb_Poznamka")->text(), expected);
        EXPECT_EQ(window->size(), windowSize);
    }
}

TEST_F(AviCreateWindowTest, RunsThatFailOrStopLeaveTheWindowIdle)
{
    const QString longName = QPath(std::string(300, 'v') + ".avi");
    std::uint32_t sizeBound = 0;  // a compressor that refuses a width of 321 (not a multiple of 2 or 4)
    for (const char* name : {"H264", "MSVC", "cvid"}) {
        const auto* codec = avi::CodecRegistry::Default().FindByText(name);
        sizeBound = codec != nullptr ? codec->Fourcc : sizeBound;
    }
    const QString createError = QStringLiteral("AVI create error");
    // The last column: where the keyboard is after the run, the field at fault or where it was.
    const std::tuple<const char*, QString, std::optional<std::uint32_t>, QString, QString, bool, const char*> rows[] = {
        {"ed_SirkaAVI", "", kDib, "Kinetar", "'' is not a valid integer value.", false, "ed_SirkaAVI"},
        {"ed_VyskaAVI", "4294967296", kDib, "Kinetar", "'4294967296' is not a valid integer value.", false,
         "ed_VyskaAVI"},
        {"ed_FileNameAVI", longName, kDib, "Kinetar",
         "The destination AVI file name is " + QString::number(longName.size()) +
             " bytes long, more than the project can hold (260): " + longName + ".",
         false, "ed_FileNameAVI"},
        {"ed_SirkaAVI", "321", sizeBound, createError, "Selected video codec can't use selected format of AVI", true,
         "cb_HloubkaBarevAVI"},
        {"ed_SirkaAVI", "0", kDib, createError, "Video width 0 is out of range (allowed: 1 to 32767)", true,
         "ed_SirkaAVI"},
        {"ed_SirkaAVI", "32", std::nullopt, {}, {}, true, "bt_Generuj"},  // the chooser cancelled
        {"ed_SirkaAVI", "32", kDib, avi::kFrameErrorCaption,
         "Unknown file format " + QPath("p1.bmp") + "\r\nDo you want continue?", true, "bt_Generuj"},  // answered No
    };
    for (const auto& [field, text, choice, caption, message, runs, focused] : rows) {
        SCOPED_TRACE(message.toStdString());
        // The long name is the default of a project whose own name is long.
        const bool longDefault = text == longName;
        WorkingCopy({"32", "bad"},
                    [&](ProjectHeader& header) { longDefault ? header.AviFileName.fill('\0') : void(); });
        auto window = Window(longDefault ? QPath(std::string(300, 'v') + ".AVIprj") : QString());
        EXPECT_EQ(project::GetText(Stored().AviFileName), longDefault ? "" : File("out.avi"));
        if (longDefault) {
            EXPECT_EQ(Find<QLineEdit>(*window, field)->text(), text);
        }
        Find<QLineEdit>(*window, field)->setText(text);
        const auto before = ReadFile(m_session.WorkingCopyPath());
        ChooserAnswer chooser(choice);
        Answer({caption == avi::kFrameErrorCaption ? QMessageBox::No : QMessageBox::Ok});
        m_prompter->Answers.resize(message.isEmpty() ? 0 : 1);
        Find(*window, "bt_Generuj")->setFocus();
        Find(*window, "bt_Generuj")->click();
        EXPECT_EQ(TakeAsked(), message.isEmpty() ? QStringList() : QStringList{message});
        EXPECT_EQ(m_prompter->Asked.empty() ? caption : m_prompter->Asked[0].Caption, caption);
        ExpectIdleAfterRun(*window);
        EXPECT_EQ(window->focusWidget()->objectName(), focused);
        if (!runs) {
            EXPECT_EQ(chooser.Shown, 0);
            EXPECT_EQ(ReadFile(m_session.WorkingCopyPath()), before);
            EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), {}), 3) << "the project and pictures only";
        }
    }
}

TEST_F(AviCreateWindowTest, CancelDuringARunStopsAfterTheCurrentFrame)
{
    KINETAR_SKIP_WITHOUT(kFfprobe);
    WorkingCopy(std::vector<std::string>(40, "32"));
    auto window = Window();
    ChooserAnswer chooser(kDib);
    chooser.Then = [&] {
        Answer({QMessageBox::Ok});
        window->close();
        EXPECT_EQ(TakeOnlyAsked(), "Generating now, please cancel before close!");
        Find(*window, "Button3")->click();
    };
    Find(*window, "bt_Generuj")->click();
    EXPECT_TRUE(TakeAsked().isEmpty());
    ExpectIdleAfterRun(*window);
    EXPECT_EQ(Stored().CodecSettings.Handler, kDib);  // a stop keeps the run's choice
    const auto probed = Probe(File("out.avi"));
    ASSERT_TRUE(probed);
    EXPECT_GE(probed->CountedFrames, 1);
    EXPECT_LT(probed->CountedFrames, 40);
}

TEST_F(AviCreateWindowTest, ReportsQuestionsAndCancelKeepTheirOrder)
{
    KINETAR_SKIP_WITHOUT(kFfprobe);
    const std::vector<std::string> oneBad = {"32", "bad", "32", "32"};
    // What the window shows at each report and message: the percentage as it changes and the frames
    // done. Cancel is pressed at a question or a report; then the frames written.
    const std::tuple<std::vector<std::string>, const char*, QStringList, int> rows[] = {
        {oneBad, "", {"? 1 / 4 frames", "50 % 3 / 4 frames", "75 % 4 / 4 frames", "0 % ", "AVI generation done. "}, 3},
        {oneBad, "?", {"? 1 / 4 frames", "50 % 3 / 4 frames", "0 % "}, 2},
        {std::vector<std::string>(10, "32"), "20 %", {"10 % 2 / 10 frames", "20 % 3 / 10 frames", "0 % "}, 3},
    };
    for (const auto& [pictures, cancelAt, expected, written] : rows) {
        SCOPED_TRACE(cancelAt);
        WorkingCopy(pictures);
        auto window = Window();
        QStringList events;
        const auto record = [&](const QString& event) {
            events << event + u' ' + Find<QLabel>(*window, "lb_HotovoSnimku")->text();
            event == QLatin1String(cancelAt) ? Find(*window, "Button3")->click() : void();
        };
        QObject::connect(Find<QProgressBar>(*window, "ProgressBar_Generace"), &QProgressBar::valueChanged, window.get(),
                         [&](int percent) { record(QString::number(percent) + " %"); });
        m_prompter->OnAsk = [&](const ui::Prompt& prompt) {
            record(prompt.Caption == avi::kFrameErrorCaption ? QStringLiteral("?") : prompt.Text);
        };
        Answer({QMessageBox::Yes, QMessageBox::Ok});  // skip the unreadable picture; the final message
        ChooserAnswer chooser(kDib);
        Find(*window, "bt_Generuj")->click();
        EXPECT_EQ(events, expected);
        EXPECT_EQ(window->isVisible(), *cancelAt != 0);
        EXPECT_EQ(Probe(File("out.avi"))->CountedFrames, written);
        TakeAsked();
        m_prompter->Answers.clear();
    }
}

TEST_F(AviCreateWindowTest, BrowseOpensInTheDestinationsFolderAndKeepsATypedPathWhole)
{
    fs::create_directories(File("films"));
    QDir::setCurrent(QDir::rootPath() + "tmp");  // the previous project's folder
    WorkingCopy({"32"});
    QString folder, shown;  // where the dialog should open and the name it should show
    auto window = Window({}, [&](QWidget*, const ui::FileDialogSetup& setup) {
        QFileDialog dialog;
        ui::ConfigureFileDialog(dialog, setup);
        EXPECT_EQ(QDir(dialog.directory()), QDir(folder));
        EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), shown);
        QMetaObject::invokeMethod(&dialog, "accept");
        return dialog.selectedFiles();
    });
    const std::tuple<QString, QString, QString> rows[] = {
        {QPath("films/trip.avi"), QPath("films"), "trip.avi"},
        {"/kinetar-no-such-folder/x.avi", "/", "kinetar-no-such-folder/x.avi"},
    };
    for (const auto& [destination, expectedFolder, expectedName] : rows) {
        SCOPED_TRACE(destination.toStdString());
        std::tie(folder, shown) = std::pair(expectedFolder, expectedName);
        Find<QLineEdit>(*window, "ed_FileNameAVI")->setText(destination);
        Find(*window, "Button1")->click();
        EXPECT_EQ(Find<QLineEdit>(*window, "ed_FileNameAVI")->text(), destination);
    }
}

TEST(EngineThread, TheUiThreadGoesOnDuringASlowStepAndCallsKeepTheirOrder)
{
    ui::EngineThread thread;
    QStringList events;  // touched on the UI thread only
    std::atomic<int> ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(1);
    int answerAfterStop = -1;
    const auto work = [&] {
        for (int step = 0; step < 3; ++step) {
            // A slow step, as a slow compressor's frame: it ends once the UI thread has handled three
            // more timer events, or after ten seconds if the UI thread stood still.
            const int seen = ticks;
            for (int waited = 0; ticks < seen + 3 && waited < 10000; ++waited) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            const QString report = QStringLiteral("step %1, UI %2").arg(step).arg(ticks >= seen + 3 ? "on" : "frozen");
            thread.OnUiThread<bool>(
                [&, step, report] {
                    events << report;
                    step == 2 ? thread.Stop() : void();  // as when the application quits
                    return true;
                },
                false);
        }
        answerAfterStop = thread.OnUiThread<int>([&] { return int(events.size()); }, -2);
        throw Error("the work's own failure");
    };
    EXPECT_THROW(thread.Run(work), Error);
    EXPECT_EQ(events, (QStringList{"step 0, UI on", "step 1, UI on", "step 2, UI on"}));
    EXPECT_EQ(answerAfterStop, -2) << "answered without the UI thread";
    EXPECT_FALSE(thread.Running());
}

// Plays through the default application for AVI files in the test's own home.
class PlayingTest : public AviCreateWindowTest {
protected:
    TestApplication m_player{m_dir, {"video/x-msvideo"}};
};

TEST_F(PlayingTest, SuccessfulRunsPlayOrSayDone)
{
    KINETAR_SKIP_WITHOUT(kFfprobe);
    const QString cantPlay =
        QStringLiteral("Can't play AVI file. There is some error.\r\nHave you associate AVI file?");
    // Checked when Generate is pressed, toggled during the run, compressor and quality, the message.
    const std::tuple<bool, bool, std::uint32_t, std::uint32_t, QString> rows[] = {
        {false, false, kDib, avi::kQualityDefault, "AVI generation done."},
        {true, false, kMjpg, 50, {}},
        {true, true, kDib, avi::kQualityDefault, "AVI generation done."},
        {false, true, kDib, avi::kQualityDefault, {}},
        {true, false, kDib, avi::kQualityDefault, cantPlay},  // the player fails at once
    };
    for (const auto& [checked, toggled, codec, quality, message] : rows) {
        SCOPED_TRACE(testing::Message() << checked << toggled << message.toStdString());
        m_player.EndWith(message == cantPlay ? 1 : 0);
        WorkingCopy({"32", "bad", "32"});
        auto window = Window();
        Find<QCheckBox>(*window, "ch_playAVIafter")->setChecked(checked);
        ChooserAnswer chooser(codec, quality == avi::kQualityDefault ? std::nullopt : std::optional<int>(quality));
        // Minimised during the run, the window asks the others down too; it is back before the
        // final message, when the session has stopped generating.
        int minimizeRequests = 0;
        QObject::connect(window.get(), &ui::VideoSettingsWindow::MinimizeRequested, [&] { ++minimizeRequests; });
        chooser.Then = [&, toggled = toggled] {
            Find(*window, "Button2")->click();
            EXPECT_TRUE(window->isMinimized());
            EXPECT_EQ(minimizeRequests, 1);
            toggled ? Find<QCheckBox>(*window, "ch_playAVIafter")->click() : void();
        };
        m_prompter->OnAsk = [&](const ui::Prompt& prompt) {
            EXPECT_TRUE(prompt.Caption == avi::kFrameErrorCaption ||
                        !(window->isMinimized() || m_session.Generating()));
        };
        Answer({QMessageBox::Yes, QMessageBox::Ok});  // skip the unreadable picture; the final message
        m_prompter->Answers.resize(message.isEmpty() ? 1 : 2);
        QTest::keyClick(Find<QLineEdit>(*window, "ed_FileNameAVI"), Qt::Key_Return);

        EXPECT_EQ(m_prompter->Asked.at(0).Caption, avi::kFrameErrorCaption);
        EXPECT_EQ(m_prompter->Asked.at(0).Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(TakeAsked().mid(1), message.isEmpty() ? QStringList() : QStringList{message});
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(Stored().PlayAfterCreate, checked ? 1 : 0);
        EXPECT_EQ(Stored().CodecSettings.Handler, codec);
        EXPECT_EQ(Stored().CodecSettings.Quality, quality == avi::kQualityDefault ? quality : quality * 100);
        // The player has run by the time the window closes.
        EXPECT_EQ(m_player.TakeOpened(), message == "AVI generation done." ? std::string() : File("out.avi"));
        const auto probed = Probe(File("out.avi"));
        ASSERT_TRUE(probed);
        EXPECT_EQ(probed->Codec, codec == kMjpg ? "mjpeg" : "rawvideo");
        EXPECT_EQ(probed->CountedFrames, 2);
    }
}

// Each named size in the list sets both fields; a size typed in finds its name again.
TEST_F(AviCreateWindowTest, SizePresetsSetWidthAndHeight)
{
    WorkingCopy({"320"});
    auto window = Window();
    auto* preset = Find<QComboBox>(*window, "cb_VelikostAVI");
    auto* width = Find<QLineEdit>(*window, "ed_SirkaAVI");
    auto* height = Find<QLineEdit>(*window, "ed_VyskaAVI");
    const std::tuple<QString, const char*, const char*> rows[] = {
        {QString::fromUtf8("1280 \u00D7 720 (720p)"), "1280", "720"},
        {QString::fromUtf8("1920 \u00D7 1080 (1080p)"), "1920", "1080"},
        {QString::fromUtf8("3840 \u00D7 2160 (4k)"), "3840", "2160"},
        {QString::fromUtf8("1080 \u00D7 1920 (vertical)"), "1080", "1920"},
        {QString::fromUtf8("1080 \u00D7 1080 (square)"), "1080", "1080"},
        {QString::fromUtf8("1080 \u00D7 1350 (portrait)"), "1080", "1350"},
    };
    for (const auto& [text, wide, high] : rows) {
        SCOPED_TRACE(text.toStdString());
        const int index = preset->findText(text);
        ASSERT_GT(index, 0);
        width->setText("77");
        preset->setCurrentIndex(index);
        emit preset->activated(index);
        EXPECT_EQ(width->text(), wide);
        EXPECT_EQ(height->text(), high);
        // Typed the other way round, the list finds the name by the size.
        width->setText("1");
        EXPECT_EQ(preset->currentText(), "Custom");
        width->setText(QString::fromLatin1(wide));
        EXPECT_EQ(preset->currentIndex(), index);
    }
    ProjectHeader stored = Stored();
    window->TransferSettings(ui::VideoSettingsWindow::Direction::FromControls, stored);
    EXPECT_EQ(stored.Width, 1080);
    EXPECT_EQ(stored.Height, 1350);
}

}  // namespace
}  // namespace kinetar::test
