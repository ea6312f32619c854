// The decoders' fuzz regressions (fuzz/regressions/, HEIF among them), the
// kept fuzz corpus (fuzz/corpus/: inputs of new coverage found by the HEIF
// fuzzer) and the HEIF seeds of the fuzzers, run through the decoder the
// content picks,
// on every system's build (under Wine for Windows, where HEIF is the
// companion DLL's): each file, its first half and a few corrupted copies
// give a status or a whole picture, and nothing is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/heif_files.h"
#include "tests/support/runtime_files.h"

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

void Check(const Bytes& file, const std::string& what) {
    const gdip::Decoder* decoder = gdip::DecoderFor(file);
    if (decoder == nullptr) return;
    gdip::Bitmap out;
    std::string printed;
    if (DecodeWatched(*decoder, file, out, printed) == Ok) {
        EXPECT_GT(out.width, 0u) << what;
        EXPECT_EQ(out.rgba.size(), std::size_t{out.width} * out.height * 4) << what;
    }
    EXPECT_EQ(printed, "") << what;
}

TEST(FuzzCorpus, RegressionsCorpusAndHeifSeedsDecodeOrFailCleanly) {
    std::vector<std::pair<std::string, Bytes>> corpus;
    for (const char* kept : {"regressions", "corpus"})
        for (const auto& folder : fs::directory_iterator(fs::path(u8"" ORV_FUZZ_DIR) / kept))
            for (const auto& file : fs::directory_iterator(folder.path()))
                corpus.emplace_back(file.path().filename().string(), ReadBytes(file.path()));
    const bool heifRegressions = std::any_of(corpus.begin(), corpus.end(), [](const auto& c) {
        return gdip::kHeifCodec.sniff(c.second);
    });
    EXPECT_TRUE(heifRegressions);  // and the HEIF codec is there to claim them
    // The fuzzers' HEIF seeds (fuzz/make_seeds.cpp), as far as this libheif
    // can make them.
    for (bool alpha : {false, true})
        for (auto format : {heif_compression_HEVC, heif_compression_AV1}) {
            Bytes seed = MakeHeif(testsupport::Pattern(32, 32, alpha), format,
                                  heif_orientation_rotate_90_cw);
            if (!seed.empty()) corpus.emplace_back("seed", std::move(seed));
        }
    std::mt19937 rng(7);
    for (const auto& [name, file] : corpus) {
        Check(file, name);
        Check(Bytes(file.begin(), file.begin() + long(file.size() / 2)), name + ", first half");
        for (int round = 0; round < 40 && file.size() > 8; ++round) {
            Bytes bad = file;
            for (int i = 0; i < 4; ++i) bad[8 + rng() % (bad.size() - 8)] = std::uint8_t(rng());
            Check(bad, name + ", corrupted");
        }
    }
}

}  // namespace
