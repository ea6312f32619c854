// Start, Pause/Continue, Stop, Enter and Esc pressed in random orders between
// single turns of the event loop, with the run's invariants checked after
// every turn and the counts checked against the files on disk at the end.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <tuple>

#include "platform/framework/testing.h"
#include "platform/win32/shell.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

constexpr int kImages = 5;
constexpr int kOthers = 3;
constexpr int kFormats = 2;
constexpr int kActions = 400;

void MakeSource(const TempDir& src) {
    src.Write("a.bmp", MakeBmp(5, 4, 1));
    src.Write("b.png", MakeImage(ImageKind::Png, 4, 4, 2));
    src.Write("c.gif", MakeImage(ImageKind::Gif, 3, 5, 3));
    src.Write("sub/d.jpg", MakeImage(ImageKind::Jpeg, 8, 8, 4));
    src.Write("sub/deeper/e.tif", MakeImage(ImageKind::Tiff, 2, 3, 5));
    src.Write("notes.txt", "text");
    src.Write("sub/empty.png", "");
    src.Write("sub/broken.jpg", "\xFF\xD8\xFF garbage");
}

class Walker {
public:
    Walker(DialogSession& s, const TempDir& dst) : m_s(s), m_dst(dst) {}

    // One press, or one turn of the event loop; presses may come several in
    // a row, so that they land while a step is armed.
    void Act(std::mt19937& rng) {
        switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
            case 0:
                m_s.Click(IDC_START);
                break;
            case 1:
                m_s.Click(IDC_STOP);
                break;
            case 2:
                afx::testing::PressEnter(&m_s.Dlg());
                break;
            case 3:
                afx::testing::PressEscape(&m_s.Dlg());
                break;
            default:
                afx::testing::PumpOnce();
                break;
        }
        NoteRunStartOrEnd();
        CheckInvariants();
    }

    void Finish() {
        if (m_s.RunInProgress()) {
            if (m_s.State() != RunState::Idle) m_s.Click(IDC_STOP);
            ASSERT_TRUE(m_s.WaitForRunEnd());
        }
        NoteRunStartOrEnd();
        CheckInvariants();
        EXPECT_EQ(static_cast<int>(FileNamesIn(m_dst.Path()).size()), m_savedInEndedRuns);
        for (const std::string& name : FileNamesIn(m_dst.Path())) {
            const std::string format = SniffFormat(ReadFileBytes(m_dst.Path() / name));
            EXPECT_TRUE(format == "PNG" || format == "BMP") << name;
        }
    }

    int Runs() const { return m_runs; }

