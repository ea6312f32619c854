// The processors this process may run on, on Windows: its affinity mask.
#include <windows.h>

#include <algorithm>
#include <bit>
#include <thread>

#include "parallel.h"

namespace gdip {

unsigned AllowedCpus() {
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace gdip
