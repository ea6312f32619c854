// The application object and the framework's entry point, the same on every
// system; the loop and the message box itself are the backend's.
#include "platform/framework/framework_common.h"

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
    if (g_inRun) EndAppLoop();
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

CWinApp* AfxGetApp() {
    return g_app;
}

int AfxWinMain(int argc, char** argv) {
    AfxInitFramework(argc, argv);
    CWinApp* app = AfxGetApp();
    if (!app) return -1;
    if (app->InitInstance()) {
        g_inRun = true;
        afx::RunAppLoop();
        g_inRun = false;
    }
    return app->ExitInstance();
}

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    if (g_messageBoxHook) {
        g_messageBoxHook(lpText ? lpText : u"", lpCaption ? lpCaption : u"");
        return IDOK;
    }
    return afx::ShowMessageBox(hWnd, lpText, lpCaption, uType);
}
