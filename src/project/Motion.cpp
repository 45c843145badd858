#include "project/Motion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kinetar::project {

namespace {

constexpr double kFractionScale = 65535.0;
constexpr double kZoomScale = 1000.0;

std::uint16_t Get16(const std::array<std::uint8_t, 6>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

void Set16(std::array<std::uint8_t, 6>& bytes, std::size_t at, double value)
{
    const auto stored = static_cast<std::uint16_t>(std::lround(value));
    bytes[at] = static_cast<std::uint8_t>(stored & 0xff);
    bytes[at + 1] = static_cast<std::uint8_t>(stored >> 8);
}

Framing Held(Framing framing)
{
    framing.X = std::clamp(framing.X, 0.0, 1.0);
    framing.Y = std::clamp(framing.Y, 0.0, 1.0);
    framing.Zoom = std::clamp(framing.Zoom, kMinZoom, kMaxZoom);
    return framing;
}

Framing GetFraming(const std::array<std::uint8_t, 6>& bytes)
{
    return Held({Get16(bytes, 0) / kFractionScale, Get16(bytes, 2) / kFractionScale, Get16(bytes, 4) / kZoomScale});
}

void SetFraming(std::array<std::uint8_t, 6>& bytes, Framing framing)
{
    framing = Held(framing);
    Set16(bytes, 0, framing.X * kFractionScale);
    Set16(bytes, 2, framing.Y * kFractionScale);
    Set16(bytes, 4, framing.Zoom * kZoomScale);
}

std::optional<double> ParseNumber(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<Framing> ParseFraming(std::string_view text, std::string* problem)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    const auto fail = [&](const std::string& why) -> std::optional<Framing> {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    if (parts.size() != 3) {
        return fail("a view is X,Y,ZOOM, not '" + std::string(text) + "'");
    }
    const auto x = ParseNumber(parts[0]);
    const auto y = ParseNumber(parts[1]);
    const auto zoom = ParseNumber(parts[2]);
    if (!x || !y || !zoom) {
        return fail("a view is three numbers X,Y,ZOOM, not '" + std::string(text) + "'");
    }
    if (*x < 0 || *x > 1 || *y < 0 || *y > 1) {
        return fail("a view's centre is a fraction of the picture from 0 to 1, not '" + std::string(text) + "'");
    }
    if (*zoom < kMinZoom || *zoom > kMaxZoom) {
        return fail("a view's zoom is from 1 to 10, not '" + std::string(parts[2]) + "'");
    }
    return Framing{*x, *y, *zoom};
}

// A number with at most `decimals` decimals and no trailing zeros.
std::string Decimal(double value, int decimals)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    std::string result(text.data());
    if (result.find('.') != std::string::npos) {
        while (result.back() == '0') {
            result.pop_back();
        }
        if (result.back() == '.') {
            result.pop_back();
        }
    }
    return result;
}

// The shortest decimal that is stored as the same 16-bit fraction.
std::string Fraction(double value)
{
    const long stored = std::lround(value * kFractionScale);
    for (int decimals = 1;; ++decimals) {
        std::string text = Decimal(value, decimals);
        if (decimals == 5 || std::lround(std::stod(text) * kFractionScale) == stored) {
            return text;
        }
    }
}

std::string FormatFraming(const Framing& framing)
{
    return Fraction(framing.X) + "," + Fraction(framing.Y) + "," + Decimal(framing.Zoom, 3);
}

constexpr double kAutomaticZoom = 1.12;

double Eased(double u, Easing easing)
{
    if (easing == Easing::Linear) {
        return u;
    }
    u = std::clamp(u, 0.0, 1.0);
    return u * u * (3 - 2 * u);
}

}  // namespace

Motion GetMotion(const FrameRecord& record)
{
    Motion motion;
    if (record.Motion != 1 && record.Motion != 2) {
        return motion;
    }
    motion.Kind = record.Motion == 1 ? MotionKind::Custom : MotionKind::Automatic;
    motion.Ease = record.Easing == 1 ? Easing::Smooth : Easing::Linear;
    if (motion.Kind == MotionKind::Custom) {
        motion.Start = GetFraming(record.MotionStart);
        motion.End = GetFraming(record.MotionEnd);
    }
    return motion;
}

void SetMotion(FrameRecord& record, const Motion& motion)
{
    record.Motion = static_cast<std::uint8_t>(motion.Kind);
    record.Easing = motion.Kind == MotionKind::None ? 0 : static_cast<std::uint8_t>(motion.Ease);
    record.MotionStart = {};
    record.MotionEnd = {};
    if (motion.Kind == MotionKind::Custom) {
        SetFraming(record.MotionStart, motion.Start);
        SetFraming(record.MotionEnd, motion.End);
    }
}

std::optional<Motion> ParseMotion(std::string_view text, std::string* problem)
{
    if (text == "none") {
        return Motion{};
    }
    if (text == "auto") {
        Motion automatic;
        automatic.Kind = MotionKind::Automatic;
        return automatic;
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (problem != nullptr) {
            *problem = "motion is none, auto or X,Y,ZOOM:X,Y,ZOOM, not '" + std::string(text) + "'";
        }
        return std::nullopt;
    }
    const auto start = ParseFraming(text.substr(0, colon), problem);
    const auto end = start ? ParseFraming(text.substr(colon + 1), problem) : std::nullopt;
    if (!start || !end) {
        return std::nullopt;
    }
    return Motion{.Kind = MotionKind::Custom, .Ease = Easing::Linear, .Start = *start, .End = *end};
}

std::optional<Easing> ParseEasing(std::string_view text)
{
    if (text == "linear") {
        return Easing::Linear;
    }
    if (text == "smooth") {
        return Easing::Smooth;
    }
    return std::nullopt;
}

std::string FormatMotion(const Motion& motion)
{
    switch (motion.Kind) {
    case MotionKind::None:
        return "none";
    case MotionKind::Automatic:
        return "auto";
    case MotionKind::Custom:
        break;
    }
    return FormatFraming(motion.Start) + ":" + FormatFraming(motion.End);
}

std::string_view EasingName(Easing easing)
{
    return easing == Easing::Smooth ? "smooth" : "linear";
}

std::optional<Motion> ResolvedMotion(const Motion& motion, std::int64_t pictureNumber, std::int64_t frames,
                                     FrameRate rate, double viewWidth)
{
    if (motion.Kind == MotionKind::None || frames <= 0) {
        return std::nullopt;
    }
    if (motion.Kind == MotionKind::Custom) {
        return motion;
    }
    const double seconds = static_cast<double>(frames) * rate.Denominator / std::max<std::uint32_t>(rate.Numerator, 1);
    if (seconds < 1.0) {
        return std::nullopt;
    }
    // Zooming in on even pictures and out on odd ones, drifting towards the centre from the
    // left on every other pair and from the right on the rest: at most 3 % of the closest view's
    // width a second, and never more than a tenth of the picture.
    constexpr double kCloser = kAutomaticZoom;
    const bool zoomIn = pictureNumber % 2 == 0;
    const double side = (pictureNumber / 2) % 2 == 0 ? -1.0 : 1.0;
    const double drift = std::min(0.03 * seconds * viewWidth / kCloser, 0.1);
    Motion resolved;
    resolved.Kind = MotionKind::Custom;
    resolved.Ease = motion.Ease;
    resolved.Start = {0.5 + side * drift, 0.5, zoomIn ? 1.0 : kCloser};
    resolved.End = {0.5, 0.5, zoomIn ? kCloser : 1.0};
    return resolved;
}

double MaxZoom(const Motion& motion)
{
    switch (motion.Kind) {
    case MotionKind::None:
        return 1.0;
    case MotionKind::Automatic:
        return kAutomaticZoom;
    case MotionKind::Custom:
        break;
    }
    return std::max(motion.Start.Zoom, motion.End.Zoom);
}

Framing FramingAt(const Motion& motion, std::int64_t k, std::int64_t n)
{
    const double u =
        Eased((static_cast<double>(k) + 0.5) / static_cast<double>(std::max<std::int64_t>(n, 1)), motion.Ease);
    Framing framing;
    framing.X = motion.Start.X + (motion.End.X - motion.Start.X) * u;
    framing.Y = motion.Start.Y + (motion.End.Y - motion.Start.Y) * u;
    framing.Zoom = std::exp(std::log(motion.Start.Zoom) * (1 - u) + std::log(motion.End.Zoom) * u);
    return Held(framing);
}

}  // namespace kinetar::project
