#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "ChooserAnswer.h"
#include "UiTest.h"
#include "project/ProjectFile.h"
#include "support/BmpBuilder.h"
#include "support/ExternalTools.h"
#include "support/RgbImage.h"
#include "ui/AviCreateWindow.h"

namespace kinetar::test {
namespace {

namespace fs = std::filesystem;
using project::ProjectHeader;
constexpr std::uint32_t kDib = avi::kUncompressedFourcc;
constexpr std::uint32_t kMjpg = 0x47504A4D;  // "MJPG"

class AviCreateWindowTest : public UiTest {
protected:
    // The working copy: a new project's header (32 x 24, 8 per second, out.avi, no playing) as
    // `edit` leaves it, and one frame per picture, each a BMP of that size or "bad" for junk.
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
            const std::string path = File("p" + std::to_string(i) + ".bmp");
            const int width = pictures[i] == "bad" ? 0 : std::stoi(pictures[i]);
            WriteFile(path, width == 0 ? std::vector<std::uint8_t>{'B', 'M', 1}
                                       : Bmp24(GradientImage(width, width * 3 / 4, static_cast<int>(i))));
            records.push_back(project::NewFrameRecord(path));
        }
        project::ReplaceProjectFile(File("work.AVIprj"), header, records);
    }
    std::unique_ptr<ui::TAVICreateWindow> Window(const QString& project = {})
    {
        auto window = std::make_unique<ui::TAVICreateWindow>(project.isEmpty() ? QPath("demo.AVIprj") : project,
                                                             File("work.AVIprj"), ui::MainWindowControls{});
        window->show();
        return window;
    }
    template <typename T = QPushButton>
    static T* Find(const QWidget& window, const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    ProjectHeader Stored() const
    {
        ProjectHeader header;
        EXPECT_TRUE(project::ReadProjectHeader(File("work.AVIprj"), header));
        return header;
    }
    // Idle again after a run that did not succeed: open, "&Close", the bar and label at 0.
    static void ExpectIdleAfterRun(const ui::TAVICreateWindow& window)
    {
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.Generating());
        EXPECT_EQ(Find(window, "Button3")->text(), "&Close");
        EXPECT_TRUE(Find(window, "bt_Generuj")->isEnabled());
        EXPECT_TRUE(Find<QLineEdit>(window, "ed_FileNameAVI")->isEnabled());
        EXPECT_EQ(Find<QProgressBar>(window, "ProgressBar_Generace")->value(), 0);
        EXPECT_EQ(Find<QLabel>(window, "Prubeh")->text(), "0 %");
    }
};

