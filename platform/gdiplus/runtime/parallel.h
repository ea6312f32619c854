// Work inside one image's encoding spread over the processor's cores. The
// threads live only for one call: every one has finished and been joined
// before the call returns, so a save leaves nothing running behind it.
#pragma once

#include <cstddef>
#include <functional>

namespace gdip {

// Threads that one call may use: the processors this process may run on, at
// most OMP_NUM_THREADS when that is set (the usual way to ask a program for
// one thread), and never more than 16.
unsigned WorkerCount();

// The processors this process may run on, at least 1 (the system's own
// count: allowed_cpus_posix.cpp, allowed_cpus_windows.cpp).
unsigned AllowedCpus();

// Runs task(i) for every i in [0, count), on up to WorkerCount() threads of
// which the calling thread is one, and returns when all have run. Tasks must
// not throw. When no thread can be started the calling thread does it all.
void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& task);

}  // namespace gdip
