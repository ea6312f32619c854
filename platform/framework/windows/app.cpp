// The Windows side of the application: the icons, the loop and the message
// box, the system's own.
#include "framework.h"

namespace afx {

void RunAppLoop() {
    sys::MSG msg{};
    while (TakeMessage(msg, true) == Taken::Message) {
        sys::TranslateMessage(&msg);
        sys::DispatchMessageW(&msg);
    }
}

void EndAppLoop() {
    sys::PostQuitMessage(0);
}

int ShowMessageBox(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    return sys::MessageBoxW(hWnd, lpText, lpCaption, uType);
}

}  // namespace afx

// The icon group of the executable's resources, shared and never freed.
HICON CWinApp::LoadIconW(UINT nIDResource) const {
    return sys::LoadIconW(sys::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDResource));
}

// The system is ready before main; nothing to prepare.
void AfxInitFramework(int&, char**) {}

void InitCommonControls() {
    const sys::INITCOMMONCONTROLSEX controls{sizeof(sys::INITCOMMONCONTROLSEX),
                                             sys::ICC_PROGRESS_CLASS | sys::ICC_STANDARD_CLASSES};
    sys::InitCommonControlsEx(&controls);
}

// The dialogs host no ActiveX controls; nothing to switch on.
void AfxEnableControlContainer() {}
