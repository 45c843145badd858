#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <thread>

#include "avi/engine/ShowFrames.h"
#include "avi/engine/StillFrame.h"
#include "common/Error.h"
#include "project/TextRecords.h"
#include "support/ShowProject.h"

namespace kinetar::avi {
namespace {

bool SamePixels(const WorkingFrame& a, const WorkingFrame& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        return false;
    }
    for (std::int32_t y = 0; y < a.Height(); ++y) {
        if (!std::equal(a.Row(y).begin(), a.Row(y).end(), b.Row(y).begin())) {
            return false;
        }
    }
    return true;
}

// What the still shows; the background where the still refuses an unreadable picture.
std::unique_ptr<WorkingFrame> Expected(const test::ShowProject& show, std::int64_t frame)
{
    try {
        return MakeStill(show.header, show.Path(), frame);
    } catch (const Error&) {
        auto background = std::make_unique<WorkingFrame>(show.header.Width, show.header.Height);
        background->Fill({show.header.Background[0], show.header.Background[1], show.header.Background[2], 0});
        return background;
    }
}

TEST(ShowFrames, PlacesPicturesAndCuesSoundsOnTheTimeline)
{
    const test::ShowProject show(48, 32, 10);
    const ShowFrames frames(show.header, show.records, 48, 32);
    // 1 s, 0.8 s, 0.5 s, 1 s, one frame, 0.6 s at 10 frames a second.
    ASSERT_EQ(frames.FrameCount(), 10 + 8 + 5 + 10 + 1 + 6);
    const struct {
        std::int64_t frame;
        std::optional<std::int32_t> record;
    } shown[] = {{0, 0}, {9, 0}, {10, 2}, {17, 2}, {18, 3}, {23, 4}, {33, 5}, {34, 6}, {39, 6}, {40, {}}, {-1, {}}};
    for (const auto& row : shown) {
        SCOPED_TRACE(row.frame);
        EXPECT_EQ(frames.RecordAt(row.frame), row.record);
    }
    const std::pair<std::int32_t, std::int64_t> firsts[] = {{0, 0}, {1, 10}, {2, 10}, {5, 33}, {6, 34}, {7, 40}};
    for (const auto& [record, first] : firsts) {
        SCOPED_TRACE(record);
        EXPECT_EQ(frames.FirstFrameOf(record), first);
    }
}

TEST(ShowFrames, EveryFrameIsTheStillInAnyOrder)
{
    test::ShowProject show(64, 36, 10);
    show.Write();
    const std::int64_t count = 40;
    std::vector<std::int64_t> forward(count);
    std::iota(forward.begin(), forward.end(), 0);
    std::vector<std::int64_t> backward(forward.rbegin(), forward.rend());
    // Seeks back and forth across crossfades, the unreadable picture and the one-frame picture.
    std::vector<std::int64_t> jumps = {25, 3, 39, 18, 19, 11, 33, 0, 34, 22, 10, 35, 24, 23, 17, 9};
    std::vector<std::int64_t> strides;
    for (std::int64_t f = 0; f < count; f += 3) {
        strides.push_back(f);
    }
    const struct {
        const char* name;
        const std::vector<std::int64_t>& order;
    } rows[] = {{"in order", forward}, {"backwards", backward}, {"seeking", jumps}, {"dropping frames", strides}};

    std::vector<std::unique_ptr<WorkingFrame>> expected;
    for (std::int64_t f = 0; f < count; ++f) {
        expected.push_back(Expected(show, f));
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ShowFrames frames(show.header, show.records, 64, 36);
        ASSERT_EQ(frames.FrameCount(), count);
        for (const std::int64_t f : row.order) {
            EXPECT_TRUE(SamePixels(*frames.Frame(f), *expected[static_cast<std::size_t>(f)])) << "frame " << f;
        }
    }
}

// Words on the show: a caption on a picture and one on a title card whose background is the
// blurred picture after it, drawn as the still draws them, the title taking its time.
TEST(ShowFrames, CaptionsAndTitleCardsAreTheStills)
{
    test::ShowProject show(96, 54, 10);
    const auto plain = ShowFrames(show.header, show.records, 96, 54).Frame(12);
    project::Caption caption;
    caption.Text = "No. {index} of {count}";
    caption.Style = project::Readability::Box;
    show.records.insert(show.records.begin() + 2, project::NewCaptionRecord(caption));
    project::Title title;
    title.Text = "Chapter two";
    title.Subtitle = "Autumn";
    title.BlurredBackground = true;
    project::FrameRecord card = project::NewTitleRecord(title);
    card.Duration = 700;
    card.Crossfade = 300;
    show.records.insert(show.records.begin() + 5, card);
    show.records.insert(show.records.begin() + 5, project::NewCaptionRecord(caption));
    show.Write();
    ShowFrames frames(show.header, show.records, 96, 54);
    ASSERT_EQ(frames.FrameCount(), 40 + 7);
    // The caption is there to be seen.
    EXPECT_FALSE(SamePixels(*frames.Frame(12), *plain));
    for (const std::int64_t f : {12, 16, 24, 27, 29, 30, 31, 33, 35, 46, 5}) {
        EXPECT_TRUE(SamePixels(*frames.Frame(f), *Expected(show, f))) << "frame " << f;
    }
}

TEST(ShowFrames, TwoThreadsTakingTurnsMakeTheStills)
{
    test::ShowProject show(64, 36, 10);
    show.Write();
    ShowFrames frames(show.header, show.records, 64, 36);
    std::vector<std::unique_ptr<WorkingFrame>> made(40);
    const auto work = [&](std::int64_t first) {
        for (std::int64_t f = first; f < 40; f += 2) {
            made[static_cast<std::size_t>(f)] = frames.Frame(f);
        }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    for (std::int64_t f = 0; f < 40; ++f) {
        EXPECT_TRUE(SamePixels(*made[static_cast<std::size_t>(f)], *Expected(show, f))) << "frame " << f;
    }
}

TEST(ShowFrames, AnUnreadablePictureShowsTheBackgroundAndIsCutAwayFrom)
{
    test::ShowProject show(64, 36, 10);
    show.Write();
    ShowFrames frames(show.header, show.records, 64, 36);
    WorkingFrame background(64, 36);
    background.Fill({20, 90, 200, 0});
    // The still refuses it; the player shows the background over its whole span.
    EXPECT_THROW(MakeStill(show.header, show.Path(), 18), Error);
    for (std::int64_t f = 18; f < 23; ++f) {
        EXPECT_TRUE(SamePixels(*frames.Frame(f), background)) << "frame " << f;
    }
    // The picture after it fades in from nothing: its first frame is its own.
    EXPECT_FALSE(SamePixels(*frames.Frame(23), background));
    EXPECT_THROW(frames.Frame(40), Error);
}

TEST(ShowFrames, PicturesAreReadOnceWhilePlaying)
{
    test::ShowProject show(64, 36, 10);
    show.Write();
    ShowFrames frames(show.header, show.records, 64, 36);
    for (std::int64_t f = 0; f < frames.FrameCount(); ++f) {
        frames.Frame(f);
    }
    // Six pictures, the missing one tried once; none read again for a crossfade.
    EXPECT_EQ(frames.PicturesRead(), 6);
}

TEST(ShowFrames, FramesAtSamplesAndTheirTimes)
{
    const project::FrameRate ntsc{30000, 1001};
    const struct {
        std::int64_t sample;
        project::FrameRate rate;
        std::int64_t frame;
        const char* time;
    } rows[] = {
        {0, {25, 1}, 0, "0:00.0"},
        {1'919, {25, 1}, 0, "0:00.0"},
        {1'920, {25, 1}, 1, "0:00.0"},
        {6'015'360, {25, 1}, 3'133, "2:05.3"},
        {6'013'439, {25, 1}, 3'131, "2:05.2"},
        {1'601, ntsc, 0, "0:00.0"},
        {1'602, ntsc, 1, "0:00.0"},
        {48'048 * 30, ntsc, 900, "0:30.0"},
        {-5, {25, 1}, 0, "0:00.0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sample);
        EXPECT_EQ(FrameAtSample(row.sample, row.rate), row.frame);
        EXPECT_EQ(project::FrameTimeText(row.frame, row.rate), row.time);
        // The frame starts no later than the sample, and the next one after it.
        if (row.sample >= 0) {
            EXPECT_LE(project::SampleAtFrame(row.frame, row.rate), row.sample);
            EXPECT_GT(project::SampleAtFrame(row.frame + 1, row.rate), row.sample);
        }
    }
}

}  // namespace
}  // namespace kinetar::avi
