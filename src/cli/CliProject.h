#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/ProjectFile.h"
#include "project/Slideshow.h"

namespace kinetar::cli {

// The command line's order of sort keys: byte by byte, ASCII letters without case.
bool AsciiCaseLess(const std::string& left, const std::string& right);

// The text with control characters (C0, DEL, C1) and bytes that are not UTF-8 shown as \xNN, so
// that a file name cannot steer the terminal. Everything the command line prints from files goes
// through it.
std::string Printable(const std::string& text);

// A JSON string; a byte that is not part of UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& text);

// The settings, then one line per frame: index, "stretch" or "no-stretch" (or the fit mode when it
// is letterbox, crop or centre), path, and "duration N s" / "crossfade N s" when set. Settings
// that are at their defaults add no line, so a project without slideshow settings reads as before.
// Control characters in texts are shown as \xNN so that every frame stays on one line.
std::string DescribeProject(const std::string& path);

// The same as one JSON object for scripts, with each frame's place in the video.
std::string DescribeProjectJson(const std::string& path);

// The message with the file it is about: the path where the message has it (with a blank before it
// when it is glued to the text), else "PATH: " before the message.
std::string NamedMessage(std::string message, const std::string& path);

}  // namespace kinetar::cli
