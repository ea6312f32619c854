// Test helpers that drive a dialog through its real controls on Windows:
// mouse and key messages posted to the controls and taken through the same
// loop as the program's (IsDialogMessageW first), so the controls and the
// dialog manager do what they do for a user.
#include "platform/framework/testing.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "framework.h"

namespace afx::testing {
namespace {

HWND Hwnd(const CWnd* pWnd) {
    return pWnd ? pWnd->GetSafeHwnd() : nullptr;
}

LPARAM PointParam(int x, int y) {
    return static_cast<LPARAM>((x & 0xFFFF) | ((y & 0xFFFF) << 16));
}

// Where keys go: the focused window when it belongs to the dialog.
HWND KeyTarget(CDialog* pDlg) {
    const HWND dialog = Hwnd(pDlg);
    if (dialog == nullptr) return nullptr;
    const HWND focus = sys::GetFocus();
    return focus != nullptr && sys::GetAncestor(focus, sys::GA_ROOT) == dialog ? focus : dialog;
}

bool DispatchOne(sys::MSG& msg) {
    const HWND root = msg.hwnd != nullptr ? sys::GetAncestor(msg.hwnd, sys::GA_ROOT) : nullptr;
    DialogHost* host = root != nullptr ? DialogHost::Of(root) : nullptr;
    if (host != nullptr && host->Window().hwnd == root && sys::IsDialogMessageW(root, &msg))
        return true;
    sys::TranslateMessage(&msg);
    sys::DispatchMessageW(&msg);
    return true;
}

// Takes what a user's action has queued (the input and what it posts), but
// no timer tick: as for a user, the action completes before the run's next
// step may run.
void PumpInput() {
    sys::MSG msg{};
    for (;;) {
        if (sys::PeekMessageW(&msg, nullptr, 0, WM_TIMER - 1, sys::PM_REMOVE) ||
            sys::PeekMessageW(&msg, nullptr, WM_TIMER + 1, 0xFFFFFFFF, sys::PM_REMOVE))
            DispatchOne(msg);
        else
            return;
    }
}

void PressVirtualKey(CDialog* pDlg, int vk, bool shift = false) {
    const HWND target = KeyTarget(pDlg);
    if (target == nullptr) return;
    // The dialog manager reads Shift from the keyboard state (Shift+Tab).
    BYTE saved[256] = {};
    sys::GetKeyboardState(saved);
    BYTE state[256];
    std::copy(std::begin(saved), std::end(saved), state);
    state[sys::VK_SHIFT] = shift ? 0x80 : 0;
    sys::SetKeyboardState(state);
    sys::PostMessageW(target, sys::WM_KEYDOWN, static_cast<WPARAM>(vk), 1);
    if (vk == sys::VK_SPACE) sys::PostMessageW(target, sys::WM_CHAR, u' ', 1);
    sys::PostMessageW(target, sys::WM_KEYUP, static_cast<WPARAM>(vk), (LPARAM{3} << 30) | 1);
    PumpInput();
    sys::SetKeyboardState(saved);
}

}  // namespace

void Click(CWnd* pControl) {
    const HWND control = Hwnd(pControl);
    if (control == nullptr || !sys::IsWindowVisible(control) || !sys::IsWindowEnabled(control))
        return;
    RECT r{};
    sys::GetClientRect(control, &r);
    const LPARAM at = PointParam((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    sys::PostMessageW(control, sys::WM_LBUTTONDOWN, sys::MK_LBUTTON, at);
    sys::PostMessageW(control, sys::WM_LBUTTONUP, 0, at);
    PumpInput();
}

void Type(CWnd* pEdit, const std::u16string& text) {
    const HWND edit = Hwnd(pEdit);
    if (edit == nullptr || !sys::IsWindowEnabled(edit)) return;
    sys::SetFocus(edit);
    sys::SendMessageW(edit, sys::EM_SETSEL, 0, -1);
    if (text.empty()) {
        sys::PostMessageW(edit, sys::WM_KEYDOWN, sys::VK_DELETE, 1);
        sys::PostMessageW(edit, sys::WM_KEYUP, sys::VK_DELETE, (LPARAM{3} << 30) | 1);
    }
    for (char16_t unit : text) sys::PostMessageW(edit, sys::WM_CHAR, unit, 1);
    PumpInput();
}

void TypeKeys(CDialog* pDlg, const std::u16string& text) {
    const HWND target = KeyTarget(pDlg);
    if (target == nullptr) return;
    for (char16_t unit : text) sys::PostMessageW(target, sys::WM_CHAR, unit, 1);
    PumpInput();
}

void PressEnter(CDialog* pDlg) {
    PressVirtualKey(pDlg, sys::VK_RETURN);
}

void PressEscape(CDialog* pDlg) {
    PressVirtualKey(pDlg, sys::VK_ESCAPE);
}

void RequestClose(CDialog* pDlg) {
    if (const HWND dialog = Hwnd(pDlg))
        sys::SendMessageW(dialog, sys::WM_SYSCOMMAND, sys::SC_CLOSE, 0);
    PumpInput();
}

void PressKey(CDialog* pDlg, Key key) {
    switch (key) {
        case Key::Tab:
            return PressVirtualKey(pDlg, sys::VK_TAB);
        case Key::Backtab:
            return PressVirtualKey(pDlg, sys::VK_TAB, true);
        case Key::Up:
            return PressVirtualKey(pDlg, sys::VK_UP);
        case Key::Down:
            return PressVirtualKey(pDlg, sys::VK_DOWN);
        case Key::Left:
            return PressVirtualKey(pDlg, sys::VK_LEFT);
        case Key::Right:
            return PressVirtualKey(pDlg, sys::VK_RIGHT);
        case Key::Space:
            return PressVirtualKey(pDlg, sys::VK_SPACE);
    }
}

// A drop as the shell makes it: the paths in a DROPFILES block handed to the
// nearest window, from the control up, that accepts files.
bool DropFiles(CWnd* pOver, const std::vector<std::string>& hostPaths) {
    HWND target = Hwnd(pOver);
    if (target == nullptr) return false;
    RECT r{};
    sys::GetClientRect(target, &r);
    POINT at{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
    while (target != nullptr &&
           (sys::GetWindowLongPtrW(target, sys::GWL_EXSTYLE) & sys::WS_EX_ACCEPTFILES) == 0) {
        const HWND parent = sys::GetParent(target);
        if (parent != nullptr) sys::MapWindowPoints(target, parent, &at, 1);
        target = parent;
    }
    if (target == nullptr) return false;
    std::u16string names;
    for (const std::string& path : hostPaths) {
        const int n = sys::MultiByteToWideChar(sys::CP_UTF8, 0, path.data(),
                                               static_cast<int>(path.size()), nullptr, 0);
        std::u16string wide(static_cast<std::size_t>(n), u'\0');
        sys::MultiByteToWideChar(sys::CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                 wide.data(), n);
        names += wide;
        names += u'\0';
    }
    names += u'\0';
    const std::size_t bytes = sizeof(sys::DROPFILES) + names.size() * sizeof(char16_t);
    HANDLE memory = sys::GlobalAlloc(sys::GMEM_MOVEABLE | sys::GMEM_ZEROINIT, bytes);
    if (memory == nullptr) return false;
    auto* block = static_cast<unsigned char*>(sys::GlobalLock(memory));
    const sys::DROPFILES header{sizeof(sys::DROPFILES), at, FALSE, TRUE};
    std::copy_n(reinterpret_cast<const unsigned char*>(&header), sizeof header, block);
    std::copy_n(reinterpret_cast<const unsigned char*>(names.data()),
                names.size() * sizeof(char16_t), block + sizeof header);
    sys::GlobalUnlock(memory);
    sys::PostMessageW(target, 0x0233 /* WM_DROPFILES */, reinterpret_cast<WPARAM>(memory), 0);
    PumpInput();
    return true;
}

// The program's loop, a turn at a time: nothing waits while a zero-elapse
// timer is due.
bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        PumpOnce();
        if (pred()) return true;
        if (std::chrono::steady_clock::now() >= end) return pred();
        if (!IdleTimerDue()) sys::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, sys::QS_ALLINPUT);
    }
}

// Everything queued, then one due zero-elapse timer (one step of a run) as
// the loop hands it out once the queue is empty, then what that step queued.
void PumpOnce() {
    sys::MSG msg{};
    while (sys::PeekMessageW(&msg, nullptr, 0, 0, sys::PM_REMOVE)) DispatchOne(msg);
    if (TakeMessage(msg, false) != Taken::Message) return;
    DispatchOne(msg);
    while (sys::PeekMessageW(&msg, nullptr, 0, 0, sys::PM_REMOVE)) DispatchOne(msg);
}

// The dialog's pixels as the screen holds them, after any pending painting.
int ClosestToColour(CDialog* pDlg, const CWnd* pControl, COLORREF colour) {
    const HWND control = Hwnd(pControl);
    if (Hwnd(pDlg) == nullptr || control == nullptr) return 3 * 255;
    sys::UpdateWindow(Hwnd(pDlg));
    RECT r{};
    sys::GetClientRect(control, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return 3 * 255;
    const HDC screen = sys::GetDC(control);
    const HDC memory = sys::CreateCompatibleDC(screen);
    sys::BITMAPINFOHEADER info{
        sizeof(sys::BITMAPINFOHEADER), width, -height, 1, 32, 0, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const sys::HGDIOBJ bitmap =
        sys::CreateDIBSection(screen, &info, sys::DIB_RGB_COLORS, &bits, nullptr, 0);
    int best = 3 * 255;
    if (bitmap != nullptr && bits != nullptr) {
        const sys::HGDIOBJ old = sys::SelectObject(memory, bitmap);
        sys::BitBlt(memory, 0, 0, width, height, screen, 0, 0, sys::SRCCOPY);
        const auto* p = static_cast<const DWORD*>(bits);
        for (int i = 0; i < width * height; ++i) {
            const DWORD bgr = p[i];
            best = std::min(best, std::abs(int((bgr >> 16) & 0xFF) - GetRValue(colour)) +
                                      std::abs(int((bgr >> 8) & 0xFF) - GetGValue(colour)) +
                                      std::abs(int(bgr & 0xFF) - GetBValue(colour)));
        }
        sys::SelectObject(memory, old);
        sys::DeleteObject(bitmap);
    }
    sys::DeleteDC(memory);
    sys::ReleaseDC(control, screen);
    return best;
}

std::u16string ResolvedFamily(const CWnd* pControl) {
    const HWND control = Hwnd(pControl);
    if (control == nullptr) return {};
    const auto font =
        reinterpret_cast<sys::HGDIOBJ>(sys::SendMessageW(control, sys::WM_GETFONT, 0, 0));
    const HDC dc = sys::GetDC(control);
    const sys::HGDIOBJ old = font != nullptr ? sys::SelectObject(dc, font) : nullptr;
    char16_t face[64] = {};
    const int n = sys::GetTextFaceW(dc, 64, face);
    if (old != nullptr) sys::SelectObject(dc, old);
    sys::ReleaseDC(control, dc);
    return n > 0 ? std::u16string(face) : std::u16string();
}

RECT ControlRect(const CWnd* pControl) {
    const HWND control = Hwnd(pControl);
    RECT r{0, 0, 0, 0};
    if (control == nullptr) return r;
    sys::GetWindowRect(control, &r);
    sys::MapWindowPoints(nullptr, sys::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace afx::testing
