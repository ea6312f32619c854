// The real Windows API, as the Windows backend of platform/ calls it.
//
// The program's text type is char16_t on both systems; on Windows wchar_t is
// also one UTF-16 code unit of the same size and representation, so the W
// functions are declared here with the program's char16_t and take its
// buffers as they are, with no copy and no cast. <windows.h> cannot be used
// beside the program's own declarations (its WCHAR is wchar_t, its DWORD and
// LONG are other types, and its macros would rewrite the program's
// constants), so only the functions and structures this backend calls are
// declared, in namespace sys, with C linkage: they bind to the system DLLs'
// own exports through the import libraries.
#pragma once

#include <cstddef>

#include "platform/win32/windows_types.h"

namespace sys {

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
    DWORD lPrivate;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct INITCOMMONCONTROLSEX {
    DWORD dwSize;
    DWORD dwICC;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct SIZE {
    LONG cx;
    LONG cy;
};

struct DROPFILES {
    DWORD pFiles;
    POINT pt;
    BOOL fNC;
    BOOL fWide;
};

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);
using HGDIOBJ = void*;

// Window messages and their parts.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ENTERIDLE = 0x0121;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT PBM_SETPOS = 0x0402;
constexpr UINT PBM_SETRANGE32 = 0x0406;
constexpr UINT PBM_GETRANGE = 0x0407;
constexpr UINT PBM_GETPOS = 0x0408;

constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT EM_SETSEL = 0x00B1;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;
constexpr UINT QS_ALLINPUT = 0x04FF;
constexpr UINT GA_ROOT = 2;
constexpr int GWL_EXSTYLE = -20;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT CP_UTF8 = 65001;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_DELETE = 0x2E;

constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_USER = 16;  // 64-bit layout
constexpr int GWL_STYLE = -16;
constexpr UINT GW_CHILD = 5;
constexpr LONG_PTR BS_TYPEMASK = 0x0F;
constexpr LONG_PTR BS_GROUPBOX = 0x07;
constexpr UINT ICC_PROGRESS_CLASS = 0x0020;
constexpr UINT ICC_STANDARD_CLASSES = 0x4000;
constexpr int COLOR_BTNFACE = 15;
constexpr int LOGPIXELSY = 90;

constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

extern "C" {

// kernel32
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                       LPWSTR* lpFilePart);
HANDLE FindFirstFileExW(LPCWSTR lpFileName, int fInfoLevelId, LPVOID lpFindFileData, int fSearchOp,
                        LPVOID lpSearchFilter, DWORD dwAdditionalFlags);
BOOL FindNextFileW(HANDLE hFindFile, LPVOID lpFindFileData);
BOOL FindClose(HANDLE hFindFile);
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
DWORD GetFileAttributesW(LPCWSTR lpFileName);
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL CloseHandle(HANDLE hObject);
BOOL GetFileInformationByHandle(HANDLE hFile, void* lpFileInformation);
DWORD GetFinalPathNameByHandleW(HANDLE hFile, LPWSTR lpszFilePath, DWORD cchFilePath,
                                DWORD dwFlags);
void SetLastError(DWORD dwErrCode);
int MulDiv(int nNumber, int nNumerator, int nDenominator);
DWORD GetTickCount();

HANDLE GlobalAlloc(UINT uFlags, std::size_t dwBytes);
LPVOID GlobalLock(HANDLE hMem);
BOOL GlobalUnlock(HANDLE hMem);
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, const char* lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);
DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                DWORD dwMilliseconds, DWORD dwWakeMask);

// shlwapi
BOOL PathFileExistsW(LPCWSTR pszPath);
BOOL PathIsDirectoryW(LPCWSTR pszPath);

// version
DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, DWORD* lpdwHandle);
BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData);
BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen);

