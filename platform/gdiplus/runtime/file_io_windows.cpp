// File access on Windows: real paths, a file recognised by its volume and
// file ID, and a save whose temporary is given the target's name through its
// own handle.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After <windows.h>, which it needs.
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <random>

#include "file_io.h"
#include "file_io_common.h"
#include "platform/gdiplus/save_temporary.h"
#include "platform/win32/windows/long_path.h"

namespace gdip::fileio {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is a 16-bit unit on Windows");

namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() {
        if (Valid()) CloseHandle(m_h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }
    HANDLE Release() {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE m_h;
};

std::wstring Wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

Outcome OutcomeOfError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_FILENAME_EXCED_RANGE:
            return Outcome::NotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            return Outcome::AccessDenied;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return Outcome::OutOfMemory;
        default:
            return Outcome::Failed;
    }
}

// A save names a folder that must exist; its absence is a failed save, not
// a missing picture.
Outcome OutcomeOfWriteError(DWORD error) {
    const Outcome o = OutcomeOfError(error);
    return o == Outcome::AccessDenied ? o : Outcome::Failed;
}

// Windows compares names without regard to case, so the resolved form is
// kept in capitals (as UTF-16 code units, two bytes each).
std::string NameKey(std::wstring name) {
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return std::string(reinterpret_cast<const char*>(name.data()), name.size() * sizeof(wchar_t));
}

std::wstring FinalPath(HANDLE h) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()),
                                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(n + 1);
    }
    return {};
}

