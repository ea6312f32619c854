// The limit protects the run from a small file that declares a gigantic
// picture: such a file is refused from its header alone, before any buffer
// sized by that header exists.
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "codec.h"
#include "parallel.h"

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

namespace {

// Below this the pages are few, and taking them on one thread is quicker
// than starting another (or asking for large ones).
constexpr std::size_t kPrepareFrom = 4u << 20;
constexpr std::size_t kTouchPiece = 1u << 20;
constexpr std::size_t kPageBytes = 4096;  // the smallest page of the systems we run on

// A big picture's memory arrives as fresh pages from the system, each taking
// a fault and the system's zeroing at its first write, and the vector's own
// zeroing (one thread) would take them all: half of that zeroing's time on our
// photographs. Writing a byte of every page of the reserved room first, side
// by side, takes the faults on every thread; the vector's zeroing then writes
// memory that is already there. Where the system gives large pages
// instead, the faults are few, and the vector's zeroing takes them on one
// thread in a quarter of the time that two threads touching them took.
void PreparePages(std::vector<std::uint8_t>& bytes) {
    const std::size_t size = bytes.capacity();
    if (size < kPrepareFrom || AdviseLargePages(bytes.data(), size) || WorkerCount() < 2) return;
    volatile std::uint8_t* const base = bytes.data();
    ParallelFor((size + kTouchPiece - 1) / kTouchPiece, [&](std::size_t i) {
        const std::size_t end = std::min(size, (i + 1) * kTouchPiece);
        for (std::size_t at = i * kTouchPiece; at < end; at += kPageBytes) base[at] = 0;
    });
}

}  // namespace

GpStatus AllocateBitmap(Bitmap& out, std::uint32_t width, std::uint32_t height, std::size_t room) {
    if (width == 0 || height == 0) return InvalidParameter;
    if (!FitsBudget(width, height)) return OutOfMemory;
    try {
        out.rgba.clear();
        out.rgba.shrink_to_fit();
        out.rgba.reserve(std::size_t{width} * height * 4 + room);
        PreparePages(out.rgba);
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
