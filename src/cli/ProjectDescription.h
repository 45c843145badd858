#pragma once

#include <ostream>
#include <string>

// What info prints of a project: the settings and one line per frame, or all of it as JSON.
namespace kinetar::cli {

// The settings, then one line per frame: index, "stretch" or "no-stretch" (or the fit mode when it
// is letterbox, crop or centre), path, and "duration N s" / "crossfade N s" when set. Settings
// that are at their defaults add no line, so a project without slideshow settings reads as before.
// Control characters in texts are shown as \xNN so that every frame stays on one line.
// Written as the records are read, a project of millions of frames included.
void DescribeProject(const std::string& path, std::ostream& out);
std::string DescribeProject(const std::string& path);

// The same as one JSON object for scripts, with each frame's place in the video.
void DescribeProjectJson(const std::string& path, std::ostream& out);
std::string DescribeProjectJson(const std::string& path);

}  // namespace kinetar::cli
