// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The folder in the program's drive form, with a trailing backslash.
    std::u16string WinPath() const;
    // A file inside, with the given bytes; folders on the way are created.
    std::filesystem::path Write(const std::string& relative, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};

// The drive form of any host path.
std::u16string WinPathOf(const std::filesystem::path& p);
std::string ReadFileBytes(const std::filesystem::path& p);

}  // namespace testsupport
