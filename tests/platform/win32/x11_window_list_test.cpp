// The window list read from a real X server: an Xvfb of the test's own, with
// plain Xlib windows, and for the window manager's side a stand-in that
// announces itself and answers requests from a thread of its own.
// GoogleTest before Xlib, whose macros (None, Bool, Status) clash with its names.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/winuser.h"
#include "tests/support/scoped_env.h"
#include "tests/support/x_server.h"

namespace {

HWND HandleOf(Window w) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w));
}

class X11WindowListTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::XServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
        m_server = testsupport::XServer::Start();
        ASSERT_NE(m_server, nullptr) << "Xvfb did not start";
        m_displayEnv = std::make_unique<testsupport::ScopedEnv>("DISPLAY", m_server->Name());
        win32::SetWindowListForTesting(nullptr);
        m_x = XOpenDisplay(m_server->Name().c_str());
        ASSERT_NE(m_x, nullptr);
        m_root = DefaultRootWindow(m_x);
    }

    void TearDown() override {
        // The list's own connection goes before its server does.
        win32::SetWindowListForTesting(nullptr);
        if (m_x != nullptr) XCloseDisplay(m_x);
        m_server.reset();
        m_displayEnv.reset();
    }

    Atom A(const char* name) { return XInternAtom(m_x, name, False); }

    Window Make(const char* title, bool utf8Name, bool map, Window owner = None,
                bool overrideRedirect = false) {
        XSetWindowAttributes attrs{};
        attrs.override_redirect = overrideRedirect ? True : False;
        const Window w = XCreateWindow(m_x, m_root, 10, 10, 100, 80, 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWOverrideRedirect, &attrs);
        if (utf8Name)
            XChangeProperty(m_x, w, A("_NET_WM_NAME"), A("UTF8_STRING"), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(title),
                            static_cast<int>(std::strlen(title)));
        else
            XStoreName(m_x, w, title);  // WM_NAME as Latin-1
        if (owner != None) XSetTransientForHint(m_x, w, owner);
        if (map) XMapWindow(m_x, w);
        XSync(m_x, False);
        return w;
    }

    void SetWindows(Window on, const char* property, std::vector<Window> windows) {
        std::vector<long> items(windows.begin(), windows.end());
        XChangeProperty(m_x, on, A(property), XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(items.data()),
                        static_cast<int>(items.size()));
        XSync(m_x, False);
    }

    static std::vector<HWND> Walk() {
        std::vector<HWND> out;
        for (HWND w = GetWindow(nullptr, GW_HWNDFIRST); w != nullptr && out.size() < 100;
             w = GetWindow(w, GW_HWNDNEXT))
            out.push_back(w);
        return out;
    }

    static std::u16string Title(Window w) {
        WCHAR buf[64];
        const int n = GetWindowTextW(HandleOf(w), buf, 64);
        EXPECT_EQ(n, GetWindowTextLengthW(HandleOf(w)));
        return std::u16string(buf, static_cast<std::size_t>(n));
    }

    std::unique_ptr<testsupport::XServer> m_server;
    std::unique_ptr<testsupport::ScopedEnv> m_displayEnv;
    Display* m_x = nullptr;
    Window m_root = None;
};

TEST_F(X11WindowListTest, FrontToBackWithoutAWindowManager) {
    const Window a = Make("图片收藏", true, true);
    const Window b = Make("Caf\xE9", false, true, a);
    const Window hidden = Make("hidden", true, false);
    Make("menu", true, true, None, true);

    EXPECT_EQ(Walk(), (std::vector<HWND>{HandleOf(b), HandleOf(a)}));
    EXPECT_EQ(Title(a), u"图片收藏");
    EXPECT_EQ(Title(b), u"Café");
    EXPECT_EQ(GetParent(HandleOf(b)), HandleOf(a));
    EXPECT_EQ(GetParent(HandleOf(a)), nullptr);
    EXPECT_TRUE(IsWindowVisible(HandleOf(a)));
    EXPECT_FALSE(IsWindowVisible(HandleOf(hidden)));
}

