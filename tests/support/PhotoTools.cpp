#include "support/PhotoTools.h"

#include <lcms2.h>

#include <cmath>

namespace kinetar::test {

double Psnr(const RgbImage& actual, const RgbImage& expected)
{
    if (actual.Width != expected.Width || actual.Height != expected.Height || actual.Pixels.empty()) {
        return 0;
    }
    double squares = 0;
    for (std::size_t i = 0; i < actual.Pixels.size(); ++i) {
        const int difference = int{actual.Pixels[i]} - int{expected.Pixels[i]};
        squares += static_cast<double>(difference * difference);
    }
    if (squares == 0) {
        return 99;
    }
    return 10 * std::log10(255.0 * 255.0 * static_cast<double>(actual.Pixels.size()) / squares);
}

namespace {

// The profile's bytes; the profile is closed.
std::vector<std::uint8_t> SavedProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> RgbProfile(const std::array<double, 6>& primaries, double gamma)
{
    const cmsCIExyY white{0.3127, 0.3290, 1};
    const cmsCIExyYTRIPLE triple{
        {primaries[0], primaries[1], 1}, {primaries[2], primaries[3], 1}, {primaries[4], primaries[5], 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const auto bytes = SavedProfile(cmsCreateRGBProfile(&white, &triple, curves));
    cmsFreeToneCurve(curve);
    return bytes;
}

std::vector<std::uint8_t> GreyProfile(double gamma)
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    const auto bytes = SavedProfile(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    return bytes;
}

void FixPngChunkCrc(std::vector<std::uint8_t>& png, std::size_t offset)
{
    const std::size_t length = std::size_t{png[offset]} << 24 | std::size_t{png[offset + 1]} << 16 |
                               std::size_t{png[offset + 2]} << 8 | png[offset + 3];
    std::uint32_t crc = 0xFFFFFFFF;  // over the type and the data
    for (std::size_t i = offset + 4; i < offset + 8 + length; ++i) {
        crc ^= png[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
        }
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) {
        png[offset + 8 + length + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
}

}  // namespace kinetar::test
