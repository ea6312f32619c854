// Tests of the source scan: order, reserved names, links and unreadable folders.
#include "engine/scan.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/fileapi.h"
#include "platform/win32/host_path.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

namespace {

namespace fs = std::filesystem;
using testsupport::OpenToOthers;
using testsupport::ScopedUnprivileged;
using testsupport::TempDir;
using testsupport::WinPathOf;

// The order the host's plain directory reading gives, "." and ".." left out.
std::vector<std::string> ReaddirNames(const fs::path& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

// The two reserved names, and the save temporaries that these tests make.
bool IsSkippedName(const std::string& name) {
    return name == "Thumbs.db" || name == "Desktop.ini" || name == ".big.JPG.a1B2c3.orvtmp" ||
           name == ".x.Zz09Aa.orvtmp";
}

// What the scan must give for a tree without links: a folder's files in
// reading order, then each subfolder's subtree in reading order.
void ExpectedScan(const fs::path& folder, bool subfolders, JobList& out) {
    std::vector<fs::path> dirs;
    for (const std::string& name : ReaddirNames(folder)) {
        const fs::path p = folder / name;
        if (fs::is_directory(p)) {
            dirs.push_back(p);
        } else if (!IsSkippedName(name)) {
            out.push_back(WinPathOf(p));
        }
    }
    if (subfolders)
        for (const fs::path& d : dirs) ExpectedScan(d, true, out);
}

JobList Scan(const std::u16string& folder, bool subfolders = true) {
    JobList list;
    ScanTree(folder, list, subfolders);
    return list;
}

std::string Show(const JobList& list) {
    std::string out;
    for (const auto& entry : list) out += win32::NameToHost(entry) + "\n";
    return out;
}

class ScanTest : public ::testing::Test {
protected:
    void MakeTree() const {
        for (const char* f : {"A/a1.jpg", "A/a2.png", "A/notes.txt", "A/noext", "A/.hidden",
                              "A/S/s1.bmp", "A/S/U/u1.gif", "A/T/t1.tif"})
            m_dir.Write(f, "x");
        fs::create_directory(m_dir.Path() / "A" / "E");  // empty subfolder
    }
    JobList Expected(const fs::path& folder, bool subfolders = true) const {
        JobList out;
        ExpectedScan(folder, subfolders, out);
        return out;
    }
    std::u16string Win(const std::string& relative) const {
        return WinPathOf(m_dir.Path() / relative);
    }
    // The Windows paths of these names, sorted, to compare with a sorted scan.
    JobList Wins(std::initializer_list<const char*> relatives) const {
        JobList out;
        for (const char* relative : relatives) out.push_back(Win(relative));
        return Sorted(out);
    }
    static JobList Sorted(JobList list) {
        std::sort(list.begin(), list.end());
        return list;
    }

    TempDir m_dir;
};

TEST_F(ScanTest, FilesFirstThenEachSubtreeDepthFirstOrNoSubtree) {
    MakeTree();
    const JobList list = Scan(Win("A"));
    EXPECT_EQ(list, Expected(m_dir.Path() / "A")) << Show(list);
    ASSERT_EQ(list.size(), 8u) << Show(list);
    // The subtrees follow all five files of A, and U's file directly follows
    // S's own file.
    const auto at = [&](const std::string& rel) {
        return std::find(list.begin(), list.end(), Win(rel)) - list.begin();
    };
    EXPECT_GE(at("A/S/s1.bmp"), 5);
    EXPECT_GE(at("A/T/t1.tif"), 5);
    EXPECT_EQ(at("A/S/U/u1.gif"), at("A/S/s1.bmp") + 1);

    // Without subfolders, the folder's own files only.
    const JobList flat = Scan(Win("A"), false);
    EXPECT_EQ(flat, Expected(m_dir.Path() / "A", false)) << Show(flat);
    EXPECT_EQ(flat.size(), 5u);
}

TEST_F(ScanTest, OnlyTheExactReservedNamesAndSaveTemporariesAreSkipped) {
    for (const char* f : {"Thumbs.db", "Desktop.ini", "photo.jpg", "thumbs.db", "desktop.INI",
                          "THUMBS.DB", "Thumbs.db.bak", "sub/Thumbs.db", "sub/Desktop.ini",
                          // a killed save's temporaries, and names only like them
                          ".big.JPG.a1B2c3.orvtmp", "sub/.x.Zz09Aa.orvtmp", "big.JPG.a1B2c3.orvtmp",
                          ".big.JPG.a1B2c.orvtmp", ".big.JPG.a1-2c3.orvtmp", "..a1B2c3.orvtmp",
                          ".big.JPG.a1B2c3.tmp"})
        m_dir.Write(f, "x");
    // A folder of a reserved name is still a folder and is entered.
    m_dir.Write("d/Desktop.ini/inner.jpg", "x");

    const JobList list = Scan(m_dir.WinPath());
    EXPECT_EQ(list, Expected(m_dir.Path())) << Show(list);
    EXPECT_EQ(Sorted(list),
              Wins({"d/Desktop.ini/inner.jpg", "big.JPG.a1B2c3.orvtmp", ".big.JPG.a1B2c.orvtmp",
                    ".big.JPG.a1-2c3.orvtmp", "..a1B2c3.orvtmp", ".big.JPG.a1B2c3.tmp", "THUMBS.DB",
                    "Thumbs.db.bak", "desktop.INI", "photo.jpg", "thumbs.db"}))
        << Show(list);
}

TEST_F(ScanTest, SpellingsOfTheSameFolderGiveTheSameList) {
    MakeTree();
    const std::u16string plain = Win("A");
    const JobList reference = Scan(plain);
    ASSERT_EQ(reference.size(), 8u);
    for (const std::u16string& spelling :
         {plain + u"\\", u"  " + plain + u" ", u"\u3000" + plain + u"\\\t", plain + u"\\.\\",
          plain + u"\\S\\..", plain + u"/"}) {
        EXPECT_EQ(Scan(spelling), reference) << win32::NameToHost(spelling);
    }
    // A relative folder gives absolute entries.
    const fs::path before = fs::current_path();
    fs::current_path(m_dir.Path());
    const JobList relative = Scan(u"A");
    fs::current_path(before);
    EXPECT_EQ(relative, reference) << Show(relative);
}

TEST_F(ScanTest, AppendsToWhatTheListHolds) {
    m_dir.Write("one.jpg", "x");
    JobList list{u"kept"};
    ScanTree(m_dir.WinPath(), list, true);
    EXPECT_EQ(list, (JobList{u"kept", Win("one.jpg")}));
}

TEST_F(ScanTest, NothingToListGivesNothing) {
    m_dir.Write("file.jpg", "x");
    fs::create_directory(m_dir.Path() / "empty");
    EXPECT_TRUE(Scan(Win("empty")).empty());
    EXPECT_TRUE(Scan(Win("file.jpg")).empty());  // a file as the source
    EXPECT_TRUE(Scan(Win("missing")).empty());
    EXPECT_TRUE(Scan(u"").empty());
    EXPECT_TRUE(Scan(u" \u3000 ").empty());
    EXPECT_TRUE(Scan(u"Q:\\").empty());  // a drive that does not exist
}

TEST_F(ScanTest, LinkBackToAnAncestorIsNotEnteredAgain) {
    m_dir.Write("R/r1", "x");
    m_dir.Write("R/a/a1", "x");
    m_dir.Write("R/a/deep/d1", "x");
    fs::create_directory_symlink("../..", m_dir.Path() / "R/a/deep/up");          // to R
    fs::create_directory_symlink(m_dir.Path() / "R", m_dir.Path() / "R/a/root");  // to R
    fs::create_directory_symlink(".", m_dir.Path() / "R/a/self");                 // to a

    const std::u16string root = Win("R");
    for (const std::u16string& spelling :
         {root, root + u"\\", u" " + root + u"\\\\ ", root + u"\\a\\..", root + u"/"}) {
        const JobList list = Scan(spelling);
        EXPECT_EQ(Sorted(list), Wins({"R/r1", "R/a/a1", "R/a/deep/d1"}))
            << win32::NameToHost(spelling) << "\n"
            << Show(list);
    }

    // Started through a link to R, the entries keep the link's name and the
    // loops are still seen.
    fs::create_directory_symlink("R", m_dir.Path() / "L");
    const JobList viaLink = Scan(Win("L"));
    EXPECT_EQ(Sorted(viaLink), Wins({"L/r1", "L/a/a1", "L/a/deep/d1"})) << Show(viaLink);
}

TEST_F(ScanTest, LinkToASiblingTreeIsEntered) {
    m_dir.Write("R/a/a1", "x");
    m_dir.Write("R/b/b1", "x");
    m_dir.Write("R/b/c/c1", "x");
    fs::create_directory_symlink("../b", m_dir.Path() / "R/a/tob");
    // b links back to a, which links to b: entered once each way, no further.
    fs::create_directory_symlink("../a", m_dir.Path() / "R/b/toa");

    const JobList list = Scan(Win("R"));
    const auto count = [&](const std::string& rel) {
        return std::count(list.begin(), list.end(), Win(rel));
    };
    for (const char* rel : {"R/a/a1", "R/a/tob/b1", "R/a/tob/c/c1", "R/b/b1", "R/b/toa/a1"})
        EXPECT_EQ(count(rel), 1) << rel << "\n" << Show(list);
    EXPECT_EQ(list.size(), 6u) << Show(list);
}

TEST_F(ScanTest, LinkToAFileIsListedAsAFile) {
    m_dir.Write("R/real.jpg", "x");
    fs::create_symlink("real.jpg", m_dir.Path() / "R/alias.jpg");
    EXPECT_EQ(Sorted(Scan(Win("R"))), Wins({"R/alias.jpg", "R/real.jpg"}));
}

TEST_F(ScanTest, UnreadableFolderAddsNothingAndTheScanGoesOn) {
    m_dir.Write("R/locked/inside.jpg", "x");
    m_dir.Write("R/open/seen.jpg", "x");
    m_dir.Write("R/own.jpg", "x");
    fs::permissions(m_dir.Path() / "R/locked", fs::perms::none);
    OpenToOthers(m_dir.Path() / "R", false);
    ScopedUnprivileged user;  // as root, the bits would not bite
    if (!user.Active()) GTEST_SKIP() << user.Reason();
    EXPECT_EQ(Sorted(Scan(Win("R"))), Wins({"R/open/seen.jpg", "R/own.jpg"}));
}

// A chain of nested folders made through a relative walk, as no single host
// path can name its deeper levels; removed the same way.
class DeepChain {
public:
    DeepChain(const fs::path& top, int levels) : m_top(top), m_levels(levels) {
        const fs::path before = fs::current_path();
        fs::current_path(m_top);
        for (int i = 0; i < m_levels; ++i) {
            if (::mkdir(m_name.c_str(), 0755) != 0 || ::chdir(m_name.c_str()) != 0) break;
            ++m_made;
        }
        if (FILE* f = std::fopen("bottom.jpg", "w")) std::fclose(f);
        fs::current_path(before);
    }
    ~DeepChain() {
        const fs::path before = fs::current_path();
        fs::current_path(m_top);
        for (int i = 0; i < m_made; ++i)
            if (::chdir(m_name.c_str()) != 0) return;
        ::unlink("bottom.jpg");
        for (int i = 0; i < m_made; ++i)
            if (::chdir("..") != 0 || ::rmdir(m_name.c_str()) != 0) break;
        fs::current_path(before);
    }
    bool Complete() const { return m_made == m_levels; }

private:
    fs::path m_top;
    int m_levels;
    int m_made = 0;
    std::string m_name = std::string(200, 'd');
};

TEST_F(ScanTest, FolderBeyondThePathLimitAddsNothingAndTheScanGoesOn) {
    // Host paths stop at 4,095 bytes; 25 names of 200 bytes go well past it.
    m_dir.Write("R/a.jpg", "x");
    m_dir.Write("R/z/after.jpg", "x");
    fs::create_directory(m_dir.Path() / "R/long");
    const DeepChain chain(m_dir.Path() / "R/long", 25);
    ASSERT_TRUE(chain.Complete());

    const JobList list = Scan(Win("R"));
    EXPECT_EQ(std::count(list.begin(), list.end(), Win("R/a.jpg")), 1) << Show(list);
    EXPECT_EQ(std::count(list.begin(), list.end(), Win("R/z/after.jpg")), 1) << Show(list);
    for (const auto& entry : list)
        EXPECT_EQ(entry.find(u"bottom.jpg"), std::u16string::npos) << win32::NameToHost(entry);
}

TEST_F(ScanTest, MoreFilesThanTheReservationAllInReadingOrder) {
    constexpr int kFiles = 70000;
    // Mostly hard links: names are cheap to make where inodes are not. One
    // inode takes at most 65,000 links on ext4, so a new one every 50,000.
    std::string first;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i) + ".jpg";
        if (i % 50000 == 0) {
            first = m_dir.Write(name, "").string();
            continue;
        }
        const std::string path = (m_dir.Path() / name).string();
        ASSERT_EQ(::link(first.c_str(), path.c_str()), 0) << path;
    }
    const JobList list = Scan(m_dir.WinPath());
    ASSERT_EQ(list.size(), static_cast<std::size_t>(kFiles));
    EXPECT_TRUE(list == Expected(m_dir.Path()));
}

