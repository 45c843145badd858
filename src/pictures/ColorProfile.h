#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kinetar::pictures {

// How the pixels handed to a conversion are laid out.
enum class ProfilePixels {
    Bgr,           // blue, green, red
    Bgra,          // blue, green, red, alpha; alpha is copied unchanged
    GreyAsBgr,     // a grey picture already spread over blue, green, red
    GreyAsBgra,    // the same with alpha after them; alpha is left as it is
    Cmyk,          // cyan, magenta, yellow, black
    InvertedCmyk,  // the same, each value stored as 255 minus it (as Adobe's writers do)
};

// Converts pixels described by an embedded ICC profile to sRGB, the colours the video shows. A
// picture without a profile is taken to be sRGB already; so is one whose profile cannot be read or
// does not describe its kind of pixels (a damaged profile must not cost the user the picture).
class SrgbConversion {
public:
    SrgbConversion(std::span<const std::uint8_t> profile, ProfilePixels pixels);
    SrgbConversion(const SrgbConversion&) = delete;
    SrgbConversion& operator=(const SrgbConversion&) = delete;
    ~SrgbConversion();

    bool Active() const { return m_transform != nullptr; }
    // count pixels from `from` into `to`: blue, green, red, or for Bgra and GreyAsBgra blue, green,
    // red, alpha (GreyAsBgra writes no alpha: it needs `to` to be `from`). The
    // two may be the same memory when their pixels are the same size.
    void Convert(const std::uint8_t* from, std::uint8_t* to, std::size_t count) const;

private:
    void* m_transform = nullptr;
};

// CMYK to blue, green, red without a profile: each colour is what its ink and the black leave.
void CmykToBgr(const std::uint8_t* cmyk, std::size_t count, bool inverted, std::uint8_t* bgr);

}  // namespace kinetar::pictures
