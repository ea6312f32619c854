// File access on a POSIX host: the program's Windows paths are mapped onto
// host paths; a file is recognised by device and inode.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "file_io.h"
#include "file_io_common.h"
#include "file_io_testing.h"
#include "platform/gdiplus/save_temporary.h"
#include "platform/win32/host_path.h"

namespace gdip::fileio {

namespace {

mode_t g_umask = 022;
ModeCall g_setMode = nullptr;  // fchmod unless a test says otherwise
bool g_unnamedOffered = true;

// Carries a mode over to the new file, as far as the file system keeps
// modes: FAT volumes (USB sticks) and many shares keep none and refuse the
// call, and the save goes on without it.
void CarryMode(int fd, mode_t mode) {
    if (g_setMode != nullptr)
        g_setMode(fd, mode);
    else
        fchmod(fd, mode);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

Outcome OutcomeOfOpenError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return Outcome::NotFound;
        case EACCES:
        case EPERM:
            return Outcome::AccessDenied;
        case ENOMEM:
            return Outcome::OutOfMemory;
        default:
            return Outcome::Failed;
    }
}

Outcome OutcomeOfWriteError(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? Outcome::AccessDenied
                                                                 : Outcome::Failed;
}

// Reads bytes [from, bytes.size()); the vector ends where the file did.
Outcome ReadRange(int fd, std::size_t from, std::vector<std::uint8_t>& bytes) {
    std::size_t done = from;
    while (done < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Outcome::Failed;
        if (n == 0) break;  // the file shrank meanwhile: take what is there
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return Outcome::Ok;
}

std::string ResolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// Where a path would point once its folder's links are resolved; the leaf
// itself is kept as written (it may not exist yet).
std::string ResolvedTarget(const std::string& folder, const std::string& leaf) {
    std::string dir = ResolvedPath(folder);
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir + leaf;
}

mode_t NewFileMode(const struct stat* existing) {
    if (existing != nullptr && S_ISREG(existing->st_mode)) return existing->st_mode & 07777;
    return 0666 & ~g_umask;
}

struct Target {
    std::string path;
    std::string folder;
    std::string leaf;
};

bool SplitTarget(std::u16string_view winPath, Target& target) {
    const auto host = win32::ToHostPath(winPath);
    if (!host || host->empty()) return false;
    target.path = *host;
    const std::size_t slash = target.path.rfind('/');
    // One assignment per case: GCC 12 at -O3 reports a false -Wrestrict on
    // assigning the short literal "/" after the substring.
    if (slash == std::string::npos)
        target.folder = std::string(".");
    else
        target.folder = target.path.substr(0, slash == 0 ? 1 : slash);
    target.leaf = slash == std::string::npos ? target.path : target.path.substr(slash + 1);
    return !target.leaf.empty();
}

// The source stays intact: a save over the file the image was read from is
// refused as the platform refuses to open a file that is still in use.
bool IsOwnSource(const FileIdentity& source, const Target& target, const struct stat* existing) {
    if (existing != nullptr && existing->st_dev == source.volume &&
        existing->st_ino == source.fileLow)
        return true;
    return ResolvedTarget(target.folder, target.leaf) == source.resolvedPath;
}

// A named temporary beside the target, recognisable as save_temporary.h
// says, the target's name shortened so that the whole stays within the
// host's name limit. The random letters are left as "XXXXXX".
std::string TemporaryTemplate(const Target& target) {
    const std::size_t room = NAME_MAX - 2 - kSaveTemporaryRandom - kSaveTemporaryEnd.size();
    return target.folder + "/." + target.leaf.substr(0, room) + "." +
           std::string(kSaveTemporaryRandom, 'X') + std::string(kSaveTemporaryEnd);
}

// Fills the template's "XXXXXX" with letters and digits.
void FillRandom(std::string& name) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
        bits = static_cast<std::uint64_t>(
                   std::chrono::steady_clock::now().time_since_epoch().count()) *
               0x9E3779B97F4A7C15u;
    const std::size_t at = name.size() - kSaveTemporaryEnd.size() - kSaveTemporaryRandom;
    for (std::size_t i = 0; i < kSaveTemporaryRandom; ++i, bits /= 62)
        name[at + i] = kLetters[bits % 62];
}

// Hands the open temporary to the writer and closes it.
Outcome WriteTemporary(int fd, const std::function<bool(std::FILE*)>& write) {
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        return Outcome::OutOfMemory;
    }
    return WriteAndClose(file, write);
}

