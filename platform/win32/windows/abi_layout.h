// The 64-bit Windows ABI of what the Windows backend declares by hand: the
// size and field offsets of each structure that crosses to the system, and
// the value of each constant of system_api.h. The numbers are the system
// headers' (mingw-w64); one list, read twice at compile time: abi_check.cpp
// holds the backend's declarations to it, abi_check_system.cpp holds
// <windows.h> to it, so a declaration that drifts from the system's fails the
// build, naming itself.
//
//   ORV_ABI_SYSTEM_STRUCTS(S, F)   structures of system_api.h (namespace sys)
//   ORV_ABI_PROGRAM_STRUCTS(S, F)  the program's structures the system reads
//   ORV_ABI_CONSTANTS(C)           constants of system_api.h
// with S(struct, size), F(struct, field, offset), C(name, value).
#pragma once

#define ORV_ABI_SYSTEM_STRUCTS(S, F)         \
    S(MSG, 48)                               \
    F(MSG, hwnd, 0)                          \
    F(MSG, message, 8)                       \
    F(MSG, wParam, 16)                       \
    F(MSG, lParam, 24)                       \
    F(MSG, time, 32)                         \
    F(MSG, pt, 36)                           \
    S(PAINTSTRUCT, 72)                       \
    F(PAINTSTRUCT, hdc, 0)                   \
    F(PAINTSTRUCT, fErase, 8)                \
    F(PAINTSTRUCT, rcPaint, 12)              \
    F(PAINTSTRUCT, fRestore, 28)             \
    F(PAINTSTRUCT, fIncUpdate, 32)           \
    F(PAINTSTRUCT, rgbReserved, 36)          \
    S(INITCOMMONCONTROLSEX, 8)               \
    F(INITCOMMONCONTROLSEX, dwSize, 0)       \
    F(INITCOMMONCONTROLSEX, dwICC, 4)        \
    S(BITMAPINFOHEADER, 40)                  \
    F(BITMAPINFOHEADER, biSize, 0)           \
    F(BITMAPINFOHEADER, biWidth, 4)          \
    F(BITMAPINFOHEADER, biHeight, 8)         \
    F(BITMAPINFOHEADER, biPlanes, 12)        \
    F(BITMAPINFOHEADER, biBitCount, 14)      \
    F(BITMAPINFOHEADER, biCompression, 16)   \
    F(BITMAPINFOHEADER, biSizeImage, 20)     \
    F(BITMAPINFOHEADER, biXPelsPerMeter, 24) \
    F(BITMAPINFOHEADER, biYPelsPerMeter, 28) \
    F(BITMAPINFOHEADER, biClrUsed, 32)       \
    F(BITMAPINFOHEADER, biClrImportant, 36)  \
    S(SIZE, 8)                               \
    F(SIZE, cx, 0)                           \
    F(SIZE, cy, 4)                           \
    S(DROPFILES, 20)                         \
    F(DROPFILES, pFiles, 0)                  \
    F(DROPFILES, pt, 4)                      \
    F(DROPFILES, fNC, 12)                    \
    F(DROPFILES, fWide, 16)

