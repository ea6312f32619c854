// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdio>
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

// An anonymous file for reading and writing, gone once closed: tmpfile() on
// POSIX; on Windows a file in this process's own folder, since Wine's
// tmpfile() names its files from a counter of each process, so that test
// programs run side by side in one prefix took each other's files.
std::FILE* ScratchFile();

// The drive form of any host path.
std::u16string WinPathOf(const std::filesystem::path& p);
std::string ReadFileBytes(const std::filesystem::path& p);

}  // namespace testsupport
