// Threads on a POSIX host: the processors this process may run on (its
// affinity mask), and the helpers, lock and condition of parallel work.
#include <sched.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "parallel.h"

namespace gdip {

unsigned AllowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

struct Helper::State {
    std::thread thread;
};

Helper::Helper(std::function<void()> body) : state_(std::make_unique<State>()) {
    state_->thread = std::thread(std::move(body));
}
Helper::~Helper() {
    Join();
}
void Helper::Join() {
    if (state_->thread.joinable()) state_->thread.join();
}

struct Monitor::State {
    std::mutex mutex;
    std::condition_variable condition;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}
Monitor::~Monitor() = default;
void Monitor::lock() {
    state_->mutex.lock();
}
void Monitor::unlock() {
    state_->mutex.unlock();
}

void Monitor::Wait() {
    std::unique_lock<std::mutex> held(state_->mutex, std::adopt_lock);
    state_->condition.wait(held);
    held.release();  // still held, by the caller
}

void Monitor::WakeAll() {
    state_->condition.notify_all();
}

}  // namespace gdip
