// The top-level window calls, forwarded to one window list: the test's own
// when set, else the X server's, else an empty one.
#include "winuser.h"

#include <algorithm>

#include "common.h"
#include "x11_window_list.h"

namespace win32 {
namespace {

class EmptyWindowList : public WindowList {
public:
    HWND First() override { return nullptr; }
    HWND Next(HWND) override { return nullptr; }
    bool IsVisible(HWND) override { return false; }
    std::u16string Title(HWND) override { return {}; }
    HWND Owner(HWND) override { return nullptr; }
    bool Show(HWND, int) override { return false; }
    bool SetForeground(HWND) override { return false; }
};

std::shared_ptr<WindowList>& TestList() {
    static std::shared_ptr<WindowList> list;
    return list;
}

std::shared_ptr<WindowList> CurrentList() {
    if (TestList()) return TestList();
    if (auto x11 = X11WindowList()) return x11;
    static const auto empty = std::make_shared<EmptyWindowList>();
    return empty;
}

}  // namespace

void SetWindowListForTesting(std::shared_ptr<WindowList> list) {
    TestList() = std::move(list);
    // Whatever X connection was open belongs to an earlier setting.
    DropX11WindowList();
}

}  // namespace win32

HWND GetWindow(HWND hwnd, UINT uCmd) {
    auto list = win32::CurrentList();
    if (uCmd == GW_HWNDFIRST) return list->First();
    if (uCmd == GW_HWNDNEXT && hwnd != nullptr) return list->Next(hwnd);
    return nullptr;
}

BOOL IsWindowVisible(HWND hwnd) {
    return hwnd != nullptr && win32::CurrentList()->IsVisible(hwnd) ? TRUE : FALSE;
}

int GetWindowTextLengthW(HWND hwnd) {
    if (hwnd == nullptr) return 0;
    return static_cast<int>(win32::CurrentList()->Title(hwnd).size());
}

int GetWindowTextW(HWND hwnd, LPWSTR lpString, int nMaxCount) {
    if (lpString == nullptr || nMaxCount <= 0) return 0;
    lpString[0] = 0;
    if (hwnd == nullptr) return 0;
    const std::u16string title = win32::CurrentList()->Title(hwnd);
    return static_cast<int>(
        win32::CopyTruncated(title, lpString, static_cast<std::size_t>(nMaxCount)));
}

HWND GetParent(HWND hwnd) {
    return hwnd != nullptr ? win32::CurrentList()->Owner(hwnd) : nullptr;
}

BOOL ShowWindow(HWND hwnd, int nCmdShow) {
    return hwnd != nullptr && win32::CurrentList()->Show(hwnd, nCmdShow) ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND hwnd) {
    return hwnd != nullptr && win32::CurrentList()->SetForeground(hwnd) ? TRUE : FALSE;
}