std::wstring FullPath(const std::wstring& path) {
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return {};
    std::wstring full(n, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return {};
    full.resize(written);
    return full;
}

// The path as the file system takes it at any length: a long one in its
// verbatim form (long_path.h), made from its full form; any other as written.
std::wstring Long(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    const std::wstring verbatim = win32::VerbatimForm<wchar_t>(full);
    return verbatim.empty() ? path : verbatim;
}

// The NT form of a full path, "\??\C:\..." or "\??\UNC\server\share\...",
// which a rename through a handle needs: its name goes to the file system
// as it is, without the parsing of the path forms the file calls take. It
// has no length limit.
std::wstring NtForm(const std::wstring& full) {
    const auto slash = [&](std::size_t i) { return i < full.size() && full[i] == L'\\'; };
    if (slash(0) && slash(1) && full.size() > 3 && (full[2] == L'?' || full[2] == L'.') && slash(3))
        return L"\\??\\" + full.substr(4);
    if (slash(0) && slash(1)) return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

// The volume and ID of an open file; the 128-bit ID where the file system
// has one (ReFS), the classic 64-bit index otherwise.
bool IdentityOf(HANDLE h, FileIdentity& id) {
    FILE_ID_INFO info{};
    if (GetFileInformationByHandleEx(h, FileIdInfo, &info, sizeof info)) {
        std::uint64_t parts[2];
        static_assert(sizeof parts == sizeof info.FileId.Identifier);
        std::memcpy(parts, info.FileId.Identifier, sizeof parts);
        id.volume = info.VolumeSerialNumber;
        id.fileLow = parts[0];
        id.fileHigh = parts[1];
        return true;
    }
    BY_HANDLE_FILE_INFORMATION basic{};
    if (!GetFileInformationByHandle(h, &basic)) return false;
    id.volume = basic.dwVolumeSerialNumber;
    id.fileLow = (std::uint64_t{basic.nFileIndexHigh} << 32) | basic.nFileIndexLow;
    id.fileHigh = 0;
    return true;
}

// The file's 64-bit index, which the file system keeps with the open file.
bool IndexOf(HANDLE h, std::uint64_t& index) {
    IO_STATUS_BLOCK io{};
    FILE_INTERNAL_INFORMATION info{};
    if (NtQueryInformationFile(h, &io, &info, sizeof info, FileInternalInformation) < 0)
        return false;
    index = static_cast<std::uint64_t>(info.IndexNumber.QuadPart);
    return true;
}

// Whether the files of the volume holding an open file are told apart by
// their 64-bit index alone (ReFS has IDs of 128 bits).
bool IndexIdentifies(HANDLE h) {
    wchar_t system[MAX_PATH + 1] = {};
    if (!GetVolumeInformationByHandleW(h, nullptr, 0, nullptr, nullptr, nullptr, system,
                                       MAX_PATH + 1))
        return false;
    const std::wstring_view name(system);
    return name == L"NTFS" || name == L"FAT" || name == L"FAT32" || name == L"exFAT";
}

// One folder's answer to a question about it that costs a round trip under
// Wine, where each such call goes to its server or another process and costs
// more than the whole of reading or writing a small picture. A run reads and
// writes folder by folder, so one folder is kept, for a few seconds after
// the question was asked.
template <class Value>
class FolderMemo {
public:
    bool Find(const std::string& folder, Value& value) {
        std::lock_guard guard(m_lock);
        if (m_folder != folder || GetTickCount64() - m_askedAt >= kKeepMs) return false;
        value = m_value;
        return true;
    }
    void Keep(const std::string& folder, const Value& value) {
        std::lock_guard guard(m_lock);
        m_folder = folder;
        m_value = value;
        m_askedAt = GetTickCount64();
    }

private:
    static constexpr ULONGLONG kKeepMs = 3000;
    std::mutex m_lock;
    std::string m_folder;
    Value m_value{};
    ULONGLONG m_askedAt = 0;
};

// The volume of the folder that sources were last read from (by its
// resolved key), as a full query of a file there gave it.
FolderMemo<std::uint64_t> g_sourceVolume;

// The identity of a source read from a folder (by its resolved key): on a
// volume whose files are told apart by their index, the folder's known
// volume with the file's index, which the file system hands out without
// asking about the volume; otherwise, or when the folder's volume is not
// known, the full query, which then makes it known.
bool SourceIdentityOf(HANDLE h, const std::string& folder, FileIdentity& id) {
    std::uint64_t index = 0;
    const bool indexed = !folder.empty() && IndexOf(h, index);
    if (indexed && g_sourceVolume.Find(folder, id.volume)) {
        id.fileLow = index;
        id.fileHigh = 0;
        return true;
    }
    if (!IdentityOf(h, id)) return false;
    // The full query gives such a volume's files their index as their ID.
    if (indexed && id.fileHigh == 0 && id.fileLow == index && IndexIdentifies(h))
        g_sourceVolume.Keep(folder, id.volume);
    return true;
}

// Opens anything by name without asking for access, folders included, only
// to learn what it is.
HANDLE OpenForIdentity(const std::wstring& path) {
    return CreateFileW(Long(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The most one ReadFile call is asked for. Its count is a DWORD, so a file
// over 4 GiB needs several calls anyway, and one request of many megabytes to
// a file on a network share can fail for lack of system resources
// (ERROR_NO_SYSTEM_RESOURCES) where smaller ones succeed. The writers need no
// such bound: they hand the C runtime pieces of fixed geometry (PNG
// segments, GIF bands, TIFF strips, BMP row batches) of at most a few MiB.
constexpr std::size_t kReadChunk = std::size_t{16} << 20;

// Reads bytes [from, bytes.size()); the vector ends where the file did.
Outcome ReadRange(HANDLE h, std::size_t from, std::vector<std::uint8_t>& bytes) {
    std::size_t done = from;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kReadChunk));
        DWORD n = 0;
        if (!ReadFile(h, bytes.data() + done, chunk, &n, nullptr)) return Outcome::Failed;
        if (n == 0) break;  // the file shrank meanwhile: take what is there
        done += n;
    }
    bytes.resize(done);
    return Outcome::Ok;
}

struct Target {
    std::wstring path;  // full
    std::wstring folder;
    std::wstring leaf;
};

bool SplitTarget(std::u16string_view path, Target& target) {
    target.path = FullPath(Wide(path));
    const std::size_t sep = target.path.find_last_of(L"\\/");
    if (target.path.empty() || sep == std::wstring::npos) return false;
    target.folder = target.path.substr(0, sep + 1);
    target.leaf = target.path.substr(sep + 1);
    return !target.leaf.empty();
}

// Where the target would be once its folder is resolved; the leaf itself is
// kept as written (it may not exist yet).
// The folder is resolved once in a few seconds: a target folder that comes
// to resolve elsewhere in that time can only meet a source's name whose file
// is gone (the source itself is recognised by its identity at every save).
std::string ResolvedTargetKey(const Target& target) {
    static FolderMemo<std::wstring> resolvedFolders;
    const std::string folderKey = NameKey(target.folder);
    std::wstring resolved;
    if (!resolvedFolders.Find(folderKey, resolved)) {
        Handle folder(OpenForIdentity(target.folder));
        resolved = folder.Valid() ? FinalPath(folder.Get()) : std::wstring();
        if (!resolved.empty() && resolved.back() != L'\\') resolved += L'\\';
        if (!resolved.empty()) resolvedFolders.Keep(folderKey, resolved);
    }
    return resolved.empty() ? NameKey(target.path) : NameKey(resolved + target.leaf);
}

// Where a save's temporary is locked (save_temporary.h).
OVERLAPPED LockPlace() {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(kSaveTemporaryLockOffset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(kSaveTemporaryLockOffset >> 32);
    return at;
}

bool LockTemporary(HANDLE h) {
    OVERLAPPED at = LockPlace();
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

// Removes the temporaries in the folder that a killed save left: only files
// named as save_temporary.h says, that no save holds locked, and that still
// have that name once locked (not one its save has since put in place).
void RemoveLeftoverTemporaries(const std::wstring& folder) {
    const std::wstring end(kSaveTemporaryEnd.begin(), kSaveTemporaryEnd.end());
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(Long(folder + L".*" + end).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !IsSaveTemporaryName(std::wstring_view(found.cFileName)))
            continue;
        // While its save writes it, the writer's handle shares no deletion,
        // so this open fails; afterwards the lock tells.
        Handle h(CreateFileW(Long(folder + found.cFileName).c_str(), GENERIC_READ | DELETE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!h.Valid() || !LockTemporary(h.Get())) continue;
        const std::wstring now = FinalPath(h.Get());
        const std::size_t sep = now.find_last_of(L'\\');
        if (sep == std::wstring::npos ||
            !IsSaveTemporaryName(std::wstring_view(now).substr(sep + 1)))
            continue;
        FILE_DISPOSITION_INFO dispose{TRUE};
        SetFileInformationByHandle(h.Get(), FileDispositionInfo, &dispose, sizeof dispose);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The temporary beside the target, named as save_temporary.h says (so that a
// scan passes over one that a killed save left), created new and locked. Its
// one handle shares no deletion, so no sweep can open it, and holds the
// right to delete, so that it is also what gives the file its name or
// deletes it. The target's name is shortened so that the whole stays within
// the 255 units a name may have. The temporary is an ordinary file, not a
// hidden one: a hidden file would have to be made ordinary again by one more
// call on its name before it is put in place.
Handle CreateTemporary(const Target& target, std::wstring& temporary, DWORD& error) {
    constexpr std::size_t kRoom = 255 - 2 - kSaveTemporaryRandom - kSaveTemporaryEnd.size();
    static thread_local std::mt19937 random{std::random_device{}()};
    const wchar_t* letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::wstring end(kSaveTemporaryEnd.begin(), kSaveTemporaryEnd.end());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring tag;
        for (std::size_t i = 0; i < kSaveTemporaryRandom; ++i) tag += letters[random() % 62];
        temporary = target.folder + L"." + target.leaf.substr(0, kRoom) + L"." + tag + end;
        Handle h(CreateFileW(Long(temporary).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h.Valid()) {
            // A file system without locks leaves it unlocked; its handle still
            // keeps every sweep away until the file has its name.
            LockTemporary(h.Get());
            return Handle(h.Release());
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return Handle(INVALID_HANDLE_VALUE);
}

// Marks the open temporary to be deleted as its handle closes.
bool DeleteOnClose(HANDLE h) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &dispose, sizeof dispose);
}

// Gives the open temporary the target's name in one step, which makes the
// file visible under it. Without ReplaceIfExists the name is given only
// while it is free. The temporary lies in the target's folder, so this is
// always a rename within a volume, never the copy and delete of a move
// between volumes (which is what MOVEFILE_WRITE_THROUGH waits for).
Outcome GiveName(HANDLE h, const Target& target, Existing onTaken) {
    const std::wstring name = NtForm(target.path);
    const std::size_t bytes = name.size() * sizeof(wchar_t);
    std::vector<std::uint64_t> block(
        (offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t) + 7) / 8);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    info->ReplaceIfExists = onTaken == Existing::Replace;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(info->FileName, name.c_str(), bytes + sizeof(wchar_t));
    if (SetFileInformationByHandle(h, FileRenameInfo, info,
                                   static_cast<DWORD>(block.size() * sizeof block[0])))
        return Outcome::Ok;
    const DWORD error = GetLastError();
    return onTaken == Existing::Keep &&
                   (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
               ? Outcome::NameTaken
               : OutcomeOfWriteError(error);
}

// Hands the open temporary to the writer and, with its handle still open,
// gives it the target's name; one that gets no name is deleted as it closes
// (deleted says whether that was arranged).
Outcome WriteAndName(Handle& h, const Target& target, Existing onTaken,
                     const std::function<bool(std::FILE*)>& write, bool& deleted) {
    const HANDLE raw = h.Get();
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(raw), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        deleted = DeleteOnClose(raw);
        CloseHandle(h.Release());
        return Outcome::OutOfMemory;
    }
    h.Release();  // the descriptor owns it now
    std::FILE* file = _fdopen(fd, "wb");
    Outcome outcome = file != nullptr ? WriteAndFlush(file, write) : Outcome::OutOfMemory;
    if (outcome == Outcome::Ok) outcome = GiveName(raw, target, onTaken);
    deleted = outcome == Outcome::Ok || DeleteOnClose(raw);
    const bool closed = file != nullptr ? std::fclose(file) == 0 : _close(fd) == 0;
    // The file has its name already; the system holds every byte written.
    if (!closed && outcome == Outcome::Ok) outcome = Outcome::Failed;
    return outcome;
}

// Whether what holds the target's name keeps a save from replacing it: the
// source itself under any name (IsSource) or a read-only file
// (AccessDenied). Ok when nothing does, or nothing holds the name.
Outcome HeldAgainst(const Target& target, const FileIdentity& source) {
    {
        Handle existing(OpenForIdentity(target.path));
        FileIdentity id;
        if (existing.Valid() && IdentityOf(existing.Get(), id) && id.volume == source.volume &&
            id.fileLow == source.fileLow && id.fileHigh == source.fileHigh)
            return Outcome::IsSource;
        // A name that nothing holds has no attributes to ask for.
        const DWORD error = existing.Valid() ? ERROR_SUCCESS : GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Outcome::Ok;
    }
    const DWORD attributes = GetFileAttributesW(Long(target.path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
                   !(attributes & FILE_ATTRIBUTE_DIRECTORY)
               ? Outcome::AccessDenied
               : Outcome::Ok;
}

// Only a target of the source's own name can resolve to the source's path,
// so only then is the target's folder resolved.
bool NamedAsSource(const Target& target, const FileIdentity& source) {
    return source.resolvedPath.ends_with(NameKey(L"\\" + target.leaf));
}

}  // namespace

void Prepare() {}

Outcome ReadWholeFile(std::u16string_view path, std::uint64_t maxBytes, const HeadCheck& wanted,
                      std::vector<std::uint8_t>& bytes, FileIdentity& identity) {
    // A folder cannot be opened this way (access denied), as a picture it is not.
    Handle h(CreateFileW(Long(Wide(path)).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!h.Valid()) return OutcomeOfError(GetLastError());
    // Pipes and devices named like pictures are refused at once.
    if (GetFileType(h.Get()) != FILE_TYPE_DISK) return Outcome::Failed;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.Get(), &size) || size.QuadPart < 0) return Outcome::Failed;
    const auto readRange = [&h](std::size_t from, std::vector<std::uint8_t>& into) {
        return ReadRange(h.Get(), from, into);
    };
    if (Outcome o =
            ReadAll(static_cast<std::uint64_t>(size.QuadPart), maxBytes, wanted, bytes, readRange);
        o != Outcome::Ok)
        return o;
    const std::wstring resolved = FinalPath(h.Get());
    const std::size_t sep = resolved.find_last_of(L'\\');
    const std::string folder =
        sep == std::wstring::npos ? std::string() : NameKey(resolved.substr(0, sep + 1));
    if (!SourceIdentityOf(h.Get(), folder, identity)) return Outcome::Failed;
    identity.resolvedPath = NameKey(resolved.empty() ? FullPath(Wide(path)) : resolved);
    return Outcome::Ok;
}

Outcome WriteReplacing(std::u16string_view path, const FileIdentity& source, Existing onTaken,
                       const std::function<bool(std::FILE*)>& write) {
    Target target;
    if (!SplitTarget(path, target)) return Outcome::Failed;
    // The source stays intact: the same file under any name (a hard link, a
    // short name, other capitals) is refused, and so is its old name while
    // the image lives. A save that keeps an existing file never touches what
    // holds the name, so it asks what that is only when the name was taken.
    if (NamedAsSource(target, source) && ResolvedTargetKey(target) == source.resolvedPath)
        return Outcome::IsSource;
    if (onTaken == Existing::Replace) {
        if (Outcome o = HeldAgainst(target, source); o != Outcome::Ok) return o;
    }
    if (LeftoverTemporariesDue(NameKey(target.folder))) RemoveLeftoverTemporaries(target.folder);

    std::wstring temporary;
    DWORD error = 0;
    Handle h = CreateTemporary(target, temporary, error);
    if (!h.Valid()) return OutcomeOfWriteError(error);
    bool deleted = false;
    Outcome outcome = WriteAndName(h, target, onTaken, write, deleted);
    if (!deleted) DeleteFileW(Long(temporary).c_str());
    if (outcome == Outcome::NameTaken) {
        if (Outcome o = HeldAgainst(target, source); o != Outcome::Ok) return o;
    }
    return outcome;
}

}  // namespace gdip::fileio
