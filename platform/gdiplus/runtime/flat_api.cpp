// The module's exported flat API. Only these functions leave the module;
// everything else is hidden. No exception crosses this boundary, and the
// module never writes to the terminal.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string_view>

#include "encoders.h"
#include "image_store.h"
#include "module_export.h"
#include "parallel.h"

namespace {

std::atomic<int> g_startups{0};
std::atomic<ULONG_PTR> g_nextToken{1};

bool Started() {
    return g_startups.load(std::memory_order_acquire) > 0;
}

// Without a background thread there is nothing to hook; the calls exist for
// callers that suppress that thread and expect to call them.
GpStatus NotificationHook(ULONG_PTR* token) {
    if (token != nullptr) *token = 0;
    return Ok;
}
void NotificationUnhook(ULONG_PTR) {}

std::u16string_view PathOf(const WCHAR* text) {
    return std::u16string_view(text);
}

template <typename Body>
GpStatus Guarded(Body&& body) {
    if (!Started()) return GdiplusNotInitialized;
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

}  // namespace

GDIP_EXPORT GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                                    GdiplusStartupOutput* output) {
    if (token == nullptr || input == nullptr) return InvalidParameter;
    if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && output == nullptr) return InvalidParameter;
    if (output != nullptr) {
        output->NotificationHook = reinterpret_cast<void*>(&NotificationHook);
        output->NotificationUnhook = reinterpret_cast<void*>(&NotificationUnhook);
    }
    try {
        // A list of codecs in which two claim one signature or one identifier
        // would pick decoders and encoders by accident: refused outright.
        static const bool codecsSound = gdip::RegistryFault(gdip::Codecs()).empty();
        if (!codecsSound) return GenericError;
        gdip::fileio::Prepare();
    } catch (...) {
        return OutOfMemory;
    }
    *token = g_nextToken.fetch_add(1);
    g_startups.fetch_add(1, std::memory_order_release);
    return Ok;
}

GDIP_EXPORT void GdiplusShutdown(ULONG_PTR token) {
    if (token == 0) return;
    int current = g_startups.load();
    while (current > 0 && !g_startups.compare_exchange_weak(current, current - 1)) {
    }
}

GDIP_EXPORT GpStatus GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap) {
    return Guarded([&] {
        if (filename == nullptr || bitmap == nullptr) return InvalidParameter;
        *bitmap = nullptr;
        const gdip::WorkerScope threads;
        std::unique_ptr<GpBitmap> image;
        if (GpStatus s = gdip::LoadImageFile(PathOf(filename), image); s != Ok) return s;
        gdip::RegisterImage(image.get());
        *bitmap = image.release();
        return Ok;
    });
}

GDIP_EXPORT GpStatus GdipGetImageWidth(GpImage* image, UINT* width) {
    return Guarded([&] {
        if (image == nullptr || width == nullptr || !gdip::IsLiveImage(image))
            return InvalidParameter;
        *width = image->bitmap.width;
        return Ok;
    });
}

GDIP_EXPORT GpStatus GdipGetImageHeight(GpImage* image, UINT* height) {
    return Guarded([&] {
        if (image == nullptr || height == nullptr || !gdip::IsLiveImage(image))
            return InvalidParameter;
        *height = image->bitmap.height;
        return Ok;
    });
}

GDIP_EXPORT GpStatus GdipGetImageEncodersSize(UINT* numEncoders, UINT* size) {
    return Guarded([&] {
        if (numEncoders == nullptr || size == nullptr) return InvalidParameter;
        gdip::EncoderListSize(*numEncoders, *size);
        return Ok;
    });
}

GDIP_EXPORT GpStatus GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
    return Guarded([&] { return gdip::WriteEncoderList(numEncoders, size, encoders); });
}

namespace {

// The one encoder parameter we take is our own EncoderKeepExisting (one
// LONG); others (quality and the like) are not offered: each encoder writes
// with its own fixed settings.
GpStatus ReadSaveParameters(const EncoderParameters* params, gdip::fileio::Existing& existing) {
    existing = gdip::fileio::Existing::Replace;
    if (params == nullptr) return Ok;
    for (UINT i = 0; i < params->Count; ++i) {
        const EncoderParameter& p = params->Parameter[i];
        if (!(p.Guid == EncoderKeepExisting)) return NotImplemented;
        if (p.NumberOfValues != 1 || p.Type != EncoderParameterValueTypeLong || p.Value == nullptr)
            return InvalidParameter;
        if (*static_cast<const LONG*>(p.Value) != 0) existing = gdip::fileio::Existing::Keep;
    }
    return Ok;
}

}  // namespace

GDIP_EXPORT GpStatus GdipSaveImageToFile(GpImage* image, const WCHAR* filename,
                                         const CLSID* clsidEncoder,
                                         const EncoderParameters* encoderParams) {
    return Guarded([&] {
        if (image == nullptr || filename == nullptr || clsidEncoder == nullptr ||
            !gdip::IsLiveImage(image))
            return InvalidParameter;
        gdip::fileio::Existing existing = gdip::fileio::Existing::Replace;
        if (GpStatus s = ReadSaveParameters(encoderParams, existing); s != Ok) return s;
        std::unique_ptr<gdip::Encoder> encoder;
        if (GpStatus s = gdip::EncoderFor(*clsidEncoder, encoder); s != Ok) return s;
        const gdip::WorkerScope threads;
        return gdip::SaveImageFile(*image, PathOf(filename), *encoder, existing);
    });
}

GDIP_EXPORT GpStatus GdipDisposeImage(GpImage* image) {
    return Guarded([&] {
        if (image == nullptr || !gdip::UnregisterImage(image)) return InvalidParameter;
        delete static_cast<GpBitmap*>(image);
        gdip::ReturnFreeMemory();
        return Ok;
    });
}

GDIP_EXPORT void* GdipAlloc(size_t size) {
    return Started() ? std::malloc(size) : nullptr;
}

GDIP_EXPORT void GdipFree(void* ptr) {
    std::free(ptr);
}
