// Kernel file calls on Windows: the system's own, on real drives and paths.
#include "platform/win32/fileapi.h"

#include <string>

#include "platform/win32/common.h"
#include "system_api.h"

HANDLE FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId, LPVOID lpFindFileData,
                        FINDEX_SEARCH_OPS fSearchOp, LPVOID lpSearchFilter,
                        DWORD dwAdditionalFlags) {
    return sys::FindFirstFileExW(lpFileName, fInfoLevelId, lpFindFileData, fSearchOp,
                                 lpSearchFilter, dwAdditionalFlags);
}

BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData) {
    return sys::FindNextFileW(hFindFile, lpFindFileData);
}

BOOL FindClose(HANDLE hFindFile) {
    return sys::FindClose(hFindFile);
}

BOOL PathFileExistsW(LPCWSTR pszPath) {
    return pszPath != nullptr && sys::PathFileExistsW(pszPath);
}

BOOL PathIsDirectoryW(LPCWSTR pszPath) {
    return pszPath != nullptr && sys::PathIsDirectoryW(pszPath) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    return sys::CreateDirectoryW(lpPathName, lpSecurityAttributes);
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    const std::u16string& preset = win32::ModuleFileNameOverride();
    if (hModule != nullptr || preset.empty())
        return sys::GetModuleFileNameW(hModule, lpFilename, nSize);
    return win32::CopyFileNameOut(preset, lpFilename, nSize);
}

DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                       LPWSTR* lpFilePart) {
    return sys::GetFullPathNameW(lpFileName, nBufferLength, lpBuffer, lpFilePart);
}

// The system answers for an open handle; a folder opens only with backup
// semantics. Its "\\?\" form is given back as the program writes paths.
DWORD GetFinalPathNameW(LPCWSTR lpPath, LPWSTR lpszFilePath, DWORD cchFilePath, DWORD) {
    HANDLE file =
        sys::CreateFileW(lpPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    std::u16string path(MAX_PATH, u'\0');
    DWORD n = sys::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    if (n >= path.size()) {
        path.resize(n + 1);
        n = sys::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    sys::CloseHandle(file);
    if (n == 0 || n >= path.size()) return 0;
    path.resize(n);
    if (path.starts_with(u"\\\\?\\UNC\\"))
        path.replace(0, 8, u"\\\\");
    else if (path.starts_with(u"\\\\?\\"))
        path.erase(0, 4);
    if (lpszFilePath == nullptr || path.size() >= cchFilePath)
        return static_cast<DWORD>(path.size() + 1);
    path.copy(lpszFilePath, path.size());
    lpszFilePath[path.size()] = 0;
    return static_cast<DWORD>(path.size());
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    return sys::CreateFileW(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                            dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation) {
    return sys::GetFileInformationByHandle(hFile, lpFileInformation);
}

BOOL CloseHandle(HANDLE hObject) {
    return sys::CloseHandle(hObject);
}
