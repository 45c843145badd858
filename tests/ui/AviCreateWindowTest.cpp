#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>

#include "ChooserAnswer.h"
#include "UiTest.h"
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
    std::unique_ptr<ui::TAVICreateWindow> Window(const QString& project = {})
    {
        m_session.Close();
        m_session.SetProjectPath(QPath("work.AVIprj"));
        m_session.OpenWorkingCopy();
        m_session.SetProjectPath(project.isEmpty() ? QPath("demo.AVIprj") : project);
        auto window = std::make_unique<ui::TAVICreateWindow>(m_session, Services(), ui::MainWindowControls{});
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
    ui::ProjectSession m_session;
    // Idle after a run that did not succeed: open, "&Close", the bar and the label at 0.
    static void ExpectIdleAfterRun(const ui::TAVICreateWindow& window)
    {
        EXPECT_TRUE(window.isVisible() && !window.Generating() && Find(window, "bt_Generuj")->isEnabled() &&
                    Find<QLineEdit>(window, "ed_FileNameAVI")->isEnabled());
        EXPECT_EQ(Find(window, "Button3")->text(), "&Close");
        EXPECT_EQ(Find<QProgressBar>(window, "ProgressBar_Generace")->value(), 0);
        EXPECT_EQ(Find<QLabel>(window, "Prubeh")->text(), "0 %");
    }
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
        EXPECT_EQ(window->SettingsChanged(), changed);
        // Stored at once, or not at all.
        EXPECT_EQ(Stored().Width, shownWidth);
        EXPECT_EQ(project::GetText(Stored().AviFileName), destination);
        EXPECT_EQ(Find(*window, "Button3")->text(), "&Close");
        EXPECT_EQ(Find<QLabel>(*window, "Prubeh")->text(), "0%");
        EXPECT_GE(window->width(), 414);
        EXPECT_GE(window->height(), 203);
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
    for (const auto& [text, enabled] :
         {std::pair{"", false}, {"0", false}, {"00", false}, {"99999999999", false}, {"7", true}, {"0", false}}) {
        rate->setEditText(QString::fromLatin1(text));
        EXPECT_EQ(Find(*window, "bt_Generuj")->isEnabled(), enabled) << text;
    }
    QTest::keyClick(width, Qt::Key_Return);  // the Generate button is disabled: nothing runs
    EXPECT_FALSE(fs::exists(File("out.avi")));
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
    const std::tuple<const char*, QString, std::optional<std::uint32_t>, QString, QString, bool> rows[] = {
        {"ed_SirkaAVI", "", kDib, "Kinetar", "'' is not a valid integer value.", false},
        {"ed_VyskaAVI", "4294967296", kDib, "Kinetar", "'4294967296' is not a valid integer value.", false},
        {"ed_FileNameAVI", longName, kDib, "Kinetar",
         "The destination AVI file name is " + QString::number(longName.size()) +
             " bytes long, more than the project can hold (260): " + longName + ".",
         false},
        {"ed_SirkaAVI", "321", sizeBound, createError, "Selected video codec can't use selected format of AVI", true},
        {"ed_SirkaAVI", "0", kDib, createError, "Video width 0 is out of range (allowed: 1 to 32767)", true},
        {"ed_SirkaAVI", "32", std::nullopt, {}, {}, true},  // the chooser cancelled
        {"ed_SirkaAVI", "32", kDib, avi::kFrameErrorCaption,
         "Unknown file format " + QPath("p1.bmp") + "\r\nDo you want continue?", true},  // answered No
    };
    for (const auto& [field, text, choice, caption, message, runs] : rows) {
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
        Find(*window, "bt_Generuj")->click();
        EXPECT_EQ(TakeAsked(), message.isEmpty() ? QStringList() : QStringList{message});
        EXPECT_EQ(m_prompter->Asked.empty() ? caption : m_prompter->Asked[0].Caption, caption);
        ExpectIdleAfterRun(*window);
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
        QWidget mainWindow;
        mainWindow.show();
        auto window = Window();
        Find<QCheckBox>(*window, "ch_playAVIafter")->setChecked(checked);
        ChooserAnswer chooser(codec, quality == avi::kQualityDefault ? std::nullopt : std::optional<int>(quality));
        // Minimised during the run, the application is back before the final message.
        chooser.Then = [&, toggled = toggled] {
            Find(*window, "Button2")->click();
            EXPECT_TRUE(window->isMinimized() && mainWindow.isMinimized());
            toggled ? Find<QCheckBox>(*window, "ch_playAVIafter")->click() : void();
        };
        m_prompter->OnAsk = [&](const ui::Prompt& prompt) {
            EXPECT_TRUE(prompt.Caption == avi::kFrameErrorCaption ||
                        !(window->isMinimized() || mainWindow.isMinimized()));
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

}  // namespace
}  // namespace kinetar::test
