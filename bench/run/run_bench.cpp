// A whole run through the real window (offscreen) against the same imaging
// work done directly through the runtime: the difference is what the run
// itself costs (scan, timers, naming, status line, progress bar).
//
//   run_bench <corpus folder> <scratch folder> [repetitions]
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/naming.h"
#include "engine/scan.h"
#include "engine/transcode.h"
#include "platform/framework/testing.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win32/host_path.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

namespace {

// Process CPU time: the run is single-threaded, and CPU time is not skewed by
// whatever else the machine is doing, as wall time on two cores is.
struct Clock {
    using time_point = double;
    static double now() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
};

double Seconds(double a, double b) {
    return b - a;
}

std::u16string WinFolder(const std::filesystem::path& p) {
    return win32::FromHostPath(p.string()) + u"\\";
}

// Every file decoded once and written in all five formats, straight through
// the flat API.
double DirectWork(const std::u16string& source, const std::filesystem::path& out) {
    std::filesystem::create_directories(out);
    const std::u16string dest = WinFolder(out);
    const auto start = Clock::now();
    JobList jobs;
    ScanTree(source, jobs, true);
    std::vector<OutputFormat> formats;
    AppendSelectedFormats(formats, 0, [](int) { return true; });
    for (const std::u16string& job : jobs) {
        SourceImage* image = LoadSourceImage(job);
        if (image != nullptr && SourceImageWidth(image) > 0 && SourceImageHeight(image) > 0) {
            const std::u16string base = BaseNameOf(job);
            for (const OutputFormat& f : formats)
                SaveSourceImage(image, dest + base + f.extension, f.encoder);
        }
        DestroySourceImage(image);
    }
    return Seconds(start, Clock::now());
}

double WindowRun(const std::u16string& source, const std::filesystem::path& out, int* saved) {
    std::filesystem::create_directories(out);
    CConverterDlg dlg;
    dlg.Create();
    dlg.SetDlgItemTextW(IDC_SOURCE_PATH, source.c_str());
    dlg.SetDlgItemTextW(IDC_SAVE_PATH, WinFolder(out).c_str());
    afx::testing::Click(dlg.GetDlgItem(IDC_SELECT_ALL));
    afx::testing::Click(dlg.GetDlgItem(IDC_POLICY_OVERWRITE));
    const auto start = Clock::now();
    afx::testing::Click(dlg.GetDlgItem(IDC_START));
    afx::testing::PumpUntil(
        [&] {
            std::u16string message;
            dlg.GetDlgItemTextW(IDC_STATUS_MESSAGE, message);
            return dlg.GetRunState() == RunState::Idle && !message.empty();
        },
        std::chrono::hours(1));
    const double seconds = Seconds(start, Clock::now());
    *saved = dlg.Counters().saved;
    dlg.DestroyWindow();
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <corpus folder> <scratch folder> [repetitions]\n", argv[0]);
        return 2;
    }
    AfxInitFramework(argc, argv);
    ULONG_PTR token = 0;
    const GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        std::fprintf(stderr, "the imaging runtime did not start\n");
        return 1;
    }
    const std::u16string source = WinFolder(std::filesystem::absolute(argv[1]));
    const std::filesystem::path scratch = argv[2];
    const int reps = argc > 3 ? std::atoi(argv[3]) : 3;

    double bestRun = 1e30, bestDirect = 1e30;
    int saved = 0;
    for (int i = 0; i < reps; ++i) {
        // Alternate, so that cache and disk state favour neither side.
        bestDirect =
            std::min(bestDirect, DirectWork(source, scratch / ("direct" + std::to_string(i))));
        bestRun =
            std::min(bestRun, WindowRun(source, scratch / ("run" + std::to_string(i)), &saved));
        std::filesystem::remove_all(scratch / ("direct" + std::to_string(i)));
        std::filesystem::remove_all(scratch / ("run" + std::to_string(i)));
    }
    std::printf("outputs written by the run:      %d\n", saved);
    std::printf("imaging work alone (best of %d): %.3f s CPU\n", reps, bestDirect);
    std::printf("whole run in the window (best):  %.3f s CPU\n", bestRun);
    std::printf("run overhead:                    %.2f %% of the imaging work\n",
                (bestRun - bestDirect) * 100.0 / bestDirect);
    GdiplusShutdown(token);
    return 0;
}
