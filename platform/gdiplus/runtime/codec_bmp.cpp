// BMP, read and written by our own code: the format is small, and every
// field of a file is checked against its real length before it is used.
//
// Read: OS/2 1.x (12-byte) headers, the 40-byte header and its 52/56/64-byte
// variants, V4 (108) and V5 (124); 1, 2, 4 and 8 bits with a palette, 16 bits
// (5-5-5 unless bit fields say otherwise), 24 and 32 bits, bit fields with an
// alpha mask, RLE8 and RLE4; bottom-up and top-down rows.
// Written: 24-bit bottom-up without alpha, 32-bit with an alpha mask (V4
// header) when the image has alpha.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "decode_helpers.h"
#include "parallel.h"

namespace gdip {

namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::size_t kFileHeaderSize = 14;
// A file that the header declares but that does not hold its pixels.
constexpr GpStatus kDamaged = GenericError;

using detail::Le16;
using detail::Le32;

std::uint32_t Rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    return std::uint32_t{r} | (std::uint32_t{g} << 8) | (std::uint32_t{b} << 16) |
           (std::uint32_t{a} << 24);
}
void Put(std::uint8_t* px, std::uint32_t rgba) {
    std::memcpy(px, &rgba, 4);
}

// One colour channel described by a bit mask, scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        max = m >> shift;
    }
    std::uint8_t Get(std::uint32_t pixel, std::uint8_t absent) const {
        if (max == 0) return absent;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
    }
};

struct BmpLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    std::uint16_t bpp = 0;
    std::uint32_t compression = kBiRgb;
    std::array<std::uint32_t, 4> masks{};  // red, green, blue, alpha
    std::array<std::uint32_t, 256> palette{};
    std::size_t pixelOffset = 0;
};

bool ValidDepth(std::uint32_t compression, std::uint16_t bpp) {
    switch (compression) {
        case kBiRgb:
            return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 ||
                   bpp == 32;
        case kBiRle8:
            return bpp == 8;
        case kBiRle4:
            return bpp == 4;
        case kBiBitfields:
        case kBiAlphaBitfields:
            return bpp == 16 || bpp == 32;
        default:
            return false;
    }
}

// Reads the masks (from the header or the words after it) and finds where
// the palette starts; false when the file ends first.
bool ReadMasks(std::span<const std::uint8_t> file, std::uint32_t headerSize, BmpLayout& layout,
               std::size_t& paletteAt) {
    paletteAt = kFileHeaderSize + headerSize;
    if (layout.compression == kBiBitfields || layout.compression == kBiAlphaBitfields) {
        const std::size_t count =
            (layout.compression == kBiAlphaBitfields || headerSize >= 56) ? 4 : 3;
        const std::size_t maskAt = kFileHeaderSize + 40;
        if (headerSize == 40) paletteAt += 4 * count;
        if (file.size() < maskAt + 4 * count) return false;
        for (std::size_t i = 0; i < count; ++i) layout.masks[i] = Le32(&file[maskAt + 4 * i]);
    } else if (layout.bpp == 16) {
        layout.masks = {0x7C00, 0x03E0, 0x001F, 0};
    } else if (layout.bpp == 32) {
        layout.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    }
    return true;
}

// Entries missing from a short palette stay opaque black. Returns where the
// palette ends.
std::size_t ReadPalette(std::span<const std::uint8_t> file, std::size_t at, std::size_t entrySize,
                        std::uint32_t used, BmpLayout& layout) {
    layout.palette.fill(Rgba(0, 0, 0, 255));
    if (layout.bpp > 8) return at;
    const std::uint32_t full = 1u << layout.bpp;
    const std::uint32_t count = (used == 0 || used > full) ? full : used;
    for (std::uint32_t i = 0; i < count; ++i, at += entrySize)
        if (at + entrySize <= file.size())
            layout.palette[i] = Rgba(file[at + 2], file[at + 1], file[at], 255);
    return at;
}

