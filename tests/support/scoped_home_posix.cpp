// ScopedHome on Linux: HOME and the XDG user directories point into the
// test's folder, where the platform layer finds drive C: and Pictures.
#include "tests/support/dialog_session.h"
#include "tests/support/scoped_env.h"

namespace testsupport {

ScopedHome::ScopedHome(bool withPictures) {
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
    m_home = std::make_unique<ScopedEnv>("HOME", m_dir.Path().string());
    m_config = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", configDir.string());
}

ScopedHome::~ScopedHome() = default;

}  // namespace testsupport
