// Writes small valid files of every decoded format, one folder per fuzz
// target, as the fuzzers' starting inputs: fuzz_seeds <folder>.
// The runtime's own encoders make the formats they write; libtiff,
// libwebp and libheif make the variants that those encoders never write; and
// every codec's samples (tests/support/codec_samples.cpp) join them. Fails
// naming a codec of the list that got no seed.
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
// clang-format off
#include <jpeglib.h>  // after <cstdio>, which it needs
// clang-format on

#include "platform/gdiplus/runtime/codec.h"
#include "platform/gdiplus/runtime/colour.h"
#include "tests/support/codec_samples.h"
#include "tests/support/runtime_files.h"
#include "tests/support/test_images.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path g_root;

void Save(const std::string& target, const std::string& name, const Bytes& bytes) {
    if (bytes.empty()) return;
    fs::create_directories(g_root / target);
    std::ofstream(g_root / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

using testsupport::CameraExif;
using testsupport::Encode;
using testsupport::Icon;
using testsupport::IconBitmap;
using testsupport::Pattern;
using testsupport::SampleXmp;
using testsupport::WebpWithExif;

// A TIFF variant the runtime's writer never makes, turned (orientation 6).
struct TiffVariant {
    const char* name;
    std::uint16_t photometric, bits, samples, compression, planar;
    std::uint32_t tile;
};

Bytes TiffOf(const TiffVariant& v) {
    testsupport::TiffLayout l;
    l.w = 32, l.h = 24, l.rowsPerStrip = 8, l.orientation = ORIENTATION_RIGHTTOP;
    l.photometric = v.photometric, l.bits = v.bits, l.samples = v.samples;
    l.compression = v.compression, l.planar = v.planar, l.tile = v.tile;
    if (v.samples == 4 && v.photometric == PHOTOMETRIC_RGB) l.extra = EXTRASAMPLE_ASSOCALPHA;
    if (v.photometric == PHOTOMETRIC_PALETTE) {
        l.map.resize(3u << v.bits);
        for (std::size_t i = 0; i < l.map.size(); ++i) l.map[i] = std::uint16_t(i * 4099);
    }
    const std::uint32_t mask = v.bits >= 32 ? ~0u : (1u << v.bits) - 1;
    return testsupport::LibtiffFile(
        l, [mask](int x, int y, int s) { return std::uint32_t(x * 11 + y * 5 + s * 3) & mask; });
}

void TiffSeeds() {
    const TiffVariant variants[] = {
        {"grey1-g4.tif", PHOTOMETRIC_MINISWHITE, 1, 1, COMPRESSION_CCITTFAX4, PLANARCONFIG_CONTIG,
         0},
        {"grey8-deflate.tif", PHOTOMETRIC_MINISBLACK, 8, 1, COMPRESSION_ADOBE_DEFLATE,
         PLANARCONFIG_CONTIG, 0},
        {"grey16-tiled.tif", PHOTOMETRIC_MINISBLACK, 16, 1, COMPRESSION_LZW, PLANARCONFIG_CONTIG,
         16},
        {"palette4-packbits.tif", PHOTOMETRIC_PALETTE, 4, 1, COMPRESSION_PACKBITS,
         PLANARCONFIG_CONTIG, 0},
        {"rgb16-lzw.tif", PHOTOMETRIC_RGB, 16, 3, COMPRESSION_LZW, PLANARCONFIG_CONTIG, 0},
        {"rgba-planar-tiled.tif", PHOTOMETRIC_RGB, 8, 4, COMPRESSION_NONE, PLANARCONFIG_SEPARATE,
         16},
        {"ycbcr-jpeg.tif", PHOTOMETRIC_YCBCR, 8, 3, COMPRESSION_JPEG, PLANARCONFIG_CONTIG, 0},
        {"cmyk.tif", PHOTOMETRIC_SEPARATED, 8, 4, COMPRESSION_LZW, PLANARCONFIG_CONTIG, 0},
    };
    for (const auto& v : variants) Save("tiff", v.name, TiffOf(v));
}

// Pixels of the palette's two colours, for the indexed depths.
const std::vector<testsupport::Pixel> kTwoColours = {{0, 0, 0, 255}, {250, 240, 230, 255}};
gdip::Bitmap TwoColours(std::uint32_t side) {
    return testsupport::MakeBitmap(side, side, true, [](std::uint32_t x, std::uint32_t y) {
        testsupport::Pixel p = kTwoColours[(x + y) % 2];
        if ((x * 3 + y) % 7 == 0) p[3] = 0;
        return p;
    });
}

void IcoSeeds() {
    const gdip::Bitmap small = TwoColours(16), large = Pattern(20, 20, true);
    Save("ico", "depths.ico",
         Icon({{16, 16, 1, IconBitmap(small, 1, kTwoColours)},
               {16, 16, 4, IconBitmap(small, 4, kTwoColours)},
               {16, 16, 8, IconBitmap(small, 8, kTwoColours)}}));
    Save("ico", "true-colour.ico",
         Icon({{20, 20, 24, IconBitmap(large, 24, {})}, {20, 20, 32, IconBitmap(large, 32, {})}}));
    Save("ico", "png.ico",
         Icon({{24, 24, 32, Encode(*gdip::kPngCodec.makeEncoder(), Pattern(24, 24, true))}}));
}

Bytes WebpOf(const gdip::Bitmap& img, bool lossless) {
    std::uint8_t* out = nullptr;
    const int stride = int(img.width * 4);
    const std::size_t n =
        lossless
            ? WebPEncodeLosslessRGBA(img.rgba.data(), int(img.width), int(img.height), stride, &out)
            : WebPEncodeRGBA(img.rgba.data(), int(img.width), int(img.height), stride, 80, &out);
    Bytes bytes(out, out + n);
    WebPFree(out);
    return bytes;
}

void WebpSeeds() {
    const gdip::Bitmap img = Pattern(24, 16, true);
    Save("webp", "lossy.webp", WebpOf(img, false));
    Save("webp", "lossless.webp", WebpOf(img, true));
    Save("webp", "exif.webp", WebpWithExif(WebpOf(img, true), 24, 16, 6));
}

heif_error Append(heif_context*, const void* data, size_t size, void* out) {
    auto* bytes = static_cast<Bytes*>(out);
    bytes->insert(bytes->end(), static_cast<const std::uint8_t*>(data),
                  static_cast<const std::uint8_t*>(data) + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

Bytes HeifOf(heif_compression_format format, bool alpha) {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* enc = nullptr;
    Bytes out;
    if (heif_context_get_encoder_for_format(ctx, format, &enc).code == heif_error_Ok) {
        heif_encoder_set_lossy_quality(enc, 50);
        const gdip::Bitmap pic = Pattern(32, 32, alpha);
        heif_image* img = nullptr;
        heif_image_create(32, 32, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &img);
        heif_image_add_plane(img, heif_channel_interleaved, 32, 32, 8);
        int stride = 0;
        std::uint8_t* dst = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        const int channels = alpha ? 4 : 3;
        for (std::size_t i = 0; i < 32u * 32u; ++i)
            std::memcpy(dst + i / 32 * std::size_t(stride) + i % 32 * channels,
                        pic.rgba.data() + i * 4, channels);
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = heif_orientation_rotate_90_cw;
        if (heif_context_encode_image(ctx, img, enc, options, nullptr).code == heif_error_Ok) {
            heif_writer writer{1, Append};
            heif_context_write(ctx, &writer, &out);
        }
        heif_encoding_options_free(options);
        heif_image_release(img);
        heif_encoder_release(enc);
    }
    heif_context_free(ctx);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <folder>\n");
        return 2;
    }
    g_root = argv[1];
    const gdip::Bitmap rgb = Pattern(17, 11, false), rgba = Pattern(17, 11, true);
    for (const auto& [name, img] : {std::pair{"rgb", &rgb}, std::pair{"rgba", &rgba}}) {
        const std::string n(name);
        for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
            if (codec->makeEncoder == nullptr) continue;
            const std::string format(codec->name);
            Save(format, n + "." + format, Encode(*codec->makeEncoder(), *img));
        }
    }
    // Files carrying a profile, EXIF and XMP, for every format that writes
    // them, and the blocks alone for the metadata target.
    gdip::Bitmap tagged = Pattern(17, 11, false);
    const float adobe[8] = {0.64f, 0.33f, 0.21f, 0.71f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    tagged.meta.icc = gdip::IccFromPrimaries(adobe, 4);
    tagged.meta.exif = CameraExif(1, 17, 11);
    tagged.meta.xmp = SampleXmp();
    for (const gdip::CodecDescriptor* codec :
         {&gdip::kJpegCodec, &gdip::kPngCodec, &gdip::kTiffCodec})
        Save(std::string(codec->name), "metadata." + std::string(codec->name),
             Encode(*codec->makeEncoder(), tagged));
    Save("metadata", "camera.exif", CameraExif(6, 17, 11));
    Save("metadata", "wide.icc", tagged.meta.icc);
    Save("metadata", "packet.xmp", tagged.meta.xmp);
    TiffSeeds();
    IcoSeeds();
    WebpSeeds();
    // Tall enough for the roads of big JPEGs: a progressive file's scans read
    // side by side, then its bands.
    const gdip::Bitmap tall = Pattern(16, 520, false);
    Save("jpeg", "progressive-tall.jpg",
         testsupport::CompressJpeg(tall.rgba, tall.width, tall.height, 4, JCS_EXT_RGBX,
                                   [](jpeg_compress_struct& c) { jpeg_simple_progression(&c); }));
    // Wide enough for a PNG's rows to be unfiltered in columns side by side.
    Save("png", "wide.png", Encode(*gdip::kPngCodec.makeEncoder(), Pattern(200, 6, true)));
    heif_init(nullptr);
    Save("heif", "hevc.heic", HeifOf(heif_compression_HEVC, false));
    Save("heif", "hevc-alpha.heic", HeifOf(heif_compression_HEVC, true));
    Save("heif", "av1.avif", HeifOf(heif_compression_AV1, false));
    // The samples of every codec's row, which the hostile-input tests also
    // take; a codec of the list left without a seed stops the fuzzing pass.
    int missing = 0;
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        const std::string format(codec->name);
        const testsupport::CodecTestPieces* row = testsupport::TestPiecesFor(codec->name);
        if (row != nullptr && row->samples != nullptr) {
            int i = 0;
            for (const testsupport::CodecSample& sample : row->samples())
                Save(format, "sample-" + std::to_string(i++), sample.file);
        }
        if (!fs::exists(g_root / format) || fs::is_empty(g_root / format)) {
            std::fprintf(stderr,
                         "fuzz_seeds: no seed for codec %s (its row in "
                         "tests/support/codec_samples.cpp makes them)\n",
                         format.c_str());
            ++missing;
        }
    }
    return missing == 0 ? 0 : 1;
}
