// Kernel path calls on the host file system, through the drive mapping of
// host_path.h (both separators, drive C: = home, Z: = root): whether a path
// exists or is a folder, folder creation, full and final path names, and the
// running module's file name.
#pragma once

#include <string>

#include "windows_types.h"

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

namespace win32 {
// For tests of the start-up check: the path GetModuleFileNameW(nullptr, ...)
// reports. An empty path puts the running executable's back.
void SetModuleFileNameForTesting(std::u16string path);
}  // namespace win32
