// Open finds a real window of the folder on an X server and raises it. The
// test starts its own Xvfb; it is skipped only when Xvfb is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/framework/testing_qt.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/shell.h"
#include "platform/win32/x11_window_list.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/scoped_env.h"
#include "tests/support/with_imaging_runtime.h"
#include "tests/support/x_server.h"

// Xlib's macros (None, Bool, Status) clash with names in the headers above.
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

Window MakeWindow(Display* d, const std::string& utf8Title, bool map, Window owner = None) {
    const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0);
    XStoreName(d, w, "latin title");
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_NAME", False),
                    XInternAtom(d, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8Title.data()),
                    static_cast<int>(utf8Title.size()));
    if (owner != None) XSetTransientForHint(d, w, owner);
    if (map) XMapWindow(d, w);
    XSync(d, False);
    return w;
}

Window Topmost(Display* d) {
    Window root = None, parent = None, *kids = nullptr;
    unsigned n = 0;
    XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n);
    const Window top = n > 0 ? kids[n - 1] : None;
    if (kids != nullptr) XFree(kids);
    return top;
}

TEST(FolderWindowOnX, OpenRaisesTheWindowOfTheFolder) {
    if (!XServer::Available()) GTEST_SKIP() << "Xvfb is not installed";
    const std::unique_ptr<XServer> server = XServer::Start();
    ASSERT_NE(server, nullptr) << "Xvfb did not start";
    const ScopedEnv display("DISPLAY", server->Name());
    Display* d = XOpenDisplay(server->Name().c_str());
    ASSERT_NE(d, nullptr);

    std::vector<std::u16string> explored;
    win32::SetShellExecuteForTesting(
        [&](std::u16string, std::u16string file) { explored.push_back(file); });
    {
        ScopedHome home(true);
        TempDir base;
        const std::u16string folder = base.WinPath() + u"旅行2006";
        CreateDirectoryW(folder.c_str(), nullptr);

        const Window target = MakeWindow(d, "旅行2006", true);
        MakeWindow(d, "旅行2006", false);         // unmapped: never listed
        MakeWindow(d, "旅行2006", true, target);  // owned: passed over
        const Window cover = MakeWindow(d, "something else", true);
        ASSERT_EQ(Topmost(d), cover);

        DialogSession s;
        EXPECT_EQ(s.Dlg().FindFolderWindow(u"旅行2006"), reinterpret_cast<HWND>(target));
        s.Type(IDC_SOURCE_PATH, folder);
        s.Click(IDC_OPEN_SOURCE);
        XSync(d, False);
        EXPECT_EQ(Topmost(d), target);
        Window focus = None;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        EXPECT_EQ(focus, target);
        EXPECT_TRUE(explored.empty());

        // A folder without a window: the file manager is asked instead.
        const std::u16string other = base.WinPath() + u"Elsewhere";
        CreateDirectoryW(other.c_str(), nullptr);
        s.Type(IDC_SAVE_PATH, other);
        s.Click(IDC_OPEN_SAVE);
        ASSERT_EQ(explored.size(), 1u);
        EXPECT_EQ(explored[0], other + u"\\");
        EXPECT_EQ(Topmost(d), target);
    }
    win32::SetShellExecuteForTesting({});
    win32::DropX11WindowList();
    XCloseDisplay(d);
}

}  // namespace
