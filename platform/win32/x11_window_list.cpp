// The top-level windows of the X server, front to back. With a window manager
// the list is its client list in stacking order; without one, the children of
// the root window in stacking order. Override-redirect windows (menus, tool
// tips) and withdrawn windows are never listed; minimised windows are, and
// count as visible, as on Windows.
#include "x11_window_list.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host_path.h"

namespace win32 {
namespace {

HWND ToHwnd(Window w) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w));
}
Window ToWindow(HWND h) {
    return static_cast<Window>(reinterpret_cast<std::uintptr_t>(h));
}

constexpr long kNormalState = 1;
constexpr long kIconicState = 3;

// Xlib's default handler ends the process on any protocol error, and a window
// may be destroyed by its owner between two of our requests. While a trap
// lives, errors are counted instead.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* d) : m_display(d) {
        XSync(d, False);
        s_errors = 0;
        m_previous = XSetErrorHandler(&Count);
    }
    ~ErrorTrap() {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Whether a request since the last call failed.
    bool Failed() {
        XSync(m_display, False);
        const bool failed = s_errors != 0;
        s_errors = 0;
        return failed;
    }

private:
    static int Count(Display*, XErrorEvent*) {
        ++s_errors;
        return 0;
    }
    static inline int s_errors = 0;
    Display* m_display;
    XErrorHandler m_previous;
};

// Titles are text, not names: a byte that is not UTF-8 becomes U+FFFD.
std::u16string FromUtf8(std::string_view bytes) {
    std::u16string text = NameFromHost(bytes);
    for (char16_t& c : text) {
        if (c == 0xDC00 + '\\')
            c = u'\\';
        else if (c >= 0xDC80 && c <= 0xDCFF)
            c = 0xFFFD;
    }
    return text;
}

std::u16string FromLatin1(std::string_view bytes) {
    std::u16string text;
    for (char c : bytes) text += static_cast<char16_t>(static_cast<unsigned char>(c));
    return text;
}

// A lost connection (the server went away) ends the process in Xlib's
// default handlers. For our connection, both the process-wide handler and
// the connection's exit handler return instead, and the list stays empty
// from then on; other connections keep the handler they had.
Display* g_listDisplay = nullptr;
XIOErrorHandler g_previousIoHandler = nullptr;

int OnIoError(Display* d) {
    if (d == g_listDisplay || g_previousIoHandler == nullptr) return 0;
    return g_previousIoHandler(d);
}

class X11List final : public WindowList {
public:
    explicit X11List(Display* d) : m_display(d), m_root(DefaultRootWindow(d)) {
        static const bool installed = [] {
            g_previousIoHandler = XSetIOErrorHandler(&OnIoError);
            return true;
        }();
        (void)installed;
        g_listDisplay = d;
        XSetIOErrorExitHandler(d, &OnConnectionLost, this);
    }
    ~X11List() override {
        XCloseDisplay(m_display);
        if (g_listDisplay == m_display) g_listDisplay = nullptr;
    }
    X11List(const X11List&) = delete;
    X11List& operator=(const X11List&) = delete;

    bool Lost() const { return m_lost; }

    HWND First() override {
        if (m_lost) return nullptr;
        ErrorTrap trap(m_display);
        m_order = FrontToBack();
        return m_order.empty() ? nullptr : ToHwnd(m_order.front());
    }

    HWND Next(HWND after) override {
        if (m_lost) return nullptr;
        const Window w = ToWindow(after);
        auto it = std::find(m_order.begin(), m_order.end(), w);
        if (it == m_order.end()) {
            ErrorTrap trap(m_display);
            m_order = FrontToBack();
            it = std::find(m_order.begin(), m_order.end(), w);
        }
        if (it == m_order.end() || ++it == m_order.end()) return nullptr;
        return ToHwnd(*it);
    }

    bool IsVisible(HWND h) override {
        if (m_lost) return false;
        ErrorTrap trap(m_display);
        return Visible(ToWindow(h));
    }

    std::u16string Title(HWND h) override {
        if (m_lost) return {};
        ErrorTrap trap(m_display);
        return TitleOf(ToWindow(h));
    }

    HWND Owner(HWND h) override {
        if (m_lost) return nullptr;
        ErrorTrap trap(m_display);
        return ToHwnd(OwnerOf(ToWindow(h)));
    }

    bool Show(HWND h, int cmd) override;
    bool SetForeground(HWND h) override;

private:
    static void OnConnectionLost(Display*, void* self) {
        static_cast<X11List*>(self)->m_lost = true;
    }

    Atom AtomOf(const char* name) {
        auto it = m_atoms.find(name);
        if (it == m_atoms.end())
            it = m_atoms.emplace(name, XInternAtom(m_display, name, False)).first;
        return it->second;
    }

