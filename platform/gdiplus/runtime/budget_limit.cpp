// How many bytes of decoded pixels one image may take. Kept apart from the
// checks in budget.cpp so that the fuzzers can link a smaller limit instead.
#include <unistd.h>

#include <algorithm>
#include <limits>

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

}  // namespace gdip
