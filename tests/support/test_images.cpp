// Pictures with known pixels, their encoding to bytes, and the measures.
#include "tests/support/test_images.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "tests/support/temp_dir.h"

namespace testsupport {

namespace {

bool SameSize(const gdip::Bitmap& a, const gdip::Bitmap& b) {
    return a.width == b.width && a.height == b.height && a.rgba.size() == b.rgba.size();
}

}  // namespace

gdip::Bitmap MakeBitmap(std::uint32_t w, std::uint32_t h, bool alpha,
                        const std::function<Pixel(std::uint32_t, std::uint32_t)>& at) {
    gdip::Bitmap b;
    b.width = w;
    b.height = h;
    b.hasAlpha = alpha;
    b.rgba.resize(std::size_t{w} * h * 4);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) {
            Pixel p = at(x, y);
            if (!alpha) p[3] = 255;
            std::copy(p.begin(), p.end(), b.Row(y) + std::size_t{x} * 4);
        }
    return b;
}

gdip::Bitmap Pattern(std::uint32_t w, std::uint32_t h, bool alpha) {
    return MakeBitmap(w, h, alpha, [](std::uint32_t x, std::uint32_t y) {
        return Pixel{static_cast<std::uint8_t>(x * 37 + y * 11 + 3),
                     static_cast<std::uint8_t>(x * 5 + y * 71 + 100),
                     static_cast<std::uint8_t>((x ^ y) * 29 + 7),
                     static_cast<std::uint8_t>(x * 13 + y * 17)};
    });
}

gdip::Bitmap GrayPattern(std::uint32_t w, std::uint32_t h) {
    gdip::Bitmap b = Pattern(w, h, false);
    for (std::size_t i = 0; i < b.rgba.size(); i += 4) b.rgba[i + 1] = b.rgba[i + 2] = b.rgba[i];
    return b;
}

gdip::Bitmap Asymmetric(std::uint32_t w, std::uint32_t h, bool alpha) {
    return MakeBitmap(w, h, alpha, [](std::uint32_t x, std::uint32_t y) {
        return Pixel{static_cast<std::uint8_t>(x * 37 + 11), static_cast<std::uint8_t>(y * 53 + 7),
                     static_cast<std::uint8_t>((x * 5 + y * 17) * 3),
                     static_cast<std::uint8_t>(255 - (x + y) * 9)};
    });
}

gdip::Bitmap Smooth(std::uint32_t w, std::uint32_t h) {
    return MakeBitmap(w, h, false, [w, h](std::uint32_t x, std::uint32_t y) {
        return Pixel{static_cast<std::uint8_t>(128 + 100 * std::sin(x / 9.0)),
                     static_cast<std::uint8_t>(128 + 100 * std::cos(y / 7.0)),
                     static_cast<std::uint8_t>((x + y) * 255 / (w + h)), 255};
    });
}

gdip::Bitmap SmoothWaves(std::uint32_t w, std::uint32_t h) {
    return MakeBitmap(w, h, false, [w, h](std::uint32_t x, std::uint32_t y) {
        const double u = double(x) / w, v = double(y) / h;
        auto c = [](double t) { return static_cast<std::uint8_t>(std::clamp(t, 0.0, 1.0) * 255); };
        return Pixel{c(0.5 + 0.45 * std::sin(6 * u + 2 * v)), c(u * 0.7 + v * 0.3),
                     c(0.5 + 0.4 * std::cos(5 * v - 3 * u * v)), 255};
    });
}

Pixel PixelAt(const gdip::Bitmap& b, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = b.Row(y) + std::size_t{x} * 4;
    return {p[0], p[1], p[2], p[3]};
}

Bytes Encode(const gdip::Encoder& encoder, const gdip::Bitmap& image, GpStatus* status) {
    std::FILE* f = ScratchFile();
    if (f == nullptr) return {};
    const GpStatus s = encoder.Encode(image, f);
    if (status != nullptr) *status = s;
    Bytes bytes;
    std::fflush(f);
    std::rewind(f);
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<std::uint8_t>(c));
    std::fclose(f);
    return bytes;
}

