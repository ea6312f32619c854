// JPEG: the colour spaces that cameras and print software write, EXIF
// orientation, and what our encoder promises (baseline, quality 90, 4:2:0,
// alpha over white).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "platform/gdiplus/runtime/parallel.h"
#include "tests/support/runtime_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::Bytes;
using testsupport::DecodeQuietly;

enum class Space { Gray, Rgb, AdobeCmyk, PlainCmyk, Ycck };

struct JpegSource {
    Space space = Space::Rgb;
    Bytes exif;  // APP1 payload, written when not empty
};

// Samples of a smooth picture in the space asked for. CMYK samples are
// Adobe-inverted (255 = no ink) except for plain CMYK.
Bytes SamplesOf(const gdip::Bitmap& rgb, Space space) {
    Bytes out;
    for (std::size_t i = 0; i < rgb.rgba.size(); i += 4) {
        const std::uint8_t r = rgb.rgba[i], g = rgb.rgba[i + 1], b = rgb.rgba[i + 2];
        switch (space) {
            case Space::Gray:
                out.push_back(r);
                break;
            case Space::Rgb:
                out.insert(out.end(), {r, g, b});
                break;
            case Space::PlainCmyk:
                out.insert(out.end(),
                           {static_cast<std::uint8_t>(255 - r), static_cast<std::uint8_t>(255 - g),
                            static_cast<std::uint8_t>(255 - b), 0});
                break;
            default:
                out.insert(out.end(), {r, g, b, 255});
                break;
        }
    }
    return out;
}

Bytes WriteJpeg(const gdip::Bitmap& rgb, const JpegSource& src) {
    const bool cmyk = src.space >= Space::AdobeCmyk;
    return testsupport::CompressJpeg(
        SamplesOf(rgb, src.space), rgb.width, rgb.height,
        src.space == Space::Gray ? 1
        : cmyk                   ? 4
                                 : 3,
        src.space == Space::Gray ? JCS_GRAYSCALE
        : cmyk                   ? JCS_CMYK
                                 : JCS_RGB,
        [&](jpeg_compress_struct& c) {
            jpeg_set_quality(&c, 98, TRUE);
            if (src.space == Space::Rgb) jpeg_set_colorspace(&c, JCS_RGB);
            if (src.space == Space::Ycck) jpeg_set_colorspace(&c, JCS_YCCK);
            if (src.space == Space::PlainCmyk) c.write_Adobe_marker = FALSE;
        },
        [&](jpeg_compress_struct& c) {
            if (!src.exif.empty())
                jpeg_write_marker(&c, JPEG_APP0 + 1, src.exif.data(),
                                  static_cast<unsigned>(src.exif.size()));
        });
}

// What ImageMagick reads from the file, or an empty bitmap without it.
gdip::Bitmap DecodeWithImageMagick(const Bytes& file) {
    testsupport::TempDir dir;
    testsupport::WriteBytes(dir.Path() / "picture.jpg", file);
    return testsupport::DecodeWithConvert(dir.Path() / "picture.jpg");
}

TEST(JpegCodec, EveryColourSpaceDecodesToTheSamePicture) {
    const gdip::Bitmap source = testsupport::Smooth(48, 40);
    gdip::Bitmap graySource = source;
    for (std::size_t i = 0; i < graySource.rgba.size(); i += 4)
        graySource.rgba[i + 1] = graySource.rgba[i + 2] = graySource.rgba[i];
    for (const Space space :
         {Space::Gray, Space::Rgb, Space::AdobeCmyk, Space::PlainCmyk, Space::Ycck}) {
        SCOPED_TRACE(static_cast<int>(space));
        const gdip::Bitmap& expected = space == Space::Gray ? graySource : source;
        const gdip::Bitmap image =
            DecodeQuietly(gdip::kJpegCodec, WriteJpeg(expected, {space, {}}));
        EXPECT_GT(testsupport::Psnr(image, expected), 35.0);
        EXPECT_FALSE(image.hasAlpha);
    }
}

