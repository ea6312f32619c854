// Kernel file handles on the host file system: opening an existing file or
// folder to ask which file it is, and closing the handle.
#pragma once

#include "windows_types.h"

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
