#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kinetar::avi {

// The kinds of video file the engine writes.
enum class Container : std::uint8_t { Avi, Mp4, Mkv, WebM };

// The destination's extension chooses, in any case: ".mp4", ".m4v" and ".mov" are MP4/QuickTime,
// ".mkv" Matroska, ".webm" WebM; any other name stays AVI.
Container ContainerForPath(std::string_view path);
// A destination whose extension names a picture, a sound, a text or a project (in any case) would
// get a video under a name that says otherwise: the message refusing it, naming what is written.
// Nothing for a video's extension, an unknown one or none, which stay as ContainerForPath says.
std::optional<std::string> WrongKindOfDestination(const std::string& path);
// "avi", "mp4", "mkv", "webm", as the command line takes them.
std::string_view ContainerName(Container container);
std::optional<Container> ContainerFromName(std::string_view name);

constexpr unsigned ContainerBit(Container container)
{
    return 1U << static_cast<unsigned>(container);
}

}  // namespace kinetar::avi
