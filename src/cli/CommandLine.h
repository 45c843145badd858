#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "avi/codecs/CodecRegistry.h"
#include "cli/CliProject.h"
#include "project/ProjectFile.h"

namespace kinetar::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
// render: the run could not start (unreadable project, settings out of range).
inline constexpr int kExitRenderError = 8;

// Bad usage: main prints the message and the usage, and exits with kExitUsage.
struct UsageError {
    std::string message;
};

[[noreturn]] void Usage(const std::string& message);

// The command's arguments: options with their values, and the rest in order. Every option name
// the command asks for is remembered, so that a misspelt one can be answered with the nearest.
class Arguments {
public:
    Arguments(int argc, char** argv, int first);
    // Takes "--name VALUE" (or "--name=VALUE") out of the list.
    std::optional<std::string> Value(const std::string& name);
    bool Flag(const std::string& name);
    // What is left: no unknown options allowed ("--" ends the options); one is refused with the
    // nearest option asked for, when one is near. A negative number is left for the command to
    // refuse with its own reason.
    std::vector<std::string> Rest();

private:
    static std::string LongOption(const std::string& item);
    void Remember(const std::string& name);

    std::vector<std::string> m_items;
    std::vector<std::string> m_asked;
};

// The name in `known` nearest to `typed` when it is near enough to be a slip of the keys: a letter
// or two wrong, missing, extra or swapped, at most a third of its letters. Letter case and leading
// dashes do not count. Nothing when no name is that near; the first of equally near names.
std::optional<std::string> NearestName(const std::string& typed, const std::vector<std::string>& known);

// The one project file a command takes.
std::string OneProject(Arguments& arguments);

// A message on one line, so that each starts with the program's name, its control characters
// shown as Printable shows them: every message goes through it.
std::string OneLine(std::string text);

std::string Absolute(const std::string& path);

// What a file that is not a regular one is, for the message refusing it.
std::string FileKind(mode_t mode);

// Projects and pictures are read only from regular files: a FIFO waits for a writer, a device
// never ends. A missing file is left for the reader to report.
void RequireRegularFile(const std::string& path, const std::string& consequence = {});

// The project's header and its records read a block at a time, from a regular file only.
ProjectRecords OpenRecords(const std::string& path);

// --size: WIDTHxHEIGHT, or a preset's name (720p, 1080p, 4k, vertical, square, portrait); a size
// nothing could play is refused.
std::pair<std::int32_t, std::int32_t> ParseVideoSize(const std::string& text);

// A compressor by its fourcc as codecs lists it: case does not matter, trailing blanks are optional.
const avi::CodecInfo& ParseCodec(const std::string& text);

std::int32_t ParseNumber(const std::string& text, const std::string& what, std::int64_t low, std::int64_t high);

}  // namespace kinetar::cli
