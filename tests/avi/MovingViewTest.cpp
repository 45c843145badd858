#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "avi/frames/MovingView.h"

namespace kinetar::avi {
namespace {

using project::FitMode;
using project::Framing;

void ExpectView(const ViewRect& view, const ViewRect& expected)
{
    EXPECT_NEAR(view.Left, expected.Left, 1e-9);
    EXPECT_NEAR(view.Top, expected.Top, 1e-9);
    EXPECT_NEAR(view.Width, expected.Width, 1e-9);
    EXPECT_NEAR(view.Height, expected.Height, 1e-9);
}

TEST(MovingView, TheFitsViewInThePicturesCoordinates)
{
    const struct {
        FitMode mode;
        std::int32_t pictureWidth, pictureHeight, frameWidth, frameHeight;
        ViewRect view;
    } rows[] = {
        // Landscape and portrait pictures into landscape and portrait frames.
        {FitMode::Crop, 400, 300, 160, 90, {0, 37.5, 400, 225}},
        {FitMode::Crop, 300, 400, 160, 90, {0, 115.625, 300, 168.75}},
        {FitMode::Crop, 400, 300, 90, 160, {115.625, 0, 168.75, 300}},
        {FitMode::Letterbox, 400, 300, 160, 90, {-66.666666666666657, 0, 533.33333333333326, 300}},
        {FitMode::Letterbox, 300, 400, 90, 160, {0, -66.666666666666686, 300, 533.33333333333337}},
        {FitMode::Blur, 300, 400, 160, 90, {-205.55555555555554, 0, 711.11111111111109, 400}},
        {FitMode::Stretch, 300, 400, 160, 90, {0, 0, 300, 400}},
        {FitMode::Centre, 300, 400, 160, 90, {70, 155, 160, 90}},
        {FitMode::TopLeft, 300, 400, 160, 90, {0, 0, 160, 90}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << project::FitModeName(row.mode) << " " << row.pictureWidth << "x"
                                        << row.pictureHeight << " into " << row.frameWidth << "x" << row.frameHeight);
        const ViewRect view = FitView(row.mode, row.pictureWidth, row.pictureHeight, row.frameWidth, row.frameHeight);
        ExpectView(view, row.view);
        // Zoom 1 at the centre is the fit's own view, for the fits that centre the picture.
        if (row.mode != FitMode::TopLeft) {
            ExpectView(FramedView(row.mode, row.pictureWidth, row.pictureHeight, row.frameWidth, row.frameHeight, {}),
                       view);
        }
    }
}

TEST(MovingView, ZoomShrinksTheViewAboutItsCentreWhichStaysWhereTheFitAllows)
{
    const struct {
        FitMode mode;
        Framing framing;
        ViewRect view;
    } rows[] = {
        {FitMode::Crop, {0.5, 0.5, 2}, {100, 93.75, 200, 112.5}},
        {FitMode::Crop, {0.3, 0.4, 2}, {20, 63.75, 200, 112.5}},
        {FitMode::Crop, {0.0, 0.0, 2}, {0, 0, 200, 112.5}},  // held inside the picture
        {FitMode::Crop, {1.0, 1.0, 4}, {300, 243.75, 100, 56.25}},
        {FitMode::Crop, {0.0, 0.5, 1}, {0, 37.5, 400, 225}},  // no room to move across
        // A letterbox view wider than the picture keeps all of it across while it moves.
        {FitMode::Letterbox, {0.0, 0.5, 1.2}, {-44.444444444444443, 25, 444.44444444444446, 250}},
        {FitMode::Letterbox, {0.9, 0.5, 1.2}, {0, 25, 444.44444444444446, 250}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.framing.X << "," << row.framing.Y << "," << row.framing.Zoom);
        ExpectView(FramedView(row.mode, 400, 300, 160, 90, row.framing), row.view);
    }
}

pictures::DecodedPicture Flat(std::int32_t width, std::int32_t height, std::uint8_t level)
{
    pictures::DecodedPicture picture;
    picture.SetWidth(width);
    picture.SetHeight(height);
    picture.SetPixelFormat(24);
    for (std::int32_t y = 0; y < height; ++y) {
        std::fill(picture.Row(y).begin(), picture.Row(y).end(), level);
    }
    return picture;
}

TEST(MovingView, AFlatPictureStaysExactAndItsEdgesBlendIntoTheBackground)
{
    const pictures::DecodedPicture picture = Flat(300, 200, 200);
    WorkingFrame frame(64, 36);
    // Inside the picture at any scale and any sub-pixel offset: the colour exactly, to the edges.
    for (const ViewRect view :
         {ViewRect{0, 0, 300, 168.75}, ViewRect{10.3, 7.7, 20.1, 11.3}, ViewRect{0.4, 0, 64, 36}}) {
        DrawView(picture, view, {}, frame);
        for (std::int32_t y = 0; y < frame.Height(); ++y) {
            for (const std::uint8_t byte : frame.Row(y)) {
                ASSERT_EQ(byte, 200);
            }
        }
    }
    // Half a frame pixel past the left edge: that column is half picture, half background.
    DrawView(picture, {-2.34375, 0, 300, 168.75}, {10, 10, 10, 0}, frame);
    EXPECT_EQ(frame.Row(5)[0], 105);
    EXPECT_EQ(frame.Row(5)[3], 200);
}

// The centroid across of a frame's brightness above the background.
double CentroidAcross(const WorkingFrame& frame)
{
    double sum = 0;
    double weighted = 0;
    for (std::int32_t y = 0; y < frame.Height(); ++y) {
        const auto row = frame.Row(y);
        for (std::int32_t x = 0; x < frame.Width(); ++x) {
            const double value = row[3 * static_cast<std::size_t>(x) + 1];
            sum += value;
            weighted += value * (x + 0.5);
        }
    }
    return weighted / sum;
}

TEST(MovingView, ASlowPanMovesTheContentByTheSameSubPixelStepEveryFrame)
{
    // A soft dot panned at 0.3 frame pixels a frame, at the picture's own scale and shrunk to
    // half: the centroid moves by the same amount every frame, never back. Whole-pixel views
    // would move it by 0 or 1.
    for (const double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        pictures::DecodedPicture picture = Flat(400, 100, 0);
        for (std::int32_t y = 40; y < 62; ++y) {
            for (std::int32_t x = 190; x < 212; ++x) {
                const double distance2 = (x - 200.5) * (x - 200.5) + (y - 50.5) * (y - 50.5);
                const auto level = static_cast<std::uint8_t>(std::lround(255 * std::exp(-distance2 / (2 * 2.0 * 2.0))));
                std::fill_n(picture.Row(y).begin() + 3 * x, 3, level);
            }
        }
        WorkingFrame frame(120, 40);
        std::vector<double> centroids;
        for (int k = 0; k < 60; ++k) {
            DrawView(picture, {140 - 0.3 * k * scale, 30, 120 * scale, 40 * scale}, {}, frame);
            centroids.push_back(CentroidAcross(frame));
        }
        double squares = 0;
        for (std::size_t k = 1; k < centroids.size(); ++k) {
            EXPECT_NEAR(centroids[k] - centroids[k - 1], 0.3, 0.02) << "frame " << k;
            if (k > 1) {
                const double second = centroids[k] - 2 * centroids[k - 1] + centroids[k - 2];
                squares += second * second;
            }
        }
        EXPECT_LT(std::sqrt(squares / static_cast<double>(centroids.size() - 2)), 0.02);
    }
}

}  // namespace
}  // namespace kinetar::avi
