#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QThread>
#include <cmath>

#include "UiTest.h"
#include "avi/audio/SoundMix.h"
#include "avi/engine/ShowFrames.h"
#include "avi/engine/StillFrame.h"
#include "common/Error.h"
#include "support/ByteWriter.h"
#include "support/ShowProject.h"
#include "ui/FrameDetails.h"
#include "ui/FrameList.h"
#include "ui/PreviewPlayer.h"
#include "ui/QtConvert.h"

namespace kinetar::test {
namespace {

// A clock the test moves; the player reads it as it would a sound device's.
struct DrivenClock : ui::PlaybackClock {
    explicit DrivenClock(std::int64_t& sample) : Now(sample) {}
    void Start(std::int64_t sample) override { Now = sample; }
    void Stop() override {}
    std::int64_t Sample() override { return Now; }
    std::int64_t& Now;
};

// A clock that is the sound device: the samples the test has taken from the mix, as a device would.
struct PulledClock : ui::PlaybackClock {
    explicit PulledClock(std::unique_ptr<avi::SoundMix> mix) : Mix(std::move(mix)) {}
    void Start(std::int64_t sample) override
    {
        Begin = sample;
        Mix->Seek(sample);
        Device = std::make_unique<ui::MixDevice>(*Mix);
        Device->open(QIODevice::ReadOnly);
    }
    void Stop() override {}
    std::int64_t Sample() override { return Begin + Device->SamplesRead(); }
    std::unique_ptr<avi::SoundMix> Mix;
    std::unique_ptr<ui::MixDevice> Device;
    std::int64_t Begin = 0;
};

template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

// A mono 44.1 kHz WAV of seconds, a slow ramp so every sample differs from its neighbours.
std::vector<std::uint8_t> RampWav(std::uint32_t seconds)
{
    const std::uint32_t samples = 44'100 * seconds;
    ByteWriter wav;
    wav.Text("RIFF").U32(36 + samples * 2).Text("WAVE");
    wav.Text("fmt ").U32(16).U16(1);     // chunk size; PCM
    wav.U16(1).U32(44'100).U32(88'200);  // mono; rate; bytes a second
    wav.U16(2).U16(16);                  // bytes a sample; bits
    wav.Text("data").U32(samples * 2);
    for (std::uint32_t i = 0; i < samples; ++i) {
        wav.U16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(8000 * std::sin(i / 300.0)))));
    }
    return wav.Data();
}

class PreviewPlayerTest : public UiTest {
protected:
    std::unique_ptr<ui::MainWindow> OpenShow(const ShowProject& show)
    {
        auto window = Window({QString::fromStdString(show.Write())});
        window->resize(900, 700);
        QApplication::processEvents();
        return window;
    }
    static ui::PreviewPlayer& Player(ui::MainWindow& window) { return window.Details().Player(); }
    // The still at the player's size, as `kinetar-cli still` makes it; the background for the picture
    // that cannot be read.
    static QImage Still(ui::MainWindow& window, std::int64_t frame)
    {
        project::ProjectHeader header = window.Session().Header();
        header.Width = Player(window).FrameSize().width();
        header.Height = Player(window).FrameSize().height();
        try {
            return ui::ToImage(*avi::MakeStill(header, window.WorkingCopyPath(), frame));
        } catch (const Error&) {
            avi::WorkingFrame background(header.Width, header.Height);
            background.Fill({header.Background[0], header.Background[1], header.Background[2], 0});
            return ui::ToImage(background);
        }
    }
};