// A big baseline file is read in two parts side by side when threads are
// free; the pixels must be those of reading it in one piece, for every
// sampling (the upsampler's context crosses the parts' boundary), with
// restart markers (where the lower part starts at one), and a cut file, or
// one whose markers come out of turn, must read just the same.
TEST(JpegCodec, BigBaselineFilesReadTheSameInTwoParts) {
    struct Case {
        const char* name;
        int h, v;  // luma sampling; 0: gray
        unsigned restartRows;
        unsigned restartMcus = 0;
        bool markerOutOfTurn = false;  // one restart marker in the lower half renumbered
    };
    const gdip::Bitmap source = testsupport::Pattern(333, 1037, false);
    for (const Case& c :
         {Case{"4:2:0", 2, 2, 0}, Case{"4:2:2", 2, 1, 0}, Case{"4:4:0", 1, 2, 0},
          Case{"4:4:4", 1, 1, 0}, Case{"gray", 0, 0, 0}, Case{"4:2:0, restarts", 2, 2, 3},
          Case{"4:2:0, a restart every row", 2, 2, 1}, Case{"4:4:0, restarts", 1, 2, 2},
          Case{"4:4:4, restarts", 1, 1, 5}, Case{"gray, restarts", 0, 0, 4},
          Case{"4:2:2, a restart every 7 MCUs", 2, 1, 0, 7},
          Case{"4:2:0, a marker out of turn", 2, 2, 1, 0, true}}) {
        SCOPED_TRACE(c.name);
        const Space space = c.h == 0 ? Space::Gray : Space::Rgb;
        Bytes file = testsupport::CompressJpeg(
            SamplesOf(source, space), source.width, source.height, c.h == 0 ? 1 : 3,
            c.h == 0 ? JCS_GRAYSCALE : JCS_RGB, [&](jpeg_compress_struct& j) {
                jpeg_set_quality(&j, 90, TRUE);
                if (c.h != 0)
                    j.comp_info[0].h_samp_factor = c.h, j.comp_info[0].v_samp_factor = c.v;
                j.restart_in_rows = static_cast<int>(c.restartRows);
                j.restart_interval = c.restartMcus;
            });
        if (c.markerOutOfTurn)
            for (std::size_t i = file.size() * 3 / 4; i + 1 < file.size(); ++i)
                if (file[i] == 0xFF && file[i + 1] >= 0xD0 && file[i + 1] <= 0xD7) {
                    file[i + 1] = static_cast<std::uint8_t>(0xD0 + (file[i + 1] + 3) % 8);
                    break;
                }
        const Bytes cut(file.begin(),
                        file.begin() + static_cast<std::ptrdiff_t>(file.size() * 3 / 4));
        gdip::Bitmap whole, cutWhole;
        {
            testsupport::ScopedEnv oneThread("OMP_NUM_THREADS", "1");
            whole = DecodeQuietly(gdip::kJpegCodec, file);
            cutWhole = DecodeQuietly(gdip::kJpegCodec, cut, GenericError);
        }
        EXPECT_EQ(DecodeQuietly(gdip::kJpegCodec, file).rgba, whole.rgba);
        EXPECT_EQ(DecodeQuietly(gdip::kJpegCodec, cut, GenericError).rgba, cutWhole.rgba);
    }
}