#define ORV_ABI_PROGRAM_STRUCTS(S, F)                       \
    S(RECT, 16)                                             \
    F(RECT, left, 0)                                        \
    F(RECT, top, 4)                                         \
    F(RECT, right, 8)                                       \
    F(RECT, bottom, 12)                                     \
    S(POINT, 8)                                             \
    F(POINT, x, 0)                                          \
    F(POINT, y, 4)                                          \
    S(FILETIME, 8)                                          \
    F(FILETIME, dwLowDateTime, 0)                           \
    F(FILETIME, dwHighDateTime, 4)                          \
    S(GUID, 16)                                             \
    F(GUID, Data1, 0)                                       \
    F(GUID, Data2, 4)                                       \
    F(GUID, Data3, 6)                                       \
    F(GUID, Data4, 8)                                       \
    S(WIN32_FIND_DATAW, 592)                                \
    F(WIN32_FIND_DATAW, dwFileAttributes, 0)                \
    F(WIN32_FIND_DATAW, ftCreationTime, 4)                  \
    F(WIN32_FIND_DATAW, ftLastAccessTime, 12)               \
    F(WIN32_FIND_DATAW, ftLastWriteTime, 20)                \
    F(WIN32_FIND_DATAW, nFileSizeHigh, 28)                  \
    F(WIN32_FIND_DATAW, nFileSizeLow, 32)                   \
    F(WIN32_FIND_DATAW, dwReserved0, 36)                    \
    F(WIN32_FIND_DATAW, dwReserved1, 40)                    \
    F(WIN32_FIND_DATAW, cFileName, 44)                      \
    F(WIN32_FIND_DATAW, cAlternateFileName, 564)            \
    S(BY_HANDLE_FILE_INFORMATION, 52)                       \
    F(BY_HANDLE_FILE_INFORMATION, dwFileAttributes, 0)      \
    F(BY_HANDLE_FILE_INFORMATION, ftCreationTime, 4)        \
    F(BY_HANDLE_FILE_INFORMATION, ftLastAccessTime, 12)     \
    F(BY_HANDLE_FILE_INFORMATION, ftLastWriteTime, 20)      \
    F(BY_HANDLE_FILE_INFORMATION, dwVolumeSerialNumber, 28) \
    F(BY_HANDLE_FILE_INFORMATION, nFileSizeHigh, 32)        \
    F(BY_HANDLE_FILE_INFORMATION, nFileSizeLow, 36)         \
    F(BY_HANDLE_FILE_INFORMATION, nNumberOfLinks, 40)       \
    F(BY_HANDLE_FILE_INFORMATION, nFileIndexHigh, 44)       \
    F(BY_HANDLE_FILE_INFORMATION, nFileIndexLow, 48)        \
    S(BROWSEINFOW, 64)                                      \
    F(BROWSEINFOW, hwndOwner, 0)                            \
    F(BROWSEINFOW, pidlRoot, 8)                             \
    F(BROWSEINFOW, pszDisplayName, 16)                      \
    F(BROWSEINFOW, lpszTitle, 24)                           \
    F(BROWSEINFOW, ulFlags, 32)                             \
    F(BROWSEINFOW, lpfn, 40)                                \
    F(BROWSEINFOW, lParam, 48)                              \
    F(BROWSEINFOW, iImage, 56)                              \
    S(VS_FIXEDFILEINFO, 52)                                 \
    F(VS_FIXEDFILEINFO, dwSignature, 0)                     \
    F(VS_FIXEDFILEINFO, dwStrucVersion, 4)                  \
    F(VS_FIXEDFILEINFO, dwFileVersionMS, 8)                 \
    F(VS_FIXEDFILEINFO, dwFileVersionLS, 12)                \
    F(VS_FIXEDFILEINFO, dwProductVersionMS, 16)             \
    F(VS_FIXEDFILEINFO, dwProductVersionLS, 20)             \
    F(VS_FIXEDFILEINFO, dwFileFlagsMask, 24)                \
    F(VS_FIXEDFILEINFO, dwFileFlags, 28)                    \
    F(VS_FIXEDFILEINFO, dwFileOS, 32)                       \
    F(VS_FIXEDFILEINFO, dwFileType, 36)                     \
    F(VS_FIXEDFILEINFO, dwFileSubtype, 40)                  \
    F(VS_FIXEDFILEINFO, dwFileDateMS, 44)                   \
    F(VS_FIXEDFILEINFO, dwFileDateLS, 48)                   \
    S(LOGFONTW, 92)                                         \
    F(LOGFONTW, lfHeight, 0)                                \
    F(LOGFONTW, lfWidth, 4)                                 \
    F(LOGFONTW, lfEscapement, 8)                            \
    F(LOGFONTW, lfOrientation, 12)                          \
    F(LOGFONTW, lfWeight, 16)                               \
    F(LOGFONTW, lfItalic, 20)                               \
    F(LOGFONTW, lfUnderline, 21)                            \
    F(LOGFONTW, lfStrikeOut, 22)                            \
    F(LOGFONTW, lfCharSet, 23)                              \
    F(LOGFONTW, lfOutPrecision, 24)                         \
    F(LOGFONTW, lfClipPrecision, 25)                        \
    F(LOGFONTW, lfQuality, 26)                              \
    F(LOGFONTW, lfPitchAndFamily, 27)                       \
    F(LOGFONTW, lfFaceName, 28)

