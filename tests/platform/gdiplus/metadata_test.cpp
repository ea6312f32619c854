// The colour profile, EXIF and XMP of a source, carried into every output
// that can hold them and read back by an independent reader (exiftool); the
// outputs that cannot hold a profile converted to sRGB; broken metadata
// dropped without costing the picture.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <libheif/heif.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "platform/gdiplus/runtime/colour.h"
#include "tests/support/runtime_files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// A wide-gamut profile: Adobe RGB's primaries and white, gamma 2.2.
Bytes WideGamutIcc() {
    const float adobe[8] = {0.64f, 0.33f, 0.21f, 0.71f, 0.15f, 0.06f, 0.3127f, 0.3290f};
    return gdip::IccFromPrimaries(adobe, 4);
}

std::string Shell(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

bool HaveExiftool() {
    return std::system("exiftool -ver >/dev/null 2>&1") == 0;
}

// The stored picture (before its orientation 6 turn) is 40 x 24.
constexpr std::uint32_t kW = 40, kH = 24;

// exiftool writes the metadata into a file that our encoder wrote bare.
Bytes WithMetadata(const fs::path& dir, const std::string& ext, const Bytes& bare,
                   const fs::path& icc, const fs::path& xmp) {
    const fs::path file = dir / ("src." + ext);
    WriteBytes(file, bare);
    const std::string cmd = "exiftool -q -q -overwrite_original '-ICC_Profile<=" + icc.string() +
                            "' '-XMP<=" + xmp.string() +
                            "' -Make='Orvane Optics' -Model=KX-7 "
                            "'-DateTimeOriginal=2024:05:06 07:08:09' -Orientation#=6 "
                            "-ExifIFD:ExifImageWidth=" +
                            std::to_string(kW) + " -ExifIFD:ExifImageHeight=" + std::to_string(kH) +
                            " '" + file.string() + "'";
    return std::system(cmd.c_str()) == 0 ? ReadBytes(file) : Bytes{};
}

// A HEIF file of the stored picture, to be shown turned (irot, orientation
// 6), with the profile, EXIF and XMP items, as a phone writes one.
Bytes HeifWithMetadata(const gdip::Bitmap& stored, const Bytes& icc) {
    heif_context* ctx = heif_context_alloc();
    heif_encoder* enc = nullptr;
    Bytes out;
    if (heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &enc).code ==
        heif_error_Ok) {
        heif_image* img = nullptr;
        heif_image_create(int(stored.width), int(stored.height), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &img);
        heif_image_add_plane(img, heif_channel_interleaved, int(stored.width), int(stored.height),
                             8);
        int stride = 0;
        std::uint8_t* dst = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (std::uint32_t y = 0; y < stored.height; ++y)
            for (std::uint32_t x = 0; x < stored.width; ++x)
                std::memcpy(dst + y * std::size_t(stride) + x * 3, stored.Row(y) + x * 4, 3);
        heif_image_set_raw_color_profile(img, "prof", icc.data(), icc.size());
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = heif_orientation_rotate_90_cw;
        heif_image_handle* handle = nullptr;
        if (heif_context_encode_image(ctx, img, enc, options, &handle).code == heif_error_Ok) {
            Bytes exif = {0, 0, 0, 0};
            const Bytes block = testsupport::CameraExif(6, kW, kH);
            exif.insert(exif.end(), block.begin(), block.end());
            heif_context_add_exif_metadata(ctx, handle, exif.data(), int(exif.size()));
            const Bytes xmp = testsupport::SampleXmp();
            heif_context_add_XMP_metadata(ctx, handle, xmp.data(), int(xmp.size()));
            heif_image_handle_release(handle);
            heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* o) {
                                   auto* b = static_cast<Bytes*>(o);
                                   b->insert(b->end(), static_cast<const std::uint8_t*>(data),
                                             static_cast<const std::uint8_t*>(data) + size);
                                   return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                               }};
            heif_context_write(ctx, &writer, &out);
        }
        heif_encoding_options_free(options);
        heif_image_release(img);
        heif_encoder_release(enc);
    }
    heif_context_free(ctx);
    return out;
}

// exiftool's values for each file, in the order asked, "-" when absent.
std::map<std::string, std::vector<std::string>> Read(const std::vector<fs::path>& files) {
    static const char* kTags[] = {"-ExifIFD:DateTimeOriginal", "-Make",        "-Model",
                                  "-XMP-dc:Creator",           "-Orientation", "-ExifImageWidth",
                                  "-ExifImageHeight",          "-ImageWidth",  "-ImageHeight"};
    std::string cmd = "exiftool -s3 -f -n";
    for (const char* t : kTags) cmd += std::string(" ") + t;
    for (const fs::path& f : files) cmd += " '" + f.string() + "'";
    std::map<std::string, std::vector<std::string>> values;
    std::istringstream lines(Shell(cmd));
    std::string line, current = files.size() == 1 ? files[0].string() : "";
    while (std::getline(lines, line)) {
        if (line.rfind("======== ", 0) == 0)
            current = line.substr(9);
        else if (line.find("image files read") == std::string::npos)
            values[current].push_back(line);
    }
    return values;
}

