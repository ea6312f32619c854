// The writers that work in bands side by side (PNG row segments, TIFF strips
// in batches, GIF bands of rows): pictures that cross the band boundaries
// come back whole, through our reader and ImageMagick's, and the GIF's
// error diffusion shows no seam between bands and no banding on a gradient.
#include <gtest/gtest.h>
#include <zlib.h>

#include <set>

#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::Bytes;
using testsupport::DecodeQuietly;

// ImageMagick reads the file as exactly this picture (nothing to check
// without it).
void ExpectImageMagickReads(const Bytes& file, const std::string& extension,
                            const gdip::Bitmap& picture) {
    testsupport::TempDir dir;
    const auto path = dir.Path() / ("picture." + extension);
    testsupport::WriteBytes(path, file);
    const gdip::Bitmap other = testsupport::DecodeWithConvert(path);
    if (other.width != 0) {
        EXPECT_EQ(testsupport::MaxDifference(other, picture), 0) << extension;
    }
}

// Squared error of the 3x3 local means (the colour seen at viewing
// distance), per row.
std::vector<double> LocalMeanErrorByRow(const gdip::Bitmap& a, const gdip::Bitmap& b) {
    std::vector<double> rows(a.height, 0);
    for (std::uint32_t y = 1; y + 1 < a.height; ++y) {
        for (std::uint32_t x = 1; x + 1 < a.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int d = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        d += a.Row(y + dy)[(x + dx) * 4 + c] - b.Row(y + dy)[(x + dx) * 4 + c];
                rows[y] += (d / 9.0) * (d / 9.0);
            }
        rows[y] /= 3.0 * (a.width - 2);
    }
    return rows;
}

double Mean(const std::vector<double>& v, std::size_t from, std::size_t to) {
    double sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += v[i];
    return sum / double(to - from);
}

TEST(BandedWriters, LosslessFilesReadBackExactlyAcrossBands) {
    // 700 x 1600: 13 PNG segments, 70 TIFF strips (more than are compressed
    // ahead of the one being written).
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "with alpha" : "opaque");
        const gdip::Bitmap src = testsupport::Pattern(700, 1600, alpha);
        for (const auto* codec : {&gdip::kPngCodec, &gdip::kTiffCodec}) {
            const Bytes file = testsupport::Encode(*codec->makeEncoder(), src);
            EXPECT_EQ(DecodeQuietly(*codec, file).rgba, src.rgba) << codec->name;
            ExpectImageMagickReads(file, std::string(codec->name), src);
        }
    }
    // A GIF of few colours is exact, whatever its bands' codes look like.
    gdip::Bitmap few = testsupport::Pattern(333, 1100, false);
    for (std::size_t i = 0; i < few.rgba.size(); ++i)
        if (i % 4 != 3) few.rgba[i] &= 0xC0;
    const Bytes gif = testsupport::Encode(*gdip::kGifCodec.makeEncoder(), few);
    EXPECT_EQ(DecodeQuietly(gdip::kGifCodec, gif).rgba, few.rgba);
    ExpectImageMagickReads(gif, "gif", few);
}

// The filter type of every row of a PNG file of 8-bit RGB rows.
std::set<int> FilterTypes(const Bytes& png, std::uint32_t width, std::uint32_t height) {
    Bytes idat;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t n =
            std::size_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT")
            idat.insert(idat.end(), png.begin() + at + 8, png.begin() + at + 8 + n);
        at += n + 12;
    }
    const std::size_t stride = std::size_t{width} * 3 + 1;
    Bytes rows(stride * height);
    uLongf size = rows.size();
    std::set<int> types;
    if (uncompress(rows.data(), &size, idat.data(), idat.size()) != Z_OK || size != rows.size())
        return types;
    for (std::uint32_t y = 0; y < height; ++y) types.insert(rows[y * stride]);
    return types;
}

