// Building template 102 and driving its controls: geometry, bindings,
// notifications, check states, radio groups, progress bar.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

#include "platform/framework/testing_qt.h"
#include "test_dialog.h"
#include "tests/support/dialog_session.h"

using namespace afx::testing;

namespace {

class FwDialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    CWnd* Item(int id) {
        CWnd* item = dlg.GetDlgItem(id);
        EXPECT_NE(item, nullptr) << id;
        return item;
    }
    std::u16string Text(int id) {
        std::u16string s;
        dlg.GetDlgItemTextW(id, s);
        return s;
    }
    TestDialog dlg;
};

}  // namespace

TEST(FwMulDivTest, RoundsHalfAwayFromZeroAndRefusesWhatDoesNotFit) {
    struct Case {
        int a, b, c, expected;
    } cases[] = {
        {445, 7, 4, 779},
        {362, 15, 8, 679},
        {3, 1, 2, 2},
        {-3, 1, 2, -2},
        {5, -1, 2, -3},
        {-5, -1, 2, 3},
        {7, 3, 0, -1},
        {0, 5, 3, 0},
        {0x7FFFFFFF, 2, 1, -1},
        {-280 * 96, 1, 720, -37},
        {1 << 30, 4, 4, 1 << 30},
    };
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << " " << c.b;
}

TEST_F(FwDialogTest, ControlsSitAtTheirDialogUnitsConvertedWithTheFontsBaseUnits) {
    // The base units as Windows measures them, from the dialog font.
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(9);
    const QFontMetrics fm(font, WindowOf(&dlg));
    const int baseX = (fm.horizontalAdvance(
                           QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) +
                       26) /
                      52;
    const int baseY = fm.height();
    ASSERT_GT(baseX, 3);
    ASSERT_GT(baseY, 7);

    RECT client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(client.right, MulDiv(445, baseX, 4));
    EXPECT_EQ(client.bottom, MulDiv(362, baseY, 8));
    for (int id : {IDC_SOURCE_PATH, IDC_BROWSE_SOURCE, IDC_FORMAT_TIFF, IDC_POLICY_SUFFIX,
                   IDC_BANNER, IDC_PROGRESS, IDC_OUTER_FRAME}) {
        const DialogItemTemplate& item = testsupport::TemplateItem(id);
        const RECT r = ControlRect(Item(id));
        EXPECT_EQ(r.left, MulDiv(item.x, baseX, 4)) << id;
        EXPECT_EQ(r.top, MulDiv(item.y, baseY, 8)) << id;
        EXPECT_EQ(r.right - r.left, MulDiv(item.cx, baseX, 4)) << id;
        EXPECT_EQ(r.bottom - r.top, MulDiv(item.cy, baseY, 8)) << id;
    }
}

TEST_F(FwDialogTest, TemplateTextsAndCaptionAreThereWithoutNotifications) {
    for (std::size_t i = 0; i < g_mainDialogTemplate.itemCount; ++i) {
        const DialogItemTemplate& item = g_mainDialogTemplate.items[i];
        if (item.id == IDC_STATIC) continue;  // not one control of its own
        EXPECT_EQ(Text(static_cast<int>(item.id)), item.text) << item.id;
    }
    std::u16string caption;
    dlg.GetWindowTextW(caption);
    EXPECT_EQ(caption, u"Kestrune Orvane");
    EXPECT_TRUE(dlg.events.empty());
    EXPECT_EQ(dlg.GetDlgItem(9999), nullptr);
}

TEST_F(FwDialogTest, GetDlgItemIsStableAndBindingsShareTheControl) {
    EXPECT_EQ(dlg.GetDlgItem(IDC_SOURCE_PATH), dlg.GetDlgItem(IDC_SOURCE_PATH));
    EXPECT_EQ(dlg.m_editSource.GetDlgCtrlID(), IDC_SOURCE_PATH);
    dlg.m_editSource.SetWindowTextW(u"C:\\图片\\");
    EXPECT_EQ(Text(IDC_SOURCE_PATH), u"C:\\图片\\");
    dlg.m_checkSubfolders.SetCheck(BST_CHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_INCLUDE_SUBFOLDERS), BST_CHECKED);
    EXPECT_EQ(dlg.m_editSource.GetSafeHwnd(), Item(IDC_SOURCE_PATH)->GetSafeHwnd());
}

