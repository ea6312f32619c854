// Every source format to every output format, through the flat API as a run
// uses it: load once, save in each format, read the output back and compare
// it with the picture the source was made from.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/flat_api_fixture.h"

namespace {

namespace fs = std::filesystem;

// What each written format keeps; its name, MIME type, coders and the bytes
// its files begin with are its descriptor's.
struct Format {
    const gdip::CodecDescriptor* codec;
    bool lossless;    // every pixel and alpha kept
    bool keepsAlpha;  // alpha survives (GIF: as one transparent index)
};

const Format kFormats[] = {{&gdip::kPngCodec, true, true},
                           {&gdip::kBmpCodec, true, true},
                           {&gdip::kJpegCodec, false, false},
                           {&gdip::kGifCodec, false, true},
                           {&gdip::kTiffCodec, true, true}};

struct Picture {
    const char* name;
    gdip::Bitmap pixels;
    bool smooth;  // lossy formats are held to a PSNR bound only on smooth pictures
};

std::vector<Picture> Pictures() {
    return {
        {"1x1", testsupport::Pattern(1, 1, false), true},
        {"7x3", testsupport::Pattern(7, 3, false), false},
        {"gray 33x17", testsupport::GrayPattern(33, 17), false},
        {"smooth 64x48", testsupport::Smooth(64, 48), true},
        {"alpha 9x5", testsupport::Pattern(9, 5, true), false},
    };
}

// What a picture looks like after JPEG: alpha composited over white.
gdip::Bitmap OverWhite(gdip::Bitmap b) {
    for (std::size_t i = 0; i < b.rgba.size(); i += 4) {
        const unsigned a = b.rgba[i + 3];
        for (int c = 0; c < 3; ++c)
            b.rgba[i + c] =
                static_cast<std::uint8_t>((b.rgba[i + c] * a + 255 * (255 - a) + 127) / 255);
        b.rgba[i + 3] = 255;
    }
    b.hasAlpha = false;
    return b;
}

using FormatMatrix = testsupport::FlatApi;

TEST_F(FormatMatrix, EverySourceFormatToEveryOutputFormat) {
    int index = 0;
    for (const Picture& picture : Pictures()) {
        for (const Format& from : kFormats) {
            const fs::path source = m_dir.Path() / ("src" + std::to_string(++index));
            testsupport::WriteBytes(
                source, testsupport::Encode(*from.codec->makeEncoder(), picture.pixels));
            GpImage* image = Load(source);
            ASSERT_NE(image, nullptr) << picture.name << " from " << from.codec->name;
            UINT w = 0, h = 0;
            GdipGetImageWidth(image, &w);
            GdipGetImageHeight(image, &h);
            EXPECT_EQ(w, picture.pixels.width);
            EXPECT_EQ(h, picture.pixels.height);

            for (const Format& to : kFormats) {
                SCOPED_TRACE(std::string(picture.name) + ": " + std::string(from.codec->name) +
                             " -> " + std::string(to.codec->name));
                const fs::path out = m_dir.Path() / ("out" + std::to_string(++index));
                ASSERT_EQ(Save(image, out, std::u16string(to.codec->published.mimeType)), Ok);
                const testsupport::Bytes file = testsupport::ReadBytes(out);
                // The file begins with one of the marks published with the encoder.
                int marks = 0;
                for (const gdip::Signature& mark : to.codec->signatures)
                    marks += !mark.bytes.empty() && file.size() >= mark.bytes.size() &&
                             std::memcmp(file.data(), mark.bytes.data(), mark.bytes.size()) == 0;
                EXPECT_EQ(marks, 1);
                gdip::Bitmap back;
                ASSERT_EQ(to.codec->makeDecoder()->Decode(file, back), Ok);
                ASSERT_EQ(back.width, picture.pixels.width);
                ASSERT_EQ(back.height, picture.pixels.height);
                // The runtime, choosing the decoder by content, reads it too.
                GpBitmap* again = nullptr;
                ASSERT_EQ(GdipCreateBitmapFromFile(testsupport::WinPathOf(out).c_str(), &again),
                          Ok);
                UINT againWidth = 0;
                EXPECT_EQ(GdipGetImageWidth(reinterpret_cast<GpImage*>(again), &againWidth), Ok);
                EXPECT_EQ(againWidth, picture.pixels.width);
                EXPECT_EQ(GdipDisposeImage(reinterpret_cast<GpImage*>(again)), Ok);

                const bool alpha = picture.pixels.hasAlpha;
                const bool losslessPath = from.lossless && to.lossless;
                const bool throughJpeg = !from.keepsAlpha || !to.keepsAlpha;
                gdip::Bitmap expected =
                    alpha && throughJpeg ? OverWhite(picture.pixels) : picture.pixels;
                if (losslessPath) {
                    EXPECT_EQ(testsupport::MaxDifference(back, expected), 0);
                } else if (!alpha && (picture.smooth || !throughJpeg)) {
                    // GIF keeps a picture of few colours almost exactly; JPEG
                    // is held to a bound on smooth pictures.
                    EXPECT_GE(testsupport::Psnr(back, expected), 28.0);
                }
                if (alpha && !throughJpeg) {
                    // Transparency survives wherever the picture was clearly
                    // transparent or clearly opaque.
                    for (std::size_t i = 3; i < expected.rgba.size(); i += 4) {
                        if (expected.rgba[i] < 64) {
                            EXPECT_LT(back.rgba[i], 128) << i / 4;
                        }
                        if (expected.rgba[i] > 192) {
                            EXPECT_GE(back.rgba[i], 128) << i / 4;
                        }
                    }
                }
            }
            GdipDisposeImage(image);
        }
    }
}

}  // namespace
