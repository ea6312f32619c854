// Window timers, the Enter and Esc keys, the close box and the ends of a
// modal run.
#include <gtest/gtest.h>

#include <QWidget>
#include <functional>
#include <vector>

#include "platform/framework/testing_qt.h"
#include "test_dialog.h"

using namespace afx::testing;

namespace {

class Fixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    // Runs until a repeating sentinel timer has ticked often enough for any
    // zero-elapse timer to have fired several times over.
    void PumpSeveralTicks() {
        dlg.SetTimer(kSentinel, 0, nullptr);
        const int before = dlg.Count("timer", kSentinel);
        ASSERT_TRUE(PumpUntil([&] { return dlg.Count("timer", kSentinel) >= before + 5; }))
            << "waited in vain for five ticks of a 0 ms timer";
        dlg.KillTimer(kSentinel);
    }
    static constexpr UINT_PTR kSentinel = 0x7777;
    TestDialog dlg;
};

using FwTimerTest = Fixture;
using FwKeyboardTest = Fixture;
using FwCloseTest = Fixture;

std::vector<UINT_PTR> g_procTicks;
void RecordTick(HWND, UINT message, UINT_PTR id, DWORD) {
    if (message == WM_TIMER) g_procTicks.push_back(id);
}

}  // namespace

TEST_F(FwTimerTest, AHandlerThatKillsItsTimerGetsExactlyOneTick) {
    dlg.oneShotTimers = {0x10100};
    EXPECT_EQ(dlg.SetTimer(0x10100, 0, nullptr), 0x10100u);
    PumpSeveralTicks();
    EXPECT_EQ(dlg.Count("timer", 0x10100), 1);
    EXPECT_FALSE(dlg.KillTimer(0x10100));  // already gone
}

// A timer repeats until killed; one killed before it fires never fires.
TEST_F(FwTimerTest, ATimerRepeatsUntilKilled) {
    dlg.SetTimer(4, 0, nullptr);
    EXPECT_TRUE(dlg.KillTimer(4));
    dlg.SetTimer(3, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return dlg.Count("timer", 3) >= 3; }))
        << "waited in vain for three ticks of timer 3";
    EXPECT_TRUE(dlg.KillTimer(3));
    const int ticks = dlg.Count("timer", 3);
    PumpSeveralTicks();
    EXPECT_EQ(dlg.Count("timer", 3), ticks);
    EXPECT_EQ(dlg.Count("timer", 4), 0);
}

TEST_F(FwTimerTest, ArmingAnArmedIdentifierReplacesIt) {
    dlg.oneShotTimers = {0x10101};
    const int before = RegisteredTimers(&dlg);
    dlg.SetTimer(0x10101, 3600 * 1000, nullptr);  // an hour: never within the test
    dlg.SetTimer(0x10101, 0, nullptr);
    // One timer for the identifier: a 0 ms one left behind would spin a core.
    EXPECT_EQ(RegisteredTimers(&dlg), before + 1);
    dlg.SetTimer(0x10101, 0, nullptr);
    EXPECT_EQ(RegisteredTimers(&dlg), before + 1);
    ASSERT_TRUE(PumpUntil([&] { return dlg.Count("timer", 0x10101) == 1; }))
        << "waited in vain for the re-armed timer's tick";
    PumpSeveralTicks();
    EXPECT_EQ(dlg.Count("timer", 0x10101), 1);
}

TEST_F(FwTimerTest, ATimerProcIsCalledInsteadOfTheMessage) {
    g_procTicks.clear();
    dlg.SetTimer(6, 0, &RecordTick);
    ASSERT_TRUE(PumpUntil([] { return !g_procTicks.empty(); }))
        << "waited in vain for the timer procedure";
    dlg.KillTimer(6);
    EXPECT_EQ(g_procTicks.front(), 6u);
    EXPECT_EQ(dlg.Count("timer", 6), 0);
}

