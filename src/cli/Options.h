#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/CommandLine.h"
#include "project/FrameEdits.h"
#include "project/Slideshow.h"

// The option values the edit and info commands share; each refuses a bad value through Usage.
namespace kinetar::cli {

// A frame index as info shows it: from 0, below count.
std::size_t ParseIndex(const std::string& text, std::size_t count);
// 1, 4, 8 or 24 bits per pixel.
int ParseDepth(const std::string& text);
// Decimal seconds, as milliseconds; name is the option's, for the message.
std::uint32_t ParseSecondsOption(const std::string& text, const std::string& name);
project::FitMode ParseFit(const std::string& text);
// --fps: 25, 29.97, 12.5 or 30000/1001; bad usage for anything else.
project::FrameRate ParseRate(const std::string& text);
bool ParseYesNo(const std::string& text, const std::string& name);
// RRGGBB, six hex digits, with or without a leading "#"; name is the option's, for the message.
std::array<std::uint8_t, 3> ParseColour(const std::string& text, const std::string& name = "--background");
// RRGGBBAA: a colour and its opacity.
std::array<std::uint8_t, 4> ParseColourWithOpacity(const std::string& text, const std::string& name);

// The slideshow settings of frames that add and frame take (--fit, --duration, --crossfade,
// --motion, --easing); each only when given.
project::FrameEdit TakeFrameOptions(Arguments& arguments);
bool AnyFrameOption(const project::FrameEdit& edit);

}  // namespace kinetar::cli