TEST_F(ScanTest, NameThatIsNotUtf8IsListedAndFoundAgain) {
    const std::string bad = "bad\xFF\xFE name.jpg";
    m_dir.Write(bad, "x");
    m_dir.Write("照片.jpg", "x");
    const JobList list = Scan(m_dir.WinPath());
    ASSERT_EQ(list.size(), 2u) << Show(list);
    const std::u16string good = Win("照片.jpg");
    ASSERT_EQ(std::count(list.begin(), list.end(), good), 1) << Show(list);
    const std::u16string& entry = list[0] == good ? list[1] : list[0];
    EXPECT_TRUE(PathFileExistsW(entry.c_str()));
    EXPECT_EQ(win32::NameToHost(entry), win32::NameToHost(m_dir.WinPath()) + bad);
}

TEST_F(ScanTest, SubfolderNamesWithSpacesAtTheirEndsAreEntered) {
    // Only the path the user typed is trimmed: host folder names may end in
    // white space, and their files belong to the run like any others.
    for (const char* f : {"R/trail /a.jpg", "R/ lead/b.jpg", "R/旅行\u3000/c.jpg", "R/tab\t/d.jpg",
                          "R/trail /inner /e.jpg"})
        m_dir.Write(f, "x");
    EXPECT_EQ(Sorted(Scan(Win("R"))), Wins({"R/trail /a.jpg", "R/ lead/b.jpg", "R/旅行\u3000/c.jpg",
                                            "R/tab\t/d.jpg", "R/trail /inner /e.jpg"}));
}

