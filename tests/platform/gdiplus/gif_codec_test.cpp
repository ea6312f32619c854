// GIF: our writer's palette and transparency, and the first frame of files
// made by ImageMagick (interlaced, transparent, animated, offset frames).
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gdiplus/runtime/lzw_coder.h"
#include "platform/gdiplus/runtime/quantize.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

gdip::Bitmap DecodeGif(const Bytes& file) {
    gdip::Bitmap out;
    std::string printed;
    EXPECT_EQ(DecodeWatched(*gdip::kGifCodec.makeDecoder(), file, out, printed), Ok);
    EXPECT_EQ(printed, "");
    return out;
}

// Nearest colour of the 6x6x6 web palette, the fixed palette a GIF writer
// without a quantiser would use.
gdip::Bitmap WebPalette(const gdip::Bitmap& src) {
    gdip::Bitmap out = src;
    for (std::size_t i = 0; i < out.rgba.size(); ++i)
        if (i % 4 != 3) out.rgba[i] = std::uint8_t(std::lround(out.rgba[i] / 51.0) * 51);
    return out;
}

bool Contains(const Bytes& b, std::initializer_list<std::uint8_t> seq) {
    return std::search(b.begin(), b.end(), seq.begin(), seq.end()) != b.end();
}

TEST(GifCodec, RoundTripKeepsSizeAndColours) {
    const auto few = [](std::uint32_t x, std::uint32_t y) {  // 12 colours: exact
        return Pixel{std::uint8_t(x % 4 * 80), std::uint8_t(y % 3 * 120), 200, 255};
    };
    for (auto [w, h] : {std::pair{1u, 1u}, {7u, 3u}, {64u, 48u}, {301u, 157u}}) {
        const gdip::Bitmap exact = MakeBitmap(w, h, false, few);
        const gdip::Bitmap back = DecodeGif(Encode(*gdip::kGifCodec.makeEncoder(), exact));
        ASSERT_EQ(back.width, w);
        ASSERT_EQ(back.height, h);
        EXPECT_FALSE(back.hasAlpha);
        EXPECT_LE(MaxDifference(back, exact), 1) << w << "x" << h;
        const gdip::Bitmap photo = SmoothWaves(w, h);
        EXPECT_GE(Psnr(DecodeGif(Encode(*gdip::kGifCodec.makeEncoder(), photo)), photo), 30.0);
    }
}

TEST(GifCodec, GreyStaysGrey) {
    const gdip::Bitmap grey = MakeBitmap(256, 8, false, [](std::uint32_t x, std::uint32_t) {
        return Pixel{std::uint8_t(x), std::uint8_t(x), std::uint8_t(x), 255};
    });
    EXPECT_LE(MaxDifference(DecodeGif(Encode(*gdip::kGifCodec.makeEncoder(), grey)), grey), 1);
}

TEST(GifCodec, PaletteBeatsTheFixedWebPalette) {
    const gdip::Bitmap photo = SmoothWaves(320, 240);
    const double ours = Psnr(DecodeGif(Encode(*gdip::kGifCodec.makeEncoder(), photo)), photo);
    const double fixed = Psnr(WebPalette(photo), photo);
    EXPECT_GT(ours, fixed + 5.0) << "ours " << ours << " dB, web palette " << fixed << " dB";
}

