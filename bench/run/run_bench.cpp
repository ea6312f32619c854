// A whole run through the real window (offscreen) against the same imaging
// work done directly through the runtime: the difference is what the run
// itself costs (scan, timers, naming, status line, progress bar). The run is
// timed at one thread (OMP_NUM_THREADS=1, which the runtime obeys) and with
// the runtime's default threads, and the process's peak memory is reported.
//
//   run_bench <corpus folder> <scratch folder> [repetitions]
#include <sys/resource.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
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

// Process CPU time (every thread's), which whatever else the machine is
// doing skews less than wall time, and wall time, which the user waits.
double CpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
double WallNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Times {
    double cpu = 1e30, wall = 1e30;
    void KeepBest(double c, double w) {
        cpu = std::min(cpu, c);
        wall = std::min(wall, w);
    }
};

// The runtime reads OMP_NUM_THREADS at every save.
void UseOneThread(bool one) {
    if (one)
        setenv("OMP_NUM_THREADS", "1", 1);
    else
        unsetenv("OMP_NUM_THREADS");
}

std::u16string WinFolder(const std::filesystem::path& p) {
    return win32::FromHostPath(p.string()) + u"\\";
}

// Every file decoded once and written in all five formats, straight through
// the flat API; returns its CPU time and counts the megapixels.
double DirectWork(const std::u16string& source, const std::filesystem::path& out,
                  double* megapixels) {
    std::filesystem::create_directories(out);
    const std::u16string dest = WinFolder(out);
    const double start = CpuNow();
    *megapixels = 0;
    JobList jobs;
    ScanTree(source, jobs, true);
    std::vector<OutputFormat> formats;
    AppendSelectedFormats(formats, 0, [](int) { return true; });
    for (const std::u16string& job : jobs) {
        SourceImage* image = LoadSourceImage(job);
        if (image != nullptr && SourceImageWidth(image) > 0 && SourceImageHeight(image) > 0) {
            *megapixels += double(SourceImageWidth(image)) * SourceImageHeight(image) / 1e6;
            const std::u16string base = BaseNameOf(job);
            for (const OutputFormat& f : formats)
                SaveSourceImage(image, dest + base + f.extension, f.encoder, SaveMode::Replace);
        }
        DestroySourceImage(image);
    }
    return CpuNow() - start;
}

// Runs the event loop the way the program's own does, without the tests'
// polling wait, which sleeps 10 ms whenever the queue looks empty for a moment
// (between one zero-delay timer and the next), until the run has ended.
void RunUntil(const std::function<bool()>& ended) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (ended()) loop.quit();
    });
    check.start(5);
    loop.exec();
}

void WindowRun(const std::u16string& source, const std::filesystem::path& out, int* saved,
               Times& best) {
    std::filesystem::create_directories(out);
    CConverterDlg dlg;
    dlg.Create();
    dlg.SetDlgItemTextW(IDC_SOURCE_PATH, source.c_str());
    dlg.SetDlgItemTextW(IDC_SAVE_PATH, WinFolder(out).c_str());
    afx::testing::Click(dlg.GetDlgItem(IDC_SELECT_ALL));
    afx::testing::Click(dlg.GetDlgItem(IDC_POLICY_OVERWRITE));
    const double cpu = CpuNow(), wall = WallNow();
    afx::testing::Click(dlg.GetDlgItem(IDC_START));
    RunUntil([&] {
        std::u16string message;
        dlg.GetDlgItemTextW(IDC_STATUS_MESSAGE, message);
        return dlg.GetRunState() == RunState::Idle && !message.empty();
    });
    best.KeepBest(CpuNow() - cpu, WallNow() - wall);
    *saved = dlg.Counters().saved;
    dlg.DestroyWindow();
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

    double bestDirect = 1e30, megapixels = 0;
    Times one, all;
    int saved = 0;
    // Each run starts from the same state: the outputs of the one before are
    // gone and on the disk (a run writes about 5 MB per megapixel, and
    // writing back what an earlier run left in the page cache would slow the
    // next). The one-thread and default-thread runs take turns to go first.
    const auto clear = [&](const std::filesystem::path& folder) {
        std::filesystem::remove_all(folder);
        sync();
    };
    for (int i = 0; i < reps; ++i) {
        UseOneThread(true);
        bestDirect = std::min(bestDirect, DirectWork(source, scratch / "direct", &megapixels));
        clear(scratch / "direct");
        for (const bool oneThread : {i % 2 == 0, i % 2 != 0}) {
            UseOneThread(oneThread);
            WindowRun(source, scratch / "run", &saved, oneThread ? one : all);
            clear(scratch / "run");
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("outputs written by the run:        %d (%.1f MP of sources)\n", saved, megapixels);
    std::printf("imaging work alone, one thread:    %.3f s CPU (best of %d)\n", bestDirect, reps);
    std::printf("whole run, one thread:             %.3f s CPU = %.1f ms/MP; wall %.3f s\n",
                one.cpu, one.cpu * 1000 / megapixels, one.wall);
    std::printf("whole run, default threads (%u):   %.3f s CPU; wall %.3f s = %.2f x one thread\n",
                std::thread::hardware_concurrency(), all.cpu, all.wall, all.wall / one.wall);
    std::printf("run overhead:                      %.2f %% of the imaging work\n",
                (one.cpu - bestDirect) * 100.0 / bestDirect);
    std::printf("peak resident memory:              %.1f MiB\n", double(usage.ru_maxrss) / 1024);
    GdiplusShutdown(token);
    return 0;
}
