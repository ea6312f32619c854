// Tests of the destination folder: every missing level made in one call.
#include "engine/dest_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
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

TEST_F(CreateFolderLevelsTest, CreatesThreeMissingLevelsInOneCall) {
    std::u16string path = m_root + u"a\\b\\c";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_EQ(path, m_root + u"a\\b\\c\\");
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "a" / "b" / "c"));
}

TEST_F(CreateFolderLevelsTest, DoubledSeparatorsAndSpacesAreNormalisedFirst) {
    std::u16string path = u"  " + m_root + u"x\\\\y\\\\\\z\\\\\t";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_EQ(path, m_root + u"x\\y\\z\\");
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "x" / "y" / "z"));
    // No level came out empty or doubled: nothing else was made.
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(CreateFolderLevelsTest, ExistingTreeGivesTrueAndStaysAsItIs) {
    fs::create_directories(m_dir.Path() / "have" / "sub");
    m_dir.Write("have/sub/keep.txt", "kept");
    std::u16string path = m_root + u"have\\sub\\";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_EQ(path, m_root + u"have\\sub\\");
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir.Path() / "have/sub/keep.txt"), "kept");
}

TEST_F(CreateFolderLevelsTest, MiddleLevelThatIsAFileFails) {
    fs::create_directory(m_dir.Path() / "up");
    m_dir.Write("up/file", "data");
    std::u16string path = m_root + u"up\\file\\down\\deeper";
    EXPECT_FALSE(CreateFolderLevels(path));
    EXPECT_EQ(path, m_root + u"up\\file\\down\\deeper\\");
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "up"));
    EXPECT_EQ(testsupport::ReadFileBytes(m_dir.Path() / "up/file"), "data");
}

TEST_F(CreateFolderLevelsTest, LastLevelThatIsAFileCountsAsExisting) {
    m_dir.Write("file", "data");
    std::u16string path = m_root + u"file";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_TRUE(fs::is_regular_file(m_dir.Path() / "file"));
}

TEST_F(CreateFolderLevelsTest, MissingDriveFails) {
    std::u16string path = u"Q:\\x";
    EXPECT_FALSE(CreateFolderLevels(path));
    EXPECT_EQ(path, u"Q:\\x\\");
}

TEST_F(CreateFolderLevelsTest, ForwardSlashesMakeOneLevel) {
    // One level "a/b": the platform takes "/" as a separator, so it can only
    // be made when "a" is already there.
    std::u16string path = m_root + u"a/b";
    EXPECT_FALSE(CreateFolderLevels(path));
    EXPECT_EQ(path, m_root + u"a/b\\");
    EXPECT_FALSE(fs::exists(m_dir.Path() / "a"));

    fs::create_directory(m_dir.Path() / "a");
    path = m_root + u"a/b";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / "a" / "b"));
}

TEST_F(CreateFolderLevelsTest, BlankPathBecomesOneBackslash) {
    for (const char16_t* blank : {u"", u"   ", u"\u3000\t"}) {
        std::u16string path = blank;
        EXPECT_TRUE(CreateFolderLevels(path));
        EXPECT_EQ(path, u"\\");
    }
}

TEST_F(CreateFolderLevelsTest, ChineseNames) {
    std::u16string path = m_root + u"保存\\图片";
    EXPECT_TRUE(CreateFolderLevels(path));
    EXPECT_TRUE(fs::is_directory(m_dir.Path() / fs::path(u8"保存") / fs::path(u8"图片")));
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
