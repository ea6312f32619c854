// An X server of the test's own (Xvfb), for the tests that need a real one.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace testsupport {

class XServer {
public:
    // True when Xvfb is on the PATH; tests skip without it.
    static bool Available();
    // An Xvfb on a display it picks itself (no race with other tests starting
    // servers), ready for clients once it has named the display; null when it
    // did not start.
    static std::unique_ptr<XServer> Start();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // The display, as DISPLAY names it (":87").
    const std::string& Name() const { return m_display; }

private:
    explicit XServer(pid_t pid) : m_pid(pid) {}

    pid_t m_pid;
    std::string m_display;
};

}  // namespace testsupport
