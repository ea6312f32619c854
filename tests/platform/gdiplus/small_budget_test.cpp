// The decoders that rely on the bitmap allocation's budget check, held to a
// small budget: a valid file one column over it is refused with OutOfMemory
// and nothing allocated, while the same kind of file within it decodes.
#include <gtest/gtest.h>
#include <webp/encode.h>

#include <functional>

#include "tests/platform/gdiplus/codec_test_util.h"
#include "tests/platform/gdiplus/heif_test_util.h"

namespace {

using codectest::Bytes;

Bytes Webp(const gdip::Bitmap& img) {
    std::uint8_t* out = nullptr;
    const std::size_t n =
        WebPEncodeLosslessRGBA(img.rgba.data(), static_cast<int>(img.width),
                               static_cast<int>(img.height), static_cast<int>(img.width * 4), &out);
    Bytes b(out, out + n);
    WebPFree(out);
    return b;
}

struct Format {
    const char* name;
    std::function<std::unique_ptr<gdip::Decoder>()> decoder;
    std::function<Bytes(const gdip::Bitmap&)> make;
};

TEST(SmallPixelBudget, OneColumnOverTheBudgetIsRefusedBeforeThePixelsExist) {
    ASSERT_EQ(gdip::PixelBudgetBytes(), 1u << 20);  // the small budget is linked in
    const Format formats[] = {
        {"GIF", gdip::kGifCodec.makeDecoder,
         [](const gdip::Bitmap& i) {
             return testimages::Encode(*gdip::kGifCodec.makeEncoder(), i);
         }},
        {"TIFF", gdip::kTiffCodec.makeDecoder,
         [](const gdip::Bitmap& i) {
             return testimages::Encode(*gdip::kTiffCodec.makeEncoder(), i);
         }},
        {"ICO", gdip::kIcoCodec.makeDecoder,
         [](const gdip::Bitmap& i) {
             return testimages::Icon({{i.width, i.height, 32, testimages::IconBitmap(i, 32, {})}});
         }},
        {"WebP", gdip::kWebpCodec.makeDecoder, Webp},
        {"HEIF", gdip::kHeifCodec.makeDecoder,
         [](const gdip::Bitmap& i) {
             return codectest::MakeHeif(i, heif_compression_HEVC, heif_orientation_normal);
         }},
    };
    // The budget is 262,144 pixels, 512 x 512; libtiff is held to the same
    // bytes for each of its own buffers, so the file that fits stays clear of it.
    const gdip::Bitmap within = testimages::SmoothWaves(64, 64);
    const gdip::Bitmap over = testimages::SmoothWaves(513, 512);
    gdip::Bitmap direct;
    EXPECT_EQ(gdip::AllocateBitmap(direct, over.width, over.height), OutOfMemory);
    EXPECT_EQ(direct.rgba.capacity(), 0u);
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        const Bytes fits = f.make(within), tooBig = f.make(over);
        if (fits.empty() && std::string(f.name) == "HEIF") continue;  // no HEVC encoder here
        ASSERT_FALSE(fits.empty());
        ASSERT_FALSE(tooBig.empty());
        gdip::Bitmap out;
        std::string printed;
        EXPECT_EQ(codectest::DecodeWatched(*f.decoder(), fits, out, printed), Ok) << printed;
        EXPECT_EQ(out.width, 64u);
        gdip::Bitmap refused;
        EXPECT_EQ(codectest::DecodeWatched(*f.decoder(), tooBig, refused, printed), OutOfMemory);
        EXPECT_EQ(refused.rgba.capacity(), 0u);
    }
}

}  // namespace
