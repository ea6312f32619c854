// Hostile input for every decoder: cut, corrupted and random files, and tiny
// files declaring pictures far beyond the pixel budget. None may crash, hang,
// print, or report a broken file as decoded.
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <tuple>
// clang-format off
#include <jpeglib.h>
#include <zlib.h>
// clang-format on

#include "codec_test_util.h"
#include "heif_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace codectest;

struct Sample {
    std::string name;
    const gdip::CodecDescriptor* codec;
    Bytes file;
    // Bytes after the last row that a reader may do without: the end-of-image
    // marker, end chunk or terminator.
    std::size_t trailer = 0;
    std::unique_ptr<gdip::Decoder> decoder = codec->makeDecoder();
};

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
    return gdiptest::CompressJpeg(
        img.rgba, img.width, img.height, 4, JCS_EXT_RGBX, [](jpeg_compress_struct& c) {
            static const jpeg_scan_info kScans[] = {
                {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
            c.scan_info = kScans;
            c.num_scans = 3;
        });
}

// Small valid files of every format these decoders read; those that need
// ImageMagick or a HEIF encoder are left out when the tool is missing.
std::vector<Sample> Samples() {
    std::vector<Sample> s;
    const gdip::Bitmap alpha = Asymmetric(23, 17, true), photo = SmoothWaves(40, 24);
    const gdip::Bitmap opaque = Asymmetric(24, 17);  // BMP rows without padding
    s.push_back({"BMP 24-bit", &gdip::kBmpCodec, Encode(*gdip::kBmpCodec.makeEncoder(), opaque)});
    s.push_back({"BMP 32-bit", &gdip::kBmpCodec, Encode(*gdip::kBmpCodec.makeEncoder(), alpha)});
    s.push_back({"PNG RGB", &gdip::kPngCodec, Encode(*gdip::kPngCodec.makeEncoder(), opaque), 12});
    s.push_back({"PNG RGBA", &gdip::kPngCodec, Encode(*gdip::kPngCodec.makeEncoder(), alpha), 12});
    s.push_back({"JPEG", &gdip::kJpegCodec,
                 Encode(*gdip::kJpegCodec.makeEncoder(), SmoothWaves(40, 33)), 2});
    s.push_back({"JPEG, a scan per component", &gdip::kJpegCodec,
                 ScanPerComponentJpeg(SmoothWaves(40, 33)), 2});
    s.push_back({"GIF", &gdip::kGifCodec, Encode(*gdip::kGifCodec.makeEncoder(), alpha), 1});
    s.push_back({"TIFF", &gdip::kTiffCodec, Encode(*gdip::kTiffCodec.makeEncoder(), alpha)});
    s.push_back({"ICO", &gdip::kIcoCodec, SmallIcon(13, 9)});
    // Metadata in front of the rows: whole, and broken (an EXIF directory
    // that points back at itself, a profile cut short).
    gdip::Bitmap tagged = SmoothWaves(40, 24);
    tagged.meta.exif = testimages::CameraExif(6, 40, 24);
    tagged.meta.xmp = testimages::SampleXmp();
    const Bytes tags = Encode(*gdip::kTiffCodec.makeEncoder(), tagged);
    tagged.meta.icc.assign(tags.begin(), tags.begin() + 200);  // no profile at all
    s.push_back({"JPEG with metadata", &gdip::kJpegCodec,
                 Encode(*gdip::kJpegCodec.makeEncoder(), tagged), 2});
    tagged.meta.exif[8 + 2 + 3 * 12 + 8 + 3] = 8;
    s.push_back({"PNG with broken metadata", &gdip::kPngCodec,
                 Encode(*gdip::kPngCodec.makeEncoder(), tagged), 12});
    s.push_back({"TIFF with metadata", &gdip::kTiffCodec, tags});
    const std::tuple<const char*, std::vector<std::string>, std::size_t> converted[] = {
        {"progressive.jpg", {"-interlace", "JPEG"}, 2},
        {"jpeg.tif", {"-compress", "JPEG"}, 0},
        {"cmyk.tif", {"-colorspace", "CMYK", "-compress", "LZW"}, 0},
        {"lossy.webp", {"-quality", "80"}, 0},
        {"lossless.webp", {"-define", "webp:lossless=true"}, 0},
        {"interlaced.gif", {"-interlace", "GIF"}, 1},
    };
    for (const auto& [name, options, trailer] : converted) {
        Bytes file = ConvertedFrom(photo, name, options);
        if (file.empty()) continue;
        const std::string n(name);
        const gdip::CodecDescriptor* codec = n.ends_with(".tif")   ? &gdip::kTiffCodec
                                             : n.ends_with(".gif") ? &gdip::kGifCodec
                                             : n.ends_with(".jpg") ? &gdip::kJpegCodec
                                                                   : &gdip::kWebpCodec;
        s.push_back({n, codec, std::move(file), trailer});
    }
    const std::pair<const char*, heif_compression_format> heif[] = {{"HEIC", heif_compression_HEVC},
                                                                    {"AVIF", heif_compression_AV1}};
    for (const auto& [name, format] : heif) {
        Bytes file = MakeHeif(photo, format, heif_orientation_rotate_270_cw);
        if (!file.empty()) s.push_back({name, &gdip::kHeifCodec, std::move(file)});
    }
    return s;
}

GpStatus Watched(const gdip::Decoder& d, const Bytes& file, gdip::Bitmap& out,
                 const std::string& what) {
    std::string printed;
    const GpStatus status = DecodeWatched(d, file, out, printed);
    EXPECT_EQ(printed, "") << what;
    return status;
}

// The rule of Decoder::Decode, with the same cut points for every format: a
// file without its trailer is read whole, every other cut either refused or,
// where only bytes that no row needs were lost, read whole; none is read as a
// different picture, and none without half its bytes is read at all. A cut
// file whose trailer was put back after the cut is judged the same way.
TEST(HostileInput, ACutFileIsReadOnlyWhenEveryRowIsThere) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        gdip::Bitmap full;
        ASSERT_EQ(Watched(*s.decoder, s.file, full, s.name), Ok);
        const std::size_t rows = s.file.size() - s.trailer;
        gdip::Bitmap out;
        EXPECT_EQ(
            Watched(*s.decoder, Bytes(s.file.begin(), s.file.begin() + long(rows)), out, s.name),
            Ok);
        EXPECT_EQ(out.rgba, full.rgba);
        // Every length for files of a few kilobytes, about 400 spread over larger ones.
        const std::size_t step = s.file.size() <= 4096 ? 1 : s.file.size() / 400;
        for (std::size_t n = 0; n < s.file.size(); n += step) {
            Bytes cut(s.file.begin(), s.file.begin() + long(n));
            for (bool withTrailer : {false, true}) {
                if (withTrailer)
                    cut.insert(cut.end(), s.file.end() - long(s.trailer), s.file.end());
                out = {};
                const GpStatus status = Watched(*s.decoder, cut, out, s.name);
                if (n < s.file.size() / 2) {
                    EXPECT_NE(status, Ok) << "cut to " << n << (withTrailer ? " + trailer" : "");
                }
                if (status == Ok) {
                    EXPECT_EQ(out.rgba, full.rgba)
                        << "cut to " << n << (withTrailer ? " + trailer" : "");
                }
            }
        }
    }
}

