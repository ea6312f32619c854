// Small pieces shared by the GIF, TIFF, ICO, WebP and HEIF codecs.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "codec.h"

namespace gdip::detail {

// The status for a declared image size, checked before anything sized by it
// is allocated: an empty image is a broken file, an oversized one is refused
// as the budget says.
inline GpStatus CheckDeclaredSize(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) return GenericError;
    return FitsBudget(width, height) ? Ok : OutOfMemory;
}

inline bool StartsWith(std::span<const std::uint8_t> bytes, const char* magic, std::size_t at = 0) {
    const std::size_t n = std::strlen(magic);
    return bytes.size() >= at + n && std::memcmp(bytes.data() + at, magic, n) == 0;
}

inline std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t Le24(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}
inline std::uint32_t Le32(const std::uint8_t* p) {
    return Le24(p) | std::uint32_t{p[3]} << 24;
}

// True when any pixel is less than opaque.
inline bool AnyTranslucent(const Bitmap& image) {
    for (std::size_t i = 3; i < image.rgba.size(); i += 4)
        if (image.rgba[i] != 255) return true;
    return false;
}

}  // namespace gdip::detail
