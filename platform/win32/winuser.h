// The list of top-level windows, front to back, as the window search needs it.
// Read from the X server when there is one; a test may put its own list in.
#pragma once

#include <memory>
#include <string>

#include "windows_types.h"

constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDNEXT = 2;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOW = 5;
constexpr int SW_RESTORE = 9;

// Top-level window list. hwnd of GetWindow is only the starting point.
HWND GetWindow(HWND hwnd, UINT uCmd);
BOOL IsWindowVisible(HWND hwnd);
int GetWindowTextLengthW(HWND hwnd);
int GetWindowTextW(HWND hwnd, LPWSTR lpString, int nMaxCount);
HWND GetParent(HWND hwnd);  // the parent or the owner
BOOL ShowWindow(HWND hwnd, int nCmdShow);
BOOL SetForegroundWindow(HWND hwnd);

namespace win32 {

// What the window calls above read and do.
class WindowList {
public:
    virtual ~WindowList() = default;
    virtual HWND First() = 0;
    virtual HWND Next(HWND after) = 0;
    virtual bool IsVisible(HWND w) = 0;
    virtual std::u16string Title(HWND w) = 0;
    virtual HWND Owner(HWND w) = 0;
    virtual bool Show(HWND w, int cmd) = 0;
    virtual bool SetForeground(HWND w) = 0;
};

// Replaces the X server's list (null puts it back).
void SetWindowListForTesting(std::shared_ptr<WindowList> list);

}  // namespace win32
