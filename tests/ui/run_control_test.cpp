// Start, Pause, Continue and Stop through button 1016, the Stop button, Enter,
// Esc and the close box, including presses that arrive while a step's timer
// is still armed.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "platform/framework/testing_qt.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

const bool kRuntime = UseImagingRuntime();

constexpr int kImages = 4;
constexpr int kFormats = 3;

class RunControl : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kImages; ++i)
            src.Write(NumberedName("img", i, ".bmp"), MakeBmp(6, 5, static_cast<unsigned>(i)));
        before = SnapshotTree(src.Path());
        RunSettings r;
        r.source = src.WinPath();
        r.destination = dst.WinPath();
        r.formats = {IDC_FORMAT_PNG, IDC_FORMAT_BMP, IDC_FORMAT_GIF};
        s.Apply(r);
    }
    void TearDown() override { EXPECT_EQ(SnapshotTree(src.Path()), before); }

    int Outputs() const { return static_cast<int>(FileNamesIn(dst.Path()).size()); }
    void PressStart() { s.Click(IDC_START); }
    void PressStop() { s.Click(IDC_STOP); }
    void ExpectStopped() {
        EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作已停止");
        EXPECT_EQ(s.Dlg().GetStatusColour(), kRed);
        EXPECT_LE(s.ClosestToColour(IDC_STATUS_MESSAGE, 255, 0, 0), 30);
        EXPECT_EQ(s.FocusId(), IDC_SOURCE_PATH);
        ExpectIdleControls(s);
    }
    // Each output name appears once: no file was loaded and saved twice.
    void ExpectOutputsOfFiles(int files) {
        EXPECT_EQ(Outputs(), files * kFormats);
        for (const std::string& name : FileNamesIn(dst.Path()))
            EXPECT_EQ(name.rfind("_ORV_", 0), std::string::npos) << name;
    }

    ScopedHome home{true};
    TempDir src, dst;
    DialogSession s;
    std::map<std::string, std::string> before;
};

// The scan at Start blocks the window; what Start set before it must already
// be on screen: the counting line, the emptied message line, the disabled
// options. Looked at from inside the scan, where nothing can paint.
TEST_F(RunControl, WhatStartSetsBeforeTheScanIsOnScreenDuringTheScan) {
    PressStart();
    ASSERT_TRUE(s.WaitForRunEnd());  // leaves both status lines filled
    afx::testing::PumpOnce();
    const int shown[] = {IDC_STATUS_COUNTS,      IDC_STATUS_MESSAGE, IDC_SOURCE_PATH,
                         IDC_SAVE_PATH,          IDC_PREFIX,         IDC_SUFFIX,
                         IDC_INCLUDE_SUBFOLDERS, IDC_SELECT_ALL,     IDC_FORMAT_BMP,
                         IDC_FORMAT_PNG,         IDC_FORMAT_JPEG,    IDC_FORMAT_GIF,
                         IDC_FORMAT_TIFF,        IDC_POLICY_PREFIX,  IDC_POLICY_SUFFIX,
                         IDC_POLICY_OVERWRITE,   IDC_BROWSE_SOURCE,  IDC_BROWSE_SAVE};
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

TEST_F(RunControl, PauseBetweenLoadAndSaveStillSavesTheFile) {
    PressStart();
    // The first file was loaded inside the click; its save step is armed.
    EXPECT_EQ(s.Counters().recognised, 1);
    EXPECT_EQ(s.Counters().saved, 0);
    PressStart();
    EXPECT_EQ(s.State(), RunState::Paused);
    EXPECT_EQ(s.Text(IDC_START), kContinueCaption);
    s.Settle();
    EXPECT_EQ(s.State(), RunState::Paused);
    const RunCounters c = s.Counters();
    EXPECT_EQ(c.processed, 1);
    EXPECT_EQ(c.saved, kFormats);
    EXPECT_EQ(c.expected, kFormats);
    ExpectOutputsOfFiles(1);
    // The load step that ran while paused wrote nothing.
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), ProgressLine(0, kImages, 0, 0));
    ExpectRunningControls(s);
    EXPECT_TRUE(s.Enabled(IDC_STOP));

    PressStart();  // Continue: the next file is loaded inside the click
    EXPECT_EQ(s.Text(IDC_START), kPauseCaption);
    EXPECT_EQ(s.Counters().recognised, 2);
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS),
              FinalLine(kImages, kImages, kImages, kImages * kFormats, kImages * kFormats));
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
    ExpectOutputsOfFiles(kImages);
}

