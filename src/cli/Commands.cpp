#include "cli/Commands.h"

#include <array>
#include <vector>

#include "cli/EditCommands.h"
#include "cli/InfoCommands.h"
#include "cli/RenderCommand.h"
#include "cli/StillCommand.h"
#include "cli/TextCommands.h"

namespace kinetar::cli {
namespace {

constexpr std::string_view kFitAndSeconds =
    "A fit MODE is stretch, top-left (--no-stretch), letterbox, crop, centre or blur (letterboxed over a\n"
    "blurred copy of itself). SECONDS are decimal seconds (3, 0.5, 2.002) up to a day; a duration of 0\n"
    "shows the picture for one frame, a crossfade of 0 cuts to it. MOTION is none, auto (a gentle zoom\n"
    "and drift, for pictures of a second or more) or START:END, each view X,Y,ZOOM: its centre as\n"
    "fractions of the picture's width and height (0 to 1) and how much closer than the fit's own view\n"
    "(1 to 10), e.g. 0.5,0.5,1:0.3,0.4,1.4; --easing smooth starts and ends the move gently.\n";

const std::array<Command, 13> kCommands{{
    {"new", CommandNew, "kinetar-cli new PROJECT.AVIprj [--force] [--slideshow [--size WxH] [--fps RATE]]\n",
     "  new     creates a project with the defaults of the New command (24 bits, 8 frames per second);\n"
     "          --slideshow one ready for photos: 1080p, 25 frames per second, an MP4 video beside it, and\n"
     "          added pictures shown 3 s each, blurred fill, 0.5 s crossfades, automatic motion\n",
     "          -f, --force replaces a file that is already there; --size and --fps as set takes them\n"},
    {"set", CommandSet,
     "kinetar-cli set PROJECT [--size WxH] [--fps N|N/D|DECIMAL] [--depth 1|4|8|24] [--output FILE] [--play "
     "yes|no]\n"
     "                               [--background RRGGBB] [--smooth yes|no] [--codec FOURCC] [--quality "
     "PERCENT|default]\n"
     "                               [--default-duration SECONDS] [--default-fit MODE] [--default-crossfade "
     "SECONDS]\n"
     "                               [--default-motion none|auto]\n",
     "  set     changes the video settings of a project; --fps takes 25, 29.97, 12.5 or 30000/1001,\n"
     "          --background the colour around fitted pictures, --smooth a smooth scaling filter,\n"
     "          --codec and --quality the compressor a generation starts from (as its chooser keeps it)\n",
     "          --size: WxH, each side 1 to 32767, or 720p, 1080p, 4k, vertical (1080x1920), square\n"
     "          (1080x1080) or portrait (1080x1350); --depth: bits per pixel; --play: whether the desktop\n"
     "          program plays the video when it is done; --output: the video file, .avi, .mp4 (.m4v,\n"
     "          .mov), .mkv or .webm (any other name is an AVI file; a picture's or a sound's is refused);\n"
     "          --default-*: what pictures added later get unless add says otherwise (0 and stretch, none\n"
     "          give one frame, stretched, cut, still)\n"},
    {"add", CommandAdd,
     "kinetar-cli add PROJECT [--sort name|start|end] [--no-stretch] [--fit "
     "stretch|top-left|letterbox|crop|centre|blur]\n"
     "                               [--duration SECONDS] [--crossfade SECONDS] [--motion MOTION] [--easing "
     "linear|smooth]\n"
     "                               [--from FILE|-] PICTURE|SOUND...\n",
     "  add     appends pictures as frames, sorted by name or number, with the project's defaults (set\n"
     "          --default-*) where no option says otherwise, else one frame each, stretched;\n"
     "          a sound file (MP3, M4A, OGG, Opus, FLAC, WAV...) becomes a sound record, which takes no time:\n"
     "          its sound starts where the next picture starts, or when the sound before it ends;\n"
     "          --from FILE adds the paths listed in FILE, one a line (- reads them from standard input)\n",
     "          --sort name, start or end: by name, or by the number at the start or end of the name;\n"
     "          a file that is missing or is not a picture or sound is refused, and nothing is added\n"},
    {"frame", CommandFrame,
     "kinetar-cli frame PROJECT INDEX|all [--fit MODE] [--duration SECONDS] [--crossfade SECONDS]\n"
     "                               [--motion MOTION] [--easing linear|smooth]\n",
     "  frame   changes the fit, duration, crossfade or motion of the frame at INDEX (from 0) or of all frames\n"
     "          (sound records are left as they are)\n",
     ""},
    {"fit-music", CommandFitMusic, "kinetar-cli fit-music PROJECT [--keep-ratios]\n",
     "  fit-music sets the pictures' durations so that the video ends on the frame where its music ends:\n"
     "          all equal, or with --keep-ratios in the ratios they had; crossfades stay as they are\n",
     ""},
    {"remove", CommandRemove, "kinetar-cli remove PROJECT INDEX...\n",
     "  remove  removes the frames at the INDEXes (as info numbers them)\n", ""},
    {"move", CommandMove, "kinetar-cli move PROJECT FROM TO\n",
     "  move    moves the frame at FROM so that it becomes the frame at TO\n", ""},
    {"caption", CommandCaption,
     "kinetar-cli caption PROJECT INDEX|all TEXT [--position POSITION] [--size PERCENT] [--colour RRGGBB]\n"
     "                               [--style shadow|outline|box|plain] [--box RRGGBBAA] [--font \"FAMILY[ "
     "bold][ italic]\"]\n"
     "       kinetar-cli caption PROJECT INDEX|all --remove\n",
     "  caption puts words on the picture at INDEX (or on every picture), replacing its caption, or\n"
     "          removes them; {date} (when the photo was taken), {name} (its file name), {index} and\n"
     "          {count} are filled in when the video is made\n",
     "          --position: bottom (the default), bottom-left, bottom-right, middle, middle-left,\n"
     "          middle-right, top, top-left or top-right, inside the frame's safe margin; --size: the letters'\n"
     "          height in percent of the frame's (5 when not given); --colour: the letters' (white);\n"
     "          --style: what keeps them readable (shadow); --box: the box's colour and opacity (000000c0);\n"
     "          --font: a family fontconfig knows (a missing one is named and another stands in)\n"
     "          A new text keeps the looks of the caption it replaces unless options change them.\n"},
    {"title", CommandTitle,
     "kinetar-cli title PROJECT [--at INDEX] TEXT [--subtitle TEXT] --duration SECONDS\n"
     "                               [--background RRGGBB|blur] [--font \"FAMILY[ bold][ italic]\"] [--crossfade "
     "SECONDS]\n"
     "                               [--motion MOTION] [--easing linear|smooth]\n",
     "  title   adds a title card, a frame of its own with a title and an optional second line, at the end\n"
     "          or before the frame at INDEX\n",
     "          --background: the card's colour (black), or blur: the next picture blurred and darkened;\n"
     "          --duration, --crossfade, --motion and --easing as for pictures\n"},
    {"info", CommandInfo, "kinetar-cli info PROJECT [--json]\n",
     "  info    shows the settings and the video's length, then one line per frame: index, fit, path,\n"
     "          and its duration and crossfade when set (\"sound\", \"caption\" or \"title\" in place of the fit\n"
     "          for those, with their words and looks);\n"
     "          --json prints all of it as JSON, with each sound's cue frame and start in seconds\n",
     ""},
    {"still", CommandStill, "kinetar-cli still PROJECT TIME|#FRAME --output FILE.png [--size WxH]\n",
     "  still   writes the video's frame at TIME (12.5, 0:12.5) or #FRAME (from 0) as a PNG picture,\n"
     "          exactly as the render makes it before compression\n",
     "          --size: another size than the project's (WxH or a preset, as set takes it)\n"},
    {"codecs", CommandCodecs, "kinetar-cli codecs [--depth BITS] [--container avi|mp4|mkv|webm]\n",
     "  codecs  lists the compressors: fourcc, a tab, the name; --container those that kind of file\n"
     "          takes (avi when not given)\n",
     "          --depth: only those that take frames of 1, 4, 8 or 24 bits\n"},
    {"render", CommandRender,
     "kinetar-cli render PROJECT [--codec FOURCC] [--quality PERCENT] [--on-error skip|stop] [--output FILE] "
     "[--quiet]\n"
     "                                  [--progress json]\n",
     "  render  generates the video; the exit status is the result code\n"
     "          (0 done, 1 codec library mismatch, 2 cannot open the file, 3 cannot create the stream,\n"
     "          4 stopped, 5 cannot make the compressor, 6 compressor refuses the format, 7 write failed,\n"
     "          8 the run could not start, 9 internal error)\n",
     "          --codec: a fourcc as codecs lists it (else the project's, else uncompressed);\n"
     "          --on-error skip (the default) leaves an unreadable picture's frame empty, stop ends the run;\n"
     "          --output: another destination; -q, --quiet: no progress and no closing line;\n"
     "          --progress json: one JSON object a line on standard output in place of the bar\n"},
}};

}  // namespace

std::string UsageText()
{
    std::string text;
    for (const Command& command : kCommands) {
        text += (text.empty() ? "Usage: " : "       ") + std::string(command.UsageLines);
    }
    return text;
}

std::string CommandUsageText(const Command& command)
{
    return "Usage: " + std::string(command.UsageLines) + "'kinetar-cli " + std::string(command.Name) +
           " --help' tells more.\n";
}

std::string HelpText()
{
    std::string text = UsageText() +
                       "\n"
                       "Turns an ordered list of still pictures (BMP, PCX, TGA, GIF, JPEG, PNG, WebP, HEIC, AVIF) and\n"
                       "music into an AVI video, or an MP4, Matroska or WebM video when the output's name ends in\n"
                       ".mp4 (.m4v, .mov), .mkv or .webm.\n"
                       "\n";
    for (const Command& command : kCommands) {
        text += command.Summary;
    }
    return text + "\n" + std::string(kFitAndSeconds) +
           "\n"
           "Short options: -o --output, -q --quiet, -f --force, -c --codec, -h --help.\n"
           "Options: --help, --version; kinetar-cli COMMAND --help shows that command alone.\n"
           "Bad usage exits with 2.\n";
}

std::string CommandHelpText(const Command& command)
{
    std::string text = "Usage: " + std::string(command.UsageLines) + "\n" + std::string(command.Summary) +
                       std::string(command.Options);
    if (command.Name == "add" || command.Name == "frame" || command.Name == "set" || command.Name == "title") {
        text += "\n" + std::string(kFitAndSeconds);
    }
    return text;
}

const Command& FindCommand(const std::string& name)
{
    for (const Command& command : kCommands) {
        if (command.Name == name) {
            return command;
        }
    }
    std::vector<std::string> names{"--help", "--version"};
    for (const Command& command : kCommands) {
        names.emplace_back(command.Name);
    }
    const auto nearest = NearestName(name, names);
    Usage("unknown command " + name + (nearest ? "; did you mean " + *nearest + "?" : ""));
}

bool AsksForHelp(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i) {
        const std::string item = argv[i];
        if (item == "--") {
            return false;
        }
        if (item == "--help" || item == "-h") {
            return true;
        }
    }
    return false;
}

}  // namespace kinetar::cli