// What libjpeg itself makes of a whole file read in one piece, as RGBA.
gdip::Bitmap DecodeWithLibjpeg(const Bytes& file) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&cinfo);
    gdip::Bitmap out;
    out.width = cinfo.output_width;
    out.height = cinfo.output_height;
    out.rgba.resize(std::size_t{out.width} * out.height * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.Row(cinfo.output_scanline);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// Where the last marker of this kind begins (entropy-coded data never holds
// 0xFF followed by a marker code other than a restart).
std::size_t FindLastMarker(const Bytes& f, std::uint8_t marker) {
    for (std::size_t i = f.size() - 1; i > 0; --i)
        if (f[i - 1] == 0xFF && f[i] == marker) return i - 1;
    return 0;
}

// A progressive file is read through baseline bands decoded side by side;
// its pixels must be libjpeg's own at every thread count, for every sampling
// (the upsampler's context crosses the bands' edges), odd sizes, colour
// spaces and restart markers; a cut file (whose coarse blocks libjpeg would
// smooth) is refused as before, and so is one whose last refinement is gone.
// The coefficients are held packed meanwhile: rows of nothing but zeros (flat
// grey) and blocks of 64 large coefficients (quality 100) come back whole.
TEST(JpegCodec, ProgressiveFilesReadAsLibjpegReadsThem) {
    struct Case {
        const char* name;
        std::uint32_t w, h;
        int hs, vs;  // luma sampling; 0: gray
        bool rgb = false;
        unsigned restartRows = 0;
        int quality = 85;
        bool greyTop = false;  // the upper half mid-grey: every coefficient zero
    };
    for (const Case& c :
         {Case{"4:4:4", 333, 1037, 1, 1}, Case{"4:2:0", 333, 1037, 2, 2},
          Case{"4:2:2", 515, 600, 2, 1}, Case{"4:4:0", 64, 777, 1, 2},
          Case{"gray", 129, 1100, 0, 0}, Case{"RGB", 200, 520, 1, 1, true},
          Case{"4:2:0, restarts", 300, 530, 2, 2, false, 2}, Case{"small", 37, 21, 2, 2},
          Case{"grey rows, quality 100", 260, 640, 2, 2, false, 0, 100, true}}) {
        SCOPED_TRACE(c.name);
        gdip::Bitmap source = testsupport::Pattern(c.w, c.h, false);
        if (c.greyTop) std::fill_n(source.rgba.begin(), source.rgba.size() / 2, 128);
        const Space space = c.hs == 0 ? Space::Gray : Space::Rgb;
        const Bytes file = testsupport::CompressJpeg(
            SamplesOf(source, space), c.w, c.h, c.hs == 0 ? 1 : 3,
            c.hs == 0 ? JCS_GRAYSCALE : JCS_RGB, [&](jpeg_compress_struct& j) {
                jpeg_set_quality(&j, c.quality, TRUE);
                if (c.rgb) jpeg_set_colorspace(&j, JCS_RGB);
                if (c.hs != 0)
                    j.comp_info[0].h_samp_factor = c.hs, j.comp_info[0].v_samp_factor = c.vs;
                j.restart_in_rows = static_cast<int>(c.restartRows);
                jpeg_simple_progression(&j);
            });
        const gdip::Bitmap expected = DecodeWithLibjpeg(file);
        // Cut in its last scan, and with that scan taken out (the end marker kept).
        const Bytes cut(file.begin(), file.end() - static_cast<std::ptrdiff_t>(file.size() / 10));
        Bytes unrefined(file.begin(),
                        file.begin() + static_cast<std::ptrdiff_t>(FindLastMarker(file, 0xDA)));
        unrefined.insert(unrefined.end(), {0xFF, 0xD9});
        for (const unsigned threads : {1u, 2u, 4u}) {
            SCOPED_TRACE(threads);
            gdip::SetWorkersForTesting(threads);
            EXPECT_TRUE(DecodeQuietly(gdip::kJpegCodec, file).rgba == expected.rgba);
            DecodeQuietly(gdip::kJpegCodec, cut, GenericError);
            DecodeQuietly(gdip::kJpegCodec, unrefined, GenericError);
        }
        gdip::SetWorkersForTesting(0);
    }
}

// A progressive file whose components each have scans of their own, with a
// quantization table redefined after every component's first scan: a
// component keeps the table it began with, as libjpeg reads it. The scans
// are read side by side only where no table comes between them (one part
// would never see the others' first scans, so it could not tell which
// table they began with).
TEST(JpegCodec, ProgressiveTableRedefinedBetweenScansKeepsTheFirst) {
    static const jpeg_scan_info kScans[] = {{1, {0}, 0, 0, 0, 0},  {1, {1}, 0, 0, 0, 0},
                                            {1, {2}, 0, 0, 0, 0},  {1, {0}, 1, 63, 0, 0},
                                            {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0}};
    const gdip::Bitmap source = testsupport::Pattern(96, 600, false);
    Bytes file = testsupport::CompressJpeg(SamplesOf(source, Space::Rgb), source.width,
                                           source.height, 3, JCS_RGB, [](jpeg_compress_struct& j) {
                                               j.scan_info = kScans;
                                               j.num_scans = 6;
                                           });
    Bytes table = {0xFF, 0xDB, 0x00, 0x43, 0x01};  // the chroma's slot, all steps 50
    table.resize(table.size() + 64, 50);
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(FindLastMarker(file, 0xDA)),
                table.begin(), table.end());
    const gdip::Bitmap expected = DecodeWithLibjpeg(file);
    for (const unsigned threads : {1u, 2u}) {
        gdip::SetWorkersForTesting(threads);
        EXPECT_TRUE(DecodeQuietly(gdip::kJpegCodec, file).rgba == expected.rgba) << threads;
    }
    gdip::SetWorkersForTesting(0);
}

