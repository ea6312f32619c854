// The application object and the framework's entry points.
#pragma once

#include "afx_wnd.h"

void AfxEnableControlContainer();

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // An icon group of the executable's resources; null when there is none.
    HICON LoadIconW(UINT nIDResource) const;

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The framework's entry point: prepares the platform (one Qt application,
// font substitutes), runs the application object's InitInstance, its loop when
// InitInstance returns true, and ExitInstance, whose result it returns.
int AfxWinMain(int argc, char** argv);

// Prepares the platform without running the application object; for tests
// and tools that drive a dialog themselves. Safe to call more than once.
void AfxInitFramework(int& argc, char** argv);
