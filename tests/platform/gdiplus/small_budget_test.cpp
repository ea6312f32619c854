// Every decoder of the list held to a small pixel budget: a valid file one
// column over it is refused with OutOfMemory and nothing allocated, while the
// same kind of file within it decodes.
#include <gtest/gtest.h>

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

}  // namespace