TEST_F(FwDialogTest, UserClicksReachTheirHandlersAndProgrammaticChecksSendNothing) {
    struct Case {
        int id;
        UINT checkedAfter;
    } cases[] = {
        {IDC_START, BST_UNCHECKED},
        {IDC_FORMAT_PNG, BST_CHECKED},
        {IDC_INCLUDE_SUBFOLDERS, BST_CHECKED},
        {IDC_POLICY_SUFFIX, BST_CHECKED},
    };
    for (const Case& c : cases) {
        Click(Item(c.id));
        EXPECT_EQ(dlg.Take(), (std::vector<Event>{{"click", static_cast<UINT_PTR>(c.id)}})) << c.id;
        EXPECT_EQ(dlg.IsDlgButtonChecked(c.id), c.checkedAfter) << c.id;
    }
    // A second click unticks a checkbox.
    Click(Item(IDC_FORMAT_PNG));
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FORMAT_PNG), BST_UNCHECKED);
    dlg.Take();

    dlg.CheckDlgButton(IDC_FORMAT_PNG, BST_CHECKED);
    static_cast<CButton*>(Item(IDC_POLICY_PREFIX))->SetCheck(BST_CHECKED);
    dlg.CheckDlgButton(IDC_INCLUDE_SUBFOLDERS, BST_UNCHECKED);
    PumpOnce();
    EXPECT_TRUE(dlg.events.empty());
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FORMAT_PNG), BST_CHECKED);
    EXPECT_EQ(static_cast<CButton*>(Item(IDC_POLICY_PREFIX))->GetCheck(), BST_CHECKED);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_INCLUDE_SUBFOLDERS), BST_UNCHECKED);
}

TEST_F(FwDialogTest, DisabledAndHiddenControlsTakeNoClick) {
    Item(IDC_STOP)->EnableWindow(FALSE);
    EXPECT_FALSE(Item(IDC_STOP)->IsWindowEnabled());
    Click(Item(IDC_STOP));
    Item(IDC_START)->ShowWindow(SW_HIDE);
    Click(Item(IDC_START));
    EXPECT_TRUE(dlg.events.empty());
    EXPECT_TRUE(Item(IDC_STOP)->EnableWindow(TRUE));  // it was disabled
    Click(Item(IDC_STOP));
    EXPECT_EQ(dlg.Take(), (std::vector<Event>{{"click", IDC_STOP}}));
}

TEST_F(FwDialogTest, RadioClickChecksItAndUnchecksTheRestOfItsGroup) {
    const int radios[] = {IDC_POLICY_PREFIX, IDC_POLICY_SUFFIX, IDC_POLICY_OVERWRITE};
    dlg.CheckDlgButton(IDC_POLICY_PREFIX, BST_CHECKED);
    dlg.CheckDlgButton(IDC_FORMAT_PNG, BST_CHECKED);  // not in the radio group
    for (int clicked : {IDC_POLICY_OVERWRITE, IDC_POLICY_SUFFIX, IDC_POLICY_SUFFIX}) {
        Click(Item(clicked));
        for (int r : radios)
            EXPECT_EQ(dlg.IsDlgButtonChecked(r), r == clicked ? BST_CHECKED : BST_UNCHECKED)
                << "after clicking " << clicked << ", radio " << r;
    }
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FORMAT_PNG), BST_CHECKED);
    EXPECT_EQ(dlg.Count("click", IDC_POLICY_SUFFIX), 2);
    // The program may leave the whole group unchecked.
    for (int r : radios) dlg.CheckDlgButton(r, BST_UNCHECKED);
    for (int r : radios) EXPECT_EQ(dlg.IsDlgButtonChecked(r), BST_UNCHECKED);
}