TEST(JpegCodec, RoundTripStaysCloseAtEveryOddSize) {
    for (const auto& [w, h] : {std::pair{1u, 1u}, {7u, 3u}, {17u, 9u}, {64u, 48u}}) {
        const gdip::Bitmap source = testsupport::Smooth(w, h);
        const gdip::Bitmap back = DecodeQuietly(
            gdip::kJpegCodec, testsupport::Encode(*gdip::kJpegCodec.makeEncoder(), source));
        EXPECT_GT(testsupport::Psnr(back, source), 30.0) << w << "x" << h;
    }
}

// Finds a marker segment; returns the offset of its first payload byte.
std::size_t FindMarker(const Bytes& f, std::uint8_t marker) {
    for (std::size_t i = 2; i + 4 < f.size();) {
        if (f[i] != 0xFF) return 0;
        if (f[i + 1] == marker) return i + 4;
        i += 2 + ((f[i + 2] << 8) | f[i + 3]);
    }
    return 0;
}

TEST(JpegCodec, EncoderWritesBaselineQuality90With420Sampling) {
    const Bytes file =
        testsupport::Encode(*gdip::kJpegCodec.makeEncoder(), testsupport::Smooth(40, 24));
    const std::size_t sof = FindMarker(file, 0xC0);  // baseline; progressive is 0xC2
    ASSERT_NE(sof, 0u);
    EXPECT_EQ(file[sof + 5], 3);      // components
    EXPECT_EQ(file[sof + 7], 0x22);   // Y: 2 x 2
    EXPECT_EQ(file[sof + 10], 0x11);  // Cb
    EXPECT_EQ(file[sof + 13], 0x11);  // Cr
    const std::size_t dqt = FindMarker(file, 0xDB);
    ASSERT_NE(dqt, 0u);
    EXPECT_EQ(file[dqt + 1], 3);  // 16 (standard luminance DC step) at quality 90
}

// The writer codes the picture in bands of 128 rows side by side, each a
// restart interval, with Huffman tables fitted to the picture. Its file must
// hold the very coefficients of libjpeg's own file for the same pixels (its
// pixels, through libjpeg-turbo and through ImageMagick, are those of
// libjpeg's file), be hardly larger than that file with libjpeg's fitted
// tables, and carry one restart marker, numbered in turn, between two bands.
TEST(JpegCodec, FileWrittenInBandsReadsAsLibjpegsOwnEverywhere) {
    struct Case {
        std::uint32_t w, h;
        bool alpha;                // opaque alpha: the writer's other road, to the same pixels
        bool flatCounted = false;  // bands 0, 4, 8, ... (those counted) flat grey
    };
    for (const Case c :
         {Case{1, 1, false}, Case{33, 128, false}, Case{17, 129, true}, Case{333, 1200, false},
          Case{1030, 300, true}, Case{64, 1100, false, true}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        gdip::Bitmap src = testsupport::Smooth(c.w, c.h);
        const gdip::Bitmap noise = testsupport::Pattern(c.w, c.h, false);
        for (std::size_t i = 0; i < src.rgba.size(); ++i)
            if (i % 4 != 3)
                src.rgba[i] = static_cast<std::uint8_t>(src.rgba[i] ^ noise.rgba[i] / 16);
        src.hasAlpha = c.alpha;
        // Symbols that only the bands not counted need must still have codes.
        for (std::uint32_t y = 0; c.flatCounted && y < c.h; ++y)
            if (y / 128 % 4 == 0) std::fill_n(src.Row(y), std::size_t{c.w} * 4, 128);
        const Bytes ours = testsupport::Encode(*gdip::kJpegCodec.makeEncoder(), src);
        const Bytes theirs = testsupport::CompressJpeg(
            SamplesOf(src, Space::Rgb), c.w, c.h, 3, JCS_RGB, [](jpeg_compress_struct& j) {
                jpeg_set_quality(&j, 90, TRUE);
                j.comp_info[0].h_samp_factor = j.comp_info[0].v_samp_factor = 2;
                j.optimize_coding = TRUE;
            });
        EXPECT_EQ(DecodeQuietly(gdip::kJpegCodec, ours).rgba,
                  DecodeQuietly(gdip::kJpegCodec, theirs).rgba);
        const gdip::Bitmap oursThere = DecodeWithImageMagick(ours);
        if (oursThere.width != 0) {  // ImageMagick is there
            EXPECT_EQ(oursThere.rgba, DecodeWithImageMagick(theirs).rgba);
        }
        const std::size_t bands = (c.h + 127) / 128, sos = FindMarker(ours, 0xDA);
        ASSERT_NE(sos, 0u);
        EXPECT_EQ(FindMarker(ours, 0xDD) != 0, bands > 1);  // the restart interval
        std::vector<int> restarts;
        for (std::size_t i = sos; i + 1 < ours.size(); ++i)
            if (ours[i] == 0xFF && ours[i + 1] >= 0xD0 && ours[i + 1] <= 0xD7)
                restarts.push_back(ours[i + 1] - 0xD0);
        ASSERT_EQ(restarts.size(), bands - 1);
        for (std::size_t i = 0; i < restarts.size(); ++i) EXPECT_EQ(restarts[i], int(i % 8));
        // Tables fitted to some bands list every symbol (at most 2 x 174 bytes).
        if (!c.flatCounted) {
            EXPECT_LE(ours.size(), theirs.size() + theirs.size() / 200 + 8 * bands + 360);
        }
    }
}

TEST(JpegCodec, AlphaIsCompositedOverWhite) {
    gdip::Bitmap image = testsupport::Smooth(16, 16);
    image.hasAlpha = true;
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        const bool left = (i / 4) % 16 < 8;
        image.rgba[i] = image.rgba[i + 1] = image.rgba[i + 2] = 0;  // black
        image.rgba[i + 3] = left ? 0 : 128;
    }
    const gdip::Bitmap back = DecodeQuietly(
        gdip::kJpegCodec, testsupport::Encode(*gdip::kJpegCodec.makeEncoder(), image));
    EXPECT_GE(back.Row(8)[0], 250);            // transparent black -> white
    EXPECT_NEAR(back.Row(8)[4 * 12], 127, 6);  // half black -> mid gray
    EXPECT_EQ(back.Row(8)[3], 255);
}

