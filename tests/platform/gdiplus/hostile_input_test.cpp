// Hostile input for every decoder: cut, corrupted and random files, and tiny
// files declaring pictures far beyond the pixel budget. None may crash, hang,
// print, or report a broken file as decoded.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "tests/support/codec_samples.h"
#include "tests/support/runtime_files.h"

namespace {

using namespace testsupport;

// A sample with the decoder of its codec.
struct Sample {
    std::string name;
    const gdip::CodecDescriptor* codec;
    Bytes file;
    std::size_t trailer = 0;
    std::unique_ptr<gdip::Decoder> decoder = codec->makeDecoder();
};

// The valid samples of every codec of the list.
std::vector<Sample> Samples() {
    std::vector<Sample> s;
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        const CodecTestPieces* pieces = TestPiecesFor(codec->name);
        if (pieces == nullptr || pieces->samples == nullptr) continue;
        for (CodecSample& sample : pieces->samples())
            s.push_back({sample.name, codec, std::move(sample.file), sample.trailer});
    }
    return s;
}

GpStatus Watched(const gdip::Decoder& d, const Bytes& file, gdip::Bitmap& out,
                 const std::string& what) {
    std::string printed;
    const GpStatus status = DecodeWatched(d, file, out, printed);
    EXPECT_EQ(printed, "") << what;
    return status;
}

// The rule of Decoder::Decode, with the same cut points for every format: a
// file without its trailer is read whole, every other cut either refused or,
// where only bytes that no row needs were lost, read whole; none is read as a
// different picture, and none without half its bytes is read at all. A cut
// file whose trailer was put back after the cut is judged the same way.
TEST(HostileInput, ACutFileIsReadOnlyWhenEveryRowIsThere) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        gdip::Bitmap full;
        ASSERT_EQ(Watched(*s.decoder, s.file, full, s.name), Ok);
        const std::size_t rows = s.file.size() - s.trailer;
        gdip::Bitmap out;
        EXPECT_EQ(
            Watched(*s.decoder, Bytes(s.file.begin(), s.file.begin() + long(rows)), out, s.name),
            Ok);
        EXPECT_EQ(out.rgba, full.rgba);
        // Every length for files of a few kilobytes, about 400 spread over larger ones.
        const std::size_t step = s.file.size() <= 4096 ? 1 : s.file.size() / 400;
        for (std::size_t n = 0; n < s.file.size(); n += step) {
            Bytes cut(s.file.begin(), s.file.begin() + long(n));
            for (bool withTrailer : {false, true}) {
                if (withTrailer)
                    cut.insert(cut.end(), s.file.end() - long(s.trailer), s.file.end());
                out = {};
                const GpStatus status = Watched(*s.decoder, cut, out, s.name);
                if (n < s.file.size() / 2) {
                    EXPECT_NE(status, Ok) << "cut to " << n << (withTrailer ? " + trailer" : "");
                }
                if (status == Ok) {
                    EXPECT_EQ(out.rgba, full.rgba)
                        << "cut to " << n << (withTrailer ? " + trailer" : "");
                }
            }
        }
    }
}

// Bytes flipped behind the first two (so that the decoder is reached), and in
// every third round random bytes behind the eighth: a status, or a whole,
// consistent picture.
TEST(HostileInput, CorruptedFilesNeitherCrashNorPrint) {
    std::mt19937 rng(1234);
    for (const Sample& s : Samples()) {
        for (int round = 0; round < 300; ++round) {
            Bytes bad = s.file;
            const int flips = 1 + int(rng() % 8);
            for (int i = 0; i < flips; ++i) bad[2 + rng() % (bad.size() - 2)] = std::uint8_t(rng());
            if (round % 3 == 0)
                for (std::size_t i = 8; i < bad.size(); ++i) bad[i] = std::uint8_t(rng());
            gdip::Bitmap out;
            if (Watched(*s.decoder, bad, out, s.name) == Ok) {
                EXPECT_GT(out.width, 0u) << s.name;
                EXPECT_EQ(out.rgba.size(), std::size_t{out.width} * out.height * 4) << s.name;
            }
        }
    }
}

