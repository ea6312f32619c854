// Our side of the imaging benchmark: the program's own road through the flat
// API (the loader, the module beside the executable) for every listed file:
// load once, save as PNG, BMP, JPEG, GIF and TIFF, release. Prints the
// megapixels converted and the CPU time of each step (all threads'), for
// the harness. With ORV_BENCH_WALL set it times each step by the wall clock
// instead, which shows what a second thread gains, and adds a line of each
// step's CPU time (CPU over twice the wall time: how well two threads share).
// The Windows build runs the same program under Wine (bench/windows/
// runtime.sh); its list and folder then hold Windows paths.
// Usage: bench_imaging_ours <list> <output folder>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gdiplus/gdiplus.h"
#ifndef _WIN32
#include "platform/win32/host_path.h"
#endif

namespace {

// A path of the list (UTF-8) as the flat API takes it: on Linux mapped from
// the host's form, on Windows as it is.
std::u16string PathOf(const std::string& path) {
#ifdef _WIN32
    std::u16string out;
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t code = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < path.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(path[i + k]) & 0x3F);
        i += 1 + extra;
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD7C0 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
#else
    return win32::FromHostPath(path);
#endif
}

struct Format {
    const char16_t* mime;
    const char* extension;
    CLSID clsid{};
    double seconds = 0;
    double cpu = 0;  // process CPU time, whichever clock `seconds` is
};

bool FindEncoder(Format& format) {
    UINT count = 0, size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Ok || size == 0) return false;
    std::vector<unsigned char> block(size);
    auto* info = reinterpret_cast<ImageCodecInfo*>(block.data());
    if (GdipGetImageEncoders(count, size, info) != Ok) return false;
    for (UINT i = 0; i < count; ++i)
        if (std::u16string_view(info[i].MimeType) == format.mime) {
            format.clsid = info[i].Clsid;
            return true;
        }
    return false;
}

// The clock the steps are timed by: process CPU time, or the wall clock.
double StepNow() {
    static const clockid_t clock =
        std::getenv("ORV_BENCH_WALL") != nullptr ? CLOCK_MONOTONIC : CLOCK_PROCESS_CPUTIME_ID;
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}
double ProcessCpuNow() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The list file and the output folder in UTF-8, as the list's lines are.
int Run(const std::string& listFile, const std::string& outFolder) {
    ULONG_PTR token = 0;
    GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
    if (GdiplusStartup(&token, &input, nullptr) != Ok) return 3;
    std::vector<Format> formats = {{u"image/png", "png"},
                                   {u"image/bmp", "bmp"},
                                   {u"image/jpeg", "jpg"},
                                   {u"image/gif", "gif"},
                                   {u"image/tiff", "tif"}};
    for (Format& f : formats)
        if (!FindEncoder(f)) return 4;

    std::ifstream list(std::filesystem::path(std::u8string(listFile.begin(), listFile.end())));
    double megapixels = 0, decodeSeconds = 0, decodeCpu = 0;
    int index = 0, failures = 0;
    for (std::string path; std::getline(list, path); ++index) {
        const double start = StepNow(), startCpu = ProcessCpuNow();
        GpBitmap* bitmap = nullptr;
        if (!path.empty() && path.back() == '\r') path.pop_back();
        if (GdipCreateBitmapFromFile(PathOf(path).c_str(), &bitmap) != Ok) {
            failures += 5;
            continue;
        }
        decodeSeconds += StepNow() - start;
        decodeCpu += ProcessCpuNow() - startCpu;
        auto* image = reinterpret_cast<GpImage*>(bitmap);
        UINT w = 0, h = 0;
        GdipGetImageWidth(image, &w);
        GdipGetImageHeight(image, &h);
        megapixels += double(w) * h / 1e6;
        for (Format& f : formats) {
            const std::string out = outFolder + "/" + std::to_string(index) + "." + f.extension;
            const double saveStart = StepNow(), saveCpu = ProcessCpuNow();
            if (GdipSaveImageToFile(image, PathOf(out).c_str(), &f.clsid, nullptr) != Ok)
                ++failures;
            f.seconds += StepNow() - saveStart;
            f.cpu += ProcessCpuNow() - saveCpu;
        }
        GdipDisposeImage(image);
    }
    GdiplusShutdown(token);
    std::printf("megapixels %.3f\nfailed %d\ndecode %.3f\n", megapixels, failures, decodeSeconds);
    for (const Format& f : formats) std::printf("%s %.3f\n", f.extension, f.seconds);
    if (std::getenv("ORV_BENCH_WALL") != nullptr) {
        std::printf("cpu: decode %.3f", decodeCpu);
        for (const Format& f : formats) std::printf(" %s %.3f", f.extension, f.cpu);
        std::printf("\n");
    }
    return 0;
}

}  // namespace

#ifdef _WIN32
// The arguments in UTF-16 (linked with -municode), taken as UTF-8: main's
// come in the ANSI code page, which cannot spell every folder name.
extern "C" int wmain(int argc, wchar_t** argv) {
    const auto utf8 = [](const wchar_t* arg) {
        const std::u8string text = std::filesystem::path(arg).u8string();
        return std::string(text.begin(), text.end());
    };
    return argc == 3 ? Run(utf8(argv[1]), utf8(argv[2])) : 2;
}
#else
int main(int argc, char** argv) {
    return argc == 3 ? Run(argv[1], argv[2]) : 2;
}
#endif
