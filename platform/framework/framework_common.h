// Inside of the dialog framework, the same on every system: the message
// table lookup, the test helpers' message box hook, and what each backend
// supplies to the shared application object. Not seen by the program.
#pragma once

#include <functional>
#include <string>

#include "platform/framework/afxwin.h"

namespace afx {

constexpr WPARAM MakeCommandParam(UINT id, UINT code) {
    return static_cast<WPARAM>((id & 0xFFFF) | ((code & 0xFFFF) << 16));
}

// The entry of map or its bases that handles the message; a command matches
// by its notification code and a control identifier in the entry's range.
const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, WPARAM wParam);

// Set by the test helpers; MessageBoxW calls it instead of showing a box.
using MessageBoxHook = std::function<void(std::u16string text, std::u16string caption)>;
void SetMessageBoxHookImpl(MessageBoxHook hook);

// Called when a dialog's window is destroyed: the application forgets its
// main window and, when its own loop runs, ends it.
void OnWindowDestroyed(CWnd* wnd);

// Each backend's own: the application's loop, run until EndAppLoop; and the
// message box the user sees.
void RunAppLoop();
void EndAppLoop();
int ShowMessageBox(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

}  // namespace afx
