#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "avi/engine/PictureReadAhead.h"
#include "common/Error.h"

namespace kinetar::avi {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t BytesOf(std::int32_t width)
{
    return static_cast<std::int64_t>(pictures::RowStride(width, 24)) * 1000;
}

// Pictures width x 1000 that announce their size as a reader does, take 2 ms of processor time
// (enough to be read ahead), and keep count of the bytes existing at once. A width of 0 fails.
class CountingPictures {
public:
    PictureReadAhead::Loader Loader(std::int32_t width)
    {
        return [this, width] {
            if (width == 0) {
                throw Error("unreadable");
            }
            pictures::CheckPictureSize(width, 1000, "");
            Count(BytesOf(width));
            timespec start{};
            timespec now{};
            ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
            do {
                ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
            } while ((now.tv_sec - start.tv_sec) * 1'000'000'000 + now.tv_nsec - start.tv_nsec < 2'000'000);
            auto picture = std::make_unique<pictures::DecodedPicture>();
            picture->SetWidth(width);  // its rows are only allocated when touched
            picture->SetHeight(1000);
            return picture;
        };
    }
    // Adds (or with a negative count takes away) bytes; answers the bytes now and the most so far.
    std::pair<std::int64_t, std::int64_t> Count(std::int64_t bytes = 0)
    {
        const std::lock_guard lock(m_mutex);
        m_live += bytes;
        m_mostLive = std::max(m_mostLive, m_live);
        return {m_live, m_mostLive};
    }

private:
    std::mutex m_mutex;
    std::int64_t m_live = 0;
    std::int64_t m_mostLive = 0;
};

// As the engine does: two pictures asked for ahead; the one taken is held while its frame is
// fitted and let go before the next is asked for, then the frame is compressed.
TEST(PictureReadAhead, PicturesAheadAreBoundedByTheirBytes)
{
    const struct {
        const char* name;
        std::uint64_t budget;
        std::vector<std::int32_t> widths;  // 1000 wide is 3 MB
        std::int64_t mostLive;
    } rows[] = {
        {"larger than the budget: one at a time", 1 << 20, {1000, 1001, 1002, 1003, 1004, 1005, 1006}, BytesOf(1006)},
        {"a large one beside small ones, never beside another, with failures",
         4 << 20,
         {1000, 10, 1001, 1002, 0, 11, 12, 1003, 0, 1004, 13},
         4 << 20},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PictureReadAhead readAhead(row.budget);
        CountingPictures pictures;
        std::deque<PictureReadAhead::Ticket> ahead;
        std::vector<std::int32_t> taken;
        for (std::size_t requested = 0; requested < row.widths.size() || !ahead.empty();) {
            while (ahead.size() < 2 && requested < row.widths.size()) {
                ahead.push_back(readAhead.Request(pictures.Loader(row.widths[requested++])));
            }
            PictureReadAhead::Ticket ticket = std::move(ahead.front());
            ahead.pop_front();
            try {
                PictureReadAhead::Picture picture = ticket.Take();
                taken.push_back(picture->Width());
                std::this_thread::sleep_for(10ms);
                pictures.Count(-BytesOf(picture->Width()));
            } catch (const Error&) {
                taken.push_back(0);
            }
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(taken, row.widths);
        EXPECT_LE(pictures.Count().second, row.mostLive);
    }
}

TEST(PictureReadAhead, ReadsWaitingForRoomAreDroppedWithTheRun)
{
    CountingPictures pictures;
    const auto start = std::chrono::steady_clock::now();
    {
        PictureReadAhead readAhead(1 << 20);
        (void)readAhead.Request(pictures.Loader(1000)).Take();  // slow: the next ones go ahead
        pictures.Count(-BytesOf(1000));
        std::vector<PictureReadAhead::Ticket> ahead;
        for (std::int32_t width = 1001; width < 1004; ++width) {
            ahead.push_back(readAhead.Request(pictures.Loader(width)));
        }
        // The earliest is read; the others wait for it to be taken, which never happens.
        while (pictures.Count().first == 0 && std::chrono::steady_clock::now() - start < 5s) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(pictures.Count().first, BytesOf(1001));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 7s);
}

}  // namespace
}  // namespace kinetar::avi