TEST_F(AviCreateWindowTest, CreationProposesWhatTheHeaderLacks)
{
    struct Row {
        const char* name;
        const char* firstPicture;
        std::int32_t width;
        const char* project;
        const char* shownWidth;
        std::string destination;  // empty: out.avi as written
        bool changed;
    };
    const Row rows[] = {
        {"size from the first picture", "320", 0, "demo.AVIprj", "320", {}, true},
        {"first picture unreadable", "bad", 0, "demo.AVIprj", "0", {}, false},
        {"nothing lacking", "320", 32, "demo.AVIprj", "32", {}, false},
        {"name in a folder", "bad", 32, "sub/demo.x.AVIprj", "32", "sub/demo.x.avi", true},
        {"name in the root folder", "bad", 32, "/demo.AVIprj", "32", "/demo.avi", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const bool inFolder = row.project[0] != '/';
        WorkingCopy({row.firstPicture}, [&](ProjectHeader& header) {
            header.Width = row.width;
            if (!row.destination.empty()) {
                header.AviFileName.fill('\0');
            }
        });
        auto window = Window(inFolder ? QPath(row.project) : QString::fromLatin1(row.project));
        const std::string destination =
            row.destination.empty() ? File("out.avi") : (inFolder ? File(row.destination) : row.destination);
        EXPECT_EQ(Find<QLineEdit>(*window, "ed_SirkaAVI")->text(), row.shownWidth);
        EXPECT_EQ(Find<QLineEdit>(*window, "ed_FileNameAVI")->text().toStdString(), destination);
        EXPECT_EQ(window->SettingsChanged(), row.changed);
        const ProjectHeader stored = Stored();
        EXPECT_EQ(stored.Width, std::stoi(row.shownWidth));  // written at once, or not at all
        EXPECT_EQ(stored.Height, row.width == 0 && row.changed ? 240 : 24);
        EXPECT_EQ(project::GetText(stored.AviFileName), destination);

        EXPECT_EQ(Find<QComboBox>(*window, "cb_SnimkuZaSekundu")->currentText(), "8");
        EXPECT_EQ(Find<QComboBox>(*window, "cb_HloubkaBarevAVI")->currentIndex(), 3);
        EXPECT_EQ(Find(*window, "Button3")->text(), "&Close");
        EXPECT_EQ(Find<QLabel>(*window, "Prubeh")->text(), "0%");
        EXPECT_FALSE(Find<QSpinBox>(*window, "ud_SirkaAVI")->isEnabled());
        EXPECT_GE(window->width(), 414);
        EXPECT_GE(window->height(), 203);
    }
}

TEST_F(AviCreateWindowTest, KeysRateAndEscape)
{
    WorkingCopy({"32"});
    auto window = Window();
    auto* width = Find<QLineEdit>(*window, "ed_SirkaAVI");
    width->selectAll();
    QTest::keyClicks(width, "1a2-b3");
    EXPECT_EQ(width->text(), "123");
    QTest::keyClick(width, Qt::Key_Backspace);
    EXPECT_EQ(width->text(), "12");
    QTest::keyClick(width, Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());

    auto* rate = Find<QComboBox>(*window, "cb_SnimkuZaSekundu");
    for (const auto& [text, enabled] :
         {std::pair{"", false}, {"0", false}, {"00", false}, {"7", true}, {"99999999999", false}, {"24", true}}) {
        rate->setEditText(QString::fromLatin1(text));
        EXPECT_EQ(Find(*window, "bt_Generuj")->isEnabled(), enabled) << text;
    }
    rate->setEditText(QStringLiteral("0"));
    QTest::keyClick(width, Qt::Key_Return);  // the Generate button is disabled: nothing runs
    EXPECT_FALSE(fs::exists(File("out.avi")));
    EXPECT_TRUE(window->SettingsChanged());
}

TEST_F(AviCreateWindowTest, SettingsThatCannotBeTakenStartNoRun)
{
    const std::string longName = File(std::string(300, 'v') + ".avi");
    struct Row {
        const char* field;
        QString text;
        QString message;
    };
    const Row rows[] = {
        {"ed_SirkaAVI", "", "'' is not a valid integer value."},
        {"ed_VyskaAVI", "4294967296", "'4294967296' is not a valid integer value."},
        {"ed_FileNameAVI", QString::fromStdString(longName),
         "The destination AVI file name is " + QString::number(longName.size()) +
             " bytes long, more than the project can hold (260): " + QString::fromStdString(longName) + "."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.field);
        WorkingCopy({"32"});
        auto window = Window();
        Find<QLineEdit>(*window, row.field)->setText(row.text);
        const auto before = ReadFile(File("work.AVIprj"));
        ChooserAnswer chooser(kDib);
        Answer({QMessageBox::Ok});
        Find(*window, "bt_Generuj")->click();
        EXPECT_EQ(TakeOnlyAsked(), row.message);
        EXPECT_EQ(chooser.Shown, 0);
        EXPECT_EQ(ReadFile(File("work.AVIprj")), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), {}), 2) << "only the working copy and p0.bmp";
        ExpectIdleAfterRun(*window);
    }
}

