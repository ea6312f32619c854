// The application object: checks the imaging runtime beside the executable,
// starts it, runs the main window and shuts the runtime down.
#pragma once

#include "platform/framework/afxwin.h"

class CConverterApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    bool CheckImagingRuntime() const;
    void RunMainWindow();

    ULONG_PTR m_gdiplusToken = 0;
};

// The one application object, constructed before the framework's entry point.
extern CConverterApp theApp;
