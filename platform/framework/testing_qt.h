// Test helpers that only the Qt framework has: the widgets behind controls
// and renderings of a window.
#pragma once

#include "testing.h"

class QWidget;
class QImage;

namespace afx::testing {

QWidget* WidgetOf(const CWnd* pWnd);
// The top-level window of a dialog.
QWidget* WindowOf(const CDialog* pDlg);
// How many timers the event loop holds for the dialog's window.
int RegisteredTimers(CDialog* pDlg);
// A rendering of the dialog's window as it is now.
QImage Grab(CDialog* pDlg);
// What the screen shows of the dialog's window now: the pixels drawn so far,
// without drawing anything (under the offscreen platform).
QImage GrabScreen(CDialog* pDlg);

}  // namespace afx::testing
