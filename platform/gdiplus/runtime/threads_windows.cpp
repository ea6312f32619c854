// Threads on Windows: the processors this process may run on (its affinity
// mask), and the helpers, lock and condition of parallel work.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <new>
#include <thread>

#include "parallel.h"

namespace gdip {

// Asked for at every parallel step, several times per save: under Wine each
// query is a call to its server, dearer than the work of a small picture.
// The answer is kept for a second; a change of affinity meanwhile only
// changes how many threads share the work, never its result.
unsigned AllowedCpus() {
    constexpr ULONGLONG kKeepMs = 1000;
    static std::atomic<unsigned> known{0};
    static std::atomic<ULONGLONG> askedAt{0};
    const ULONGLONG now = GetTickCount64();
    const unsigned last = known.load(std::memory_order_relaxed);
    if (last != 0 && now - askedAt.load(std::memory_order_relaxed) < kKeepMs) return last;
    DWORD_PTR process = 0, system = 0;
    const unsigned count =
        GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0
            ? static_cast<unsigned>(std::popcount(static_cast<std::uint64_t>(process)))
            : std::max(1u, std::thread::hardware_concurrency());
    askedAt.store(now, std::memory_order_relaxed);
    known.store(count, std::memory_order_relaxed);
    return count;
}

struct Helper::State {
    std::function<void()> body;
    PTP_WORK work = nullptr;
};

namespace {

VOID CALLBACK RunHelper(PTP_CALLBACK_INSTANCE instance, PVOID context, PTP_WORK) {
    // A helper waits for the call's later steps between its pieces of work:
    // the pool may start another thread for other work meanwhile.
    CallbackMayRunLong(instance);
    static_cast<Helper::State*>(context)->body();
}

}  // namespace

Helper::Helper(std::function<void()> body) : state_(std::make_unique<State>()) {
    state_->body = std::move(body);
    state_->work = CreateThreadpoolWork(RunHelper, state_.get(), nullptr);
    if (state_->work == nullptr) throw std::bad_alloc();
    SubmitThreadpoolWork(state_->work);
}
Helper::~Helper() {
    Join();
}
void Helper::Join() {
    if (state_->work == nullptr) return;
    WaitForThreadpoolWorkCallbacks(state_->work, FALSE);
    CloseThreadpoolWork(state_->work);
    state_->work = nullptr;
}

struct Monitor::State {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
};

Monitor::Monitor() : state_(std::make_unique<State>()) {}
Monitor::~Monitor() = default;
void Monitor::lock() {
    AcquireSRWLockExclusive(&state_->lock);
}
void Monitor::unlock() {
    ReleaseSRWLockExclusive(&state_->lock);
}

void Monitor::Wait() {
    // Without a time limit it fails only for want of memory, which it does
    // not take: a return is a wake-up, real or spurious, as the caller
    // expects.
    SleepConditionVariableSRW(&state_->condition, &state_->lock, INFINITE, 0);
}

void Monitor::WakeAll() {
    WakeAllConditionVariable(&state_->condition);
}

}  // namespace gdip
