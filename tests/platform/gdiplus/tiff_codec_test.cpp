// TIFF: round trips through our writer, layouts written with libtiff
// directly, exotic files made by ImageMagick, and the Orientation tag.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

gdip::Bitmap DecodeTiff(const Bytes& file, GpStatus expected = Ok) {
    gdip::Bitmap out;
    std::string printed;
    EXPECT_EQ(DecodeWatched(*gdip::kTiffCodec.makeDecoder(), file, out, printed), expected);
    EXPECT_EQ(printed, "");
    return out;
}

TEST(TiffCodec, RoundTripIsExact) {
    for (bool alpha : {false, true})
        for (auto [w, h] : {std::pair{1u, 1u}, {7u, 3u}, {64u, 48u}, {1000u, 130u}}) {
            const gdip::Bitmap src = Asymmetric(w, h, alpha);
            const gdip::Bitmap back = DecodeTiff(Encode(*gdip::kTiffCodec.makeEncoder(), src));
            EXPECT_EQ(back.width, w);
            EXPECT_EQ(back.hasAlpha, alpha);
            EXPECT_EQ(back.rgba, src.rgba) << w << "x" << h << " alpha " << alpha;
        }
}

TEST(TiffCodec, WritesLzwContiguousEightBitWithUnassociatedAlpha) {
    testsupport::TempDir dir;
    const auto path = dir.Path() / "a.tif";
    // Written the way the runtime saves: to a stream opened for writing only.
    std::FILE* out = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(gdip::kTiffCodec.makeEncoder()->Encode(Asymmetric(300, 500, true), out), Ok);
    std::fclose(out);
    EXPECT_EQ(DecodeTiff(ReadBytes(path)).rgba, Asymmetric(300, 500, true).rgba);
    TIFF* tif = TIFFOpen(path.string().c_str(), "r");
    ASSERT_NE(tif, nullptr);
    std::uint16_t compression = 0, planar = 0, bits = 0, samples = 0, count = 0;
    std::uint16_t* extra = nullptr;
    std::uint32_t rows = 0;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &extra);
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    EXPECT_EQ(compression, COMPRESSION_LZW);
    EXPECT_EQ(planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(samples, 4);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(extra[0], EXTRASAMPLE_UNASSALPHA);
    EXPECT_GT(rows, 1u);
    EXPECT_LT(rows, 500u);
    TIFFClose(tif);
}

using Layout = testsupport::TiffLayout;
using testsupport::LibtiffFile;

TEST(TiffCodec, ReadsGreyOfEveryDepthEitherPolarity) {
    for (std::uint16_t bits : {1, 2, 4, 8, 16})
        for (bool whiteIsZero : {false, true}) {
            Layout l;
            l.bits = bits, l.samples = 1;
            l.photometric = whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
            const std::uint32_t max = (1u << bits) - 1;
            auto v = [max](int x, int y, int) { return std::uint32_t(x * 7 + y * 3) % (max + 1); };
            const gdip::Bitmap b = DecodeTiff(LibtiffFile(l, v));
            ASSERT_EQ(b.width, l.w);
            for (std::uint32_t y = 0; y < l.h; ++y)
                for (std::uint32_t x = 0; x < l.w; ++x) {
                    int level = int((v(int(x), int(y), 0) * 255 + max / 2) / max);
                    if (whiteIsZero) level = 255 - level;
                    EXPECT_EQ(PixelAt(b, x, y), (Pixel{std::uint8_t(level), std::uint8_t(level),
                                                       std::uint8_t(level), 255}))
                        << bits << " bits at " << x << "," << y;
                }
        }
}

