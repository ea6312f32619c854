// What only the Windows build has: the dialog manager makes the window from
// template 102 itself, at the display's resolution; the start-up check reads
// a real PE module's version resource; the run's zero-elapse steps come as
// soon as the queue is empty, and still let a click in between; paths beyond
// 260 units.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/converter_app.h"
#include "platform/framework/testing.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/resources.h"
#include "platform/win32/windows/long_path.h"
#include "platform/win32/windows/system_api.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::u16string ClassOf(HWND hwnd) {
    char16_t name[64] = {};
    const int n = sys::GetClassNameW(hwnd, name, 64);
    return std::u16string(name, static_cast<std::size_t>(n > 0 ? n : 0));
}

// A child window's rectangle in the dialog's client coordinates.
RECT RectInDialog(HWND dialog, HWND child) {
    RECT r{};
    sys::GetWindowRect(child, &r);
    sys::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Every control of the template is a window of the system's class for its
// kind, at its rectangle in the dialog font's units, with its caption.
TEST(WindowsTemplate, TheWindowIsTemplate102AsTheDialogManagerMakesIt) {
    const auto* res = win32::FindResourceEntry(win32::ResourceType::Dialog, IDD_MAIN_DIALOG);
    ASSERT_NE(res, nullptr);
    const auto& tmpl = *static_cast<const DialogTemplate*>(res->data);
    DialogSession s;
    const HWND dialog = s.Dlg().GetSafeHwnd();
    HWND child = sys::GetWindow(dialog, 5 /* GW_CHILD */);
    for (std::size_t i = 0; i < tmpl.itemCount; ++i, child = sys::GetWindow(child, GW_HWNDNEXT)) {
        const DialogItemTemplate& item = tmpl.items[i];
        SCOPED_TRACE(item.id);
        ASSERT_NE(child, nullptr);
        const std::u16string expected = item.kind == ControlKind::Edit    ? u"Edit"
                                        : item.kind == ControlKind::Label ? u"Static"
                                        : item.kind == ControlKind::ProgressBar
                                            ? u"msctls_progress32"
                                            : u"Button";
        EXPECT_EQ(ClassOf(child), expected);
        if (item.id != IDC_STATIC) {
            EXPECT_EQ(sys::GetDlgCtrlID(child), static_cast<int>(item.id));
        }
        // Position and size are converted each on its own, as the dialog
        // manager does.
        RECT units{item.x, item.y, item.cx, item.cy};
        sys::MapDialogRect(dialog, &units);
        const RECT want{units.left, units.top, units.left + units.right, units.top + units.bottom};
        const RECT got = RectInDialog(dialog, child);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.bottom, want.bottom);
        if (item.kind != ControlKind::Edit && item.id != IDC_STATUS_COUNTS &&
            item.id != IDC_STATUS_MESSAGE && item.id != IDC_START) {
            char16_t text[128] = {};
            sys::GetWindowTextW(child, text, 128);
            EXPECT_EQ(std::u16string(text), std::u16string(item.text));
        }
    }
}

// The start-up check against real files beside "the executable": the built
// module passes; a missing one, one a byte longer, and one of the right size
// without a version resource do not.
TEST(WindowsRuntimeCheck, OnlyTheBuiltModuleBesideTheExecutablePasses) {
    char16_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path built = fs::path(self).parent_path() / "gdiplus.dll";
    ASSERT_TRUE(fs::exists(built));
    TempDir dir;
    win32::SetModuleFileNameForTesting(WinPathOf(dir.Path() / "kestrune-orvane.exe"));
    CConverterApp app;
    const fs::path module = dir.Path() / "gdiplus.dll";
    EXPECT_FALSE(app.CheckImagingRuntime()) << "no module";
    fs::copy_file(built, module);
    EXPECT_TRUE(app.CheckImagingRuntime()) << "the built module";
    std::ofstream(module, std::ios::binary | std::ios::app) << '\0';
    EXPECT_FALSE(app.CheckImagingRuntime()) << "a byte longer";
    fs::resize_file(module, fs::file_size(built));
    std::ofstream(module, std::ios::binary | std::ios::in) << "no PE module here";
    EXPECT_FALSE(app.CheckImagingRuntime()) << "no version resource";
    win32::SetModuleFileNameForTesting(u"");
}

