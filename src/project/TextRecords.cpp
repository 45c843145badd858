#include "project/TextRecords.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

#include "common/Error.h"
#include "project/Slideshow.h"

namespace kinetar::project {

namespace {

// Where the style lives in the record's bytes after the text field (the manual's table). A
// caption leaves the duration and crossfade bytes (262 to 271) zero, so a reader that takes it for
// a picture leaves a single empty frame; a title keeps them, and the motion bytes, as a picture.
constexpr std::size_t kCaptionPosition = 272;
constexpr std::size_t kCaptionStyle = 273;
constexpr std::size_t kCaptionSize = 274;  // 16 bits, little-endian
constexpr std::size_t kCaptionColour = 276;
constexpr std::size_t kCaptionBox = 279;
constexpr std::size_t kCaptionFont = 283;
constexpr std::size_t kTitleBackground = 286;
constexpr std::size_t kTitleBackgroundKind = 289;
constexpr std::size_t kTitleFont = 290;

constexpr std::uint8_t kBold = 1;
constexpr std::uint8_t kItalic = 2;

constexpr std::array<std::string_view, 9> kPositionNames{
    "bottom", "bottom-left", "bottom-right", "middle", "middle-left", "middle-right", "top", "top-left", "top-right"};
constexpr std::array<std::string_view, 4> kReadabilityNames{"plain", "shadow", "outline", "box"};

std::uint8_t* Bytes(FrameRecord& record)
{
    return reinterpret_cast<std::uint8_t*>(&record);
}

const std::uint8_t* Bytes(const FrameRecord& record)
{
    return reinterpret_cast<const std::uint8_t*>(&record);
}

std::uint8_t FontFlags(const FontChoice& font)
{
    return static_cast<std::uint8_t>((font.Bold ? kBold : 0) | (font.Italic ? kItalic : 0));
}

void SetFontFlags(FontChoice& font, std::uint8_t flags)
{
    font.Bold = (flags & kBold) != 0;
    font.Italic = (flags & kItalic) != 0;
}

// The text, a zero, the family, a zero; the rest of the field zero.
void SetTextAndFamily(TextField& field, std::string_view text, std::string_view family, std::string_view what)
{
    if (text.find('\0') != std::string_view::npos || family.find('\0') != std::string_view::npos) {
        throw Error("The " + std::string(what) + " holds a zero byte, which cannot be stored");
    }
    const std::size_t needed = text.size() + (family.empty() ? 0 : 1 + family.size());
    if (needed > kMaxTextLength) {
        std::string message = "The " + std::string(what) + " is " + std::to_string(text.size()) + " bytes long";
        if (!family.empty()) {
            message += " and the font family " + std::to_string(family.size());
        }
        throw Error(message + "; together they may take up to " + std::to_string(kMaxTextLength - 1) +
                    " bytes, a text alone " + std::to_string(kMaxTextLength));
    }
    field.fill('\0');
    std::copy(text.begin(), text.end(), field.begin());
    if (!family.empty()) {
        std::copy(family.begin(), family.end(), field.begin() + static_cast<std::ptrdiff_t>(text.size() + 1));
    }
}

// The family after the text's zero; empty when there is none or it has no zero of its own.
std::string FamilyAfterText(const TextField& field)
{
    const auto textEnd = std::find(field.begin(), field.end(), '\0');
    if (textEnd == field.end()) {
        return {};
    }
    const auto familyEnd = std::find(textEnd + 1, field.end(), '\0');
    if (familyEnd == field.end()) {
        return {};
    }
    return std::string(textEnd + 1, familyEnd);
}

bool EqualWithoutCase(std::string_view left, std::string_view right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

}  // namespace

bool IsCaptionRecord(const FrameRecord& record)
{
    return record.Reserved1 == kCaptionRecord;
}

bool IsTitleRecord(const FrameRecord& record)
{
    return record.Reserved1 == kTitleRecord;
}

bool TakesNoVideoTime(const FrameRecord& record)
{
    return IsSoundRecord(record) || IsCaptionRecord(record);
}

bool IsPictureRecord(const FrameRecord& record)
{
    return !TakesNoVideoTime(record) && !IsTitleRecord(record);
}

std::string_view TextPositionName(TextPosition position)
{
    return kPositionNames.at(static_cast<std::size_t>(position));
}

std::optional<TextPosition> TextPositionFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kPositionNames.size(); ++i) {
        if (kPositionNames[i] == name) {
            return static_cast<TextPosition>(i);
        }
    }
    return std::nullopt;
}

std::string_view ReadabilityName(Readability readability)
{
    return kReadabilityNames.at(static_cast<std::size_t>(readability));
}

std::optional<Readability> ReadabilityFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kReadabilityNames.size(); ++i) {
        if (kReadabilityNames[i] == name) {
            return static_cast<Readability>(i);
        }
    }
    return std::nullopt;
}

std::string FormatTextSize(std::uint16_t tenths)
{
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        text += "." + std::to_string(tenths % 10);
    }
    return text;
}

