#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/ProjectFile.h"
#include "project/Slideshow.h"

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

// The message with the file it is about: the path where the message has it (with a blank before it
// when it is glued to the text), else "PATH: " before the message.
std::string NamedMessage(std::string message, const std::string& path);

// Tells which record a render's frame-error question is about. Questions and progress reports
// come in the order of the frames, so it is a picture after the last one asked about and before
// those the reports have passed; of several such, the one whose reading fails with that message.
class FrameErrorNamer {
public:
    FrameErrorNamer(const std::vector<project::FrameRecord>& records, project::FrameRate rate);
    // Each progress report of the frame loop, with its percent.
    void Report(int percent);
    // The question's message, naming its file.
    std::string Name(const std::string& message);

private:
    struct Picture {
        std::string Path;
        std::int64_t End = 0;  // the frame after its last
    };
    std::vector<Picture> m_pictures;
    std::vector<std::string> m_sounds;
    std::int64_t m_videoFrames = 0;
    std::int64_t m_reports = 0;
    std::int64_t m_asked = 0;      // pictures asked about
    std::int64_t m_nextFirst = 0;  // the first picture the next question can be about
    int m_percent = -1;
};

}  // namespace kinetar::cli
