// The LZW coder against the readers: GIF runs coded apart and joined at
// every split point, and TIFF strips of every length, read back by giflib and
// libtiff. Code widths change at fixed code counts, so sweeping the split
// and the length makes a run end exactly where a width changes.
#include "platform/gdiplus/runtime/lzw.h"

#include <gtest/gtest.h>

#include <map>

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
        const Bytes noise = Noise(std::size_t{width} * 4, width);
        row.rgba.assign(noise.begin(), noise.end());
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

// LZW written plainly, a map for the table and one bit at a time, in
// either dialect: the reference the fast coder must match code for code.
struct PlainLzw {
    bool tiff;
    int rootBits;
    Bytes bytes;
    std::uint64_t bits = 0;

    void Put(int code, int width) {
        for (int i = 0; i < width; ++i, ++bits) {
            const int bit = tiff ? code >> (width - 1 - i) & 1 : code >> i & 1;
            if (bits % 8 == 0) bytes.push_back(0);
            if (bit) bytes.back() |= std::uint8_t(tiff ? 0x80 >> bits % 8 : 1 << bits % 8);
        }
    }

    void Code(const Bytes& data, bool first, bool last) {
        const int clear = 1 << rootBits, fresh = rootBits + 1;
        int next = clear + 2, width = fresh;
        std::map<std::pair<int, int>, int> table;
        if (first) Put(clear, width);
        int prefix = data.empty() ? -1 : data[0];
        for (std::size_t i = 1; i < data.size(); ++i) {
            if (const auto found = table.find({prefix, data[i]}); found != table.end()) {
                prefix = found->second;
                continue;
            }
            Put(prefix, width);
            table[{prefix, data[i]}] = next++;
            if (next == (tiff ? 4094 : 4096)) {
                Put(clear, width);
                table.clear(), next = clear + 2, width = fresh;
            } else if ((tiff ? next : next - 1) == 1 << width && width < 12) {
                ++width;
            }
            prefix = data[i];
        }
        if (prefix >= 0) {
            Put(prefix, width);
            if ((tiff ? next + 1 : next) == 1 << width && width < 12) ++width;
        }
        Put(last ? clear + 1 : clear, width);
    }
};

// Noise of every byte and of few values (longer strings), one long run and
// a ramp, at lengths where tables fill and widths change; GIF also at its
// smallest code size.
TEST(Lzw, CodesAreThoseOfAPlainCoder) {
    const std::size_t lengths[] = {0, 1, 2, 3, 255, 256, 257, 511, 512, 1024, 4000, 9000, 70000};
    for (const std::size_t n : lengths)
        for (int shape = 0; shape < 4; ++shape) {
            Bytes data = Noise(n, std::uint32_t(n + shape));
            for (std::size_t i = 0; i < n; ++i) {
                if (shape == 1) data[i] &= 3;
                if (shape == 2) data[i] = 7;
                if (shape == 3) data[i] = std::uint8_t(i / 5);
            }
            Bytes tiff;
            gdip::LzwEncodeTiffStrip(data, tiff);
            PlainLzw plain{true, 8, {}};
            plain.Code(data, true, true);
            ASSERT_EQ(tiff, plain.bytes) << "TIFF, " << n << " bytes of shape " << shape;
            for (const int rootBits : {2, 8}) {
                Bytes pixels = data;
                for (auto& p : pixels) p &= std::uint8_t((1 << rootBits) - 1);
                for (const bool first : {false, true}) {
                    gdip::LzwBits gif;
                    gdip::LzwEncodeGifRun(pixels, rootBits, first, !first, gif);
                    PlainLzw want{false, rootBits, {}};
                    want.Code(pixels, first, !first);
                    ASSERT_EQ(gif.bytes, want.bytes) << "GIF, " << n << " pixels of shape " << shape
                                                     << ", " << rootBits << " bits";
                    ASSERT_EQ(gif.bitCount, want.bits);
                }
            }
        }
}

}  // namespace
