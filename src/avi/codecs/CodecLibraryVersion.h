#pragma once

#include <cstdint>

namespace kinetar::avi {

// The codec library's version as found at run time and the major version the program was built
// against; a run needs them to agree.
std::uint32_t CodecLibraryVersionAtRunTime();
std::uint32_t CodecLibraryMajorAtBuild();
bool CodecLibraryMatches(std::uint32_t runTimeVersion, std::uint32_t builtMajor);

}  // namespace kinetar::avi
