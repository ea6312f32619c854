// Kernel file calls on the host file system. A folder listing reads names with
// readdir and their kind from d_type, so that the basic level costs no stat
// per entry; the standard level stats each entry for sizes and times.
#include "fileapi.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common.h"
#include "host_path.h"

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsDrivePrefix(std::u16string_view p) {
    return p.size() >= 2 && p[1] == u':' &&
           ((p[0] >= u'a' && p[0] <= u'z') || (p[0] >= u'A' && p[0] <= u'Z'));
}

FILETIME ToFileTime(const timespec& ts) {
    // 100-nanosecond intervals since 1601-01-01.
    constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
    std::int64_t v = (static_cast<std::int64_t>(ts.tv_sec) + kSecondsFrom1601To1970) * 10000000 +
                     ts.tv_nsec / 100;
    if (v < 0) v = 0;
    return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFF), static_cast<DWORD>(v >> 32)};
}

// Sizes, times and the attributes a stat answers. Host file systems do not
// all keep a creation time: the last write time stands in for it.
DWORD FillFromStat(const struct stat& st, WIN32_FIND_DATAW& d) {
    const auto size = static_cast<std::uint64_t>(st.st_size);
    d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    d.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    d.ftLastWriteTime = ToFileTime(st.st_mtim);
    d.ftCreationTime = d.ftLastWriteTime;
    d.ftLastAccessTime = ToFileTime(st.st_atim);
    DWORD attr = 0;
    if (S_ISDIR(st.st_mode)) attr |= FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & S_IWUSR) == 0) attr |= FILE_ATTRIBUTE_READONLY;
    return attr;
}

bool IsHiddenName(const char* name) {
    return name[0] == '.' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

DWORD FinishAttributes(DWORD attr, const char* hostName) {
    if (IsHiddenName(hostName)) attr |= FILE_ATTRIBUTE_HIDDEN;
    return attr == 0 ? FILE_ATTRIBUTE_NORMAL : attr;
}

void SetName(std::u16string_view name, WIN32_FIND_DATAW& d) {
    const std::size_t n = std::min<std::size_t>(name.size(), MAX_PATH - 1);
    std::copy_n(name.data(), n, d.cFileName);
    d.cFileName[n] = 0;
}

// One entry of an open folder. A link carries the reparse attribute, and the
// directory attribute when it leads to a folder; the standard level reports
// the sizes and times of what the link leads to.
void Describe(int folderFd, const char* name, unsigned char type, bool basic, WIN32_FIND_DATAW& d) {
    DWORD attr = 0;
    if (basic && type != DT_UNKNOWN && type != DT_LNK) {
        if (type == DT_DIR) attr |= FILE_ATTRIBUTE_DIRECTORY;
    } else {
        struct stat st {};
        if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode)) {
                attr |= FILE_ATTRIBUTE_REPARSE_POINT;
                struct stat target {};
                if (::fstatat(folderFd, name, &target, 0) == 0) st = target;
            }
            if (basic) {
                if (S_ISDIR(st.st_mode)) attr |= FILE_ATTRIBUTE_DIRECTORY;
            } else {
                attr |= FillFromStat(st, d);
            }
        }
    }
    d.dwFileAttributes = FinishAttributes(attr, name);
}

// Windows wildcards in one name: '*' any run, '?' one code unit.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
    std::size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

struct FindContext {
    DIR* dir = nullptr;  // null: a search for one named entry, already reported
    std::u16string pattern;
    bool matchAll = false;
    bool basic = false;
    int dotsReported = 0;
    std::u16string name;  // reused for every entry

    FindContext() = default;
    FindContext(const FindContext&) = delete;
    FindContext& operator=(const FindContext&) = delete;
    ~FindContext() {
        if (dir != nullptr) ::closedir(dir);
    }
};

bool ReportIfMatching(FindContext& c, const char* hostName, unsigned char type,
                      WIN32_FIND_DATAW& d) {
    c.name.clear();
    win32::AppendNameFromHost(hostName, c.name);
    if (!c.matchAll && !Matches(c.pattern, c.name)) return false;
    d = WIN32_FIND_DATAW{};
    Describe(::dirfd(c.dir), hostName, type, c.basic, d);
    SetName(c.name, d);
    return true;
}

