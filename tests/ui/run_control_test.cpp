// Start, Pause, Continue and Stop through button 1016, the Stop button, Enter,
// Esc and the close box, including presses that arrive while a step's timer
// is still armed.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/framework/testing.h"
#include "tests/ui/run_control_fixture.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

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
    ExpectEveryFileConverted();
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
    ExpectEveryFileConverted();
}

TEST_F(RunControl, ContinueWhileTheArmedStepIsPendingLoadsNoFileTwice) {
    PressStart();
    for (int i = 0; i < 5; ++i) {
        PressStart();  // Pause
        PressStart();  // Continue, the save step of file 1 still armed
        EXPECT_EQ(s.Counters().recognised, 1);
    }
    EXPECT_EQ(s.State(), RunState::Running);
    ExpectEveryFileConverted();
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
