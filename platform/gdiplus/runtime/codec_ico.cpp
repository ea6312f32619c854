// ICO: the directory's largest image, stored either as a PNG file or as a
// device-independent bitmap without its file header (colour bitmap of double
// height followed by a 1-bit AND mask). Every offset read from the file is
// checked against the bytes there are.
#include <algorithm>
#include <array>
#include <vector>

#include "decode_helpers.h"

namespace gdip {
namespace {

constexpr std::size_t kHeaderBytes = 6, kEntryBytes = 16, kInfoHeaderBytes = 40;

struct Entry {
    std::uint64_t area = 0;
    std::uint16_t bits = 0;
    std::uint32_t offset = 0;
};

bool Better(const Entry& a, const Entry& b) {
    return a.area != b.area ? a.area > b.area : a.bits > b.bits;
}

struct Dib {
    std::uint32_t width = 0, height = 0;
    bool topDown = false;
    std::uint16_t bits = 0;
    std::vector<std::array<std::uint8_t, 3>> palette;  // RGB
    std::span<const std::uint8_t> colour, mask;        // rows as stored
    std::uint64_t colourStride = 0, maskStride = 0;
};

GpStatus ReadDibHeader(std::span<const std::uint8_t> data, Dib& d) {
    if (data.size() < kInfoHeaderBytes) return GenericError;
    detail::DibHeader h;
    if (!detail::ReadDibHeader(data, h) || h.headerBytes < kInfoHeaderBytes) return GenericError;
    d.bits = h.bits;
    const std::int64_t width = h.width, doubled = h.height;
    if (width <= 0 || doubled == 0 || doubled == INT32_MIN) return GenericError;
    if (h.compression != 0) return GenericError;  // icons hold plain bitmaps only
    if (d.bits != 1 && d.bits != 4 && d.bits != 8 && d.bits != 24 && d.bits != 32)
        return GenericError;
    d.width = static_cast<std::uint32_t>(width);
    d.topDown = doubled < 0;
    d.height = static_cast<std::uint32_t>(doubled < 0 ? -doubled : doubled) / 2;
    if (GpStatus s = CheckDeclaredSize(d.width, d.height); s != Ok) return s;

    std::uint64_t at = h.headerBytes;
    if (d.bits <= 8) {
        // The table holds the stated number of entries; only as many as the
        // depth can address are ever used.
        const std::uint32_t full = 1u << d.bits;
        const std::uint32_t stored = h.coloursUsed == 0 ? full : h.coloursUsed;
        if ((data.size() - at) / 4 < stored) return GenericError;
        for (std::uint32_t i = 0; i < std::min(stored, full); ++i)
            d.palette.push_back({data[at + 4 * i + 2], data[at + 4 * i + 1], data[at + 4 * i]});
        at += std::uint64_t{stored} * 4;
    }
    d.colourStride = (std::uint64_t{d.width} * d.bits + 31) / 32 * 4;
    d.maskStride = (std::uint64_t{d.width} + 31) / 32 * 4;
    const std::uint64_t colourBytes = d.colourStride * d.height;
    const std::uint64_t maskBytes = d.maskStride * d.height;
    if (data.size() - at < colourBytes) return GenericError;
    d.colour = data.subspan(at, colourBytes);
    at += colourBytes;
    // The AND mask is required, except that a bitmap with its own alpha
    // channel does not need it and some writers leave it out.
    if (data.size() - at >= maskBytes)
        d.mask = data.subspan(at, maskBytes);
    else if (d.bits != 32)
        return GenericError;
    return Ok;
}

void ColourRow(const Dib& d, const std::uint8_t* src, std::uint8_t* dst) {
    for (std::uint32_t x = 0; x < d.width; ++x, dst += 4) {
        if (d.bits >= 24) {
            const std::uint8_t* s = src + std::size_t{x} * (d.bits / 8);
            dst[0] = s[2], dst[1] = s[1], dst[2] = s[0];
            dst[3] = d.bits == 32 ? s[3] : 255;
            continue;
        }
        const std::size_t bit = std::size_t{x} * d.bits;
        const int shift = 8 - d.bits - static_cast<int>(bit & 7);
        const std::size_t index = (src[bit >> 3] >> shift) & ((1u << d.bits) - 1);
        if (index < d.palette.size()) {
            const auto& c = d.palette[index];
            dst[0] = c[0], dst[1] = c[1], dst[2] = c[2];
        }
        dst[3] = 255;
    }
}

GpStatus DecodeDib(std::span<const std::uint8_t> data, Bitmap& out) {
    Dib d;
    if (GpStatus s = ReadDibHeader(data, d); s != Ok) return s;
    Bitmap image;
    if (GpStatus s = AllocateBitmap(image, d.width, d.height); s != Ok) return s;
    for (std::uint32_t r = 0; r < d.height; ++r) {
        const std::uint32_t y = d.topDown ? r : d.height - 1 - r;
        ColourRow(d, d.colour.data() + r * d.colourStride, image.Row(y));
    }
    // A 32-bit bitmap whose alpha is all zero predates alpha channels: its
    // transparency is in the mask like that of the other depths.
    bool useMask = true;
    if (d.bits == 32) {
        bool allZero = true;
        for (std::size_t i = 3; i < image.rgba.size() && allZero; i += 4)
            allZero = image.rgba[i] == 0;
        useMask = allZero;
        if (allZero)
            for (std::size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 255;
    }
    if (useMask && !d.mask.empty()) {
        for (std::uint32_t r = 0; r < d.height; ++r) {
            const std::uint8_t* m = d.mask.data() + r * d.maskStride;
            std::uint8_t* dst = image.Row(d.topDown ? r : d.height - 1 - r);
            for (std::uint32_t x = 0; x < d.width; ++x)
                if (m[x >> 3] & (0x80 >> (x & 7))) dst[std::size_t{x} * 4 + 3] = 0;
        }
    }
    image.hasAlpha = detail::AnyTranslucent(image);
    out = std::move(image);
    return Ok;
}

bool SniffIco(std::span<const std::uint8_t> head) {
    return head.size() >= kHeaderBytes && head[0] == 0 && head[1] == 0 && head[2] == 1 &&
           head[3] == 0 && detail::Le16(head.data() + 4) > 0;
}

class IcoDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        if (!SniffIco(file)) return UnknownImageFormat;
        const std::size_t count = detail::Le16(file.data() + 4);
        if ((file.size() - kHeaderBytes) / kEntryBytes < count) return GenericError;
        Entry best;
        bool found = false;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = file.data() + kHeaderBytes + i * kEntryBytes;
            Entry entry;
            entry.area = std::uint64_t{e[0] ? e[0] : 256u} * (e[1] ? e[1] : 256u);
            entry.bits = detail::Le16(e + 6);
            entry.offset = detail::Le32(e + 12);
            if (entry.offset >= file.size()) continue;
            if (!found || Better(entry, best)) best = entry, found = true;
        }
        if (!found) return GenericError;
        // The image's own header decides its size; the directory's size
        // byte only chooses. The stated byte count is often wrong, so the
        // image may run to the end of the file.
        const std::span<const std::uint8_t> data = file.subspan(best.offset);
        if (kPngCodec.sniff(data)) return kPngCodec.makeDecoder()->Decode(data, out);
        return DecodeDib(data, out);
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<IcoDecoder>();
}

}  // namespace

constinit const CodecDescriptor kIcoCodec{
    .name = "ico",
    .priority = 80,  // four bytes, three of them zero: the weakest signature
    .signatures = {{{0, std::string_view("\0\0\1\0", 4)}}},
    .sniff = SniffIco,
    .makeDecoder = MakeDecoder,
};

}  // namespace gdip
