// Processor time of the writers alone, and a checksum of what they write, so
// that a faster writer can be shown to write the same bytes. Each picture is
// decoded once and written `rounds` times per format; the best round counts.
// Run it with OMP_NUM_THREADS=1 for one thread.
// Usage: bench_writers <list> [rounds] [gif,tiff,png,bmp,jpeg] (GIF and TIFF
// when no format is named)
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
        std::fprintf(stderr, "usage: %s <list> [rounds] [format,...]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    // The formats asked for, as ",gif,png," for a whole-name search.
    std::string only;
    if (argc > 3) only.append(",").append(argv[3]).append(",");
    struct Writer {
        const gdip::CodecDescriptor& codec;
        double seconds = 0, bytes = 0;
        std::uint64_t hash = 0xCBF29CE484222325ull;
    };
    std::vector<Writer> writers;
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        const std::string name(codec->name);
        const bool wanted = only.empty() ? name == "gif" || name == "tiff"
                                         : only.find("," + name + ",") != std::string::npos;
        if (codec->makeEncoder != nullptr && wanted) writers.push_back({*codec});
    }
    double megapixels = 0;
    std::ifstream list(argv[1]);
    for (std::string path; std::getline(list, path);) {
        Bytes file, out;
        gdip::Bitmap image;
        const gdip::Decoder* decoder = ReadFile(path, file) ? gdip::DecoderFor(file) : nullptr;
        if (decoder == nullptr || decoder->Decode(file, image) != Ok) continue;
        megapixels += double(image.width) * image.height / 1e6;
        for (Writer& w : writers) {
            const auto encoder = w.codec.makeEncoder();
            w.seconds += Best(*encoder, image, rounds, out);
            w.bytes += double(out.size()), w.hash = Hash(w.hash, out);
        }
    }
    if (megapixels <= 0) return 1;
    std::printf("%.1f MP\n", megapixels);
    for (const Writer& w : writers)
        std::printf("%-4s CPU %.2f ms/MP, %.1f KB/MP, checksum %016llx\n",
                    std::string(w.codec.name).c_str(), w.seconds * 1000 / megapixels,
                    w.bytes / 1024 / megapixels, static_cast<unsigned long long>(w.hash));
    return 0;
}
