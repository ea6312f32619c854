// Every source format to every output format, through the flat API as a run
// uses it: load once, save in each format, read the output back and compare
// it with the picture the source was made from.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "platform/gdiplus/gdiplus.h"
#include "tests/support/imaging_runtime.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Format {
    const char* name;
    const char16_t* mime;
    std::function<std::unique_ptr<gdip::Encoder>()> encoder;
    std::function<std::unique_ptr<gdip::Decoder>()> decoder;
    bool lossless;      // every pixel and alpha kept
    bool keepsAlpha;    // alpha survives (GIF: as one transparent index)
    std::string magic;  // how every file the encoder writes begins
};

const Format kFormats[] = {
    {"PNG", u"image/png", gdip::kPngCodec.makeEncoder, gdip::kPngCodec.makeDecoder, true, true,
     "\x89PNG"},
    {"BMP", u"image/bmp", gdip::kBmpCodec.makeEncoder, gdip::kBmpCodec.makeDecoder, true, true,
     "BM"},
    {"JPEG", u"image/jpeg", gdip::kJpegCodec.makeEncoder, gdip::kJpegCodec.makeDecoder, false,
     false, "\xFF\xD8\xFF"},
    {"GIF", u"image/gif", gdip::kGifCodec.makeEncoder, gdip::kGifCodec.makeDecoder, false, true,
     "GIF8"},
    {"TIFF", u"image/tiff", gdip::kTiffCodec.makeEncoder, gdip::kTiffCodec.makeDecoder, true, true,
     "II*"},
};

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

class FormatMatrix : public testsupport::ImagingRuntimeTest {
protected:
    static CLSID ClsidOf(const char16_t* mime) {
        UINT count = 0, size = 0;
        GdipGetImageEncodersSize(&count, &size);
        std::vector<std::uint8_t> block(size);
        auto* info = reinterpret_cast<ImageCodecInfo*>(block.data());
        GdipGetImageEncoders(count, size, info);
        for (UINT i = 0; i < count; ++i)
            if (std::u16string(info[i].MimeType) == mime) return info[i].Clsid;
        ADD_FAILURE() << "no encoder";
        return {};
    }

    testsupport::TempDir m_dir;
};

TEST_F(FormatMatrix, EverySourceFormatToEveryOutputFormat) {
    int index = 0;
    for (const Picture& picture : Pictures()) {
        for (const Format& from : kFormats) {
            const fs::path source = m_dir.Path() / ("src" + std::to_string(++index));
            testsupport::WriteBytes(source, testsupport::Encode(*from.encoder(), picture.pixels));
            GpBitmap* bitmap = nullptr;
            ASSERT_EQ(GdipCreateBitmapFromFile(testsupport::WinPathOf(source).c_str(), &bitmap), Ok)
                << picture.name << " from " << from.name;
            GpImage* image = reinterpret_cast<GpImage*>(bitmap);
            UINT w = 0, h = 0;
            GdipGetImageWidth(image, &w);
            GdipGetImageHeight(image, &h);
            EXPECT_EQ(w, picture.pixels.width);
            EXPECT_EQ(h, picture.pixels.height);

            for (const Format& to : kFormats) {
                SCOPED_TRACE(std::string(picture.name) + ": " + from.name + " -> " + to.name);
                const fs::path out = m_dir.Path() / ("out" + std::to_string(++index));
                const CLSID clsid = ClsidOf(to.mime);
                ASSERT_EQ(GdipSaveImageToFile(image, testsupport::WinPathOf(out).c_str(), &clsid,
                                              nullptr),
                          Ok);
                const testsupport::Bytes file = testsupport::ReadBytes(out);
                ASSERT_GE(file.size(), to.magic.size());
                EXPECT_EQ(std::memcmp(file.data(), to.magic.data(), to.magic.size()), 0);
                gdip::Bitmap back;
                ASSERT_EQ(to.decoder()->Decode(file, back), Ok);
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