void Put16(Bytes& b, std::uint32_t v) {
    b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v), Put16(b, v >> 16);
}

Bytes IconBitmap(const gdip::Bitmap& img, int bits, const std::vector<Pixel>& palette) {
    Bytes b;
    Put32(b, 40), Put32(b, img.width), Put32(b, img.height * 2), Put16(b, 1), Put16(b, bits);
    Put32(b, 0), Put32(b, 0), Put32(b, 0), Put32(b, 0), Put32(b, std::uint32_t(palette.size()));
    Put32(b, 0);
    for (const Pixel& p : palette) b.insert(b.end(), {p[2], p[1], p[0], 0});
    const std::size_t stride = (std::size_t{img.width} * bits + 31) / 32 * 4;
    const std::size_t maskStride = (std::size_t{img.width} + 31) / 32 * 4;
    for (std::uint32_t r = 0; r < img.height; ++r) {
        Bytes row(stride);
        const std::uint32_t y = img.height - 1 - r;
        for (std::uint32_t x = 0; x < img.width; ++x) {
            const Pixel p = PixelAt(img, x, y);
            if (bits >= 24) {
                std::uint8_t* d = row.data() + x * (bits / 8);
                d[0] = p[2], d[1] = p[1], d[2] = p[0];
                if (bits == 32) d[3] = p[3];
                continue;
            }
            std::size_t index = 0;
            while (index < palette.size() &&
                   !std::equal(p.begin(), p.begin() + 3, palette[index].begin()))
                ++index;
            const std::size_t bit = x * std::size_t(bits);
            row[bit / 8] |= std::uint8_t(index << (8 - bits - bit % 8));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    for (std::uint32_t r = 0; r < img.height; ++r) {
        Bytes row(maskStride);
        for (std::uint32_t x = 0; x < img.width; ++x)
            if (PixelAt(img, x, img.height - 1 - r)[3] < 128)
                row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

Bytes Icon(const std::vector<IconEntry>& entries) {
    Bytes b;
    Put16(b, 0), Put16(b, 1), Put16(b, std::uint32_t(entries.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
    for (const auto& e : entries) {
        b.push_back(std::uint8_t(e.w)), b.push_back(std::uint8_t(e.h)), b.push_back(0),
            b.push_back(0);
        Put16(b, 1), Put16(b, e.bits), Put32(b, std::uint32_t(e.data.size())), Put32(b, offset);
        offset += std::uint32_t(e.data.size());
    }
    for (const auto& e : entries) b.insert(b.end(), e.data.begin(), e.data.end());
    return b;
}

// A file that libtiff writes into memory, the same way on every system (a
// descriptor handed to TIFFFdOpen is a handle on Windows).
struct MemoryFile {
    Bytes bytes;
    std::size_t at = 0;
};

tmsize_t MemoryRead(thandle_t h, void* data, tmsize_t n) {
    auto* m = static_cast<MemoryFile*>(h);
    const std::size_t from = std::min(m->at, m->bytes.size());
    const std::size_t count = std::min(static_cast<std::size_t>(n), m->bytes.size() - from);
    std::memcpy(data, m->bytes.data() + from, count);
    m->at = from + count;
    return static_cast<tmsize_t>(count);
}

tmsize_t MemoryWrite(thandle_t h, void* data, tmsize_t n) {
    auto* m = static_cast<MemoryFile*>(h);
    const auto count = static_cast<std::size_t>(n);
    if (m->at + count > m->bytes.size()) m->bytes.resize(m->at + count);
    std::memcpy(m->bytes.data() + m->at, data, count);
    m->at += count;
    return n;
}

toff_t MemorySeek(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<MemoryFile*>(h);
    const toff_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes.size() : 0;
    m->at = static_cast<std::size_t>(base + offset);  // a negative offset wraps back
    return m->at;
}

int MemoryClose(thandle_t) {
    return 0;
}

toff_t MemorySize(thandle_t h) {
    return static_cast<MemoryFile*>(h)->bytes.size();
}

int NoMap(thandle_t, void**, toff_t*) {
    return 0;
}

void NoUnmap(thandle_t, void*, toff_t) {}

Bytes LibtiffFile(const TiffLayout& l, const std::function<std::uint32_t(int, int, int)>& value) {
    MemoryFile file;
    TIFF* tif = TIFFClientOpen("mem.tif", "w", &file, MemoryRead, MemoryWrite, MemorySeek,
                               MemoryClose, MemorySize, NoMap, NoUnmap);
    if (tif == nullptr) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, l.w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, l.h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, l.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, l.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, l.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, l.compression);
    if (l.compression == COMPRESSION_JPEG && l.photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    if (l.orientation != ORIENTATION_TOPLEFT) TIFFSetField(tif, TIFFTAG_ORIENTATION, l.orientation);
    if (l.extra != 0) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &l.extra);
    if (!l.map.empty()) {
        const std::size_t n = l.map.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, l.map.data(), l.map.data() + n, l.map.data() + 2 * n);
    }
    if (l.tile != 0) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, l.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, l.tile);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, l.rowsPerStrip);
    }
    const int planes = l.planar == PLANARCONFIG_CONTIG ? 1 : l.samples;
    const int perPlane = l.planar == PLANARCONFIG_CONTIG ? l.samples : 1;
    const std::uint32_t rows = l.tile ? (l.h + l.tile - 1) / l.tile * l.tile : l.h;
    const std::uint32_t cols = l.tile ? (l.w + l.tile - 1) / l.tile * l.tile : l.w;
    const std::size_t rowBytes = (std::size_t{cols} * perPlane * l.bits + 7) / 8;
    for (int p = 0; p < planes; ++p) {
        std::vector<std::uint8_t> plane(rowBytes * rows);
        for (std::uint32_t y = 0; y < l.h; ++y)
            for (std::uint32_t x = 0; x < l.w; ++x)
                for (int s = 0; s < perPlane; ++s) {
                    const std::uint32_t v = value(int(x), int(y), p + s);
                    const std::size_t i = std::size_t{x} * perPlane + s;
                    std::uint8_t* row = plane.data() + rowBytes * y;
                    if (l.bits == 16) {
                        std::memcpy(row + 2 * i, &v, 2);  // host order, as libtiff expects
                    } else {
                        const std::size_t bit = i * l.bits;
                        row[bit / 8] |= std::uint8_t(v << (8 - l.bits - bit % 8));
                    }
                }
        if (l.tile != 0) {
            const std::size_t tileRow = std::size_t{l.tile} * perPlane * l.bits / 8;
            std::vector<std::uint8_t> t(tileRow * l.tile);
            for (std::uint32_t ty = 0; ty < rows; ty += l.tile)
                for (std::uint32_t tx = 0; tx < cols; tx += l.tile) {
                    for (std::uint32_t r = 0; r < l.tile; ++r)
                        std::memcpy(t.data() + r * tileRow,
                                    plane.data() + (ty + r) * rowBytes + tx * perPlane * l.bits / 8,
                                    tileRow);
                    TIFFWriteTile(tif, t.data(), tx, ty, 0, std::uint16_t(p));
                }
        } else {
            for (std::uint32_t y = 0; y < l.h; ++y)
                TIFFWriteScanline(tif, plane.data() + rowBytes * y, y, std::uint16_t(p));
        }
    }
    TIFFClose(tif);
    return file.bytes;
}

Bytes WebpWithExif(const Bytes& simple, std::uint32_t w, std::uint32_t h,
                   std::uint16_t orientation) {
    Bytes exif = {'M',  'M',  0, 42, 0, 0, 0, 8, 0, 1,
                  0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, std::uint8_t(orientation),
                  0,    0,    0, 0,  0, 0};
    Bytes body = {'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'};
    Put32(body, 10);
    body.insert(body.end(), {0x08, 0, 0, 0});  // EXIF present
    body.insert(body.end(), {std::uint8_t(w - 1), std::uint8_t((w - 1) >> 8), 0,
                             std::uint8_t(h - 1), std::uint8_t((h - 1) >> 8), 0});
    body.insert(body.end(), simple.begin() + 12, simple.end());  // the VP8L chunk
    body.insert(body.end(), {'E', 'X', 'I', 'F'});
    Put32(body, std::uint32_t(exif.size()));
    body.insert(body.end(), exif.begin(), exif.end());
    Bytes file = {'R', 'I', 'F', 'F'};
    Put32(file, std::uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

namespace {

void PutBe(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + std::size_t(i)] = std::uint8_t(v >> (8 * (bytes - 1 - i)));
}

// Directories of 12-byte entries, big-endian, values after each directory.
struct ExifWriter {
    Bytes b = {'M', 'M', 0, 42, 0, 0, 0, 8};
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count;
        Bytes value;
    };
    // Writes a directory at the end; returns where, and where its
    // next-directory offset is.
    std::pair<std::size_t, std::size_t> Dir(const std::vector<Entry>& entries) {
        const std::size_t at = b.size();
        b.resize(at + 2 + entries.size() * 12 + 4);
        PutBe(b, at, std::uint32_t(entries.size()), 2);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            const std::size_t p = at + 2 + i * 12;
            PutBe(b, p, e.tag, 2), PutBe(b, p + 2, e.type, 2), PutBe(b, p + 4, e.count, 4);
            if (e.value.size() <= 4) {
                std::copy(e.value.begin(), e.value.end(), b.begin() + long(p + 8));
            } else {
                PutBe(b, p + 8, std::uint32_t(b.size()), 4);
                b.insert(b.end(), e.value.begin(), e.value.end());
                if (b.size() % 2) b.push_back(0);
            }
        }
        return {at, at + 2 + entries.size() * 12};
    }
};

Bytes Text(const char* s) {
    return Bytes(s, s + std::strlen(s) + 1);
}
Bytes Be(std::uint32_t v, int bytes) {
    Bytes b(4, 0);
    PutBe(b, 0, v, bytes);
    return b;
}

}  // namespace

