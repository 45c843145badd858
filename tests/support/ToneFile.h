#pragma once

#include <string>

namespace kinetar::test {

// A sine tone of this many seconds written by ffmpeg, its kind chosen by the name's extension
// (".wav", ".flac", ".ogg"...); false when ffmpeg failed.
bool MakeTone(const std::string& path, double seconds);

}  // namespace kinetar::test
