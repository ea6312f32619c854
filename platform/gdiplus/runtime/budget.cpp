// How many decoded pixels one image may take. The limit protects the run
// from a small file that declares a gigantic picture: such a file is refused
// from its header alone, before any buffer sized by that header exists.
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <new>

#include "codec.h"

namespace gdip {

namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::uint64_t PhysicalMemoryBytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 4 * kGiB;  // unknown: assume a small machine
    const auto p = static_cast<std::uint64_t>(pages);
    const auto s = static_cast<std::uint64_t>(pageSize);
    if (p > std::numeric_limits<std::uint64_t>::max() / s)
        return std::numeric_limits<std::uint64_t>::max();
    return p * s;
}

}  // namespace

// A quarter of the memory (at most 1 GiB) for the pixels: a decoder's working
// copy of the same size then still leaves half of the machine to everyone else.
std::uint64_t PixelBudgetBytes() {
    static const std::uint64_t budget = std::min(kGiB, PhysicalMemoryBytes() / 4);
    return budget;
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
