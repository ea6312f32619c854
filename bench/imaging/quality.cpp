// Output quality of the runtime's writers on the benchmark corpus: PNG and
// TIFF must read back exactly; GIF is measured against its source as PSNR of
// single pixels and of 3x3 local means (the colour seen at viewing distance),
// and on a smooth gradient, where banding would show as a large local-mean
// error. Prints one line per file and the means, plus the time of each
// writer (CPU seconds of this process, whatever threads it used).
// Usage: bench_quality <list> [lossless]   (lossless: PNG and TIFF only)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "bench/imaging/bench_files.h"
#include "platform/gdiplus/runtime/codec.h"

namespace {

using bench::Bytes;
using bench::Encode;
using bench::ReadFile;

double ToPsnr(double mse) {
    return mse <= 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Mean squared error over the colour channels, of single pixels or of the
// means of 3x3 neighbourhoods.
double Mse(const gdip::Bitmap& a, const gdip::Bitmap& b, int radius) {
    double sum = 0;
    std::size_t n = 0;
    for (std::uint32_t y = radius; y + radius < a.height; ++y)
        for (std::uint32_t x = radius; x + radius < a.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sa = 0, sb = 0;
                for (int dy = -radius; dy <= radius; ++dy)
                    for (int dx = -radius; dx <= radius; ++dx) {
                        sa += a.Row(y + dy)[(x + dx) * 4 + c];
                        sb += b.Row(y + dy)[(x + dx) * 4 + c];
                    }
                const double d = double(sa - sb) / ((2 * radius + 1) * (2 * radius + 1));
                sum += d * d;
                ++n;
            }
    return n == 0 ? 0 : sum / double(n);
}

// Several hues sweeping slowly: the hardest case for a 256-colour palette.
gdip::Bitmap Gradient() {
    gdip::Bitmap g;
    g.width = 768, g.height = 256;
    g.rgba.resize(std::size_t{g.width} * g.height * 4);
    for (std::uint32_t y = 0; y < g.height; ++y)
        for (std::uint32_t x = 0; x < g.width; ++x) {
            std::uint8_t* p = g.Row(y) + x * 4;
            p[0] = std::uint8_t(x / 3), p[1] = std::uint8_t(y), p[2] = std::uint8_t(255 - x / 6);
            p[3] = 255;
        }
    return g;
}

struct Totals {
    double psnr = 0, localPsnr = 0, gifSeconds = 0, pngSeconds = 0, tifSeconds = 0;
    double megapixels = 0, gifBytes = 0, pngBytes = 0, tifBytes = 0;
    int files = 0, inexact = 0;
};

void Measure(const std::string& name, const gdip::Bitmap& image, bool withGif, Totals& t) {
    double gifSeconds = 0, psnr = 0, local = 0;
    Bytes gif;
    if (withGif) {
        gif = Encode(*gdip::kGifCodec.makeEncoder(), image, gifSeconds);
        gdip::Bitmap back;
        if (gdip::kGifCodec.makeDecoder()->Decode(gif, back) != Ok || back.width != image.width) {
            std::printf("%s: GIF unreadable\n", name.c_str());
            ++t.inexact;
            return;
        }
        psnr = ToPsnr(Mse(image, back, 0)), local = ToPsnr(Mse(image, back, 1));
    }
    bool exact = true;
    struct Lossless {
        std::unique_ptr<gdip::Encoder> encoder;
        std::unique_ptr<gdip::Decoder> decoder;
        double *seconds, *bytes;
    };
    Lossless formats[] = {
        {gdip::kPngCodec.makeEncoder(), gdip::kPngCodec.makeDecoder(), &t.pngSeconds, &t.pngBytes},
        {gdip::kTiffCodec.makeEncoder(), gdip::kTiffCodec.makeDecoder(), &t.tifSeconds,
         &t.tifBytes}};
    for (const Lossless& f : formats) {
        const Bytes file = Encode(*f.encoder, image, *f.seconds);
        *f.bytes += double(file.size());
        gdip::Bitmap same;
        exact = exact && f.decoder->Decode(file, same) == Ok && same.rgba == image.rgba;
    }
    if (!exact) ++t.inexact;
    std::printf("%-50s %6.2f MP  GIF %6.2f dB, local means %6.2f dB%s\n", name.c_str(),
                double(image.width) * image.height / 1e6, psnr, local,
                exact ? "" : "  PNG/TIFF NOT EXACT");
    t.psnr += psnr, t.localPsnr += local, t.gifSeconds += gifSeconds;
    t.gifBytes += double(gif.size());
    t.megapixels += double(image.width) * image.height / 1e6;
    ++t.files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <list> [lossless]\n", argv[0]);
        return 2;
    }
    const bool withGif = argc < 3 || std::string(argv[2]) != "lossless";
    Totals t;
    std::ifstream list(argv[1]);
    for (std::string path; std::getline(list, path);) {
        Bytes file;
        gdip::Bitmap image;
        const gdip::Decoder* decoder = ReadFile(path, file) ? gdip::DecoderFor(file) : nullptr;
        if (decoder == nullptr || decoder->Decode(file, image) != Ok) continue;
        Measure(path.substr(path.rfind('/') + 1), image, withGif, t);
    }
    if (t.files == 0) return 1;
    const gdip::Bitmap gradient = Gradient();
    double ignored = 0;
    gdip::Bitmap back;
    gdip::kGifCodec.makeDecoder()->Decode(Encode(*gdip::kGifCodec.makeEncoder(), gradient, ignored),
                                          back);
    std::printf("\n%d files, %.1f MP; mean GIF PSNR %.2f dB, of 3x3 local means %.2f dB\n", t.files,
                t.megapixels, t.psnr / t.files, t.localPsnr / t.files);
    std::printf("gradient: mean squared error of 3x3 local means %.3f, of pixels %.2f\n",
                Mse(gradient, back, 1), Mse(gradient, back, 0));
    std::printf("CPU ms/MP: GIF %.1f, PNG %.1f, TIFF %.1f; KB/MP: GIF %.0f, PNG %.0f, TIFF %.0f\n",
                t.gifSeconds * 1000 / t.megapixels, t.pngSeconds * 1000 / t.megapixels,
                t.tifSeconds * 1000 / t.megapixels, t.gifBytes / 1024 / t.megapixels,
                t.pngBytes / 1024 / t.megapixels, t.tifBytes / 1024 / t.megapixels);
    std::printf("PNG/TIFF files not read back exactly: %d\n", t.inexact);
    return t.inexact == 0 ? 0 : 1;
}
