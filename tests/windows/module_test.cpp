// The Windows module as a file and as the system loader sees it: found
// beside the executable, of its published size and version, exporting the
// flat API and nothing else, and needing no DLL but the system's own; and
// the executables that use it load it only when they first call it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path PathOf(HMODULE module) {
    std::wstring name(32768, L'\0');
    name.resize(GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size())));
    return fs::path(name);
}

template <typename T>
const T* At(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

const IMAGE_DATA_DIRECTORY& Directory(HMODULE module, int entry) {
    const auto* dos = At<IMAGE_DOS_HEADER>(module, 0);
    const auto* nt = At<IMAGE_NT_HEADERS64>(module, static_cast<DWORD>(dos->e_lfanew));
    return nt->OptionalHeader.DataDirectory[entry];
}

// The DLLs a module names for the loader to bring in before it runs, in lower case.
std::vector<std::string> Imports(HMODULE module) {
    std::vector<std::string> names;
    const IMAGE_DATA_DIRECTORY& imports = Directory(module, IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (const auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(module, imports.VirtualAddress); d->Name != 0;
         ++d) {
        std::string name = At<char>(module, d->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names.push_back(name);
    }
    return names;
}

// Loaded by name as the delay-load helper loads it, on the first call.
HMODULE Module() {
    return LoadLibraryW(L"gdiplus.dll");
}

TEST(WindowsModule, LoadedFromBesideTheExecutableWithItsSizeAndVersion) {
    HMODULE module = Module();
    ASSERT_NE(module, nullptr);
    const fs::path path = PathOf(module);
    EXPECT_EQ(path.parent_path(), PathOf(nullptr).parent_path());
    EXPECT_EQ(fs::file_size(path), 1724416u);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(info->dwProductVersionMS, (5u << 16) | 1u);
    EXPECT_EQ(info->dwProductVersionLS, (3102u << 16) | 5581u);
}

TEST(WindowsModule, ExportsTheFlatApiOnlyAndImportsOnlySystemLibraries) {
    HMODULE module = Module();
    ASSERT_NE(module, nullptr);
    const IMAGE_DATA_DIRECTORY& exports = Directory(module, IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(exports.VirtualAddress, 0u);
    const auto* table = At<IMAGE_EXPORT_DIRECTORY>(module, exports.VirtualAddress);
    const auto* names = At<DWORD>(module, table->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < table->NumberOfNames; ++i) exported.insert(At<char>(module, names[i]));
    EXPECT_EQ(exported,
              (std::set<std::string>{"GdipAlloc", "GdipCreateBitmapFromFile", "GdipDisposeImage",
                                     "GdipFree", "GdipGetImageEncoders", "GdipGetImageEncodersSize",
                                     "GdipGetImageHeight", "GdipGetImageWidth",
                                     "GdipSaveImageToFile", "GdiplusShutdown", "GdiplusStartup"}));

    // The C++ runtime, threads, OpenMP and the codecs are inside: what it
    // imports comes with every Windows.
    const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll", "user32.dll",
                                          "advapi32.dll", "ntdll.dll"};
    for (const std::string& name : Imports(module))
        EXPECT_TRUE(system.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0) << name;
}

// An executable that uses the module (this one is linked as the program is)
// does not name it among the DLLs the loader needs before it runs: it is
// loaded at the first call, so a missing module is the start-up check's to
// report.
TEST(WindowsModule, ExecutablesStartWithoutIt) {
    const std::vector<std::string> imports = Imports(GetModuleHandleW(nullptr));
    ASSERT_FALSE(imports.empty());
    EXPECT_EQ(std::count(imports.begin(), imports.end(), "gdiplus.dll"), 0);
}

}  // namespace
