// Zero-elapse timers on Windows: handed to their window once nothing is
// queued, after whatever is, without the system's 10 ms floor; armed until
// killed; any other elapse left to the system.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

#include "platform/framework/testing.h"
#include "platform/win32/windows/system_api.h"
#include "tests/platform/framework/test_dialog.h"

namespace {

using afx::testing::PumpOnce;
using afx::testing::PumpUntil;

class IdleTimers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    // Enough turns of the loop for a zero-elapse timer to fire many times.
    void PumpTurns(int turns = 50) {
        for (int i = 0; i < turns; ++i) PumpOnce();
    }
    TestDialog dlg;
};

// Posted as a click on Start would be, from the queue's point of view.
void PostCommand(CDialog& dlg, int id) {
    sys::PostMessageW(dlg.GetSafeHwnd(), WM_COMMAND, static_cast<WPARAM>(id),
                      reinterpret_cast<LPARAM>(dlg.GetDlgItem(id)->GetSafeHwnd()));
}

TEST_F(IdleTimers, WhatIsQueuedComesFirstThenEachArmingFiresOnceIfItsHandlerKillsIt) {
    dlg.oneShotTimers = {0x10100};
    EXPECT_NE(dlg.SetTimer(0x10100, 0, nullptr), 0u);
    PostCommand(dlg, IDC_START);
    PostCommand(dlg, IDC_STOP);
    PumpOnce();
    EXPECT_EQ(dlg.Take(),
              (std::vector<Event>{{"click", IDC_START}, {"click", IDC_STOP}, {"timer", 0x10100}}));
    PumpTurns();
    EXPECT_TRUE(dlg.Take().empty());
    EXPECT_FALSE(dlg.KillTimer(0x10100));  // gone
}

TEST_F(IdleTimers, OneThatStaysArmedFiresAtEveryTurnUntilKilled) {
    dlg.SetTimer(3, 0, nullptr);
    dlg.SetTimer(4, 0, nullptr);
    PumpTurns(6);
    EXPECT_EQ(
        dlg.Take(),
        (std::vector<Event>{
            {"timer", 3}, {"timer", 4}, {"timer", 3}, {"timer", 4}, {"timer", 3}, {"timer", 4}}));
    EXPECT_TRUE(dlg.KillTimer(3));
    EXPECT_TRUE(dlg.KillTimer(4));
    PumpTurns();
    EXPECT_TRUE(dlg.Take().empty());
}

TEST_F(IdleTimers, KilledOrReArmedWithARealElapseItIsNotHandedOut) {
    dlg.SetTimer(5, 0, nullptr);
    EXPECT_TRUE(dlg.KillTimer(5));
    dlg.SetTimer(6, 0, nullptr);
    dlg.SetTimer(6, 3600 * 1000, nullptr);  // an hour: never within the test
    PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(dlg.Take().empty());
    EXPECT_TRUE(dlg.KillTimer(6));
}

// A loop of the system's (here as the move and size loop runs one:
// PeekMessage and DispatchMessage, nothing of ours) still delivers a
// zero-elapse timer once the window has been told that the loop begins.
TEST_F(IdleTimers, ALoopThatIsNotOursDeliversThemOnceTheWindowIsToldItBegins) {
    dlg.oneShotTimers = {9};
    dlg.SetTimer(9, 0, nullptr);
    sys::SendMessageW(dlg.GetSafeHwnd(), sys::WM_ENTERSIZEMOVE, 0, 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    sys::MSG msg{};
    while (dlg.Count("timer", 9) == 0 && std::chrono::steady_clock::now() < end) {
        if (sys::PeekMessageW(&msg, nullptr, 0, 0, sys::PM_REMOVE))
            sys::DispatchMessageW(&msg);
        else
            sys::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, sys::QS_ALLINPUT);
    }
    EXPECT_EQ(dlg.Count("timer", 9), 1);
    PumpTurns();
    EXPECT_EQ(dlg.Count("timer", 9), 1);  // killed by its handler: both are gone
}

std::vector<UINT_PTR> g_procTicks;
void RecordTick(HWND, UINT message, UINT_PTR id, DWORD) {
    if (message == WM_TIMER) g_procTicks.push_back(id);
}

TEST_F(IdleTimers, ATimerProcedureIsCalledInsteadOfTheHandler) {
    g_procTicks.clear();
    dlg.SetTimer(7, 0, &RecordTick);
    PumpOnce();
    dlg.KillTimer(7);
    // Once at least (the procedure leaves it armed, and the system, which
    // must know a procedure to call it, may tick too), always with its
    // identifier.
    ASSERT_FALSE(g_procTicks.empty());
    for (UINT_PTR id : g_procTicks) EXPECT_EQ(id, 7u);
    EXPECT_EQ(dlg.Count("timer", 7), 0);
}

TEST_F(IdleTimers, TheyDieWithTheWindow) {
    dlg.SetTimer(8, 0, nullptr);
    dlg.DestroyWindow();
    PumpTurns();
    EXPECT_TRUE(dlg.events.empty());
}

// The modal loop itself: a chain of 2,000 zero-elapse steps, each arming the
// next, with a command posted halfway, as a click lands during a run: the
// command is handled before the next step.
class Chain : public CDialog {
public:
    Chain() : CDialog(IDD_MAIN_DIALOG) {}
    std::vector<int> order;  // step numbers, -1 for the command
    int steps = 0;
    void OnTimer(UINT_PTR id) {
        KillTimer(id);
        order.push_back(++steps);
        if (steps == 1000) PostCommand(*this, IDC_STOP);
        if (steps == 2000)
            EndDialog(IDOK);
        else
            SetTimer(0x10100, 0, nullptr);
    }
    void OnStop() { order.push_back(-1); }

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(0x10100, 0, nullptr);
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Chain, CDialog)
ON_WM_TIMER()
ON_BN_CLICKED(IDC_STOP, OnStop)
END_MESSAGE_MAP()

TEST(IdleTimersModal, TheModalLoopRunsTheChainAndTakesAPostedCommandBetweenTwoSteps) {
    Chain dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(dlg.order.size(), 2001u);
    EXPECT_EQ(dlg.order[999], 1000);
    EXPECT_EQ(dlg.order[1000], -1);
    EXPECT_EQ(dlg.order[1001], 1001);
}

}  // namespace
