// HEIF and AVIF are not part of the Windows build: libheif with its HEVC and
// AV1 decoders is too heavy to cross-build and to fit into the module. The
// format keeps its place in the list but claims no file, so such a file is
// an unknown format there.
#include "codec.h"

namespace gdip {

namespace {

bool ClaimsNothing(std::span<const std::uint8_t>) {
    return false;
}

class AbsentDecoder : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t>, Bitmap&) const override {
        return UnknownImageFormat;
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<AbsentDecoder>();
}

}  // namespace

constinit const CodecDescriptor kHeifCodec{
    .name = "heif",
    .priority = 60,
    .signatures = {{{4, "ftyp"}}},
    .sniff = ClaimsNothing,
    .makeDecoder = MakeDecoder,
};

}  // namespace gdip
