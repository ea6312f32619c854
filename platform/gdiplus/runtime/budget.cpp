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

// Below this the pages are few, and zeroing them on one thread is quicker
// than starting another (or asking for large ones).
constexpr std::size_t kPrepareFrom = 4u << 20;
constexpr std::size_t kZeroPiece = 1u << 20;
constexpr std::size_t kPageBytes = 4096;  // the smallest page of the systems we run on

// A big picture's memory arrives as fresh pages from the system, each taking
// a fault and the system's zeroing at its first write, and then our own
// zeroing: on one thread, that is a serial step of every decode as long as
// the rest of the decode takes on two. So the whole reserved room is zeroed
// here in pieces side by side, cut at pages so that no two threads fault on
// one page. Where the system gives large pages, the faults are few but each
// zeroes 2 MiB, and the pieces are cut at large pages (cut at 1 MiB, two
// threads faulted on one and took four times as long as one thread).
// `large`: the size of the large pages given, or 0.
void ZeroPages(std::uint8_t* data, std::size_t size, std::size_t large) {
    if (size < kPrepareFrom || WorkerCount() < 2) {
        std::memset(data, 0, size);
        return;
    }
    const std::size_t page = large != 0 ? large : kPageBytes;
    const std::size_t piece = std::max(kZeroPiece / page, std::size_t{1}) * page;
    // The first piece ends at a page, so that every later one starts at one.
    const std::size_t first = piece - reinterpret_cast<std::uintptr_t>(data) % page;
    const std::size_t pieces = 1 + (size > first ? (size - first + piece - 1) / piece : 0);
    ParallelFor(pieces, [&](std::size_t i) {
        const std::size_t begin = i == 0 ? 0 : first + (i - 1) * piece;
        const std::size_t end = std::min(size, i == 0 ? first : first + i * piece);
        if (begin < end) std::memset(data + begin, 0, end - begin);
    });
}

}  // namespace

GpStatus AllocateBitmap(Bitmap& out, std::uint32_t width, std::uint32_t height, std::size_t room,
                        Fill fill) {
    if (width == 0 || height == 0) return InvalidParameter;
    if (!FitsBudget(width, height)) return OutOfMemory;
    try {
        out.rgba.clear();
        out.rgba.shrink_to_fit();
        out.rgba.reserve(std::size_t{width} * height * 4 + room);
        out.rgba.resize(std::size_t{width} * height * 4);  // not written: zeroed below
        const std::size_t capacity = out.rgba.capacity();
        const std::size_t large =
            capacity >= kPrepareFrom ? AdviseLargePages(out.rgba.data(), capacity) : 0;
        if (fill == Fill::Zeroes) ZeroPages(out.rgba.data(), capacity, large);
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
