#include <gtest/gtest.h>

#include "cli/CommandLine.h"

namespace kinetar::cli {
namespace {

TEST(NearestName, SuggestsOnlyWhatASlipOfTheKeysExplains)
{
    const std::vector<std::string> options = {"--fit", "--duration", "--crossfade", "--from", "--sort", "--no-stretch"};
    const struct {
        const char* typed;
        const char* nearest;  // "": no suggestion
    } rows[] = {
        {"--duraton", "--duration"},     // a letter missing
        {"--durration", "--duration"},   // one extra
        {"--crossfdae", "--crossfade"},  // two swapped
        {"--DURATION", "--duration"},    // case does not count
        {"-duration", "--duration"},     // nor the dashes
        {"--fitt", "--fit"},
        {"--form", "--from"},  // a swap, not two changes
        {"--size", ""},        // two of four letters changed: too far
        {"--output", ""},
        {"--x", ""},
        {"--stretchy", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(NearestName(row.typed, options).value_or(""), row.nearest) << row.typed;
    }
    const std::vector<std::string> commands = {"new",  "set",  "add",    "frame", "remove",
                                               "move", "info", "codecs", "render"};
    EXPECT_EQ(NearestName("rendr", commands).value_or(""), "render");
    EXPECT_EQ(NearestName("remvoe", commands).value_or(""), "remove");
    EXPECT_EQ(NearestName("nwe", commands).value_or(""), "new");
    EXPECT_EQ(NearestName("frobnicate", commands), std::nullopt);
}

TEST(Arguments, UnknownOptionsNameTheNearestKnownOne)
{
    std::vector<std::string> words = {"kinetar-cli", "add", "p.AVIprj", "--duraton", "3", "a.jpg"};
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    Arguments arguments(static_cast<int>(argv.size()), argv.data(), 2);
    EXPECT_EQ(arguments.Value("--duration"), std::nullopt);
    EXPECT_FALSE(arguments.Flag("--no-stretch"));
    try {
        (void)arguments.Rest();
        FAIL() << "an unknown option was taken";
    } catch (const UsageError& error) {
        EXPECT_EQ(error.message, "unknown option --duraton; did you mean --duration?");
    }
}

}  // namespace
}  // namespace kinetar::cli
