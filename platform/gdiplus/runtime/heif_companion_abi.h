// The C interface between the module and the HEIF companion DLL
// (orv-heif.dll), which holds the HEIF decoder with libheif, libde265 and
// dav1d on Windows. The module checks orv_heif_abi() against
// kHeifCompanionAbi when it loads the DLL, and treats a DLL of another
// revision as absent; raise the number whenever this structure or the
// meaning of a call changes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gdip {

inline constexpr std::uint32_t kHeifCompanionAbi = 2;

struct HeifCompanionRequest {
    // In: the whole file, and the module's pixel budget, to which the
    // decoder holds every size it reads.
    const std::uint8_t* file = nullptr;
    std::size_t size = 0;
    std::uint64_t pixelBudgetBytes = 0;
    // In: the caller's pixel memory. Called once, when the picture has been
    // decoded; returns width x height x 4 bytes of RGBA rows, or null with the
    // status in *status (out of budget, out of memory).
    void* host = nullptr;
    std::uint8_t* (*allocate)(void* host, std::uint32_t width, std::uint32_t height,
                              int* status) = nullptr;
    // In: the caller's metadata memory. Called once after allocate, with what
    // the file carries besides its pixels, as found in it (a null pointer or
    // size 0: absent): the colour profile (or one made from an nclx colour
    // statement), the TIFF block of the Exif item, the XMP packet. The
    // pointers are valid only during the call: the caller copies the blocks
    // and checks them as it checks any decoder's.
    void (*metadata)(void* host, const std::uint8_t* icc, std::size_t iccSize,
                     const std::uint8_t* exif, std::size_t exifSize, const std::uint8_t* xmp,
                     std::size_t xmpSize) = nullptr;
    // Out: whether the picture has an alpha channel.
    int hasAlpha = 0;
};

}  // namespace gdip

// The companion's exports, by these names.
using HeifCompanionAbiFn = std::uint32_t (*)();
using HeifCompanionDecodeFn = int (*)(gdip::HeifCompanionRequest*);  // returns a GpStatus
