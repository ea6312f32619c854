// Processor time of the GIF and TIFF writers alone, and a checksum of what
// they write, so that a faster writer can be shown to write the same bytes.
// Each picture is decoded once and written `rounds` times per format; the
// best round counts. Run it with OMP_NUM_THREADS=1 for one thread.
// Usage: bench_writers <list> [rounds] [gif|tiff]
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "bench/imaging/bench_files.h"
#include "platform/gdiplus/runtime/codec.h"

namespace {

using bench::Bytes;
using bench::ReadFile;

// The best time of `rounds` writes, and the bytes written.
double Best(const gdip::Encoder& encoder, const gdip::Bitmap& image, int rounds, Bytes& bytes) {
    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        double seconds = 0;
        bytes = bench::Encode(encoder, image, seconds);
        best = std::min(best, seconds);
    }
    return best;
}

// FNV-1a, carried on from one file to the next.
std::uint64_t Hash(std::uint64_t h, const Bytes& bytes) {
    for (const std::uint8_t b : bytes) h = (h ^ b) * 0x100000001B3ull;
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <list> [rounds] [gif|tiff]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string only = argc > 3 ? argv[3] : "";
    const auto gif = gdip::kGifCodec.makeEncoder(), tiff = gdip::kTiffCodec.makeEncoder();
    double megapixels = 0, gifSeconds = 0, tiffSeconds = 0, gifBytes = 0, tiffBytes = 0;
    std::uint64_t gifHash = 0xCBF29CE484222325ull, tiffHash = gifHash;
    std::ifstream list(argv[1]);
    for (std::string path; std::getline(list, path);) {
        Bytes file, out;
        gdip::Bitmap image;
        const gdip::Decoder* decoder = ReadFile(path, file) ? gdip::DecoderFor(file) : nullptr;
        if (decoder == nullptr || decoder->Decode(file, image) != Ok) continue;
        megapixels += double(image.width) * image.height / 1e6;
        if (only != "tiff") {
            gifSeconds += Best(*gif, image, rounds, out);
            gifBytes += double(out.size()), gifHash = Hash(gifHash, out);
        }
        if (only != "gif") {
            tiffSeconds += Best(*tiff, image, rounds, out);
            tiffBytes += double(out.size()), tiffHash = Hash(tiffHash, out);
        }
    }
    if (megapixels <= 0) return 1;
    std::printf("%.1f MP; CPU ms/MP: GIF %.2f, TIFF %.2f; KB/MP: GIF %.1f, TIFF %.1f\n", megapixels,
                gifSeconds * 1000 / megapixels, tiffSeconds * 1000 / megapixels,
                gifBytes / 1024 / megapixels, tiffBytes / 1024 / megapixels);
    std::printf("checksums: GIF %016llx, TIFF %016llx\n", static_cast<unsigned long long>(gifHash),
                static_cast<unsigned long long>(tiffHash));
    return 0;
}