// Parses the headers; OutOfMemory when the declared size is beyond the budget.
GpStatus ParseLayout(std::span<const std::uint8_t> file, BmpLayout& layout) {
    if (file.size() < kFileHeaderSize + 16 || file[0] != 'B' || file[1] != 'M')
        return UnknownImageFormat;
    const std::uint32_t headerSize = Le32(&file[14]);
    const bool core = headerSize == 12;
    if (!core && headerSize != 16 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 64 && headerSize != 108 && headerSize != 124)
        return UnknownImageFormat;
    detail::DibHeader dib;
    if (!detail::ReadDibHeader(file.subspan(kFileHeaderSize), dib)) return kDamaged;
    layout.bpp = dib.bits;
    layout.compression = dib.compression;
    // The 64-byte OS/2 header gives 3 and 4 other meanings (Huffman, RLE24).
    if (headerSize == 64 && layout.compression > kBiRle4) return NotImplemented;
    if (!ValidDepth(layout.compression, layout.bpp)) return NotImplemented;
    layout.topDown = dib.height < 0;
    const std::int64_t width = dib.width, height = dib.height < 0 ? -dib.height : dib.height;
    if (width <= 0 || height <= 0) return kDamaged;
    if (GpStatus s = CheckDeclaredSize(static_cast<std::uint64_t>(width),
                                       static_cast<std::uint64_t>(height));
        s != Ok)
        return s;
    layout.width = static_cast<std::uint32_t>(width);
    layout.height = static_cast<std::uint32_t>(height);

    std::size_t paletteAt = 0;
    if (!ReadMasks(file, headerSize, layout, paletteAt)) return kDamaged;
    const std::size_t paletteEnd =
        ReadPalette(file, paletteAt, core ? 3 : 4, dib.coloursUsed, layout);
    // Some writers leave the offset at zero or point it into the headers.
    const std::uint32_t offset = Le32(&file[10]);
    layout.pixelOffset = offset >= kFileHeaderSize + headerSize ? offset : paletteEnd;
    if (layout.pixelOffset >= file.size()) return kDamaged;
    return Ok;
}

// 32-bit pixels with a zero fourth byte everywhere carry no alpha.
void SettleAlpha(Bitmap& out, std::uint8_t alphaSeen) {
    if (alphaSeen != 0) {
        out.hasAlpha = true;
        return;
    }
    for (std::size_t i = 3; i < out.rgba.size(); i += 4) out.rgba[i] = 255;
}

void IndexedRow(const std::uint8_t* src, const BmpLayout& l, std::uint8_t* dst) {
    const unsigned bpp = l.bpp, perByte = 8 / bpp, mask = (1u << bpp) - 1;
    for (std::uint32_t x = 0; x < l.width; ++x) {
        const unsigned shift = 8 - bpp * (x % perByte + 1);
        Put(dst + 4 * std::size_t{x}, l.palette[(src[x / perByte] >> shift) & mask]);
    }
}

void Rgb24Row(const std::uint8_t* src, std::uint32_t width, std::uint8_t* dst) {
    for (std::uint32_t x = 0; x < width; ++x, src += 3, dst += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = 255;
    }
}

std::uint8_t Bgra32Row(const std::uint8_t* src, std::uint32_t width, std::uint8_t* dst) {
    std::uint8_t alphaSeen = 0;
    for (std::uint32_t x = 0; x < width; ++x, src += 4, dst += 4) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
        dst[3] = src[3];
        alphaSeen |= src[3];
    }
    return alphaSeen;
}

std::uint8_t MaskedRow(const std::uint8_t* src, const BmpLayout& l,
                       const std::array<Channel, 4>& ch, std::uint8_t* dst) {
    std::uint8_t alphaSeen = 0;
    const std::size_t step = l.bpp / 8;
    for (std::uint32_t x = 0; x < l.width; ++x, src += step, dst += 4) {
        const std::uint32_t px = step == 2 ? Le16(src) : Le32(src);
        dst[0] = ch[0].Get(px, 0);
        dst[1] = ch[1].Get(px, 0);
        dst[2] = ch[2].Get(px, 0);
        dst[3] = ch[3].Get(px, 255);
        alphaSeen |= dst[3];
    }
    return alphaSeen;
}

GpStatus DecodeRows(std::span<const std::uint8_t> file, const BmpLayout& l, Bitmap& out) {
    const std::uint64_t stride = ((std::uint64_t{l.width} * l.bpp + 31) / 32) * 4;
    const std::uint64_t lastRow = (std::uint64_t{l.width} * l.bpp + 7) / 8;
    if (file.size() - l.pixelOffset < stride * (l.height - 1) + lastRow) return kDamaged;
    const std::array<Channel, 4> ch{Channel(l.masks[0]), Channel(l.masks[1]), Channel(l.masks[2]),
                                    Channel(l.masks[3])};
    const bool plainBgra = l.bpp == 32 && l.masks[0] == 0x00FF0000 && l.masks[1] == 0x0000FF00 &&
                           l.masks[2] == 0x000000FF && (l.masks[3] & ~0xFF000000u) == 0;
    // The fourth byte of 32-bit BI_RGB is padding in most files: it counts as
    // alpha only when some pixel uses it. An explicit alpha mask is taken as
    // written, a fully transparent picture included.
    const bool paddingOrAlpha = l.bpp == 32 && l.compression == kBiRgb;
    const bool alphaInData = paddingOrAlpha || ch[3].max != 0;
    std::uint8_t alphaSeen = 0;
    for (std::uint32_t y = 0; y < l.height; ++y) {
        const std::uint8_t* src = &file[l.pixelOffset + stride * y];
        std::uint8_t* dst = out.Row(l.topDown ? y : l.height - 1 - y);
        if (l.bpp <= 8)
            IndexedRow(src, l, dst);
        else if (l.bpp == 24)
            Rgb24Row(src, l.width, dst);
        else if (plainBgra && alphaInData)
            alphaSeen |= Bgra32Row(src, l.width, dst);
        else
            alphaSeen |= MaskedRow(src, l, ch, dst);
    }
    if (paddingOrAlpha)
        SettleAlpha(out, alphaSeen);
    else
        out.hasAlpha = alphaInData;
    return Ok;
}

