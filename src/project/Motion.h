#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "project/ProjectFile.h"
#include "project/Slideshow.h"

// Pan and zoom over a picture while it shows. Stored in the frame record's bytes 272-285, all
// zero for a picture that stands still, so older projects read and render as they did.
namespace kinetar::project {

enum class MotionKind : std::uint8_t { None, Custom, Automatic };
enum class Easing : std::uint8_t { Linear, Smooth };

// What the view shows: its centre as fractions of the picture's width and height (0 the left or
// top edge, 1 the right or bottom), and how much closer than the fit's own view (1 to 10).
struct Framing {
    double X = 0.5;
    double Y = 0.5;
    double Zoom = 1.0;
    bool operator==(const Framing&) const = default;
};

inline constexpr double kMinZoom = 1.0;
inline constexpr double kMaxZoom = 10.0;

struct Motion {
    MotionKind Kind = MotionKind::None;
    Easing Ease = Easing::Linear;
    Framing Start;
    Framing End;
    bool operator==(const Motion&) const = default;
};

// The record's motion; an unknown kind or easing byte reads as none or linear, and framings are
// held to their ranges. The stored framings are 16-bit fractions and thousandths, so a framing
// read back is the one set to within 1/65535 and 0.001.
Motion GetMotion(const FrameRecord& record);
void SetMotion(FrameRecord& record, const Motion& motion);

// "none", "auto", or "X,Y,ZOOM:X,Y,ZOOM" (centres 0-1, zoom 1-10), with the easing given apart.
// Nothing for anything else; the message says what is wrong.
std::optional<Motion> ParseMotion(std::string_view text, std::string* problem = nullptr);
std::optional<Easing> ParseEasing(std::string_view text);
// The text ParseMotion reads back: "none", "auto", "0.5,0.5,1:0.3,0.4,1.4".
std::string FormatMotion(const Motion& motion);
std::string_view EasingName(Easing easing);

// The framings a picture moves between: the custom ones as stored, or for automatic motion a
// gentle move decided by the picture's place among the pictures (from 0) and its length, the
// same every time; viewWidth is the fit's view as a fraction of the picture's width, which bounds
// the drift. None, for no motion and for an automatic picture shorter than a second.
std::optional<Motion> ResolvedMotion(const Motion& motion, std::int64_t pictureNumber, std::int64_t frames,
                                     FrameRate rate, double viewWidth);

// The closest any frame of the motion comes: what the picture must be decoded for.
double MaxZoom(const Motion& motion);

// The framing of frame k of a picture spanning n frames: u = (k + 0.5) / n, eased when asked,
// the centre moving linearly and the zoom geometrically in u. k may lie past the span (a picture
// still moving while the next one fades in).
Framing FramingAt(const Motion& motion, std::int64_t k, std::int64_t n);

}  // namespace kinetar::project
