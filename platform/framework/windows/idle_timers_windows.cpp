// Timers armed with an elapse of 0: due as soon as the thread's queue is
// empty. The system raises such an elapse to its minimum (10 ms, and then
// waits for its tick, about 15.6 ms), so a run of two steps per file would
// spend most of its time asleep. Our loops take what is queued first (input,
// posted messages, painting, the system's timers) and only then hand a due
// zero-elapse timer to its window as the timer message the system would have
// sent: same window, same identifier, same dialog procedure.
//
// Each such timer is also armed with the system, so that a loop that is not
// ours (a message box, the move and size loop while the user drags the
// window) still delivers it, at the system's pace; whichever comes first
// runs the handler, and KillTimer takes both.
#include <algorithm>
#include <vector>

#include "framework_windows.h"

namespace afx {
namespace {

struct IdleTimer {
    HWND hwnd;
    UINT_PTR id;
    void* proc;
};

// In the order they fell due; a timer that fires and stays armed goes to the
// back, so that two of them take turns. Timers belong to the thread of their
// window, and our windows all live on the one user-interface thread.
std::vector<IdleTimer>& Armed() {
    static std::vector<IdleTimer> timers;
    return timers;
}

void Remove(HWND hwnd, UINT_PTR id, bool* found) {
    auto& timers = Armed();
    const auto it = std::find_if(timers.begin(), timers.end(),
                                 [&](const IdleTimer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end()) return;
    timers.erase(it);
    if (found) *found = true;
}

}  // namespace

UINT_PTR ArmTimer(HWND hwnd, UINT_PTR id, UINT elapse, void* proc) {
    const UINT_PTR armed = sys::SetTimer(hwnd, id, elapse, proc);
    // Arming again replaces the timer, and restarts its wait: a zero-elapse
    // one is due after those that were due before it.
    Remove(hwnd, id, nullptr);
    if (armed != 0 && elapse == 0) Armed().push_back({hwnd, id, proc});
    return armed;
}

bool DisarmTimer(HWND hwnd, UINT_PTR id) {
    bool found = false;
    Remove(hwnd, id, &found);
    return sys::KillTimer(hwnd, id) != FALSE || found;
}

void ForgetTimers(HWND hwnd) {
    auto& timers = Armed();
    std::erase_if(timers, [&](const IdleTimer& t) { return t.hwnd == hwnd; });
}

bool IdleTimerDue() {
    return !Armed().empty();
}

bool TakeIdleTimer(sys::MSG& msg) {
    auto& timers = Armed();
    if (timers.empty()) return false;
    const IdleTimer t = timers.front();
    timers.erase(timers.begin());
    timers.push_back(t);  // armed until its handler kills it
    msg =
        sys::MSG{t.hwnd,      WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), sys::GetTickCount(),
                 POINT{0, 0}, 0};
    return true;
}

Taken TakeMessage(sys::MSG& msg, bool wait) {
    if (sys::PeekMessageW(&msg, nullptr, 0, 0, sys::PM_REMOVE))
        return msg.message == sys::WM_QUIT ? Taken::Quit : Taken::Message;
    if (TakeIdleTimer(msg)) return Taken::Message;
    if (!wait) return Taken::Nothing;
    const BOOL got = sys::GetMessageW(&msg, nullptr, 0, 0);
    return got > 0 ? Taken::Message : got == 0 ? Taken::Quit : Taken::Failed;
}

}  // namespace afx