// Run-length data: runs, end of line, end of bitmap, and deltas that skip
// pixels. Skipped pixels keep palette entry 0, as most readers show them.
class RleReader {
public:
    RleReader(const BmpLayout& l, Bitmap& out) : m_l(l), m_out(out) {}

    void Set(std::uint8_t index) {
        if (m_x < m_l.width && m_y < m_l.height) {
            const auto row = static_cast<std::uint32_t>(m_l.topDown ? m_y : m_l.height - 1 - m_y);
            Put(m_out.Row(row) + 4 * m_x, m_l.palette[index]);
        }
        ++m_x;
    }
    void Decode(std::span<const std::uint8_t> data, bool four) {
        std::size_t at = 0;
        while (at + 2 <= data.size() && m_y < m_l.height) {
            const std::uint8_t count = data[at], code = data[at + 1];
            at += 2;
            if (count > 0) {
                for (unsigned i = 0; i < count; ++i)
                    Set(four ? ((i % 2 == 0) ? code >> 4 : code & 0x0F) : code);
            } else if (code == 0) {
                m_x = 0;
                ++m_y;
            } else if (code == 1) {
                return;
            } else if (code == 2) {
                if (at + 2 > data.size()) return;
                m_x += data[at];
                m_y += data[at + 1];
                at += 2;
            } else {
                const std::size_t bytes = four ? (code + 1u) / 2 : code;
                if (at + bytes > data.size()) return;
                for (unsigned i = 0; i < code; ++i) {
                    const std::uint8_t b = data[at + (four ? i / 2 : i)];
                    Set(four ? ((i % 2 == 0) ? b >> 4 : b & 0x0F) : b);
                }
                at += (bytes + 1) & ~std::size_t{1};
            }
        }
    }

private:
    const BmpLayout& m_l;
    Bitmap& m_out;
    std::uint64_t m_x = 0;
    std::uint64_t m_y = 0;
};

GpStatus DecodeRle(std::span<const std::uint8_t> file, const BmpLayout& l, Bitmap& out) {
    for (std::uint32_t y = 0; y < l.height; ++y) {
        std::uint8_t* row = out.Row(y);
        for (std::uint32_t x = 0; x < l.width; ++x) Put(row + 4 * std::size_t{x}, l.palette[0]);
    }
    RleReader(l, out).Decode(file.subspan(l.pixelOffset), l.compression == kBiRle4);
    return Ok;
}

bool SniffBmp(std::span<const std::uint8_t> head) {
    if (head.size() < 18 || head[0] != 'B' || head[1] != 'M') return false;
    const std::uint32_t headerSize = Le32(&head[14]);
    return headerSize >= 12 && headerSize <= 124;
}

class BmpDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        BmpLayout layout;
        if (GpStatus s = ParseLayout(file, layout); s != Ok) return s;
        if (GpStatus s = AllocateBitmap(out, layout.width, layout.height); s != Ok) return s;
        if (layout.compression == kBiRle8 || layout.compression == kBiRle4)
            return DecodeRle(file, layout, out);
        return DecodeRows(file, layout, out);
    }
};

void Store16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Store32(std::uint8_t* p, std::uint32_t v) {
    Store16(p, v & 0xFFFF);
    Store16(p + 2, v >> 16);
}