TEST_F(ScanTest, WildcardCharactersInFolderNamesAreTakenLiterally) {
    // Host folders may hold "*" and "?", which the search pattern uses: only
    // the pattern's last name is a wildcard.
    m_dir.Write("R/a*b/one.jpg", "x");
    m_dir.Write("R/a?/two.jpg", "x");
    m_dir.Write("R/aXb/other.jpg", "x");
    m_dir.Write("R/*.*", "x");
    EXPECT_EQ(Scan(Win("R/a*b")), (JobList{Win("R/a*b/one.jpg")}));
    EXPECT_EQ(Scan(Win("R/a?")), (JobList{Win("R/a?/two.jpg")}));
    EXPECT_EQ(Sorted(Scan(Win("R"))),
              Wins({"R/*.*", "R/a*b/one.jpg", "R/a?/two.jpg", "R/aXb/other.jpg"}));
}

TEST_F(ScanTest, BackslashInsideAHostNameIsNotASeparator) {
    m_dir.Write("R/x\\y/inner.jpg", "x");
    m_dir.Write("R/back\\slash.jpg", "x");
    std::vector<std::string> hostPaths;
    for (const auto& entry : Scan(Win("R"))) {
        EXPECT_TRUE(PathFileExistsW(entry.c_str())) << win32::NameToHost(entry);
        hostPaths.push_back(win32::ToHostPath(entry).value_or("?"));
    }
    std::sort(hostPaths.begin(), hostPaths.end());
    const std::string r = (m_dir.Path() / "R").string();
    EXPECT_EQ(hostPaths, (std::vector<std::string>{r + "/back\\slash.jpg", r + "/x\\y/inner.jpg"}));
}

}  // namespace