// QS_ALLINPUT is left out: the backend uses its value from before Windows 8,
// without the touch and pointer bits (abi_check_system.cpp checks that).
#define ORV_ABI_CONSTANTS(C)        \
    C(WM_NULL, 0)                   \
    C(WM_DESTROY, 2)                \
    C(WM_QUIT, 0x12)                \
    C(WM_ENTERIDLE, 0x121)          \
    C(WM_ENTERMENULOOP, 0x211)      \
    C(WM_ENTERSIZEMOVE, 0x231)      \
    C(WM_SETFONT, 0x30)             \
    C(WM_GETICON, 0x7f)             \
    C(WM_SETICON, 0x80)             \
    C(WM_INITDIALOG, 0x110)         \
    C(WM_NEXTDLGCTL, 0x28)          \
    C(WM_CTLCOLORMSGBOX, 0x132)     \
    C(WM_CTLCOLOREDIT, 0x133)       \
    C(WM_CTLCOLORLISTBOX, 0x134)    \
    C(WM_CTLCOLORBTN, 0x135)        \
    C(WM_CTLCOLORDLG, 0x136)        \
    C(WM_CTLCOLORSCROLLBAR, 0x137)  \
    C(WM_CTLCOLORSTATIC, 0x138)     \
    C(BM_GETCHECK, 0xf0)            \
    C(BM_SETCHECK, 0xf1)            \
    C(PBM_SETPOS, 0x402)            \
    C(PBM_SETRANGE32, 0x406)        \
    C(PBM_GETRANGE, 0x407)          \
    C(PBM_GETPOS, 0x408)            \
    C(WM_KEYDOWN, 0x100)            \
    C(WM_KEYUP, 0x101)              \
    C(WM_CHAR, 0x102)               \
    C(WM_SYSCOMMAND, 0x112)         \
    C(WM_LBUTTONDOWN, 0x201)        \
    C(WM_LBUTTONUP, 0x202)          \
    C(WM_GETFONT, 0x31)             \
    C(EM_SETSEL, 0xb1)              \
    C(SC_CLOSE, 0xf060)             \
    C(MK_LBUTTON, 1)                \
    C(PM_REMOVE, 1)                 \
    C(PM_NOYIELD, 2)                \
    C(GA_ROOT, 2)                   \
    C(GWL_EXSTYLE, -20)             \
    C(WS_EX_ACCEPTFILES, 0x10)      \
    C(GMEM_MOVEABLE, 2)             \
    C(GMEM_ZEROINIT, 0x40)          \
    C(SRCCOPY, 0xcc0020)            \
    C(DIB_RGB_COLORS, 0)            \
    C(CP_UTF8, 0xfde9)              \
    C(VK_TAB, 9)                    \
    C(VK_RETURN, 13)                \
    C(VK_SHIFT, 0x10)               \
    C(VK_ESCAPE, 0x1b)              \
    C(VK_SPACE, 0x20)               \
    C(VK_LEFT, 0x25)                \
    C(VK_UP, 0x26)                  \
    C(VK_RIGHT, 0x27)               \
    C(VK_DOWN, 0x28)                \
    C(VK_DELETE, 0x2e)              \
    C(DWLP_MSGRESULT, 0)            \
    C(DWLP_USER, 0x10)              \
    C(GWL_STYLE, -16)               \
    C(GW_CHILD, 5)                  \
    C(BS_TYPEMASK, 0xf)             \
    C(BS_GROUPBOX, 7)               \
    C(ICC_PROGRESS_CLASS, 0x20)     \
    C(ICC_STANDARD_CLASSES, 0x4000) \
    C(COLOR_BTNFACE, 15)            \
    C(LOGPIXELSY, 0x5a)             \
    C(COINIT_APARTMENTTHREADED, 2)  \
    C(INVALID_FILE_ATTRIBUTES, 0xffffffff)
