#pragma once

#include <string>

namespace kinetar::cli {

// The command line's order of sort keys: byte by byte, ASCII letters without case.
bool AsciiCaseLess(const std::string& left, const std::string& right);

// The settings, then one line per frame: index, "stretch" or "no-stretch" (or the fit mode when it
// is letterbox, crop or centre), path, and "duration N s" / "crossfade N s" when set. Settings
// that are at their defaults add no line, so a project without slideshow settings reads as before.
// Control characters in texts are shown as \xNN so that every frame stays on one line.
std::string DescribeProject(const std::string& path);

// The same as one JSON object for scripts, with each frame's place in the video.
std::string DescribeProjectJson(const std::string& path);

}  // namespace kinetar::cli
