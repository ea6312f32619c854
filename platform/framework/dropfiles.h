// Files dropped on a window, the Windows way: a window that has called
// DragAcceptFiles receives WM_DROPFILES with a drop handle, reads the dropped
// paths and the drop point from it and releases it with DragFinish. On this
// platform the framework makes that message from the toolkit's drop events.
#pragma once

#include "afxwin.h"

constexpr UINT WM_DROPFILES = 0x0233;

struct HDROP__;
using HDROP = HDROP__*;

// fAccept: the window (and its controls, which take no drops of their own)
// accepts dropped files from now on; FALSE refuses them again.
void DragAcceptFiles(HWND hWnd, BOOL fAccept);
// iFile 0xFFFFFFFF: the number of dropped files. lpszFile null: the length of
// file iFile, without the terminator. Otherwise copies at most cch - 1
// characters and a terminator and returns the number copied. 0 for an index
// out of range or a finished drop.
UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch);
// The drop point in client coordinates of the window that received the
// message; TRUE when it lies in the client area.
BOOL DragQueryPoint(HDROP hDrop, POINT* ppt);
// Releases the drop's data; the handle answers nothing afterwards.
void DragFinish(HDROP hDrop);

// The child of hWndParent at a point in its client coordinates, first in
// template order (the Z order of a dialog), hidden and disabled children
// included; hWndParent itself when the point is on no child; null when the
// point is outside it.
HWND ChildWindowFromPoint(HWND hWndParent, POINT Point);

// void handler(HDROP): WM_DROPFILES, the handle in wParam.
template <class T, void (T::*F)(HDROP)>
LRESULT AfxThunkDrop(CCmdTarget* p, WPARAM w, LPARAM) {
    (static_cast<T*>(p)->*F)(reinterpret_cast<HDROP>(w));
    return 0;
}

// clang-format off
#define ON_WM_DROPFILES()                                                       \
    {WM_DROPFILES, 0, 0, 0,                                                     \
     &AfxThunkDrop<ThisClass, static_cast<void (ThisClass::*)(HDROP)>(&ThisClass::OnDropFiles)>},
// clang-format on