TEST_F(AviCreateWindowTest, FailedOrStoppedRunsLeaveTheWindowOpen)
{
    // A compressor that refuses a width of 321, as not a multiple of 2 or 4.
    std::uint32_t sizeBound = 0;
    for (const char* name : {"H264", "MSVC", "cvid"}) {
        if (const auto* codec = avi::CodecRegistry::Default().FindByText(name)) {
            sizeBound = codec->Fourcc;
        }
    }
    struct Row {
        const char* name;
        const char* width;
        std::optional<std::uint32_t> choice;
        QStringList messages;
        std::vector<QMessageBox::StandardButton> answers;
    };
    const Row rows[] = {
        {"compressor refuses the format",
         "321",
         sizeBound,
         {"Selected video codec can't use selected format of AVI"},
         {}},
        {"width out of range", "0", kDib, {"Video width 0 is out of range (allowed: 1 to 32767)"}, {}},
        {"chooser cancelled", "32", std::nullopt, {}, {}},
        {"unreadable picture, no",
         "32",
         kDib,
         {"Unknown file format " + QPath("p1.bmp") + "\r\nDo you want continue?"},
         {QMessageBox::No}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WorkingCopy({"32", "bad", "32"});
        auto window = Window();
        Find<QLineEdit>(*window, "ed_SirkaAVI")->setText(QString::fromLatin1(row.width));
        ChooserAnswer chooser(row.choice);
        for (const auto answer : row.answers.empty() ? std::vector{QMessageBox::Ok} : row.answers) {
            Answer({answer});
        }
        if (row.messages.isEmpty()) {
            m_prompter->Answers.clear();
        }
        Find(*window, "bt_Generuj")->click();
        ASSERT_EQ(m_prompter->Asked.size(), static_cast<std::size_t>(row.messages.size()));
        if (!row.messages.isEmpty()) {
            EXPECT_EQ(m_prompter->Asked[0].Icon, QMessageBox::Critical);
            EXPECT_EQ(m_prompter->Asked[0].Caption, row.answers.empty() ? "AVI create error" : avi::kFrameErrorCaption);
        }
        EXPECT_EQ(TakeAsked(), row.messages);
        ExpectIdleAfterRun(*window);
    }
}

TEST_F(AviCreateWindowTest, CancelDuringARunStopsAfterTheCurrentFrame)
{
    WorkingCopy(std::vector<std::string>(40, "32"));
    auto window = Window();
    ChooserAnswer chooser(kDib);
    bool refused = false;
    chooser.Then = [&] {
        QTest::keyClick(window.get(), Qt::Key_Escape);  // nothing
        Answer({QMessageBox::Ok});
        window->close();  // refused with its message
        refused = window->isVisible() && TakeOnlyAsked() == "Generating now, please cancel before close!";
        Find(*window, "Button3")->click();
    };
    Find(*window, "bt_Generuj")->click();
    EXPECT_TRUE(refused);
    EXPECT_TRUE(TakeAsked().isEmpty());
    ExpectIdleAfterRun(*window);
    // The stop keeps what was written and the run's choice.
    EXPECT_EQ(Stored().CodecSettings.Handler, kDib);
    KINETAR_SKIP_WITHOUT(kFfprobe);
    const auto probed = Probe(File("out.avi"));
    ASSERT_TRUE(probed);
    EXPECT_GE(probed->CountedFrames, 1);
    EXPECT_LT(probed->CountedFrames, 40);
}

// Qt's offscreen platform opens no documents, so this hands the file to xdg-open as the desktop
// platforms do.
class XdgOpener : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void Open(const QUrl& url) { QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()}); }
};

// Plays through a desktop entry made the default for AVI files in a home of the test's own, whose
// command writes the file it was given into a marker.
class PlayingTest : public AviCreateWindowTest {
protected:
    PlayingTest()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opener, "Open");
        m_savedConfig = std::getenv("XDG_CONFIG_HOME");
        const char* display = std::getenv("DISPLAY");
        m_savedDisplay = display != nullptr ? std::optional<std::string>(display) : std::nullopt;
        fs::create_directories(File("data/applications"));
        fs::create_directories(File("config"));
        std::ofstream(File("player.sh")) << "#!/bin/sh\necho \"$1\" > '" << File("played") << "'\n";
        fs::permissions(File("player.sh"), fs::perms::owner_all);
        std::ofstream(File("data/applications/kinetar-test-player.desktop"))
            << "[Desktop Entry]\nType=Application\nName=Test player\nExec=" << File("player.sh")
            << " %f\nMimeType=video/x-msvideo;\n";
        std::ofstream(File("config/mimeapps.list"))
            << "[Default Applications]\nvideo/x-msvideo=kinetar-test-player.desktop\n";
        ::setenv("XDG_CONFIG_HOME", File("config").c_str(), 1);
        // The opener looks up the association only where it believes a display exists.
        ::setenv("DISPLAY", m_savedDisplay.value_or(":kinetar-test").c_str(), 1);
    }
    ~PlayingTest() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        ::setenv("XDG_CONFIG_HOME", m_savedConfig.c_str(), 1);
        if (m_savedDisplay) {
            ::setenv("DISPLAY", m_savedDisplay->c_str(), 1);
        } else {
            ::unsetenv("DISPLAY");
        }
    }
    std::string Played()
    {
        for (int i = 0; i < 100 && !fs::exists(File("played")); ++i) {
            QTest::qWait(50);
        }
        std::string line;
        std::getline(std::ifstream(File("played")), line);
        return line;
    }

    XdgOpener m_opener;
    std::string m_savedConfig;
    std::optional<std::string> m_savedDisplay;
};