// Unnamed files are given a name through /proc; without it they cannot be.
bool UnnamedFilesLinkable() {
    static const bool linkable = access("/proc/self/fd", X_OK) == 0;
    return linkable;
}

// Gives the finished unnamed file fd a name in its folder: 0 or an errno.
int LinkUnnamed(int fd, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                          : errno;
}

// Locks a temporary for as long as its save runs (save_temporary.h). A file
// system without locks leaves it unlocked; no save then removes it.
bool LockTemporary(int fd) {
    return flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// Gives the finished temporary (named temporary) the target's name only
// while that name is free: a rename that never replaces; where the file
// system lacks it, a hard link (which never replaces either); where it lacks
// both (FAT), the name is taken by creating it empty and exclusively and the
// temporary renamed over that placeholder. On success the temporary's name is
// gone.
Outcome ClaimName(const std::string& temporary, const std::string& target) {
    if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return Outcome::Ok;
    if (errno == EEXIST) return Outcome::NameTaken;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return OutcomeOfWriteError(errno);
    if (link(temporary.c_str(), target.c_str()) == 0) {
        unlink(temporary.c_str());
        return Outcome::Ok;
    }
    if (errno == EEXIST) return Outcome::NameTaken;
    if (errno != EPERM && errno != ENOSYS && errno != ENOTSUP && errno != EMLINK)
        return OutcomeOfWriteError(errno);
    const int placeholder =
        open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (placeholder < 0) return errno == EEXIST ? Outcome::NameTaken : OutcomeOfWriteError(errno);
    struct stat own {};
    fstat(placeholder, &own);
    close(placeholder);
    if (rename(temporary.c_str(), target.c_str()) == 0) return Outcome::Ok;
    const int error = errno;
    struct stat now {};
    if (lstat(target.c_str(), &now) == 0 && now.st_dev == own.st_dev && now.st_ino == own.st_ino)
        unlink(target.c_str());
    return OutcomeOfWriteError(error);
}

// Puts the finished unnamed file in place: straight under the target's name
// when that is free (linking never replaces). A taken name is NameTaken when
// the file is to be kept; otherwise the file is linked under a temporary
// name and renamed over the target, so that the old file is replaced in one
// step. Only a kill between the link and the rename leaves the temporary
// behind, and the next save into the folder removes it.
Outcome Publish(int fd, const Target& target, Existing existing) {
    int error = LinkUnnamed(fd, target.path);
    if (error == 0) return Outcome::Ok;
    if (error != EEXIST) return OutcomeOfWriteError(error);
    if (existing == Existing::Keep) return Outcome::NameTaken;
    std::string temporary = TemporaryTemplate(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        FillRandom(temporary);
        error = LinkUnnamed(fd, temporary);
        if (error == EEXIST) continue;
        if (error != 0) return OutcomeOfWriteError(error);
        if (rename(temporary.c_str(), target.path.c_str()) == 0) return Outcome::Ok;
        error = errno;
        unlink(temporary.c_str());
        return OutcomeOfWriteError(error);
    }
    return Outcome::Failed;
}

// The file has no name until it is whole: a save killed on the way leaves
// nothing, since the system drops an unnamed file with its last descriptor.
Outcome SaveUnnamed(int fd, mode_t mode, Existing existing,
                    const std::function<bool(std::FILE*)>& write, const Target& target) {
    FileDescriptor file(fd);
    // Locked before it can have a name (Publish may give it a temporary one).
    LockTemporary(fd);
    // O_TMPFILE took the mode through the umask; an existing target's mode
    // is kept as it was.
    CarryMode(fd, mode);
    const int writer = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (writer < 0) return Outcome::Failed;
    if (Outcome o = WriteTemporary(writer, write); o != Outcome::Ok) return o;
    return Publish(fd, target, existing);
}

// Creates the named temporary, locked. One that a removal of leftovers took
// before the lock (it is gone from the folder then) is given up for another.
int CreateNamedTemporary(const Target& target, std::string& temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = TemporaryTemplate(target);
        const int fd =
            mkostemps(temporary.data(), static_cast<int>(kSaveTemporaryEnd.size()), O_CLOEXEC);
        if (fd < 0) return -1;
        struct stat own {};
        struct stat named {};
        if (LockTemporary(fd) && fstat(fd, &own) == 0 && lstat(temporary.c_str(), &named) == 0 &&
            own.st_dev == named.st_dev && own.st_ino == named.st_ino)
            return fd;
        close(fd);
    }
    errno = EEXIST;
    return -1;
}

