// HEIF and AVIF on Windows. libheif with its HEVC and AV1 decoders is far
// larger than the room left in gdiplus.dll, so the decoder lives in the
// companion DLL orv-heif.dll beside the module (codec_heif.cpp built with
// the libraries, heif_companion.cpp), loaded the first time a file with a
// HEIF or AVIF signature is sniffed: a run without such files never loads
// it. Without the DLL, or with one that cannot be loaded or is of another
// revision, the sniffer claims no file, so HEIF and AVIF files are an
// unknown format, as in a build without the format.
#include <new>
#include <vector>

#include "codec.h"
#include "companion.h"
#include "heif_companion_abi.h"
#include "heif_sniff.h"

namespace gdip {

namespace {

// The companion's decode call, or null when there is no usable companion.
// Loaded once per process; it stays loaded as long as the process runs.
HeifCompanionDecodeFn Companion() {
    static const HeifCompanionDecodeFn decode = [] {
        void* library = LoadCompanion(L"orv-heif.dll");
        const auto abi =
            reinterpret_cast<HeifCompanionAbiFn>(CompanionExport(library, "orv_heif_abi"));
        const auto fn =
            reinterpret_cast<HeifCompanionDecodeFn>(CompanionExport(library, "orv_heif_decode"));
        if (abi == nullptr || fn == nullptr || abi() != kHeifCompanionAbi) {
            FreeCompanion(library);
            return HeifCompanionDecodeFn{nullptr};
        }
        return fn;
    }();
    return decode;
}

bool SniffWithCompanion(std::span<const std::uint8_t> head) {
    return SniffHeif(head) && Companion() != nullptr;
}

// What a request fills: the picture, and the metadata blocks copied out of
// the companion's memory, unchecked until the picture is final.
struct Received {
    Bitmap picture;
    std::vector<std::uint8_t> icc, exif, xmp;
};

std::uint8_t* AllocateFor(void* host, std::uint32_t width, std::uint32_t height, int* status) {
    Bitmap& out = static_cast<Received*>(host)->picture;
    *status = AllocateBitmap(out, width, height);
    return *status == Ok ? out.rgba.data() : nullptr;
}

// A block larger than any the runtime keeps (and so never above the pixel
// budget) is not copied; one that does not fit in memory is dropped, never
// the picture.
void Keep(std::vector<std::uint8_t>& into, const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > MaxMetadataBytes()) return;
    try {
        into.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        into.clear();
    }
}

void MetadataFor(void* host, const std::uint8_t* icc, std::size_t iccSize, const std::uint8_t* exif,
                 std::size_t exifSize, const std::uint8_t* xmp, std::size_t xmpSize) {
    auto* received = static_cast<Received*>(host);
    Keep(received->icc, icc, iccSize);
    Keep(received->exif, exif, exifSize);
    Keep(received->xmp, xmp, xmpSize);
}

class CompanionDecoder final : public Decoder {
public:
    GpStatus Decode(std::span<const std::uint8_t> file, Bitmap& out) const override {
        const HeifCompanionDecodeFn decode = SniffHeif(file) ? Companion() : nullptr;
        if (decode == nullptr) return UnknownImageFormat;
        Received received;
        Bitmap& picture = received.picture;
        HeifCompanionRequest request;
        request.file = file.data();
        request.size = file.size();
        request.pixelBudgetBytes = PixelBudgetBytes();
        request.host = &received;
        request.allocate = AllocateFor;
        request.metadata = MetadataFor;
        const int status = decode(&request);
        if (status < Ok || status > ProfileNotFound) return GenericError;  // not a status
        if (status != Ok) return static_cast<GpStatus>(status);
        if (picture.rgba.empty()) return GenericError;  // Ok without a picture
        picture.hasAlpha = request.hasAlpha != 0;
        // Checked here as every decoder's metadata is (the pixels are final).
        try {
            SetMetadata(picture, received.icc, received.exif, received.xmp);
        } catch (const std::bad_alloc&) {
            picture.meta = {};
        }
        out = std::move(picture);
        return Ok;
    }
};

std::unique_ptr<Decoder> MakeDecoder() {
    return std::make_unique<CompanionDecoder>();
}

}  // namespace

constinit const CodecDescriptor kHeifCodec{
    .name = "heif",
    .priority = 60,
    .signatures = {{{4, "ftyp"}}},
    .sniff = SniffWithCompanion,
    .makeDecoder = MakeDecoder,
};

}  // namespace gdip