TEST(BandedWriters, PngRowsTakeEachFilterAndReadBack) {
    // Rows made for each filter type, each kind after a row of noise, so
    // that a filter that reads its neighbours wrongly shows in the pixels:
    // noise, a zero row (None), a ramp (Sub), the ramp again (Up), the mean
    // of the left and upper values (Average); a plane at the end (Paeth).
    gdip::Bitmap src = testsupport::Pattern(300, 300, false);
    std::uint32_t state = 5;
    const auto noise = [&state] {
        return static_cast<std::uint8_t>((state = state * 1664525 + 1013904223) >> 24);
    };
    for (std::uint32_t y = 0; y < 300; ++y) {
        std::uint8_t* row = src.Row(y);
        const std::uint8_t* up = y > 0 ? src.Row(y - 1) : nullptr;
        for (std::uint32_t x = 0; x < 300 * 4; ++x) {
            if (x % 4 == 3) continue;
            const int left = x >= 4 ? row[x - 4] : 0;
            switch (y % 10 < 5 ? y % 10 : 0) {
                case 0:
                    row[x] = noise();
                    break;
                case 1:
                    row[x] = 0;
                    break;
                case 2:
                    row[x] = static_cast<std::uint8_t>(x / 4 * (1 + x % 4));
                    break;
                case 3:
                    row[x] = up[x];
                    break;
                case 4:
                    row[x] = static_cast<std::uint8_t>((left + up[x]) / 2);
                    break;
            }
        }
    }
    for (std::uint32_t y = 250; y < 300; ++y)
        for (std::uint32_t x = 0; x < 300 * 4; ++x)
            if (x % 4 != 3) src.Row(y)[x] = static_cast<std::uint8_t>(x / 4 * 3 + y * 5 + x % 4);
    const Bytes file = testsupport::Encode(*gdip::kPngCodec.makeEncoder(), src);
    EXPECT_EQ(DecodeQuietly(gdip::kPngCodec, file).rgba, src.rgba);
    EXPECT_EQ(FilterTypes(file, 300, 300), (std::set<int>{0, 1, 2, 3, 4}));
    ExpectImageMagickReads(file, "png", src);
}

TEST(BandedWriters, GifDiffusionShowsNoSeamAndNoBanding) {
    // Bands of 256 rows: boundaries at 256, 512 and 768.
    const gdip::Bitmap smooth = testsupport::Smooth(600, 1024);
    const gdip::Bitmap back =
        DecodeQuietly(gdip::kGifCodec, testsupport::Encode(*gdip::kGifCodec.makeEncoder(), smooth));
    ASSERT_EQ(back.height, smooth.height);
    const std::vector<double> rows = LocalMeanErrorByRow(smooth, back);
    const double overall = Mean(rows, 1, rows.size() - 1);
    for (const std::size_t seam : {256u, 512u, 768u})
        EXPECT_LE(Mean(rows, seam - 2, seam + 2), 1.5 * overall) << "rows around " << seam;

    // Hues sweeping slowly across: the writer this one replaced left a mean
    // squared error of 2.1 in the local means here.
    gdip::Bitmap gradient;
    ASSERT_EQ(gdip::AllocateBitmap(gradient, 768, 256), Ok);
    for (std::uint32_t y = 0; y < 256; ++y)
        for (std::uint32_t x = 0; x < 768; ++x) {
            std::uint8_t* p = gradient.Row(y) + x * 4;
            p[0] = std::uint8_t(x / 3), p[1] = std::uint8_t(y), p[2] = std::uint8_t(255 - x / 6);
            p[3] = 255;
        }
    const gdip::Bitmap banded = DecodeQuietly(
        gdip::kGifCodec, testsupport::Encode(*gdip::kGifCodec.makeEncoder(), gradient));
    ASSERT_EQ(banded.height, 256u);
    const std::vector<double> g = LocalMeanErrorByRow(gradient, banded);
    EXPECT_LE(Mean(g, 1, g.size() - 1), 2.1);
}

}  // namespace
