// A file's attributes as the system keeps them, for the Windows tests that
// check what a save leaves behind.
#include <windows.h>

#include <filesystem>

namespace testsupport {

// As file_attributes_windows.h declares it; the test headers' Windows-like
// types clash with <windows.h>.
bool OrdinaryFile(const std::filesystem::path& file);

bool OrdinaryFile(const std::filesystem::path& file) {
    const DWORD attributes = GetFileAttributesW(file.wstring().c_str());
    constexpr DWORD kUnusual = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_TEMPORARY |
                               FILE_ATTRIBUTE_DIRECTORY;
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kUnusual) == 0;
}

}  // namespace testsupport
