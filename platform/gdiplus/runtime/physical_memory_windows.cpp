// The machine's memory on Windows, as the system reports it.
#include <windows.h>

#include "physical_memory.h"

namespace gdip {

std::uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status) || status.ullTotalPhys == 0)
        return 4 * kGiB;  // unknown: assume a small machine
    return status.ullTotalPhys;
}

}  // namespace gdip
