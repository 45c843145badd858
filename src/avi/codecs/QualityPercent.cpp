#include "avi/codecs/QualityPercent.h"

#include <algorithm>

#include "avi/codecs/Compressor.h"

namespace kinetar::avi {

std::uint32_t QualityFromPercent(int percent)
{
    if (percent <= 0) {
        return kQualityDefault;
    }
    return static_cast<std::uint32_t>(std::min(percent, 100)) * 100U;
}

int PercentFromQuality(std::uint32_t quality)
{
    if (quality > kQualityMax) {
        return 0;
    }
    return std::clamp(static_cast<int>((quality + 50) / 100), 1, 100);
}

}  // namespace kinetar::avi
