// What only the Windows build has: the dialog manager makes the window from
// template 102 itself, and the start-up check reads a real PE module's
// version resource.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/converter_app.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/resources.h"
#include "platform/win32/windows/system_api.h"
#include "tests/support/dialog_session.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::u16string ClassOf(HWND hwnd) {
    char16_t name[64] = {};
    const int n = sys::GetClassNameW(hwnd, name, 64);
    return std::u16string(name, static_cast<std::size_t>(n > 0 ? n : 0));
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
        RECT got{};
        sys::GetWindowRect(child, &got);
        sys::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&got), 2);
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

}  // namespace
