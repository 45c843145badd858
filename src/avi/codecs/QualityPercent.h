#pragma once

#include <cstdint>

namespace kinetar::avi {

// People choose a compressor's quality in percent; the compressor variables hold hundredths of a
// percent, or kQualityDefault for the compressor's own. Percent 0 stands for that default.
std::uint32_t QualityFromPercent(int percent);
// The percent a stored quality shows as: rounded, 1 to 100; 0 for the default or a value out of
// range.
int PercentFromQuality(std::uint32_t quality);

}  // namespace kinetar::avi