TEST_F(FwKeyboardTest, EnterIsOkExceptOnAPushButtonWhichItClicks) {
    struct Case {
        int focus;
        Event expected;
    } cases[] = {
        {IDC_SOURCE_PATH, {"ok"}},         {IDC_INCLUDE_SUBFOLDERS, {"ok"}},
        {IDC_POLICY_PREFIX, {"ok"}},       {IDC_BROWSE_SOURCE, {"click", IDC_BROWSE_SOURCE}},
        {IDC_START, {"click", IDC_START}},
    };
    for (const Case& c : cases) {
        dlg.GetDlgItem(c.focus)->SetFocus();
        ASSERT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(c.focus));
        PressEnter(&dlg);
        EXPECT_EQ(dlg.Take(), std::vector<Event>{c.expected}) << c.focus;
    }
    EXPECT_TRUE(dlg.IsWindowVisible());  // OnOK is overridden: nothing closes
}

TEST_F(FwKeyboardTest, EscapeIsCancelWhereverTheFocusIs) {
    for (int focus : {IDC_SOURCE_PATH, IDC_START, IDC_FORMAT_GIF}) {
        dlg.GetDlgItem(focus)->SetFocus();
        PressEscape(&dlg);
        EXPECT_EQ(dlg.Take(), std::vector<Event>{{"cancel"}}) << focus;
    }
    EXPECT_TRUE(dlg.IsWindowVisible());
}

TEST_F(FwCloseTest, TheCloseBoxReachesOnCloseAndOnlyTheProgramDestroys) {
    RequestClose(&dlg);
    EXPECT_EQ(dlg.Take(), std::vector<Event>{{"close"}});
    EXPECT_TRUE(dlg.IsWindowVisible());

    dlg.destroyOnClose = true;
    dlg.SetTimer(9, 0, nullptr);
    RequestClose(&dlg);
    EXPECT_EQ(dlg.Take(), std::vector<Event>{{"close"}});
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    PumpOnce();
    PumpOnce();
    EXPECT_TRUE(dlg.events.empty());  // the timer died with the window
}

TEST_F(FwCloseTest, WmQueryDragIconReachesItsHandler) {
    static int token;
    dlg.dragIcon = reinterpret_cast<HICON>(&token);
    EXPECT_EQ(dlg.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(&token));
}

// --- Modal runs with the framework's own OK, cancel and close handling ------

namespace {

class ScriptedDialog : public CDialog {
public:
    explicit ScriptedDialog(std::function<void(ScriptedDialog&)> script)
        : CDialog(IDD_MAIN_DIALOG), m_script(std::move(script)) {}
    void OnTimer(UINT_PTR nIDEvent) {
        KillTimer(nIDEvent);
        m_script(*this);
    }

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(1, 0, nullptr);  // the script runs inside the modal loop
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()

private:
    std::function<void(ScriptedDialog&)> m_script;
};

BEGIN_MESSAGE_MAP(ScriptedDialog, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

}  // namespace

TEST(FwModalTest, TheDefaultsEndTheRunWithTheirResults) {
    struct Case {
        const char* name;
        std::function<void(ScriptedDialog&)> script;
        INT_PTR expected;
    } cases[] = {
        {"enter", [](ScriptedDialog& d) { PressEnter(&d); }, IDOK},
        {"escape", [](ScriptedDialog& d) { PressEscape(&d); }, IDCANCEL},
        {"close box", [](ScriptedDialog& d) { RequestClose(&d); }, IDCANCEL},
        {"end dialog", [](ScriptedDialog& d) { d.EndDialog(42); }, 42},
        {"destroy", [](ScriptedDialog& d) { d.DestroyWindow(); }, -1},
    };
    for (const Case& c : cases) {
        ScriptedDialog dlg(c.script);
        EXPECT_EQ(dlg.DoModal(), c.expected) << c.name;
        EXPECT_EQ(dlg.GetSafeHwnd(), nullptr) << c.name;
    }
}

TEST(FwModalTest, AMissingTemplateFailsAtOnce) {
    class Missing : public CDialog {
    public:
        Missing() : CDialog(4242) {}
    } dlg;
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_FALSE(dlg.Create());
}
