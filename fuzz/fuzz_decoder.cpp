// One libFuzzer target: the decoder of the codec the target is built for
// (kFuzzCodec, fuzz_codec_name.cpp; "dispatch" for the choice by content)
// decodes each input as a whole file. A decoder may refuse anything, but
// what it accepts must be a whole, consistent picture. This file is compiled
// once and linked into every target.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"

extern const char kFuzzCodec[];

namespace {

const std::string_view kTarget = kFuzzCodec;

// Null for the dispatch target. A target named after no codec would fuzz
// the dispatch unnoticed: it stops at once instead.
std::unique_ptr<gdip::Decoder> MakeDecoder() {
    if (kTarget == "dispatch") return nullptr;
    for (const gdip::CodecDescriptor* codec : gdip::Codecs())
        if (codec->name == kTarget) return codec->makeDecoder();
    __builtin_trap();
}

const gdip::Decoder* DecoderFor(std::span<const std::uint8_t> file) {
    static const std::unique_ptr<gdip::Decoder> fixed = MakeDecoder();
    return fixed ? fixed.get() : gdip::DecoderFor(file);
}

// What an encoder writes, read back by the same format's decoder. The
// stream is a seekable file in memory, as the TIFF writer needs one.
GpStatus RoundTrip(const gdip::Encoder& encoder, const gdip::Decoder& decoder,
                   const gdip::Bitmap& image, gdip::Bitmap& back) {
    const int fd = memfd_create("fuzz-encode", MFD_CLOEXEC);
    std::FILE* f = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
    if (f == nullptr) {
        if (fd >= 0) close(fd);
        return Win32Error;
    }
    GpStatus status = encoder.Encode(image, f);
    std::vector<std::uint8_t> bytes;
    if (status == Ok && std::fseek(f, 0, SEEK_END) == 0) {
        bytes.resize(static_cast<std::size_t>(std::ftell(f)));
        std::rewind(f);
        if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) status = Win32Error;
    }
    std::fclose(f);
    return status == Ok ? decoder.Decode(bytes, back) : status;
}

// Whatever a decoder accepted, the writers must take: TIFF gives it back
// exactly, GIF at the same size. Only small pictures, to keep the pace.
void CheckWriters(const gdip::Bitmap& image) {
    if (std::uint64_t{image.width} * image.height > 64 * 1024) return;
    static const auto tiffOut = gdip::kTiffCodec.makeEncoder();
    static const auto tiffIn = gdip::kTiffCodec.makeDecoder();
    static const auto gifOut = gdip::kGifCodec.makeEncoder();
    static const auto gifIn = gdip::kGifCodec.makeDecoder();
    gdip::Bitmap back;
    if (RoundTrip(*tiffOut, *tiffIn, image, back) != Ok || back.rgba != image.rgba ||
        back.hasAlpha != image.hasAlpha)
        __builtin_trap();
    if (image.width <= 0xFFFF && image.height <= 0xFFFF &&
        (RoundTrip(*gifOut, *gifIn, image, back) != Ok || back.width != image.width ||
         back.height != image.height))
        __builtin_trap();
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
    if (kTarget == "dispatch" || kTarget == gdip::kGifCodec.name ||
        kTarget == gdip::kTiffCodec.name)
        CheckWriters(out);
    return 0;
}
