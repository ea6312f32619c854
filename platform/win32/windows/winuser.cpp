// The top-level window calls on Windows: the system's own window list, unless
// a test has put its own in.
#include "platform/win32/winuser.h"

#include <algorithm>

#include "platform/win32/common.h"
#include "system_api.h"

namespace win32 {
namespace {
std::shared_ptr<WindowList>& TestList() {
    static std::shared_ptr<WindowList> list;
    return list;
}
}  // namespace

void SetWindowListForTesting(std::shared_ptr<WindowList> list) {
    TestList() = std::move(list);
}

}  // namespace win32

using win32::TestList;

HWND GetWindow(HWND hwnd, UINT uCmd) {
    if (auto& list = TestList()) {
        if (uCmd == GW_HWNDFIRST) return list->First();
        return uCmd == GW_HWNDNEXT && hwnd != nullptr ? list->Next(hwnd) : nullptr;
    }
    // The program starts from its own window: the first of its siblings is
    // the frontmost top-level window.
    return sys::GetWindow(hwnd != nullptr ? hwnd : sys::GetDesktopWindow(), uCmd);
}

BOOL IsWindowVisible(HWND hwnd) {
    if (auto& list = TestList()) return hwnd != nullptr && list->IsVisible(hwnd);
    return sys::IsWindowVisible(hwnd);
}

int GetWindowTextLengthW(HWND hwnd) {
    if (auto& list = TestList())
        return hwnd != nullptr ? static_cast<int>(list->Title(hwnd).size()) : 0;
    return sys::GetWindowTextLengthW(hwnd);
}

int GetWindowTextW(HWND hwnd, LPWSTR lpString, int nMaxCount) {
    auto& list = TestList();
    if (!list) return sys::GetWindowTextW(hwnd, lpString, nMaxCount);
    if (lpString == nullptr || nMaxCount <= 0) return 0;
    lpString[0] = 0;
    if (hwnd == nullptr) return 0;
    const std::u16string title = list->Title(hwnd);
    return static_cast<int>(
        win32::CopyTruncated(title, lpString, static_cast<std::size_t>(nMaxCount)));
}

HWND GetParent(HWND hwnd) {
    if (auto& list = TestList()) return hwnd != nullptr ? list->Owner(hwnd) : nullptr;
    return sys::GetParent(hwnd);
}

BOOL ShowWindow(HWND hwnd, int nCmdShow) {
    if (auto& list = TestList()) return hwnd != nullptr && list->Show(hwnd, nCmdShow);
    return sys::ShowWindow(hwnd, nCmdShow);
}

BOOL SetForegroundWindow(HWND hwnd) {
    if (auto& list = TestList()) return hwnd != nullptr && list->SetForeground(hwnd);
    return sys::SetForegroundWindow(hwnd);
}