// "." and ".." first, then the folder's entries in the order readdir gives.
bool NextEntry(FindContext& c, WIN32_FIND_DATAW& d) {
    if (c.dir == nullptr) return false;
    while (c.dotsReported < 2) {
        const char* dots = c.dotsReported++ == 0 ? "." : "..";
        if (ReportIfMatching(c, dots, DT_DIR, d)) return true;
    }
    while (const dirent* e = ::readdir(c.dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        if (ReportIfMatching(c, e->d_name, e->d_type, d)) return true;
    }
    return false;
}

HANDLE FindOne(std::u16string_view path, std::u16string_view name, WIN32_FIND_DATAW& d) {
    const auto host = win32::ToHostPath(path);
    struct stat st {};
    if (!host || ::lstat(host->c_str(), &st) != 0) return INVALID_HANDLE_VALUE;
    DWORD attr = 0;
    if (S_ISLNK(st.st_mode)) {
        attr |= FILE_ATTRIBUTE_REPARSE_POINT;
        struct stat target {};
        if (::stat(host->c_str(), &target) == 0) st = target;
    }
    d = WIN32_FIND_DATAW{};
    attr |= FillFromStat(st, d);
    d.dwFileAttributes = FinishAttributes(attr, win32::NameToHost(name).c_str());
    SetName(name, d);
    return new FindContext;
}

DWORD CopyOut(std::u16string_view text, LPWSTR buffer, DWORD size) {
    if (buffer == nullptr || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<DWORD>(text.size());
}

// "\a\b" for the names of rest, with "." and ".." resolved; empty for none.
std::u16string ResolvedNames(std::u16string_view rest) {
    std::vector<std::u16string_view> parts;
    while (!rest.empty()) {
        std::size_t cut = 0;
        while (cut < rest.size() && !IsSeparator(rest[cut])) ++cut;
        const std::u16string_view part = rest.substr(0, cut);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        rest.remove_prefix(cut < rest.size() ? cut + 1 : cut);
    }
    std::u16string out;
    for (std::u16string_view part : parts) (out += u'\\') += part;
    return out;
}

std::u16string DrivePath(char16_t letter, std::u16string_view rest) {
    const std::u16string names = ResolvedNames(rest);
    const char16_t upper = letter >= u'a' ? static_cast<char16_t>(letter - 0x20) : letter;
    return std::u16string{upper, u':'} + (names.empty() ? u"\\" : names);
}

// The absolute drive form of a path, by name only. A path relative to the
// current folder is resolved on the host, as the file calls resolve it, so
// that ".." may leave the home folder.
std::u16string FullPath(std::u16string_view p) {
    std::u16string out;
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) {
        out = u"\\" + ResolvedNames(p.substr(2));
    } else if (IsDrivePrefix(p) && ((p.size() > 2 && IsSeparator(p[2])) || (p[0] | 0x20) != u'z')) {
        out = DrivePath(p[0], p.substr(2));  // of the drives, only Z: has a current folder
    } else if (!p.empty() && IsSeparator(p[0])) {
        out = DrivePath(u'Z', p);
    } else {
        out = win32::FromHostPath(win32::ToHostPath(p).value_or("/"));
    }
    if (!p.empty() && IsSeparator(p.back()) && out.back() != u'\\') out += u'\\';
    return out;
}

}  // namespace

HANDLE FindFirstFileExW(LPCWSTR lpFileName, FINDEX_INFO_LEVELS fInfoLevelId, LPVOID lpFindFileData,
                        FINDEX_SEARCH_OPS, LPVOID, DWORD) {
    if (lpFileName == nullptr || lpFindFileData == nullptr) return INVALID_HANDLE_VALUE;
    auto& d = *static_cast<WIN32_FIND_DATAW*>(lpFindFileData);
    const std::u16string_view pattern(lpFileName);
    std::size_t nameStart = pattern.find_last_of(u"\\/");
    if (nameStart != std::u16string_view::npos)
        ++nameStart;
    else
        nameStart = IsDrivePrefix(pattern) ? 2 : 0;
    const std::u16string_view name = pattern.substr(nameStart);
    if (name.empty()) return INVALID_HANDLE_VALUE;
    if (name.find_first_of(u"*?") == std::u16string_view::npos) return FindOne(pattern, name, d);

    const auto folder = win32::ToHostPath(pattern.substr(0, nameStart));
    if (!folder) return INVALID_HANDLE_VALUE;
    auto c = std::make_unique<FindContext>();
    c->dir = ::opendir(folder->c_str());
    if (c->dir == nullptr) return INVALID_HANDLE_VALUE;
    c->pattern = name;
    c->matchAll = name == u"*" || name == u"*.*";
    c->basic = fInfoLevelId == FindExInfoBasic;
    if (!NextEntry(*c, d)) return INVALID_HANDLE_VALUE;
    return c.release();
}

BOOL FindNextFileW(HANDLE hFindFile, WIN32_FIND_DATAW* lpFindFileData) {
    if (hFindFile == nullptr || hFindFile == INVALID_HANDLE_VALUE || lpFindFileData == nullptr)
        return FALSE;
    return NextEntry(*static_cast<FindContext*>(hFindFile), *lpFindFileData) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (hFindFile == nullptr || hFindFile == INVALID_HANDLE_VALUE) return FALSE;
    delete static_cast<FindContext*>(hFindFile);
    return TRUE;
}

