// The content check of HEIF and AVIF files: an ftyp box with an image brand.
#include "heif_sniff.h"

#include <algorithm>
#include <cstring>

#include "decode_helpers.h"

namespace gdip {

namespace {

// Brands of the image (not video) profiles of the format, HEVC and AV1.
constexpr const char* kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm",
                                   "hevs", "mif1", "mif2", "msf1", "avif", "avis"};

bool IsImageBrand(const std::uint8_t* p) {
    for (const char* b : kBrands)
        if (std::memcmp(p, b, 4) == 0) return true;
    return false;
}

}  // namespace

bool SniffHeif(std::span<const std::uint8_t> head) {
    if (head.size() < 16 || !detail::StartsWith(head, "ftyp", 4)) return false;
    const std::uint32_t box = std::uint32_t{head[0]} << 24 | std::uint32_t{head[1]} << 16 |
                              std::uint32_t{head[2]} << 8 | head[3];
    if (box < 16) return false;
    if (IsImageBrand(head.data() + 8)) return true;
    // Compatible brands follow the major brand and its version.
    const std::size_t end = std::min<std::size_t>(box, head.size());
    for (std::size_t at = 16; at + 4 <= end; at += 4)
        if (IsImageBrand(head.data() + at)) return true;
    return false;
}

}  // namespace gdip
