// The start-up check of the imaging runtime beside the executable, and what
// InitInstance and ExitInstance do with its answer.
#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/converter_app.h"
#include "platform/framework/testing.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/version_block.h"
#include "tests/support/dialog_session.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

constexpr std::size_t kRuntimeSize = 1724416;
constexpr char16_t kMessage[] =
    u"初始化检测失败，运行文件可能已被破坏。请重新解压缩发布文件，或者重新获取完整的发布文件。";

std::string BuiltModule() {
    const fs::path exe = fs::read_symlink("/proc/self/exe");
    return ReadFileBytes(exe.parent_path() / "gdiplus.dll");
}

// A file of the required size holding only a version block.
std::string WithVersions(win32::FourPartVersion file, win32::FourPartVersion product) {
    std::string bytes(kRuntimeSize, '\0');
    const auto block = win32::MakeVersionBlock(file, product);
    std::copy(block.begin(), block.end(), bytes.begin() + 4096);
    return bytes;
}

bool RuntimeAnswers() {
    UINT count = 0, size = 0;
    return GdipGetImageEncodersSize(&count, &size) == Ok;
}

// "The executable" lives in a folder of the test's own while it lives.
class FakeExecutableFolder {
public:
    FakeExecutableFolder() {
        win32::SetModuleFileNameForTesting(WinPathOf(m_dir.Path() / "kestrune-orvane"));
    }
    ~FakeExecutableFolder() { win32::SetModuleFileNameForTesting(u""); }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
};

TEST(RuntimeCheck, OnlyTheExactSizeAndProductVersionPass) {
    const std::string real = BuiltModule();
    ASSERT_EQ(real.size(), kRuntimeSize) << "the build did not pad the module";
    const struct {
        const char* title;
        std::string bytes;
        bool passes;
    } cases[] = {
        {"the built module", real, true},
        {"one byte short", real.substr(0, kRuntimeSize - 1), false},
        {"one byte long", real + '\0', false},
        {"product right, file version wrong", WithVersions({1, 2, 3, 4}, {5, 1, 3102, 5581}), true},
        {"file version right, product wrong", WithVersions({5, 1, 3102, 5581}, {5, 1, 3102, 5580}),
         false},
        {"product of another major version", WithVersions({5, 1, 3102, 5581}, {6, 1, 3102, 5581}),
         false},
        {"no version block", std::string(kRuntimeSize, '\0'), false},
        {"empty", std::string(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        FakeExecutableFolder folder;
        folder.Dir().Write("gdiplus.dll", c.bytes);
        CConverterApp app;
        EXPECT_EQ(app.CheckImagingRuntime(), c.passes);
    }
}

TEST(RuntimeCheck, MissingFileAndFolderOfThatNameFail) {
    FakeExecutableFolder folder;
    CConverterApp app;
    EXPECT_FALSE(app.CheckImagingRuntime());
    fs::create_directories(folder.Dir().Path() / "gdiplus.dll");
    EXPECT_FALSE(app.CheckImagingRuntime());
    // Beside the real test executable it passes.
    win32::SetModuleFileNameForTesting(u"");
    EXPECT_TRUE(app.CheckImagingRuntime());
}

// An install deeper than 260 characters is still found: cutting the
// executable's path there would look for the runtime in the wrong folder.
TEST(RuntimeCheck, AnExecutableFolderLongerThan260CharactersPasses) {
    TempDir dir;
    fs::path deep = dir.Path();
    for (int i = 0; deep.string().size() < 400; ++i)
        deep /= "a-rather-long-folder-name-" + std::to_string(i);
    fs::create_directories(deep);
    std::ofstream(deep / "gdiplus.dll", std::ios::binary) << BuiltModule();
    win32::SetModuleFileNameForTesting(WinPathOf(deep / "kestrune-orvane"));
    CConverterApp app;
    EXPECT_TRUE(app.CheckImagingRuntime());
    win32::SetModuleFileNameForTesting(u"");
}

TEST(RuntimeCheck, FailingCheckShowsOneMessageAndStartsNothing) {
    ASSERT_FALSE(RuntimeAnswers());
    std::vector<std::pair<std::u16string, std::u16string>> boxes;
    afx::testing::SetMessageBoxHook([&](std::u16string text, std::u16string caption) {
        boxes.push_back({text, caption});
    });
    {
        FakeExecutableFolder folder;
        folder.Dir().Write("gdiplus.dll", BuiltModule() + "x");
        CConverterApp app;
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].first, kMessage);
        EXPECT_EQ(boxes[0].second, u"Kestrune Orvane  1.0.3.0");
        EXPECT_EQ(app.m_gdiplusToken, 0u);
        EXPECT_FALSE(RuntimeAnswers());
        EXPECT_EQ(app.m_pMainWnd, nullptr);

        // ExitInstance leaves alone a runtime that someone else started.
        win32::SetModuleFileNameForTesting(u"");
        ULONG_PTR token = 0;
        const GdiplusStartupInput input{1, nullptr, FALSE, FALSE};
        ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
        app.ExitInstance();
        EXPECT_TRUE(RuntimeAnswers());
        GdiplusShutdown(token);
        EXPECT_FALSE(RuntimeAnswers());
    }
    afx::testing::SetMessageBoxHook({});
    EXPECT_EQ(boxes.size(), 1u);
}

TEST(RuntimeCheck, PassingCheckRunsTheWindowBetweenStartupAndShutdown) {
    ScopedHome home(true);
    ASSERT_FALSE(RuntimeAnswers());
    int boxes = 0;
    afx::testing::SetMessageBoxHook([&](std::u16string, std::u16string) { ++boxes; });
    FakeExecutableFolder folder;
    folder.Dir().Write("gdiplus.dll", BuiltModule());
    CConverterApp app;
    bool sawWindow = false;
    bool runtimeDuringWindow = false;
    std::u16string caption;
    std::function<void()> poll = [&] {
        auto* dlg = dynamic_cast<CDialog*>(app.m_pMainWnd);
        if (dlg == nullptr || dlg->GetSafeHwnd() == nullptr) {
            QTimer::singleShot(5, poll);
            return;
        }
        sawWindow = true;
        runtimeDuringWindow = RuntimeAnswers();
        dlg->GetWindowTextW(caption);
        afx::testing::RequestClose(dlg);
    };
    QTimer::singleShot(0, poll);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(sawWindow);
    EXPECT_TRUE(runtimeDuringWindow);
    EXPECT_EQ(caption, u"Kestrune Orvane  1.0.3.0");
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_NE(app.m_gdiplusToken, 0u);
    EXPECT_TRUE(RuntimeAnswers());
    app.ExitInstance();
    // Shut down exactly once: the loader counts its start-ups.
    EXPECT_FALSE(RuntimeAnswers());
    EXPECT_EQ(boxes, 0);
    afx::testing::SetMessageBoxHook({});
}

}  // namespace