TEST(TiffCodec, ReadsPalettesOfEveryDepth) {
    for (std::uint16_t bits : {1, 2, 4, 8}) {
        Layout l;
        l.bits = bits, l.samples = 1, l.photometric = PHOTOMETRIC_PALETTE;
        const std::size_t n = std::size_t{1} << bits;
        l.map.resize(3 * n);
        for (std::size_t i = 0; i < 3 * n; ++i) l.map[i] = std::uint16_t((i * 97 % 256) * 257);
        auto v = [n](int x, int y, int) { return std::uint32_t(x + y * 5) % n; };
        const gdip::Bitmap b = DecodeTiff(LibtiffFile(l, v));
        for (std::uint32_t y = 0; y < l.h; ++y)
            for (std::uint32_t x = 0; x < l.w; ++x) {
                const std::size_t i = v(int(x), int(y), 0);
                EXPECT_EQ(PixelAt(b, x, y),
                          (Pixel{std::uint8_t(l.map[i] >> 8), std::uint8_t(l.map[i + n] >> 8),
                                 std::uint8_t(l.map[i + 2 * n] >> 8), 255}));
            }
    }
}

TEST(TiffCodec, ReadsRgbLayoutsWithAlpha) {
    struct Case {
        const char* name;
        std::uint16_t bits, planar, extra;
        std::uint32_t tile;
    } cases[] = {
        {"8-bit unassociated", 8, PLANARCONFIG_CONTIG, EXTRASAMPLE_UNASSALPHA, 0},
        {"16-bit unassociated", 16, PLANARCONFIG_CONTIG, EXTRASAMPLE_UNASSALPHA, 0},
        {"8-bit planes", 8, PLANARCONFIG_SEPARATE, EXTRASAMPLE_UNASSALPHA, 0},
        {"8-bit tiles", 8, PLANARCONFIG_CONTIG, EXTRASAMPLE_UNASSALPHA, 16},
        {"16-bit tiled planes", 16, PLANARCONFIG_SEPARATE, EXTRASAMPLE_UNASSALPHA, 16},
        {"8-bit associated", 8, PLANARCONFIG_CONTIG, EXTRASAMPLE_ASSOCALPHA, 0},
        {"unspecified extra is not alpha", 8, PLANARCONFIG_CONTIG, EXTRASAMPLE_UNSPECIFIED, 0},
    };
    for (const auto& c : cases) {
        Layout l;
        l.w = 37, l.h = 21, l.bits = c.bits, l.samples = 4, l.planar = c.planar;
        l.extra = c.extra, l.tile = c.tile;
        const gdip::Bitmap want = Asymmetric(l.w, l.h, c.extra != EXTRASAMPLE_UNSPECIFIED);
        const bool premultiply = c.extra == EXTRASAMPLE_ASSOCALPHA;
        auto v = [&](int x, int y, int s) {
            const Pixel p = PixelAt(want, std::uint32_t(x), std::uint32_t(y));
            std::uint32_t e = s < 3 && premultiply ? (p[s] * p[3] + 127) / 255 : p[s];
            if (s == 3 && c.extra == EXTRASAMPLE_UNSPECIFIED) e = 77;
            return c.bits == 16 ? e * 257 : e;
        };
        const gdip::Bitmap b = DecodeTiff(LibtiffFile(l, v));
        EXPECT_EQ(b.hasAlpha, c.extra != EXTRASAMPLE_UNSPECIFIED) << c.name;
        if (premultiply) {
            // Straight colour from premultiplied is only as exact as the
            // premultiplied value let it be.
            for (std::uint32_t y = 0; y < l.h; ++y)
                for (std::uint32_t x = 0; x < l.w; ++x) {
                    const Pixel got = PixelAt(b, x, y), exp = PixelAt(want, x, y);
                    EXPECT_EQ(got[3], exp[3]);
                    for (int k = 0; k < 3; ++k)
                        EXPECT_NEAR(got[k], exp[k], 255.0 / std::max<int>(exp[3], 1)) << c.name;
                }
        } else {
            EXPECT_EQ(b.rgba, want.rgba) << c.name;
        }
    }
}

