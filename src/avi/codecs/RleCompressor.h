#pragma once

#include <memory>

#include "avi/codecs/Compressor.h"

namespace kinetar::avi {

// Windows bitmap run-length frames at 4 and 8 bits (BI_RLE4, BI_RLE8).
std::unique_ptr<Compressor> MakeRleCompressor(const CompressionOptions& options);

}  // namespace kinetar::avi