// The file header and a 40-byte header, or a V4 header with the four masks
// when alpha is kept. 3780 pixels per metre is 96 dpi.
std::vector<std::uint8_t> BmpHeaders(const Bitmap& image, std::uint32_t stride,
                                     std::uint32_t fileSize) {
    const bool alpha = image.hasAlpha;
    const std::uint32_t infoSize = alpha ? 108 : 40;
    std::vector<std::uint8_t> h(kFileHeaderSize + infoSize, 0);
    h[0] = 'B';
    h[1] = 'M';
    Store32(&h[2], fileSize);
    Store32(&h[10], static_cast<std::uint32_t>(h.size()));
    std::uint8_t* i = &h[14];
    Store32(i, infoSize);
    Store32(i + 4, image.width);
    Store32(i + 8, image.height);
    Store16(i + 12, 1);
    Store16(i + 14, alpha ? 32 : 24);
    Store32(i + 16, alpha ? kBiBitfields : kBiRgb);
    Store32(i + 20, stride * image.height);
    Store32(i + 24, 3780);
    Store32(i + 28, 3780);
    if (alpha) {
        Store32(i + 40, 0x00FF0000);
        Store32(i + 44, 0x0000FF00);
        Store32(i + 48, 0x000000FF);
        Store32(i + 52, 0xFF000000);
        Store32(i + 56, 0x73524742);  // 'sRGB'
    }
    return h;
}

void EncodeRow(const std::uint8_t* src, std::uint32_t width, bool alpha, std::uint8_t* dst) {
    for (std::uint32_t x = 0; x < width; ++x, src += 4) {
        *dst++ = src[2];
        *dst++ = src[1];
        *dst++ = src[0];
        if (alpha) *dst++ = src[3];
    }
}

// Rows are converted in batches of about this many bytes side by side and
// written in order (bottom row first) while later batches are converted.
constexpr std::size_t kBatchBytes = 256 * 1024;

GpStatus WriteRows(const Bitmap& image, std::size_t stride, std::FILE* out) {
    const auto rowsPer =
        static_cast<std::uint32_t>(std::clamp<std::size_t>(kBatchBytes / stride, 1, image.height));
    const std::uint32_t batches = (image.height + rowsPer - 1) / rowsPer;
    const std::size_t ahead = std::min<std::size_t>(batches, 2 * std::size_t{WorkerCount()});
    // Zeroed once: the padding at each row's end stays zero.
    std::vector<std::vector<std::uint8_t>> slots(ahead,
                                                 std::vector<std::uint8_t>(stride * rowsPer, 0));
    const auto rowsOf = [&](std::size_t batch) {
        return std::min<std::uint32_t>(rowsPer,
                                       image.height - static_cast<std::uint32_t>(batch) * rowsPer);
    };
    const auto convert = [&](std::size_t batch, unsigned) {
        std::uint8_t* dst = slots[batch % ahead].data();
        // Batch 0 holds the bottom rows.
        std::uint32_t y = image.height - static_cast<std::uint32_t>(batch) * rowsPer;
        for (std::uint32_t n = rowsOf(batch); n-- > 0; dst += stride)
            EncodeRow(image.Row(--y), image.width, image.hasAlpha, dst);
    };
    const auto write = [&](std::size_t batch) {
        const std::size_t size = stride * rowsOf(batch);
        return std::fwrite(slots[batch % ahead].data(), 1, size, out) == size;
    };
    return ParallelInOrder(batches, ahead, convert, write) ? Ok : Win32Error;
}

class BmpEncoder final : public Encoder {
public:
    GpStatus Encode(const Bitmap& image, std::FILE* out) const override {
        if (image.width == 0 || image.height == 0 || out == nullptr) return InvalidParameter;
        const std::uint64_t stride =
            (std::uint64_t{image.width} * (image.hasAlpha ? 4 : 3) + 3) & ~std::uint64_t{3};
        const std::uint64_t total =
            kFileHeaderSize + (image.hasAlpha ? 108 : 40) + stride * image.height;
        if (total > 0xFFFFFFFFu) return ValueOverflow;
        try {
            // No common viewer colour-manages a BMP: its pixels are written in sRGB.
            GpStatus converted = Ok;
            const Bitmap* pixels = SrgbPixels(image, converted);
            if (pixels == nullptr) return converted;
            const auto headers = BmpHeaders(*pixels, static_cast<std::uint32_t>(stride),
                                            static_cast<std::uint32_t>(total));
            if (std::fwrite(headers.data(), 1, headers.size(), out) != headers.size())
                return Win32Error;
            return WriteRows(*pixels, static_cast<std::size_t>(stride), out);
        } catch (const std::bad_alloc&) {
            return OutOfMemory;
        }
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<BmpDecoder>();
}
std::unique_ptr<Encoder> MakeEncoder() {
    return std::make_unique<BmpEncoder>();
}

}  // namespace

constinit const CodecDescriptor kBmpCodec{
    .name = "bmp",
    // "BM" alone is weak: tried after the formats with long signatures.
    .priority = 70,
    .signatures = {{{0, "BM"}}},
    .sniff = SniffBmp,
    .makeDecoder = MakeDecoder,
    .makeEncoder = MakeEncoder,
    .published = {0x557CF400, 0xB96B3CAB, u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE",
                  u"image/bmp"},
};

}  // namespace gdip
