// Dropped files on Windows: the shell's own drop handles.
#include "platform/framework/dropfiles.h"

#include "platform/win32/windows/system_api.h"

void DragAcceptFiles(HWND hWnd, BOOL fAccept) {
    sys::DragAcceptFiles(hWnd, fAccept);
}

UINT DragQueryFileW(HDROP hDrop, UINT iFile, LPWSTR lpszFile, UINT cch) {
    return hDrop != nullptr ? sys::DragQueryFileW(hDrop, iFile, lpszFile, cch) : 0;
}

BOOL DragQueryPoint(HDROP hDrop, POINT* ppt) {
    return hDrop != nullptr && ppt != nullptr ? sys::DragQueryPoint(hDrop, ppt) : FALSE;
}

void DragFinish(HDROP hDrop) {
    if (hDrop != nullptr) sys::DragFinish(hDrop);
}

HWND ChildWindowFromPoint(HWND hWndParent, POINT Point) {
    return sys::ChildWindowFromPoint(hWndParent, Point);
}
