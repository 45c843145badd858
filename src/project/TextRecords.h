#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "project/ProjectFile.h"

// Words on pictures: caption records and title records among the frame records, as sound records
// are. A caption takes no time and is drawn on the picture after it; a title is a frame of its own.
// A reader that knows neither sees a picture it cannot read and leaves an empty frame.
namespace kinetar::project {

inline constexpr std::uint8_t kCaptionRecord = 2;
inline constexpr std::uint8_t kTitleRecord = 3;
bool IsCaptionRecord(const FrameRecord& record);
bool IsTitleRecord(const FrameRecord& record);
// Sound and caption records: they fill no frame of the video.
bool TakesNoVideoTime(const FrameRecord& record);
// A picture record: neither sound, caption nor title (a kind this program does not know is read
// as a picture, as readers before these kinds read every record).
bool IsPictureRecord(const FrameRecord& record);

// Nine places in the safe area: the row, then the column.
enum class TextPosition : std::uint8_t {
    Bottom,
    BottomLeft,
    BottomRight,
    Middle,
    MiddleLeft,
    MiddleRight,
    Top,
    TopLeft,
    TopRight,
};
// "bottom", "bottom-left", ..., "top-right".
std::string_view TextPositionName(TextPosition position);
std::optional<TextPosition> TextPositionFromName(std::string_view name);

// What keeps the words readable on any picture.
enum class Readability : std::uint8_t { Plain, Shadow, Outline, Box };
std::string_view ReadabilityName(Readability readability);
std::optional<Readability> ReadabilityFromName(std::string_view name);

using Rgb = std::array<std::uint8_t, 3>;
using Rgba = std::array<std::uint8_t, 4>;

// A font asked for by its family (empty: the default sans-serif face).
struct FontChoice {
    std::string Family;
    bool Bold = false;
    bool Italic = false;
    bool operator==(const FontChoice&) const = default;
};
// "FAMILY[ bold][ italic]", the words at the end in any order and case; "bold" alone keeps the
// default family. Nothing for an empty text or a family that is too long to store with any text.
std::optional<FontChoice> ParseFontChoice(std::string_view text);
std::string FormatFontChoice(const FontChoice& font);

// The letters' size: tenths of a percent of the frame's height.
inline constexpr std::uint16_t kDefaultCaptionSize = 50;
inline constexpr std::uint16_t kMinTextSize = 10;
inline constexpr std::uint16_t kMaxTextSize = 500;
// The size as a percentage with at most one decimal: "5", "4.5". Parsing takes 1 to 50.
std::string FormatTextSize(std::uint16_t tenths);
std::optional<std::uint16_t> ParseTextSize(std::string_view percent);

struct Caption {
    std::string Text;  // UTF-8; may hold {date}, {name}, {index} and {count}
    TextPosition Position = TextPosition::Bottom;
    std::uint16_t Size = kDefaultCaptionSize;
    Rgb Colour{255, 255, 255};
    Readability Style = Readability::Shadow;
    Rgba Box{0, 0, 0, 192};  // the box's colour and opacity, for Readability::Box
    FontChoice Font;
    bool operator==(const Caption&) const = default;
};

struct Title {
    std::string Text;
    std::string Subtitle;  // the optional second line
    Rgb Background{0, 0, 0};
    bool BlurredBackground = false;  // a blurred copy of the next picture instead of the colour
    FontChoice Font;
    bool operator==(const Title&) const = default;
};

// The text field holds the text, a zero, the font family and a zero; the text alone may take all
// 260 bytes. Refused with an Error saying how long each is when they do not fit.
FrameRecord NewCaptionRecord(const Caption& caption);
Caption GetCaption(const FrameRecord& record);
// A title's lines are stored as one text, the second after a line break. The record keeps its
// duration, crossfade and motion where a picture's are; it is stretched, so a reader that knows
// only the stretch byte fills the frame.
FrameRecord NewTitleRecord(const Title& title);
Title GetTitle(const FrameRecord& record);
// Puts the title's words and looks into a record, keeping its timing and motion.
void SetTitle(FrameRecord& record, const Title& title);

}  // namespace kinetar::project