TEST_F(X11WindowListTest, ShowAndBringForward) {
    const Window a = Make("first", true, true);
    const Window b = Make("second", true, true);
    const Window hidden = Make("hidden", true, false);
    ASSERT_EQ(Walk().front(), HandleOf(b));

    EXPECT_TRUE(ShowWindow(HandleOf(a), SW_SHOWNORMAL));  // it was visible
    EXPECT_EQ(Walk(), (std::vector<HWND>{HandleOf(a), HandleOf(b)}));
    EXPECT_TRUE(SetForegroundWindow(HandleOf(a)));
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_x, &focus, &revert);
    EXPECT_EQ(focus, a);

    EXPECT_FALSE(
        SetForegroundWindow(HandleOf(hidden)));  // an unmapped window cannot take the focus
    EXPECT_FALSE(ShowWindow(HandleOf(hidden), SW_SHOWNORMAL));  // it was not visible
    EXPECT_EQ(Walk().front(), HandleOf(hidden));
    EXPECT_TRUE(IsWindowVisible(HandleOf(hidden)));
    EXPECT_TRUE(SetForegroundWindow(HandleOf(hidden)));
}

TEST_F(X11WindowListTest, VanishedWindowsAndAVanishedServer) {
    const Window a = Make("gone soon", true, true);
    EXPECT_EQ(Walk(), std::vector<HWND>{HandleOf(a)});
    XDestroyWindow(m_x, a);
    XSync(m_x, False);
    EXPECT_EQ(Title(a), u"");
    EXPECT_FALSE(IsWindowVisible(HandleOf(a)));
    EXPECT_FALSE(ShowWindow(HandleOf(a), SW_SHOWNORMAL));
    EXPECT_FALSE(SetForegroundWindow(HandleOf(a)));
    EXPECT_EQ(GetWindow(HandleOf(a), GW_HWNDNEXT), nullptr);

    XCloseDisplay(m_x);
    m_x = nullptr;
    m_server.reset();
    EXPECT_EQ(GetWindow(nullptr, GW_HWNDFIRST), nullptr);  // and the process lives on
    EXPECT_EQ(GetWindow(nullptr, GW_HWNDFIRST), nullptr);
}

// The window manager's side, as far as the list relies on it: it announces
// itself, keeps the client list, maps windows on request and makes a window
// active when asked.
class StandInWindowManager {
public:
    explicit StandInWindowManager(const std::string& display) : m_x(XOpenDisplay(display.c_str())) {
        const Window root = DefaultRootWindow(m_x);
        XSelectInput(m_x, root, SubstructureRedirectMask | SubstructureNotifyMask);
        XSync(m_x, False);
        m_thread = std::thread([this] { Run(); });
    }
    ~StandInWindowManager() {
        m_stop = true;
        m_thread.join();
        XCloseDisplay(m_x);
    }

