// Kernel file calls on Windows: the system's own, on real drives and paths.
#include "platform/win32/fileapi.h"

#include <string>

#include "long_path.h"
#include "platform/win32/common.h"
#include "system_api.h"

namespace {

// The path as the file system takes it at any length: a long one in its
// verbatim form, made from its full form; any other as written.
std::u16string Long(LPCWSTR path) {
    if (path == nullptr) return {};
    const DWORD needed = sys::GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::u16string full(needed, u'\0');
    const DWORD written = sys::GetFullPathNameW(path, needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return path;
    full.resize(written);
    std::u16string verbatim = win32::VerbatimForm<char16_t>(full);
    return verbatim.empty() ? std::u16string(path) : verbatim;
}

bool IsVerbatim(const std::u16string& path) {
    return path.starts_with(u"\\\\?\\");
}

}  // namespace

HANDLE FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId, LPVOID lpFindFileData,
                        FINDEX_SEARCH_OPS fSearchOp, LPVOID lpSearchFilter,
                        DWORD dwAdditionalFlags) {
    return sys::FindFirstFileExW(Long(lpFileName).c_str(), fInfoLevelId, lpFindFileData, fSearchOp,
                                 lpSearchFilter, dwAdditionalFlags);
}

BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData) {
    return sys::FindNextFileW(hFindFile, lpFindFileData);
}

BOOL FindClose(HANDLE hFindFile) {
    return sys::FindClose(hFindFile);
}

// The shell's path tests stop at 260 units; beyond, the attributes answer
// the same questions.
BOOL PathFileExistsW(LPCWSTR pszPath) {
    if (pszPath == nullptr) return FALSE;
    const std::u16string path = Long(pszPath);
    if (!IsVerbatim(path)) return sys::PathFileExistsW(pszPath);
    return sys::GetFileAttributesW(path.c_str()) != sys::INVALID_FILE_ATTRIBUTES;
}

BOOL PathIsDirectoryW(LPCWSTR pszPath) {
    if (pszPath == nullptr) return FALSE;
    const std::u16string path = Long(pszPath);
    if (!IsVerbatim(path)) return sys::PathIsDirectoryW(pszPath) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
    const DWORD attributes = sys::GetFileAttributesW(path.c_str());
    return attributes != sys::INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
               ? FILE_ATTRIBUTE_DIRECTORY
               : FALSE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    return sys::CreateDirectoryW(Long(lpPathName).c_str(), lpSecurityAttributes);
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
    HANDLE file = sys::CreateFileW(Long(lpPath).c_str(), 0,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
    return sys::CreateFileW(Long(lpFileName).c_str(), dwDesiredAccess, dwShareMode,
                            lpSecurityAttributes, dwCreationDisposition, dwFlagsAndAttributes,
                            hTemplateFile);
}

BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation) {
    return sys::GetFileInformationByHandle(hFile, lpFileInformation);
}

BOOL CloseHandle(HANDLE hObject) {
    return sys::CloseHandle(hObject);
}
