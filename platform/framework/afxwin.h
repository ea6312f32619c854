// The dialog framework as the program sees it: an application object, a
// dialog built from a template, controls reached by identifier, a message
// table, window timers, fonts, colours and a message box. Implemented on Qt
// Widgets on Linux and on real Win32 windows on Windows (windows/); no type of
// either appears here.
// One header per concept stands behind this one.
#pragma once

#include "../win32/windows_types.h"
#include "../win32/winuser.h"
#include "afx_app.h"
#include "afx_controls.h"
#include "afx_dialog.h"
#include "afx_gdi.h"
#include "afx_msgmap.h"
#include "afx_wnd.h"
#include "dialog_template.h"
