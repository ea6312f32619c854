// What every system shares; making the folder and naming paths in the
// program's form are the system's own (temp_dir_posix.cpp,
// temp_dir_windows.cpp).
#include "temp_dir.h"

#include <fstream>
#include <iterator>

namespace testsupport {

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave folders without write or list permission behind.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::u16string TempDir::WinPath() const {
    return WinPathOf(m_path) + u"\\";
}

std::filesystem::path TempDir::Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path p = m_path / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::string ReadFileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
