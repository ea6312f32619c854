// The pixel budget, smaller for fuzzing: the program's own (a quarter of
// memory, at most 1 GiB) lets one input allocate and fill a gibibyte, which
// is slow and, with a decoder's working copy, crosses libFuzzer's memory
// limit on a file that is perfectly legitimate. These definitions take the
// place of budget.cpp's when linked first; the rules are the same.
#include <new>
#include <stdexcept>

#include "platform/gdiplus/runtime/codec.h"

namespace gdip {

std::uint64_t PixelBudgetBytes() {
    return std::uint64_t{64} << 20;
}

bool FitsBudget(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) return false;
    const std::uint64_t maxPixels = PixelBudgetBytes() / 4;
    return width <= maxPixels && height <= maxPixels / width;
}

GpStatus AllocateBitmap(Bitmap& out, std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0) return InvalidParameter;
    if (!FitsBudget(width, height)) return OutOfMemory;
    try {
        out.rgba.clear();
        out.rgba.shrink_to_fit();
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
