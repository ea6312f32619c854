// BMP: our own reader and writer, checked against files we build byte by
// byte and against ImageMagick, which writes and reads the same format.
#include <gtest/gtest.h>

#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::Bytes;
using testsupport::DecodeQuietly;

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

// A file with a 40-byte header, a palette of BGRx entries and the given
// pixel bytes.
Bytes HandMadeBmp(std::int32_t width, std::int32_t height, int bpp, std::uint32_t compression,
                  const std::vector<std::uint32_t>& palette, const Bytes& pixels) {
    const std::size_t offset = 14 + 40 + 4 * palette.size();
    Bytes b(offset, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<std::uint32_t>(offset + pixels.size()));
    Put32(b, 10, static_cast<std::uint32_t>(offset));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<std::uint32_t>(width));
    Put32(b, 22, static_cast<std::uint32_t>(height));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<std::uint32_t>(bpp));
    Put32(b, 30, compression);
    Put32(b, 46, static_cast<std::uint32_t>(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i) Put32(b, 54 + 4 * i, palette[i]);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

std::uint32_t PackedPixelAt(const gdip::Bitmap& b, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = b.Row(y) + 4 * x;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

struct RoundTripCase {
    std::uint32_t w, h;
    bool alpha;
};

TEST(BmpCodec, RoundTripKeepsEveryPixelAndWritesTheDocumentedLayout) {
    for (const RoundTripCase c : {RoundTripCase{1, 1, false},
                                  {7, 3, false},
                                  {13, 1, false},
                                  {1, 1, true},
                                  {7, 3, true},
                                  {64, 33, true}}) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.alpha ? " alpha" : ""));
        const gdip::Bitmap source = testsupport::Pattern(c.w, c.h, c.alpha);
        const Bytes file = testsupport::Encode(*gdip::kBmpCodec.makeEncoder(), source);
        ASSERT_GT(file.size(), 54u);
        EXPECT_EQ(Get32(file, 2), file.size());
        EXPECT_EQ(Get32(file, 14), c.alpha ? 108u : 40u);
        EXPECT_EQ(file[28], c.alpha ? 32 : 24);
        EXPECT_EQ(Get32(file, 22), c.h);  // positive: bottom-up
        const gdip::Bitmap back = DecodeQuietly(gdip::kBmpCodec, file);
        EXPECT_EQ(testsupport::MaxDifference(source, back), 0);
        EXPECT_EQ(back.hasAlpha, c.alpha);
    }
}

