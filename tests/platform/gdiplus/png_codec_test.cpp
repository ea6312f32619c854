// PNG: every colour type and depth that libpng writes reads as 8-bit RGBA;
// our own writer's files read back exactly, here and in ImageMagick.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <functional>

#include "platform/gdiplus/runtime/parallel.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::Bytes;
using testsupport::DecodeQuietly;

struct PngSpec {
    const char* name;
    int colorType;
    int bitDepth;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> paletteAlpha;  // tRNS for palettes
    bool rgbKey = false;                 // tRNS colour key (RGB): the colour of pixel (2, 1)
    int filter = 0;                      // one PNG_FILTER_* for every row; 0: libpng's choice
    bool noisy = false;                  // samples from a hash instead of a ramp
    bool dark = false;  // samples 0-4, so that pixels written too early read as filter types
};

int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

// Sample c of pixel (x, y), within the depth's range (and the palette's).
unsigned Sample(const PngSpec& s, std::uint32_t x, std::uint32_t y, int c) {
    unsigned v = x * 7 + y * 13 + static_cast<unsigned>(c) * 5;
    if (s.noisy) v = (v * 2654435761u) >> 13;
    if (s.dark) return v % 5;
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) return v % s.palette.size();
    if (s.bitDepth == 16) return (v % 256) * 257;  // exactly representable in 8 bits
    return v % (1u << s.bitDepth);
}

std::uint8_t To8(const PngSpec& s, unsigned v) {
    if (s.bitDepth == 16) return static_cast<std::uint8_t>(v / 257);
    return static_cast<std::uint8_t>(v * 255 / ((1u << s.bitDepth) - 1));
}

std::array<std::uint8_t, 4> Expected(const PngSpec& s, std::uint32_t x, std::uint32_t y) {
    if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
        const unsigned i = Sample(s, x, y, 0);
        const png_color& e = s.palette[i];
        return {e.red, e.green, e.blue,
                i < s.paletteAlpha.size() ? s.paletteAlpha[i] : png_byte{255}};
    }
    const int n = Channels(s.colorType);
    const bool gray = n <= 2, alpha = n == 2 || n == 4;
    const std::uint8_t r = To8(s, Sample(s, x, y, 0));
    const std::uint8_t g = gray ? r : To8(s, Sample(s, x, y, 1));
    const std::uint8_t b = gray ? r : To8(s, Sample(s, x, y, 2));
    std::uint8_t a = alpha ? To8(s, Sample(s, x, y, n - 1)) : 255;
    bool keyed = s.rgbKey;
    for (int c = 0; c < 3 && keyed; ++c) keyed = Sample(s, x, y, c) == Sample(s, 2, 1, c);
    if (keyed) a = 0;
    return {r, g, b, a};
}

Bytes PackRow(const PngSpec& s, std::uint32_t width, std::uint32_t y) {
    const int n = Channels(s.colorType);
    const std::size_t bits = std::size_t{width} * n * s.bitDepth;
    Bytes row((bits + 7) / 8, 0);
    std::size_t bit = 0;
    for (std::uint32_t x = 0; x < width; ++x)
        for (int c = 0; c < n; ++c, bit += s.bitDepth) {
            const unsigned v = Sample(s, x, y, c);
            if (s.bitDepth == 16) {
                row[bit / 8] = static_cast<std::uint8_t>(v >> 8);
                row[bit / 8 + 1] = static_cast<std::uint8_t>(v);
            } else {
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - s.bitDepth - bit % 8));
            }
        }
    return row;
}