TEST(HostileInput, RandomBytesAfterTheSignatureFail) {
    std::mt19937 rng(99);
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        const CodecTestPieces* pieces = TestPiecesFor(codec->name);
        if (pieces == nullptr || pieces->magic == nullptr) continue;
        const auto decoder = codec->makeDecoder();
        for (const std::string& magic : pieces->magic()) {
            for (int round = 0; round < 40; ++round) {
                Bytes junk(magic.begin(), magic.end());
                for (std::size_t i = 0, n = rng() % 3000; i < n; ++i)
                    junk.push_back(std::uint8_t(rng()));
                ASSERT_TRUE(codec->sniff(junk)) << codec->name;
                gdip::Bitmap out;
                EXPECT_NE(Watched(*decoder, junk, out, magic), Ok)
                    << codec->name << " round " << round;
            }
        }
    }
}

TEST(HostileInput, EachDecoderSniffsOnlyItsOwnFormat) {
    const auto samples = Samples();
    for (const Sample& a : samples)
        for (const Sample& b : samples) {
            EXPECT_EQ(a.codec->sniff(b.file), a.codec == b.codec)
                << a.name << " sniffing " << b.name;
        }
}

// Tiny files declaring 100,000 x 100,000 pixels (GIF: its largest, 65,535
// square), refused as out of memory from their headers.
TEST(HostileInput, DeclaredSizesBeyondTheBudgetAreRefused) {
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        const CodecTestPieces* pieces = TestPiecesFor(codec->name);
        if (pieces == nullptr || pieces->huge == nullptr) continue;
        const Sample c{std::string(codec->name), codec, pieces->huge()};
        if (c.file.empty()) continue;  // no tool here to make the sample
        ASSERT_TRUE(c.codec->sniff(c.file)) << c.name;
        gdip::Bitmap out;
        EXPECT_EQ(Watched(*c.decoder, c.file, out, c.name), OutOfMemory) << c.name;
        EXPECT_EQ(out.rgba.capacity(), 0u) << c.name;
    }
}

// Every codec of the list has its row of test pieces, and a dictionary for
// its fuzzer; a codec added without them is named here with what it lacks.
TEST(HostileInput, EveryRegisteredCodecHasItsTestPieces) {
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        const std::string name(codec->name);
        const CodecTestPieces* pieces = TestPiecesFor(codec->name);
        if (pieces == nullptr) {
            ADD_FAILURE() << name << ": no row in tests/support/codec_samples.cpp";
            continue;
        }
        EXPECT_NE(pieces->samples, nullptr) << name << ": no valid samples";
        EXPECT_NE(pieces->huge, nullptr) << name << ": no file beyond the pixel budget";
        EXPECT_NE(pieces->magic, nullptr) << name << ": no file starts for random bytes";
        if (codec->makeEncoder == nullptr) {
            EXPECT_NE(pieces->picture, nullptr)
                << name << ": only read, and no maker of its files for the small-budget test";
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(std::string(ORV_SOURCE_DIR) + "/fuzz/dict/" +
                                                     name + ".dict"))
            << name << ": no fuzzer dictionary fuzz/dict/" << name << ".dict";
    }
}

// A grid image whose primary item declares 64 x 64 pixels while its grid
// data asks for an output of 57,343 pixels a side: only libheif reads that
// size, so it must be held to the budget's side before it allocates. Found
// by fuzzing, and kept with the fuzzers' regressions.
TEST(HostileInput, AGridLargerThanItsDeclaredSizeIsRefused) {
    const Bytes file = ReadBytes(std::string(ORV_SOURCE_DIR) +
                                 "/fuzz/regressions/heif/grid-larger-than-declared.heic");
    auto decoder = gdip::kHeifCodec.makeDecoder();
    ASSERT_TRUE(gdip::kHeifCodec.sniff(file));
    gdip::Bitmap out;
    EXPECT_NE(Watched(*decoder, file, out, "HEIF grid"), Ok);
    EXPECT_TRUE(out.rgba.empty());
}

}  // namespace