BOOL PathFileExistsW(LPCWSTR pszPath) {
    if (pszPath == nullptr || pszPath[0] == 0) return FALSE;
    const auto host = win32::ToHostPath(pszPath);
    struct stat st {};
    return host && ::stat(host->c_str(), &st) == 0 ? TRUE : FALSE;
}

BOOL PathIsDirectoryW(LPCWSTR pszPath) {
    if (pszPath == nullptr || pszPath[0] == 0) return FALSE;
    const auto host = win32::ToHostPath(pszPath);
    struct stat st {};
    if (!host || ::stat(host->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return FALSE;
    return static_cast<BOOL>(FILE_ATTRIBUTE_DIRECTORY);
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (lpPathName == nullptr || lpPathName[0] == 0) return FALSE;
    const auto host = win32::ToHostPath(lpPathName);
    return host && ::mkdir(host->c_str(), 0777) == 0 ? TRUE : FALSE;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    if (hModule != nullptr) return 0;
    std::u16string path = win32::ModuleFileNameOverride();
    if (path.empty()) {
        std::string buf(4096, '\0');
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return 0;
        buf.resize(static_cast<std::size_t>(n));
        path = win32::FromHostPath(buf);
    }
    return win32::CopyFileNameOut(path, lpFilename, nSize);
}

DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer,
                       LPWSTR* lpFilePart) {
    if (lpFilePart != nullptr) *lpFilePart = nullptr;
    if (lpFileName == nullptr || lpFileName[0] == 0) return 0;
    const std::u16string full = FullPath(lpFileName);
    const DWORD n = CopyOut(full, lpBuffer, nBufferLength);
    if (n < nBufferLength && lpFilePart != nullptr && full.back() != u'\\')
        *lpFilePart = lpBuffer + full.find_last_of(u'\\') + 1;
    return n;
}

DWORD GetFinalPathNameW(LPCWSTR lpPath, LPWSTR lpszFilePath, DWORD cchFilePath, DWORD) {
    if (lpPath == nullptr) return 0;
    const auto host = win32::ToHostPath(lpPath);
    if (!host) return 0;
    char* real = ::realpath(host->c_str(), nullptr);
    if (real == nullptr) return 0;
    const std::u16string path = win32::FromHostPath(real);
    std::free(real);
    return CopyOut(path, lpszFilePath, cchFilePath);
}

namespace {
// What a handle from CreateFileW holds: a descriptor that names the file
// without opening its content (O_PATH), so a FIFO cannot block.
struct FileContext {
    int fd;
};
}  // namespace

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    if (lpFileName == nullptr || dwCreationDisposition != OPEN_EXISTING ||
        (dwDesiredAccess & ~GENERIC_READ) != 0)
        return INVALID_HANDLE_VALUE;
    const auto host = win32::ToHostPath(lpFileName);
    if (!host) return INVALID_HANDLE_VALUE;
    const int fd = ::open(host->c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    struct stat st {};
    if (::fstat(fd, &st) != 0 ||
        (S_ISDIR(st.st_mode) && (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) == 0)) {
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    return new FileContext{fd};
}

BOOL GetFileInformationByHandle(HANDLE hFile, BY_HANDLE_FILE_INFORMATION* lpFileInformation) {
    if (hFile == nullptr || hFile == INVALID_HANDLE_VALUE || lpFileInformation == nullptr)
        return FALSE;
    struct stat st {};
    if (::fstat(static_cast<FileContext*>(hFile)->fd, &st) != 0) return FALSE;
    WIN32_FIND_DATAW d{};
    const DWORD attr = FillFromStat(st, d);
    BY_HANDLE_FILE_INFORMATION& info = *lpFileInformation;
    info.dwFileAttributes = attr == 0 ? FILE_ATTRIBUTE_NORMAL : attr;
    info.ftCreationTime = d.ftCreationTime;
    info.ftLastAccessTime = d.ftLastAccessTime;
    info.ftLastWriteTime = d.ftLastWriteTime;
    // The host's device numbers fit 32 bits for every usual device; the high
    // half is folded in for the rest.
    const auto device = static_cast<std::uint64_t>(st.st_dev);
    info.dwVolumeSerialNumber = static_cast<DWORD>(device ^ (device >> 32));
    info.nFileSizeHigh = d.nFileSizeHigh;
    info.nFileSizeLow = d.nFileSizeLow;
    info.nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    const auto inode = static_cast<std::uint64_t>(st.st_ino);
    info.nFileIndexHigh = static_cast<DWORD>(inode >> 32);
    info.nFileIndexLow = static_cast<DWORD>(inode & 0xFFFFFFFF);
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    if (hObject == nullptr || hObject == INVALID_HANDLE_VALUE) return FALSE;
    auto* file = static_cast<FileContext*>(hObject);
    ::close(file->fd);
    delete file;
    return TRUE;
}