TEST_F(RunControl, StopWhilePausedEndsTheRunAtOnce) {
    PressStart();
    PressStart();
    s.Settle();
    const std::u16string line = s.Text(IDC_STATUS_COUNTS);
    PressStop();
    ExpectStopped();
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), line);
    EXPECT_EQ(line, ProgressLine(0, kImages, 0, 0));
    s.Settle();
    ExpectOutputsOfFiles(1);
    EXPECT_EQ(s.Counters().processed, 1);
}

TEST_F(RunControl, StopWhilePausedWithTheSaveArmedWritesThatFileFirst) {
    PressStart();
    PressStart();  // Pause: the save step of file 1 is still armed
    PressStop();
    EXPECT_EQ(s.State(), RunState::Idle);
    EXPECT_FALSE(s.Enabled(IDC_STOP));
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectStopped();
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), FinalLine(1, kImages, 1, kFormats, kFormats));
    ExpectOutputsOfFiles(1);
}

TEST_F(RunControl, StopWhilePausedWithOnlyALoadArmedEndsAtOnce) {
    TempDir texts;
    for (int i = 0; i < 3; ++i) texts.Write(NumberedName("t", i, ".txt"), "text");
    s.Type(IDC_SOURCE_PATH, texts.WinPath());
    PressStart();  // file 1 is not an image: the next load step is armed
    PressStart();
    PressStop();
    ExpectStopped();
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), ProgressLine(0, 3, 0, 0));
    s.Settle();
    // The disarmed load step never ran.
    EXPECT_EQ(s.Counters().processed, 1);
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), ProgressLine(0, 3, 0, 0));
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作已停止");
}

TEST_F(RunControl, StopWhileRunningWritesTheFinalLineThenStopped) {
    PressStart();
    ASSERT_TRUE(WaitUntil("two files processed", [&] { return s.Counters().processed >= 2; }));
    PressStop();
    EXPECT_EQ(s.State(), RunState::Idle);
    EXPECT_FALSE(s.Enabled(IDC_STOP));
    // Until the armed step ends the run, 1016 still reads Pause.
    EXPECT_EQ(s.Text(IDC_START), kPauseCaption);
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectStopped();
    const RunCounters c = s.Counters();
    EXPECT_LT(c.processed, kImages);
    EXPECT_EQ(c.recognised, c.processed);
    EXPECT_EQ(c.expected, c.processed * kFormats);
    EXPECT_EQ(c.saved, c.expected);
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS),
              FinalLine(c.processed, kImages, c.recognised, c.saved, c.expected));
    ExpectOutputsOfFiles(c.processed);
}

TEST_F(RunControl, StopRightAfterStartCountsTheFileWhoseSaveWasArmed) {
    PressStart();
    PressStop();
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectStopped();
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), FinalLine(1, kImages, 1, kFormats, kFormats));
    ExpectOutputsOfFiles(1);
    // After the end, Stop and Esc change nothing.
    PressStop();
    afx::testing::PressEscape(&s.Dlg());
    ExpectStopped();
    EXPECT_TRUE(s.WindowAlive());
}