TEST_F(FwDialogTest, EditChangesNotifyWhetherTypedOrSet) {
    Type(Item(IDC_PREFIX), u"前缀_x");
    EXPECT_EQ(Text(IDC_PREFIX), u"前缀_x");
    EXPECT_GE(dlg.Count("change", IDC_PREFIX), 4);  // at least one per key
    dlg.Take();

    const std::u16string odd =
        u"a\U0001F600\xDC80"
        u"b";  // a pair and a lone surrogate
    dlg.SetDlgItemTextW(IDC_PREFIX, odd.c_str());
    EXPECT_EQ(dlg.Take(), (std::vector<Event>{{"change", IDC_PREFIX}}));
    EXPECT_EQ(Text(IDC_PREFIX), odd);
    // Setting the same text notifies too, as an edit control does.
    dlg.SetDlgItemTextW(IDC_PREFIX, odd.c_str());
    EXPECT_EQ(dlg.Take(), (std::vector<Event>{{"change", IDC_PREFIX}}));
    EXPECT_EQ(Item(IDC_PREFIX)->GetWindowTextLengthW(), static_cast<int>(odd.size()));

    Type(Item(IDC_PREFIX), u"");
    EXPECT_EQ(Text(IDC_PREFIX), u"");
    EXPECT_EQ(dlg.Take(), (std::vector<Event>{{"change", IDC_PREFIX}}));
    // Edits without an entry notify nobody; labels never notify.
    dlg.SetDlgItemTextW(IDC_SAVE_PATH, u"x");
    dlg.SetDlgItemTextW(IDC_STATUS_MESSAGE, u"y");
    EXPECT_TRUE(dlg.events.empty());
}

TEST(FwDialogInitTest, BindingsExistInOnInitDialogAndControlsReadVisibleBeforeTheWindowIs) {
    TestDialog dlg;
    bool controlVisible = false, windowVisible = true, bound = false;
    dlg.onInit = [&](TestDialog& d) {
        controlVisible = d.GetDlgItem(IDC_PROGRESS)->IsWindowVisible();
        windowVisible = d.IsWindowVisible();
        bound = d.m_progress.GetSafeHwnd() != nullptr;
        d.SetDlgItemTextW(IDC_SOURCE_PATH, u"C:\\");
    };
    ASSERT_TRUE(dlg.Create());
    EXPECT_TRUE(controlVisible);
    EXPECT_FALSE(windowVisible);
    EXPECT_TRUE(bound);
    EXPECT_EQ(dlg.Take(), (std::vector<Event>{{"change", IDC_SOURCE_PATH}}));
    EXPECT_TRUE(dlg.IsWindowVisible());
    // OnInitDialog returned TRUE: the first tab stop has the focus.
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDC_SOURCE_PATH));
}

TEST_F(FwDialogTest, ShowHideFocusAndEnableFollowTheWindowsFlags) {
    CWnd* bar = Item(IDC_PROGRESS);
    EXPECT_TRUE(bar->ShowWindow(SW_HIDE));
    EXPECT_FALSE(bar->IsWindowVisible());
    EXPECT_FALSE(bar->ShowWindow(SW_SHOW));
    EXPECT_TRUE(bar->IsWindowVisible());

    CWnd* browse = Item(IDC_BROWSE_SOURCE);
    EXPECT_EQ(browse->SetFocus(), Item(IDC_SOURCE_PATH));
    EXPECT_EQ(CWnd::GetFocus(), browse);

    EXPECT_FALSE(dlg.IsIconic());
    dlg.ShowWindow(SW_SHOWMINIMIZED);
    EXPECT_TRUE(dlg.IsIconic());
    dlg.ShowWindow(SW_RESTORE);
    EXPECT_FALSE(dlg.IsIconic());
}

TEST_F(FwDialogTest, ProgressBarKeepsItsRangeAndClampsThePosition) {
    int lo = -1, hi = -1;
    dlg.m_progress.GetRange(lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 100);
    EXPECT_EQ(dlg.m_progress.GetPos(), 0);
    dlg.m_progress.SetRange(0, 209);
    EXPECT_EQ(dlg.m_progress.SetPos(108), 0);
    EXPECT_EQ(dlg.m_progress.SetPos(300), 108);
    EXPECT_EQ(dlg.m_progress.GetPos(), 209);
    dlg.m_progress.SetRange(0, 0);  // an empty run
    EXPECT_EQ(dlg.m_progress.GetPos(), 0);
    dlg.m_progress.GetRange(lo, hi);
    EXPECT_EQ(hi, 0);
}

TEST_F(FwDialogTest, DestroyedWindowIgnoresEverything) {
    dlg.SetTimer(7, 0, nullptr);
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dlg.m_editSource.GetSafeHwnd(), nullptr);
    dlg.m_editSource.SetWindowTextW(u"x");
    dlg.SetDlgItemTextW(IDC_PREFIX, u"y");
    EXPECT_EQ(dlg.SetTimer(8, 0, nullptr), 0u);
    PumpOnce();
    PumpOnce();
    EXPECT_TRUE(dlg.events.empty());
    EXPECT_FALSE(dlg.DestroyWindow());
}