TEST_F(PreviewPlayerTest, PlaysTheStillsInTimeAndTheListFollows)
{
    const ShowProject show(160, 90, 10);
    auto window = OpenShow(show);
    std::int64_t now = 0;
    Player(*window).SetClockMaker([&](std::unique_ptr<avi::SoundMix>, bool& silent) {
        silent = false;
        return std::make_unique<DrivenClock>(now);
    });
    Select(*window, {2});
    Trigger(*window, "menu_Play");
    ASSERT_TRUE(Player(*window).Playing());
    // It starts at the selected picture: b.png, the third line, from frame 10.
    EXPECT_EQ(now, project::SampleAtFrame(10, {10, 1}));
    const QLabel* time = Find<QLabel>(*window, "PlayerTime");
    // Frames in a crossfade, the one-frame picture, the unreadable picture, motion, the last frame.
    const struct {
        std::int64_t frame;
        int row;
        const char* time;
    } rows[] = {{10, 2, "0:01.0 / 0:04.0  #10"}, {12, 2, "0:01.2 / 0:04.0  #12"}, {19, 3, "0:01.9 / 0:04.0  #19"},
                {24, 4, "0:02.4 / 0:04.0  #24"}, {33, 5, "0:03.3 / 0:04.0  #33"}, {36, 6, "0:03.6 / 0:04.0  #36"},
                {39, 6, "0:03.9 / 0:04.0  #39"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.frame);
        // Half a frame in: the frame showing then.
        now = project::SampleAtFrame(row.frame, {10, 1}) + 2'400;
        ASSERT_TRUE(WaitFor([&] { return Player(*window).ShownFrame() == row.frame; }));
        EXPECT_EQ(Player(*window).ShownImage(), Still(*window, row.frame));
        EXPECT_EQ(window->Frames().currentRow(), row.row);
        EXPECT_EQ(window->Session().Selection().Rows, QList<int>{row.row});
        EXPECT_EQ(time->text(), row.time);
    }
    // Stopping leaves the picture and the selection where they are.
    now = project::SampleAtFrame(35, {10, 1});
    ASSERT_TRUE(WaitFor([&] { return Player(*window).ShownFrame() == 35; }));
    Trigger(*window, "menu_Play");
    EXPECT_FALSE(Player(*window).Playing());
    EXPECT_EQ(Player(*window).ShownFrame(), 35);
    EXPECT_EQ(window->Session().Selection().Current, 6);
}

TEST_F(PreviewPlayerTest, KeysStepThroughFramesOnThePreviewAndFromTheList)
{
    const ShowProject show(160, 90, 10);
    auto window = OpenShow(show);
    Select(*window, {4});
    QWidget* picture = Find<QWidget>(*window, "PlayerPicture");
    QWidget& list = window->Frames();
    const struct {
        QWidget* target;
        int key;
        Qt::KeyboardModifiers modifiers;
        std::int64_t frame;  // shown after the key
    } rows[] = {
        {&list, Qt::Key_Right, Qt::ControlModifier, 24},  // from c.png's first frame, 23
        {picture, Qt::Key_Right, Qt::NoModifier, 25},    {picture, Qt::Key_Left, Qt::NoModifier, 24},
        {&list, Qt::Key_Left, Qt::ControlModifier, 23},  {picture, Qt::Key_End, Qt::NoModifier, 39},
        {picture, Qt::Key_Right, Qt::NoModifier, 39},    {picture, Qt::Key_Home, Qt::NoModifier, 0},
        {picture, Qt::Key_Left, Qt::NoModifier, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.frame);
        QKeyEvent press(QEvent::KeyPress, row.key, row.modifiers);
        QApplication::sendEvent(row.target, &press);
        ASSERT_TRUE(WaitFor([&] { return Player(*window).ShownFrame() == row.frame; }));
        EXPECT_EQ(Player(*window).ShownImage(), Still(*window, row.frame));
    }
    // Space plays and pauses, from the list as from the picture.
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(&list, &space);
    EXPECT_TRUE(Player(*window).Playing());
    QApplication::sendEvent(picture, &space);
    EXPECT_FALSE(Player(*window).Playing());
}