TEST(GifCodec, AlphaBecomesOneTransparentIndex) {
    // Alpha sweeps 0..255 across; colours vary down.
    const gdip::Bitmap src = MakeBitmap(64, 16, true, [](std::uint32_t x, std::uint32_t y) {
        return Pixel{std::uint8_t(y * 16), 90, std::uint8_t(255 - y * 16), std::uint8_t(x * 4)};
    });
    const Bytes file = Encode(*gdip::kGifCodec.makeEncoder(), src);
    ASSERT_GT(file.size(), 6u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "GIF89a");
    EXPECT_TRUE(Contains(file, {0x21, 0xF9, 0x04}));  // graphic control extension
    const gdip::Bitmap back = DecodeGif(file);
    EXPECT_TRUE(back.hasAlpha);
    for (std::uint32_t y = 0; y < 16; ++y)
        for (std::uint32_t x = 0; x < 64; ++x) {
            const Pixel got = PixelAt(back, x, y);
            ASSERT_EQ(got[3], x * 4 < 128 ? 0 : 255) << x << "," << y;
            if (got[3] == 255) {
                EXPECT_NEAR(got[0], y * 16, 24) << x << "," << y;
            }
        }
    // A picture that is all transparent keeps nothing but its transparency.
    const gdip::Bitmap clear = MakeBitmap(3, 2, true, [](std::uint32_t, std::uint32_t) {
        return Pixel{10, 20, 30, 0};
    });
    const gdip::Bitmap none = DecodeGif(Encode(*gdip::kGifCodec.makeEncoder(), clear));
    EXPECT_TRUE(none.hasAlpha);
    EXPECT_EQ(none.rgba, gdip::PixelBytes(3 * 2 * 4, 0));
    // Without alpha no transparency is written.
    gdip::Bitmap opaque = src;
    opaque.hasAlpha = false;
    const Bytes plain = Encode(*gdip::kGifCodec.makeEncoder(), opaque);
    EXPECT_FALSE(Contains(plain, {0x21, 0xF9, 0x04}));
    EXPECT_FALSE(DecodeGif(plain).hasAlpha);
}

TEST(GifCodec, RefusesSizesTheFormatCannotHold) {
    GpStatus status = Ok;
    Encode(*gdip::kGifCodec.makeEncoder(), Asymmetric(70000, 1), &status);
    EXPECT_EQ(status, ValueOverflow);
    gdip::Bitmap empty;
    Encode(*gdip::kGifCodec.makeEncoder(), empty, &status);
    EXPECT_EQ(status, InvalidParameter);
}

TEST(GifCodec, FrameColoursComeFromItsLocalTable) {
    testsupport::TempDir dir;
    const auto path = dir.Path() / "local.gif";
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.string().c_str(), false, &error);
    ASSERT_NE(gif, nullptr);
    GifColorType global[2] = {{0, 0, 0}, {255, 255, 255}};
    GifColorType local[4] = {{200, 10, 10}, {10, 200, 10}, {10, 10, 200}, {90, 90, 90}};
    ColorMapObject* globalMap = GifMakeMapObject(2, global);
    ColorMapObject* localMap = GifMakeMapObject(4, local);
    EGifPutScreenDesc(gif, 4, 2, 8, 0, globalMap);
    EGifPutImageDesc(gif, 0, 0, 4, 2, false, localMap);
    GifPixelType rows[2][4] = {{0, 1, 2, 3}, {3, 2, 1, 0}};
    for (auto& row : rows) EGifPutLine(gif, row, 4);
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(globalMap);
    GifFreeMapObject(localMap);
    const gdip::Bitmap b = DecodeGif(ReadBytes(path));
    ASSERT_EQ(b.width, 4u);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 4; ++x) {
            const GifColorType& c = local[rows[y][x]];
            EXPECT_EQ(PixelAt(b, x, y), (Pixel{c.Red, c.Green, c.Blue, 255}));
        }
}

// Files made by ImageMagick from PAM frames; returns the GIF's bytes.
Bytes MakeGif(const std::vector<gdip::Bitmap>& frames, const std::vector<std::string>& options) {
    testsupport::TempDir dir;
    std::vector<std::string> args = options;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto p = dir.Path() / ("f" + std::to_string(i) + ".pam");
        WritePam(p, frames[i]);
        args.push_back(p.string());
    }
    args.push_back((dir.Path() / "out.gif").string());
    EXPECT_TRUE(Convert(args));
    return ReadBytes(dir.Path() / "out.gif");
}