// The one table: every source format carrying a wide-gamut profile, EXIF
// (orientation 6, a date, a camera) and XMP, saved in every output format.
// PNG, JPEG and TIFF keep the profile byte for byte, the date, the camera and
// the XMP, and say orientation 1 with the upright size; BMP and GIF hold
// none of it (their pixels are converted, below).
TEST(Metadata, EverySourceCarriesItsMetadataIntoEveryOutputThatHoldsIt) {
    if (!HaveExiftool()) GTEST_SKIP() << "exiftool is not installed (scripts/deps.sh)";
    testsupport::TempDir dir;
    const Bytes icc = WideGamutIcc();
    ASSERT_FALSE(icc.empty());
    WriteBytes(dir.Path() / "profile.icc", icc);
    WriteBytes(dir.Path() / "packet.xmp", testsupport::SampleXmp());
    const gdip::Bitmap stored = SmoothWaves(kW, kH);

    std::vector<std::pair<std::string, Bytes>> sources;
    for (const auto& [ext, codec] :
         {std::pair{"jpg", &gdip::kJpegCodec}, std::pair{"png", &gdip::kPngCodec},
          std::pair{"tif", &gdip::kTiffCodec}})
        sources.emplace_back(ext,
                             WithMetadata(dir.Path(), ext, Encode(*codec->makeEncoder(), stored),
                                          dir.Path() / "profile.icc", dir.Path() / "packet.xmp"));
    if (HaveConvert()) {
        WritePam(dir.Path() / "bare.pam", stored);
        if (Convert({(dir.Path() / "bare.pam").string(), "-define", "webp:lossless=true",
                     (dir.Path() / "bare.webp").string()}))
            sources.emplace_back(
                "webp", WithMetadata(dir.Path(), "webp", ReadBytes(dir.Path() / "bare.webp"),
                                     dir.Path() / "profile.icc", dir.Path() / "packet.xmp"));
    }
    if (Bytes heif = HeifWithMetadata(stored, icc); !heif.empty())
        sources.emplace_back("heic", std::move(heif));

    const std::pair<const char*, const gdip::CodecDescriptor*> outputs[] = {
        {"png", &gdip::kPngCodec},
        {"jpg", &gdip::kJpegCodec},
        {"tif", &gdip::kTiffCodec},
        {"bmp", &gdip::kBmpCodec},
        {"gif", &gdip::kGifCodec}};
    for (const auto& [source, file] : sources) {
        SCOPED_TRACE("source " + source);
        ASSERT_FALSE(file.empty());
        gdip::Bitmap decoded;
        ASSERT_EQ(gdip::DecoderFor(file)->Decode(file, decoded), Ok);
        ASSERT_EQ(decoded.width, kH);  // turned upright
        std::vector<fs::path> written;
        for (const auto& [ext, codec] : outputs) {
            written.push_back(dir.Path() / (source + "-out." + ext));
            WriteBytes(written.back(), Encode(*codec->makeEncoder(), decoded));
        }
        Shell("exiftool -q -q -b -ICC_Profile -w '" + (dir.Path() / "%f_%e.icc").string() + "' '" +
              (dir.Path() / source).string() + "-out.'*");
        const auto values = Read(written);
        for (const fs::path& out : written) {
            SCOPED_TRACE(out.filename().string());
            const std::string ext = out.extension().string().substr(1);
            const bool holds = ext == "png" || ext == "jpg" || ext == "tif";
            const fs::path profile = dir.Path() / (out.stem().string() + "_" + ext + ".icc");
            EXPECT_EQ(fs::exists(profile) ? ReadBytes(profile) : Bytes{}, holds ? icc : Bytes{});
            // In the order Read asks; the size of the picture itself is always there.
            std::vector<std::string> want(7, "-");
            if (holds)
                want = {"2024:05:06 07:08:09", "Orvane Optics",   "KX-7", "Lin Wei", "1",
                        std::to_string(kH),    std::to_string(kW)};
            want.insert(want.end(), {std::to_string(kH), std::to_string(kW)});
            ASSERT_TRUE(values.count(out.string())) << Shell("exiftool '" + out.string() + "'");
            EXPECT_EQ(values.at(out.string()), want);
        }
    }
}

// The picture that the codec's decoder reads back from its encoder's file.
GpStatus RoundTrip(const gdip::CodecDescriptor& codec, const gdip::Bitmap& img, gdip::Bitmap& out) {
    return codec.makeDecoder()->Decode(Encode(*codec.makeEncoder(), img), out);
}

