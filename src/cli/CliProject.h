#pragma once

#include <string>

namespace kinetar::cli {

// The command line's order of sort keys: byte by byte, ASCII letters without case.
bool AsciiCaseLess(const std::string& left, const std::string& right);

// The settings, then one line per frame: index, "stretch" or "no-stretch", path. Control
// characters in texts are shown as \xNN so that every frame stays on one line.
std::string DescribeProject(const std::string& path);

}  // namespace kinetar::cli