void AppendToBytes(png_structp png, png_bytep data, std::size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes WriteWithLibpng(const PngSpec& s, std::uint32_t w, std::uint32_t h) {
    Bytes out;
    std::vector<Bytes> rows;
    for (std::uint32_t y = 0; y < h; ++y) rows.push_back(PackRow(s, w, y));
    std::vector<png_bytep> pointers;
    for (Bytes& r : rows) pointers.push_back(r.data());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendToBytes, nullptr);
    if (s.filter != 0) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, s.filter);
        png_set_compression_buffer_size(png, 97);  // many small IDAT chunks
    }
    png_set_IHDR(png, info, w, h, s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty())
        png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    png_color_16 key{};
    key.red = static_cast<png_uint_16>(Sample(s, 2, 1, 0));
    key.green = static_cast<png_uint_16>(Sample(s, 2, 1, 1));
    key.blue = static_cast<png_uint_16>(Sample(s, 2, 1, 2));
    if (!s.paletteAlpha.empty() || s.rgbKey)
        png_set_tRNS(png, info, s.paletteAlpha.empty() ? nullptr : s.paletteAlpha.data(),
                     static_cast<int>(s.paletteAlpha.size()), s.rgbKey ? &key : nullptr);
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// How many pixels of the decoded picture differ from what the file holds.
int WrongPixels(const gdip::Bitmap& image, const PngSpec& s, std::uint32_t w, std::uint32_t h) {
    int wrong = 0;
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x)
            wrong += std::memcmp(image.Row(y) + 4 * x, Expected(s, x, y).data(), 4) != 0;
    return wrong;
}