    // The items of a property of format 32 (windows, atoms, cardinals).
    std::vector<unsigned long> Longs(Window w, Atom property, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> out;
        if (XGetWindowProperty(m_display, w, property, 0, 1L << 20, False, type, &actualType,
                               &format, &count, &after, &data) == Success &&
            data != nullptr && format == 32 && actualType == type) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            out.assign(items, items + count);
        }
        if (data != nullptr) XFree(data);
        return out;
    }

    std::optional<std::string> Bytes(Window w, Atom property, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::optional<std::string> out;
        if (XGetWindowProperty(m_display, w, property, 0, 1L << 20, False, type, &actualType,
                               &format, &count, &after, &data) == Success &&
            data != nullptr && format == 8 && actualType == type)
            out.emplace(reinterpret_cast<const char*>(data), count);
        if (data != nullptr) XFree(data);
        return out;
    }

    long WmState(Window w) {
        const auto state = Longs(w, AtomOf("WM_STATE"), AtomOf("WM_STATE"));
        return state.empty() ? 0 : static_cast<long>(state.front());
    }

    // A window manager that follows the desktop conventions announces itself
    // on the root window through a check window that names itself.
    bool HasWindowManager() {
        const Atom check = AtomOf("_NET_SUPPORTING_WM_CHECK");
        const auto fromRoot = Longs(m_root, check, XA_WINDOW);
        if (fromRoot.empty() || fromRoot.front() == None) return false;
        const auto fromChild = Longs(fromRoot.front(), check, XA_WINDOW);
        return !fromChild.empty() && fromChild.front() == fromRoot.front();
    }

    bool Supports(const char* hint) {
        const auto supported = Longs(m_root, AtomOf("_NET_SUPPORTED"), XA_ATOM);
        return std::find(supported.begin(), supported.end(), AtomOf(hint)) != supported.end();
    }

    std::vector<Window> Children(Window w, Window* parent = nullptr) {
        Window root = None, up = None, *kids = nullptr;
        unsigned int n = 0;
        std::vector<Window> out;
        if (XQueryTree(m_display, w, &root, &up, &kids, &n) != 0) {
            if (kids != nullptr) out.assign(kids, kids + n);
            if (parent != nullptr) *parent = up;
        }
        if (kids != nullptr) XFree(kids);
        return out;
    }

    // The client window inside a frame: the first window down the tree that
    // carries WM_STATE; the frame itself when none does.
    Window ClientOf(Window frame, int depth = 0) {
        if (depth == 0 && WmState(frame) != 0) return frame;
        for (Window child : Children(frame)) {
            if (WmState(child) != 0) return child;
            if (depth < 4)
                if (Window inner = ClientOf(child, depth + 1); inner != None) return inner;
        }
        return depth == 0 ? frame : None;
    }

    std::vector<Window> FrontToBack();
    bool Visible(Window w);
    std::u16string TitleOf(Window w);
    Window OwnerOf(Window w);
    bool HasFocus(Window w);
    void SendToRoot(Window w, Atom type, long l0, long l1, long l2);

    Display* m_display;
    Window m_root;
    bool m_lost = false;
    std::map<std::string, Atom> m_atoms;
    std::vector<Window> m_order;
};

std::vector<Window> X11List::FrontToBack() {
    std::vector<Window> out;
    if (HasWindowManager()) {
        const auto stacking = Longs(m_root, AtomOf("_NET_CLIENT_LIST_STACKING"), XA_WINDOW);
        for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(m_display, *it, &a) == 0 || a.override_redirect) continue;
            const long state = WmState(*it);
            if (a.map_state != IsUnmapped || state == kNormalState || state == kIconicState)
                out.push_back(*it);
        }
        if (!stacking.empty()) return out;
    }
    const auto children = Children(m_root);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(m_display, *it, &a) == 0 || a.override_redirect ||
            a.c_class == InputOnly || a.map_state == IsUnmapped)
            continue;
        out.push_back(ClientOf(*it));
    }
    return out;
}

bool X11List::Visible(Window w) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(m_display, w, &a) == 0) return false;
    if (a.map_state == IsViewable) return true;
    const long state = WmState(w);
    return state == kNormalState || state == kIconicState;
}

// _NET_WM_NAME in UTF-8, else WM_NAME in whatever encoding it declares.
std::u16string X11List::TitleOf(Window w) {
    if (auto utf8 = Bytes(w, AtomOf("_NET_WM_NAME"), AtomOf("UTF8_STRING"))) return FromUtf8(*utf8);
    XTextProperty prop{};
    if (XGetWMName(m_display, w, &prop) == 0 || prop.value == nullptr) return {};
    const std::string_view text(reinterpret_cast<const char*>(prop.value), prop.nitems);
    std::u16string title;
    if (prop.encoding == XA_STRING) {
        title = FromLatin1(text);
    } else if (prop.encoding == AtomOf("UTF8_STRING")) {
        title = FromUtf8(text);
    } else {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(m_display, &prop, &list, &count) >= Success &&
            list != nullptr && count > 0)
            title = FromUtf8(list[0]);
        if (list != nullptr) XFreeStringList(list);
    }
    XFree(prop.value);
    return title;
}

