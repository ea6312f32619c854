// Shell calls: the Pictures folder, the folder browser and opening a folder in
// the desktop's file manager.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "windows_types.h"

// An item list holds one file-system path, in drive form.
struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;

constexpr int CSIDL_MYPICTURES = 0x0027;

// The XDG Pictures folder; no item (and E_FAIL) when it does not exist.
HRESULT SHGetSpecialFolderLocation(HWND hwnd, int csidl, PIDLIST_ABSOLUTE* ppidl);
// Writes at most MAX_PATH characters with the terminator; false when the path
// does not fit or the item has no path.
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
void ILFree(PIDLIST_ABSOLUTE pidl);
void CoTaskMemFree(LPVOID pv);

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;

using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);

struct BROWSEINFOW {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPWSTR pszDisplayName;
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};

// The desktop's folder chooser, modal to the owner. Null when cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* lpbi);

// Only the verb "explore" on a folder is offered: the folder opens in the
// desktop's file manager (FileManager1 over D-Bus, else xdg-open), started
// without a shell. Returns a value greater than 32 when it was started.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd);

namespace win32 {

// Seams for tests: a preset answer of the folder chooser (nullopt = cancel),
// and a recorder of ShellExecuteW calls. Passing an empty function removes it.
using FolderChooserHook = std::function<std::optional<std::u16string>(const BROWSEINFOW&)>;
void SetFolderChooserForTesting(FolderChooserHook hook);
using ShellExecuteHook = std::function<void(std::u16string verb, std::u16string file)>;
void SetShellExecuteForTesting(ShellExecuteHook hook);

}  // namespace win32
