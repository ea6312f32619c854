// Xvfb started with -displayfd, so that it picks a free display itself.
#include "tests/support/x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace testsupport {

namespace {

// The display number, or nothing when the server ended or took too long.
std::string ReadLine(int fd) {
    std::string line;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 30000) == 1) {
        char c = 0;
        if (::read(fd, &c, 1) != 1) return {};
        if (c == '\n') return line;
        line += c;
    }
    return {};
}

}  // namespace

bool XServer::Available() {
    const char* path = std::getenv("PATH");
    const std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        if (::access((dirs.substr(at, end - at) + "/Xvfb").c_str(), X_OK) == 0) return true;
        at = end + 1;
    }
    return false;
}

std::unique_ptr<XServer> XServer::Start() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return nullptr;
    std::vector<const char*> argv{"Xvfb",     "-displayfd", "3", "-nolisten",  "tcp",
                                  "-noreset", "-screen",    "0", "640x480x24", nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, "Xvfb", &actions, nullptr,
                                  const_cast<char* const*>(argv.data()), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return nullptr;
    }
    auto server = std::unique_ptr<XServer>(new XServer(pid));
    const std::string number = ReadLine(fds[0]);
    ::close(fds[0]);
    if (number.empty()) return nullptr;
    server->m_display = ":" + number;
    return server;
}

XServer::~XServer() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
}

}  // namespace testsupport