TEST(PngCodec, EveryColourTypeAndDepthReadsAsRgba) {
    const std::vector<png_color> three = {{200, 10, 20}, {30, 220, 40}, {50, 60, 240}};
    const std::vector<PngSpec> specs = {
        {"gray 1-bit", PNG_COLOR_TYPE_GRAY, 1},
        {"gray 4-bit", PNG_COLOR_TYPE_GRAY, 4},
        {"gray 8-bit", PNG_COLOR_TYPE_GRAY, 8},
        {"gray 16-bit", PNG_COLOR_TYPE_GRAY, 16},
        {"gray+alpha 8-bit", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {"palette 2-bit", PNG_COLOR_TYPE_PALETTE, 2, false, three},
        {"palette 8-bit with tRNS", PNG_COLOR_TYPE_PALETTE, 8, false, three, {0, 128}},
        {"RGB 8-bit", PNG_COLOR_TYPE_RGB, 8},
        {"RGB 8-bit with tRNS key", PNG_COLOR_TYPE_RGB, 8, false, {}, {}, true},
        {"RGB 16-bit", PNG_COLOR_TYPE_RGB, 16},
        {"RGBA 8-bit", PNG_COLOR_TYPE_RGB_ALPHA, 8},
        {"RGBA 16-bit", PNG_COLOR_TYPE_RGB_ALPHA, 16},
        {"RGB 8-bit interlaced", PNG_COLOR_TYPE_RGB, 8, true},
        {"RGBA 16-bit interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 16, true},
    };
    for (const PngSpec& s : specs) {
        SCOPED_TRACE(s.name);
        const std::uint32_t w = 13, h = 11;
        const gdip::Bitmap image = DecodeQuietly(gdip::kPngCodec, WriteWithLibpng(s, w, h));
        ASSERT_EQ(image.width, w);
        ASSERT_EQ(image.height, h);
        const int n = Channels(s.colorType);
        EXPECT_EQ(image.hasAlpha, n == 2 || n == 4 || !s.paletteAlpha.empty() || s.rgbKey);
        EXPECT_EQ(WrongPixels(image, s, w, h), 0);
    }
}

// 8-bit gray, RGB and RGBA are inflated and unfiltered by our own code: each
// row filter, on ramps and on noise, from many small IDAT chunks, reads as
// the pixels written. (Big enough for libpng to write a 32 KiB window, which
// our road requires.)
TEST(PngCodec, EveryRowFilterReadsBackExactly) {
    for (const int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA})
        for (const int filter :
             {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH})
            for (const bool noisy : {false, true}) {
                PngSpec s{"", type, 8};
                s.filter = filter;
                s.noisy = noisy;
                SCOPED_TRACE(testing::Message() << "colour type " << type << ", filter " << filter
                                                << (noisy ? ", noise" : ", ramp"));
                const std::uint32_t w = 1201, h = 29;  // rows of several pieces
                const gdip::Bitmap image = DecodeQuietly(gdip::kPngCodec, WriteWithLibpng(s, w, h));
                ASSERT_EQ(image.width, w);
                EXPECT_EQ(WrongPixels(image, s, w, h), 0);
            }
}

// A file lent to the decoder (as the loader does) has its IDAT chunks'
// data joined where it lies and put back: the same pixels and status as
// from a file that is only read, and the same bytes afterwards, whether the
// joined data inflates or turns out damaged (then libpng reads the file again).
TEST(PngCodec, LentFileIsJoinedInPlaceAndPutBack) {
    PngSpec s{"", PNG_COLOR_TYPE_RGB, 8};
    s.filter = PNG_FILTER_SUB;  // many small IDAT chunks
    s.noisy = true;
    const Bytes whole = WriteWithLibpng(s, 1201, 29);
    // A byte of the data of a middle IDAT chunk changed, its checksum made good.
    Bytes damaged = whole;
    std::vector<std::size_t> idats;
    for (std::size_t at = 8; at + 12 <= damaged.size();) {
        const std::size_t length = std::size_t{damaged[at]} << 24 | damaged[at + 1] << 16 |
                                   damaged[at + 2] << 8 | damaged[at + 3];
        if (std::memcmp(&damaged[at + 4], "IDAT", 4) == 0) idats.push_back(at);
        at += 12 + length;
    }
    ASSERT_GT(idats.size(), 3u);
    const std::size_t chunk = idats[idats.size() / 2];
    const std::size_t length = std::size_t{damaged[chunk + 2]} << 8 | damaged[chunk + 3];
    damaged[chunk + 8 + length / 2] ^= 0x5A;
    const uLong crc = crc32(0, &damaged[chunk + 4], static_cast<uInt>(4 + length));
    for (int i = 0; i < 4; ++i)
        damaged[chunk + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    for (const Bytes* file : {&whole, static_cast<const Bytes*>(&damaged)}) {
        SCOPED_TRACE(file == &whole ? "whole" : "damaged");
        const auto decoder = gdip::kPngCodec.makeDecoder();
        gdip::Bitmap read, lentRead;
        const GpStatus status = decoder->Decode(*file, read);
        Bytes lent = *file;
        EXPECT_EQ(decoder->DecodeLent(lent, lentRead), status);
        EXPECT_TRUE(lentRead.rgba == read.rgba);
        EXPECT_TRUE(lent == *file);
        if (file == &whole) {
            EXPECT_EQ(WrongPixels(lentRead, s, 1201, 29), 0);
        }
    }
}

// The rows are inflated into the end of the picture's own buffer and
// spread to RGBA towards its front: in narrow tall pictures a row of pixels
// is as long as its filtered row or longer (gray, RGB) or a byte shorter
// (RGBA), so every row's pixels come closest to the rows not yet done.
TEST(PngCodec, NarrowTallPicturesReadBackExactly) {
    for (const int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA})
        for (const int filter : {PNG_FILTER_SUB, PNG_FILTER_AVG, PNG_FILTER_PAETH})
            for (const std::uint32_t w : {1u, 2u, 5u}) {
                PngSpec s{"", type, 8};
                s.filter = filter;
                s.noisy = true;
                SCOPED_TRACE(testing::Message()
                             << "colour type " << type << ", filter " << filter << ", width " << w);
                const std::uint32_t h = 40000 / w;  // over 32 KiB: our road
                const gdip::Bitmap image = DecodeQuietly(gdip::kPngCodec, WriteWithLibpng(s, w, h));
                ASSERT_EQ(image.width, w);
                ASSERT_EQ(image.rgba.size(), std::size_t{w} * h * 4);
                EXPECT_EQ(WrongPixels(image, s, w, h), 0);
            }
}

// Wide rows are unfiltered in columns, a thread each, every column waiting
// row by row for the one to its left and never far ahead of the last, since
// the pixels are spread over filtered rows as soon as they are made: the
// same pixels at any number of threads, more threads than cores included,
// in pictures tall enough for the pixels to reach the filtered rows, and
// dark, so that a filter byte overwritten too early reads as another filter
// instead of sending the file to libpng.
TEST(PngCodec, ColumnsReadBackExactlyAtAnyThreadCount) {
    for (const int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA})
        for (const int filter : {PNG_FILTER_AVG, PNG_FILTER_PAETH}) {
            PngSpec s{"", type, 8};
            s.filter = filter;
            s.noisy = true;
            s.dark = true;
            const std::uint32_t w = 1031, h = 1500;
            const Bytes file = WriteWithLibpng(s, w, h);
            for (const unsigned threads : {1u, 2u, 3u, 8u}) {
                SCOPED_TRACE(testing::Message() << "colour type " << type << ", filter " << filter
                                                << ", " << threads << " threads");
                gdip::SetWorkersForTesting(threads);
                const gdip::Bitmap image = DecodeQuietly(gdip::kPngCodec, file);
                gdip::SetWorkersForTesting(0);
                ASSERT_EQ(image.width, w);
                EXPECT_EQ(WrongPixels(image, s, w, h), 0);
            }
        }
}

