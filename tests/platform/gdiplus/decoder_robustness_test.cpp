// Hostile input: damaged files, and headers that declare a picture far
// beyond the memory budget (cut files: hostile_input_test.cpp). Every decoder answers with a
// status, never crashes, never prints, and allocates nothing for a refused size.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <random>

#include "gdip_test_files.h"

namespace {

using gdiptest::Bytes;

struct Sample {
    const char* name;
    std::function<std::unique_ptr<gdip::Decoder>()> decoder;
    Bytes file;
};

std::vector<Sample> ValidSamples() {
    const gdip::Bitmap rgb = testimages::Pattern(23, 17, false);
    const gdip::Bitmap rgba = testimages::Pattern(23, 17, true);
    return {
        {"BMP 24-bit", gdip::kBmpCodec.makeDecoder,
         testimages::Encode(*gdip::kBmpCodec.makeEncoder(), rgb)},
        {"BMP 32-bit", gdip::kBmpCodec.makeDecoder,
         testimages::Encode(*gdip::kBmpCodec.makeEncoder(), rgba)},
        {"PNG RGB", gdip::kPngCodec.makeDecoder,
         testimages::Encode(*gdip::kPngCodec.makeEncoder(), rgb)},
        {"PNG RGBA", gdip::kPngCodec.makeDecoder,
         testimages::Encode(*gdip::kPngCodec.makeEncoder(), rgba)},
        {"JPEG", gdip::kJpegCodec.makeDecoder,
         testimages::Encode(*gdip::kJpegCodec.makeEncoder(), testimages::Smooth(40, 33))},
    };
}

// A decoded result is either a failure or a whole, consistent picture.
void ExpectSane(GpStatus status, const gdip::Bitmap& out, const std::string& printed) {
    EXPECT_EQ(printed, "");
    if (status == Ok) {
        EXPECT_GT(out.width, 0u);
        EXPECT_EQ(out.rgba.size(), std::size_t{out.width} * out.height * 4);
    }
}

TEST(DecoderRobustness, DamagedAndRandomFilesGiveAStatus) {
    std::mt19937 random(1234);
    for (const Sample& s : ValidSamples()) {
        SCOPED_TRACE(s.name);
        const auto decoder = s.decoder();
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = s.file;
            const int flips = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < flips; ++i)
                damaged[2 + random() % (damaged.size() - 2)] = static_cast<std::uint8_t>(random());
            if (round % 3 == 0)  // random bytes behind the real signature
                for (std::size_t i = 8; i < damaged.size(); ++i)
                    damaged[i] = static_cast<std::uint8_t>(random());
            gdip::Bitmap out;
            std::string printed;
            ExpectSane(gdiptest::DecodeWatched(*decoder, damaged, out, printed), out, printed);
        }
    }
}

void Be32(Bytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}

Bytes HugeBmp() {
    Bytes b(54, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(10, 54);
    put32(14, 40);
    put32(18, 100000);
    put32(22, 100000);
    b[26] = 1;
    b[28] = 24;
    return b;
}

Bytes HugePng() {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Be32(b, 13);
    const std::size_t type = b.size();
    b.insert(b.end(), {'I', 'H', 'D', 'R'});
    Be32(b, 100000);
    Be32(b, 100000);
    b.insert(b.end(), {8, 6, 0, 0, 0});
    Be32(b, static_cast<std::uint32_t>(crc32(0, b.data() + type, 17)));
    // An empty IDAT: the reader meets the pixel data, and stops at the size.
    Be32(b, 0);
    b.insert(b.end(), {'I', 'D', 'A', 'T'});
    Be32(b, static_cast<std::uint32_t>(crc32(0, b.data() + b.size() - 4, 4)));
    return b;
}

// Start of image, a baseline frame of 65000 x 65000 and a scan header: all
// that libjpeg reads before it tells the size.
Bytes HugeJpeg() {
    return {0xFF, 0xD8,                                                  // SOI
            0xFF, 0xC0, 0, 17,   8,    0xFD, 0xE8, 0xFD, 0xE8, 3,        // SOF0
            1,    0x22, 0, 2,    0x11, 1,    3,    0x11, 1,              //
            0xFF, 0xDA, 0, 12,   3,    1,    0x00, 2,    0x11, 3, 0x11,  // SOS
            0,    63,   0, 0xFF, 0xD9};
}

TEST(DecoderRobustness, DeclaredSizeBeyondTheBudgetIsRefusedBeforeAllocating) {
    const std::vector<Sample> huge = {
        {"BMP", gdip::kBmpCodec.makeDecoder, HugeBmp()},
        {"PNG", gdip::kPngCodec.makeDecoder, HugePng()},
        {"JPEG", gdip::kJpegCodec.makeDecoder, HugeJpeg()},
    };
    for (const Sample& s : huge) {
        SCOPED_TRACE(s.name);
        gdip::Bitmap out;
        std::string printed;
        EXPECT_EQ(gdiptest::DecodeWatched(*s.decoder(), s.file, out, printed), OutOfMemory);
        EXPECT_EQ(out.rgba.capacity(), 0u);
        EXPECT_EQ(printed, "");
    }
}

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
    const gdip::Bitmap image = testimages::Pattern(9, 5, false);
    const std::vector<std::pair<const char*, std::unique_ptr<gdip::Encoder>>> encoders = [] {
        std::vector<std::pair<const char*, std::unique_ptr<gdip::Encoder>>> v;
        v.emplace_back("BMP", gdip::kBmpCodec.makeEncoder());
        v.emplace_back("PNG", gdip::kPngCodec.makeEncoder());
        v.emplace_back("JPEG", gdip::kJpegCodec.makeEncoder());
        v.emplace_back("GIF", gdip::kGifCodec.makeEncoder());
        v.emplace_back("TIFF", gdip::kTiffCodec.makeEncoder());
        return v;
    }();
    for (const auto& [name, encoder] : encoders) {
        SCOPED_TRACE(name);
        ASSERT_NE(encoder, nullptr);
        const Bytes file = testimages::Encode(*encoder, image);
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
