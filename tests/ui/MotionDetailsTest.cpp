#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "UiTest.h"
#include "avi/frames/MovingView.h"
#include "project/Motion.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"
#include "support/BmpBuilder.h"
#include "support/RgbImage.h"
#include "ui/MotionFields.h"
#include "ui/ViewRectangles.h"

namespace kinetar::test {
namespace {

using project::Framing;
using project::Motion;
using project::MotionKind;
using Rows = std::vector<int>;

// Stored views come back to within 1/65535 and a thousandth of the zoom.
void ExpectMotion(const Motion& actual, const Motion& expected)
{
    EXPECT_EQ(actual.Kind, expected.Kind);
    EXPECT_EQ(actual.Ease, expected.Ease);
    for (const auto& [got, wanted] : {std::pair{actual.Start, expected.Start}, {actual.End, expected.End}}) {
        EXPECT_NEAR(got.X, wanted.X, 1e-4);
        EXPECT_NEAR(got.Y, wanted.Y, 1e-4);
        EXPECT_NEAR(got.Zoom, wanted.Zoom, 6e-4);
    }
}

void ExpectRect(const QRectF& actual, const QRectF& expected)
{
    EXPECT_NEAR(actual.left(), expected.left(), 0.01);
    EXPECT_NEAR(actual.top(), expected.top(), 0.01);
    EXPECT_NEAR(actual.width(), expected.width(), 0.01);
    EXPECT_NEAR(actual.height(), expected.height(), 0.01);
}

Motion Custom(Framing start, Framing end, project::Easing ease = project::Easing::Linear)
{
    return {MotionKind::Custom, ease, start, end};
}

class MotionDetailsTest : public UiTest {
protected:
    // A project of a video `video` in size whose frames show `picture` (a BMP of that size) with
    // these fits and motions.
    std::unique_ptr<ui::MainWindow> OpenWith(QSize picture, QSize video,
                                             const std::vector<std::pair<project::FitMode, Motion>>& frames)
    {
        WriteFile(File("a.bmp"), Bmp24(GradientImage(picture.width(), picture.height())));
        project::ProjectHeader header = project::NewProjectHeader();
        header.Width = video.width();
        header.Height = video.height();
        std::vector<project::FrameRecord> records;
        for (const auto& [fit, motion] : frames) {
            records.push_back(project::NewFrameRecord(File("a.bmp")));
            project::SetFit(records.back(), fit);
            project::SetMotion(records.back(), motion);
        }
        project::ReplaceProjectFile(File("p.AVIprj"), header, records);
        auto window = Window({QPath("p.AVIprj")});
        window->resize(1200, 1000);
        QApplication::processEvents();
        return window;
    }
    static std::vector<Motion> Motions(const ui::MainWindow& window)
    {
        std::vector<project::FrameRecord> records;
        project::ReadProject(window.WorkingCopyPath(), &records);
        std::vector<Motion> motions;
        for (const auto& record : records) {
            motions.push_back(project::GetMotion(record));
        }
        return motions;
    }
    // Saves, checks what was written, and undoes it in one step.
    void SaveExpectAndUndo(ui::MainWindow& window, const std::vector<Motion>& expected)
    {
        const auto before = ReadFile(window.WorkingCopyPath());
        Find<QPushButton>(window, "bt_UlozitZmeny")->click();
        const std::vector<Motion> motions = Motions(window);
        ASSERT_EQ(motions.size(), expected.size());
        for (std::size_t i = 0; i < motions.size(); ++i) {
            SCOPED_TRACE("frame " + std::to_string(i));
            ExpectMotion(motions[i], expected[i]);
        }
        Trigger(window, "menu_Zpet");
        EXPECT_EQ(ReadFile(window.WorkingCopyPath()), before);
    }
    static void Type(QAbstractSpinBox* box, const char* text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, QString::fromLatin1(text));
    }
};

constexpr const char* kNumberNames[] = {"ed_StartX", "ed_StartY", "ed_StartZoom", "ed_EndX", "ed_EndY", "ed_EndZoom"};

TEST_F(MotionDetailsTest, TheMotionListShowsAndSavesWhatTheFramesShare)
{
    using project::Easing;
    using project::FitMode;
    const Motion still{};
    const Motion first = Custom({0.25, 0.75, 2}, {0.5, 0.5, 1}, Easing::Smooth);
    const Motion second = Custom({0.25, 0.75, 2}, {0.6, 0.5, 3});
    auto window =
        OpenWith({40, 30}, {40, 30}, {{FitMode::Crop, still}, {FitMode::Crop, first}, {FitMode::Crop, second}});
    auto* kind = Find<QComboBox>(*window, "cb_Pohyb");
    auto* easing = Find<QComboBox>(*window, "cb_Plynulost");
    const auto box = [&](int index) { return Find<QDoubleSpinBox>(*window, kNumberNames[index]); };
    const Motion automatic{MotionKind::Automatic, Easing::Smooth, {}, {}};
    // What the panel shows: the kind and the easing, then the six numbers while they are shown.
    const auto shown = [&] {
        QStringList texts;
        for (const QComboBox* list : {kind, easing}) {
            texts << (list->currentIndex() < 0 ? list->placeholderText() : list->currentText());
        }
        for (int i = 0; i < 6 && Find<QWidget>(*window, "PanelMotionViews")->isVisibleTo(window.get()); ++i) {
            texts << box(i)->text();
        }
        return texts.join(' ');
    };
    struct Case {
        const char* name;
        Rows rows;
        const char* shown;
        std::function<void()> edit;
        std::vector<Motion> after;
    };
    const Case cases[] = {
        {"a still frame set moving",
         {0},
         "None Linear",
         [&] {
             kind->setCurrentIndex(1);
             easing->setCurrentIndex(1);
         },
         {automatic, first, second}},
        {"one custom frame, untouched",
         {1},
         "Custom Smooth 0.250 0.750 2.000 0.500 0.500 1.000",
         [] {},
         {still, first, second}},
        {"two frames: the shared zoom typed",
         {1, 2},
         "Custom various 0.250 0.750 2.000 various 0.500 various",
         [&] { Type(box(5), "1.5"); },
         {still, Custom(first.Start, {0.5, 0.5, 1.5}, Easing::Smooth), Custom(second.Start, {0.6, 0.5, 1.5})}},
        {"two frames: a differing number stepped up from various",
         {1, 2},
         "Custom various 0.250 0.750 2.000 various 0.500 various",
         [&] { QTest::keyClick(box(3), Qt::Key_Up); },
         {still, Custom(first.Start, {0, 0.5, 1}, Easing::Smooth), Custom(second.Start, {0, 0.5, 3})}},
        {"all three, untouched",
         {0, 1, 2},
         "various various various various various various 0.500 various",
         [] {},
         {still, first, second}},
        {"all three stopped",
         {0, 1, 2},
         "various various various various various various 0.500 various",
         [&] { kind->setCurrentIndex(0); },
         {still, still, still}},
        {"a still frame made custom: a gentle zoom proposed",
         {0},
         "None Linear",
         [&] { kind->setCurrentIndex(2); },
         {Custom({0.5, 0.5, 1}, {0.5, 0.5, 1.25}), first, second}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Select(*window, test.rows);
        EXPECT_EQ(shown(), test.shown);
        EXPECT_EQ(easing->isEnabled(), kind->currentIndex() != 0);
        test.edit();
        SaveExpectAndUndo(*window, test.after);
    }
}

// A 400 x 300 picture cropped into a 40 x 30 video: the fit's view is the whole picture, drawn
// at its own size, so the widget's pixels are the picture's.
TEST_F(MotionDetailsTest, TheViewsFollowTheMouseTheWheelAndTheKeyboard)
{
    using project::FitMode;
    const Framing start{0.5, 0.5, 2};   // 200 x 150 from (100, 75)
    const Framing end{0.5, 0.5, 1.25};  // 320 x 240 from (40, 30)
    auto window = OpenWith({400, 300}, {40, 30}, {{FitMode::Crop, Custom(start, end)}});
    Select(*window, {0});
    auto* views = Find<ui::ViewRectangles>(*window, "MotionViews");
    ASSERT_TRUE(views->isVisible());
    ASSERT_EQ(views->size(), QSize(400, 300));
    EXPECT_EQ(Find<QLabel>(*window, "Image_Preview")->pixmap().size(), QSize(400, 300));
    ExpectRect(views->ShownRect(ui::ViewRectangles::Start), QRectF(100, 75, 200, 150));
    ExpectRect(views->ShownRect(ui::ViewRectangles::End), QRectF(40, 30, 320, 240));

    // One row each: a drag from `at` to `to`, or a wheel turn at `at`, or keys pressed.
    struct Row {
        const char* name;
        QPoint at, to;
        int wheel;
        std::vector<Qt::Key> keys;
        Framing start, end;  // after
    };
    const Row rows[] = {
        {"the start view dragged", {200, 150}, {240, 170}, 0, {}, {0.6, 170.0 / 300, 2}, end},
        // Resized about the opposite corner, keeping the video's shape.
        {"the end view's corner dragged", {360, 270}, {240, 180}, 0, {}, start, {0.35, 0.35, 2}},
        {"a drag outside both views", {20, 20}, {60, 60}, 0, {}, start, end},
        {"the wheel over the end view alone", {50, 40}, {}, 120, {}, start, {0.5, 0.5, 1.375}},
        {"the wheel outside both: the chosen view", {10, 10}, {}, -240, {}, {0.5, 0.5, 2 / 1.21}, end},
        {"never farther than the fit's view", {200, 150}, {}, -1200, {}, {0.5, 0.5, 1}, end},
        {"arrows move, Space chooses, minus widens",
         {},
         {},
         0,
         {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Space, Qt::Key_Minus},
         {0.52, 0.51, 2},
         {0.5, 0.5, 1.25 / 1.1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.wheel != 0) {
            QWheelEvent event(row.at, views->mapToGlobal(row.at), {}, {0, row.wheel}, Qt::NoButton, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(views, &event);
        } else if (!row.keys.empty()) {
            views->setFocus();
            for (const Qt::Key key : row.keys) {
                QTest::keyClick(views, key);
            }
        } else {
            QTest::mousePress(views, Qt::LeftButton, {}, row.at);
            QTest::mouseMove(views, (row.at + row.to) / 2);
            QTest::mouseMove(views, row.to);
            QTest::mouseRelease(views, Qt::LeftButton, {}, row.to);
        }
        EXPECT_TRUE(window->Session().PendingChanges() || (row.start == start && row.end == end));
        SaveExpectAndUndo(*window, {Custom(row.start, row.end)});
        ExpectRect(views->ShownRect(ui::ViewRectangles::Start), QRectF(100, 75, 200, 150));
    }
    // A typed number moves the rectangle.
    Type(Find<QDoubleSpinBox>(*window, "ed_StartX"), "0.3");
    ExpectRect(views->ShownRect(ui::ViewRectangles::Start), QRectF(20, 75, 200, 150));
    SaveExpectAndUndo(*window, {Custom({0.3, 0.5, 2}, end)});
}

// Every fit shows by name and saves as it was; "Blurred fill" writes fit byte 4.
TEST_F(MotionDetailsTest, EveryFitShowsByNameAndBlurredFillSaves)
{
    using project::FitMode;
    const std::pair<FitMode, const char*> fits[] = {
        {FitMode::Stretch, "Stretch"}, {FitMode::TopLeft, "Top-left"}, {FitMode::Letterbox, "Letterbox"},
        {FitMode::Crop, "Crop"},       {FitMode::Centre, "Centre"},    {FitMode::Blur, "Blurred fill"},
    };
    std::vector<std::pair<FitMode, Motion>> frames;
    for (const auto& [fit, name] : fits) {
        frames.push_back({fit, Motion{}});
    }
    auto window = OpenWith({40, 30}, {40, 30}, frames);
    auto* fitBox = Find<QComboBox>(*window, "cb_Prizpusobeni");
    const std::string copy = window->WorkingCopyPath();
    for (int row = 0; row < static_cast<int>(std::size(fits)); ++row) {
        SCOPED_TRACE(fits[row].second);
        Select(*window, {row});
        EXPECT_EQ(fitBox->currentText(), fits[row].second);
        const auto before = ReadFile(copy);
        Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
        EXPECT_EQ(ReadFile(copy), before);

        fitBox->setCurrentIndex(fitBox->findText("Blurred fill"));
        Find<QPushButton>(*window, "bt_UlozitZmeny")->click();
        std::vector<project::FrameRecord> records;
        project::ReadProject(copy, &records);
        EXPECT_EQ(records[static_cast<std::size_t>(row)].Fit, 4);
        EXPECT_EQ(project::GetFit(records[static_cast<std::size_t>(row)]), FitMode::Blur);
        Trigger(*window, "menu_Zpet");
        EXPECT_EQ(ReadFile(copy), before);
    }
}

// The preview under the views holds every view the fit allows: the views at the picture's
// corners, at the fit's own size, lie inside it and reach each of its edges.
TEST(MotionCanvasTest, HoldsEveryViewAndNoMore)
{
    using project::FitMode;
    const std::tuple<FitMode, QSize, QSize> rows[] = {
        {FitMode::Crop, {400, 300}, {40, 30}},      {FitMode::Crop, {300, 400}, {1920, 1080}},
        {FitMode::Letterbox, {300, 400}, {40, 30}}, {FitMode::Blur, {400, 100}, {1080, 1920}},
        {FitMode::Centre, {100, 80}, {160, 90}},    {FitMode::TopLeft, {400, 300}, {160, 90}},
        {FitMode::Stretch, {300, 200}, {40, 30}},
    };
    for (const auto& [mode, picture, video] : rows) {
        SCOPED_TRACE(testing::Message() << project::FitModeName(mode) << " " << picture.width() << "x"
                                        << picture.height() << " into " << video.width() << "x" << video.height());
        const avi::ViewRect canvas = ui::MotionCanvas(mode, picture, video);
        EXPECT_LE(canvas.Left, 0);
        EXPECT_LE(canvas.Top, 0);
        EXPECT_GE(canvas.Left + canvas.Width, picture.width());
        EXPECT_GE(canvas.Top + canvas.Height, picture.height());
        double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
        for (const double x : {0.0, 1.0}) {
            for (const double y : {0.0, 1.0}) {
                const avi::ViewRect view =
                    avi::FramedView(mode, picture.width(), picture.height(), video.width(), video.height(), {x, y, 1});
                left = std::min(left, view.Left);
                top = std::min(top, view.Top);
                right = std::max(right, view.Left + view.Width);
                bottom = std::max(bottom, view.Top + view.Height);
            }
        }
        EXPECT_NEAR(std::min(left, 0.0), canvas.Left, 1e-9);
        EXPECT_NEAR(std::min(top, 0.0), canvas.Top, 1e-9);
        EXPECT_NEAR(std::max(right, double(picture.width())), canvas.Left + canvas.Width, 1e-9);
        EXPECT_NEAR(std::max(bottom, double(picture.height())), canvas.Top + canvas.Height, 1e-9);
    }
}

}  // namespace
}  // namespace kinetar::test
