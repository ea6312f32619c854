// The C runtime's descriptors 1 and 2 are the process's (the companion DLL
// and the program share msvcrt.dll), so pointing them at NUL silences the
// decoders whichever module prints.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <mutex>

#include "heif_quiet.h"

namespace gdip {

namespace {

std::mutex g_mutex;
int g_users = 0;
int g_saved[2] = {-1, -1};

}  // namespace

QuietStdio::QuietStdio() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_users++ > 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = _open("NUL", _O_WRONLY | _O_NOINHERIT);
    for (int fd : {1, 2}) {
        g_saved[fd - 1] = _dup(fd);
        if (null >= 0) _dup2(null, fd);
    }
    if (null >= 0) _close(null);
}

QuietStdio::~QuietStdio() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_users > 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd : {1, 2}) {
        if (g_saved[fd - 1] < 0) continue;
        _dup2(g_saved[fd - 1], fd);
        _close(g_saved[fd - 1]);
        g_saved[fd - 1] = -1;
    }
}

}  // namespace gdip
