// EXIF orientation: reading the tag from a TIFF-structured EXIF block and
// turning decoded pixels upright. Every read of the block is bounds-checked:
// the block comes straight from an untrusted file.
#include <algorithm>
#include <cstring>
#include <utility>

#include "codec.h"

namespace gdip {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kTypeShort = 3;

class TiffReader {
public:
    TiffReader(std::span<const std::uint8_t> bytes, bool bigEndian)
        : m_bytes(bytes), m_big(bigEndian) {}

    bool U16(std::size_t at, std::uint16_t& v) const {
        if (at > m_bytes.size() || m_bytes.size() - at < 2) return false;
        const std::uint8_t* p = m_bytes.data() + at;
        v = m_big ? static_cast<std::uint16_t>(p[0] << 8 | p[1])
                  : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
        return true;
    }
    bool U32(std::size_t at, std::uint32_t& v) const {
        std::uint16_t a = 0, b = 0;
        if (!U16(at, a) || !U16(at + 2, b)) return false;
        v = m_big ? (std::uint32_t{a} << 16 | b) : (std::uint32_t{b} << 16 | a);
        return true;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    bool m_big;
};

// Pixel (x, y) of the upright image comes from the stored pixel that this
// returns, for the orientations that swap the axes (5..8). w and h are the
// stored image's size.
std::pair<std::uint32_t, std::uint32_t> SourceOfSwapped(int orientation, std::uint32_t x,
                                                        std::uint32_t y, std::uint32_t w,
                                                        std::uint32_t h) {
    switch (orientation) {
        case 5:
            return {y, x};  // transpose
        case 6:
            return {y, h - 1 - x};  // rotate 90 clockwise
        case 7:
            return {w - 1 - y, h - 1 - x};  // transverse
        default:
            return {w - 1 - y, x};  // 8: rotate 270 clockwise
    }
}

void MirrorRows(Bitmap& image) {
    for (std::uint32_t y = 0; y < image.height; ++y) {
        std::uint8_t* row = image.Row(y);
        for (std::uint32_t a = 0, b = image.width; a + 1 < b; ++a, --b)
            std::swap_ranges(row + std::size_t{a} * 4, row + std::size_t{a} * 4 + 4,
                             row + std::size_t{b - 1} * 4);
    }
}

void FlipRows(Bitmap& image) {
    const std::size_t stride = std::size_t{image.width} * 4;
    std::vector<std::uint8_t> tmp(stride);
    for (std::uint32_t a = 0, b = image.height; a + 1 < b; ++a, --b) {
        std::memcpy(tmp.data(), image.Row(a), stride);
        std::memcpy(image.Row(a), image.Row(b - 1), stride);
        std::memcpy(image.Row(b - 1), tmp.data(), stride);
    }
}

GpStatus SwapAxes(Bitmap& image, int orientation) {
    Bitmap turned;
    GpStatus status = AllocateBitmap(turned, image.height, image.width);
    if (status != Ok) return status;
    for (std::uint32_t y = 0; y < turned.height; ++y) {
        std::uint8_t* dst = turned.Row(y);
        for (std::uint32_t x = 0; x < turned.width; ++x) {
            auto [sx, sy] = SourceOfSwapped(orientation, x, y, image.width, image.height);
            std::memcpy(dst + std::size_t{x} * 4, image.Row(sy) + std::size_t{sx} * 4, 4);
        }
    }
    turned.hasAlpha = image.hasAlpha;
    turned.meta = std::move(image.meta);
    image = std::move(turned);
    return Ok;
}

}  // namespace

int ExifOrientation(std::span<const std::uint8_t> exif) {
    static const std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (exif.size() >= 6 && std::memcmp(exif.data(), kExifHeader, 6) == 0) exif = exif.subspan(6);
    if (exif.size() < 8) return 1;
    bool big;
    if (exif[0] == 'I' && exif[1] == 'I' && exif[2] == 42 && exif[3] == 0) {
        big = false;
    } else if (exif[0] == 'M' && exif[1] == 'M' && exif[2] == 0 && exif[3] == 42) {
        big = true;
    } else {
        return 1;
    }
    TiffReader r(exif, big);
    std::uint32_t ifd = 0;
    std::uint16_t count = 0;
    if (!r.U32(4, ifd) || !r.U16(ifd, count)) return 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t{ifd} + 2 + std::size_t{i} * 12;
        std::uint16_t tag = 0, type = 0, value = 0;
        std::uint32_t n = 0;
        if (!r.U16(entry, tag) || !r.U16(entry + 2, type) || !r.U32(entry + 4, n)) return 1;
        if (tag != kOrientationTag) continue;
        if (type != kTypeShort || n != 1 || !r.U16(entry + 8, value)) return 1;
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

GpStatus ApplyOrientation(Bitmap& image, int orientation) {
    if (orientation < 1 || orientation > 8) return InvalidParameter;
    if (image.rgba.size() != std::size_t{image.width} * image.height * 4) return InvalidParameter;
    switch (orientation) {
        case 1:
            return Ok;
        case 2:
            MirrorRows(image);
            return Ok;
        case 3:
            MirrorRows(image);
            FlipRows(image);
            return Ok;
        case 4:
            FlipRows(image);
            return Ok;
        default:
            return SwapAxes(image, orientation);
    }
}

}  // namespace gdip
