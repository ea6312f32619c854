// Every decoder of the list held to a small pixel budget: a valid file one
// column over it is refused with OutOfMemory and nothing allocated, while the
// same kind of file within it decodes.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>

#include "tests/support/codec_samples.h"
#include "tests/support/runtime_files.h"

namespace {

using testsupport::Bytes;

TEST(SmallPixelBudget, OneColumnOverTheBudgetIsRefusedBeforeThePixelsExist) {
    ASSERT_EQ(gdip::PixelBudgetBytes(), 1u << 20);  // the small budget is linked in
    // The budget is 262,144 pixels, 512 x 512; libtiff is held to the same
    // bytes for each of its own buffers, so the file that fits stays clear of it.
    const gdip::Bitmap within = testsupport::SmoothWaves(64, 64);
    const gdip::Bitmap over = testsupport::SmoothWaves(513, 512);
    gdip::Bitmap direct;
    EXPECT_EQ(gdip::AllocateBitmap(direct, over.width, over.height), OutOfMemory);
    EXPECT_EQ(direct.rgba.capacity(), 0u);
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        SCOPED_TRACE(codec->name);
        const Bytes fits = testsupport::FileOf(*codec, within);
        const Bytes tooBig = testsupport::FileOf(*codec, over);
        // A format only read, whose maker's tool is missing here (HEVC).
        if (fits.empty() && codec->makeEncoder == nullptr) continue;
        ASSERT_FALSE(fits.empty());
        ASSERT_FALSE(tooBig.empty());
        gdip::Bitmap out;
        std::string printed;
        EXPECT_EQ(testsupport::DecodeWatched(*codec->makeDecoder(), fits, out, printed), Ok)
            << printed;
        EXPECT_EQ(out.width, 64u);
        gdip::Bitmap refused;
        EXPECT_EQ(testsupport::DecodeWatched(*codec->makeDecoder(), tooBig, refused, printed),
                  OutOfMemory);
        EXPECT_EQ(refused.rgba.capacity(), 0u);
    }
}

// A progressive JPEG's coefficients, as libjpeg holds them, take 1.5 times
// the picture's bytes at 4:4:4: held to the budget too, however they are
// kept while the file is read, so that a file's outcome does not depend on
// the road it takes. Over it at 4:4:4, within it at 4:2:0 (0.75 times).
TEST(SmallPixelBudget, ProgressiveJpegCoefficientsAreHeldToTheBudget) {
    const std::uint32_t w = 400, h = 600;  // 240,000 pixels: within the budget
    const gdip::Bitmap picture = testsupport::SmoothWaves(w, h);
    Bytes rgb;
    for (std::size_t i = 0; i < picture.rgba.size(); i += 4)
        rgb.insert(rgb.end(), picture.rgba.begin() + static_cast<std::ptrdiff_t>(i),
                   picture.rgba.begin() + static_cast<std::ptrdiff_t>(i) + 3);
    for (const int luma : {1, 2}) {
        SCOPED_TRACE(luma == 1 ? "4:4:4" : "4:2:0");
        const Bytes file =
            testsupport::CompressJpeg(rgb, w, h, 3, JCS_RGB, [&](jpeg_compress_struct& j) {
                j.comp_info[0].h_samp_factor = j.comp_info[0].v_samp_factor = luma;
                jpeg_simple_progression(&j);
            });
        gdip::Bitmap out;
        std::string printed;
        EXPECT_EQ(testsupport::DecodeWatched(*gdip::kJpegCodec.makeDecoder(), file, out, printed),
                  luma == 1 ? OutOfMemory : Ok)
            << printed;
        EXPECT_EQ(out.width, luma == 1 ? 0u : w);
    }
}

}  // namespace