    struct Message {
        std::string type;
        Window window;
        long l0, l1, l2;
    };
    // Every request sent to the window manager before this call, in the order
    // handled. The window manager answers from a thread of its own, and the
    // list may see the focus arrive before the manager has read the activation
    // request, so a marker is sent behind them and awaited: the server passes
    // events on in the order it took them.
    std::vector<Message> MessagesSoFar(Display* from) {
        const Atom marker = XInternAtom(from, "ORV_TEST_MARKER", False);
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = DefaultRootWindow(from);
        e.xclient.message_type = marker;
        e.xclient.format = 32;
        e.xclient.data.l[0] = ++m_markers;
        XSendEvent(from, DefaultRootWindow(from), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &e);
        XSync(from, False);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                for (std::size_t i = 0; i < m_messages.size(); ++i)
                    if (m_messages[i].type == "ORV_TEST_MARKER" && m_messages[i].l0 == m_markers)
                        return std::vector<Message>(m_messages.begin(), m_messages.begin() + i);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ADD_FAILURE() << "the window manager did not get to a marker within 10 s";
        return {};
    }

private:
    void Run() {
        while (!m_stop) {
            while (XPending(m_x) > 0) {
                XEvent e;
                XNextEvent(m_x, &e);
                Handle(e);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void Handle(const XEvent& e) {
        if (e.type == MapRequest) {
            XMapWindow(m_x, e.xmaprequest.window);
        } else if (e.type == ClientMessage) {
            char* name = XGetAtomName(m_x, e.xclient.message_type);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_messages.push_back({name, e.xclient.window, e.xclient.data.l[0],
                                      e.xclient.data.l[1], e.xclient.data.l[2]});
            }
            if (std::string(name) == "_NET_ACTIVE_WINDOW") {
                const long active = static_cast<long>(e.xclient.window);
                XChangeProperty(m_x, DefaultRootWindow(m_x),
                                XInternAtom(m_x, "_NET_ACTIVE_WINDOW", False), XA_WINDOW, 32,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(&active),
                                1);
            }
            XFree(name);
        }
        XFlush(m_x);
    }

    Display* m_x;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Message> m_messages;
    long m_markers = 0;
};

TEST_F(X11WindowListTest, ClientListAndRequestsOfAWindowManager) {
    const Window check = Make("check", true, false);
    SetWindows(m_root, "_NET_SUPPORTING_WM_CHECK", {check});
    SetWindows(check, "_NET_SUPPORTING_WM_CHECK", {check});
    const Atom supported[] = {A("_NET_ACTIVE_WINDOW"), A("_NET_WM_STATE")};
    std::vector<long> items(std::begin(supported), std::end(supported));
    XChangeProperty(m_x, m_root, A("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items.data()), 2);

    const Window a = Make("a", true, true);
    const Window b = Make("b", true, true);
    const Window minimised = Make("minimised", true, false);
    const long iconic[] = {3, 0};
    XChangeProperty(m_x, minimised, A("WM_STATE"), A("WM_STATE"), 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(iconic), 2);
    const Window withdrawn = Make("withdrawn", true, false);
    // Bottom to top, as the window manager keeps it; the server's own
    // stacking (b above a) is not what counts.
    SetWindows(m_root, "_NET_CLIENT_LIST_STACKING", {b, a, minimised, withdrawn});

    EXPECT_EQ(Walk(), (std::vector<HWND>{HandleOf(minimised), HandleOf(a), HandleOf(b)}));
    EXPECT_TRUE(
        IsWindowVisible(HandleOf(minimised)));  // minimised windows are visible, as on Windows

    StandInWindowManager wm(m_server->Name());
    ShowWindow(HandleOf(minimised), SW_SHOWNORMAL);
    EXPECT_TRUE(SetForegroundWindow(HandleOf(minimised)));
    bool unmaximised = false, unhidden = false, activated = false;
    for (const auto& m : wm.MessagesSoFar(m_x)) {
        const bool removal = m.type == "_NET_WM_STATE" && m.window == minimised && m.l0 == 0;
        if (removal && static_cast<Atom>(m.l1) == A("_NET_WM_STATE_MAXIMIZED_VERT") &&
            static_cast<Atom>(m.l2) == A("_NET_WM_STATE_MAXIMIZED_HORZ"))
            unmaximised = true;
        if (removal && static_cast<Atom>(m.l1) == A("_NET_WM_STATE_HIDDEN")) unhidden = true;
        if (m.type == "_NET_ACTIVE_WINDOW" && m.window == minimised) activated = true;
    }
    EXPECT_TRUE(unmaximised);
    EXPECT_TRUE(unhidden);
    EXPECT_TRUE(activated);
    XWindowAttributes attrs{};
    XGetWindowAttributes(m_x, minimised, &attrs);
    EXPECT_EQ(attrs.map_state, IsViewable);
}

}  // namespace
