// How many bytes of decoded pixels one image may take, on Windows: the same
// rule as on a POSIX host, with the machine's memory asked of Windows.
#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace gdip {

// Declared in codec.h, whose Windows-like types would clash with <windows.h>.
std::uint64_t PixelBudgetBytes();

namespace {

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0)
        return 4 * kGiB;  // unknown: assume a small machine
    return status.ullTotalPhys;
}

}  // namespace

// A quarter of the memory (at most 1 GiB) for the pixels: a decoder's working
// copy of the same size then still leaves half of the machine to everyone else.
std::uint64_t PixelBudgetBytes() {
    static const std::uint64_t budget = std::min(kGiB, PhysicalMemoryBytes() / 4);
    return budget;
}

}  // namespace gdip
