#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "project/CaptionedMoves.h"

namespace kinetar::project {
namespace {

// A project written as words: a capital starts a frame ("A", "T" for a title alike), a small
// letter is a caption ("a" goes on "A" in the tables), "~" a sound.
std::vector<std::string> Words(const std::string& layout)
{
    std::istringstream in(layout);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

RoleAt RolesOf(const std::vector<std::string>& words)
{
    return [words](std::int32_t i) {
        const char first = words.at(static_cast<std::size_t>(i)).front();
        return first == '~'                   ? RecordRole::Sound
               : first >= 'a' && first <= 'z' ? RecordRole::Caption
                                              : RecordRole::Frame;
    };
}

std::string Arranged(const std::vector<std::string>& words, const RecordMove& move)
{
    std::string text;
    for (const std::int32_t old : OrderAfterMove(move, static_cast<std::int32_t>(words.size()))) {
        text += (text.empty() ? "" : " ") + words.at(static_cast<std::size_t>(old));
    }
    return text;
}

TEST(CaptionedMoves, ABlockMovesWithItsCaptionsAndNeverSplitsACaptionFromItsFrame)
{
    struct Row {
        const char* name;
        const char* layout;
        std::vector<std::int32_t> moved;
        std::int32_t destination;
        const char* expected;
    };
    const Row rows[] = {
        {"plain frames, first to the end", "A B C", {0}, 3, "B C A"},
        {"plain frames, last to the front", "A B C", {2}, 0, "C A B"},
        {"a captioned first frame to the end", "a A B C", {1}, 4, "B C a A"},
        {"a captioned last frame to the front", "A B c C", {3}, 0, "c C A B"},
        {"a captioned middle frame down", "A b B C D", {2}, 4, "A C b B D"},
        {"dropped down between a caption and its frame, it goes after the frame", "A B c C", {0}, 3, "B c C A"},
        {"moving up onto a caption's place goes before it", "a A b B C", {4}, 3, "a A C b B"},
        {"moving down past a caption goes after its frame", "A b B C", {0}, 2, "b B A C"},
        {"several frames, each with its caption", "a A B c C D", {1, 4}, 6, "B D a A c C"},
        {"several captions of one frame all go", "A x y Y B", {3}, 0, "x y Y A B"},
        {"a sound between a caption and its frame stays", "A c ~ C D", {3}, 5, "A ~ D c C"},
        {"a caption line alone moves alone", "A b B C", {1}, 4, "A B C b"},
        {"a title takes its captions as a picture does", "A t T B", {2}, 0, "t T A B"},
        {"a caption selected with its frame is counted once", "a A B", {0, 1}, 3, "B a A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string> words = Words(row.layout);
        const auto count = static_cast<std::int32_t>(words.size());
        EXPECT_EQ(Arranged(words, PlanMove(row.moved, row.destination, count, RolesOf(words))), row.expected);
    }
}

TEST(CaptionedMoves, AStepPassesTheWholeNeighbouringFrame)
{
    struct Row {
        const char* name;
        const char* layout;
        std::int32_t index;
        int step;
        const char* expected;  // empty: nothing moves
    };
    const Row rows[] = {
        {"up past a captioned frame", "a A b B", 3, -1, "b B a A"},
        {"down past a captioned frame", "a A b B", 1, +1, "b B a A"},
        {"the first frame with its caption cannot go up", "a A B", 1, -1, ""},
        {"the last frame with its caption cannot go down", "A b B", 2, +1, ""},
        {"plain frames swap", "A B C", 1, -1, "B A C"},
        {"a caption stepping up goes onto the frame before", "A b B", 1, -1, "b A B"},
        {"past a sound alone", "A ~ B", 2, -1, "A B ~"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string> words = Words(row.layout);
        const RecordMove move = PlanStep(row.index, row.step, static_cast<std::int32_t>(words.size()), RolesOf(words));
        EXPECT_EQ(move.Indexes.empty() ? std::string() : Arranged(words, move), row.expected);
    }
}

TEST(CaptionedMoves, AFramesCaptionsAreTheCaptionRecordsUpToTheFrameBefore)
{
    const std::vector<std::string> words = Words("a A x ~ y Y B");
    EXPECT_EQ(CaptionsOf(5, RolesOf(words)), (std::vector<std::int32_t>{2, 4}));
    EXPECT_EQ(CaptionsOf(6, RolesOf(words)), std::vector<std::int32_t>{});
    EXPECT_EQ(WithTheirCaptions({6, 1, 5}, RolesOf(words)), (std::vector<std::int32_t>{0, 1, 2, 4, 5, 6}));
}

}  // namespace
}  // namespace kinetar::project
