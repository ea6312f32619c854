// Loading and saving whole files for the flat API.
#include "image_store.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <unordered_set>

#include "platform/gdiplus/save_temporary.h"
#include "platform/win32/host_path.h"

namespace gdip {

namespace {

mode_t g_umask = 022;

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

GpStatus StatusOfOpenError(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return FileNotFound;
        case EACCES:
        case EPERM:
            return AccessDenied;
        case ENOMEM:
            return OutOfMemory;
        default:
            return Win32Error;
    }
}

GpStatus StatusOfWriteError(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? AccessDenied : Win32Error;
}

// A file can be far larger than its first picture, but not beyond reason:
// nothing that the budget admits needs more than twice the pixel bytes.
std::uint64_t MaxFileBytes() {
    return 2 * PixelBudgetBytes();
}

GpStatus ReadWhole(int fd, std::uint64_t size, std::vector<std::uint8_t>& bytes) {
    if (size > MaxFileBytes()) return OutOfMemory;
    bytes.resize(size);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Win32Error;
        if (n == 0) break;  // the file shrank meanwhile: take what is there
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return Ok;
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

struct Target {
    std::string path;
    std::string folder;
    std::string leaf;
};

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

mode_t NewFileMode(const struct stat* existing) {
    if (existing != nullptr && S_ISREG(existing->st_mode)) return existing->st_mode & 07777;
    return 0666 & ~g_umask;
}

// Writes the encoded image to the open temporary and closes it.
GpStatus WriteTemporary(int fd, const GpImage& image, const Encoder& encoder) {
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        return OutOfMemory;
    }
    std::setvbuf(file, nullptr, _IOFBF, std::size_t{1} << 20);
    GpStatus status = encoder.Encode(image.bitmap, file);
    if (std::fflush(file) != 0 || std::ferror(file)) status = status == Ok ? Win32Error : status;
    if (std::fclose(file) != 0 && status == Ok) status = Win32Error;
    return status;
}

GpStatus SplitTarget(std::u16string_view winPath, Target& target) {
    const auto host = win32::ToHostPath(winPath);
    if (!host || host->empty()) return Win32Error;
    target.path = *host;
    const std::size_t slash = target.path.rfind('/');
    // One assignment per case: GCC 12 at -O3 reports a false -Wrestrict on
    // assigning the short literal "/" after the substring.
    if (slash == std::string::npos)
        target.folder = std::string(".");
    else
        target.folder = target.path.substr(0, slash == 0 ? 1 : slash);
    target.leaf = slash == std::string::npos ? target.path : target.path.substr(slash + 1);
    return target.leaf.empty() ? Win32Error : Ok;
}

// The source stays intact: a save over the file the image was read from is
// refused as the platform refuses to open a file that is still in use.
bool IsOwnSource(const GpImage& image, const Target& target, const struct stat* existing) {
    if (existing != nullptr && existing->st_dev == image.sourceDevice &&
        existing->st_ino == image.sourceInode)
        return true;
    return ResolvedTarget(target.folder, target.leaf) == image.sourcePath;
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

// Puts the finished unnamed file in place: straight under the target's name
// when that is free; otherwise under a temporary name renamed over the
// target, so that the old file is replaced in one step. Only a kill between
// the link and the rename leaves the temporary behind.
GpStatus Publish(int fd, const Target& target) {
    int error = LinkUnnamed(fd, target.path);
    if (error == 0) return Ok;
    if (error != EEXIST) return StatusOfWriteError(error);
    std::string temporary = TemporaryTemplate(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        FillRandom(temporary);
        error = LinkUnnamed(fd, temporary);
        if (error == EEXIST) continue;
        if (error != 0) return StatusOfWriteError(error);
        if (rename(temporary.c_str(), target.path.c_str()) == 0) return Ok;
        error = errno;
        unlink(temporary.c_str());
        return StatusOfWriteError(error);
    }
    return Win32Error;
}

// The file has no name until it is whole: a save killed on the way leaves
// nothing, since the system drops an unnamed file with its last descriptor.
GpStatus SaveUnnamed(int fd, mode_t mode, const GpImage& image, const Encoder& encoder,
                     const Target& target) {
    FileDescriptor file(fd);
    // O_TMPFILE took the mode through the umask; an existing target's mode
    // is kept as it was.
    if (fchmod(fd, mode) != 0) return Win32Error;
    const int writer = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (writer < 0) return Win32Error;
    if (GpStatus s = WriteTemporary(writer, image, encoder); s != Ok) return s;
    return Publish(fd, target);
}

// Where unnamed files are not offered: a named temporary, renamed into place.
GpStatus SaveNamed(mode_t mode, const GpImage& image, const Encoder& encoder,
                   const Target& target) {
    std::string temporary = TemporaryTemplate(target);
    const int fd =
        mkostemps(temporary.data(), static_cast<int>(kSaveTemporaryEnd.size()), O_CLOEXEC);
    if (fd < 0) return StatusOfWriteError(errno);
    GpStatus status = fchmod(fd, mode) == 0 ? Ok : Win32Error;
    if (status == Ok) {
        status = WriteTemporary(fd, image, encoder);
    } else {
        close(fd);
    }
    if (status == Ok && rename(temporary.c_str(), target.path.c_str()) != 0)
        status = StatusOfWriteError(errno);
    if (status != Ok) unlink(temporary.c_str());
    return status;
}

std::mutex g_liveLock;
std::unordered_set<const GpImage*> g_live;

}  // namespace

void CaptureUmask() {
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

GpStatus LoadImageFile(std::u16string_view winPath, std::unique_ptr<GpBitmap>& image) {
    const auto host = win32::ToHostPath(winPath);
    if (!host) return FileNotFound;
    std::vector<std::uint8_t> bytes;
    struct stat st {};
    {
        // Non-blocking, so that a FIFO named like a picture cannot hang us.
        FileDescriptor fd(open(host->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (fd.Get() < 0) return StatusOfOpenError(errno);
        if (fstat(fd.Get(), &st) != 0) return Win32Error;
        if (S_ISDIR(st.st_mode)) return AccessDenied;
        if (!S_ISREG(st.st_mode)) return Win32Error;
        if (GpStatus s = ReadWhole(fd.Get(), static_cast<std::uint64_t>(st.st_size), bytes);
            s != Ok)
            return s;
    }
    const Decoder* decoder = DecoderFor(bytes);
    if (decoder == nullptr) return UnknownImageFormat;
    auto loaded = std::make_unique<GpBitmap>();
    if (GpStatus s = decoder->Decode(bytes, loaded->bitmap); s != Ok) return s;
    if (loaded->bitmap.width == 0 || loaded->bitmap.height == 0) return GenericError;
    loaded->sourceDevice = st.st_dev;
    loaded->sourceInode = st.st_ino;
    loaded->sourcePath = ResolvedPath(*host);
    image = std::move(loaded);
    return Ok;
}

GpStatus SaveImageFile(const GpImage& image, std::u16string_view winPath, const Encoder& encoder) {
    Target target;
    if (GpStatus s = SplitTarget(winPath, target); s != Ok) return s;
    if (target.leaf.size() > NAME_MAX) return Win32Error;
    struct stat st {};
    const bool exists = stat(target.path.c_str(), &st) == 0;
    if (IsOwnSource(image, target, exists ? &st : nullptr)) return Win32Error;
    if (exists && S_ISDIR(st.st_mode)) return Win32Error;
    // A read-only file is not replaced, as the platform would not open it.
    if (exists && S_ISREG(st.st_mode) && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS))
        return AccessDenied;
    const mode_t mode = NewFileMode(exists ? &st : nullptr);
    if (UnnamedFilesLinkable()) {
        const int fd = open(target.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) return SaveUnnamed(fd, mode, image, encoder, target);
        // Only a file system (or kernel) without unnamed files takes the
        // named way; any other refusal would meet that way too.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return StatusOfWriteError(errno);
    }
    return SaveNamed(mode, image, encoder, target);
}

void RegisterImage(GpImage* image) {
    std::lock_guard lock(g_liveLock);
    g_live.insert(image);
}

bool IsLiveImage(const GpImage* image) {
    std::lock_guard lock(g_liveLock);
    return g_live.count(image) != 0;
}

bool UnregisterImage(const GpImage* image) {
    std::lock_guard lock(g_liveLock);
    return g_live.erase(image) != 0;
}

}  // namespace gdip