// A picture of few colours is coded another way (noise of them differently
// enough to show), judged by counting its colours in bands side by side and
// joining the counts: 4096 colours, 256 in each band of 64 rows, is few and
// 4097 is not, at any number of threads, so the file is the same whatever
// the threads saw each.
TEST(PngCodec, FewColoursAreJudgedOnTheWholePictureAtAnyThreadCount) {
    std::vector<Bytes> few;
    for (const bool extra : {false, true}) {
        const gdip::Bitmap image =
            testsupport::MakeBitmap(64, 1024, false, [extra](std::uint32_t x, std::uint32_t y) {
                std::uint32_t noise = (x * 73856093u ^ y * 19349663u) * 0x5BD1E995u;
                noise ^= noise >> 15;
                const std::uint32_t id =
                    extra && x == 0 && y == 1023 ? 5000 : (noise & 255) + y / 64 * 256;
                return testsupport::Pixel{static_cast<std::uint8_t>(id),
                                          static_cast<std::uint8_t>(id >> 8),
                                          static_cast<std::uint8_t>(id * 7), 255};
            });
        std::vector<Bytes> files;
        for (const unsigned threads : {1u, 2u, 4u}) {
            gdip::SetWorkersForTesting(threads);
            files.push_back(testsupport::Encode(*gdip::kPngCodec.makeEncoder(), image));
            gdip::SetWorkersForTesting(0);
        }
        EXPECT_EQ(files[1], files[0]) << extra;
        EXPECT_EQ(files[2], files[0]) << extra;
        EXPECT_EQ(DecodeQuietly(gdip::kPngCodec, files[0]).rgba, image.rgba);
        few.push_back(files[0]);
    }
    EXPECT_GT(few[1].size(), few[0].size() * 11 / 10);  // coded apart: runs, not LZ77
}

std::uint8_t ColourTypeOf(const Bytes& png) {
    return png.size() > 25 ? png[25] : 0xFF;
}

struct WriteCase {
    const char* name;
    gdip::Bitmap image;
    std::uint8_t colourType;
};

// Bands that the writer codes each its own way: noise of many colours (runs
// only), one flat colour (LZ77 only) and a smooth ramp (both, the shorter
// kept), in segments of rows that cross the bands' edges.
gdip::Bitmap PhotographBands(std::uint32_t w, std::uint32_t h, bool alpha) {
    return testsupport::MakeBitmap(w, h, alpha, [h](std::uint32_t x, std::uint32_t y) {
        const std::uint32_t noise = (x * 2654435761u ^ y * 40503u) >> 27;
        const auto v = [](std::uint32_t t) { return static_cast<std::uint8_t>(t); };
        if (y < h / 3)
            return testsupport::Pixel{v(x / 3 + noise), v(y + noise), v(noise * 7), v(x)};
        if (y < 2 * h / 3) return testsupport::Pixel{50, 60, 70, 200};
        return testsupport::Pixel{v(x / 3), v(y / 2), v(x / 5 + y / 7), 255};
    });
}

std::vector<WriteCase> WriteCases() {
    return {
        {"RGB bands 640x600", PhotographBands(640, 600, false), 2},
        {"RGBA bands 500x600", PhotographBands(500, 600, true), 6},
        {"RGB 1x1", testsupport::Pattern(1, 1, false), 2},
        {"RGB 7x3", testsupport::Pattern(7, 3, false), 2},
        {"RGB 300x200", testsupport::Pattern(300, 200, false), 2},
        {"RGBA 7x3", testsupport::Pattern(7, 3, true), 6},
        {"RGBA 129x65", testsupport::Pattern(129, 65, true), 6},
        {"gray 7x3", testsupport::GrayPattern(7, 3), 0},
        {"gray 1x1", testsupport::GrayPattern(1, 1), 0},
    };
}

