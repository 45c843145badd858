#include <gtest/gtest.h>

#include "avi/codecs/Compressor.h"
#include "avi/codecs/QualityPercent.h"

namespace kinetar::avi {
namespace {

// Percent as people choose it and hundredths as the variables hold it, both ways.
TEST(QualityPercent, PercentAndHundredthsMeetAtTheEnds)
{
    const std::pair<int, std::uint32_t> toStored[] = {{0, kQualityDefault}, {1, 100}, {60, 6000}, {100, 10000}};
    for (const auto& [percent, stored] : toStored) {
        SCOPED_TRACE(percent);
        EXPECT_EQ(QualityFromPercent(percent), stored);
        EXPECT_EQ(PercentFromQuality(stored), percent);
    }
    // Stored values that are no whole percent round; out of range is the default.
    const std::pair<std::uint32_t, int> fromStored[] = {{0, 1}, {49, 1}, {150, 2}, {7549, 75}, {10001, 0}};
    for (const auto& [stored, percent] : fromStored) {
        SCOPED_TRACE(stored);
        EXPECT_EQ(PercentFromQuality(stored), percent);
    }
}

}  // namespace
}  // namespace kinetar::avi
