// Shell calls: the Pictures folder from the XDG user directories, the folder
// chooser on Qt, and opening a folder in the desktop's file manager.
#include "shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QFileDialog>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <new>
#include <thread>
#include <vector>

#include "common.h"
#include "host_path.h"

// Item lists come from malloc, as task memory does on Windows, so ILFree and
// CoTaskMemFree release them alike. The header is followed by the path's
// UTF-16 code units and a terminator.
struct ITEMIDLIST {
    std::uint32_t length;
};

namespace {

PIDLIST_ABSOLUTE MakeItem(std::u16string_view path) {
    void* mem = std::malloc(sizeof(ITEMIDLIST) + (path.size() + 1) * sizeof(char16_t));
    if (mem == nullptr) return nullptr;
    auto* item = new (mem) ITEMIDLIST{static_cast<std::uint32_t>(path.size())};
    auto* text = reinterpret_cast<char16_t*>(item + 1);
    std::copy(path.begin(), path.end(), text);
    text[path.size()] = 0;
    return item;
}

std::u16string_view ItemPath(PCIDLIST_ABSOLUTE item) {
    return {reinterpret_cast<const char16_t*>(item + 1), item->length};
}

// A value of user-dirs.dirs: "$HOME/x" or "/x", in double quotes, with
// backslash escapes. Anything else is not a valid entry.
std::optional<std::string> ParseUserDirValue(std::string_view v, const std::string& home) {
    if (v.empty() || v.front() != '"') return std::nullopt;
    std::string out;
    bool closed = false;
    for (std::size_t i = 1; i < v.size() && !closed; ++i) {
        if (v[i] == '\\' && i + 1 < v.size())
            out += v[++i];
        else if (v[i] == '"')
            closed = true;
        else
            out += v[i];
    }
    if (!closed) return std::nullopt;
    if (out.rfind("$HOME", 0) == 0 && (out.size() == 5 || out[5] == '/'))
        return home + out.substr(5);
    if (out.empty() || out.front() != '/') return std::nullopt;
    return out;
}

std::string PicturesFolder() {
    const std::string home = win32::HomeFolder();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string configDir =
        (config != nullptr && config[0] == '/') ? config : home + "/.config";
    std::ifstream in(configDir + "/user-dirs.dirs");
    std::optional<std::string> found;
    constexpr std::string_view kKey = "XDG_PICTURES_DIR=";
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string::npos || line.compare(at, kKey.size(), kKey) != 0) continue;
        // The file is read like the shell script it is: the last assignment counts.
        if (auto value = ParseUserDirValue(std::string_view(line).substr(at + kKey.size()), home))
            found = std::move(value);
    }
    return found.value_or(home + "/Pictures");
}

// The framework's windows hand out their widget as HWND; the X window list
// hands out X window ids. Either names a top-level widget of ours; anything
// else is only compared, never followed.
QWidget* OwnerWidget(HWND owner) {
    if (owner == nullptr) return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (reinterpret_cast<HWND>(w) == owner) return w;
        if (w->internalWinId() != 0 && reinterpret_cast<HWND>(w->internalWinId()) == owner)
            return w;
    }
    return nullptr;
}

// The browser opens where the top of the Windows namespace puts the user:
// with no root given, that is the desktop, whose first entries are the
// user's own folders (Desktop, Documents, Pictures), nothing preselected.
// Here those folders are the home folder, drive C:, so the dialog opens
// there, again with nothing selected; the rest of the namespace, drive Z:
// (the host's root), is one click away in the dialog's side bar. The edit's
// current folder is not used, as the program gives no starting folder.
std::optional<std::u16string> ChooseFolderWithQt(const BROWSEINFOW& bi) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return std::nullopt;
    const QString title = bi.lpszTitle != nullptr ? QString::fromUtf16(bi.lpszTitle) : QString();
    const QString start = QFile::decodeName(QByteArray::fromStdString(win32::HomeFolder()));
    const QString dir = QFileDialog::getExistingDirectory(OwnerWidget(bi.hwndOwner), title, start,
                                                          QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) return std::nullopt;
    return win32::FromHostPath(QFile::encodeName(dir).toStdString());
}

