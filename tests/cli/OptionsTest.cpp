#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/Options.h"
#include "project/FrameEdits.h"
#include "project/Motion.h"
#include "project/ProjectFile.h"

namespace kinetar::cli {
namespace {

// The frame options as add and frame take them, applied to a picture through the core's edit:
// what each option writes, and the exact message of a value refused.
TEST(FrameOptions, OptionsBecomeTheCoresEdit)
{
    struct Row {
        std::vector<std::string> options;
        project::FitMode fit;
        std::uint32_t duration, crossfade;
        project::MotionKind motion;
        std::uint8_t easingByte;
        const char* refused;  // the usage message, or nullptr
    };
    using project::FitMode;
    using project::MotionKind;
    const Row rows[] = {
        {{}, FitMode::Stretch, 0, 0, MotionKind::None, 0, nullptr},
        {{"--fit", "crop", "--duration", "2.5", "--crossfade=0.25"},
         FitMode::Crop,
         2500,
         250,
         MotionKind::None,
         0,
         nullptr},
        {{"--motion", "auto", "--easing", "smooth"}, FitMode::Stretch, 0, 0, MotionKind::Automatic, 1, nullptr},
        {{"--motion", "0,0,1:1,1,2"}, FitMode::Stretch, 0, 0, MotionKind::Custom, 0, nullptr},
        {{"--easing", "smooth"}, FitMode::Stretch, 0, 0, MotionKind::None, 0, nullptr},  // nothing to ease
        {{"--fit", "wide"},
         {},
         0,
         0,
         {},
         0,
         "--fit must be stretch, top-left, letterbox, crop, centre or blur, not 'wide'"},
        {{"--duration", "-1"},
         {},
         0,
         0,
         {},
         0,
         "--duration must be seconds from 0 to 86400 (such as 3, 0.5 or 2.002), not '-1'"},
        {{"--easing", "fast"}, {}, 0, 0, {}, 0, "--easing must be linear or smooth, not 'fast'"},
    };
    for (const Row& row : rows) {
        std::string trace;
        for (const std::string& option : row.options) {
            trace += option + " ";
        }
        SCOPED_TRACE(trace);
        std::vector<std::string> items{"kinetar-cli", "frame"};
        items.insert(items.end(), row.options.begin(), row.options.end());
        std::vector<char*> argv;
        for (std::string& item : items) {
            argv.push_back(item.data());
        }
        Arguments arguments(static_cast<int>(argv.size()), argv.data(), 2);
        try {
            const project::FrameEdit edit = TakeFrameOptions(arguments);
            ASSERT_EQ(row.refused, nullptr);
            EXPECT_EQ(AnyFrameOption(edit), !row.options.empty());
            project::FrameRecord record = project::NewFrameRecord("/a.bmp");
            ASSERT_TRUE(project::ApplyFrameEdit(record, edit));
            EXPECT_EQ(project::GetFit(record), row.fit);
            EXPECT_EQ(record.Duration.Get(), row.duration);
            EXPECT_EQ(record.Crossfade.Get(), row.crossfade);
            EXPECT_EQ(project::GetMotion(record).Kind, row.motion);
            EXPECT_EQ(record.Easing, row.easingByte);
        } catch (const UsageError& error) {
            ASSERT_NE(row.refused, nullptr) << error.message;
            EXPECT_EQ(error.message, row.refused);
        }
    }
}

TEST(Options, ValuesAndTheirMessages)
{
    struct Row {
        const char* text;
        std::string (*parse)(const std::string&);
        const char* result;  // what was read, or the usage message
    };
    const auto index = [](const std::string& text) { return std::to_string(ParseIndex(text, 3)); };
    const auto depth = [](const std::string& text) { return std::to_string(ParseDepth(text)); };
    const auto colour = [](const std::string& text) {
        const auto rgb = ParseColour(text);
        return std::to_string(rgb[0]) + "," + std::to_string(rgb[1]) + "," + std::to_string(rgb[2]);
    };
    const auto yesNo = [](const std::string& text) { return std::string(ParseYesNo(text, "--play") ? "yes" : "no"); };
    const Row rows[] = {
        {"2", +index, "2"},
        {"3", +index, "there is no frame 3: the project has 3 frames, numbered from 0"},
        {"99999999999", +index, "there is no frame 99999999999: the project has 3 frames, numbered from 0"},
        {"-1", +index, "a frame index is a whole number from 0, not '-1'"},
        {"8", +depth, "8"},
        {"16", +depth, "--depth must be 1, 4, 8 or 24, not '16'"},
        {"#FF8000", +colour, "255,128,0"},
        {"0a0B0c", +colour, "10,11,12"},
        {"FF800", +colour, "--background must be six hex digits RRGGBB, not 'FF800'"},
        {"no", +yesNo, "no"},
        {"true", +yesNo, "--play must be yes or no, not 'true'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        try {
            EXPECT_EQ(row.parse(row.text), row.result);
        } catch (const UsageError& error) {
            EXPECT_EQ(error.message, row.result);
        }
    }
}

}  // namespace
}  // namespace kinetar::cli
