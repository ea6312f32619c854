// The HEIF companion DLL's exports: the HEIF decoder of codec_heif.cpp
// behind the C interface of heif_companion_abi.h. The picture is decoded
// into the DLL's own bitmap and copied into the caller's memory, which the
// caller allocates through its budget; libheif's own image is gone by then,
// so at most two copies of the picture exist at a time, as in the module.
// The metadata the decoder finds is handed over as found: the module checks
// it with its own SetMetadata, trusting this DLL no more than any decoder.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "codec.h"
#include "heif_companion_abi.h"

namespace gdip {

namespace {

std::atomic<std::uint64_t> g_budget{0};

}  // namespace

// The metadata checks live in the module. Here a block is only kept as the
// file holds it, within the same size limit, for the module to check.
std::size_t MaxMetadataBytes() {
    return static_cast<std::size_t>(std::min<std::uint64_t>(kMaxMetadataBytes, PixelBudgetBytes()));
}

void SetMetadata(Bitmap& out, std::span<const std::uint8_t> icc, std::span<const std::uint8_t> exif,
                 std::span<const std::uint8_t> xmp) {
    out.meta = {};
    out.meta.icc.assign(icc.begin(), icc.end());
    out.meta.exif.assign(exif.begin(), exif.end());
    out.meta.xmp.assign(xmp.begin(), xmp.end());
}

// The module's budget, as the last request brought it (it does not change
// while a process runs).
std::uint64_t PixelBudgetBytes() {
    return g_budget.load(std::memory_order_relaxed);
}

}  // namespace gdip

extern "C" __declspec(dllexport) std::uint32_t orv_heif_abi() {
    return gdip::kHeifCompanionAbi;
}

extern "C" __declspec(dllexport) int orv_heif_decode(gdip::HeifCompanionRequest* request) {
    try {
        gdip::g_budget.store(request->pixelBudgetBytes, std::memory_order_relaxed);
        gdip::Bitmap picture;
        const GpStatus status = gdip::kHeifCodec.makeDecoder()->Decode(
            std::span<const std::uint8_t>(request->file, request->size), picture);
        if (status != Ok) return status;
        int allocated = Ok;
        std::uint8_t* rows =
            request->allocate(request->host, picture.width, picture.height, &allocated);
        if (rows == nullptr) return allocated != Ok ? allocated : OutOfMemory;
        std::memcpy(rows, picture.rgba.data(), picture.rgba.size());
        request->hasAlpha = picture.hasAlpha ? 1 : 0;
        const gdip::Metadata& meta = picture.meta;
        if (request->metadata != nullptr)
            request->metadata(request->host, meta.icc.data(), meta.icc.size(), meta.exif.data(),
                              meta.exif.size(), meta.xmp.data(), meta.xmp.size());
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}
