// The run's source files by identity, so that no save of the run replaces
// one of them: with the destination inside the source tree, one file's
// output can carry the name of another source of the same run.
#pragma once

#include <compare>
#include <string>
#include <vector>

#include "engine/run_types.h"
#include "platform/win32/windows_types.h"

// One file as the file system knows it, whichever path leads to it.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file or folder at path, links followed; false when
// nothing is there.
bool IdentityOfFile(const std::u16string& path, FileIdentity& rIdentity);

class RunSources {
public:
    explicit RunSources(const JobList& jobs) : m_pJobs(&jobs) {}

    // True when path leads to a source of the run: by the same path, by
    // another hard link or by a symbolic link. The sources' identities are
    // read once, when a path that leads to an existing file is first asked
    // about, so a run whose outputs all get fresh names never reads them.
    bool Contains(const std::u16string& path);

private:
    const JobList* m_pJobs;
    bool m_bCollected = false;
    std::vector<FileIdentity> m_identities;  // sorted
};
