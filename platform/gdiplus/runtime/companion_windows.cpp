// Loading a companion DLL from the module's own folder, with Windows' loader.
#include <windows.h>

#include <string>

#include "companion.h"

namespace gdip {

namespace {

// The full path of the module that holds this function, or empty.
std::wstring OwnModulePath() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&OwnModulePath), &self))
        return {};
    // A path can be longer than MAX_PATH; the call cuts it to the buffer
    // (and says so) rather than failing.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace

void* LoadCompanion(const wchar_t* name) {
    std::wstring path = OwnModulePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return nullptr;
    path.resize(slash + 1);
    path += name;
    // A missing or broken DLL, or one whose imports cannot be found, must
    // not put a dialog in front of the user: the format just stays unknown.
    DWORD oldMode = 0;
    const BOOL modeSet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE library = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without the restricted search (Windows 7 before KB2533623)
    // refuse those flags; there the DLL's folder comes first in its search.
    if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (modeSet) SetThreadErrorMode(oldMode, nullptr);
    return library;
}

void* CompanionExport(void* library, const char* name) {
    return library == nullptr
               ? nullptr
               : reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeCompanion(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace gdip