gdip::Bitmap DecodeMadeByConvert(const gdip::Bitmap& src, const std::vector<std::string>& options) {
    testsupport::TempDir dir;
    const auto in = dir.Path() / "in.pam", out = dir.Path() / "out.tif";
    WritePam(in, src);
    std::vector<std::string> args{in.string()};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(out.string());
    EXPECT_TRUE(Convert(args));
    return DecodeTiff(ReadBytes(out));
}

gdip::Bitmap Grey(const gdip::Bitmap& src) {
    gdip::Bitmap g = src;
    for (std::size_t i = 0; i < g.rgba.size(); i += 4) g.rgba[i + 1] = g.rgba[i + 2] = g.rgba[i];
    return g;
}

TEST(TiffCodec, ReadsExoticFilesMadeByImageMagick) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const gdip::Bitmap photo = SmoothWaves(61, 43);
    const gdip::Bitmap grey = Grey(photo);
    struct Case {
        const char* name;
        const gdip::Bitmap& src;
        std::vector<std::string> options;
        double minPsnr;
    } cases[] = {
        {"CMYK", photo, {"-colorspace", "CMYK"}, 35},
        {"YCbCr JPEG", photo, {"-compress", "JPEG", "-quality", "95"}, 30},
        {"palette", photo, {"-colors", "200", "-type", "Palette"}, 28},
        {"16-bit", photo, {"-depth", "16"}, 1000},
        {"min-is-white",
         grey,
         {"-colorspace", "Gray", "-define", "tiff:photometric=min-is-white"},
         45},
        {"tiled", photo, {"-define", "tiff:tile-geometry=16x16"}, 1000},
        {"planar", photo, {"-interlace", "Plane"}, 1000},
    };
    for (const auto& c : cases) {
        const gdip::Bitmap b = DecodeMadeByConvert(c.src, c.options);
        EXPECT_GE(Psnr(b, c.src), c.minPsnr) << c.name;
    }
    // 1-bit: two levels only, and the two halves where they belong.
    const gdip::Bitmap halves = MakeBitmap(16, 4, false, [](std::uint32_t x, std::uint32_t) {
        const std::uint8_t v = x < 8 ? 0 : 255;
        return Pixel{v, v, v, 255};
    });
    EXPECT_EQ(DecodeMadeByConvert(halves, {"-monochrome"}).rgba, halves.rgba);
    // Alpha through ImageMagick's tiles.
    const gdip::Bitmap alpha = Asymmetric(40, 30, true);
    const gdip::Bitmap tiled = DecodeMadeByConvert(alpha, {"-define", "tiff:tile-geometry=16x16"});
    EXPECT_TRUE(tiled.hasAlpha);
    EXPECT_LE(MaxDifference(tiled, alpha), 1);
}

// ImageMagick's inverse of each orientation turns an upright picture into
// what a camera would store with that tag.
TEST(TiffCodec, OrientationTagTurnsEveryValueUpright) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const gdip::Bitmap upright = Asymmetric(7, 3);
    const std::vector<std::string> stored[] = {{},
                                               {"-flop"},
                                               {"-rotate", "180"},
                                               {"-flip"},
                                               {"-transpose"},
                                               {"-rotate", "-90"},
                                               {"-transverse"},
                                               {"-rotate", "90"}};
    const char* names[] = {"TopLeft", "TopRight", "BottomRight", "BottomLeft",
                           "LeftTop", "RightTop", "RightBottom", "LeftBottom"};
    for (int v = 1; v <= 8; ++v) {
        std::vector<std::string> options = stored[v - 1];
        options.insert(options.end(), {"-orient", names[v - 1]});
        EXPECT_EQ(DecodeMadeByConvert(upright, options).rgba, upright.rgba) << "orientation " << v;
        // CMYK goes through libtiff's own reader: the same turn must come out.
        options.insert(options.end(), {"-colorspace", "CMYK"});
        EXPECT_LE(MaxDifference(DecodeMadeByConvert(upright, options), upright), 2)
            << "CMYK, orientation " << v;
    }
}

}  // namespace
