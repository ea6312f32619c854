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

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}

// An icon of one 32-bit picture with its (empty) AND mask.
Bytes Icon(const gdip::Bitmap& img) {
    const std::uint32_t w = img.width, h = img.height;
    const std::uint32_t maskRow = (w + 31) / 32 * 4;
    const std::uint32_t size = 40 + w * h * 4 + maskRow * h;
    Bytes b;
    Put16(b, 0), Put16(b, 1), Put16(b, 1);
    b.insert(b.end(), {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(h), 0, 0});
    Put16(b, 1), Put16(b, 32), Put32(b, size), Put32(b, 22);
    Put32(b, 40), Put32(b, w), Put32(b, h * 2), Put16(b, 1), Put16(b, 32);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    for (std::uint32_t y = h; y-- > 0;)
        for (std::uint32_t x = 0; x < w; ++x) {
            const testimages::Pixel p = testimages::PixelAt(img, x, y);
            b.insert(b.end(), {p[2], p[1], p[0], p[3]});
        }
    b.resize(b.size() + std::size_t{maskRow} * h, 0);
    return b;
}

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
        {"ICO", gdip::kIcoCodec.makeDecoder, Icon},
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