std::optional<std::uint16_t> ParseTextSize(std::string_view percent)
{
    const std::size_t point = percent.find('.');
    const std::string_view whole = percent.substr(0, point);
    const std::string_view tenth = point == std::string_view::npos ? std::string_view() : percent.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 3 || !digits(whole) || tenth.size() > 1 || !digits(tenth) ||
        (point != std::string_view::npos && tenth.empty())) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : whole) {
        value = value * 10 + (c - '0');
    }
    value = value * 10 + (tenth.empty() ? 0 : tenth[0] - '0');
    if (value < kMinTextSize || value > kMaxTextSize) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<FontChoice> ParseFontChoice(std::string_view text)
{
    FontChoice font;
    // Words at the end say bold and italic; what is before them is the family.
    while (true) {
        while (!text.empty() && text.back() == ' ') {
            text.remove_suffix(1);
        }
        const std::size_t blank = text.rfind(' ');
        const std::string_view word = blank == std::string_view::npos ? text : text.substr(blank + 1);
        if (EqualWithoutCase(word, "bold")) {
            font.Bold = true;
        } else if (EqualWithoutCase(word, "italic")) {
            font.Italic = true;
        } else {
            break;
        }
        text = blank == std::string_view::npos ? std::string_view() : text.substr(0, blank);
    }
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    font.Family = std::string(text);
    if ((font.Family.empty() && !font.Bold && !font.Italic) || font.Family.size() + 2 > kMaxTextLength ||
        font.Family.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return font;
}

std::string FormatFontChoice(const FontChoice& font)
{
    std::string text = font.Family.empty() ? "sans-serif" : font.Family;
    if (font.Bold) {
        text += " bold";
    }
    if (font.Italic) {
        text += " italic";
    }
    return text;
}

FrameRecord NewCaptionRecord(const Caption& caption)
{
    FrameRecord record{};
    record.Reserved1 = kCaptionRecord;
    SetTextAndFamily(record.PictureFileName, caption.Text, caption.Font.Family, "caption");
    std::uint8_t* bytes = Bytes(record);
    bytes[kCaptionPosition] = static_cast<std::uint8_t>(caption.Position);
    bytes[kCaptionStyle] = static_cast<std::uint8_t>(caption.Style);
    StoreLE16({bytes, sizeof(FrameRecord)}, kCaptionSize, caption.Size);
    std::copy(caption.Colour.begin(), caption.Colour.end(), bytes + kCaptionColour);
    std::copy(caption.Box.begin(), caption.Box.end(), bytes + kCaptionBox);
    bytes[kCaptionFont] = FontFlags(caption.Font);
    return record;
}

Caption GetCaption(const FrameRecord& record)
{
    const std::uint8_t* bytes = Bytes(record);
    Caption caption;
    caption.Text = GetText(record.PictureFileName);
    caption.Font.Family = FamilyAfterText(record.PictureFileName);
    SetFontFlags(caption.Font, bytes[kCaptionFont]);
    // Values this program does not know read as the defaults.
    if (bytes[kCaptionPosition] < kPositionNames.size()) {
        caption.Position = static_cast<TextPosition>(bytes[kCaptionPosition]);
    }
    if (bytes[kCaptionStyle] < kReadabilityNames.size()) {
        caption.Style = static_cast<Readability>(bytes[kCaptionStyle]);
    }
    const std::uint16_t size = LoadLE16({bytes, sizeof(FrameRecord)}, kCaptionSize);
    caption.Size = size == 0 ? kDefaultCaptionSize : std::clamp(size, kMinTextSize, kMaxTextSize);
    std::copy(bytes + kCaptionColour, bytes + kCaptionColour + 3, caption.Colour.begin());
    std::copy(bytes + kCaptionBox, bytes + kCaptionBox + 4, caption.Box.begin());
    return caption;
}

FrameRecord NewTitleRecord(const Title& title)
{
    FrameRecord record{};
    record.Stretch = 1;
    SetTitle(record, title);
    return record;
}

void SetTitle(FrameRecord& record, const Title& title)
{
    if (title.Text.find('\n') != std::string::npos) {
        throw Error("A title is one line; the second goes into its subtitle");
    }
    const std::string text = title.Subtitle.empty() ? title.Text : title.Text + "\n" + title.Subtitle;
    SetTextAndFamily(record.PictureFileName, text, title.Font.Family, "title");
    record.Reserved1 = kTitleRecord;
    std::uint8_t* bytes = Bytes(record);
    std::copy(title.Background.begin(), title.Background.end(), bytes + kTitleBackground);
    bytes[kTitleBackgroundKind] = title.BlurredBackground ? 1 : 0;
    bytes[kTitleFont] = FontFlags(title.Font);
}

Title GetTitle(const FrameRecord& record)
{
    const std::uint8_t* bytes = Bytes(record);
    Title title;
    const std::string text = GetText(record.PictureFileName);
    const std::size_t lineBreak = text.find('\n');
    title.Text = text.substr(0, lineBreak);
    if (lineBreak != std::string::npos) {
        title.Subtitle = text.substr(lineBreak + 1);
    }
    title.Font.Family = FamilyAfterText(record.PictureFileName);
    SetFontFlags(title.Font, bytes[kTitleFont]);
    std::copy(bytes + kTitleBackground, bytes + kTitleBackground + 3, title.Background.begin());
    title.BlurredBackground = bytes[kTitleBackgroundKind] == 1;
    return title;
}

}  // namespace kinetar::project
