#include "parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

namespace gdip {

namespace {

constexpr unsigned kMostThreads = 16;

}  // namespace

unsigned WorkerCount() {
    unsigned count = std::min(AllowedCpus(), kMostThreads);
    if (const char* limit = std::getenv("OMP_NUM_THREADS"); limit != nullptr) {
        const long n = std::strtol(limit, nullptr, 10);
        if (n >= 1) count = std::min(count, static_cast<unsigned>(std::min(n, 1024L)));
    }
    return count;
}

void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) task(i);
    };
    const std::size_t threads = std::min<std::size_t>(WorkerCount(), count);
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(threads > 0 ? threads - 1 : 0);
        while (helpers.size() + 1 < threads) helpers.emplace_back(work);
    } catch (...) {
        // Fewer helpers (or none): the tasks left are taken by whoever runs.
    }
    work();
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace gdip
