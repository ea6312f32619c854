// One libFuzzer target: the decoder chosen at build time (ORV_FUZZ_FORMAT_x)
// decodes each input as a whole file. A decoder may refuse anything, but what
// it accepts must be a whole, consistent picture.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/gdiplus/runtime/codec.h"

namespace {

std::unique_ptr<gdip::Decoder> MakeDecoder() {
#if defined(ORV_FUZZ_FORMAT_bmp)
    return gdip::MakeBmpDecoder();
#elif defined(ORV_FUZZ_FORMAT_png)
    return gdip::MakePngDecoder();
#elif defined(ORV_FUZZ_FORMAT_jpeg)
    return gdip::MakeJpegDecoder();
#elif defined(ORV_FUZZ_FORMAT_gif)
    return gdip::MakeGifDecoder();
#elif defined(ORV_FUZZ_FORMAT_tiff)
    return gdip::MakeTiffDecoder();
#elif defined(ORV_FUZZ_FORMAT_ico)
    return gdip::MakeIcoDecoder();
#elif defined(ORV_FUZZ_FORMAT_webp)
    return gdip::MakeWebpDecoder();
#elif defined(ORV_FUZZ_FORMAT_heif)
    return gdip::MakeHeifDecoder();
#else
    return nullptr;  // the dispatch target
#endif
}

const gdip::Decoder* DecoderFor(std::span<const std::uint8_t> file) {
    static const std::unique_ptr<gdip::Decoder> fixed = MakeDecoder();
    return fixed ? fixed.get() : gdip::DecoderFor(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const gdip::Decoder* decoder = DecoderFor(file);
    if (decoder == nullptr) return 0;
    gdip::Bitmap out;
    if (decoder->Decode(file, out) != Ok) return 0;
    if (out.width == 0 || out.height == 0 ||
        out.rgba.size() != std::size_t{out.width} * out.height * 4)
        __builtin_trap();
    // Read every pixel, so that a buffer that is not what it claims shows.
    unsigned sum = 0;
    for (std::uint8_t v : out.rgba) sum += v;
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
