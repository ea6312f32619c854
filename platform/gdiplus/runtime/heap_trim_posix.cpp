// Handing freed memory back to the system, and asking it for large pages for
// a picture's buffer, on Linux. The C library keeps what the encoders'
// threads freed in per-thread arenas, and once a large block has been freed
// it serves blocks up to that size from its heaps instead of mapping them
// apart, so after a few pictures the process held the worth of several of
// them, freed (70 MB on the benchmark's photographs), on top of the next
// one's memory.
#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "codec.h"

namespace gdip {

void ReturnFreeMemory() {
    malloc_trim(0);
}

// A big picture's buffer is fresh memory. In 4 KiB pages every page costs a
// fault and the system's zeroing at its first write: a third of decoding a
// PNG photograph at one thread, and more in a virtual machine, where each
// fault is dearer. The system's transparent large pages take one fault per
// 2 MiB and also spare the encoders, which read the picture after, most of
// their address translations. They are asked for region by region (most
// systems' setting: "madvise"), so the process says where; where the
// setting is "never" the advice is refused by the system's setting, not by
// madvise, which is why it is read here.
std::size_t AdviseLargePages(void* data, std::size_t bytes) {
    static const bool enabled = [] {
        std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
        std::string line;
        return std::getline(setting, line) && line.find("[never]") == std::string::npos;
    }();
    constexpr std::uintptr_t kLargePage = 2u << 20;
    const auto begin =
        (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLargePage - 1);
    if (!enabled || end <= begin) return 0;
    return madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) == 0 ? kLargePage
                                                                                    : 0;
}

// Linux 5.14 and later; an older system refuses the advice it does not know.
bool PopulatePages(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::uintptr_t kPage = 4096;
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = at & ~(kPage - 1);
    return madvise(reinterpret_cast<void*>(begin), at + bytes - begin, MADV_POPULATE_WRITE) == 0;
#else
    (void)data;
    (void)bytes;
    return false;
#endif
}

}  // namespace gdip
