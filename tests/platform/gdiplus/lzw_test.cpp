// The LZW coder against the readers: GIF runs coded apart and joined at
// every split point, and TIFF strips of every length, read back by giflib and
// libtiff. Code widths change at fixed code counts, so sweeping the split
// and the length makes a run end exactly where a width changes.
#include "platform/gdiplus/runtime/lzw.h"

#include <gtest/gtest.h>

#include "tests/support/runtime_files.h"

namespace {

using testsupport::Bytes;

Bytes Noise(std::size_t n, std::uint32_t seed) {
    Bytes bytes(n);
    for (auto& b : bytes) b = static_cast<std::uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
    return bytes;
}

// A one-row GIF with a grey palette around the given codes.
Bytes GreyGif(std::uint32_t width, const gdip::LzwBits& codes) {
    Bytes gif = {'G', 'I', 'F',  '8', '7', 'a', std::uint8_t(width), std::uint8_t(width >> 8),
                 1,   0,   0xF7, 0,   0};
    for (int i = 0; i < 256; ++i) gif.insert(gif.end(), 3, std::uint8_t(i));
    const std::uint8_t descriptor[] = {
        0x2C, 0, 0, 0, 0, std::uint8_t(width), std::uint8_t(width >> 8), 1, 0, 0, 8};
    gif.insert(gif.end(), descriptor, descriptor + sizeof descriptor);
    for (std::size_t at = 0; at < codes.bytes.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.bytes.size() - at);
        gif.push_back(std::uint8_t(n));
        gif.insert(gif.end(), codes.bytes.begin() + at, codes.bytes.begin() + at + n);
    }
    gif.push_back(0);
    gif.push_back(0x3B);
    return gif;
}

TEST(Lzw, GifRunsJoinedAtAnySplitReadBack) {
    const Bytes pixels = Noise(3000, 7);
    const auto decoder = gdip::kGifCodec.makeDecoder();
    for (std::size_t split = 1; split < pixels.size(); split += 1) {
        const std::span<const std::uint8_t> all(pixels);
        gdip::LzwBits codes, rest;
        gdip::LzwEncodeGifRun(all.first(split), 8, true, false, codes);
        gdip::LzwEncodeGifRun(all.subspan(split), 8, false, true, rest);
        gdip::AppendBits(codes, rest);
        gdip::Bitmap out;
        ASSERT_EQ(decoder->Decode(GreyGif(3000, codes), out), Ok) << "split at " << split;
        for (std::size_t x = 0; x < pixels.size(); ++x)
            ASSERT_EQ(out.rgba[x * 4], pixels[x]) << "split at " << split << ", pixel " << x;
    }
}

TEST(Lzw, TiffStripsOfEveryLengthReadBack) {
    const auto encoder = gdip::kTiffCodec.makeEncoder();
    const auto decoder = gdip::kTiffCodec.makeDecoder();
    for (std::uint32_t width = 1; width <= 1500; ++width) {
        gdip::Bitmap row;
        ASSERT_EQ(gdip::AllocateBitmap(row, width, 1), Ok);
        row.rgba = Noise(std::size_t{width} * 4, width);
        for (std::size_t i = 3; i < row.rgba.size(); i += 4) row.rgba[i] = 255;
        gdip::Bitmap out;
        ASSERT_EQ(decoder->Decode(testsupport::Encode(*encoder, row), out), Ok) << width;
        ASSERT_EQ(out.rgba, row.rgba) << width;
    }
}

// Two strips coded together are each what coding it alone gives, whichever
// of them ends first and wherever their tables fill and their widths change.
TEST(Lzw, TiffStripsCodedTogetherAreTheStripsCodedAlone) {
    const std::size_t lengths[] = {0, 1, 2, 511, 512, 3000, 20000, 70000};
    for (const std::size_t a : lengths)
        for (const std::size_t b : lengths) {
            Bytes first = Noise(a, 3), second = Noise(b, 4);
            for (std::size_t i = 0; i < second.size(); i += 7) second[i] &= 0x0F;  // longer strings
            Bytes aloneA, aloneB, togetherA, togetherB;
            gdip::LzwEncodeTiffStrip(first, aloneA);
            gdip::LzwEncodeTiffStrip(second, aloneB);
            gdip::LzwEncodeTiffStrips(first, second, togetherA, togetherB);
            ASSERT_EQ(togetherA, aloneA) << a << " with " << b;
            ASSERT_EQ(togetherB, aloneB) << b << " with " << a;
        }
}

}  // namespace
