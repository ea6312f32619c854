// Shell calls on Windows: the system's Pictures folder, folder chooser and
// Explorer. Item lists are the shell's own, freed by the shell.
#include "platform/win32/shell.h"

#include <map>

#include "platform/win32/common.h"
#include "system_api.h"

namespace win32 {
namespace {

// The preset chooser's answers, exactly as the test wrote them: an empty item
// list of the shell's allocator stands for each, so that ILFree takes it.
std::map<PCIDLIST_ABSOLUTE, std::u16string>& PresetItems() {
    static std::map<PCIDLIST_ABSOLUTE, std::u16string> items;
    return items;
}

}  // namespace
}  // namespace win32

HRESULT SHGetSpecialFolderLocation(HWND hwnd, int csidl, PIDLIST_ABSOLUTE* ppidl) {
    if (ppidl == nullptr) return E_FAIL;
    void* item = nullptr;
    const HRESULT hr = sys::SHGetSpecialFolderLocation(hwnd, csidl, &item);
    *ppidl = hr == S_OK ? static_cast<PIDLIST_ABSOLUTE>(item) : nullptr;
    return hr;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
    if (pidl == nullptr || pszPath == nullptr) return FALSE;
    const auto& preset = win32::PresetItems();
    if (const auto it = preset.find(pidl); it != preset.end())
        return win32::CopyPathOut(it->second, pszPath);
    return sys::SHGetPathFromIDListW(pidl, pszPath);
}

void ILFree(PIDLIST_ABSOLUTE pidl) {
    win32::PresetItems().erase(pidl);
    sys::ILFree(pidl);
}

void CoTaskMemFree(LPVOID pv) {
    sys::CoTaskMemFree(pv);
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* lpbi) {
    if (lpbi == nullptr) return nullptr;
    if (const auto& hook = win32::FolderChooser()) {
        const std::optional<std::u16string> chosen = hook(*lpbi);
        if (!chosen) return nullptr;
        auto* item = static_cast<PIDLIST_ABSOLUTE>(sys::CoTaskMemAlloc(2));
        if (item == nullptr) return nullptr;
        *reinterpret_cast<WORD*>(item) = 0;  // the empty list's terminator
        win32::PresetItems()[item] = *chosen;
        return item;
    }
    // The chooser is a shell view: it needs the thread in a COM apartment.
    // A second call on the same thread only counts up, which is harmless.
    static thread_local const bool s_com =
        sys::CoInitializeEx(nullptr, sys::COINIT_APARTMENTTHREADED) >= 0;
    (void)s_com;
    return static_cast<PIDLIST_ABSOLUTE>(sys::SHBrowseForFolderW(lpbi));
}

HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd) {
    if (const auto& hook = win32::ShellExecuteRecorder()) {
        hook(lpOperation != nullptr ? lpOperation : u"", lpFile != nullptr ? lpFile : u"");
        return reinterpret_cast<HINSTANCE>(ULONG_PTR{42});
    }
    return sys::ShellExecuteW(hwnd, lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);
}
