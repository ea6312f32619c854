// Colour conversions through Little CMS 2, for pictures that carry an ICC
// profile: to sRGB for the formats that hold no profile, and CMYK through its
// profile. A picture without a profile never comes here.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "codec.h"

namespace gdip {

// A picture's pixels in sRGB, made at most once (metadata.h).
struct SrgbCopy {
    std::once_flag once;
    GpStatus status = Ok;
    Bitmap pixels;
};

// True when Little CMS reads the profile and can build a transform from it.
bool IccUsable(std::span<const std::uint8_t> icc);
// True when an RGB profile describes sRGB (its colorants and tone curves
// within a rounding of sRGB's): its pixels need no conversion.
bool IccIsSrgb(std::span<const std::uint8_t> icc);
// The image's pixels, described by its own profile (image.meta.icc),
// converted to sRGB: relative colorimetric with black-point compensation,
// alpha kept. OutOfMemory when the copy does not fit.
GpStatus ConvertToSrgb(const Bitmap& image, Bitmap& out);

// CMYK rows through a CMYK profile to sRGB. Empty (false) when the profile
// cannot be used; the caller then converts as it would without one.
class CmykConverter {
public:
    CmykConverter(std::span<const std::uint8_t> icc, bool inverted);
    ~CmykConverter();
    CmykConverter(const CmykConverter&) = delete;
    CmykConverter& operator=(const CmykConverter&) = delete;
    explicit operator bool() const { return m_transform != nullptr; }
    // width pixels of 4 bytes each into RGBA, alpha opaque.
    void Row(const std::uint8_t* cmyk, std::uint32_t width, std::uint8_t* rgba) const;

private:
    void* m_transform = nullptr;
};

// An ICC profile for colours stated as primaries, white point and a transfer
// function by its code (ISO/IEC 23091-2); empty for sRGB itself and for
// transfers that a profile of this kind cannot state (PQ, HLG).
std::vector<std::uint8_t> IccFromPrimaries(const float primaries[8], int transfer);

}  // namespace gdip
