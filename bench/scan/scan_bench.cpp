// Times the source scan over a large tree against `find DIR -type f`, the
// tool a user would otherwise reach for, and measures the memory the job
// list takes per entry.
//
//   bench_scan [--files N] [--folders N] [--reps N] [--base DIR]
//
// The tree (empty files, two levels of folders) is built in a fresh folder
// under --base (default: the temporary folder) and removed at the end.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/scan.h"
#include "platform/win32/host_path.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
    int files = 200000;
    int folders = 2000;
    int reps = 5;
    fs::path base = fs::temp_directory_path();
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--files") o.files = std::atoi(argv[i + 1]);
        if (key == "--folders") o.folders = std::atoi(argv[i + 1]);
        if (key == "--reps") o.reps = std::max(1, std::atoi(argv[i + 1]));
        if (key == "--base") o.base = argv[i + 1];
    }
    return o;
}

// Folders in two levels: sqrt-ish top folders, the rest below them; files
// spread evenly over all folders. Names look like a camera's.
std::vector<fs::path> BuildTree(const fs::path& root, const Options& o) {
    int top = 1;
    while (top * top < o.folders) ++top;
    std::vector<fs::path> folders;
    for (int t = 0; t < top && static_cast<int>(folders.size()) < o.folders; ++t) {
        const fs::path dir = root / ("2024-" + std::to_string(100 + t) + " 旅行");
        fs::create_directory(dir);
        folders.push_back(dir);
        for (int s = 0; s + 1 < top && static_cast<int>(folders.size()) < o.folders; ++s) {
            const fs::path sub = dir / ("Album " + std::to_string(s));
            fs::create_directory(sub);
            folders.push_back(sub);
        }
    }
    for (int i = 0; i < o.files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%06d.JPG", i);
        std::ofstream(folders[static_cast<std::size_t>(i) % folders.size()] / name);
    }
    return folders;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Best and median of timed runs.
struct Timing {
    double best;
    double median;
};
Timing Summary(std::vector<double> t) {
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

double TimeOnce(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return Seconds(Clock::now() - start);
}

// Both contenders after one untimed run each (warm caches), then in turns,
// so that load from elsewhere on the machine falls on both alike.
std::pair<Timing, Timing> TimeInTurns(int reps, const std::function<void()>& a,
                                      const std::function<void()>& b) {
    a();
    b();
    std::vector<double> ta, tb;
    for (int i = 0; i < reps; ++i) {
        ta.push_back(TimeOnce(a));
        tb.push_back(TimeOnce(b));
    }
    return {Summary(ta), Summary(tb)};
}

// find's output goes to /dev/null: it still formats and writes every path.
void RunFind(const fs::path& root) {
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0) ::_exit(127);
        ::execlp("find", "find", root.c_str(), "-type", "f", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "find failed\n");
}

// Heap bytes of one string: its buffer when it does not fit in the object.
std::size_t StringHeapBytes(const std::u16string& s) {
    constexpr std::size_t kInline = 15 / sizeof(char16_t);
    if (s.capacity() <= kInline) return 0;
    const std::size_t request = (s.capacity() + 1) * sizeof(char16_t);
    // glibc chunks: request + 8 bytes of header, rounded up to 16, at least 32.
    return std::max<std::size_t>(32, (request + 8 + 15) / 16 * 16);
}

void ReportMemory(const JobList& list, std::size_t heapBefore, std::size_t heapAfter) {
    std::size_t strings = 0;
    std::size_t characters = 0;
    std::size_t capacity = 0;
    for (const auto& entry : list) {
        strings += StringHeapBytes(entry);
        characters += entry.size();
        capacity += entry.capacity();
    }
    const double n = static_cast<double>(list.size());
    const double vectorBytes = static_cast<double>(list.capacity() * sizeof(std::u16string));
    std::printf(
        "job list: %zu entries, capacity %zu; mean path %.1f code units, mean string "
        "capacity %.1f\n",
        list.size(), list.capacity(), static_cast<double>(characters) / n,
        static_cast<double>(capacity) / n);
    std::printf("bytes per entry (computed): %.1f (vector %.1f + string buffers %.1f)\n",
                (vectorBytes + static_cast<double>(strings)) / n, vectorBytes / n,
                static_cast<double>(strings) / n);
    std::printf("bytes per entry (heap in use, mallinfo2): %.1f\n",
                static_cast<double>(heapAfter - heapBefore) / n);
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = ParseOptions(argc, argv);
    std::string tmpl = (o.base / "orv-scan-bench-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = tmpl;
    const auto buildStart = Clock::now();
    const std::vector<fs::path> folders = BuildTree(root, o);
    std::printf("tree: %d files in %zu folders under %s (built in %.1f s)\n", o.files,
                folders.size(), root.c_str(), Seconds(Clock::now() - buildStart));

    const std::u16string winRoot = win32::FromHostPath(root.string());
    std::size_t found = 0;
    const auto [scan, find] = TimeInTurns(
        o.reps,
        [&] {
            JobList list;
            list.reserve(kJobListReserve);
            ScanTree(winRoot, list, true);
            found = list.size();
        },
        [&] { RunFind(root); });

    std::printf("entries listed: %zu%s\n", found,
                found == static_cast<std::size_t>(o.files) ? "" : "  (MISMATCH)");
    std::printf("ScanTree:      best %7.1f ms, median %7.1f ms\n", scan.best * 1e3,
                scan.median * 1e3);
    std::printf("find -type f:  best %7.1f ms, median %7.1f ms\n", find.best * 1e3,
                find.median * 1e3);
    std::printf("ratio ScanTree / find: %.2f (best), %.2f (median); goal <= 1.50\n",
                scan.best / find.best, scan.median / find.median);

    malloc_trim(0);
    const std::size_t heapBefore = mallinfo2().uordblks;
    {
        JobList list;
        list.reserve(kJobListReserve);
        ScanTree(winRoot, list, true);
        const std::size_t heapAfter = mallinfo2().uordblks;
        ReportMemory(list, heapBefore, heapAfter);
    }

    std::error_code ec;
    fs::remove_all(root, ec);
    return found == static_cast<std::size_t>(o.files) ? 0 : 1;
}
