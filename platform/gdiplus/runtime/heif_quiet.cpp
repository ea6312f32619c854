// One redirection of the standard streams for every HEIF decoder that runs:
// the first to start points them at the null device, the last to end puts
// them back.
#include "heif_quiet.h"

#include <cstdio>
#include <mutex>

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
    const int null = quiet::OpenNullDevice();
    for (int fd : {1, 2}) {
        g_saved[fd - 1] = quiet::Duplicate(fd);
        if (null >= 0) quiet::PointAt(null, fd);
    }
    if (null >= 0) quiet::Close(null);
}

QuietStdio::~QuietStdio() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (--g_users > 0) return;
    std::fflush(stdout);
    std::fflush(stderr);
    for (int fd : {1, 2}) {
        if (g_saved[fd - 1] < 0) continue;
        quiet::PointAt(g_saved[fd - 1], fd);
        quiet::Close(g_saved[fd - 1]);
        g_saved[fd - 1] = -1;
    }
}

}  // namespace gdip
