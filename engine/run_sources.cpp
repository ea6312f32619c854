// The run's source files by identity: a path leads to a source when it reaches the same file.
#include "engine/run_sources.h"

#include <algorithm>

#include "platform/win32/fileapi.h"

bool IdentityOfFile(const std::u16string& path, FileIdentity& rIdentity) {
    // No access asked for: the file is only named, and nobody is kept from it.
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known) return false;
    rIdentity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return true;
}

bool RunSources::Contains(const std::u16string& path) {
    FileIdentity identity;
    if (!IdentityOfFile(path, identity)) return false;
    if (!m_bCollected) {
        m_bCollected = true;
        m_identities.reserve(m_pJobs->size());
        FileIdentity source;
        for (const std::u16string& job : *m_pJobs)
            if (IdentityOfFile(job, source)) m_identities.push_back(source);
        std::sort(m_identities.begin(), m_identities.end());
    }
    return std::binary_search(m_identities.begin(), m_identities.end(), identity);
}
