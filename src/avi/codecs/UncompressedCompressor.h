#pragma once

#include <memory>

#include "avi/codecs/Compressor.h"

namespace kinetar::avi {

// Full frames: every sample is the frame's pixel rows as they are.
std::unique_ptr<Compressor> MakeUncompressedCompressor(const CompressionOptions& options);

}  // namespace kinetar::avi
