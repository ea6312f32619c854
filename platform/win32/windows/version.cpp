// Version information on Windows: the system reads the version resource of a
// real PE module.
#include "platform/win32/version.h"

#include "system_api.h"

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, DWORD* lpdwHandle) {
    return sys::GetFileVersionInfoSizeW(lptstrFilename, lpdwHandle);
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen, LPVOID lpData) {
    return sys::GetFileVersionInfoW(lptstrFilename, dwHandle, dwLen, lpData);
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, UINT* puLen) {
    return sys::VerQueryValueW(pBlock, lpSubBlock, lplpBuffer, puLen);
}
