// ParallelFor and ParallelInOrder: helpers that live for one call only.
#include "parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>  // std::unique_lock
#include <new>
#include <optional>
#include <vector>

namespace gdip {

namespace {

std::atomic<unsigned> workersForTesting{0};

// A step's work: run once by every thread of the step, told its place
// among them and how many they are.
using Work = std::function<void(unsigned, unsigned)>;

}  // namespace

// The helpers of one WorkerScope (or of one step without a scope): started
// by the first step that needs them, each waits for the next step's work,
// and all are joined at End.
struct WorkerScope::Crew {
    Monitor monitor;
    std::vector<std::unique_ptr<Helper>> helpers;
    const Work* work = nullptr;
    std::uint64_t step = 0;   // counts the steps handed out
    std::size_t takers = 0;   // threads of the current step, the caller's included
    std::size_t running = 0;  // helpers still in the current step
    bool busy = false, ending = false;

    // `seen`: the last step handed out before this helper started.
    void Serve(unsigned index, std::uint64_t seen) {
        std::unique_lock<Monitor> hold(monitor);
        for (;;) {
            while (!ending && step == seen) monitor.Wait();
            if (ending) return;
            seen = step;
            if (index >= takers) continue;  // a step with fewer threads
            const Work& mine = *work;
            const auto team = static_cast<unsigned>(takers);
            hold.unlock();
            mine(index, team);
            hold.lock();
            if (--running == 0) monitor.WakeAll();
        }
    }

    void Run(std::size_t threads, const Work& job) {
        {
            std::lock_guard<Monitor> hold(monitor);
            busy = true;
        }
        try {
            // Room first: a helper started could not be dropped without
            // ending the crew.
            helpers.reserve(threads - 1);
            while (helpers.size() + 1 < threads) {
                const auto index = static_cast<unsigned>(helpers.size() + 1);
                auto helper =
                    std::make_unique<Helper>([this, index, seen = step] { Serve(index, seen); });
                helpers.push_back(std::move(helper));
            }
        } catch (...) {
            // Fewer helpers: the work left is taken by whoever runs.
        }
        {
            std::lock_guard<Monitor> hold(monitor);
            work = &job;
            takers = std::min(threads, helpers.size() + 1);
            running = takers - 1;
            ++step;
        }
        monitor.WakeAll();
        job(0u, static_cast<unsigned>(takers));
        std::unique_lock<Monitor> hold(monitor);
        while (running > 0) monitor.Wait();
        work = nullptr;
        busy = false;
    }

    // Lets every helper go and joins it.
    void End() {
        {
            std::lock_guard<Monitor> hold(monitor);
            ending = true;
        }
        monitor.WakeAll();
        for (const std::unique_ptr<Helper>& helper : helpers) helper->Join();
    }
};

namespace {

// The scope of the calling thread, if it has one.
thread_local WorkerScope::Crew* t_crew = nullptr;

void RunOnThreads(std::size_t threads, const Work& work) {
    if (threads < 2) {
        work(0u, 1u);
        return;
    }
    // Without a scope, and for a step inside a step (a task that splits its
    // own work), the step's threads are its own.
    WorkerScope::Crew* const crew = t_crew;
    if (crew != nullptr && !crew->busy) {
        crew->Run(threads, work);
        return;
    }
    std::optional<WorkerScope::Crew> own;
    try {
        own.emplace();
    } catch (const std::bad_alloc&) {
        work(0u, 1u);  // no helpers: the calling thread does it all
        return;
    }
    own->Run(threads, work);
    own->End();
}

}  // namespace

WorkerScope::WorkerScope() {
    if (t_crew == nullptr) {
        crew_ = std::make_unique<Crew>();
        t_crew = crew_.get();
    }
}

WorkerScope::~WorkerScope() {
    if (!crew_) return;
    t_crew = nullptr;
    crew_->End();
}

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
    const auto work = [&](unsigned, unsigned) {
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) task(i);
    };
    RunOnThreads(std::min<std::size_t>(WorkerCount(), count), work);
}

void ParallelTeam(std::size_t most, const std::function<void(unsigned, unsigned)>& task) {
    RunOnThreads(std::min<std::size_t>(WorkerCount(), std::max<std::size_t>(most, 1)), task);
}

bool ParallelInOrder(std::size_t count, std::size_t ahead,
                     const std::function<void(std::size_t, unsigned)>& make,
                     const std::function<bool(std::size_t)>& take) {
    Monitor changed;
    std::vector<bool> made(count, false);
    std::size_t nextMade = 0, nextTaken = 0;
    bool taking = false, stopped = false;
    ahead = std::max<std::size_t>(ahead, 1);
    const auto work = [&](unsigned worker, unsigned) {
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
