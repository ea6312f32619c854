// Drives the program's main window through its real widgets: the window is
// made with Create() (no modal loop of its own), options are set by clicking
// and typing, Start is clicked and the event loop is pumped until the run
// ends. The imaging runtime is started once for the whole test program.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_types.h"
#include "platform/framework/dialog_template.h"
#include "res/resource.h"
#include "tests/support/temp_dir.h"
#include "ui/main_dialog.h"

// Template 102, the main window (res/dialog_main.cpp).
extern const DialogTemplate g_mainDialogTemplate;

namespace testsupport {

inline constexpr char16_t kStartCaption[] = u"开      始";
inline constexpr char16_t kPauseCaption[] = u"暂      停";
inline constexpr char16_t kContinueCaption[] = u"继      续";
inline constexpr char16_t kProductTitle[] = u"Kestrune Orvane  1.0.3.0";

inline constexpr COLORREF kRed = 0x0000FF;
inline constexpr COLORREF kViolet = 0xFF0080;
inline constexpr COLORREF kOrange = 0x4080FF;

// Registers a test environment that starts the imaging runtime before the
// first test and shuts it down after the last; returns true. A test file
// does not call it itself but includes with_imaging_runtime.h, which calls
// it once per program.
bool UseImagingRuntime();

// The format boxes in the order of the checkbox row, as template 102 places
// them: those of its controls that select a row of kFormatTable.
const std::vector<int>& FormatBoxes();
// Template 102's control of this identifier; the test fails when there is none.
const DialogItemTemplate& TemplateItem(int id);

// Pumps the event loop until pred holds. When the deadline passes first, the
// test fails with what it waited for, and false is returned, so that a broken
// run ends the test in seconds instead of at ctest's time limit.
bool WaitUntil(const std::string& what, const std::function<bool()>& pred,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

// What a test wants in the option controls before it presses Start.
struct RunSettings {
    std::u16string source;
    std::u16string destination;
    bool includeSubfolders = true;
    std::vector<int> formats{IDC_FORMAT_PNG};
    ClashPolicy policy = ClashPolicy::Prefix;
    std::u16string prefix = u"_ORV_";
    std::u16string suffix = u"_ORV";
};

// HOME and XDG_CONFIG_HOME point at a fresh folder while it lives, so that
// the window's defaults (C:\ORV_Save\, the Pictures folder) stay inside it.
class ScopedEnv;

class ScopedHome {
public:
    // withPictures: a Pictures folder exists and user-dirs.dirs names it.
    explicit ScopedHome(bool withPictures = true);
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;
    const std::filesystem::path& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_home, m_config;
};

class DialogSession {
public:
    DialogSession();
    ~DialogSession();
    DialogSession(const DialogSession&) = delete;
    DialogSession& operator=(const DialogSession&) = delete;

    CConverterDlg& Dlg() { return *m_dlg; }
    CWnd* Item(int id) const;
    std::u16string Text(int id) const;
    std::u16string Caption() const;  // of the window
    bool Enabled(int id) const;
    bool Visible(int id) const;
    UINT Check(int id) const;
    int ProgressPos() const;
    int FocusId() const;  // the focused control, 0 for none
    bool WindowAlive() const;
    RunState State() const { return m_dlg->GetRunState(); }
    RunCounters Counters() const { return m_dlg->Counters(); }

    // In a rendering of the window as it is now: how close the pixel of the
    // control that comes closest to this colour is (sum of the channel
    // differences; 0 = the colour itself). Text is smoothed into the
    // background, so only its core pixels carry the pure colour.
    int ClosestToColour(int id, int red, int green, int blue) const;

    void Click(int id);
    void Type(int id, const std::u16string& text);
    void Apply(const RunSettings& settings);

    // A run is in progress from Start until its last step has restored the
    // idle controls (a stopped run is still ending while its step is armed).
    bool RunInProgress() const;
    // Fails the test, saying what the window shows, when the run has not
    // ended by the deadline.
    bool WaitForRunEnd(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    // Pumps until no step is pending (used while paused); fails the test when
    // the counts and the caption do not come to rest.
    void Settle();

private:
    std::unique_ptr<CConverterDlg> m_dlg;
};

// The controls as they are between runs: Start captioned and enabled, Stop
// disabled, no progress bar, every option enabled but the affix edit of an
// unchecked policy.
void ExpectIdleControls(const DialogSession& session);
// The controls while a run is in progress: options disabled, Open buttons
// untouched, Stop enabled unless a Stop is being carried out.
void ExpectRunningControls(const DialogSession& session);

// Applies the settings, clicks Start and pumps until the run has ended.
// Returns false when it did not end in time.
bool RunConversion(DialogSession& session, const RunSettings& settings);

// Width and height of an image file as the imaging runtime reads it; {0, 0}
// when it does not load.
std::pair<unsigned, unsigned> ImageSizeOf(const std::filesystem::path& file);

// The first status line in its final form for these counts.
std::u16string FinalLine(int processed, int total, int recognised, int saved, int expected);
std::u16string ProgressLine(int processed, int total, int recognised, int saved);

}  // namespace testsupport