TEST(PngCodec, OurFilesReadBackExactlyWithAlphaOnlyWhenTheImageHasIt) {
    for (const WriteCase& c : WriteCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = testsupport::Encode(*gdip::kPngCodec.makeEncoder(), c.image);
        EXPECT_EQ(ColourTypeOf(file), c.colourType);
        const gdip::Bitmap back = DecodeQuietly(gdip::kPngCodec, file);
        EXPECT_EQ(testsupport::MaxDifference(back, c.image), 0);
        EXPECT_EQ(back.hasAlpha, c.image.hasAlpha);
    }
}

// Neighbouring values of only a few levels make the filter's predictor meet
// ties at almost every byte; a writer that breaks them unlike the readers do
// produces a file of other pixels.
TEST(PngCodec, PredictorTiesReadBackExactly) {
    gdip::Bitmap image;
    ASSERT_EQ(gdip::AllocateBitmap(image, 61, 23), Ok);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < image.rgba.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        image.rgba[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>((seed >> 16) % 4);
    }
    const gdip::Bitmap back =
        DecodeQuietly(gdip::kPngCodec, testsupport::Encode(*gdip::kPngCodec.makeEncoder(), image));
    EXPECT_EQ(testsupport::MaxDifference(back, image), 0);
}

TEST(PngCodec, ImageMagickReadsOurFilesExactly) {
    if (!testsupport::HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not available";
    testsupport::TempDir dir;
    for (const WriteCase& c : WriteCases()) {
        SCOPED_TRACE(c.name);
        const auto path = dir.Path() / "ours.png";
        testsupport::WriteBytes(path, testsupport::Encode(*gdip::kPngCodec.makeEncoder(), c.image));
        EXPECT_EQ(testsupport::MaxDifference(testsupport::DecodeWithConvert(path), c.image), 0);
    }
}

// Zero rows compress at close to deflate's best ratio, so a whole file of
// them must still read, while the same file cut in half cannot hold its rows
// and is refused before the picture's buffer exists.
TEST(PngCodec, DataTooShortForTheDeclaredRowsIsRefusedBeforeAllocating) {
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "progressive");
        const std::uint32_t side = 2000;
        Bytes file;
        const Bytes row(std::size_t{side} * 4, 0);
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &file, AppendToBytes, nullptr);
        png_set_compression_level(png, 9);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_IHDR(png, info, side, side, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int pass = png_set_interlace_handling(png); pass > 0; --pass)
            for (std::uint32_t y = 0; y < side; ++y) png_write_row(png, row.data());
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        ASSERT_LT(file.size(), std::size_t{side} * side * 4 / 900);  // near the best ratio

        const gdip::Bitmap whole = DecodeQuietly(gdip::kPngCodec, file);
        EXPECT_EQ(whole.width, side);
        EXPECT_EQ(whole.rgba, gdip::PixelBytes(std::size_t{side} * side * 4, 0));

        file.resize(file.size() / 2);
        gdip::Bitmap out;
        std::string printed;
        EXPECT_EQ(testsupport::DecodeWatched(*gdip::kPngCodec.makeDecoder(), file, out, printed),
                  GenericError);
        EXPECT_EQ(out.rgba.capacity(), 0u);
    }
}

// An ancillary chunk with a bad checksum makes libpng warn; the runtime
// decodes the picture and prints nothing. A critical chunk with a bad
// checksum is a damaged file (only the fuzzers ignore checksums).
TEST(PngCodec, WarningsAboutAncillaryChunksStaySilent) {
    const PngSpec rgb{"RGB", PNG_COLOR_TYPE_RGB, 8};
    Bytes file = WriteWithLibpng(rgb, 4, 4);
    const Bytes text = {0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b', 1, 2, 3, 4};
    file.insert(file.begin() + 33, text.begin(), text.end());  // after IHDR
    const gdip::Bitmap image = DecodeQuietly(gdip::kPngCodec, file);
    EXPECT_EQ(image.width, 4u);

    Bytes damaged = WriteWithLibpng(rgb, 4, 4);
    damaged[29] ^= 0x01;  // a byte of IHDR's checksum
    gdip::Bitmap out;
    std::string printed;
    EXPECT_NE(testsupport::DecodeWatched(*gdip::kPngCodec.makeDecoder(), damaged, out, printed),
              Ok);
    EXPECT_EQ(printed, "");
}

}  // namespace
