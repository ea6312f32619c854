// The processors this process may run on, on a POSIX host: its affinity mask.
#include <sched.h>

#include <algorithm>
#include <thread>

#include "parallel.h"

namespace gdip {

unsigned AllowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace gdip