// Bytes flipped behind the first two (so that the decoder is reached), and in
// every third round random bytes behind the eighth: a status, or a whole,
// consistent picture.
TEST(HostileInput, CorruptedFilesNeitherCrashNorPrint) {
    std::mt19937 rng(1234);
    for (const Sample& s : Samples()) {
        for (int round = 0; round < 300; ++round) {
            Bytes bad = s.file;
            const int flips = 1 + int(rng() % 8);
            for (int i = 0; i < flips; ++i) bad[2 + rng() % (bad.size() - 2)] = std::uint8_t(rng());
            if (round % 3 == 0)
                for (std::size_t i = 8; i < bad.size(); ++i) bad[i] = std::uint8_t(rng());
            gdip::Bitmap out;
            if (Watched(*s.decoder, bad, out, s.name) == Ok) {
                EXPECT_GT(out.width, 0u) << s.name;
                EXPECT_EQ(out.rgba.size(), std::size_t{out.width} * out.height * 4) << s.name;
            }
        }
    }
}

TEST(HostileInput, RandomBytesAfterTheSignatureFail) {
    using namespace std::string_literals;
    std::mt19937 rng(99);
    const std::pair<std::string, const gdip::CodecDescriptor*> formats[] = {
        {"GIF89a"s, &gdip::kGifCodec},
        {"II*\0"s, &gdip::kTiffCodec},
        {"MM\0*"s, &gdip::kTiffCodec},
        {"\0\0\1\0\1\0"s, &gdip::kIcoCodec},
        {"RIFF\0\1\0\0WEBPVP8 "s, &gdip::kWebpCodec},
        {"\0\0\0\x18"
         "ftypheic\0\0\0\0mif1heic"s,
         &gdip::kHeifCodec},
    };
    for (const auto& [magic, codec] : formats) {
        const auto decoder = codec->makeDecoder();
        for (int round = 0; round < 40; ++round) {
            Bytes junk(magic.begin(), magic.end());
            for (std::size_t i = 0, n = rng() % 3000; i < n; ++i)
                junk.push_back(std::uint8_t(rng()));
            ASSERT_TRUE(codec->sniff(junk)) << magic;
            gdip::Bitmap out;
            EXPECT_NE(Watched(*decoder, junk, out, magic), Ok) << magic << " round " << round;
        }
    }
}

