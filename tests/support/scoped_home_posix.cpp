// ScopedHome on Linux: HOME and the XDG user directories point into the
// test's folder, where the platform layer finds drive C: and Pictures.
#include <cstdlib>

#include "tests/support/dialog_session.h"

namespace testsupport {

namespace {
void SetOrUnset(const char* name, bool had, const std::string& value) {
    if (had)
        ::setenv(name, value.c_str(), 1);
    else
        ::unsetenv(name);
}
}  // namespace

ScopedHome::ScopedHome(bool withPictures) {
    const char* home = std::getenv("HOME");
    const char* config = std::getenv("XDG_CONFIG_HOME");
    m_hadHome = home != nullptr;
    m_hadConfig = config != nullptr;
    m_oldHome = home ? home : "";
    m_oldConfig = config ? config : "";
    const std::filesystem::path configDir = m_dir.Path() / ".config";
    std::filesystem::create_directories(configDir);
    if (withPictures) {
        std::filesystem::create_directories(m_dir.Path() / "Pictures");
        m_dir.Write(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Pictures\"\n");
    } else {
        // The entry names a folder that is not there, and the usual default
        // is not there either.
        m_dir.Write(".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Missing\"\n");
    }
    ::setenv("HOME", m_dir.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
}

ScopedHome::~ScopedHome() {
    SetOrUnset("HOME", m_hadHome, m_oldHome);
    SetOrUnset("XDG_CONFIG_HOME", m_hadConfig, m_oldConfig);
}

}  // namespace testsupport
