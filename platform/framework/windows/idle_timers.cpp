// Timers armed with an elapse of 0: due as soon as the thread's queue is
// empty. The system raises such an elapse to its minimum (10 ms, and then
// waits for its tick, about 15.6 ms), so a run of two steps per file would
// spend most of its time asleep. Our loops take what is queued first (input,
// posted messages, painting, the system's timers) and only then hand a due
// zero-elapse timer to its window as the timer message the system would have
// sent: same window, same identifier, same dialog procedure.
//
// A loop that is not ours (the move and size loop while the user drags the
// window, a menu, a message box or another modal dialog owned by ours) knows
// nothing of them: when the window is told that one begins, its zero-elapse
// timers are handed to the system as well, which then delivers them at its
// own pace; whichever comes first runs the handler, and KillTimer takes both.
// They are not armed with the system on every arming: under Wine each
// SetTimer and KillTimer is a call to its server, dearer than a whole step.
#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "framework.h"

namespace afx {
namespace {

struct IdleTimer {
    HWND hwnd;
    UINT_PTR id;
    void* proc;
    bool system;  // also armed with the system
};

// In the order they fell due; a timer that fires and stays armed goes to the
// back, so that two of them take turns. Timers belong to the thread of their
// window, and our windows all live on the one user-interface thread.
std::vector<IdleTimer>& Armed() {
    static std::vector<IdleTimer> timers;
    return timers;
}

// The timers of ours with a real elapse, the system's alone.
std::set<std::pair<HWND, UINT_PTR>>& SystemTimers() {
    static std::set<std::pair<HWND, UINT_PTR>> timers;
    return timers;
}

// Set when a loop that is not ours begins; our loops clear it as they take
// their next message, since that loop has returned by then.
bool g_foreignLoop = false;

void HandToSystem(IdleTimer& t) {
    if (!t.system) t.system = sys::SetTimer(t.hwnd, t.id, 0, t.proc) != 0;
}

// Forgets the timer of the identifier, and kills what the system holds of it.
bool Remove(HWND hwnd, UINT_PTR id) {
    auto& timers = Armed();
    const auto it = std::find_if(timers.begin(), timers.end(),
                                 [&](const IdleTimer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != timers.end()) {
        if (it->system) sys::KillTimer(hwnd, id);
        timers.erase(it);
        return true;
    }
    return SystemTimers().erase({hwnd, id}) != 0 && sys::KillTimer(hwnd, id) != FALSE;
}

}  // namespace

UINT_PTR ArmTimer(HWND hwnd, UINT_PTR id, UINT elapse, void* proc) {
    if (elapse != 0) {
        // Replaces a zero-elapse timer of the identifier, as the system would.
        auto& timers = Armed();
        std::erase_if(timers, [&](const IdleTimer& t) { return t.hwnd == hwnd && t.id == id; });
        const UINT_PTR armed = sys::SetTimer(hwnd, id, elapse, proc);
        if (armed != 0) SystemTimers().insert({hwnd, id});
        return armed;
    }
    // Arming again replaces the timer, and restarts its wait: a zero-elapse
    // one is due after those that were due before it.
    Remove(hwnd, id);
    IdleTimer t{hwnd, id, proc, false};
    // A timer procedure is called by DispatchMessageW only when the system
    // knows it as one of the thread's timers.
    if (g_foreignLoop || proc != nullptr) HandToSystem(t);
    Armed().push_back(t);
    return id != 0 ? id : 1;
}

bool DisarmTimer(HWND hwnd, UINT_PTR id) {
    return Remove(hwnd, id);
}

void ForgetTimers(HWND hwnd) {
    std::erase_if(Armed(), [&](const IdleTimer& t) { return t.hwnd == hwnd; });
    std::erase_if(SystemTimers(), [&](const auto& t) { return t.first == hwnd; });
}

void EnterForeignLoop() {
    g_foreignLoop = true;
    for (IdleTimer& t : Armed()) HandToSystem(t);
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
    g_foreignLoop = false;
    // No yield when nothing is queued: the next step is ready to run, and a
    // yield on a busy machine hands the processor away for a whole slice.
    if (sys::PeekMessageW(&msg, nullptr, 0, 0, sys::PM_REMOVE | sys::PM_NOYIELD))
        return msg.message == sys::WM_QUIT ? Taken::Quit : Taken::Message;
    if (TakeIdleTimer(msg)) return Taken::Message;
    if (!wait) return Taken::Nothing;
    const BOOL got = sys::GetMessageW(&msg, nullptr, 0, 0);
    return got > 0 ? Taken::Message : got == 0 ? Taken::Quit : Taken::Failed;
}

}  // namespace afx
