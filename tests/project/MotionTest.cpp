#include <gtest/gtest.h>

#include <cmath>

#include "project/Motion.h"

namespace kinetar::project {
namespace {

TEST(Motion, SpecsReadBackAsWrittenAndBadOnesAreRefused)
{
    const struct {
        const char* text;
        const char* stored;  // what info shows once stored; nullptr: refused
    } rows[] = {
        {"none", "none"},
        {"auto", "auto"},
        {"0.5,0.5,1:0.3,0.4,1.4", "0.5,0.5,1:0.3,0.4,1.4"},
        {"0,1,10:1,0,1", "0,1,10:1,0,1"},
        {"0.12345,0.5,2.5:0.5,0.5,1", "0.12345,0.5,2.5:0.5,0.5,1"},
        {"0.5,0.5,0.99:0.5,0.5,1", nullptr},  // closer than the fit's view only
        {"0.5,0.5,10.5:0.5,0.5,1", nullptr},
        {"1.1,0.5,1:0.5,0.5,1", nullptr},
        {"-0.1,0.5,1:0.5,0.5,1", nullptr},
        {"0.5,0.5,1", nullptr},
        {"0.5,0.5:0.5,0.5,1", nullptr},
        {"0.5,0.5,1:0.5,0.5,1:0.5,0.5,1", nullptr},
        {"a,0.5,1:0.5,0.5,1", nullptr},
        {"0.5,0.5,nan:0.5,0.5,1", nullptr},
        {"", nullptr},
        {"Auto", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::string problem;
        const auto motion = ParseMotion(row.text, &problem);
        ASSERT_EQ(motion.has_value(), row.stored != nullptr) << problem;
        if (!motion) {
            EXPECT_FALSE(problem.empty());
            continue;
        }
        FrameRecord record;
        SetMotion(record, *motion);
        EXPECT_EQ(FormatMotion(GetMotion(record)), row.stored);
    }
}

TEST(Motion, StoredInItsOwnBytesWithZeroMeaningStill)
{
    FrameRecord record;
    EXPECT_EQ(GetMotion(record).Kind, MotionKind::None);
    SetMotion(record, *ParseMotion("0,0.5,1:1,0.5,2"));
    EXPECT_EQ(record.Motion, 1);
    EXPECT_EQ(record.MotionStart, (std::array<std::uint8_t, 6>{0, 0, 0x00, 0x80, 0xe8, 0x03}));
    EXPECT_EQ(record.MotionEnd, (std::array<std::uint8_t, 6>{0xff, 0xff, 0x00, 0x80, 0xd0, 0x07}));
    SetMotion(record, Motion{});
    EXPECT_EQ(record.Motion, 0);
    EXPECT_EQ(record.MotionStart, (std::array<std::uint8_t, 6>{}));
    record.Motion = 7;  // a kind this program does not know stands still
    EXPECT_EQ(GetMotion(record).Kind, MotionKind::None);
}

TEST(Motion, FramingMovesLinearlyInTheCentreAndGeometricallyInTheZoom)
{
    const Motion motion{
        .Kind = MotionKind::Custom, .Ease = Easing::Linear, .Start = {0.0, 0.2, 1.0}, .End = {1.0, 0.2, 4.0}};
    Motion smooth = motion;
    smooth.Ease = Easing::Smooth;
    const struct {
        const Motion& motion;
        std::int64_t k;
        std::int64_t n;
        double x;
        double zoom;
    } rows[] = {
        {motion, 0, 100, 0.005, std::pow(4.0, 0.005)},
        {motion, 49, 100, 0.495, std::pow(4.0, 0.495)},
        {motion, 99, 100, 0.995, std::pow(4.0, 0.995)},
        {motion, 0, 1, 0.5, 2.0},  // one frame: the middle of the move
        {smooth, 0, 2, 0.15625, std::pow(4.0, 0.15625)},
        {smooth, 1, 2, 0.84375, std::pow(4.0, 0.84375)},
        {smooth, 150, 100, 1.0, 4.0},                   // past the end, held
        {motion, 110, 100, 1.0, std::pow(4.0, 1.105)},  // a linear move goes on, held to the ranges
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.k << " of " << row.n);
        const Framing framing = FramingAt(row.motion, row.k, row.n);
        EXPECT_NEAR(framing.X, row.x, 1e-12);
        EXPECT_NEAR(framing.Y, 0.2, 1e-12);
        EXPECT_NEAR(framing.Zoom, row.zoom, 1e-12);
    }
}

TEST(Motion, AutomaticMotionAlternatesAndLeavesShortPicturesStill)
{
    Motion automatic;
    automatic.Kind = MotionKind::Automatic;
    const FrameRate rate{25, 1};
    EXPECT_FALSE(ResolvedMotion(automatic, 0, 24, rate, 1.0));  // under a second
    EXPECT_FALSE(ResolvedMotion(Motion{}, 0, 100, rate, 1.0));
    const auto first = ResolvedMotion(automatic, 0, 100, rate, 1.0);
    const auto second = ResolvedMotion(automatic, 1, 100, rate, 1.0);
    ASSERT_TRUE(first && second);
    EXPECT_LT(first->Start.Zoom, first->End.Zoom);  // in, then out
    EXPECT_GT(second->Start.Zoom, second->End.Zoom);
    EXPECT_EQ(first->End.X, 0.5);
    // 3 % of the closest view's width a second, for 3 s; never over a tenth of the picture.
    EXPECT_NEAR(std::abs(ResolvedMotion(automatic, 0, 75, rate, 1.0)->Start.X - 0.5), 0.03 * 3 / 1.12, 1e-12);
    EXPECT_NEAR(std::abs(first->Start.X - 0.5), 0.1, 1e-12);
    EXPECT_EQ(ResolvedMotion(automatic, 0, 100, rate, 1.0), first);                    // the same every time
    EXPECT_NE(ResolvedMotion(automatic, 2, 100, rate, 1.0)->Start.X, first->Start.X);  // the other side
}

}  // namespace
}  // namespace kinetar::project
