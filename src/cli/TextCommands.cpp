// The commands that put words on the video: caption and title.

#include "cli/TextCommands.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliProject.h"
#include "cli/Options.h"
#include "cli/ProjectWriting.h"
#include "common/Error.h"
#include "project/CaptionedMoves.h"
#include "project/FrameEdits.h"
#include "project/ProjectFile.h"
#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::cli {
namespace {

using project::FrameRecord;

// The looks a caption command gives; each only when given.
struct CaptionOptions {
    std::optional<project::TextPosition> Position;
    std::optional<std::uint16_t> Size;
    std::optional<project::Rgb> Colour;
    std::optional<project::Readability> Style;
    std::optional<project::Rgba> Box;
    std::optional<project::FontChoice> Font;

    void ApplyTo(project::Caption& caption) const
    {
        caption.Position = Position.value_or(caption.Position);
        caption.Size = Size.value_or(caption.Size);
        caption.Colour = Colour.value_or(caption.Colour);
        caption.Style = Style.value_or(caption.Style);
        caption.Box = Box.value_or(caption.Box);
        caption.Font = Font.value_or(caption.Font);
    }
};

project::FontChoice ParseFont(const std::string& text)
{
    const auto font = project::ParseFontChoice(text);
    if (!font) {
        Usage("--font must be a font family, with bold or italic after it if wanted (\"DejaVu Serif bold\"), not '" +
              text + "'");
    }
    return *font;
}

CaptionOptions TakeCaptionOptions(Arguments& arguments)
{
    CaptionOptions options;
    if (const auto position = arguments.Value("--position")) {
        options.Position = project::TextPositionFromName(*position);
        if (!options.Position) {
            Usage(
                "--position must be bottom, bottom-left, bottom-right, middle, middle-left, middle-right, top, "
                "top-left or top-right, not '" +
                *position + "'");
        }
    }
    if (const auto size = arguments.Value("--size")) {
        options.Size = project::ParseTextSize(*size);
        if (!options.Size) {
            Usage("--size must be a percentage of the frame's height from 1 to 50 (such as 5 or 4.5), not '" + *size +
                  "'");
        }
    }
    if (const auto colour = arguments.Value("--colour")) {
        options.Colour = ParseColour(*colour, "--colour");
    }
    if (const auto style = arguments.Value("--style")) {
        options.Style = project::ReadabilityFromName(*style);
        if (!options.Style) {
            Usage("--style must be shadow, outline, box or plain, not '" + *style + "'");
        }
    }
    if (const auto box = arguments.Value("--box")) {
        options.Box = ParseColourWithOpacity(*box, "--box");
    }
    if (const auto font = arguments.Value("--font")) {
        options.Font = ParseFont(*font);
    }
    return options;
}

// Words go into a record as UTF-8 without control characters other than line breaks.
void RequireText(const std::string& text, const std::string& what)
{
    if (text.empty()) {
        Usage(what + " is empty");
    }
    if (!IsValidUtf8(text)) {
        Usage(what + " is not UTF-8 text: " + Printable(text));
    }
    const bool control = std::any_of(text.begin(), text.end(), [](char letter) {
        const auto code = static_cast<unsigned char>(letter);
        return (code < 0x20 && code != '\n') || code == 0x7F;
    });
    if (control) {
        Usage(what + " holds control characters: " + Printable(text));
    }
}

// The first record after the captions that start at `index`: the picture they go on.
std::int32_t FrameAfterCaptions(const ProjectRecords& records, std::int32_t index)
{
    while (index < records.Count() && project::IsCaptionRecord(records.At(index))) {
        ++index;
    }
    return index;
}

// The captions that go on the picture at `index`, by the core's one rule.
std::vector<std::int32_t> CaptionsOf(const ProjectRecords& records, std::int32_t index)
{
    return project::CaptionsOf(index, [&records](std::int32_t at) { return project::RoleOf(records.At(at)); });
}

// Only a picture takes a caption; anything else at the index is refused with what it is.
void RequirePicture(const ProjectRecords& records, std::int32_t index)
{
    const FrameRecord record = records.At(index);
    const std::string frame = "frame " + std::to_string(index);
    if (project::IsSoundRecord(record)) {
        Usage(frame + " is a sound; a caption goes on a picture");
    }
    if (project::IsTitleRecord(record)) {
        Usage(frame + " is a title card, whose words the title command sets; a caption goes on a picture");
    }
    if (project::IsCaptionRecord(record)) {
        const std::int32_t picture = FrameAfterCaptions(records, index);
        Usage(frame + " is a caption; give the index of its picture" +
              (picture < records.Count() ? " (" + std::to_string(picture) + ")" : std::string()));
    }
}

}  // namespace