// The owner named by WM_TRANSIENT_FOR; for a window that is not top-level,
// its parent.
Window X11List::OwnerOf(Window w) {
    Window owner = None;
    if (XGetTransientForHint(m_display, w, &owner) != 0 && owner != None) return owner;
    Window parent = None;
    Children(w, &parent);
    if (parent == None || parent == m_root || WmState(w) != 0) return None;
    return parent;
}

bool X11List::HasFocus(Window w) {
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    for (int depth = 0; depth < 64 && focus != None && focus != PointerRoot; ++depth) {
        if (focus == w) return true;
        if (focus == m_root) return false;
        Window parent = None;
        Children(focus, &parent);
        focus = parent;
    }
    return false;
}

void X11List::SendToRoot(Window w, Atom type, long l0, long l1, long l2) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

// Returns whether the window was visible before, as ShowWindow does.
bool X11List::Show(HWND h, int cmd) {
    if (m_lost) return false;
    const Window w = ToWindow(h);
    ErrorTrap trap(m_display);
    XWindowAttributes a{};
    if (XGetWindowAttributes(m_display, w, &a) == 0) return false;
    const bool wasVisible = Visible(w);
    switch (cmd) {
        case SW_HIDE:
            XWithdrawWindow(m_display, w, XScreenNumberOfScreen(a.screen));
            break;
        case SW_SHOWMINIMIZED:
            XIconifyWindow(m_display, w, XScreenNumberOfScreen(a.screen));
            break;
        case SW_SHOW:
            XMapWindow(m_display, w);
            break;
        default:  // SW_SHOWNORMAL, SW_RESTORE: normal size, position and stacking
            if (HasWindowManager()) {
                constexpr long kRemove = 0;
                SendToRoot(w, AtomOf("_NET_WM_STATE"), kRemove,
                           static_cast<long>(AtomOf("_NET_WM_STATE_MAXIMIZED_VERT")),
                           static_cast<long>(AtomOf("_NET_WM_STATE_MAXIMIZED_HORZ")));
                SendToRoot(w, AtomOf("_NET_WM_STATE"), kRemove,
                           static_cast<long>(AtomOf("_NET_WM_STATE_HIDDEN")), 0);
            }
            XMapRaised(m_display, w);  // also brings a minimised window back
            break;
    }
    return wasVisible && !trap.Failed();
}

// Raises the window and asks for the focus; true only when the focus (or the
// window manager's active window) is then really on it. A window manager
// answers asynchronously, so its answer is awaited for a moment.
bool X11List::SetForeground(HWND h) {
    if (m_lost) return false;
    const Window w = ToWindow(h);
    ErrorTrap trap(m_display);
    XWindowAttributes a{};
    if (XGetWindowAttributes(m_display, w, &a) == 0) return false;
    XRaiseWindow(m_display, w);
    const bool managed = HasWindowManager();
    const Atom active = AtomOf("_NET_ACTIVE_WINDOW");
    if (managed && Supports("_NET_ACTIVE_WINDOW"))
        SendToRoot(w, active, 2 /* from a pager: a user's request */, CurrentTime, 0);
    bool focusAsked = false;
    for (int attempt = 0; attempt < 30 && !m_lost; ++attempt) {
        if (!focusAsked && XGetWindowAttributes(m_display, w, &a) != 0 &&
            a.map_state == IsViewable) {
            XSetInputFocus(m_display, w, RevertToParent, CurrentTime);
            focusAsked = !trap.Failed();
        }
        if (HasFocus(w)) return true;
        if (managed) {
            const auto current = Longs(m_root, active, XA_WINDOW);
            if (!current.empty() && current.front() == w) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

struct Connection {
    std::string display;
    std::shared_ptr<X11List> list;
};

Connection& Current() {
    static Connection connection;
    return connection;
}

}  // namespace

std::shared_ptr<WindowList> X11WindowList() {
    const char* env = std::getenv("DISPLAY");
    const std::string name = env != nullptr ? env : "";
    Connection& c = Current();
    if (name.empty()) {
        c = Connection{};
        return nullptr;
    }
    // An unreachable server is asked again only when DISPLAY changes.
    if (name != c.display || (c.list && c.list->Lost())) {
        c = Connection{name, nullptr};
        if (Display* d = XOpenDisplay(name.c_str())) c.list = std::make_shared<X11List>(d);
    }
    return c.list;
}

void DropX11WindowList() {
    Current() = Connection{};
}

}  // namespace win32
