// The machine's memory on a POSIX host: its pages times their size.
#include <unistd.h>

#include <limits>

#include "physical_memory.h"

namespace gdip {

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

}  // namespace gdip