TEST(BmpCodec, ImageMagickReadsOurFilesAsWeMeantThem) {
    if (!testsupport::HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not available";
    testsupport::TempDir dir;
    for (const RoundTripCase c : {RoundTripCase{7, 3, false}, {33, 17, false}, {7, 3, true}}) {
        const gdip::Bitmap source = testsupport::Pattern(c.w, c.h, c.alpha);
        const auto path = dir.Path() / "ours.bmp";
        testsupport::WriteBytes(path, testsupport::Encode(*gdip::kBmpCodec.makeEncoder(), source));
        EXPECT_EQ(testsupport::MaxDifference(testsupport::DecodeWithConvert(path), source), 0)
            << c.w << "x" << c.h;
    }
}

struct ThirdPartyCase {
    const char* name;
    std::vector<std::string> options;
    std::string prefix;
    bool alphaSource;
    std::uint32_t headerSize, bpp, compression;
    // ImageMagick widens short bit fields by shifting (15 -> 240), we scale
    // them (15 -> 255), so its reading of such fields differs from ours.
    int tolerance = 0;
};

TEST(BmpCodec, ReadsWhatImageMagickWritesInEveryVariant) {
    if (!testsupport::HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not available";
    const std::vector<ThirdPartyCase> cases = {
        {"INFO 24-bit", {}, "BMP3:", false, 40, 24, 0},
        {"OS/2 24-bit", {}, "BMP2:", false, 12, 24, 0},
        {"OS/2 4-bit palette",
         {"-colors", "16", "-type", "palette", "-compress", "None"},
         "BMP2:",
         false,
         12,
         4,
         0},
        {"1-bit palette",
         {"-colors", "2", "-type", "palette", "-compress", "None"},
         "BMP3:",
         false,
         40,
         1,
         0},
        {"4-bit palette",
         {"-colors", "16", "-type", "palette", "-compress", "None"},
         "BMP3:",
         false,
         40,
         4,
         0},
        {"8-bit palette",
         {"-colors", "200", "-type", "palette", "-compress", "None"},
         "BMP3:",
         false,
         40,
         8,
         0},
        {"RLE8",
         {"-colors", "200", "-type", "palette", "-compress", "RLE"},
         "BMP3:",
         false,
         40,
         8,
         1},
        {"V5 RGB565", {"-define", "bmp:subtype=RGB565"}, "BMP:", false, 124, 16, 3, 1},
        {"V5 RGB555", {"-define", "bmp:subtype=RGB555"}, "BMP:", false, 124, 16, 3, 1},
        {"V5 ARGB4444", {"-define", "bmp:subtype=ARGB4444"}, "BMP:", true, 124, 16, 3, 15},
        {"V5 32-bit alpha", {}, "BMP:", true, 124, 32, 3},
    };
    testsupport::TempDir dir;
    const auto source = dir.Path() / "source.pam";
    for (const ThirdPartyCase& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WritePam(source, testsupport::Pattern(37, 21, c.alphaSource));
        const auto made = dir.Path() / "made.bmp";
        std::vector<std::string> args{source.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.prefix + made.string());
        ASSERT_TRUE(testsupport::Convert(args));
        const Bytes file = testsupport::ReadBytes(made);
        ASSERT_EQ(Get32(file, 14), c.headerSize);
        ASSERT_EQ(file[c.headerSize == 12 ? 24 : 28], c.bpp);
        if (c.headerSize != 12) {
            ASSERT_EQ(Get32(file, 30), c.compression);
        }
        const gdip::Bitmap ours = DecodeQuietly(gdip::kBmpCodec, file);
        EXPECT_LE(testsupport::MaxDifference(ours, testsupport::DecodeWithConvert(made)),
                  c.tolerance);
        EXPECT_EQ(ours.hasAlpha, c.alphaSource);
    }
}

// Palette: 0 black, 1 red, 2 green, 3 blue (BGRx entries).
const std::vector<std::uint32_t> kFourColours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
constexpr std::uint32_t kBlack = 0xFF000000, kRed = 0xFF0000FF, kGreen = 0xFF00FF00,
                        kBlue = 0xFFFF0000;

struct RleCase {
    const char* name;
    int bpp;
    std::uint32_t compression;
    Bytes data;
};

// Both RLE kinds draw the same 6 x 3 picture (bottom-up: the first line
// coded is the bottom row): a run, an absolute run, an end of line, a delta
// that skips pixels (left as palette entry 0), and the end of the bitmap.
TEST(BmpCodec, RunLengthFilesWithRunsAbsoluteRunsDeltasAndEnds) {
    const std::vector<RleCase> cases = {
        {"RLE8",
         8,
         1,
         {3, 1,              // three red
          0, 3, 2, 3, 2, 0,  // absolute: green blue green, padded to a word
          0, 0,              // end of line
          0, 2, 1, 1,        // delta: right 1, up 1 (to row 2, x 1)
          2, 3,              // two blue
          0, 1}},            // end of bitmap
        {"RLE4",
         4,
         2,
         {3, 0x11,           // three red
          0, 3, 0x23, 0x20,  // absolute: green blue green, padded to a word
          0, 0, 0, 2, 1, 1, 2, 0x33, 0, 1}},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        const gdip::Bitmap image = DecodeQuietly(
            gdip::kBmpCodec, HandMadeBmp(6, 3, c.bpp, c.compression, kFourColours, c.data));
        ASSERT_EQ(image.width, 6u);
        ASSERT_EQ(image.height, 3u);
        const std::uint32_t bottom[6] = {kRed, kRed, kRed, kGreen, kBlue, kGreen};
        for (std::uint32_t x = 0; x < 6; ++x) EXPECT_EQ(PackedPixelAt(image, x, 2), bottom[x]) << x;
        for (std::uint32_t x = 0; x < 6; ++x) EXPECT_EQ(PackedPixelAt(image, x, 1), kBlack) << x;
        const std::uint32_t top[6] = {kBlack, kBlue, kBlue, kBlack, kBlack, kBlack};
        for (std::uint32_t x = 0; x < 6; ++x) EXPECT_EQ(PackedPixelAt(image, x, 0), top[x]) << x;
        EXPECT_FALSE(image.hasAlpha);
    }
}

TEST(BmpCodec, TopDownRowsReadInFileOrder) {
    const gdip::Bitmap source = testsupport::Pattern(5, 4, false);
    Bytes file = testsupport::Encode(*gdip::kBmpCodec.makeEncoder(), source);
    const std::size_t offset = Get32(file, 10), stride = 16;
    Bytes flipped(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offset));
    for (std::size_t row = 4; row-- > 0;)
        flipped.insert(flipped.end(),
                       file.begin() + static_cast<std::ptrdiff_t>(offset + row * stride),
                       file.begin() + static_cast<std::ptrdiff_t>(offset + (row + 1) * stride));
    Put32(flipped, 22, static_cast<std::uint32_t>(-4));
    EXPECT_EQ(testsupport::MaxDifference(DecodeQuietly(gdip::kBmpCodec, flipped), source), 0);
}

// In a 32-bit file without masks the fourth byte is usually padding: all
// zero means opaque; anything else is alpha and is kept.
TEST(BmpCodec, ThirtyTwoBitFourthByteIsAlphaOnlyWhenUsed) {
    const Bytes zeros = {10, 20, 30, 0, 40, 50, 60, 0};
    const gdip::Bitmap opaque = DecodeQuietly(gdip::kBmpCodec, HandMadeBmp(2, 1, 32, 0, {}, zeros));
    EXPECT_FALSE(opaque.hasAlpha);
    EXPECT_EQ(PackedPixelAt(opaque, 0, 0), 0xFF0A141Eu);
    EXPECT_EQ(PackedPixelAt(opaque, 1, 0), 0xFF28323Cu);

    const Bytes someAlpha = {10, 20, 30, 0, 40, 50, 60, 128};
    const gdip::Bitmap translucent =
        DecodeQuietly(gdip::kBmpCodec, HandMadeBmp(2, 1, 32, 0, {}, someAlpha));
    EXPECT_TRUE(translucent.hasAlpha);
    EXPECT_EQ(PackedPixelAt(translucent, 0, 0), 0x000A141Eu);
    EXPECT_EQ(PackedPixelAt(translucent, 1, 0), 0x8028323Cu);
}

// 16-bit pixels are 5-5-5 unless bit fields say otherwise; with a 40-byte
// header the three masks follow the header.
TEST(BmpCodec, SixteenBitPixelsFollowTheirMasks) {
    const Bytes rgb555 = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0};
    const gdip::Bitmap plain = DecodeQuietly(gdip::kBmpCodec, HandMadeBmp(3, 1, 16, 0, {}, rgb555));
    const Bytes rgb565 = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0};
    const gdip::Bitmap masked =
        DecodeQuietly(gdip::kBmpCodec, HandMadeBmp(3, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, rgb565));
    for (const gdip::Bitmap* image : {&plain, &masked}) {
        EXPECT_EQ(PackedPixelAt(*image, 0, 0), kRed);
        EXPECT_EQ(PackedPixelAt(*image, 1, 0), kGreen);
        EXPECT_EQ(PackedPixelAt(*image, 2, 0), kBlue);
        EXPECT_FALSE(image->hasAlpha);
    }
}

TEST(BmpCodec, IndexBeyondAShortPaletteIsBlackNotAWildRead) {
    // Two entries, but the 8-bit pixels use index 200.
    const gdip::Bitmap image = DecodeQuietly(
        gdip::kBmpCodec, HandMadeBmp(2, 1, 8, 0, {0x0000FF, 0x00FF00}, {1, 200, 0, 0}));
    EXPECT_EQ(PackedPixelAt(image, 0, 0), kGreen);
    EXPECT_EQ(PackedPixelAt(image, 1, 0), kBlack);
}

}  // namespace