int CommandCaption(Arguments arguments)
{
    const CaptionOptions options = TakeCaptionOptions(arguments);
    const bool remove = arguments.Flag("--remove");
    const auto rest = arguments.Rest();
    if (rest.size() < 2) {
        Usage("a project file, a frame index (or all) and a text (or --remove) are needed");
    }
    if (remove && rest.size() > 2) {
        Usage("--remove takes no text: unexpected argument " + Printable(rest[2]));
    }
    if (!remove && rest.size() != 3) {
        Usage(rest.size() < 3
                  ? "the caption's text is needed (or --remove)"
                  : "unexpected argument " + Printable(rest[3]) + " (put a text of several words in quotes)");
    }
    const std::string& path = rest[0];
    const std::string& which = rest[1];
    const bool all = which == "all";
    if (!all && (which.empty() || which.find_first_not_of("0123456789") != std::string::npos)) {
        Usage("the frame must be an index from 0 or all, not '" + which + "'");
    }
    if (!remove) {
        RequireText(rest[2], "the caption");
    }
    const ProjectRecords records = OpenRecords(path);
    // The pictures to caption, each with the captions it has now.
    std::vector<std::int32_t> pictures;
    if (all) {
        for (std::int32_t i = 0; i < records.Count(); ++i) {
            if (project::IsPictureRecord(records.At(i))) {
                pictures.push_back(i);
            }
        }
    } else {
        const auto index = static_cast<std::int32_t>(ParseIndex(which, static_cast<std::size_t>(records.Count())));
        RequirePicture(records, index);
        pictures.push_back(index);
    }
    std::vector<bool> dropped(static_cast<std::size_t>(records.Count()), false);
    std::vector<std::optional<FrameRecord>> added(static_cast<std::size_t>(records.Count()));
    bool changed = false;
    for (const std::int32_t picture : pictures) {
        const std::vector<std::int32_t> captions = CaptionsOf(records, picture);
        for (const std::int32_t caption : captions) {
            dropped[static_cast<std::size_t>(caption)] = true;
            changed = true;
        }
        if (remove) {
            continue;
        }
        // A new text keeps the looks of the caption it replaces, the options changing what they name.
        project::Caption caption = captions.empty() ? project::Caption{} : project::GetCaption(records.At(captions[0]));
        caption.Text = rest[2];
        options.ApplyTo(caption);
        try {
            added[static_cast<std::size_t>(picture)] = project::NewCaptionRecord(caption);
        } catch (const Error& error) {
            throw Error(std::string(error.what()) + "; nothing was changed");
        }
        changed = true;
    }
    if (remove && !changed && !all) {
        throw Error("frame " + which + " has no caption; nothing was changed");
    }
    if (!changed) {
        return 0;
    }
    // The new project: every record kept in order, each new caption right before its picture.
    std::int32_t count = 0;
    for (std::size_t i = 0; i < dropped.size(); ++i) {
        count += (dropped[i] ? 0 : 1) + (added[i] ? 1 : 0);
    }
    std::int32_t old = 0;
    bool captionWritten = false;
    RewriteProject(path, records.Header(), count, [&](std::int32_t /*index*/) {
        while (dropped[static_cast<std::size_t>(old)]) {
            ++old;
        }
        const auto at = static_cast<std::size_t>(old);
        if (added[at] && !captionWritten) {
            captionWritten = true;
            return *added[at];
        }
        captionWritten = false;
        return records.At(old++);
    });
    return 0;
}

int CommandTitle(Arguments arguments)
{
    const auto at = arguments.Value("--at");
    const auto subtitle = arguments.Value("--subtitle");
    const auto background = arguments.Value("--background");
    const auto font = arguments.Value("--font");
    const project::FrameEdit timing = TakeFrameOptions(arguments);
    const auto rest = arguments.Rest();
    if (rest.size() != 2) {
        Usage(rest.size() < 2
                  ? "a project file and the title's text are needed"
                  : "unexpected argument " + Printable(rest[2]) + " (put a text of several words in quotes)");
    }
    if (timing.Fit) {
        Usage("a title card fills the frame; it takes no --fit");
    }
    if (!timing.Duration) {
        Usage("title needs --duration SECONDS: how long the card shows");
    }
    const std::string& path = rest[0];
    project::Title title;
    title.Text = rest[1];
    RequireText(title.Text, "the title");
    if (title.Text.find('\n') != std::string::npos) {
        Usage("the title is one line; put the second into --subtitle");
    }
    if (subtitle) {
        RequireText(*subtitle, "--subtitle");
        title.Subtitle = *subtitle;
    }
    if (background) {
        if (*background == "blur") {
            title.BlurredBackground = true;
        } else {
            title.Background = ParseColour(*background);
        }
    }
    if (font) {
        title.Font = ParseFont(*font);
    }
    const ProjectRecords records = OpenRecords(path);
    std::int32_t place = records.Count();
    if (at) {
        // Before the frame at that index, and before the captions that go on it, which stay on it.
        place = ParseNumber(*at, "--at", 0, records.Count());
        while (place > 0 && project::IsCaptionRecord(records.At(place - 1))) {
            --place;
        }
    }
    FrameRecord record;
    try {
        record = project::NewTitleRecord(title);
    } catch (const Error& error) {
        throw Error(std::string(error.what()) + "; nothing was added");
    }
    project::ApplyFrameEdit(record, timing);
    RewriteProject(path, records.Header(), records.Count() + 1, [&](std::int32_t i) {
        if (i == place) {
            return record;
        }
        return records.At(i < place ? i : i - 1);
    });
    return 0;
}

}  // namespace kinetar::cli
