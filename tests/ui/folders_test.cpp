// The two path fields: Browse with a preset answer of the folder chooser,
// the Open buttons following the typed path, and Open finding and raising a
// window of the folder from a preset window list, or starting the file
// manager.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/framework/testing.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/shell.h"
#include "platform/win32/winuser.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

struct FakeWindow {
    std::u16string title;
    bool visible = true;
    bool owned = false;
};

// Top-level windows front to back, recording what is done to them.
class FakeWindowList : public win32::WindowList {
public:
    explicit FakeWindowList(std::vector<FakeWindow> windows) : m_windows(std::move(windows)) {}

    HWND First() override { return m_windows.empty() ? nullptr : Handle(0); }
    HWND Next(HWND after) override {
        const std::size_t i = Index(after) + 1;
        return i < m_windows.size() ? Handle(i) : nullptr;
    }
    bool IsVisible(HWND w) override { return m_windows[Index(w)].visible; }
    std::u16string Title(HWND w) override { return m_windows[Index(w)].title; }
    HWND Owner(HWND w) override { return m_windows[Index(w)].owned ? Handle(999) : nullptr; }
    bool Show(HWND w, int cmd) override {
        shown.push_back({static_cast<int>(Index(w)), cmd});
        return true;
    }
    bool SetForeground(HWND w) override {
        raised.push_back(static_cast<int>(Index(w)));
        return foregroundWorks;
    }

    std::vector<std::pair<int, int>> shown;
    std::vector<int> raised;
    bool foregroundWorks = true;

private:
    static HWND Handle(std::size_t i) { return reinterpret_cast<HWND>(std::uintptr_t{0x1000} + i); }
    static std::size_t Index(HWND w) { return reinterpret_cast<std::uintptr_t>(w) - 0x1000; }
    std::vector<FakeWindow> m_windows;
};

class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        win32::SetShellExecuteForTesting([this](std::u16string verb, std::u16string file) {
            explored.push_back({verb, file});
            openEnabledWhileOpening.push_back(s.Enabled(IDC_OPEN_SOURCE));
        });
    }
    void TearDown() override {
        win32::SetShellExecuteForTesting({});
        win32::SetFolderChooserForTesting({});
        win32::SetWindowListForTesting(nullptr);
    }
    std::shared_ptr<FakeWindowList> UseWindows(std::vector<FakeWindow> windows) {
        auto list = std::make_shared<FakeWindowList>(std::move(windows));
        win32::SetWindowListForTesting(list);
        return list;
    }

    ScopedHome home{true};
    TempDir base;
    DialogSession s;
    std::vector<std::pair<std::u16string, std::u16string>> explored;
    std::vector<bool> openEnabledWhileOpening;  // button 1059 as each opening starts
};

// --- Browse -----------------------------------------------------------------

struct BrowseCase {
    const char* title;
    std::optional<std::u16string> answer;  // relative to base; nullopt = cancel
    std::u16string expected;               // relative to base; "" = unchanged
};

TEST_F(Folders, BrowseWritesTheChosenFolderNormalisedAndFocusesTheEdit) {
    fs::create_directories(base.Path() / "Photos" / "2006");
    const std::u16string root = base.WinPath();
    const std::u16string tooLong = std::u16string(u"Photos\\").append(300, u'x');
    const BrowseCase cases[] = {
        {"plain", u"Photos", u"Photos\\"},
        {"doubled and surrounded", u"Photos\\\\2006  ", u"Photos\\2006\\"},
        {"already with a backslash", u"Photos\\2006\\", u"Photos\\2006\\"},
        {"cancelled", std::nullopt, u""},
        {"no path fits the buffer", tooLong, u""},
    };
    for (int edit : {IDC_SOURCE_PATH, IDC_SAVE_PATH}) {
        const int button = edit == IDC_SOURCE_PATH ? IDC_BROWSE_SOURCE : IDC_BROWSE_SAVE;
        for (const BrowseCase& c : cases) {
            SCOPED_TRACE(c.title);
            s.Type(edit, u"before");
            std::optional<BROWSEINFOW> seen;
            win32::SetFolderChooserForTesting(
                [&](const BROWSEINFOW& info) -> std::optional<std::u16string> {
                    seen = info;
                    if (!c.answer) return std::nullopt;
                    return root + *c.answer;
                });
            s.Click(button);
            ASSERT_TRUE(seen.has_value());
            EXPECT_EQ(seen->hwndOwner, s.Dlg().GetSafeHwnd());
            EXPECT_EQ(seen->pidlRoot, nullptr);
            EXPECT_EQ(seen->pszDisplayName, nullptr);
            EXPECT_EQ(std::u16string(seen->lpszTitle), u"请选择路径: ");
            EXPECT_EQ(seen->ulFlags, BIF_RETURNONLYFSDIRS);
            EXPECT_EQ(seen->lpfn, nullptr);
            EXPECT_EQ(s.Text(edit), c.expected.empty() ? u"before" : root + c.expected);
            EXPECT_EQ(s.FocusId(), edit);
            const int open = edit == IDC_SOURCE_PATH ? IDC_OPEN_SOURCE : IDC_OPEN_SAVE;
            EXPECT_EQ(s.Enabled(open), !c.expected.empty());
        }
    }
}

