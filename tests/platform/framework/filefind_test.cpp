// Tests of CFileFind over real folders.
#include "platform/framework/filefind.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <vector>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

struct Found {
    std::u16string name, path;
    bool directory, dots, link;
    bool operator<(const Found& o) const { return name < o.name; }
};

// The usual loop: FindFile, then FindNextFile until it reports the last entry.
std::vector<Found> Scan(const std::u16string& pattern, std::u16string* root = nullptr) {
    std::vector<Found> out;
    CFileFind finder;
    BOOL more = finder.FindFile(pattern.c_str());
    while (more) {
        more = finder.FindNextFile();
        out.push_back({finder.GetFileName(), finder.GetFilePath(), finder.IsDirectory() != FALSE,
                       finder.IsDots() != FALSE, finder.IsReparsePoint() != FALSE});
        if (root != nullptr) *root = finder.GetRoot();
    }
    return out;
}

TEST(FileFind, VisitsEveryEntryOnceWithItsFullPath) {
    TempDir dir;
    dir.Write("a.png", "x");
    dir.Write("sub/b.png", "x");
    fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "link");
    std::u16string root;
    const auto found = Scan(dir.WinPath() + u"*.*", &root);
    const std::u16string folder = testsupport::WinPathOf(dir.Path());
    EXPECT_EQ(root, folder);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].name, u".");
    EXPECT_EQ(found[1].name, u"..");
    EXPECT_TRUE(found[0].dots && found[1].dots && found[0].directory);
    const std::set<Found> rest(found.begin() + 2, found.end());
    for (const Found& f : rest) {
        EXPECT_EQ(f.path, folder + u"\\" + f.name);
        EXPECT_FALSE(f.dots);
    }
    auto at = [&](const char16_t* name) { return *rest.find(Found{name, {}, {}, {}, {}}); };
    EXPECT_FALSE(at(u"a.png").directory);
    EXPECT_TRUE(at(u"sub").directory);
    EXPECT_FALSE(at(u"sub").link);
    EXPECT_TRUE(at(u"link").directory);
    EXPECT_TRUE(at(u"link").link);
}

TEST(FileFind, RootIsAbsoluteWithoutTrailingSeparator) {
    TempDir dir;
    dir.Write("one.txt", "x");
    const std::u16string folder = testsupport::WinPathOf(dir.Path());
    std::u16string root;

    // Doubled separators, "." and a relative pattern all give the same root.
    for (const std::u16string& pattern :
         {folder + u"\\\\*.*", folder + u"\\.\\*.txt", folder + u"/one.txt"}) {
        const auto found = Scan(pattern, &root);
        EXPECT_FALSE(found.empty());
        EXPECT_EQ(root, folder);
        EXPECT_EQ(found.back().path, folder + u"\\one.txt");
    }
    {
        testsupport::ScopedCwd cwd(dir.Path());
        EXPECT_EQ(Scan(u"one.txt", &root).at(0).path, folder + u"\\one.txt");
        EXPECT_EQ(root, folder);
    }
    // A drive root: no doubled backslash in the paths.
    const auto top = Scan(u"Z:\\*", &root);
    EXPECT_EQ(root, u"Z:");
    for (const Found& f : top)
        EXPECT_EQ(f.path.find(u"\\\\"), std::u16string::npos) << f.path.size();
}

TEST(FileFind, NothingToFind) {
    TempDir dir;
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile((dir.WinPath() + u"*.png").c_str()));
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_FALSE(finder.FindFile((dir.WinPath() + u"missing\\*.*").c_str()));
    // A search can be started again on the same finder after Close.
    dir.Write("x.png", "x");
    EXPECT_TRUE(finder.FindFile((dir.WinPath() + u"*.png").c_str()));
    EXPECT_FALSE(finder.FindNextFile());  // the one entry is the last
    EXPECT_EQ(finder.GetFileName(), u"x.png");
    finder.Close();
    EXPECT_FALSE(finder.FindNextFile());
}

}  // namespace