private:
    void NoteRunStartOrEnd() {
        const bool inProgress = m_s.RunInProgress();
        if (inProgress && !m_inRun) ++m_runs;
        if (!inProgress && m_inRun) RunEnded();
        m_inRun = inProgress;
    }

    // What the window shows between runs; nothing may change it until the
    // next Start.
    using View = std::tuple<int, int, int, int, int, std::u16string, std::u16string, COLORREF>;
    View IdleView() const {
        const RunCounters c = m_s.Counters();
        return {c.total,
                c.processed,
                c.recognised,
                c.expected,
                c.saved,
                m_s.Text(IDC_STATUS_COUNTS),
                m_s.Text(IDC_STATUS_MESSAGE),
                m_s.Dlg().GetStatusColour()};
    }

    void RunEnded() {
        m_idleView = IdleView();
        const RunCounters c = m_s.Counters();
        m_savedInEndedRuns += c.saved;
        const std::u16string message = m_s.Text(IDC_STATUS_MESSAGE);
        if (message == u"操作全部完成！") {
            EXPECT_EQ(c.processed, c.total);
            EXPECT_EQ(c.recognised, kImages);
            EXPECT_EQ(m_s.Dlg().GetStatusColour(), kViolet);
            EXPECT_EQ(m_s.Text(IDC_STATUS_COUNTS),
                      FinalLine(c.processed, c.total, c.recognised, c.saved, c.expected));
        } else {
            EXPECT_EQ(message, u"操作已停止");
            EXPECT_EQ(m_s.Dlg().GetStatusColour(), kRed);
            EXPECT_EQ(m_s.FocusId(), IDC_SOURCE_PATH);
        }
    }

    // Idle reads Start; while a stopped run waits for its last armed step it
    // still reads what it read when Stop was pressed (Pause, or Continue when
    // Stop came while paused with a save step armed).
    static std::u16string inProgressCaption(const std::u16string& caption) {
        return caption == kPauseCaption || caption == kContinueCaption
                   ? caption
                   : std::u16string(kStartCaption);
    }

    void CheckInvariants() {
        ASSERT_TRUE(m_s.WindowAlive());
        const RunCounters c = m_s.Counters();
        EXPECT_EQ(c.total, m_runs > 0 ? kImages + kOthers : 0);
        EXPECT_LE(c.processed, c.total);
        EXPECT_LE(c.saved, c.expected);
        // Every save succeeds here, and a save step runs whole in one turn.
        EXPECT_EQ(c.saved, c.expected);
        EXPECT_EQ(c.expected % kFormats, 0);
        const int savedFiles = c.expected / kFormats;
        // Loaded but not yet saved: at most the one file in hand.
        EXPECT_GE(c.recognised, savedFiles);
        EXPECT_LE(c.recognised - savedFiles, 1);
        EXPECT_LE(c.recognised, kImages);  // no file loaded twice
        EXPECT_GE(c.processed, savedFiles);
        EXPECT_LE(c.processed - savedFiles, kOthers);

        const RunState state = m_s.State();
        const std::u16string caption = m_s.Text(IDC_START);
        EXPECT_EQ(m_s.Enabled(IDC_STOP), state != RunState::Idle);
        const std::u16string expectedCaption = state == RunState::Running ? kPauseCaption
                                               : state == RunState::Paused
                                                   ? kContinueCaption
                                                   : inProgressCaption(caption);
        EXPECT_EQ(caption, expectedCaption);
        const bool inProgress = m_s.RunInProgress();
        if (!inProgress && m_runs > 0) {
            EXPECT_TRUE(IdleView() == m_idleView) << "the window changed between runs";
        }
        EXPECT_EQ(m_s.Visible(IDC_PROGRESS), inProgress);
        EXPECT_EQ(m_s.Enabled(IDC_SOURCE_PATH), !inProgress);
        EXPECT_EQ(m_s.Enabled(IDC_FORMAT_PNG), !inProgress);
        EXPECT_TRUE(m_s.Enabled(IDC_START));
        const int onDisk = static_cast<int>(FileNamesIn(m_dst.Path()).size());
        EXPECT_EQ(onDisk, m_savedInEndedRuns + (inProgress ? c.saved : 0));
    }

    DialogSession& m_s;
    const TempDir& m_dst;
    bool m_inRun = false;
    int m_runs = 0;
    int m_savedInEndedRuns = 0;
    View m_idleView;
};

// The seeds first to last, each a window of its own walked by kActions
// presses and turns.
void WalkSeeds(unsigned first, unsigned last) {
    ScopedHome home(true);
    // Enter clicks a focused push button; should that ever be Browse or
    // Open, no real chooser or file manager may appear.
    win32::SetFolderChooserForTesting([](const BROWSEINFOW&) { return std::nullopt; });
    win32::SetShellExecuteForTesting([](std::u16string, std::u16string) {});
    TempDir src;
    MakeSource(src);
    const auto before = SnapshotTree(src.Path());
    int totalRuns = 0;
    for (unsigned seed = first; seed <= last; ++seed) {
        SCOPED_TRACE(NumberedName("seed ", static_cast<int>(seed), ""));
        TempDir dst;
        DialogSession s;
        RunSettings r{src.WinPath(), dst.WinPath()};
        r.formats = {IDC_FORMAT_PNG, IDC_FORMAT_BMP};
        r.prefix = u"p_";
        s.Apply(r);
        Walker walker(s, dst);
        std::mt19937 rng(seed);
        for (int i = 0; i < kActions && !::testing::Test::HasFailure(); ++i) walker.Act(rng);
        walker.Finish();
        totalRuns += walker.Runs();
        ASSERT_FALSE(::testing::Test::HasFailure());
    }
    win32::SetFolderChooserForTesting({});
    win32::SetShellExecuteForTesting({});
    EXPECT_GT(totalRuns, static_cast<int>(last - first + 1));
    EXPECT_EQ(SnapshotTree(src.Path()), before);
}

// Twenty seeds in four tests, so that they run side by side (under Wine the
// twenty took two minutes in one entry).
TEST(RandomPresses, InvariantsHoldAfterEveryTurnSeeds1To5) {
    WalkSeeds(1, 5);
}
TEST(RandomPresses, InvariantsHoldAfterEveryTurnSeeds6To10) {
    WalkSeeds(6, 10);
}
TEST(RandomPresses, InvariantsHoldAfterEveryTurnSeeds11To15) {
    WalkSeeds(11, 15);
}
TEST(RandomPresses, InvariantsHoldAfterEveryTurnSeeds16To20) {
    WalkSeeds(16, 20);
}

}  // namespace