gdip::Bitmap FewColours(std::uint32_t w, std::uint32_t h, std::uint8_t shift) {
    return MakeBitmap(w, h, false, [shift](std::uint32_t x, std::uint32_t y) {
        return Pixel{std::uint8_t((x / 3 * 40 + shift) % 256), std::uint8_t(y * 30), 128, 255};
    });
}

TEST(GifCodec, ReadsInterlacedAnimatedAndTransparentFiles) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const gdip::Bitmap a = FewColours(23, 17, 0), b = FewColours(23, 17, 100);
    EXPECT_EQ(DecodeGif(MakeGif({a}, {})).rgba, a.rgba);
    EXPECT_EQ(DecodeGif(MakeGif({a}, {"-interlace", "GIF"})).rgba, a.rgba);
    EXPECT_EQ(DecodeGif(MakeGif({a, b}, {"-delay", "10"})).rgba, a.rgba);

    gdip::Bitmap holes = a;
    holes.hasAlpha = true;
    for (std::size_t i = 3; i < holes.rgba.size(); i += 8) holes.rgba[i] = 0;
    const gdip::Bitmap back = DecodeGif(MakeGif({holes}, {}));
    EXPECT_TRUE(back.hasAlpha);
    for (std::size_t i = 3; i < back.rgba.size(); i += 4) {
        ASSERT_EQ(back.rgba[i], holes.rgba[i]) << i / 4;
        if (back.rgba[i] == 255) {
            EXPECT_EQ(back.rgba[i - 1], holes.rgba[i - 1]);  // colour kept where opaque
        }
    }
}

TEST(GifCodec, FrameSitsAtItsOffsetOnTheScreen) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const gdip::Bitmap frame = FewColours(5, 4, 7);
    const gdip::Bitmap screen = DecodeGif(MakeGif({frame}, {"-page", "12x9+6+3"}));
    ASSERT_EQ(screen.width, 12u);
    ASSERT_EQ(screen.height, 9u);
    EXPECT_TRUE(screen.hasAlpha);
    for (std::uint32_t y = 0; y < 9; ++y)
        for (std::uint32_t x = 0; x < 12; ++x) {
            const bool inside = x >= 6 && x < 11 && y >= 3 && y < 7;
            const Pixel want = inside ? PixelAt(frame, x - 6, y - 3) : Pixel{0, 0, 0, 0};
            EXPECT_EQ(PixelAt(screen, x, y), want) << x << "," << y;
        }
}

// Error diffusion written plainly: serpentine Floyd-Steinberg in sixteenths
// from a few rows above the band, each colour drawn as the palette entry
// nearest the centre of its 6-bit cell (of those equally near, the first).
// The quantiser's own loop, however it is arranged for speed, must draw the
// same indices.
Bytes PlainRemap(const gdip::Bitmap& image, const gdip::Quantizer& q, std::uint32_t first,
                 std::uint32_t count) {
    const auto& palette = q.Palette();
    const int opaque = int(palette.size()) - (q.Transparent() >= 0 ? 1 : 0);
    const std::uint32_t w = image.width, start = first > 8 ? first - 8 : 0;
    std::vector<int> err(std::size_t{image.height + 1} * (w + 2) * 3, 0);
    const auto at = [&](std::uint32_t y, std::int64_t x) { return (y * (w + 2) + x + 1) * 3; };
    Bytes out;
    for (std::uint32_t y = start; y < first + count; ++y) {
        const int dir = y % 2 == 0 ? 1 : -1;
        for (std::uint32_t i = 0; i < w; ++i) {
            const std::int64_t x = dir > 0 ? i : w - 1 - i;
            const std::uint8_t* px = image.Row(y) + x * 4;
            int index = q.Transparent(), e[3] = {0, 0, 0};
            if (!image.hasAlpha || px[3] >= gdip::Quantizer::kAlphaThreshold) {
                int v[3], best = 1 << 30;
                for (int c = 0; c < 3; ++c)
                    v[c] = std::clamp(px[c] + ((err[at(y, x) + c] + 8) >> 4), 0, 255);
                for (int k = 0; k < opaque; ++k) {
                    int d = 0;
                    for (int c = 0; c < 3; ++c) {
                        const int centre = (v[c] & ~3) + 2;
                        d += (centre - palette[k][c]) * (centre - palette[k][c]);
                    }
                    if (d < best) best = d, index = k;
                }
                for (int c = 0; c < 3; ++c) e[c] = v[c] - palette[index][c];
            }
            if (y >= first) out.push_back(std::uint8_t(index));
            for (int c = 0; c < 3; ++c) {
                err[at(y, x + dir) + c] += e[c] * 7;
                err[at(y + 1, x - dir) + c] += e[c] * 3;
                err[at(y + 1, x) + c] += e[c] * 5;
                err[at(y + 1, x + dir) + c] += e[c];
            }
        }
        if (y >= first) std::reverse(out.end() - (dir > 0 ? 0 : w), out.end());
    }
    return out;
}