// The banner's font is 28 points at the display's resolution, and the
// window made at that resolution holds every control and the banner's text.
// Run at 96 and, in a prefix of its own, at 144 dpi (ORV_EXPECTED_DPI).
// With Common Controls 6 the controls are themed (Wine's default prefix has
// its light theme on, as Windows has its own), and a themed group box would
// draw its caption in the theme's colour: the captions keep the window's.
TEST(WindowsResolution, TheBannerFontTheLayoutAndTheColoursFollowTheDisplay) {
    DialogSession s;
    const HWND dialog = s.Dlg().GetSafeHwnd();
    const HDC screen = sys::GetDC(dialog);
    const int dpi = sys::GetDeviceCaps(screen, sys::LOGPIXELSY);
    sys::ReleaseDC(dialog, screen);
    if (const char* expected = std::getenv("ORV_EXPECTED_DPI")) {
        EXPECT_EQ(dpi, std::atoi(expected));
    }
    const HWND banner = sys::GetDlgItem(dialog, IDC_BANNER);
    const auto font =
        reinterpret_cast<sys::HGDIOBJ>(sys::SendMessageW(banner, sys::WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    ASSERT_NE(sys::GetObjectW(font, sizeof lf, &lf), 0);
    EXPECT_EQ(lf.lfHeight, -(dpi * 280 / 720));  // -37 at 96 dpi, -56 at 144

    RECT client{};
    sys::GetClientRect(dialog, &client);
    for (HWND child = sys::GetWindow(dialog, 5 /* GW_CHILD */); child != nullptr;
         child = sys::GetWindow(child, GW_HWNDNEXT)) {
        SCOPED_TRACE(sys::GetDlgCtrlID(child));
        const RECT r = RectInDialog(dialog, child);
        EXPECT_GE(r.left, client.left);
        EXPECT_GE(r.top, client.top);
        EXPECT_LE(r.right, client.right);
        EXPECT_LE(r.bottom, client.bottom);
    }
    const std::u16string text = s.Text(IDC_BANNER);
    const HDC dc = sys::GetDC(banner);
    const sys::HGDIOBJ old = sys::SelectObject(dc, font);
    sys::SIZE extent{};
    sys::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    sys::SelectObject(dc, old);
    sys::ReleaseDC(banner, dc);
    const RECT area = afx::testing::ControlRect(s.Item(IDC_BANNER));
    EXPECT_LE(extent.cx, area.right - area.left);
    EXPECT_LE(extent.cy, area.bottom - area.top);

    EXPECT_LE(s.ClosestToColour(IDC_SOURCE_GROUP, 0, 152, 0), 30);
    EXPECT_LE(s.ClosestToColour(IDC_SAVE_GROUP, 0, 152, 0), 30);
    EXPECT_LE(s.ClosestToColour(IDC_BANNER, 231, 86, 16), 30);
}

// The manifest is the executable's (the tests carry the same resources):
// per-monitor awareness, and the common controls of version 6, which the
// loader takes from the side-by-side store.
TEST(WindowsManifest, TheProcessIsPerMonitorAwareWithTheCommonControlsOfVersion6) {
    DialogSession s;  // the controls are made
    EXPECT_EQ(sys::GetAwarenessFromDpiAwarenessContext(sys::GetThreadDpiAwarenessContext()),
              2 /* per monitor */);
    char16_t path[MAX_PATH] = {};
    sys::GetModuleFileNameW(sys::GetModuleHandleW(u"comctl32.dll"), path, MAX_PATH);
    std::u16string lower(path);
    for (char16_t& c : lower) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    EXPECT_NE(lower.find(u"\\winsxs\\"), std::u16string::npos)
        << std::string(lower.begin(), lower.end());
}

int OutputsIn(const fs::path& folder) {
    int n = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        n += entry.path().filename().string().starts_with(".") ? 0 : 1;  // not a save's temporary
    return n;
}

// A click that arrives while the run goes from file to file, from elsewhere
// as a user's does, is taken between two files: the loop hands out a
// zero-elapse step only when nothing is queued. The run ends after the file
// in hand, every file it took written whole.
TEST(WindowsIdleTimers, StopDuringARunOfManySmallFilesEndsItAfterTheFileInHand) {
    constexpr int kFiles = 300;
    TempDir src;
    TempDir dst;
    const std::string png = MakeImage(ImageKind::Png, 4, 3);
    for (int i = 0; i < kFiles; ++i) src.Write(NumberedName("tiny", i, ".png"), png);
    DialogSession s;
    RunSettings r{src.WinPath(), dst.WinPath()};
    s.Apply(r);
    CWnd* stop = s.Item(IDC_STOP);
    s.Click(IDC_START);

    std::atomic<int> seen{-1};
    std::thread user([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (OutputsIn(dst.Path()) < 20 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        seen = OutputsIn(dst.Path());
        afx::testing::Click(stop);  // posted to the window's thread
    });
    const bool ended = s.WaitForRunEnd(std::chrono::seconds(120));
    user.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作已停止");
    const RunCounters c = s.Counters();
    const int written = OutputsIn(dst.Path());
    // The press lands during the file after the last one seen, or, when the
    // button's two mouse messages straddle a step, during the one after it.
    EXPECT_GE(seen.load(), 20);
    EXPECT_GE(written, seen.load());
    EXPECT_LE(written, seen.load() + 2);
    EXPECT_EQ(c.recognised, written);
    EXPECT_EQ(c.saved, written);
    EXPECT_LT(c.processed, kFiles);
}

// The verbatim form is made from full paths only, and only where needed.
TEST(WindowsLongPaths, TheVerbatimFormTakesDrivePathsAndSharesFromTheLimitOn) {
    const std::u16string tail(300, u'n');
    const std::u16string edge(win32::kVerbatimFrom - 3, u'e');
    const struct {
        std::u16string full;
        std::u16string form;
    } cases[] = {
        {u"C:\\short\\name.png", u""},
        {u"C:\\" + edge.substr(1), u""},
        {u"C:\\" + edge, u"\\\\?\\C:\\" + edge},
        {u"d:\\" + tail, u"\\\\?\\d:\\" + tail},
        {u"\\\\server\\share\\" + tail, u"\\\\?\\UNC\\server\\share\\" + tail},
        {u"\\\\?\\C:\\" + tail, u""},
        {u"\\\\.\\pipe\\" + tail, u""},
        {u"\\" + tail, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.full.begin(), c.full.begin() + 12));
        EXPECT_EQ(win32::VerbatimForm<char16_t>(c.full), c.form);
    }
}

fs::path Verbatim(const fs::path& p) {
    return fs::path(L"\\\\?\\" + p.wstring());
}

// The files of a folder at any length (the C runtime's folder reading stops
// at 260 units), sorted.
std::vector<std::string> FileNamesAt(const fs::path& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const std::u16string pattern = Verbatim(folder / "*").u16string();
    const HANDLE search = sys::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                                FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(fs::path(std::u16string(found.cFileName)).string());
    } while (sys::FindNextFileW(search, &found));
    sys::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// A source tree whose files' paths reach 400 units is converted into a
// destination beyond 260 units that the run creates: scan, folder creation,
// reading, the save's temporary and its rename all take the long paths.
TEST(WindowsLongPaths, ATreeWhosePathsReach400UnitsIsConverted) {
    TempDir src;
    TempDir dst;
    const std::string png = MakeImage(ImageKind::Png, 3, 2);
    std::vector<std::string> names;
    fs::path dir = src.Path();
    for (int level = 0;; ++level) {
        dir /= std::string(58, static_cast<char>('a' + level)) + std::to_string(level);
        ASSERT_TRUE(fs::create_directory(Verbatim(dir)));
        const std::string name = "p" + std::to_string(level);
        const fs::path file = dir / (name + ".png");
        std::ofstream(Verbatim(file), std::ios::binary) << png;
        names.push_back(name + ".PNG");
        if (file.wstring().size() >= 400) break;
    }
    const fs::path out = dst.Path() / std::string(130, 'o') / std::string(130, 'u');
    ASSERT_GT(out.wstring().size(), 260u);
    DialogSession s;
    RunSettings r{src.WinPath(), WinPathOf(out) + u"\\"};
    s.Apply(r);
    s.Click(IDC_START);
    ASSERT_TRUE(s.WaitForRunEnd());
    ASSERT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！")
        << std::string(s.Text(IDC_STATUS_COUNTS).begin(), s.Text(IDC_STATUS_COUNTS).end());
    EXPECT_EQ(s.Counters().recognised, static_cast<int>(names.size()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(FileNamesAt(out), names);
    for (const std::string& name : names)
        EXPECT_EQ(SniffFormat(ReadFileBytes(Verbatim(out / name))), "PNG") << name;
}

}  // namespace