// --- Open buttons follow the typed path -------------------------------------------

TEST_F(Folders, OpenButtonsFollowTheTypedPathWithoutRewritingIt) {
    fs::create_directories(base.Path() / "Photos");
    base.Write("file.txt", "x");
    const std::u16string b = base.WinPath();
    const std::pair<std::u16string, bool> cases[] = {
        {b + u"Photos", true},
        {b + u"Photos\\", true},
        {b.substr(0, b.size() - 1) + u"\\\\Photos", true},
        {u"  " + b + u"Photos  ", true},
        {b + u"Missing", false},
        {b + u"file.txt", true},
        {u"", true},  // a single backslash: the root of the current drive
        {u"C:\\", true},
        {u"Q:\\", false},
        {b + u"Photos/", true},  // the file calls take "/" as a separator too
        {b + u"Photos/Missing", false},
    };
    for (int edit : {IDC_SOURCE_PATH, IDC_SAVE_PATH}) {
        const int open = edit == IDC_SOURCE_PATH ? IDC_OPEN_SOURCE : IDC_OPEN_SAVE;
        const int other = edit == IDC_SOURCE_PATH ? IDC_OPEN_SAVE : IDC_OPEN_SOURCE;
        for (const auto& [typed, enabled] : cases) {
            SCOPED_TRACE(std::string(typed.begin(), typed.end()));
            const bool otherBefore = s.Enabled(other);
            s.Type(edit, typed);
            EXPECT_EQ(s.Enabled(open), enabled);
            EXPECT_EQ(s.Text(edit), typed);
            EXPECT_EQ(s.Enabled(other), otherBefore);
        }
    }
}

// --- Open finds a window of the folder --------------------------------------------

struct OpenCase {
    const char* title;
    const char16_t* folder;  // created under base, or a full path when it has a colon
    std::vector<FakeWindow> windows;
    int raised;  // index of the window brought forward, -1 for none
    bool explore;
    bool foregroundWorks = true;
};

const OpenCase kOpenCases[] = {
    {"exact title", u"2006", {{u"other"}, {u"2006"}}, 1, false},
    {"a to z fold", u"Holiday", {{u"holiday"}}, 0, false},
    {"title upper case", u"Holiday", {{u"HOLIDAY"}}, 0, false},
    {"no folding beyond z", u"été", {{u"ÉTÉ"}}, -1, true},
    {"trimmed title", u"2006", {{u"  2006\u3000"}}, 0, false},
    {"name in parentheses", u"2006", {{u"Photos (2006) - Files"}}, 0, false},
    {"longer title", u"2006", {{u"2006x"}, {u"x2006"}}, -1, true},
    {"hidden and owned are passed over",
     u"2006",
     {{u"2006", false, false}, {u"2006", true, true}, {u"", true, false}, {u"2006"}},
     3,
     false},
    {"only hidden or owned", u"2006", {{u"2006", false, false}, {u"2006", true, true}}, -1, true},
    {"first of two", u"2006", {{u"2006"}, {u"2006"}}, 0, false},
    {"no windows", u"2006", {}, -1, true},
    {"foreground refused opens a new one", u"2006", {{u"2006"}}, 0, true, false},
    {"the Chinese Pictures name is preferred",
     u"My Pictures",
     {{u"My Pictures"}, {u"图片收藏"}},
     1,
     false},
    {"the English name when there is no other",
     u"My Pictures",
     {{u"x"}, {u"My Pictures"}},
     1,
     false},
    {"the English name for the Chinese folder", u"图片收藏", {{u"my pictures"}}, 0, false},
    {"neither Pictures window", u"图片收藏", {{u"Pictures"}}, -1, true},
    {"letter case counts for the Pictures names",
     u"my pictures",
     {{u"图片收藏"}, {u"My Pictures"}},
     1,
     false},
    {"drive root", u"C:\\", {{u"Local Disk (C:)"}}, 0, false},
};

