// The imaging benchmark's harness: every tool converts the same listed
// photographs into PNG, BMP, JPEG, GIF and TIFF, one thread each, decoding each
// file once. Prints per tool the whole run's time, ms per megapixel, the ratio
// to ours, the peak resident memory of its processes and the bytes each
// format took per megapixel; then ours with the runtime's default threads
// against ours at one thread, and our output sizes against the others'.
// Usage: bench_imaging <list> <work folder> [tool,tool,...]
//   tools: ours, threads (ours with default threads), vips, gm, im
//   (all by default)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
const std::vector<std::string> kExtensions = {"png", "bmp", "jpg", "gif", "tif"};

struct Outcome {
    std::string tool;
    double wall = 0;
    double cpu = 0;
    long peakKb = 0;
    int outputs = 0;
    std::map<std::string, double> bytes;  // by extension
    std::string printed;                  // standard output of the last child
};

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Runs one child with one thread's worth of every tool's parallelism (unless
// it is to use its default threads), and accounts its time and peak memory to
// the outcome.
void Run(const std::vector<std::string>& args, Outcome& outcome, bool oneThread = true) {
    int out[2];
    if (pipe(out) != 0) return;
    const pid_t pid = fork();
    if (pid == 0) {
        if (oneThread) {
            setenv("OMP_NUM_THREADS", "1", 1);
            setenv("MAGICK_THREAD_LIMIT", "1", 1);
            setenv("VIPS_CONCURRENCY", "1", 1);
        } else {
            unsetenv("OMP_NUM_THREADS");
        }
        const int null = open("/dev/null", O_WRONLY);
        dup2(out[1], 1);
        dup2(null, 2);
        close(out[0]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    outcome.printed.clear();
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        outcome.printed.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s exited with status %d\n", args[0].c_str(), status);
    outcome.cpu += Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    outcome.peakKb = std::max(outcome.peakKb, usage.ru_maxrss);
}

// Sizes of what the tool wrote, by format; the files are removed afterwards.
void Collect(const fs::path& folder, Outcome& outcome) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string ext = entry.path().extension().string();
        if (!ext.empty()) ext.erase(0, 1);
        outcome.bytes[ext] += double(entry.file_size());
        ++outcome.outputs;
    }
    for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
}

std::string Output(const fs::path& folder, std::size_t index, const std::string& ext) {
    return (folder / (std::to_string(index) + "." + ext)).string();
}

// convert <in> -write a.png -write a.bmp -write a.jpg -write a.gif a.tif
std::vector<std::string> ConvertArgs(const std::string& in, const fs::path& folder,
                                     std::size_t index) {
    std::vector<std::string> args = {"convert", in};
    for (std::size_t e = 0; e + 1 < kExtensions.size(); ++e) {
        args.push_back("-write");
        args.push_back(Output(folder, index, kExtensions[e]));
    }
    args.push_back(Output(folder, index, kExtensions.back()));
    return args;
}

Outcome RunTool(const std::string& tool, const std::vector<std::string>& files,
                const fs::path& list, const fs::path& work) {
    Outcome outcome{tool};
    const fs::path folder = work / ("out-" + tool);
    fs::create_directories(folder);
    const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();
    const auto start = std::chrono::steady_clock::now();
    if (tool == "ours" || tool == "threads") {
        Run({(self / "bench_imaging_ours").string(), list.string(), folder.string()}, outcome,
            tool == "ours");
    } else if (tool == "vips") {
        Run({(self / "bench_imaging_vips").string(), list.string(), folder.string()}, outcome);
    } else if (tool == "gm") {
        const fs::path commands = work / "gm-commands.txt";
        std::ofstream batch(commands);
        for (std::size_t i = 0; i < files.size(); ++i) {
            for (const std::string& a : ConvertArgs(files[i], folder, i)) batch << a << ' ';
            batch << '\n';
        }
        batch.close();
        Run({"gm", "batch", "-echo", "off", commands.string()}, outcome);
    } else {
        for (std::size_t i = 0; i < files.size(); ++i)
            Run(ConvertArgs(files[i], folder, i), outcome);
    }
    outcome.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Collect(folder, outcome);
    return outcome;
}

double ValueAfter(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    for (std::string k; in >> k;) {
        double v = 0;
        in >> v;
        if (k == key) return v;
    }
    return 0;
}

const char* Name(const std::string& tool) {
    if (tool == "ours") return "ours";
    if (tool == "threads") return "ours, threads";
    if (tool == "vips") return "libvips";
    if (tool == "gm") return "GraphicsMagick";
    return "ImageMagick";
}

// Wall time is what a user waits; CPU time (and its ratio) stays comparable
// when other work shares the machine.
void Report(const std::vector<Outcome>& outcomes, std::size_t files, double mp,
            const Outcome& ours) {
    std::printf("\n%zu files, %.1f MP; one thread per tool; bytes per format in KB per MP\n", files,
                mp);
    std::printf("%-15s %8s %7s %7s %8s %7s %9s %6s %6s %6s %6s %6s %6s\n", "tool", "total s",
                "ms/MP", "x ours", "CPU s", "x ours", "peak MB", "files", "PNG", "BMP", "JPEG",
                "GIF", "TIFF");
    for (const Outcome& o : outcomes) {
        std::printf("%-15s %8.1f %7.1f %7.2f %8.1f %7.2f %9.1f %6d", Name(o.tool), o.wall,
                    o.wall * 1000 / mp, o.wall / ours.wall, o.cpu, o.cpu / ours.cpu,
                    double(o.peakKb) / 1024, o.outputs);
        for (const std::string& ext : kExtensions) {
            const auto it = o.bytes.find(ext);
            std::printf(" %6.0f", it == o.bytes.end() ? 0.0 : it->second / 1024 / mp);
        }
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <list> <work folder> [ours,vips,gm,im]\n", argv[0]);
        return 2;
    }
    const fs::path list = fs::absolute(argv[1]), work = fs::absolute(argv[2]);
    std::vector<std::string> files;
    std::ifstream in(list);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) files.push_back(line);
    std::vector<std::string> tools = {"ours", "threads", "vips", "gm", "im"};
    if (argc > 3) {
        tools.clear();
        std::istringstream names(argv[3]);
        for (std::string t; std::getline(names, t, ',');) tools.push_back(t);
    }
    if (std::find(tools.begin(), tools.end(), "ours") == tools.end())
        tools.insert(tools.begin(), "ours");  // it measures the megapixels

    std::vector<Outcome> outcomes;
    for (const std::string& tool : tools) {
        std::fprintf(stderr, "running %s...\n", Name(tool));
        outcomes.push_back(RunTool(tool, files, list, work));
    }
    const Outcome& ours = outcomes.front();
    const double mp = ValueAfter(ours.printed, "megapixels");
    if (mp <= 0) return 1;
    if (ours.wall <= 0 || ours.cpu <= 0) return 1;
    Report(outcomes, files.size(), mp, ours);
    std::printf("\nours at one thread, CPU ms/MP by step: decode %.1f",
                ValueAfter(ours.printed, "decode") * 1000 / mp);
    for (const std::string& ext : kExtensions)
        std::printf(", %s %.1f", ext.c_str(), ValueAfter(ours.printed, ext) * 1000 / mp);
    std::printf(" (failed saves: %.0f)\n", ValueAfter(ours.printed, "failed"));
    for (const Outcome& o : outcomes) {
        if (o.tool == "threads")
            std::printf("ours with default threads: wall %.2f x one thread, CPU %.2f x\n",
                        o.wall / ours.wall, o.cpu / ours.cpu);
        if (o.tool != "vips" && o.tool != "im") continue;
        std::printf("ours' output size against %s:", Name(o.tool));
        for (const std::string& ext : kExtensions) {
            const auto mine = ours.bytes.find(ext), theirs = o.bytes.find(ext);
            if (mine != ours.bytes.end() && theirs != o.bytes.end() && theirs->second > 0)
                std::printf(" %s %.3f", ext.c_str(), mine->second / theirs->second);
        }
        std::printf("\n");
    }
    return 0;
}
