// Dropped files reach a window that accepts them as WM_DROPFILES, and the
// drop handle answers as the Windows calls do.
#include <gtest/gtest.h>

#include <functional>

#include "platform/framework/dropfiles.h"
#include "platform/framework/testing_qt.h"
#include "res/resource.h"

namespace {

class DropDialog : public CDialog {
public:
    DropDialog() : CDialog(IDD_MAIN_DIALOG) {}
    std::function<void(HDROP)> onDrop;
    void OnDropFiles(HDROP hDrop) {
        if (onDrop) onDrop(hDrop);
    }

protected:
    DECLARE_MESSAGE_MAP()
};

// clang-format off
BEGIN_MESSAGE_MAP(DropDialog, CDialog)
    ON_WM_DROPFILES()
END_MESSAGE_MAP()
// clang-format on

std::u16string FileOf(HDROP h, UINT i, UINT cch) {
    std::u16string buffer(cch + 1, u'#');
    const UINT n = DragQueryFileW(h, i, buffer.data(), cch);
    // A buffer of no characters is left alone; any other gets a terminator.
    EXPECT_EQ(buffer[n], cch == 0 ? u'#' : u'\0') << "after " << n;
    return buffer.substr(0, n);
}

TEST(FwDropFiles, TheHandleAnswersAsTheWindowsCallsDo) {
    DropDialog dlg;
    ASSERT_TRUE(dlg.Create());
    CWnd* edit = dlg.GetDlgItem(IDC_SAVE_PATH);
    int drops = 0;
    dlg.onDrop = [&](HDROP) { ++drops; };
    // Not accepted yet: the drag is refused and nothing arrives.
    EXPECT_FALSE(afx::testing::DropFiles(edit, {"/tmp"}));

    DragAcceptFiles(dlg.GetSafeHwnd(), TRUE);
    dlg.onDrop = [&](HDROP h) {
        ++drops;
        EXPECT_EQ(DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0), 2u);
        EXPECT_EQ(DragQueryFileW(h, 0, nullptr, 0), 10u);  // Z:\tmp\a b
        EXPECT_EQ(FileOf(h, 0, 11), u"Z:\\tmp\\a b");
        EXPECT_EQ(FileOf(h, 0, 4), u"Z:\\");
        EXPECT_EQ(FileOf(h, 0, 0), u"");
        EXPECT_EQ(FileOf(h, 1, 64), u"Z:\\\u00FC\xDCFF");
        EXPECT_EQ(DragQueryFileW(h, 2, nullptr, 0), 0u);
        POINT pt{-1, -1};
        EXPECT_TRUE(DragQueryPoint(h, &pt));
        // The edit lies inside its group box and comes first in the template.
        EXPECT_EQ(ChildWindowFromPoint(dlg.GetSafeHwnd(), pt), edit->GetSafeHwnd());
        EXPECT_EQ(ChildWindowFromPoint(dlg.GetSafeHwnd(), {1, 1}), dlg.GetSafeHwnd());
        EXPECT_EQ(ChildWindowFromPoint(dlg.GetSafeHwnd(), {-5, 1}), nullptr);
        DragFinish(h);
        EXPECT_EQ(DragQueryFileW(h, 0xFFFFFFFF, nullptr, 0), 0u);
        EXPECT_EQ(DragQueryFileW(h, 0, nullptr, 0), 0u);
    };
    EXPECT_TRUE(afx::testing::DropFiles(edit, {"/tmp/a b", "/\xC3\xBC\xFF"}));
    EXPECT_EQ(drops, 1);

    DragAcceptFiles(dlg.GetSafeHwnd(), FALSE);
    EXPECT_FALSE(afx::testing::DropFiles(edit, {"/tmp"}));
    EXPECT_EQ(drops, 1);
}

}  // namespace
