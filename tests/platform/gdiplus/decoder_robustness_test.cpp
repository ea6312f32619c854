// The pixel budget's arithmetic, and the choice of a decoder by content alone
// (damaged, cut and oversized files: hostile_input_test.cpp).
#include <gtest/gtest.h>

#include "tests/support/runtime_files.h"

namespace {

using testsupport::Bytes;

TEST(DecoderRobustness, BudgetIsAtMostAGibibyteAndCountsFourBytesAPixel) {
    const std::uint64_t budget = gdip::PixelBudgetBytes();
    EXPECT_LE(budget, std::uint64_t{1} << 30);
    EXPECT_GE(budget, std::uint64_t{64} << 20);
    const std::uint64_t pixels = budget / 4;
    struct Case {
        std::uint64_t w, h;
        bool fits;
    };
    for (const Case c :
         {Case{0, 1, false}, Case{1, 0, false}, Case{1, 1, true}, Case{pixels, 1, true},
          Case{pixels + 1, 1, false}, Case{1, pixels + 1, false}, Case{100000, 100000, false},
          Case{std::uint64_t{1} << 32, std::uint64_t{1} << 32, false},
          Case{~std::uint64_t{0}, 2, false}})
        EXPECT_EQ(gdip::FitsBudget(c.w, c.h), c.fits) << c.w << " x " << c.h;
}

TEST(DecoderRobustness, FormatIsChosenByContent) {
    const gdip::Bitmap image = testsupport::Pattern(9, 5, false);
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        if (codec->makeEncoder == nullptr) continue;
        SCOPED_TRACE(codec->name);
        const auto encoder = codec->makeEncoder();
        ASSERT_NE(encoder, nullptr);
        const Bytes file = testsupport::Encode(*encoder, image);
        const gdip::Decoder* decoder = gdip::DecoderFor(file);
        ASSERT_NE(decoder, nullptr);
        gdip::Bitmap out;
        EXPECT_EQ(decoder->Decode(file, out), Ok);
        EXPECT_EQ(out.width, 9u);
    }
    for (const Bytes& junk : {Bytes{}, Bytes{'h', 'e', 'l', 'l', 'o'}, Bytes(64, 0)})
        EXPECT_EQ(gdip::DecoderFor(junk), nullptr);
}

}  // namespace