TEST_F(PreviewPlayerTest, AnEditWhilePlayingShowsAtTheNextFrameAndAGenerationStopsIt)
{
    ShowProject show(160, 90, 10);
    auto window = OpenShow(show);
    std::int64_t now = 0;
    Player(*window).SetClockMaker(
        [&](std::unique_ptr<avi::SoundMix>, bool&) { return std::make_unique<DrivenClock>(now); });
    Select(*window, {0});
    Trigger(*window, "menu_Play");
    now = project::SampleAtFrame(4, {10, 1});
    ASSERT_TRUE(WaitFor([&] { return Player(*window).ShownFrame() == 4; }));
    // A new background for the picture that cannot be read, while it plays.
    project::ProjectHeader header = window->Session().Header();
    header.Background = {250, 10, 10};
    window->Session().BeginSettingsEdit();
    ASSERT_TRUE(window->Session().WriteHeader(header));
    window->Session().EndSettingsEdit(true);
    EXPECT_TRUE(Player(*window).Playing());
    now = project::SampleAtFrame(20, {10, 1});
    ASSERT_TRUE(WaitFor([&] { return Player(*window).ShownFrame() == 20; }));
    EXPECT_EQ(Player(*window).ShownImage().pixel(2, 2), qRgb(250, 10, 10));
    EXPECT_EQ(Player(*window).ShownImage(), Still(*window, 20));

    window->Session().SetGenerating(true);
    EXPECT_FALSE(Player(*window).Playing());
    window->Session().SetGenerating(false);
}

// Over a minute of show the picture keeps to the sound device's clock, and what the device is given
// is the render's mix from the picture's time on.
TEST_F(PreviewPlayerTest, PictureAndSoundStayWithinAFrameOverAMinute)
{
    ShowProject show(64, 36, 10);
    for (project::FrameRecord& record : show.records) {
        record.Duration = record.Duration * 15;  // 15 s, 12 s, 7.5 s, 15 s, a frame, 9 s: about a minute
    }
    WriteFile(show.dir.File("music.wav"), RampWav(40));
    auto window = OpenShow(show);
    const project::FrameRate rate{10, 1};
    const auto cues = project::SoundCues(show.records, rate);
    const auto pathOf = [&](std::int32_t record) {
        return project::GetText(show.records[static_cast<std::size_t>(record)].PictureFileName);
    };
    const std::int64_t frames = project::VideoFrameCount(show.records, rate);
    ASSERT_EQ(frames, 586);
    auto expected = avi::SoundMix::Make(cues, pathOf, rate, frames);
    ASSERT_NE(expected, nullptr);
    PulledClock* device = nullptr;
    Player(*window).SetClockMaker([&](std::unique_ptr<avi::SoundMix> mix, bool&) {
        auto clock = std::make_unique<PulledClock>(std::move(mix));
        device = clock.get();
        return clock;
    });
    Select(*window, {0});
    Trigger(*window, "menu_Play");
    ASSERT_NE(device, nullptr);
    ASSERT_NE(device->Mix, nullptr);
    // The device takes a third of a frame at a time; the picture must show within a frame of it.
    std::vector<float> heard(2 * 1'600);
    std::vector<float> render(heard.size());
    std::int64_t worst = 0;
    while (Player(*window).Playing() && device->Sample() + 1'600 <= expected->TotalSamples()) {
        ASSERT_EQ(device->Device->read(reinterpret_cast<char*>(heard.data()), 1'600 * 8), 1'600 * 8);
        // Read on from the start, as the render does: the player started at frame 0.
        expected->Read(render.data(), 1'600);
        ASSERT_EQ(heard, render) << "at sample " << device->Sample();
        const std::int64_t clockFrame = avi::FrameAtSample(device->Sample(), rate);
        if (clockFrame >= frames) {
            break;
        }
        ASSERT_TRUE(WaitFor([&] { return std::abs(Player(*window).ShownFrame() - clockFrame) <= 1; }))
            << "clock at frame " << clockFrame << ", picture at " << Player(*window).ShownFrame();
        worst = std::max(worst, std::abs(Player(*window).ShownFrame() - clockFrame));
    }
    EXPECT_GE(device->Sample(), project::SampleAtFrame(584, rate));
    EXPECT_LE(worst, 1);
}

}  // namespace
}  // namespace kinetar::test
