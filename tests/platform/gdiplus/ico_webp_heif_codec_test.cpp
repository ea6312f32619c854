// ICO (bitmap and PNG entries), WebP (lossy, lossless, alpha, animated,
// EXIF) and HEIF/AVIF (made with libheif's own encoders when present).
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <memory>

#include "tests/support/heif_files.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;

gdip::Bitmap DecodeWith(const gdip::Decoder& decoder, const Bytes& file, GpStatus expected = Ok) {
    gdip::Bitmap out;
    std::string printed;
    EXPECT_EQ(DecodeWatched(decoder, file, out, printed), expected);
    EXPECT_EQ(printed, "");
    return out;
}

// What the icon decoder reads from the file.
gdip::Bitmap Ico(const Bytes& file, GpStatus expected = Ok) {
    return DecodeWith(*gdip::kIcoCodec.makeDecoder(), file, expected);
}

// An image of at most four colours, with some pixels transparent.
gdip::Bitmap FourColours(std::uint32_t w, std::uint32_t h, bool holes) {
    return MakeBitmap(w, h, true, [holes](std::uint32_t x, std::uint32_t y) {
        static const Pixel c[] = {
            {200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}, {250, 250, 250, 255}};
        Pixel p = c[(x + 2 * y) % 4];
        if (holes && (x * 7 + y) % 5 == 0) p[3] = 0;
        return p;
    });
}

TEST(IcoCodec, ReadsBitmapEntriesOfEveryDepthWithTheirMask) {
    const std::vector<Pixel> palette = {
        {200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}, {250, 250, 250, 255}};
    for (int bits : {1, 4, 8, 24, 32}) {
        gdip::Bitmap img = FourColours(13, 7, true);
        if (bits == 1)  // two colours only
            for (std::size_t i = 0; i < img.rgba.size(); i += 4)
                std::copy_n(palette[(i / 4) % 2].begin(), 3, img.rgba.begin() + long(i));
        std::vector<Pixel> pal = bits <= 8 ? palette : std::vector<Pixel>{};
        if (bits == 1) pal.resize(2);
        const gdip::Bitmap back =
            Ico(Icon({{13, 7, std::uint16_t(bits), IconBitmap(img, bits, pal)}}));
        EXPECT_TRUE(back.hasAlpha) << bits;
        EXPECT_EQ(back.width, 13u);
        for (std::size_t i = 0; i < img.rgba.size(); i += 4) {
            ASSERT_EQ(back.rgba[i + 3], img.rgba[i + 3]) << bits << " bits, pixel " << i / 4;
            if (img.rgba[i + 3] == 0) continue;
            ASSERT_TRUE(std::equal(img.rgba.begin() + long(i), img.rgba.begin() + long(i) + 3,
                                   back.rgba.begin() + long(i)))
                << bits << " bits, pixel " << i / 4;
        }
    }
}

TEST(IcoCodec, PicksTheLargestThenDeepestEntry) {
    const gdip::Bitmap small = FourColours(16, 16, false), big = Asymmetric(32, 32, true);
    gdip::Bitmap bigOpaque = big;
    for (std::size_t i = 3; i < bigOpaque.rgba.size(); i += 4) bigOpaque.rgba[i] = 255;
    const Bytes icon = Icon({{16, 16, 32, IconBitmap(small, 32, {})},
                             {32, 32, 24, IconBitmap(bigOpaque, 24, {})},
                             {32, 32, 32, IconBitmap(big, 32, {})}});
    EXPECT_EQ(Ico(icon).rgba, big.rgba);
    // An entry pointing past the end is passed over; one pointing into garbage fails.
    Bytes broken = icon;
    broken[6 + 32 + 12] = 0xFF, broken[6 + 32 + 15] = 0x7F;
    EXPECT_EQ(Ico(broken).rgba, bigOpaque.rgba);
    broken[6 + 16 + 12] = 2;
    Ico(broken, GenericError);
}

TEST(IcoCodec, ReadsPngEntriesAndFilesMadeByImageMagick) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    testsupport::TempDir dir;
    const gdip::Bitmap img = Asymmetric(48, 40, true);
    WritePam(dir.Path() / "a.pam", img);
    ASSERT_TRUE(Convert({(dir.Path() / "a.pam").string(), (dir.Path() / "a.png").string()}));
    const Bytes icon = Icon({{16, 16, 32, IconBitmap(FourColours(16, 16, false), 32, {})},
                             {48, 40, 32, ReadBytes(dir.Path() / "a.png")}});
    const gdip::Bitmap back = Ico(icon);
    EXPECT_EQ(back.rgba, img.rgba);
    EXPECT_TRUE(back.hasAlpha);
    // ImageMagick writes smaller pictures as 32-bit bitmap entries.
    ASSERT_TRUE(Convert({(dir.Path() / "a.pam").string(), (dir.Path() / "b.ico").string()}));
    const Bytes bmpIcon = ReadBytes(dir.Path() / "b.ico");
    ASSERT_GT(bmpIcon.size(), 22u + 4);
    EXPECT_EQ(bmpIcon[22], 40);  // a bitmap header, not a PNG
    EXPECT_EQ(Ico(bmpIcon).rgba, img.rgba);
    // And one whose 256-pixel entry is a PNG.
    ASSERT_TRUE(Convert({(dir.Path() / "a.pam").string(), "-define", "icon:auto-resize=256,32,16",
                         (dir.Path() / "a.ico").string()}));
    EXPECT_EQ(Ico(ReadBytes(dir.Path() / "a.ico")).width, 256u);
}

