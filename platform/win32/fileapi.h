// Kernel file calls on the host file system, through the drive mapping of
// host_path.h: both separators, drive C: = home, Z: = root.
#pragma once

#include <string>

#include "windows_types.h"

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};

enum FINDEX_INFO_LEVELS {
    FindExInfoStandard = 0,
    // Names and attributes only: sizes and times stay zero, which spares one
    // stat per entry when a caller lists a large folder.
    FindExInfoBasic = 1,
};
enum FINDEX_SEARCH_OPS { FindExSearchNameMatch = 0 };

// Same matching as Windows: "*" and "?" in the last name only, "*.*" matches
// every name. "." and ".." are reported for a folder listing.
HANDLE FindFirstFileW(LPCWSTR lpFileName, WIN32_FIND_DATAW* lpFindFileData);
HANDLE FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId, LPVOID lpFindFileData,
                        FINDEX_SEARCH_OPS fSearchOp, LPVOID lpSearchFilter,
                        DWORD dwAdditionalFlags);
BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

BOOL PathFileExistsW(LPCWSTR pszPath);
// FILE_ATTRIBUTE_DIRECTORY when the path names a folder (through links),
// FALSE otherwise.
BOOL PathIsDirectoryW(LPCWSTR pszPath);
BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);

// hModule null: the running executable. Returns the length written, without
// the terminator; a path longer than the buffer is cut, as on Windows.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// Absolute form of a path: joined to the current folder when relative, "."
// and ".." resolved by name, "/" written as "\". Links are not followed.
DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                       LPWSTR* lpFilePart);

// The path of the folder a link finally leads to (links followed), in drive
// form. Used to see that a folder link leads back to an ancestor.
constexpr DWORD FILE_NAME_NORMALIZED = 0;
DWORD GetFinalPathNameW(LPCWSTR lpPath, LPWSTR lpszFilePath, DWORD cchFilePath, DWORD dwFlags);

// Opening a file to ask about it. Only what the program asks for is offered:
// an existing file or folder (OPEN_EXISTING), links followed, with no access
// or read access; a folder only with FILE_FLAG_BACKUP_SEMANTICS, as on
// Windows. The file's content is neither read nor locked.
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// The volume serial number and file index together name one file: two paths
// with the same three values (a hard link, a symbolic link) lead to one file.
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};
BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation);
// Closes a handle from CreateFileW (a search ends with FindClose).
BOOL CloseHandle(HANDLE hObject);

namespace win32 {
// For tests of the start-up check: the path GetModuleFileNameW(nullptr, ...)
// reports. An empty path puts the running executable's back.
void SetModuleFileNameForTesting(std::u16string path);
}  // namespace win32
