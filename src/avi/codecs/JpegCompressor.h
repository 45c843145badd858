#pragma once

#include <cstdint>
#include <memory>

#include "avi/codecs/Compressor.h"

namespace kinetar::avi {

inline constexpr std::uint32_t kMjpgFourcc = 0x47504A4D;  // "MJPG"

// The JPEG quality (1 to 100) of a stored quality, 0 to 10000 for 0 to 100 %, or of the default.
// 0 % gives 1, the coarsest the JPEG quality scale has.
int JpegQuality(std::uint32_t quality);

// Motion JPEG: every frame a baseline JPEG of its own, YCbCr 4:2:0, encoded on both cores.
std::unique_ptr<Compressor> MakeJpegCompressor(const CompressionOptions& options);

}  // namespace kinetar::avi
