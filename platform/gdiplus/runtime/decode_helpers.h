// Small pieces shared by the codecs: signatures, little-endian fields and the
// header of a device-independent bitmap (BMP files and icons hold one).
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "codec.h"

namespace gdip::detail {

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

// The fields of a bitmap info header that decoders read. The 12-byte OS/2
// 1.x header has 16-bit sizes and nothing after the depth; the longer ones
// have signed 32-bit sizes (a negative height means rows top down).
struct DibHeader {
    std::uint32_t headerBytes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t bits = 0;
    std::uint32_t compression = 0;  // 0: plain rows
    std::uint32_t coloursUsed = 0;  // 0: as many as the depth addresses
};

// Reads the header at the start of dib; false when it is shorter than 12 or
// 16 bytes or than it says it is.
inline bool ReadDibHeader(std::span<const std::uint8_t> dib, DibHeader& h) {
    if (dib.size() < 4) return false;
    const std::uint8_t* p = dib.data();
    h.headerBytes = Le32(p);
    const bool core = h.headerBytes == 12;
    if (h.headerBytes < (core ? 12u : 16u) || h.headerBytes > dib.size()) return false;
    if (core) {
        h.width = Le16(p + 4);
        h.height = Le16(p + 6);
        h.bits = Le16(p + 10);
        h.compression = h.coloursUsed = 0;
        return true;
    }
    h.width = static_cast<std::int32_t>(Le32(p + 4));
    h.height = static_cast<std::int32_t>(Le32(p + 8));
    h.bits = Le16(p + 14);
    h.compression = h.headerBytes >= 20 ? Le32(p + 16) : 0;
    h.coloursUsed = h.headerBytes >= 36 ? Le32(p + 32) : 0;
    return true;
}

// True when any pixel is less than opaque.
inline bool AnyTranslucent(const Bitmap& image) {
    for (std::size_t i = 3; i < image.rgba.size(); i += 4)
        if (image.rgba[i] != 255) return true;
    return false;
}

}  // namespace gdip::detail
