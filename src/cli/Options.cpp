#include "cli/Options.h"

#include <optional>

#include "project/Motion.h"

namespace kinetar::cli {

std::size_t ParseIndex(const std::string& text, std::size_t count)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        Usage("a frame index is a whole number from 0, not '" + text + "'");
    }
    // Past ten digits it is past any project's last frame.
    const auto index = text.size() > 10 ? count : static_cast<std::size_t>(std::stoull(text));
    if (index >= count) {
        Usage("there is no frame " + text + ": the project has " + std::to_string(count) +
              (count == 1 ? " frame" : " frames") + ", numbered from 0");
    }
    return index;
}

int ParseDepth(const std::string& text)
{
    const std::int32_t bits = ParseNumber(text, "--depth", 1, 24);
    if (!project::ColorDepthCode(bits)) {
        Usage("--depth must be 1, 4, 8 or 24, not '" + text + "'");
    }
    return bits;
}

std::uint32_t ParseSecondsOption(const std::string& text, const std::string& name)
{
    const auto milliseconds = project::ParseSeconds(text);
    if (!milliseconds) {
        Usage(name + " must be seconds from 0 to " + project::FormatSeconds(project::kMaxMilliseconds) +
              " (such as 3, 0.5 or 2.002), not '" + text + "'");
    }
    return *milliseconds;
}

project::FitMode ParseFit(const std::string& text)
{
    const auto mode = project::FitModeFromName(text);
    if (!mode) {
        Usage("--fit must be stretch, top-left, letterbox, crop, centre or blur, not '" + text + "'");
    }
    return *mode;
}

bool ParseYesNo(const std::string& text, const std::string& name)
{
    if (text != "yes" && text != "no") {
        Usage(name + " must be yes or no, not '" + text + "'");
    }
    return text == "yes";
}

namespace {

// Pairs of hex digits, with or without a leading "#"; nothing when the text is not that.
template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> HexBytes(const std::string& text)
{
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 2 * N || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    std::array<std::uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        bytes[i] = static_cast<std::uint8_t>(std::stoul(digits.substr(2 * i, 2), nullptr, 16));
    }
    return bytes;
}

}  // namespace

std::array<std::uint8_t, 3> ParseColour(const std::string& text, const std::string& name)
{
    const auto colour = HexBytes<3>(text);
    if (!colour) {
        Usage(name + " must be six hex digits RRGGBB, not '" + text + "'");
    }
    return *colour;
}

std::array<std::uint8_t, 4> ParseColourWithOpacity(const std::string& text, const std::string& name)
{
    const auto colour = HexBytes<4>(text);
    if (!colour) {
        Usage(name + " must be eight hex digits RRGGBBAA (AA the opacity, ff opaque), not '" + text + "'");
    }
    return *colour;
}

bool AnyFrameOption(const project::FrameEdit& edit)
{
    return edit.Fit || edit.Duration || edit.Crossfade || edit.Motion.Any();
}

project::FrameRate ParseRate(const std::string& text)
{
    const auto rate = project::ParseFrameRate(text);
    if (!rate) {
        Usage("--fps must be a positive rate such as 25, 29.97, 12.5 or 30000/1001, not '" + text + "'");
    }
    return *rate;
}

project::FrameEdit TakeFrameOptions(Arguments& arguments)
{
    project::FrameEdit options;
    if (const auto fit = arguments.Value("--fit")) {
        options.Fit = ParseFit(*fit);
    }
    if (const auto duration = arguments.Value("--duration")) {
        options.Duration = ParseSecondsOption(*duration, "--duration");
    }
    if (const auto crossfade = arguments.Value("--crossfade")) {
        options.Crossfade = ParseSecondsOption(*crossfade, "--crossfade");
    }
    if (const auto motion = arguments.Value("--motion")) {
        std::string problem;
        const auto parsed = project::ParseMotion(*motion, &problem);
        if (!parsed) {
            Usage("--motion: " + problem);
        }
        options.Motion = project::MotionEdit::Whole(*parsed);
    }
    if (const auto easing = arguments.Value("--easing")) {
        options.Motion.Ease = project::ParseEasing(*easing);
        if (!options.Motion.Ease) {
            Usage("--easing must be linear or smooth, not '" + *easing + "'");
        }
    }
    return options;
}

}  // namespace kinetar::cli