// A wide-gamut picture's BMP holds the pixels that Little CMS itself gives
// for them in sRGB (relative colorimetric, black point compensated); a
// picture with an sRGB profile or none is written as it is.
TEST(Metadata, ABmpOfAWideGamutPictureHoldsItsSrgbPixels) {
    gdip::Bitmap img = SmoothWaves(64, 40);
    img.meta.icc = WideGamutIcc();
    gdip::Bitmap decoded, bmp;
    ASSERT_EQ(RoundTrip(gdip::kPngCodec, img, decoded), Ok);
    ASSERT_EQ(decoded.meta.icc, img.meta.icc);
    ASSERT_EQ(RoundTrip(gdip::kBmpCodec, decoded, bmp), Ok);

    cmsHPROFILE in =
        cmsOpenProfileFromMem(img.meta.icc.data(), cmsUInt32Number(img.meta.icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM t =
        cmsCreateTransform(in, TYPE_RGBA_8, srgb, TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA);
    ASSERT_NE(t, nullptr);
    gdip::Bitmap expected = img;
    cmsDoTransform(t, img.rgba.data(), expected.rgba.data(), img.width * img.height);
    cmsDeleteTransform(t);
    cmsCloseProfile(in);
    cmsCloseProfile(srgb);
    EXPECT_EQ(MaxDifference(bmp, expected), 0);
    EXPECT_GT(MaxDifference(expected, img), 10);  // the conversion is not a no-op

    // sRGB as Little CMS states it, and as version 2 profiles do (their media
    // white point D65 instead of D50): no conversion, nothing spent on one.
    cmsHPROFILE builtIn = cmsCreate_sRGBProfile();
    cmsUInt32Number bytes = 0;
    cmsSaveProfileToMem(builtIn, nullptr, &bytes);
    Bytes srgbIcc(bytes);
    cmsSaveProfileToMem(builtIn, srgbIcc.data(), &bytes);
    cmsCloseProfile(builtIn);
    Bytes d65White = srgbIcc;
    for (std::size_t tag = 0; tag < d65White[131]; ++tag) {
        const std::uint8_t* e = d65White.data() + 132 + tag * 12;
        if (std::memcmp(e, "wtpt", 4) != 0) continue;
        const std::size_t at = std::size_t(e[4]) << 24 | e[5] << 16 | e[6] << 8 | e[7];
        const std::uint8_t d65[12] = {0, 0, 0xF3, 0x51, 0, 1, 0, 0, 0, 1, 0x16, 0xCC};
        std::memcpy(d65White.data() + at + 8, d65, sizeof d65);
    }
    ASSERT_NE(d65White, srgbIcc);
    for (const Bytes& icc : {Bytes{}, srgbIcc, d65White}) {
        gdip::Bitmap plain = SmoothWaves(64, 40), tagged, back;
        plain.meta.icc = icc;
        ASSERT_EQ(RoundTrip(gdip::kPngCodec, plain, tagged), Ok);
        EXPECT_EQ(tagged.meta.icc, icc);
        EXPECT_EQ(tagged.meta.srgb, nullptr);
        ASSERT_EQ(RoundTrip(gdip::kBmpCodec, tagged, back), Ok);
        EXPECT_EQ(MaxDifference(back, plain), 0);
    }
}

// Broken blocks are dropped, one by one, and the picture is still read whole.
TEST(Metadata, BrokenMetadataIsDroppedAndThePictureKept) {
    const Bytes exif = testsupport::CameraExif(1, 40, 24), icc = WideGamutIcc();
    Bytes looping = exif;  // the EXIF directory pointer aimed back at the main directory
    looping[8 + 2 + 3 * 12 + 8 + 3] = 8;
    Bytes cut(exif.begin(), exif.begin() + 40);
    Bytes hugeCount = exif;
    hugeCount[8] = 0xFF, hugeCount[9] = 0xFF;
    Bytes iccTooShort(icc.begin(), icc.end() - 20);  // its size field says more
    Bytes iccBadTag = icc;
    iccBadTag[128 + 4 + 4] = 0x7F;  // the first tag's offset far outside
    Bytes binaryXmp = {'<', 'x', ':', 'x', 'm', 'p', 'm', 'e', 't', 'a', 0, 1, 2};
    struct Case {
        const char* name;
        Bytes gdip::Metadata::*block;
        Bytes value;
    };
    const Case cases[] = {{"looping EXIF", &gdip::Metadata::exif, looping},
                          {"cut EXIF", &gdip::Metadata::exif, cut},
                          {"EXIF with 65535 entries", &gdip::Metadata::exif, hugeCount},
                          {"cut ICC", &gdip::Metadata::icc, iccTooShort},
                          {"ICC tag outside", &gdip::Metadata::icc, iccBadTag},
                          {"XMP with NULs", &gdip::Metadata::xmp, binaryXmp}};
    const gdip::CodecDescriptor* formats[] = {&gdip::kJpegCodec, &gdip::kPngCodec,
                                              &gdip::kTiffCodec};
    for (const Case& c : cases) {
        for (const gdip::CodecDescriptor* codec : formats) {
            SCOPED_TRACE(std::string(c.name) + " in " + std::string(codec->name));
            gdip::Bitmap img = SmoothWaves(40, 24), back;
            img.meta.xmp = testsupport::SampleXmp();
            img.meta.*c.block = c.value;  // written as it is, unchecked
            ASSERT_EQ(RoundTrip(*codec, img, back), Ok);
            EXPECT_EQ(back.width, 40u);
            EXPECT_TRUE((back.meta.*c.block).empty());
            if (c.block != &gdip::Metadata::xmp) {
                EXPECT_EQ(back.meta.xmp, img.meta.xmp);
            }
        }
    }
}

}  // namespace