Bytes MakeWebp(const gdip::Bitmap& first, const gdip::Bitmap* second,
               std::vector<std::string> options) {
    testsupport::TempDir dir;
    WritePam(dir.Path() / "a.pam", first);
    if (second) WritePam(dir.Path() / "b.pam", *second);
    options.insert(options.begin(), (dir.Path() / "a.pam").string());
    if (second) options.push_back((dir.Path() / "b.pam").string());
    options.push_back((dir.Path() / "out.webp").string());
    EXPECT_TRUE(Convert(options));
    return ReadBytes(dir.Path() / "out.webp");
}

TEST(WebpCodec, ReadsLossyLosslessAlphaAndAnimated) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const auto webp = gdip::kWebpCodec.makeDecoder();
    const gdip::Bitmap photo = SmoothWaves(67, 41), alpha = Asymmetric(31, 19, true);
    const gdip::Bitmap lossy = DecodeWith(*webp, MakeWebp(photo, nullptr, {"-quality", "95"}));
    EXPECT_GE(Psnr(lossy, photo), 30.0);
    EXPECT_FALSE(lossy.hasAlpha);
    EXPECT_EQ(DecodeWith(*webp, MakeWebp(photo, nullptr, {"-define", "webp:lossless=true"})).rgba,
              photo.rgba);
    const gdip::Bitmap a =
        DecodeWith(*webp, MakeWebp(alpha, nullptr, {"-define", "webp:lossless=true"}));
    EXPECT_TRUE(a.hasAlpha);
    EXPECT_EQ(a.rgba, alpha.rgba);
    const gdip::Bitmap other = SmoothWaves(67, 41 + 0);
    gdip::Bitmap second = Asymmetric(67, 41);
    const gdip::Bitmap anim = DecodeWith(
        *webp, MakeWebp(other, &second, {"-define", "webp:lossless=true", "-delay", "10"}));
    EXPECT_EQ(anim.rgba, other.rgba);
}

TEST(WebpCodec, ExifOrientationTurnsTheImage) {
    if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    const gdip::Bitmap stored = Asymmetric(7, 3);
    const Bytes simple = MakeWebp(stored, nullptr, {"-define", "webp:lossless=true"});
    ASSERT_TRUE(simple.size() > 16 && std::equal(simple.begin() + 12, simple.begin() + 16, "VP8L"));
    for (std::uint16_t v = 1; v <= 8; ++v) {
        gdip::Bitmap want = stored;
        ASSERT_EQ(gdip::ApplyOrientation(want, v), Ok);
        EXPECT_EQ(DecodeWith(*gdip::kWebpCodec.makeDecoder(), WebpWithExif(simple, 7, 3, v)).rgba,
                  want.rgba)
            << v;
    }
}

TEST(HeifCodec, ReadsHeicAndAvifTurnedOnceByTheContainer) {
    const struct {
        const char* name;
        heif_compression_format format;
    } formats[] = {{"HEIC", heif_compression_HEVC}, {"AVIF", heif_compression_AV1}};
    const struct {
        bool alpha;
        heif_orientation orientation;
    } cases[] = {{false, heif_orientation_normal},
                 {false, heif_orientation_rotate_90_cw},
                 {true, heif_orientation_normal}};
    int made = 0;
    for (const auto& f : formats)
        for (const auto& c : cases) {
            gdip::Bitmap img = SmoothWaves(64, 48);
            if (c.alpha) {
                img.hasAlpha = true;
                for (std::size_t i = 3; i < img.rgba.size(); i += 4)
                    img.rgba[i] = std::uint8_t(i / 16);
            }
            const Bytes file = MakeHeif(img, f.format, c.orientation);
            if (file.empty()) continue;
            ++made;
            const auto decoder = gdip::kHeifCodec.makeDecoder();
            ASSERT_TRUE(gdip::kHeifCodec.sniff(file)) << f.name;
            gdip::Bitmap want = img;
            ASSERT_EQ(gdip::ApplyOrientation(want, c.orientation), Ok);
            const gdip::Bitmap got = DecodeWith(*decoder, file);
            // Turned by the EXIF block as well, it would be 64 wide again.
            ASSERT_EQ(got.width, want.width) << f.name << " orientation " << c.orientation;
            EXPECT_EQ(got.hasAlpha, c.alpha) << f.name;
            if (!c.alpha) {
                EXPECT_GE(Psnr(got, want), 30.0) << f.name << " " << c.orientation;
            }
            double alphaError = 0;
            for (std::size_t i = 3; i < got.rgba.size(); i += 4)
                alphaError += std::abs(int(got.rgba[i]) - int(want.rgba[i]));
            EXPECT_LT(alphaError / double(got.width * got.height), 3.0) << f.name;
        }
    if (made == 0) GTEST_SKIP() << "this libheif has no HEVC or AV1 encoder to make samples";
}

}  // namespace
