// The limit protects the run from a small file that declares a gigantic
// picture: such a file is refused from its header alone, before any buffer
// sized by that header exists.
#include <new>
#include <stdexcept>

#include "codec.h"

namespace gdip {

bool FitsBudget(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) return false;
    const std::uint64_t maxPixels = PixelBudgetBytes() / 4;
    return width <= maxPixels && height <= maxPixels / width;
}

GpStatus CheckDeclaredSize(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) return GenericError;
    return FitsBudget(width, height) ? Ok : OutOfMemory;
}

GpStatus AllocateBitmap(Bitmap& out, std::uint32_t width, std::uint32_t height, std::size_t room) {
    if (width == 0 || height == 0) return InvalidParameter;
    if (!FitsBudget(width, height)) return OutOfMemory;
    try {
        out.rgba.clear();
        out.rgba.shrink_to_fit();
        out.rgba.reserve(std::size_t{width} * height * 4 + room);
        out.rgba.resize(std::size_t{width} * height * 4);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (const std::length_error&) {
        return ValueOverflow;
    }
    out.width = width;
    out.height = height;
    out.hasAlpha = false;
    return Ok;
}

}  // namespace gdip
