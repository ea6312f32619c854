// Test folders on a POSIX host; paths reach the program in drive form.
#include <cstdlib>
#include <stdexcept>

#include "platform/win32/host_path.h"
#include "temp_dir.h"

namespace testsupport {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "orv-test-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

std::FILE* ScratchFile() {
    return std::tmpfile();
}

std::u16string WinPathOf(const std::filesystem::path& p) {
    return win32::FromHostPath(p.string());
}

}  // namespace testsupport
