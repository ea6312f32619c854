// What Start sets is drawn before the scan blocks the window: read from the
// Qt framework's renderings, so this part of the run-control tests runs on
// Linux only.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/framework/testing_qt.h"
#include "tests/ui/run_control_fixture.h"

namespace {

using namespace testsupport;

// The scan at Start blocks the window; what Start set before it must already
// be on screen: the counting line, the emptied message line, the disabled
// options. Looked at from inside the scan, where nothing can paint.
TEST_F(RunControl, WhatStartSetsBeforeTheScanIsOnScreenDuringTheScan) {
    PressStart();
    ASSERT_TRUE(s.WaitForRunEnd());  // leaves both status lines filled
    afx::testing::PumpOnce();
    std::vector<int> shown = {IDC_STATUS_COUNTS,      IDC_STATUS_MESSAGE,   IDC_SOURCE_PATH,
                              IDC_SAVE_PATH,          IDC_PREFIX,           IDC_SUFFIX,
                              IDC_INCLUDE_SUBFOLDERS, IDC_SELECT_ALL,       IDC_POLICY_PREFIX,
                              IDC_POLICY_SUFFIX,      IDC_POLICY_OVERWRITE, IDC_BROWSE_SOURCE,
                              IDC_BROWSE_SAVE};
    shown.insert(shown.end(), FormatBoxes().begin(), FormatBoxes().end());
    int searches = 0;
    afx::testing::SetFileFindHook([&](const std::u16string&) {
        if (searches++ > 0) return;
        EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), u"正在统计文件总数,请稍候... ");
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"");
        const QImage screen =
            afx::testing::GrabScreen(&s.Dlg()).convertToFormat(QImage::Format_RGB32);
        const QImage drawn = afx::testing::Grab(&s.Dlg()).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(screen.size(), drawn.size());
        for (int id : shown) {
            if (id != IDC_STATUS_COUNTS && id != IDC_STATUS_MESSAGE) {
                EXPECT_FALSE(s.Enabled(id)) << id;
            }
            const RECT r = afx::testing::ControlRect(s.Item(id));
            const QRect area(r.left, r.top, r.right - r.left, r.bottom - r.top);
            EXPECT_TRUE(screen.copy(area) == drawn.copy(area))
                << "control " << id << " is not on screen as it is";
        }
    });
    PressStart();
    afx::testing::SetFileFindHook({});
    EXPECT_GT(searches, 0);
    ASSERT_TRUE(s.WaitForRunEnd());
}

}  // namespace
