// The real window driven by the keyboard alone, as the dialog manager drives
// it: the Tab order, Space, the arrow keys in the policy group, Enter and Esc.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/framework/testing.h"
#include "platform/win32/shell.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;
using afx::testing::Key;
using Ids = std::vector<int>;

Ids Join(std::initializer_list<Ids> parts) {
    Ids all;
    for (const Ids& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The focus after each Tab (or Shift+Tab) until it comes back to where it began.
Ids TabWalk(DialogSession& s, Key key) {
    const int start = s.FocusId();
    Ids walk{start};
    for (int i = 0; i < 40; ++i) {
        afx::testing::PressKey(&s.Dlg(), key);
        if (s.FocusId() == start) break;
        walk.push_back(s.FocusId());
    }
    return walk;
}

// Tab stops in template order; disabled controls are skipped; a radio group
// is entered at its checked radio; the walk goes round.
TEST(Keyboard, TabWalksTheTemplateOrderAndEntersTheGroupAtItsCheckedRadio) {
    ScopedHome home(true);
    DialogSession s;
    ASSERT_EQ(s.FocusId(), IDC_SOURCE_PATH);
    // C:\ORV_Save\ does not exist: its Open button is skipped; so is Stop.
    const Ids sourceRow = {IDC_SOURCE_PATH, IDC_BROWSE_SOURCE, IDC_OPEN_SOURCE,
                           IDC_INCLUDE_SUBFOLDERS, IDC_SELECT_ALL};
    const Ids atStart =
        Join({sourceRow,
              FormatBoxes(),
              {IDC_SAVE_PATH, IDC_BROWSE_SAVE, IDC_POLICY_PREFIX, IDC_PREFIX, IDC_START}});
    EXPECT_EQ(TabWalk(s, Key::Tab), atStart);
    Ids back(atStart.rbegin(), atStart.rend() - 1);
    back.insert(back.begin(), IDC_SOURCE_PATH);
    EXPECT_EQ(TabWalk(s, Key::Backtab), back);

    std::filesystem::create_directories(home.Path() / "ORV_Save");
    s.Type(IDC_SAVE_PATH, u"C:\\ORV_Save\\");
    s.Click(IDC_POLICY_SUFFIX);
    s.Item(IDC_SAVE_PATH)->SetFocus();
    EXPECT_EQ(TabWalk(s, Key::Tab), Join({{IDC_SAVE_PATH, IDC_BROWSE_SAVE, IDC_OPEN_SAVE,
                                           IDC_POLICY_SUFFIX, IDC_SUFFIX, IDC_START},
                                          sourceRow,
                                          FormatBoxes()}));
}

// As the dialog manager opens the window: the source path has the focus with
// its whole text selected, so that typing a path replaces the one shown.
TEST(Keyboard, TypingAtStartReplacesTheSourcePath) {
    ScopedHome home(true);
    DialogSession s;
    ASSERT_EQ(s.FocusId(), IDC_SOURCE_PATH);
    ASSERT_FALSE(s.Text(IDC_SOURCE_PATH).empty());
    afx::testing::TypeKeys(&s.Dlg(), u"D:\\photos");
    EXPECT_EQ(s.Text(IDC_SOURCE_PATH), u"D:\\photos");
}

struct ArrowStep {
    int focus;  // where the focus is put first; 0 = where the last step left it
    Key key;
    int focusAfter;
    int checkedAfter;
};

// The arrow keys move to the next or previous enabled control of the group,
// round its ends; a radio reached so is checked and the program hears the
// click (the affix edits follow it). An edit keeps the arrows.
TEST(Keyboard, ArrowKeysMoveThroughThePolicyGroupAndCheckTheRadioReached) {
    ScopedHome home(true);
    DialogSession s;
    const ArrowStep steps[] = {
        {IDC_POLICY_PREFIX, Key::Down, IDC_PREFIX, IDC_POLICY_PREFIX},
        {0, Key::Down, IDC_PREFIX, IDC_POLICY_PREFIX},
        {IDC_POLICY_PREFIX, Key::Up, IDC_POLICY_OVERWRITE, IDC_POLICY_OVERWRITE},
        {0, Key::Left, IDC_POLICY_SUFFIX, IDC_POLICY_SUFFIX},
        {0, Key::Right, IDC_SUFFIX, IDC_POLICY_SUFFIX},
        {IDC_POLICY_SUFFIX, Key::Up, IDC_POLICY_PREFIX, IDC_POLICY_PREFIX},
        {IDC_POLICY_OVERWRITE, Key::Down, IDC_POLICY_PREFIX, IDC_POLICY_PREFIX},
    };
    for (const ArrowStep& step : steps) {
        SCOPED_TRACE(step.focusAfter);
        if (step.focus != 0) s.Item(step.focus)->SetFocus();
        afx::testing::PressKey(&s.Dlg(), step.key);
        EXPECT_EQ(s.FocusId(), step.focusAfter);
        for (int radio : {IDC_POLICY_PREFIX, IDC_POLICY_SUFFIX, IDC_POLICY_OVERWRITE})
            EXPECT_EQ(s.Check(radio) == BST_CHECKED, radio == step.checkedAfter) << radio;
        EXPECT_EQ(s.Enabled(IDC_PREFIX), step.checkedAfter == IDC_POLICY_PREFIX);
        EXPECT_EQ(s.Enabled(IDC_SUFFIX), step.checkedAfter == IDC_POLICY_SUFFIX);
    }
    // Among the check boxes the arrows only move the focus.
    const int first = FormatBoxes()[0], second = FormatBoxes()[1];
    const UINT firstTicks = s.Check(first), secondTicks = s.Check(second);
    s.Item(first)->SetFocus();
    afx::testing::PressKey(&s.Dlg(), Key::Right);
    EXPECT_EQ(s.FocusId(), second);
    EXPECT_EQ(s.Check(first), firstTicks);
    EXPECT_EQ(s.Check(second), secondTicks);
}

TEST(Keyboard, SpaceEnterAndEscapeOnTheRealWindow) {
    ScopedHome home(true);
    TempDir src, dst;
    src.Write("a.bmp", MakeBmp(4, 4));
    std::vector<std::u16string> explored;
    win32::SetShellExecuteForTesting(
        [&](std::u16string, std::u16string file) { explored.push_back(file); });
    DialogSession s;
    s.Type(IDC_SOURCE_PATH, src.WinPath());
    s.Type(IDC_SAVE_PATH, dst.WinPath());

    // Space on select-all ticks it, and its click ticks every format.
    s.Item(IDC_SELECT_ALL)->SetFocus();
    afx::testing::PressKey(&s.Dlg(), Key::Space);
    for (int box : FormatBoxes()) EXPECT_EQ(s.Check(box), BST_CHECKED) << box;
    afx::testing::PressKey(&s.Dlg(), Key::Space);
    for (int box : FormatBoxes()) EXPECT_EQ(s.Check(box), BST_UNCHECKED) << box;
    s.Click(IDC_FORMAT_TIFF);

    // Enter on a focused push button clicks that button, not Start.
    s.Item(IDC_OPEN_SOURCE)->SetFocus();
    afx::testing::PressEnter(&s.Dlg());
    EXPECT_EQ(explored, std::vector<std::u16string>{src.WinPath()});
    EXPECT_EQ(s.State(), RunState::Idle);

    // Enter elsewhere is Start; Esc is Stop and never closes the window.
    s.Item(IDC_FORMAT_TIFF)->SetFocus();
    afx::testing::PressEnter(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Running);
    afx::testing::PressEscape(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Idle);
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作已停止");
    EXPECT_TRUE(s.WindowAlive());
    EXPECT_TRUE(std::filesystem::exists(dst.Path() / "a.TIF"));  // the armed save ran
    win32::SetShellExecuteForTesting({});
}

}  // namespace
