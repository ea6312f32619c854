// The framework's file finder over FindFirstFileExW/FindNextFileW.
#pragma once

#include <string>

#include "../win32/fileapi.h"

class CFileFind {
public:
    CFileFind();
    ~CFileFind();
    CFileFind(const CFileFind&) = delete;
    CFileFind& operator=(const CFileFind&) = delete;

    // Starts a search; false when nothing matches or the search cannot start.
    // The first entry is reached with the first FindNextFile.
    BOOL FindFile(LPCWSTR pstrName = nullptr, DWORD dwUnused = 0);
    // Moves to the next entry; false when the entry reached is the last one.
    BOOL FindNextFile();
    void Close();

    BOOL IsDirectory() const;
    BOOL IsDots() const;
    BOOL IsReparsePoint() const;
    // The name as the file system reports it.
    std::u16string GetFileName() const;
    // The search folder in absolute form, without a trailing separator, then
    // "\" and the name.
    std::u16string GetFilePath() const;
    std::u16string GetRoot() const;

private:
    HANDLE m_hContext = nullptr;
    bool m_haveNext = false;
    WIN32_FIND_DATAW m_found{};
    WIN32_FIND_DATAW m_next{};
    std::u16string m_root;
};
