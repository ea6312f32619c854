// Helpers for tests that drive a dialog through its real widgets. Not used by
// the program.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "afxwin.h"

class QWidget;
class QImage;

namespace afx::testing {

QWidget* WidgetOf(const CWnd* pWnd);
// The top-level window of a dialog.
QWidget* WindowOf(const CDialog* pDlg);

// A real mouse click in the middle of the control (nothing happens when it is
// disabled or hidden, as for a user).
void Click(CWnd* pControl);
// Replaces the text of an edit by typing: select all, then key presses.
void Type(CWnd* pEdit, const std::u16string& text);
// Key presses to the focused control of the dialog's window.
void PressEnter(CDialog* pDlg);
void PressEscape(CDialog* pDlg);
// The close box.
void RequestClose(CDialog* pDlg);
// Drops local files (host paths, any bytes) from another program on the
// middle of a control, routed as the toolkit routes such a drag: to the
// innermost widget there that takes drops. True when the drop was taken.
bool DropFiles(CWnd* pOver, const std::vector<std::string>& hostPaths);

// A key press to the focused control of the dialog's window.
enum class Key { Tab, Backtab, Up, Down, Left, Right, Space };
void PressKey(CDialog* pDlg, Key key);

// Runs the event loop until pred is true or the time is up; returns pred().
bool PumpUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Runs the event loop once, for everything pending.
void PumpOnce();

// How many timers the event loop holds for the dialog's window.
int RegisteredTimers(CDialog* pDlg);

// A rendering of the dialog's window as it is now.
QImage Grab(CDialog* pDlg);
// What the screen shows of the dialog's window now: the pixels drawn so far,
// without drawing anything (under the offscreen platform).
QImage GrabScreen(CDialog* pDlg);
// The family the font of a control resolved to.
std::u16string ResolvedFamily(const CWnd* pControl);
// Geometry of a control in pixels, relative to the window's client area.
RECT ControlRect(const CWnd* pControl);

// Replaces MessageBoxW for tests: the hook gets text and caption and returns
// at once. An empty function removes it.
void SetMessageBoxHook(std::function<void(std::u16string text, std::u16string caption)> hook);
// Called with the pattern as each search of CFileFind starts, before it
// reads the folder. An empty function removes it.
void SetFileFindHook(std::function<void(const std::u16string& pattern)> hook);

}  // namespace afx::testing
