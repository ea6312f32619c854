// Permission bits do not stop the superuser, and CI runs as root. While a
// ScopedUnprivileged lives, a root process acts as the ordinary user "nobody"
// (effective user and group, in every thread), so that a read-only folder or
// an unreadable one bites as it does for a user; its destructor takes root
// back. Folders the test must still reach have to be open to others.
// Meanwhile the current folder is the root folder: the program reads a bare
// drive ("Z:") as the current folder, as Windows does, and a checkout under
// a private home folder is out of "nobody"'s reach.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class ScopedUnprivileged {
public:
    ScopedUnprivileged();
    ~ScopedUnprivileged();
    ScopedUnprivileged(const ScopedUnprivileged&) = delete;
    ScopedUnprivileged& operator=(const ScopedUnprivileged&) = delete;

    // Permission bits bite now (also when the process never was root).
    bool Active() const { return m_reason.empty(); }
    // Why they do not, for a skip message.
    const std::string& Reason() const { return m_reason; }

private:
    bool m_switched = false;
    std::string m_reason;
    std::filesystem::path m_folder;  // the current folder to go back to
};

// Opens a folder made by the test (and the folders on its way up to the
// temporary folder) to others, read and list only, or with write as well.
void OpenToOthers(const std::filesystem::path& folder, bool writable);

}  // namespace testsupport
