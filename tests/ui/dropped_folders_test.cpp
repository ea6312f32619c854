// Folders dropped on the window from another program: which edit takes them,
// what a file or several items stand for, the drive form of any name, the
// Open buttons following, and no drop taken while a run is in progress.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/framework/testing.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

class DroppedFolders : public ::testing::Test {
protected:
    bool Drop(int over, const std::vector<fs::path>& items) {
        std::vector<std::string> paths;
        for (const fs::path& p : items) paths.push_back(p.string());
        return afx::testing::DropFiles(s.Item(over), paths);
    }
    static int OpenButtonOf(int edit) {
        return edit == IDC_SOURCE_PATH ? IDC_OPEN_SOURCE : IDC_OPEN_SAVE;
    }

    ScopedHome home{true};
    TempDir base;
    DialogSession s;
};

struct DropCase {
    const char* title;
    int over;
    std::vector<fs::path> items;
    int edit;          // the edit that takes the folder
    fs::path written;  // empty: nothing changes
};

TEST_F(DroppedFolders, TheFolderGoesToTheEditItLandsOnOrElseToTheSource) {
    const fs::path photos = base.Path() / "Photos";
    const fs::path year = photos / "2006";
    const fs::path other = base.Path() / "Other";
    const fs::path latin1 = base.Path() / "caf\xE9";  // not UTF-8
    const fs::path inHome = home.Path() / "Pictures" / "trip";
    for (const fs::path& p : {year, other, latin1, inHome}) fs::create_directories(p);
    base.Write("Photos/a.png", "x");

    const DropCase cases[] = {
        {"folder on the source edit", IDC_SOURCE_PATH, {photos}, IDC_SOURCE_PATH, photos},
        {"folder on the destination edit", IDC_SAVE_PATH, {year}, IDC_SAVE_PATH, year},
        {"file on the destination edit", IDC_SAVE_PATH, {photos / "a.png"}, IDC_SAVE_PATH, photos},
        {"file on the source edit", IDC_SOURCE_PATH, {photos / "a.png"}, IDC_SOURCE_PATH, photos},
        {"on the destination's Browse button", IDC_BROWSE_SAVE, {year}, IDC_SOURCE_PATH, year},
        {"on the Start button", IDC_START, {other}, IDC_SOURCE_PATH, other},
        {"inside a group box", IDC_PROGRESS_GROUP, {other}, IDC_SOURCE_PATH, other},
        {"several items: the first counts", IDC_SAVE_PATH, {other, photos}, IDC_SAVE_PATH, other},
        {"under the home folder", IDC_SOURCE_PATH, {inHome}, IDC_SOURCE_PATH, inHome},
        {"a name that is not UTF-8", IDC_SAVE_PATH, {latin1}, IDC_SAVE_PATH, latin1},
        {"the root folder", IDC_SOURCE_PATH, {"/"}, IDC_SOURCE_PATH, "/"},
        {"an item gone before the drop", IDC_SAVE_PATH, {base.Path() / "gone"}, IDC_SAVE_PATH, {}},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.title);
        s.Type(IDC_SOURCE_PATH, u"before");
        s.Type(IDC_SAVE_PATH, u"before");
        ASSERT_FALSE(s.Enabled(IDC_OPEN_SOURCE));
        EXPECT_TRUE(Drop(c.over, c.items));
        const int untouched = c.edit == IDC_SOURCE_PATH ? IDC_SAVE_PATH : IDC_SOURCE_PATH;
        EXPECT_EQ(s.Text(untouched), u"before");
        if (c.written.empty()) {
            EXPECT_EQ(s.Text(c.edit), u"before");
            continue;
        }
        // The drive form with one trailing backslash, as Browse writes it.
        std::u16string expected = WinPathOf(c.written);
        if (expected.back() != u'\\') expected += u'\\';
        EXPECT_EQ(s.Text(c.edit), expected);
        EXPECT_TRUE(s.Enabled(OpenButtonOf(c.edit)));
        EXPECT_FALSE(s.Enabled(OpenButtonOf(untouched)));
    }
    EXPECT_EQ(WinPathOf(inHome).rfind(u"C:\\", 0), 0u);
}

TEST_F(DroppedFolders, NoDropIsTakenWhileARunIsInProgressAndTheNextIdleWindowTakesOne) {
    TempDir src, dst;
    for (int i = 0; i < 4; ++i)
        src.Write(NumberedName("img", i, ".bmp"), MakeBmp(6, 5, static_cast<unsigned>(i)));
    RunSettings r{src.WinPath(), dst.WinPath()};
    r.formats = {IDC_FORMAT_PNG, IDC_FORMAT_BMP};
    s.Apply(r);
    const fs::path other = base.Path() / "Other";
    fs::create_directories(other);

    s.Click(IDC_START);
    ASSERT_EQ(s.State(), RunState::Running);
    EXPECT_FALSE(Drop(IDC_SOURCE_PATH, {other}));
    s.Click(IDC_START);
    s.Settle();
    ASSERT_EQ(s.State(), RunState::Paused);
    EXPECT_FALSE(Drop(IDC_SAVE_PATH, {other}));
    EXPECT_FALSE(Drop(IDC_START, {other}));
    EXPECT_EQ(s.Text(IDC_SOURCE_PATH), r.source);
    EXPECT_EQ(s.Text(IDC_SAVE_PATH), r.destination);

    s.Click(IDC_STOP);
    ASSERT_TRUE(s.WaitForRunEnd());
    EXPECT_TRUE(Drop(IDC_SAVE_PATH, {other}));
    EXPECT_EQ(s.Text(IDC_SAVE_PATH), WinPathOf(other) + u"\\");
}

}  // namespace
