// Helpers for tests that drive a dialog through its real controls, on either
// system. Not used by the program. testing_qt.h adds what only the Qt
// framework has (its widgets and renderings).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "afxwin.h"

namespace afx::testing {

// A real mouse click in the middle of the control (nothing happens when it is
// disabled or hidden, as for a user).
void Click(CWnd* pControl);
// Replaces the text of an edit by typing: select all, then key presses.
void Type(CWnd* pEdit, const std::u16string& text);
// Typing into the focused control of the dialog's window as it stands:
// nothing is selected first, so the keys replace only a selection there.
void TypeKeys(CDialog* pDlg, const std::u16string& text);
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

// In a rendering of the dialog's window as it is now: how close the pixel of
// the control that comes closest to the colour is (sum of the channel
// differences; 0 = the colour itself).
int ClosestToColour(CDialog* pDlg, const CWnd* pControl, COLORREF colour);
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
