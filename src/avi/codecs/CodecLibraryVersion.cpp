#include "avi/codecs/CodecLibraryVersion.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace kinetar::avi {

std::uint32_t CodecLibraryVersionAtRunTime()
{
    return avcodec_version();
}

std::uint32_t CodecLibraryMajorAtBuild()
{
    return LIBAVCODEC_VERSION_MAJOR;
}

// Within one major version the library keeps its interface; another major may not.
bool CodecLibraryMatches(std::uint32_t runTimeVersion, std::uint32_t builtMajor)
{
    return (runTimeVersion >> 16) == builtMajor;
}

}  // namespace kinetar::avi
