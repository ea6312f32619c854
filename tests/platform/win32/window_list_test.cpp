// Tests of the window calls over a window list of the test's own.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/win32/winuser.h"
#include "tests/support/scoped_env.h"

namespace {

HWND H(std::uintptr_t v) {
    return reinterpret_cast<HWND>(v);
}

// A list of the test's own: windows 1, 2, 3 front to back.
class FakeList : public win32::WindowList {
public:
    HWND First() override { return H(1); }
    HWND Next(HWND after) override {
        const auto v = reinterpret_cast<std::uintptr_t>(after);
        return v < 3 ? H(v + 1) : nullptr;
    }
    bool IsVisible(HWND w) override { return w != H(2); }
    std::u16string Title(HWND w) override { return titles[w]; }
    HWND Owner(HWND w) override { return w == H(3) ? H(1) : nullptr; }
    bool Show(HWND w, int cmd) override {
        shown.emplace_back(w, cmd);
        return true;
    }
    bool SetForeground(HWND w) override {
        foreground.push_back(w);
        return w == H(1);
    }

    std::map<HWND, std::u16string> titles{{H(1), u"图片收藏"}, {H(2), u""}, {H(3), u"x"}};
    std::vector<std::pair<HWND, int>> shown;
    std::vector<HWND> foreground;
};

class WindowCallsTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeList> m_list = std::make_shared<FakeList>();
    void SetUp() override { win32::SetWindowListForTesting(m_list); }
    void TearDown() override { win32::SetWindowListForTesting(nullptr); }
};

TEST_F(WindowCallsTest, ForwardToTheTestsList) {
    std::vector<HWND> walk;
    for (HWND w = GetWindow(H(99), GW_HWNDFIRST); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
        walk.push_back(w);
    EXPECT_EQ(walk, (std::vector<HWND>{H(1), H(2), H(3)}));
    EXPECT_TRUE(IsWindowVisible(H(1)));
    EXPECT_FALSE(IsWindowVisible(H(2)));
    EXPECT_EQ(GetParent(H(3)), H(1));
    EXPECT_EQ(GetParent(H(1)), nullptr);
    EXPECT_TRUE(ShowWindow(H(1), SW_SHOWNORMAL));
    EXPECT_TRUE(SetForegroundWindow(H(1)));
    EXPECT_FALSE(SetForegroundWindow(H(3)));
    EXPECT_EQ(m_list->shown, (std::vector<std::pair<HWND, int>>{{H(1), SW_SHOWNORMAL}}));
    EXPECT_EQ(m_list->foreground, (std::vector<HWND>{H(1), H(3)}));
}

TEST_F(WindowCallsTest, TitleIsCutToTheBuffer) {
    EXPECT_EQ(GetWindowTextLengthW(H(1)), 4);
    WCHAR buf[8];
    EXPECT_EQ(GetWindowTextW(H(1), buf, 8), 4);
    EXPECT_EQ(std::u16string(buf), u"图片收藏");
    EXPECT_EQ(GetWindowTextW(H(1), buf, 3), 2);
    EXPECT_EQ(std::u16string(buf), u"图片");
    EXPECT_EQ(GetWindowTextW(H(2), buf, 8), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(GetWindowTextW(H(1), buf, 0), 0);
}

TEST(WindowCalls, NoDisplayMeansNoWindows) {
    testsupport::ScopedEnv noDisplay("DISPLAY", std::nullopt);
    win32::SetWindowListForTesting(nullptr);
    EXPECT_EQ(GetWindow(nullptr, GW_HWNDFIRST), nullptr);
    EXPECT_FALSE(SetForegroundWindow(H(5)));
    EXPECT_EQ(GetWindowTextLengthW(H(5)), 0);

    // A display nobody serves behaves the same.
    testsupport::ScopedEnv nowhere("DISPLAY", ":4093");
    EXPECT_EQ(GetWindow(nullptr, GW_HWNDFIRST), nullptr);
    EXPECT_FALSE(IsWindowVisible(H(5)));
}

}  // namespace
