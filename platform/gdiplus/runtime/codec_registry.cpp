// The one place that knows every decoder. A file's format is read from its
// first bytes only; its name plays no part.

#include "codec.h"

namespace gdip {

namespace {

// Order matters only where signatures could overlap: the strict, long
// signatures come first, and ICO (a weak 4-byte signature) comes last.
std::vector<std::unique_ptr<Decoder>> MakeAllDecoders() {
    std::vector<std::unique_ptr<Decoder>> all;
    all.push_back(MakePngDecoder());
    all.push_back(MakeJpegDecoder());
    all.push_back(MakeGifDecoder());
    all.push_back(MakeTiffDecoder());
    all.push_back(MakeWebpDecoder());
    all.push_back(MakeHeifDecoder());
    all.push_back(MakeBmpDecoder());
    all.push_back(MakeIcoDecoder());
    return all;
}

}  // namespace

const Decoder* DecoderFor(std::span<const std::uint8_t> head) {
    static const std::vector<std::unique_ptr<Decoder>> decoders = [] {
        try {
            return MakeAllDecoders();
        } catch (...) {
            return std::vector<std::unique_ptr<Decoder>>{};
        }
    }();
    for (const auto& decoder : decoders)
        if (decoder && decoder->Sniff(head)) return decoder.get();
    return nullptr;
}

}  // namespace gdip
