#pragma once

#include "avi/codecs/CodecRegistry.h"

namespace kinetar::avi {

// Adds the codec library's encoders that the installed library has.
void AddLibavCompressors(CodecRegistry& registry);

}  // namespace kinetar::avi