Bytes CameraExif(std::uint16_t orientation, std::uint32_t w, std::uint32_t h) {
    ExifWriter x;
    // The main directory first, its EXIF pointer and next offset filled in after.
    const auto main = x.Dir({{0x010F, 2, 14, Text("Orvane Optics")},
                             {0x0110, 2, 5, Text("KX-7")},
                             {0x0112, 3, 1, Be(orientation, 2)},
                             {0x8769, 4, 1, Be(0, 4)}});
    const auto exif = x.Dir({{0x9003, 2, 20, Text("2024:05:06 07:08:09")},
                             {0xA002, 4, 1, Be(w, 4)},
                             {0xA003, 4, 1, Be(h, 4)}});
    PutBe(x.b, main.first + 2 + 3 * 12 + 8, std::uint32_t(exif.first), 4);
    const std::uint32_t thumb = std::uint32_t(x.b.size()) + 2 + 2 * 12 + 4;
    const auto ifd1 = x.Dir({{0x0201, 4, 1, Be(thumb, 4)}, {0x0202, 4, 1, Be(4, 4)}});
    x.b.insert(x.b.end(), {0xFF, 0xD8, 0xFF, 0xD9});
    PutBe(x.b, main.second, std::uint32_t(ifd1.first), 4);
    return x.b;
}

Bytes SampleXmp() {
    const char* xmp =
        "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
        "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
        "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/'>"
        "<dc:creator><rdf:Seq><rdf:li>Lin Wei</rdf:li></rdf:Seq></dc:creator>"
        "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end='w'?>";
    return Bytes(xmp, xmp + std::strlen(xmp));
}

int MaxDifference(const gdip::Bitmap& a, const gdip::Bitmap& b) {
    if (!SameSize(a, b)) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i)
        worst = std::max(worst, std::abs(int{a.rgba[i]} - int{b.rgba[i]}));
    return worst;
}

double Psnr(const gdip::Bitmap& a, const gdip::Bitmap& b) {
    if (!SameSize(a, b)) return 0;
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i) {
        if (i % 4 == 3) continue;
        const double d = static_cast<double>(a.rgba[i]) - static_cast<double>(b.rgba[i]);
        sum += d * d;
        ++n;
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(n)));
}

}  // namespace testsupport