// file:// with every byte outside the unreserved set escaped, so that any
// name, UTF-8 or not, reaches the file manager unchanged.
QString FileUri(const std::string& hostPath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : hostPath) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '.' || c == '_' ||
                           c == '~';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return QString::fromLatin1(uri);
}

// The desktop's file manager over D-Bus, when one is running or can be
// started by the bus.
bool ShowFolderOverDBus(const std::string& hostPath) {
    if (QCoreApplication::instance() == nullptr) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (names == nullptr) return false;
    const QString service = QStringLiteral("org.freedesktop.FileManager1");
    const QDBusReply<bool> running = names->isServiceRegistered(service);
    if (!running.isValid() || !running.value()) {
        const QDBusReply<QStringList> activatable = names->activatableServiceNames();
        if (!activatable.isValid() || !activatable.value().contains(service)) return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                       service, QStringLiteral("ShowFolders"));
    call << QStringList{FileUri(hostPath)} << QString();
    // Blocks without running the event loop: the caller is a message handler.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// Starts program with one argument, no shell in between, in a session of its
// own with default signal handling and stdin from /dev/null. A thread of its
// own reaps it, so no zombie is left and no process-wide SIGCHLD setting is
// touched.
bool SpawnDetached(const char* program, const std::string& argument) {
    std::vector<char*> argv{const_cast<char*>(program), const_cast<char*>(argument.c_str()),
                            nullptr};
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    ::posix_spawnattr_init(&attr);
    ::posix_spawn_file_actions_init(&actions);
    sigset_t none, all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::sigdelset(&all, SIGKILL);
    ::sigdelset(&all, SIGSTOP);
    ::posix_spawnattr_setsigmask(&attr, &none);
    ::posix_spawnattr_setsigdefault(&attr, &all);
    ::posix_spawnattr_setflags(&attr,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, program, &actions, &attr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attr);
    if (rc != 0) return false;
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

HINSTANCE ShellResult(ULONG_PTR code) {
    return reinterpret_cast<HINSTANCE>(code);
}

constexpr ULONG_PTR kStarted = 42;
constexpr ULONG_PTR kFileNotFound = 2;
constexpr ULONG_PTR kPathNotFound = 3;
constexpr ULONG_PTR kNoAssociation = 31;

}  // namespace

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, PIDLIST_ABSOLUTE* ppidl) {
    if (ppidl == nullptr) return E_FAIL;
    *ppidl = nullptr;
    if (csidl != CSIDL_MYPICTURES) return E_FAIL;
    const std::string folder = PicturesFolder();
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return E_FAIL;
    *ppidl = MakeItem(win32::FromHostPath(folder));
    return *ppidl != nullptr ? S_OK : E_FAIL;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, LPWSTR pszPath) {
    if (pidl == nullptr || pszPath == nullptr) return FALSE;
    return win32::CopyPathOut(ItemPath(pidl), pszPath);
}

void ILFree(PIDLIST_ABSOLUTE pidl) {
    std::free(pidl);
}

void CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* lpbi) {
    if (lpbi == nullptr) return nullptr;
    const auto& hook = win32::FolderChooser();
    const std::optional<std::u16string> chosen = hook ? hook(*lpbi) : ChooseFolderWithQt(*lpbi);
    return chosen ? MakeItem(*chosen) : nullptr;
}

HINSTANCE ShellExecuteW(HWND, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR, LPCWSTR, INT) {
    const std::u16string verb = lpOperation != nullptr ? lpOperation : u"";
    const std::u16string file = lpFile != nullptr ? lpFile : u"";
    if (const auto& hook = win32::ShellExecuteRecorder()) {
        hook(verb, file);
        return ShellResult(kStarted);
    }
    if (verb != u"explore") return ShellResult(kNoAssociation);
    const auto host = win32::ToHostPath(file);
    struct stat st {};
    if (!host || file.empty() || ::stat(host->c_str(), &st) != 0) return ShellResult(kPathNotFound);
    // Only folders: handing a file to the opener could run it.
    if (!S_ISDIR(st.st_mode)) return ShellResult(kFileNotFound);
    if (ShowFolderOverDBus(*host)) return ShellResult(kStarted);
    return ShellResult(SpawnDetached("xdg-open", *host) ? kStarted : kNoAssociation);
}