TEST_F(PlayingTest, SuccessfulRunsPlayOrSayDone)
{
    struct Row {
        const char* name;
        bool checkedAtGenerate;
        bool toggledDuringRun;
        std::uint32_t codec;
        std::optional<int> quality;
        const char* probedCodec;
        bool noOpener = false;
    };
    const Row rows[] = {
        {"cleared", false, false, kDib, {}, "rawvideo"},
        {"checked", true, false, kMjpg, 50, "mjpeg"},
        {"checked, cleared during the run", true, true, kDib, {}, "rawvideo"},
        {"cleared, checked during the run", false, true, kDib, {}, "rawvideo"},
        {"checked, nothing to open it with", true, false, kDib, {}, "rawvideo", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(File("played"));
        WorkingCopy({"32", "bad", "32"});
        auto window = Window();
        auto* play = Find<QCheckBox>(*window, "ch_playAVIafter");
        play->setChecked(row.checkedAtGenerate);
        ChooserAnswer chooser(row.codec, row.quality);
        chooser.Then = [&] {
            if (row.toggledDuringRun) {
                play->click();
            }
        };
        const bool played = row.checkedAtGenerate != row.toggledDuringRun && !row.noOpener;
        Answer({QMessageBox::Yes});  // skip the unreadable picture
        if (!played) {
            Answer({QMessageBox::Ok});
        }
        if (row.noOpener) {
            QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        }
        QTest::keyClick(Find<QLineEdit>(*window, "ed_FileNameAVI"), Qt::Key_Return);

        EXPECT_EQ(m_prompter->Asked.at(0).Caption, avi::kFrameErrorCaption);
        EXPECT_EQ(m_prompter->Asked.at(0).Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        const QString finalMessage = row.noOpener
                                         ? "Can't play AVI file. There is some error.\r\nHave you associate AVI file?"
                                         : "AVI generation done.";
        EXPECT_EQ(TakeAsked().mid(1), played ? QStringList() : QStringList({finalMessage}));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opener, "Open");
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(chooser.Title, "Select compression type...");
        EXPECT_EQ(chooser.Preselected.toStdString(), avi::kUncompressedName);
        EXPECT_EQ(chooser.QualityEnabled, row.codec == kMjpg);
        const ProjectHeader stored = Stored();
        EXPECT_EQ(stored.PlayAfterCreate, row.checkedAtGenerate ? 1 : 0);
        EXPECT_EQ(stored.CodecSettings.Handler, row.codec);
        EXPECT_EQ(stored.CodecSettings.Quality, row.quality ? *row.quality * 100U : avi::kQualityDefault);
        EXPECT_EQ(played ? Played() : std::string(), played ? File("out.avi") : std::string());
        if (HaveProgram(kFfprobe)) {
            const auto probed = Probe(File("out.avi"));
            ASSERT_TRUE(probed);
            EXPECT_EQ(probed->Codec, row.probedCodec);
            EXPECT_EQ(probed->CountedFrames, 2);
        }
    }
}

TEST_F(AviCreateWindowTest, MinimisingDuringARunIsUndoneBeforeTheFinalMessage)
{
    WorkingCopy(std::vector<std::string>(5, "32"));
    QWidget mainWindow;
    mainWindow.show();
    auto window = Window();
    ChooserAnswer chooser(kDib);
    bool minimizedDuringRun = false;
    chooser.Then = [&] {
        Find(*window, "Button2")->click();
        minimizedDuringRun = window->isMinimized() && mainWindow.isMinimized();
    };
    bool minimizedAtMessage = true;
    m_prompter->OnAsk = [&](const ui::Prompt&) {
        minimizedAtMessage = window->isMinimized() || mainWindow.isMinimized();
    };
    Answer({QMessageBox::Ok});
    Find(*window, "bt_Generuj")->click();
    EXPECT_EQ(TakeOnlyAsked(), "AVI generation done.");
    EXPECT_TRUE(minimizedDuringRun);
    EXPECT_FALSE(minimizedAtMessage);
}

}  // namespace
}  // namespace kinetar::test

#include "AviCreateWindowTest.moc"