// ole32 and shell32
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void CoTaskMemFree(LPVOID pv);
LPVOID CoTaskMemAlloc(std::size_t cb);
HRESULT SHGetSpecialFolderLocation(HWND hwnd, int csidl, void** ppidl);
BOOL SHGetPathFromIDListW(const void* pidl, LPWSTR pszPath);
void ILFree(void* pidl);
void* SHBrowseForFolderW(void* lpbi);
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd);
void DragAcceptFiles(HWND hWnd, BOOL fAccept);
UINT DragQueryFileW(void* hDrop, UINT iFile, LPWSTR lpszFile, UINT cch);
BOOL DragQueryPoint(void* hDrop, POINT* ppt);
void DragFinish(void* hDrop);

// comctl32
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);

// user32: windows and the dialog manager
HWND CreateDialogIndirectParamW(HINSTANCE hInstance, LPCVOID lpTemplate, HWND hWndParent,
                                DLGPROC lpDialogFunc, LPARAM dwInitParam);
BOOL IsDialogMessageW(HWND hDlg, MSG* lpMsg);
BOOL GetMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL PeekMessageW(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL TranslateMessage(const MSG* lpMsg);
LRESULT DispatchMessageW(const MSG* lpMsg);
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int nExitCode);
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
int GetDlgCtrlID(HWND hWnd);
BOOL SetWindowTextW(HWND hWnd, LPCWSTR lpString);
int GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int GetWindowTextLengthW(HWND hWnd);
BOOL EnableWindow(HWND hWnd, BOOL bEnable);
BOOL IsWindowEnabled(HWND hWnd);
BOOL ShowWindow(HWND hWnd, int nCmdShow);
BOOL IsWindowVisible(HWND hWnd);
BOOL IsIconic(HWND hWnd);
HWND SetFocus(HWND hWnd);
HWND GetFocus();
BOOL GetClientRect(HWND hWnd, RECT* lpRect);
BOOL InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
BOOL UpdateWindow(HWND hWnd);
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, void* lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);
HWND GetWindow(HWND hWnd, UINT uCmd);
HWND GetParent(HWND hWnd);
HWND GetDesktopWindow();
BOOL SetForegroundWindow(HWND hWnd);
HWND ChildWindowFromPoint(HWND hWndParent, POINT Point);
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);
int GetSystemMetrics(int nIndex);
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad);
BOOL DrawIcon(HDC hDC, int X, int Y, HICON hIcon);
HDC BeginPaint(HWND hWnd, PAINTSTRUCT* lpPaint);
BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);
HDC GetDC(HWND hWnd);
int ReleaseDC(HWND hWnd, HDC hDC);
HBRUSH GetSysColorBrush(int nIndex);
BOOL GetWindowRect(HWND hWnd, RECT* lpRect);
int MapWindowPoints(HWND hWndFrom, HWND hWndTo, POINT* lpPoints, UINT cPoints);
HWND GetAncestor(HWND hwnd, UINT gaFlags);
BOOL GetKeyboardState(BYTE* lpKeyState);
BOOL MapDialogRect(HWND hDlg, RECT* lpRect);
int GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount);
void* GetThreadDpiAwarenessContext();
int GetAwarenessFromDpiAwarenessContext(void* value);
BOOL SetKeyboardState(BYTE* lpKeyState);

// uxtheme
HRESULT SetWindowTheme(HWND hwnd, LPCWSTR pszSubAppName, LPCWSTR pszSubIdList);

// gdi32
COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
HFONT CreateFontIndirectW(const void* lplf);
BOOL DeleteObject(HGDIOBJ ho);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h);
HGDIOBJ CreateDIBSection(HDC hdc, const BITMAPINFOHEADER* pbmi, UINT usage, void** ppvBits,
                         HANDLE hSection, DWORD offset);
BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop);
int GetTextFaceW(HDC hdc, int c, LPWSTR lpName);
int GetObjectW(HGDIOBJ h, int c, LPVOID pv);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, SIZE* psizl);

}  // extern "C"

}  // namespace sys
