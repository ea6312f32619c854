// ScopedUnprivileged on Linux: a root process acts as "nobody".
#include <pwd.h>
#include <unistd.h>

#include "unprivileged.h"

namespace testsupport {

ScopedUnprivileged::ScopedUnprivileged() {
    if (::geteuid() != 0) return;
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) {
        m_reason = "running as root, and there is no user \"nobody\" to act as";
        return;
    }
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    // The group first: once the user is not root, it may not change groups.
    if (::setegid(nobody->pw_gid) != 0 || ::seteuid(nobody->pw_uid) != 0) {
        [[maybe_unused]] const int ignored = ::setegid(0);
        m_reason = "running as root without the right to act as another user";
        return;
    }
    m_switched = true;
    if (!error) {
        std::filesystem::current_path("/", error);
        if (!error) m_folder = folder;
    }
}

ScopedUnprivileged::~ScopedUnprivileged() {
    if (!m_switched) return;
    [[maybe_unused]] const int user = ::seteuid(0);
    [[maybe_unused]] const int group = ::setegid(0);
    std::error_code ignored;
    if (!m_folder.empty()) std::filesystem::current_path(m_folder, ignored);
}

void OpenToOthers(const std::filesystem::path& folder, bool writable) {
    namespace fs = std::filesystem;
    fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    if (writable) fs::permissions(folder, fs::perms::others_write, fs::perm_options::add);
    const fs::path top = fs::temp_directory_path();
    for (fs::path p = folder.parent_path(); !p.empty() && p != top && p != p.parent_path();
         p = p.parent_path())
        fs::permissions(p, fs::perms::others_exec, fs::perm_options::add);
}

}  // namespace testsupport
