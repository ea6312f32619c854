// The application object, the framework's entry point and the message box on
// Windows.
#include "framework_windows.h"

namespace {
CWinApp* g_app = nullptr;
bool g_inRun = false;  // the application's own loop (AfxWinMain) runs
afx::MessageBoxHook g_messageBoxHook;
}  // namespace

namespace afx {

void SetMessageBoxHookImpl(MessageBoxHook hook) {
    g_messageBoxHook = std::move(hook);
}

// As on Windows, the end of the main window ends the application's loop.
void OnWindowDestroyed(CWnd* wnd) {
    if (!g_app || g_app->m_pMainWnd != wnd) return;
    g_app->m_pMainWnd = nullptr;
    if (g_inRun) sys::PostQuitMessage(0);
}

}  // namespace afx

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}
int CWinApp::ExitInstance() {
    return 0;
}

// The icon group of the executable's resources, shared and never freed.
HICON CWinApp::LoadIconW(UINT nIDResource) const {
    return sys::LoadIconW(sys::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDResource));
}

CWinApp* AfxGetApp() {
    return g_app;
}

// The system is ready before main; nothing to prepare.
void AfxInitFramework(int&, char**) {}

int AfxWinMain(int argc, char** argv) {
    AfxInitFramework(argc, argv);
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    if (app->InitInstance()) {
        g_inRun = true;
        sys::MSG msg{};
        while (sys::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            sys::TranslateMessage(&msg);
            sys::DispatchMessageW(&msg);
        }
        g_inRun = false;
    }
    return app->ExitInstance();
}

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    if (g_messageBoxHook) {
        g_messageBoxHook(lpText ? lpText : u"", lpCaption ? lpCaption : u"");
        return IDOK;
    }
    return sys::MessageBoxW(hWnd, lpText, lpCaption, uType);
}

void InitCommonControls() {
    const sys::INITCOMMONCONTROLSEX controls{sizeof(sys::INITCOMMONCONTROLSEX),
                                             sys::ICC_PROGRESS_CLASS | sys::ICC_STANDARD_CLASSES};
    sys::InitCommonControlsEx(&controls);
}

// The dialogs host no ActiveX controls; nothing to switch on.
void AfxEnableControlContainer() {}
