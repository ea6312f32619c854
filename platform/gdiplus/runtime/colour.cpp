// Little CMS 2 behind colour.h. Transforms are built per picture (a
// picture's profile is its own) and used by several threads at once, which
// Little CMS allows: its one-pixel cache is copied per call.
#include "colour.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "parallel.h"

namespace gdip {
namespace {

struct ProfileClose {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using Profile = std::unique_ptr<void, ProfileClose>;
struct TransformDelete {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Transform = std::unique_ptr<void, TransformDelete>;

constexpr cmsUInt32Number kIntent = INTENT_RELATIVE_COLORIMETRIC;
constexpr cmsUInt32Number kFlags = cmsFLAGS_BLACKPOINTCOMPENSATION;
// Rows converted per task when a picture is converted on every thread.
constexpr std::uint32_t kRowsPerTask = 64;

Profile Open(std::span<const std::uint8_t> icc) {
    if (icc.empty()) return nullptr;
    return Profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

Profile Srgb() {
    return Profile(cmsCreate_sRGBProfile());
}

bool Near(const cmsCIEXYZ* a, const cmsCIEXYZ* b) {
    constexpr double kTolerance = 0.002;  // a rounding of the s15Fixed16 values and adaptation
    return a != nullptr && b != nullptr && std::abs(a->X - b->X) < kTolerance &&
           std::abs(a->Y - b->Y) < kTolerance && std::abs(a->Z - b->Z) < kTolerance;
}

bool SameCurve(const cmsToneCurve* a, const cmsToneCurve* b) {
    if (a == nullptr || b == nullptr) return false;
    for (int i = 1; i < 16; ++i) {
        const float x = static_cast<float>(i) / 16;
        if (std::abs(cmsEvalToneCurveFloat(a, x) - cmsEvalToneCurveFloat(b, x)) > 0.5f / 255)
            return false;
    }
    return true;
}

}  // namespace

bool IccUsable(std::span<const std::uint8_t> icc) {
    const Profile p = Open(icc);
    if (!p) return false;
    // (the header's bytes, not Little CMS's enumeration, which a file can
    // fill with values outside it)
    const std::string_view space = IccColourSpace(icc);
    const cmsUInt32Number format = space == "RGB "   ? TYPE_RGBA_8
                                   : space == "CMYK" ? TYPE_CMYK_8
                                                     : 0;
    if (format == 0) return false;
    const Profile srgb = Srgb();
    // Not optimised: only whether it can be built matters here.
    const Transform t(cmsCreateTransform(p.get(), format, srgb.get(), TYPE_RGBA_8, kIntent,
                                         kFlags | cmsFLAGS_NOOPTIMIZE));
    return t != nullptr;
}

bool IccIsSrgb(std::span<const std::uint8_t> icc) {
    const Profile p = Open(icc), srgb = Srgb();
    if (!p || !srgb || IccColourSpace(icc) != "RGB ") return false;
    // The colorants are adapted to the connection space's D50 in every
    // version; the media white point is not compared (a version 2 sRGB
    // profile states D65 there, a version 4 one D50, for the same colours).
    for (const cmsTagSignature tag :
         {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag})
        if (!Near(static_cast<const cmsCIEXYZ*>(cmsReadTag(p.get(), tag)),
                  static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.get(), tag))))
            return false;
    for (const cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
        if (!SameCurve(static_cast<const cmsToneCurve*>(cmsReadTag(p.get(), tag)),
                       static_cast<const cmsToneCurve*>(cmsReadTag(srgb.get(), tag))))
            return false;
    return true;
}

GpStatus ConvertToSrgb(const Bitmap& image, Bitmap& out) {
    const Profile p = Open(image.meta.icc), srgb = Srgb();
    if (!p || !srgb) return GenericError;
    const Transform t(cmsCreateTransform(p.get(), TYPE_RGBA_8, srgb.get(), TYPE_RGBA_8, kIntent,
                                         kFlags | cmsFLAGS_COPY_ALPHA));
    if (!t) return GenericError;
    if (GpStatus s = AllocateBitmap(out, image.width, image.height); s != Ok) return s;
    out.hasAlpha = image.hasAlpha;
    const std::uint32_t tasks = (image.height + kRowsPerTask - 1) / kRowsPerTask;
    ParallelFor(tasks, [&](std::size_t task) {
        const auto first = static_cast<std::uint32_t>(task) * kRowsPerTask;
        const std::uint32_t rows = std::min(kRowsPerTask, image.height - first);
        cmsDoTransform(t.get(), image.Row(first), out.Row(first), image.width * rows);
    });
    return Ok;
}

CmykConverter::CmykConverter(std::span<const std::uint8_t> icc, bool inverted) {
    const Profile p = Open(icc), srgb = Srgb();
    if (!p || !srgb || IccColourSpace(icc) != "CMYK") return;
    m_transform = cmsCreateTransform(p.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.get(),
                                     TYPE_RGBA_8, kIntent, kFlags);
}

CmykConverter::~CmykConverter() {
    if (m_transform != nullptr) cmsDeleteTransform(m_transform);
}

void CmykConverter::Row(const std::uint8_t* cmyk, std::uint32_t width, std::uint8_t* rgba) const {
    cmsDoTransform(m_transform, cmyk, rgba, width);
    for (std::uint32_t x = 0; x < width; ++x) rgba[std::size_t{x} * 4 + 3] = 255;
}

std::vector<std::uint8_t> IccFromPrimaries(const float primaries[8], int transfer) {
    // Parametric curve type 4: Y = (aX + b)^g for X >= d, Y = cX below.
    cmsFloat64Number params[5];
    cmsInt32Number type = 4;
    switch (transfer) {
        case 1:   // BT.709
        case 6:   // BT.601
        case 14:  // BT.2020, 10 bits
        case 15:  // BT.2020, 12 bits
            params[0] = 1 / 0.45, params[1] = 1 / 1.099, params[2] = 0.099 / 1.099,
            params[3] = 1 / 4.5, params[4] = 0.081;
            break;
        case 2:   // unspecified: as sRGB
        case 13:  // sRGB
            params[0] = 2.4, params[1] = 1 / 1.055, params[2] = 0.055 / 1.055,
            params[3] = 1 / 12.92, params[4] = 0.04045;
            break;
        case 4:
        case 5:
        case 8:
            type = 1;
            params[0] = transfer == 4 ? 2.2 : transfer == 5 ? 2.8 : 1.0;
            break;
        default:
            return {};
    }
    const cmsCIExyY white{primaries[6], primaries[7], 1.0};
    const cmsCIExyYTRIPLE rgb{{primaries[0], primaries[1], 1.0},
                              {primaries[2], primaries[3], 1.0},
                              {primaries[4], primaries[5], 1.0}};
    for (const float v : std::span(primaries, 8))
        if (!(v > 0 && v < 1)) return {};
    std::unique_ptr<cmsToneCurve, void (*)(cmsToneCurve*)> curve(
        cmsBuildParametricToneCurve(nullptr, type, params), cmsFreeToneCurve);
    if (!curve) return {};
    cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
    const Profile p(cmsCreateRGBProfile(&white, &rgb, curves));
    if (!p) return {};
    cmsUInt32Number bytes = 0;
    if (!cmsSaveProfileToMem(p.get(), nullptr, &bytes) || bytes == 0) return {};
    std::vector<std::uint8_t> icc(bytes);
    if (!cmsSaveProfileToMem(p.get(), icc.data(), &bytes)) return {};
    icc.resize(bytes);
    return icc;
}

}  // namespace gdip
