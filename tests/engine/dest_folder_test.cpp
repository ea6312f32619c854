// Tests of the destination folder: every missing level made in one call.
#include "engine/dest_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

class CreateFolderLevelsTest : public ::testing::Test {
protected:
    TempDir m_dir;
    const std::u16string m_root = m_dir.WinPath();  // "Z:\...\", existing
};

// Everything under a folder: folders as "name/", files as "name=bytes".
std::string TreeOf(const fs::path& root) {
    std::set<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::u8string u8 = e.path().lexically_relative(root).generic_u8string();
        const std::string name(u8.begin(), u8.end());
        entries.insert(e.is_directory() ? name + "/" : name + "=" + testsupport::ReadFileBytes(e));
    }
    std::string tree;
    for (const std::string& e : entries) tree += (tree.empty() ? "" : " ") + e;
    return tree;
}

// Each row in a folder of its own ("%" in the paths), holding the files and
// folders it starts with: the path as typed, whether every level could be
// made, the path as normalised, and the whole tree afterwards (nothing else
// made, nothing that was there changed).
TEST(CreateFolderLevels, NormalisesThenMakesEachMissingLevel) {
    const struct {
        const char* before;
        std::u16string typed;
        bool ok;
        std::u16string normalised;
        const char* after;
    } cases[] = {
        {"", u"%a\\b\\c", true, u"%a\\b\\c\\", "a/ a/b/ a/b/c/"},
        // Doubled separators and blanks go first: no level comes out empty.
        {"", u"  %x\\\\y\\\\\\z\\\\\t", true, u"%x\\y\\z\\", "x/ x/y/ x/y/z/"},
        {"have/sub/keep.txt=kept", u"%have\\sub\\", true, u"%have\\sub\\",
         "have/ have/sub/ have/sub/keep.txt=kept"},
        {"up/file=data", u"%up\\file\\down\\deeper", false, u"%up\\file\\down\\deeper\\",
         "up/ up/file=data"},
        // The last level being a file counts as existing.
        {"file=data", u"%file", true, u"%file\\", "file=data"},
        {"", u"Q:\\x", false, u"Q:\\x\\", ""},
        // "a/b" is one level: the platform takes "/" as a separator, so it
        // can only be made when "a" is already there.
        {"", u"%a/b", false, u"%a/b\\", ""},
        {"a/", u"%a/b", true, u"%a/b\\", "a/ a/b/"},
        {"", u"%保存\\图片", true, u"%保存\\图片\\", "保存/ 保存/图片/"},
        {"", u"", true, u"\\", ""},
        {"", u"   ", true, u"\\", ""},
        {"", u"\u3000\t", true, u"\\", ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::istringstream before(c.before);
        for (std::string entry; before >> entry;) {
            const std::size_t eq = entry.find('=');
            if (eq == std::string::npos)
                fs::create_directories(dir.Path() / entry);
            else
                dir.Write(entry.substr(0, eq), entry.substr(eq + 1));
        }
        const auto rooted = [&](std::u16string p) {
            if (const std::size_t at = p.find(u'%'); at != std::u16string::npos)
                p.replace(at, 1, dir.WinPath());
            return p;
        };
        std::u16string path = rooted(c.typed);
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_EQ(CreateFolderLevels(path), c.ok);
        EXPECT_EQ(path, rooted(c.normalised));
        EXPECT_EQ(TreeOf(dir.Path()), c.after);
    }
}

TEST_F(CreateFolderLevelsTest, LeadingBackslashIsOnTheCurrentDrive) {
    // The current drive is Z:, the host root.
    if (m_root.rfind(u"Z:\\", 0) != 0) GTEST_SKIP() << "temporary folder is not on Z:";
    std::u16string path = m_root.substr(2) + u"r\\s";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_EQ(path, m_root.substr(2) + u"r\\s\\");
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "r" / "s"));
}

TEST_F(CreateFolderLevelsTest, RelativePathIsUnderTheCurrentFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(m_dir.Path());
    std::u16string path = u"rel\\sub";
    const bool ok = CreateFolderLevels(path);
    fs::current_path(before);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "rel" / "sub"));
}

}  // namespace
