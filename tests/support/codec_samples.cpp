// The test pieces of every codec: valid samples, files beyond the budget,
// the starts of files for random bytes, and pictures in formats only read.
#include "tests/support/codec_samples.h"

#include <libheif/heif.h>
#include <webp/encode.h>

#include <algorithm>
#include <array>
// clang-format off
#include <jpeglib.h>
#include <zlib.h>
// clang-format on

#include "tests/support/heif_files.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_images.h"

namespace testsupport {

namespace {

using namespace std::string_literals;

Bytes ConvertedFrom(const gdip::Bitmap& img, const std::string& name,
                    std::vector<std::string> options) {
    if (!HaveConvert()) return {};
    testsupport::TempDir dir;
    WritePam(dir.Path() / "in.pam", img);
    options.insert(options.begin(), (dir.Path() / "in.pam").string());
    options.push_back((dir.Path() / name).string());
    return Convert(options) ? ReadBytes(dir.Path() / name) : Bytes{};
}

// A one-entry icon whose 8-bit bitmap is w x h with a mask.
Bytes SmallIcon(std::uint32_t w, std::uint32_t h) {
    Bytes b;
    Put16(b, 0), Put16(b, 1), Put16(b, 1);
    b.insert(b.end(), {std::uint8_t(w), std::uint8_t(h), 0, 0});
    const std::uint32_t stride = (w + 3) / 4 * 4, mask = (w + 31) / 32 * 4;
    const std::uint32_t size = 40 + 256 * 4 + (stride + mask) * h;
    Put16(b, 1), Put16(b, 8), Put32(b, size), Put32(b, 22);
    Put32(b, 40), Put32(b, w), Put32(b, h * 2), Put16(b, 1), Put16(b, 8);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    for (std::uint32_t i = 0; i < 256; ++i)
        b.insert(b.end(), {std::uint8_t(i), std::uint8_t(255 - i), 90, 0});
    for (std::uint32_t i = 0; i < stride * h; ++i) b.push_back(std::uint8_t(i * 7));
    for (std::uint32_t i = 0; i < mask * h; ++i) b.push_back(std::uint8_t(i * 37));
    return b;
}

// A JPEG that carries each component in a scan of its own (sequential, not
// progressive): cut between two scans, every row is there but a component
// is not.
Bytes ScanPerComponentJpeg(const gdip::Bitmap& img) {
    return testsupport::CompressJpeg(
        img.rgba, img.width, img.height, 4, JCS_EXT_RGBX, [](jpeg_compress_struct& c) {
            static const jpeg_scan_info kScans[] = {
                {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
            c.scan_info = kScans;
            c.num_scans = 3;
        });
}

// Pictures that the samples are made of.
gdip::Bitmap Alpha() {
    return Asymmetric(23, 17, true);
}
gdip::Bitmap Opaque() {
    return Asymmetric(24, 17);  // BMP rows without padding
}
gdip::Bitmap Photo() {
    return SmoothWaves(40, 24);
}
Bytes Encoded(const gdip::CodecDescriptor& codec, const gdip::Bitmap& picture) {
    return Encode(*codec.makeEncoder(), picture);
}
// A photograph with metadata in front of its rows, whole and broken: TIFF
// with EXIF and XMP, JPEG with a profile that is no profile at all, PNG with
// that and an EXIF directory that points back at itself.
struct Tagged {
    Bytes tiff, jpeg, brokenPng;
};
Tagged TaggedFiles() {
    gdip::Bitmap tagged = SmoothWaves(40, 24);
    tagged.meta.exif = CameraExif(6, 40, 24);
    tagged.meta.xmp = SampleXmp();
    Tagged t;
    t.tiff = Encoded(gdip::kTiffCodec, tagged);
    tagged.meta.icc.assign(t.tiff.begin(), t.tiff.begin() + 200);
    t.jpeg = Encoded(gdip::kJpegCodec, tagged);
    tagged.meta.exif[8 + 2 + 3 * 12 + 8 + 3] = 8;
    t.brokenPng = Encoded(gdip::kPngCodec, tagged);
    return t;
}

// Samples made by ImageMagick from the photo: file name, options, trailer.
std::vector<CodecSample> Converted(
    std::initializer_list<std::tuple<const char*, std::vector<std::string>, std::size_t>> files) {
    std::vector<CodecSample> s;
    for (const auto& [name, options, trailer] : files) {
        Bytes file = ConvertedFrom(Photo(), name, options);
        if (!file.empty()) s.push_back({name, std::move(file), trailer});
    }
    return s;
}
std::vector<CodecSample> operator+(std::vector<CodecSample> a, std::vector<CodecSample> b) {
    for (CodecSample& s : b) a.push_back(std::move(s));
    return a;
}

// Tiny files declaring 100,000 x 100,000 pixels (GIF: its largest, 65,535
// square), refused as out of memory from their headers.
Bytes HugeGif() {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(b, 65535), Put16(b, 65535);
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});  // two-colour table
    b.push_back(0x2C);
    Put16(b, 0), Put16(b, 0), Put16(b, 65535), Put16(b, 65535);
    b.insert(b.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});
    return b;
}

Bytes HugeTiff() {
    Bytes b = {'I', 'I', 42, 0};
    Put32(b, 8);
    const std::uint32_t entries[][3] = {// tag, type (3 short, 4 long), value
                                        {256, 4, 100000}, {257, 4, 100000}, {258, 3, 8},
                                        {259, 3, 1},      {262, 3, 1},      {273, 4, 200},
                                        {277, 3, 1},      {278, 4, 100000}, {279, 4, 1000}};
    Put16(b, std::size(entries));
    for (const auto& e : entries) {
        Put16(b, e[0]), Put16(b, e[1]), Put32(b, 1);
        if (e[1] == 3)
            Put16(b, e[2]), Put16(b, 0);
        else
            Put32(b, e[2]);
    }
    Put32(b, 0);
    b.resize(1200, 0x55);
    return b;
}

Bytes HugeIco() {
    Bytes b;
    Put16(b, 0), Put16(b, 1), Put16(b, 1);
    b.insert(b.end(), {0, 0, 0, 0});
    Put16(b, 1), Put16(b, 32), Put32(b, 40), Put32(b, 22);
    Put32(b, 40), Put32(b, 100000), Put32(b, 200000), Put16(b, 1), Put16(b, 32);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    b.resize(b.size() + 64, 0);
    return b;
}

Bytes HugeWebp() {
    Bytes b = {'R', 'I', 'F', 'F'};
    Put32(b, 4 + 18);
    b.insert(b.end(), {'W', 'E', 'B', 'P', 'V', 'P', '8', 'X'});
    Put32(b, 10);
    b.insert(b.end(), {0, 0, 0, 0});
    const std::uint32_t side = 100000 - 1;
    for (int i = 0; i < 2; ++i)
        b.insert(b.end(), {std::uint8_t(side), std::uint8_t(side >> 8), std::uint8_t(side >> 16)});
    return b;
}

// A real HEIC whose image size boxes (ispe) are all rewritten.
Bytes HugeHeif() {
    Bytes b = MakeHeif(SmoothWaves(64, 48), heif_compression_HEVC, heif_orientation_normal);
    const char tag[] = "ispe";
    const std::uint8_t side[] = {0, 1, 0x86, 0xA0};  // 100000, big-endian
    int patched = 0;
    for (auto at = b.begin(); (at = std::search(at, b.end(), tag, tag + 4)) != b.end(); ++at) {
        if (b.end() - at < 16) return {};
        std::copy_n(side, 4, at + 8);
        std::copy_n(side, 4, at + 12);
        ++patched;
    }
    return patched > 0 ? b : Bytes{};
}

void Be32(Bytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes HugeBmp() {
    Bytes b = {'B', 'M'};
    Put32(b, 0), Put32(b, 0), Put32(b, 54);  // file size, reserved, pixel offset
    Put32(b, 40), Put32(b, 100000), Put32(b, 100000), Put16(b, 1), Put16(b, 24);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    return b;
}

Bytes HugePng() {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Be32(b, 13);
    const std::size_t type = b.size();
    b.insert(b.end(), {'I', 'H', 'D', 'R'});
    Be32(b, 100000);
    Be32(b, 100000);
    b.insert(b.end(), {8, 6, 0, 0, 0});
    Be32(b, static_cast<std::uint32_t>(crc32(0, b.data() + type, 17)));
    // An empty IDAT: the reader meets the pixel data, and stops at the size.
    Be32(b, 0);
    b.insert(b.end(), {'I', 'D', 'A', 'T'});
    Be32(b, static_cast<std::uint32_t>(crc32(0, b.data() + b.size() - 4, 4)));
    return b;
}

// Start of image, a baseline frame of 65000 x 65000 and a scan header: all
// that libjpeg reads before it tells the size.
Bytes HugeJpeg() {
    return {0xFF, 0xD8,                                                  // SOI
            0xFF, 0xC0, 0, 17,   8,    0xFD, 0xE8, 0xFD, 0xE8, 3,        // SOF0
            1,    0x22, 0, 2,    0x11, 1,    3,    0x11, 1,              //
            0xFF, 0xDA, 0, 12,   3,    1,    0x00, 2,    0x11, 3, 0x11,  // SOS
            0,    63,   0, 0xFF, 0xD9};
}

Bytes LosslessWebp(const gdip::Bitmap& img) {
    std::uint8_t* out = nullptr;
    const std::size_t n =
        WebPEncodeLosslessRGBA(img.rgba.data(), static_cast<int>(img.width),
                               static_cast<int>(img.height), static_cast<int>(img.width * 4), &out);
    Bytes b(out, out + n);
    WebPFree(out);
    return b;
}

const CodecTestPieces kPieces[] = {
    {"bmp",
     [] {
         return std::vector<CodecSample>{{"BMP 24-bit", Encoded(gdip::kBmpCodec, Opaque())},
                                         {"BMP 32-bit", Encoded(gdip::kBmpCodec, Alpha())}};
     },
     HugeBmp, [] { return std::vector<std::string>{"BM\0\0\0\0\0\0\0\0\0\0\0\0(\0\0\0"s}; }},
    {"jpeg",
     [] {
         return std::vector<CodecSample>{
                    {"JPEG", Encoded(gdip::kJpegCodec, SmoothWaves(40, 33)), 2},
                    {"JPEG, a scan per component", ScanPerComponentJpeg(SmoothWaves(40, 33)), 2},
                    {"JPEG with metadata", TaggedFiles().jpeg, 2}} +
                Converted({{"progressive.jpg", {"-interlace", "JPEG"}, 2}});
     },
     HugeJpeg, [] { return std::vector<std::string>{"\xFF\xD8\xFF\xE0"s}; }},
    {"gif",
     [] {
         return std::vector<CodecSample>{{"GIF", Encoded(gdip::kGifCodec, Alpha()), 1}} +
                Converted({{"interlaced.gif", {"-interlace", "GIF"}, 1}});
     },
     HugeGif, [] { return std::vector<std::string>{"GIF89a"s}; }},
    {"tiff",
     [] {
         return std::vector<CodecSample>{{"TIFF", Encoded(gdip::kTiffCodec, Alpha())},
                                         {"TIFF with metadata", TaggedFiles().tiff}} +
                Converted({{"jpeg.tif", {"-compress", "JPEG"}, 0},
                           {"cmyk.tif", {"-colorspace", "CMYK", "-compress", "LZW"}, 0}});
     },
     HugeTiff,
     [] {
         return std::vector<std::string>{"II*\0"s, "MM\0*"s};
     }},
    {"png",
     [] {
         return std::vector<CodecSample>{{"PNG RGB", Encoded(gdip::kPngCodec, Opaque()), 12},
                                         {"PNG RGBA", Encoded(gdip::kPngCodec, Alpha()), 12},
                                         {"PNG with broken metadata", TaggedFiles().brokenPng, 12}};
     },
     HugePng, [] { return std::vector<std::string>{"\x89PNG\r\n\x1A\n"s}; }},
    {"ico",
     [] {
         return std::vector<CodecSample>{{"ICO", SmallIcon(13, 9)}};
     },
     HugeIco, [] { return std::vector<std::string>{"\0\0\1\0\1\0"s}; },
     [](const gdip::Bitmap& i) {
         return Icon({{i.width, i.height, 32, IconBitmap(i, 32, {})}});
     }},
    {"webp",
     [] {
         return Converted({{"lossy.webp", {"-quality", "80"}, 0},
                           {"lossless.webp", {"-define", "webp:lossless=true"}, 0}});
     },
     HugeWebp, [] { return std::vector<std::string>{"RIFF\0\1\0\0WEBPVP8 "s}; }, LosslessWebp},
    {"heif",
     [] {
         std::vector<CodecSample> s;
         const std::pair<const char*, heif_compression_format> heif[] = {
             {"HEIC", heif_compression_HEVC}, {"AVIF", heif_compression_AV1}};
         for (const auto& [name, format] : heif) {
             Bytes file = MakeHeif(Photo(), format, heif_orientation_rotate_270_cw);
             if (!file.empty()) s.push_back({name, std::move(file)});
         }
         return s;
     },
     HugeHeif,
     [] {
         return std::vector<std::string>{
             "\0\0\0\x18"
             "ftypheic\0\0\0\0mif1heic"s};
     },
     [](const gdip::Bitmap& i) {
         return MakeHeif(i, heif_compression_HEVC, heif_orientation_normal);
     }},
};

}  // namespace

const CodecTestPieces* TestPiecesFor(std::string_view codec) {
    for (const CodecTestPieces& row : kPieces)
        if (row.codec == codec) return &row;
    return nullptr;
}

Bytes FileOf(const gdip::CodecDescriptor& codec, const gdip::Bitmap& picture) {
    if (codec.makeEncoder != nullptr) return Encode(*codec.makeEncoder(), picture);
    const CodecTestPieces* row = TestPiecesFor(codec.name);
    return row != nullptr && row->picture != nullptr ? row->picture(picture) : Bytes{};
}

}  // namespace testsupport