TEST_F(RunControl, PauseAndContinueAlternateAndEachContinueTakesTheNextFile) {
    PressStart();
    for (int file = 2; file <= kImages; ++file) {
        PressStart();
        EXPECT_EQ(s.Text(IDC_START), kContinueCaption);
        s.Settle();
        EXPECT_EQ(s.Counters().processed, file - 1);
        PressStart();
        EXPECT_EQ(s.Text(IDC_START), kPauseCaption);
        EXPECT_EQ(s.State(), RunState::Running);
        EXPECT_EQ(s.Counters().recognised, file);
    }
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
    ExpectOutputsOfFiles(kImages);
}

TEST_F(RunControl, ContinueWhileTheArmedStepIsPendingLoadsNoFileTwice) {
    PressStart();
    for (int i = 0; i < 5; ++i) {
        PressStart();  // Pause
        PressStart();  // Continue, the save step of file 1 still armed
        EXPECT_EQ(s.Counters().recognised, 1);
    }
    EXPECT_EQ(s.State(), RunState::Running);
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS),
              FinalLine(kImages, kImages, kImages, kImages * kFormats, kImages * kFormats));
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
    ExpectOutputsOfFiles(kImages);
}

TEST_F(RunControl, StartWhileAStoppedRunIsEndingIsIgnored) {
    PressStart();
    PressStop();
    const RunCounters c = s.Counters();
    PressStart();
    afx::testing::PressEnter(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Idle);
    EXPECT_EQ(s.Text(IDC_START), kPauseCaption);
    EXPECT_EQ(s.Counters().total, c.total);
    EXPECT_EQ(s.Counters().recognised, c.recognised);
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectStopped();
    EXPECT_EQ(s.Text(IDC_STATUS_COUNTS), FinalLine(1, kImages, 1, kFormats, kFormats));
    ExpectOutputsOfFiles(1);

    // Now Start is taken: a new run whose names are taken by the first.
    PressStart();
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
    EXPECT_EQ(Outputs(), (kImages + 1) * kFormats);
}

TEST_F(RunControl, EnterIsStartAndPauseEscIsStopAndTheWindowStays) {
    afx::testing::PressEnter(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Running);
    EXPECT_EQ(s.FocusId(), IDC_START);
    afx::testing::PressEnter(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Paused);
    afx::testing::PressEnter(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Running);
    afx::testing::PressEscape(&s.Dlg());
    EXPECT_EQ(s.State(), RunState::Idle);
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectStopped();
    EXPECT_TRUE(s.WindowAlive());
    afx::testing::PressEscape(&s.Dlg());
    afx::testing::PumpOnce();
    EXPECT_TRUE(s.WindowAlive());
    ExpectStopped();
}

TEST_F(RunControl, ClosingDuringARunKeepsWhatIsWrittenAndShowsNoEnd) {
    PressStart();
    ASSERT_TRUE(WaitUntil("the first file saved", [&] { return s.Counters().saved >= kFormats; }));
    afx::testing::RequestClose(&s.Dlg());
    EXPECT_FALSE(s.WindowAlive());
    const int written = Outputs();
    EXPECT_EQ(written, s.Counters().saved);
    EXPECT_GE(written, kFormats);
    s.Settle();
    afx::testing::PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(Outputs(), written);
    EXPECT_EQ(s.Dlg().GetStatusColour(), 0u);  // no end message was shown
    EXPECT_LT(s.Counters().processed, kImages);
}

TEST_F(RunControl, ClosingWhilePausedKeepsWhatIsWrittenAndShowsNoEnd) {
    PressStart();
    PressStart();
    s.Settle();
    afx::testing::RequestClose(&s.Dlg());
    EXPECT_FALSE(s.WindowAlive());
    afx::testing::PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    ExpectOutputsOfFiles(1);
    EXPECT_EQ(s.Dlg().GetStatusColour(), 0u);
}

TEST_F(RunControl, ClosingWithASaveArmedWritesNothingMoreForThatFile) {
    PressStart();
    afx::testing::RequestClose(&s.Dlg());
    EXPECT_FALSE(s.WindowAlive());
    afx::testing::PumpUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_EQ(Outputs(), 0);
    EXPECT_EQ(s.Dlg().GetStatusColour(), 0u);
}

}  // namespace