// An EXIF block holding only an orientation tag (little-endian TIFF).
Bytes ExifWithOrientation(std::uint8_t orientation) {
    return {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42,          0, 8, 0, 0, 0,  // TIFF header
            1,    0,                                                           // one entry
            0x12, 0x01, 3,   0,   1, 0, 0,   0,   orientation, 0, 0, 0,        // 0x0112 SHORT 1
            0,    0,    0,   0};
}

// Four flat quadrants survive JPEG; which one ends up top-left shows the turn.
gdip::Bitmap Quadrants() {
    gdip::Bitmap b;
    gdip::AllocateBitmap(b, 32, 16);
    for (std::uint32_t y = 0; y < 16; ++y)
        for (std::uint32_t x = 0; x < 32; ++x) {
            const bool right = x >= 16, bottom = y >= 8;
            std::uint8_t* p = b.Row(y) + 4 * x;
            p[0] = (!bottom && !right) || (bottom && right) ? 255 : 0;  // red TL, white BR
            p[1] = (!bottom && right) || (bottom && right) ? 255 : 0;   // green TR
            p[2] = (bottom && !right) || (bottom && right) ? 255 : 0;   // blue BL
            p[3] = 255;
        }
    return b;
}

TEST(JpegCodec, ExifOrientationTurnsThePictureUpright) {
    struct Case {
        std::uint8_t orientation;
        std::uint32_t width, height;
        std::array<int, 3> topLeft;
    };
    for (const Case c : {Case{1, 32, 16, {255, 0, 0}}, Case{3, 32, 16, {255, 255, 255}},
                         Case{6, 16, 32, {0, 0, 255}}, Case{8, 16, 32, {0, 255, 0}}}) {
        SCOPED_TRACE(static_cast<int>(c.orientation));
        const gdip::Bitmap image =
            DecodeQuietly(gdip::kJpegCodec,
                          WriteJpeg(Quadrants(), {Space::Rgb, ExifWithOrientation(c.orientation)}));
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(image.Row(2)[4 * 2 + ch], c.topLeft[ch], 8);
    }
}

TEST(JpegCodec, CutShortFileIsRefusedSilently) {
    Bytes file = WriteJpeg(testsupport::Smooth(64, 64), {});
    file.resize(file.size() * 2 / 3);
    DecodeQuietly(gdip::kJpegCodec, file, GenericError);
}

// Stray bytes before a marker make libjpeg warn; the picture itself is whole.
TEST(JpegCodec, StrayBytesBeforeAMarkerDecodeWithoutAWord) {
    Bytes file = WriteJpeg(testsupport::Smooth(16, 16), {});
    const std::size_t dht = FindMarker(file, 0xC4);
    ASSERT_NE(dht, 0u);
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(dht - 4), {0x00, 0x00});
    EXPECT_EQ(DecodeQuietly(gdip::kJpegCodec, file).width, 16u);
}

}  // namespace
