#include "pictures/ColorProfile.h"

#include <lcms2.h>

namespace kinetar::pictures {

namespace {

constexpr cmsUInt32Number kGreyAsBgr = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(2);
constexpr cmsUInt32Number kGreyAsBgra = COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

struct Layout {
    cmsColorSpaceSignature Space;
    cmsUInt32Number Input;
    cmsUInt32Number Output;
    cmsUInt32Number Flags;
};

Layout LayoutOf(ProfilePixels pixels)
{
    switch (pixels) {
    case ProfilePixels::Bgr:
        return {cmsSigRgbData, TYPE_BGR_8, TYPE_BGR_8, 0};
    case ProfilePixels::Bgra:
        return {cmsSigRgbData, TYPE_BGRA_8, TYPE_BGRA_8, cmsFLAGS_COPY_ALPHA};
    case ProfilePixels::GreyAsBgr:
        return {cmsSigGrayData, kGreyAsBgr, TYPE_BGR_8, 0};
    case ProfilePixels::GreyAsBgra:
        // The grey is read from blue; without the copy flag the library leaves alpha untouched.
        return {cmsSigGrayData, kGreyAsBgra, TYPE_BGRA_8, 0};
    case ProfilePixels::Cmyk:
        return {cmsSigCmykData, TYPE_CMYK_8, TYPE_BGR_8, 0};
    case ProfilePixels::InvertedCmyk:
        break;
    }
    return {cmsSigCmykData, TYPE_CMYK_8_REV, TYPE_BGR_8, 0};
}

}  // namespace

SrgbConversion::SrgbConversion(std::span<const std::uint8_t> profile, ProfilePixels pixels)
{
    if (profile.empty()) {
        return;
    }
    const cmsHPROFILE input = cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
    if (input == nullptr) {
        return;
    }
    const Layout layout = LayoutOf(pixels);
    if (cmsGetColorSpace(input) == layout.Space) {
        const cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        m_transform = cmsCreateTransform(input, layout.Input, srgb, layout.Output, INTENT_PERCEPTUAL, layout.Flags);
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(input);
}

SrgbConversion::~SrgbConversion()
{
    if (m_transform != nullptr) {
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_transform));
    }
}

void SrgbConversion::Convert(const std::uint8_t* from, std::uint8_t* to, std::size_t count) const
{
    cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), from, to, static_cast<cmsUInt32Number>(count));
}

void CmykToBgr(const std::uint8_t* cmyk, std::size_t count, bool inverted, std::uint8_t* bgr)
{
    const unsigned flip = inverted ? 0 : 255;
    for (std::size_t i = 0; i < count; ++i, cmyk += 4, bgr += 3) {
        // Stored inverted, a value is already the light its ink lets through.
        const unsigned white = cmyk[3] ^ flip;
        for (int channel = 0; channel < 3; ++channel) {
            const unsigned light = (cmyk[2 - channel] ^ flip) * white + 128;
            bgr[channel] = static_cast<std::uint8_t>((light + (light >> 8)) >> 8);
        }
    }
}

}  // namespace kinetar::pictures