// Where unnamed files are not offered: a named temporary, locked while it is
// written and put in place; a failed save removes it.
Outcome SaveNamed(mode_t mode, Existing existing, const std::function<bool(std::FILE*)>& write,
                  const Target& target) {
    std::string temporary;
    const int fd = CreateNamedTemporary(target, temporary);
    if (fd < 0) return OutcomeOfWriteError(errno);
    CarryMode(fd, mode);
    // The lock lasts while this descriptor is open, after the writer's closes.
    FileDescriptor lock(fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (lock.Get() < 0) {
        close(fd);
        unlink(temporary.c_str());
        return Outcome::Failed;
    }
    Outcome outcome = WriteTemporary(fd, write);
    if (outcome == Outcome::Ok) {
        if (existing == Existing::Keep)
            outcome = ClaimName(temporary, target.path);
        else if (rename(temporary.c_str(), target.path.c_str()) != 0)
            outcome = OutcomeOfWriteError(errno);
    }
    if (outcome != Outcome::Ok) unlink(temporary.c_str());
    return outcome;
}

// Removes the temporaries in the folder that a killed save left: only files
// named as save_temporary.h says, and only those that no save holds locked.
void RemoveLeftoverTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!IsSaveTemporaryName(name)) continue;
        const std::string path = folder + "/" + std::string(name);
        FileDescriptor fd(
            open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
        struct stat held {};
        struct stat named {};
        if (fd.Get() < 0 || fstat(fd.Get(), &held) != 0 || !S_ISREG(held.st_mode)) continue;
        if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) continue;
        // Still that file under that name (not one its save has since put in place).
        if (lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino)
            unlink(path.c_str());
    }
    closedir(dir);
}

}  // namespace

void Prepare() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0) continue;
        g_umask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        return;
    }
    const mode_t mask = umask(022);  // older kernels: read it by setting it
    umask(mask);
    g_umask = mask;
}

Outcome ReadWholeFile(std::u16string_view path, std::uint64_t maxBytes, const HeadCheck& wanted,
                      std::vector<std::uint8_t>& bytes, FileIdentity& identity) {
    const auto host = win32::ToHostPath(path);
    if (!host) return Outcome::NotFound;
    struct stat st {};
    // Non-blocking, so that a FIFO named like a picture cannot hang us.
    FileDescriptor fd(open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0) return OutcomeOfOpenError(errno);
    if (fstat(fd.Get(), &st) != 0) return Outcome::Failed;
    if (S_ISDIR(st.st_mode)) return Outcome::AccessDenied;
    if (!S_ISREG(st.st_mode)) return Outcome::Failed;
    const auto readRange = [&fd](std::size_t from, std::vector<std::uint8_t>& into) {
        return ReadRange(fd.Get(), from, into);
    };
    if (Outcome o =
            ReadAll(static_cast<std::uint64_t>(st.st_size), maxBytes, wanted, bytes, readRange);
        o != Outcome::Ok)
        return o;
    identity.volume = st.st_dev;
    identity.fileHigh = 0;
    identity.fileLow = st.st_ino;
    identity.resolvedPath = ResolvedPath(*host);
    return Outcome::Ok;
}

Outcome WriteReplacing(std::u16string_view path, const FileIdentity& source, Existing existing,
                       const std::function<bool(std::FILE*)>& write) {
    Target target;
    if (!SplitTarget(path, target)) return Outcome::Failed;
    if (target.leaf.size() > NAME_MAX) return Outcome::Failed;
    struct stat st {};
    const bool exists = stat(target.path.c_str(), &st) == 0;
    if (IsOwnSource(source, target, exists ? &st : nullptr)) return Outcome::IsSource;
    if (exists && S_ISDIR(st.st_mode)) return Outcome::Failed;
    // A read-only file is not replaced, as the platform would not open it.
    if (exists && S_ISREG(st.st_mode) && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS))
        return Outcome::AccessDenied;
    if (LeftoverTemporariesDue(target.folder)) RemoveLeftoverTemporaries(target.folder);
    const mode_t mode = NewFileMode(exists ? &st : nullptr);
    if (UnnamedFilesLinkable() && g_unnamedOffered) {
        const int fd = open(target.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) return SaveUnnamed(fd, mode, existing, write, target);
        // Only a file system (or kernel) without unnamed files takes the
        // named way; any other refusal would meet that way too.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return OutcomeOfWriteError(errno);
    }
    return SaveNamed(mode, existing, write, target);
}

namespace testing {
void SetModeCall(ModeCall call) {
    g_setMode = call;
}
void OfferUnnamedTemporaries(bool offered) {
    g_unnamedOffered = offered;
}
}  // namespace testing

}  // namespace gdip::fileio