TEST(HostileInput, EachDecoderSniffsOnlyItsOwnFormat) {
    const auto samples = Samples();
    for (const Sample& a : samples)
        for (const Sample& b : samples) {
            EXPECT_EQ(a.codec->sniff(b.file), a.codec == b.codec)
                << a.name << " sniffing " << b.name;
        }
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

TEST(HostileInput, DeclaredSizesBeyondTheBudgetAreRefused) {
    Sample cases[] = {
        {"BMP", &gdip::kBmpCodec, HugeBmp()},    {"PNG", &gdip::kPngCodec, HugePng()},
        {"JPEG", &gdip::kJpegCodec, HugeJpeg()}, {"GIF", &gdip::kGifCodec, HugeGif()},
        {"TIFF", &gdip::kTiffCodec, HugeTiff()}, {"ICO", &gdip::kIcoCodec, HugeIco()},
        {"WebP", &gdip::kWebpCodec, HugeWebp()}, {"HEIF", &gdip::kHeifCodec, HugeHeif()},
    };
    for (const Sample& c : cases) {
        if (c.file.empty()) continue;  // no HEIF encoder to make the sample
        ASSERT_TRUE(c.codec->sniff(c.file)) << c.name;
        gdip::Bitmap out;
        EXPECT_EQ(Watched(*c.decoder, c.file, out, c.name), OutOfMemory) << c.name;
        EXPECT_EQ(out.rgba.capacity(), 0u) << c.name;
    }
}

// A grid image whose primary item declares 64 x 64 pixels while its grid
// data asks for an output of 57,343 pixels a side: only libheif reads that
// size, so it must be held to the budget's side before it allocates. Found
// by fuzzing.
const std::uint8_t kHeifHugeGrid[] = {
    0x00, 0x00, 0x00, 0x1c, 0x66, 0x74, 0x79, 0x70, 0x68, 0x65, 0x69, 0x63, 0x00, 0x00, 0x00, 0x00,
    0x6d, 0x69, 0x66, 0x31, 0x68, 0x65, 0x69, 0x63, 0x6d, 0x69, 0x61, 0x66, 0x00, 0x00, 0x01, 0xb7,
    0x6d, 0x65, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21, 0x68, 0x64, 0x6c, 0x72,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x70, 0x69, 0x63, 0x74, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0e, 0x70, 0x69, 0x74,
    0x6d, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x10, 0x69, 0x64, 0x61, 0x74, 0x00,
    0x00, 0x00, 0x00, 0xf7, 0xdf, 0xff, 0xdf, 0x00, 0x00, 0x00, 0x38, 0x69, 0x6c, 0x6f, 0x63, 0x01,
    0x00, 0x00, 0x00, 0x44, 0x40, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
    0xdb, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xa3, 0x00, 0x02, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00,
    0x00, 0x00, 0x38, 0x69, 0x69, 0x6e, 0x66, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x15, 0x69, 0x6e, 0x66, 0x65, 0x02, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x68, 0x76, 0x63,
    0x31, 0x00, 0x00, 0x00, 0x00, 0x15, 0x69, 0x6e, 0x66, 0x65, 0x02, 0x00, 0x00, 0x00, 0x00, 0x02,
    0x00, 0x00, 0x67, 0x72, 0x69, 0x64, 0x00, 0x00, 0x00, 0x00, 0xe2, 0x69, 0x70, 0x72, 0x70, 0x00,
    0x00, 0x00, 0xbf, 0x69, 0x70, 0x63, 0x6f, 0x00, 0x00, 0x00, 0x76, 0x68, 0x76, 0x63, 0x43, 0x01,
    0x03, 0x70, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1e, 0xf0, 0x00, 0xfc, 0xfd,
    0xf8, 0xf8, 0x00, 0x00, 0x0f, 0x03, 0x20, 0x00, 0x01, 0x00, 0x18, 0x40, 0x01, 0x0c, 0x01, 0xff,
    0xff, 0x03, 0x70, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x1e,
    0xba, 0x02, 0x40, 0x21, 0x00, 0x01, 0x00, 0x2a, 0x42, 0x01, 0x01, 0x03, 0x70, 0x00, 0x00, 0x03,
    0x00, 0x90, 0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x1e, 0xa0, 0x20, 0x81, 0x05, 0x96, 0xea,
    0xe4, 0xa6, 0xb9, 0xb8, 0x10, 0x10, 0x30, 0x20, 0x00, 0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x03,
    0x00, 0x21, 0x22, 0x00, 0x01, 0x00, 0x06, 0x44, 0x01, 0xc1, 0x73, 0xc0, 0x89, 0x00, 0x00, 0x00,
    0x14, 0x69, 0x73, 0x70, 0x65, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00,
    0x40, 0x00, 0x00, 0x00, 0x09, 0x69, 0x72, 0x6f, 0x74, 0x03, 0x00, 0x00, 0x00, 0x14, 0x69, 0x73,
    0x70, 0x65, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00,
    0x00, 0x10, 0x70, 0x69, 0x78, 0x69, 0x00, 0x00, 0x00, 0x00, 0x03, 0x08, 0x08, 0x08, 0x00, 0x00,
    0x00, 0x1b, 0x69, 0x70, 0x6d, 0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x01,
    0x02, 0x81, 0x02, 0x00, 0x02, 0x03, 0x03, 0x04, 0x85, 0x00, 0x00, 0x00, 0x1a, 0x69, 0x72, 0x65,
    0x66, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0e, 0x64, 0x69, 0x6d, 0x67, 0x00, 0x02, 0x00,
    0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0xab, 0x6d, 0x64, 0x4e, 0x34, 0x68, 0x65, 0x69, 0x66, 0x38,
    0x42, 0x6f, 0x78, 0x5f, 0x69, 0x73, 0x70, 0x65, 0x45, 0x6d, 0x43, 0x46, 0xe5, 0xf3, 0x16, 0x26,
    0x7f, 0xe0, 0xd9, 0xf8, 0x4f, 0x23, 0x63, 0xde, 0xc4, 0x42, 0xa4, 0xa7, 0xfb, 0x63, 0x94, 0x10,
    0x58, 0xd7, 0x3d, 0xcf, 0x58, 0xd1, 0x4e, 0xe5, 0x42, 0x3e, 0x79, 0x37, 0xde, 0x8e, 0x0b, 0x9d,
    0x52, 0x43, 0x75, 0xac, 0xdb, 0x93, 0xe9, 0x64, 0xfa, 0x00, 0xe8, 0x7d, 0x66, 0x50, 0x96, 0x85,
    0x4c, 0xc4, 0x23, 0x82, 0x19, 0x3e, 0x5d, 0xfa, 0x61, 0x9e, 0x98, 0x93, 0x2f, 0xf2, 0xef, 0xfe,
    0x30, 0xd0, 0x8a, 0x99, 0x9e, 0x2b, 0x0d, 0x32, 0x21, 0xc0, 0x06, 0xfd, 0x0d, 0x8f, 0x47, 0x0e,
    0x3a, 0x33, 0x12, 0xdc, 0x2e, 0xeb, 0x1d, 0x26, 0x53, 0x40, 0xd7, 0xe0, 0x11, 0x09, 0xaf, 0x3c,
    0x3b, 0x0e, 0x2c, 0x35, 0x00, 0x58, 0x33, 0xb8, 0xcd, 0xca, 0xc7, 0x06, 0x8a, 0x30, 0x1c, 0xde,
    0x60, 0x6b, 0x5a, 0x38, 0x6f, 0xa9, 0x6f, 0x56, 0x1d, 0x23, 0x14, 0xbc, 0x58, 0x54, 0x8f, 0x91,
    0x3b, 0x0e, 0x86, 0xc7, 0x7a, 0x51, 0xab, 0xd4, 0x4e, 0x78, 0xb5, 0x53, 0x64, 0xb0,
};

TEST(HostileInput, AGridLargerThanItsDeclaredSizeIsRefused) {
    const Bytes file(std::begin(kHeifHugeGrid), std::end(kHeifHugeGrid));
    auto decoder = gdip::kHeifCodec.makeDecoder();
    ASSERT_TRUE(gdip::kHeifCodec.sniff(file));
    gdip::Bitmap out;
    EXPECT_NE(Watched(*decoder, file, out, "HEIF grid"), Ok);
    EXPECT_TRUE(out.rgba.empty());
}

}  // namespace
