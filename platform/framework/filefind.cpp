// The file finder: a search reads one entry ahead, so that FindNextFile can
// tell whether the entry it moves to is the last one.
#include "filefind.h"

#include "filefind_hook.h"

CFileFind::CFileFind() = default;

CFileFind::~CFileFind() {
    Close();
}

namespace {

afx::FileFindHook& Hook() {
    static afx::FileFindHook hook;
    return hook;
}

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// The folder part of a search pattern in absolute form, without a trailing
// separator: "C:\a\*.*" gives "C:\a", "Z:\*" gives "Z:".
std::u16string RootOf(LPCWSTR pattern) {
    const DWORD needed = GetFullPathNameW(pattern, 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::u16string full(needed, u'\0');
    const DWORD written = GetFullPathNameW(pattern, needed, full.data(), nullptr);
    full.resize(written < needed ? written : 0);
    std::size_t cut = full.size();
    while (cut > 0 && !IsSeparator(full[cut - 1])) --cut;  // drop the name
    while (cut > 0 && IsSeparator(full[cut - 1])) --cut;   // and the separator
    full.resize(cut);
    return full;
}

}  // namespace

void afx::SetFileFindHookImpl(FileFindHook hook) {
    Hook() = std::move(hook);
}

BOOL CFileFind::FindFile(LPCWSTR pstrName, DWORD) {
    Close();
    const LPCWSTR pattern = pstrName != nullptr ? pstrName : u"*.*";
    if (Hook()) Hook()(pattern);
    m_hContext =
        FindFirstFileExW(pattern, FindExInfoBasic, &m_next, FindExSearchNameMatch, nullptr, 0);
    if (m_hContext == INVALID_HANDLE_VALUE) {
        m_hContext = nullptr;
        return FALSE;
    }
    m_haveNext = true;
    m_root = RootOf(pattern);
    return TRUE;
}

BOOL CFileFind::FindNextFile() {
    if (m_hContext == nullptr || !m_haveNext) return FALSE;
    m_found = m_next;
    m_haveNext = FindNextFileW(m_hContext, &m_next) != FALSE;
    return m_haveNext ? TRUE : FALSE;
}

void CFileFind::Close() {
    if (m_hContext != nullptr) FindClose(m_hContext);
    m_hContext = nullptr;
    m_haveNext = false;
    m_found = WIN32_FIND_DATAW{};
    m_root.clear();
}

BOOL CFileFind::IsDirectory() const {
    return (m_found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? TRUE : FALSE;
}

BOOL CFileFind::IsDots() const {
    const std::u16string_view name(m_found.cFileName);
    return IsDirectory() && (name == u"." || name == u"..") ? TRUE : FALSE;
}

BOOL CFileFind::IsReparsePoint() const {
    return (m_found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? TRUE : FALSE;
}

std::u16string CFileFind::GetFileName() const {
    return m_found.cFileName;
}

// Built in one buffer of the exact size: a scan keeps every path it gets, and
// concatenating in steps leaves each with twice the room it needs.
std::u16string CFileFind::GetFilePath() const {
    const std::u16string_view name(m_found.cFileName);
    std::u16string path;
    path.reserve(m_root.size() + 1 + name.size());
    path.append(m_root).append(1, u'\\').append(name);
    return path;
}

std::u16string CFileFind::GetRoot() const {
    return m_root;
}