// Bands of one row, two and more, that start on even and odd rows, near the
// top and far from it, of pictures without alpha, with transparent pixels,
// with alpha that is opaque everywhere, and of few colours (kept exactly).
// A coder given to Remap, which codes each row while the next is drawn,
// makes the codes of the band's indices coded after.
TEST(GifCodec, DiffusionDrawsWhatPlainDiffusionDraws) {
    for (const int kind : {0, 1, 2, 3}) {
        const bool alpha = kind == 1 || kind == 2;
        gdip::Bitmap image;
        ASSERT_EQ(gdip::AllocateBitmap(image, 53, 41), Ok);
        image.hasAlpha = alpha;
        std::uint32_t seed = 5;
        for (std::uint32_t y = 0; y < image.height; ++y)
            for (std::uint32_t x = 0; x < image.width; ++x) {
                std::uint8_t* px = image.Row(y) + x * 4;
                seed = seed * 1664525 + 1013904223;
                px[0] = std::uint8_t(x * 4 + (seed >> 28)), px[1] = std::uint8_t(y * 6);
                px[2] = std::uint8_t((x + y) * 2 + (seed >> 29));
                px[3] = kind == 1 && (seed >> 24) % 9 == 0 ? 0 : 255;
                if (kind == 3) px[0] = std::uint8_t(seed >> 30), px[1] = px[2] = 0;
            }
        const gdip::Quantizer q(image);
        ASSERT_EQ(q.Palette().size(), kind == 3 ? 4u : 256u) << "kind " << kind;
        for (const auto& [first, count] : {std::pair{0u, 41u},
                                           {3u, 20u},
                                           {8u, 9u},
                                           {17u, 24u},
                                           {30u, 11u},
                                           {5u, 1u},
                                           {12u, 2u},
                                           {21u, 3u}}) {
            const auto band = ::testing::Message()
                              << "rows " << first << "+" << count << ", kind " << kind;
            Bytes indices(std::size_t{count} * image.width), coded(indices.size());
            q.Remap(first, count, indices.data());
            if (kind != 3) {
                ASSERT_EQ(indices, PlainRemap(image, q, first, count)) << band;
            }
            for (const bool firstBand : {false, true}) {
                gdip::lzw::GifCoder coder(coded.size(), 8, firstBand);
                q.Remap(first, count, coded.data(), &coder);
                ASSERT_EQ(coded, indices) << band;
                gdip::LzwBits got, want;
                coder.Finish(!firstBand, got);
                gdip::LzwEncodeGifRun(indices, 8, firstBand, !firstBand, want);
                ASSERT_EQ(got.bytes, want.bytes) << band;
                ASSERT_EQ(got.bitCount, want.bitCount) << band;
            }
        }
    }
}

}  // namespace
