// Work inside one image's encoding spread over the processor's cores. The
// work lives only for one call: every helper has returned and been joined
// before the call returns, so a save leaves nothing of ours running behind
// it. Within a WorkerScope (one call of the flat API) the parallel steps
// share the helpers that the first of them started.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace gdip {

// Threads that one call may use: the processors this process may run on, at
// most OMP_NUM_THREADS when that is set (the usual way to ask a program for
// one thread), and never more than kMostWorkers.
constexpr unsigned kMostWorkers = 16;
unsigned WorkerCount();

// For tests: every later call uses `count` threads (at most kMostWorkers),
// whatever the processors and OMP_NUM_THREADS say, so that a machine with
// few cores still shows what more threads would write; 0 ends that.
void SetWorkersForTesting(unsigned count);

// The processors this process may run on, at least 1 (the system's own
// count: threads_posix.cpp, threads_windows.cpp).
unsigned AllowedCpus();

// A lock and one condition to wait on, from the system's own primitives
// (threads_posix.cpp, threads_windows.cpp). On Windows they are a slim
// reader/writer lock and a condition variable, which wait in the process
// itself; the C++ library's mutex and condition there are built on kernel
// events and semaphores, every wait and wake-up a system call, and a call
// to Wine's server under Wine.
class Monitor {
public:
    Monitor();
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;
    void lock();
    void unlock();
    // With the lock held: lets it go until WakeAll (or for no reason, as
    // any condition may), and holds it again on return.
    void Wait();
    void WakeAll();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Runs `body` once beside the calling thread; Join (or the destructor)
// returns once it has returned (threads_posix.cpp, threads_windows.cpp).
// The constructor throws when no helper can start. On a POSIX host it is a
// thread of its own. On Windows it is a work item of the process's thread
// pool, whose threads stay, idle, for the next call: starting a thread for
// every call costs a dozen calls to the server under Wine (1-3 ms each), and
// the pool is how Windows programs avoid that cost. Join returns only when
// the body has returned into the pool, so no code of the module runs on the
// pool's threads after it.
class Helper {
public:
    explicit Helper(std::function<void()> body);
    ~Helper();
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    void Join();
    struct State;

private:
    std::unique_ptr<State> state_;
};

// While it lives, the parallel steps that the constructing thread runs hand
// their work to the same threads, started by the first of them, instead of
// starting and joining helpers of their own; they are joined when it ends.
// A save takes up to four steps, and each helper started is a thread's
// start on Linux and a round trip through the thread pool on Windows.
// Scopes do not nest: an inner one leaves the outer one in charge.
class WorkerScope {
public:
    WorkerScope();
    ~WorkerScope();
    WorkerScope(const WorkerScope&) = delete;
    WorkerScope& operator=(const WorkerScope&) = delete;
    struct Crew;

private:
    std::unique_ptr<Crew> crew_;
};

// Runs task(i) for every i in [0, count), on up to WorkerCount() threads of
// which the calling thread is one, and returns when all have run. Indices
// are handed out in increasing order, each to the next thread free, so a
// task may wait for an earlier one. Tasks must not throw. When no thread can
// be started the calling thread does it all, in order.
void ParallelFor(std::size_t count, const std::function<void(std::size_t)>& task);

// Runs task(member, team) once on each of `team` threads at once, the
// calling thread (member 0) one of them, and returns when all have returned:
// team is at most `most` and WorkerCount(), and 1 when no helper can start.
// Every member runs at the same time as the others, so members may wait for
// each other (not for a member beyond the team). Tasks must not throw.
void ParallelTeam(std::size_t most, const std::function<void(unsigned, unsigned)>& task);

// Makes items side by side and takes them in order: make(i, worker) runs for
// every i in [0, count) on up to WorkerCount() threads, and take(i) runs for
// each i in turn, as soon as make(i) and every take before it have finished,
// on whichever of the threads is free, never two at once. A writer thus
// writes (takes) while the other threads still compress (make), instead of
// after them. At most `ahead` items are made beyond the oldest one not yet
// taken, which bounds the memory they hold. `worker` is below kMostWorkers
// and tells the threads apart, so that each can keep tools of its own. Once
// a take returns false nothing more is made or taken, and the call returns
// false. Neither function may throw.
bool ParallelInOrder(std::size_t count, std::size_t ahead,
                     const std::function<void(std::size_t, unsigned)>& make,
                     const std::function<bool(std::size_t)>& take);

}  // namespace gdip
