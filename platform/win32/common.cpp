// The part of the system calls that is the same on every system; each backend
// builds it.
#include "platform/win32/common.h"

#include <algorithm>

#include "platform/win32/file_find.h"
#include "platform/win32/file_paths.h"

namespace win32 {

std::u16string& ModuleFileNameOverride() {
    static std::u16string path;
    return path;
}

FolderChooserHook& FolderChooser() {
    static FolderChooserHook hook;
    return hook;
}

ShellExecuteHook& ShellExecuteRecorder() {
    static ShellExecuteHook hook;
    return hook;
}

void SetModuleFileNameForTesting(std::u16string path) {
    ModuleFileNameOverride() = std::move(path);
}

void SetFolderChooserForTesting(FolderChooserHook hook) {
    FolderChooser() = std::move(hook);
}

void SetShellExecuteForTesting(ShellExecuteHook hook) {
    ShellExecuteRecorder() = std::move(hook);
}

std::size_t CopyTruncated(std::u16string_view text, LPWSTR buffer, std::size_t capacity) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

DWORD CopyFileNameOut(std::u16string_view name, LPWSTR buffer, DWORD nSize) {
    if (buffer == nullptr || nSize == 0) return 0;
    const std::size_t n = CopyTruncated(name, buffer, nSize);
    return name.size() < nSize ? static_cast<DWORD>(n) : nSize;
}

BOOL CopyPathOut(std::u16string_view path, LPWSTR buffer) {
    if (path.empty() || path.size() + 1 > MAX_PATH) return FALSE;
    CopyTruncated(path, buffer, path.size() + 1);
    return TRUE;
}

}  // namespace win32

// The basic listing is the extended one at its standard level.
HANDLE FindFirstFileW(LPCWSTR lpFileName, WIN32_FIND_DATAW* lpFindFileData) {
    return FindFirstFileExW(lpFileName, FindExInfoStandard, lpFindFileData, FindExSearchNameMatch,
                            nullptr, 0);
}