TEST_F(Folders, OpenRaisesAWindowOfTheFolderOrStartsTheFileManager) {
    for (const OpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.title);
        const std::u16string folder(c.folder);
        std::u16string path;
        if (folder.find(u':') != std::u16string::npos) {
            path = folder;
        } else {
            path = base.WinPath() + folder;
            CreateDirectoryW(path.c_str(), nullptr);
        }
        auto list = UseWindows(c.windows);
        list->foregroundWorks = c.foregroundWorks;
        explored.clear();
        s.Type(IDC_SOURCE_PATH, path);
        ASSERT_TRUE(s.Enabled(IDC_OPEN_SOURCE));
        s.Click(IDC_OPEN_SOURCE);
        if (c.raised >= 0) {
            ASSERT_EQ(list->raised, std::vector<int>{c.raised});
            ASSERT_EQ(list->shown.size(), 1u);
            EXPECT_EQ(list->shown[0], (std::pair<int, int>{c.raised, SW_SHOWNORMAL}));
        } else {
            EXPECT_TRUE(list->raised.empty());
        }
        if (c.explore) {
            ASSERT_EQ(explored.size(), 1u);
            EXPECT_EQ(openEnabledWhileOpening.back(), false);  // disabled until it has started
            EXPECT_EQ(explored[0].first, u"explore");
            EXPECT_EQ(explored[0].second, path.back() == u'\\' ? path : path + u"\\");
        } else {
            EXPECT_TRUE(explored.empty());
        }
        EXPECT_TRUE(s.Enabled(IDC_OPEN_SOURCE));
        EXPECT_EQ(s.FocusId(), IDC_SOURCE_PATH);
        EXPECT_EQ(s.Text(IDC_SOURCE_PATH), path);
    }
}

TEST_F(Folders, FindFolderWindowVisitsEveryTopLevelWindowFrontToBack) {
    auto list = UseWindows({{u"a"}, {u"b (c)"}, {u"c"}});
    EXPECT_EQ(s.Dlg().FindFolderWindow(u" C "), list->Next(list->First()));
    EXPECT_EQ(s.Dlg().FindFolderWindow(u"a"), list->First());
    EXPECT_EQ(s.Dlg().FindFolderWindow(u"d"), nullptr);
}

TEST_F(Folders, OpenOnAFolderThatVanishedDoesNothingVisible) {
    fs::create_directories(base.Path() / "gone");
    UseWindows({{u"gone"}});
    s.Type(IDC_SAVE_PATH, base.WinPath() + u"gone");
    ASSERT_TRUE(s.Enabled(IDC_OPEN_SAVE));
    fs::remove(base.Path() / "gone");
    s.Click(IDC_OPEN_SAVE);
    EXPECT_TRUE(explored.empty());
    EXPECT_TRUE(s.Enabled(IDC_OPEN_SAVE));
    EXPECT_EQ(s.FocusId(), IDC_SAVE_PATH);
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"");
}

TEST_F(Folders, OpenButtonsStillWorkDuringARun) {
    TempDir src;
    for (int i = 0; i < 3; ++i) src.Write(NumberedName("f", i, ".bmp"), MakeBmp(3, 3));
    UseWindows({});
    RunSettings r{src.WinPath(), base.WinPath() + u"out"};
    s.Apply(r);
    EXPECT_FALSE(s.Enabled(IDC_OPEN_SAVE));
    s.Click(IDC_START);
    // The destination now exists, so its Open button is enabled.
    EXPECT_TRUE(s.Enabled(IDC_OPEN_SAVE));
    s.Click(IDC_START);  // pause
    ExpectRunningControls(s);
    s.Click(IDC_OPEN_SOURCE);
    s.Click(IDC_OPEN_SAVE);
    ASSERT_EQ(explored.size(), 2u);
    EXPECT_EQ(explored[0].second, src.WinPath());
    EXPECT_EQ(explored[1].second, base.WinPath() + u"out\\");
    EXPECT_EQ(s.State(), RunState::Paused);
    s.Click(IDC_START);
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_EQ(s.Text(IDC_STATUS_MESSAGE), u"操作全部完成！");
}

}  // namespace
