// ParallelFor and ParallelInOrder: threads that live for one call only.
#include "parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>  // std::unique_lock
#include <thread>
#include <vector>

namespace gdip {

namespace {

std::atomic<unsigned> workersForTesting{0};

// Starts up to threads - 1 helpers running work(1), work(2), ..., runs
// work(0) itself and joins them. When no helper can be started the calling
// thread does all the work.
template <typename Work>
void RunOnThreads(std::size_t threads, const Work& work) {
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(threads > 0 ? threads - 1 : 0);
        while (helpers.size() + 1 < threads)
            helpers.emplace_back(work, static_cast<unsigned>(helpers.size() + 1));
    } catch (...) {
        // Fewer helpers (or none): the work left is taken by whoever runs.
    }
    work(0u);
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace

void SetWorkersForTesting(unsigned count) {
    workersForTesting = std::min(count, kMostWorkers);
}

unsigned WorkerCount() {
    if (const unsigned forced = workersForTesting; forced != 0) return forced;
    unsigned count = std::min(AllowedCpus(), kMostWorkers);
    if (const char* limit = std::getenv("OMP_NUM_THREADS"); limit != nullptr) {
        const long n = std::strtol(limit, nullptr, 10);
        if (n >= 1) count = std::min(count, static_cast<unsigned>(std::min(n, 1024L)));
    }
    return count;
}

void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& task) {
    std::atomic<std::size_t> next{0};
    const auto work = [&](unsigned) {
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) task(i);
    };
    RunOnThreads(std::min<std::size_t>(WorkerCount(), count), work);
}

bool ParallelInOrder(std::size_t count, std::size_t ahead,
                     const std::function<void(std::size_t, unsigned)>& make,
                     const std::function<bool(std::size_t)>& take) {
    Monitor changed;
    std::vector<bool> made(count, false);
    std::size_t nextMade = 0, nextTaken = 0;
    bool taking = false, stopped = false;
    ahead = std::max<std::size_t>(ahead, 1);
    const auto work = [&](unsigned worker) {
        std::unique_lock<Monitor> hold(changed);
        while (!stopped && nextTaken < count) {
            // Taking first keeps the order flowing and the held items few.
            if (!taking && made[nextTaken]) {
                taking = true;
                const std::size_t i = nextTaken;
                hold.unlock();
                const bool ok = take(i);
                hold.lock();
                taking = false;
                ++nextTaken;
                stopped = stopped || !ok;
            } else if (nextMade < count && nextMade - nextTaken < ahead) {
                const std::size_t i = nextMade++;
                hold.unlock();
                make(i, worker);
                hold.lock();
                made[i] = true;
            } else {
                changed.Wait();
                continue;
            }
            changed.WakeAll();
        }
    };
    RunOnThreads(std::min<std::size_t>(WorkerCount(), count), work);
    return !stopped;
}

}  // namespace gdip
