// Pointing the standard streams at /dev/null while the HEIF decoders run.
#include <fcntl.h>
#include <unistd.h>

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
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (int fd : {1, 2}) {
        g_saved[fd - 1] = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (null >= 0) ::dup2(null, fd);
    }
    if (null >= 0) ::close(null);
}

QuietStdio::~QuietStdio() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_users > 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd : {1, 2}) {
        if (g_saved[fd - 1] < 0) continue;
        ::dup2(g_saved[fd - 1], fd);
        ::close(g_saved[fd - 1]);
        g_saved[fd - 1] = -1;
    }
}

}  // namespace gdip
