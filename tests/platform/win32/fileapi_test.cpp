// Tests of the file calls: searches, attributes, existence, folders and path names.
#include "platform/win32/fileapi.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/win32/host_path.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

struct Entry {
    std::u16string name;
    DWORD attributes;
};

// Every entry a search reports, in order; empty when it cannot start.
std::vector<Entry> List(const std::u16string& pattern,
                        FINDEX_INFO_LEVELS level = FindExInfoStandard) {
    std::vector<Entry> out;
    WIN32_FIND_DATAW d{};
    HANDLE h = FindFirstFileExW(pattern.c_str(), level, &d, FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return out;
    do out.push_back({d.cFileName, d.dwFileAttributes});
    while (FindNextFileW(h, &d));
    EXPECT_TRUE(FindClose(h));
    return out;
}

std::set<std::u16string> Names(const std::vector<Entry>& entries) {
    std::set<std::u16string> names;
    for (const Entry& e : entries) names.insert(e.name);
    return names;
}

// What a search for one exact name reports: that entry and no other.
WIN32_FIND_DATAW FindOne(const std::u16string& path) {
    WIN32_FIND_DATAW d{}, next{};
    HANDLE h = FindFirstFileW(path.c_str(), &d);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << win32::NameToHost(path);
    if (h == INVALID_HANDLE_VALUE) return d;
    EXPECT_FALSE(FindNextFileW(h, &next));
    FindClose(h);
    return d;
}

DWORD AttributesOf(const std::vector<Entry>& entries, const std::u16string& name) {
    for (const Entry& e : entries)
        if (e.name == name) return e.attributes;
    ADD_FAILURE() << "not listed";
    return 0;
}

TEST(FindFiles, FolderListingStartsWithDotsThenReaddirOrder) {
    TempDir dir;
    for (const char* name : {"b", "a", "c.txt", "sub/x"}) dir.Write(name, "x");
    std::vector<std::u16string> expected{u".", u".."};
    DIR* d = ::opendir(dir.Path().c_str());
    while (const dirent* e = ::readdir(d))
        if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..")
            expected.push_back(win32::NameFromHost(e->d_name));
    ::closedir(d);

    for (const char16_t* all : {u"*.*", u"*"}) {
        for (auto level : {FindExInfoStandard, FindExInfoBasic}) {
            std::vector<std::u16string> names;
            for (const Entry& e : List(dir.WinPath() + all, level)) names.push_back(e.name);
            EXPECT_EQ(names, expected);
        }
    }
}

TEST(FindFiles, WildcardsMatchInTheLastName) {
    TempDir dir;
    for (const char* name :
         {"photo.png", "photo.PNG", "README", "a.b.c", ".hidden", "x1.txt", "x22.txt"})
        dir.Write(name, "x");
    using Set = std::set<std::u16string>;
    const struct {
        std::u16string pattern;
        Set names;
    } cases[] = {
        {u"*.*",
         {u".", u"..", u"photo.png", u"photo.PNG", u"README", u"a.b.c", u".hidden", u"x1.txt",
          u"x22.txt"}},
        {u"*.png", {u"photo.png"}},  // the host tells letter case apart
        {u"photo.*", {u"photo.png", u"photo.PNG"}},
        {u"x?.txt", {u"x1.txt"}},
        {u"x*.txt", {u"x1.txt", u"x22.txt"}},
        {u"*.c", {u"a.b.c"}},
        {u".*", {u".", u"..", u".hidden"}},
        {u"?EADM?", {u"README"}},
        {u"README", {u"README"}},
        {u"nothing*", {}},
        {u"missing", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Names(List(dir.WinPath() + c.pattern)), c.names);
        // The other separator and a relative pattern find the same.
        std::u16string slashes = dir.WinPath() + c.pattern;
        std::replace(slashes.begin(), slashes.end(), u'\\', u'/');
        EXPECT_EQ(Names(List(slashes)), c.names);
        testsupport::ScopedCwd cwd(dir.Path());
        EXPECT_EQ(Names(List(c.pattern)), c.names);
    }
}

TEST(FindFiles, SearchesThatCannotStart) {
    TempDir dir;
    dir.Write("file", "x");
    WIN32_FIND_DATAW d{};
    for (const std::u16string& p :
         {dir.WinPath() + u"nosuch\\*.*", dir.WinPath() + u"file\\*", dir.WinPath(),
          std::u16string(u"D:\\*.*"), std::u16string(u"\\\\server\\share\\*"),
          std::u16string(u"C:"), dir.WinPath() + std::u16string(256, u'n')})
        EXPECT_EQ(FindFirstFileW(p.c_str(), &d), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &d));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST(FindFiles, OneNamedEntryReportsItsSize) {
    TempDir dir;
    dir.Write("runtime.dll", std::string(1724416, 'x'));
    const fs::path big = dir.Path() / "big";
    {
        std::ofstream(big).put('x');
        fs::resize_file(big, (std::uint64_t{5} << 32) + 7);  // sparse
    }
    WIN32_FIND_DATAW d = FindOne(dir.WinPath() + u"runtime.dll");
    EXPECT_EQ(std::u16string(d.cFileName), u"runtime.dll");
    EXPECT_EQ(d.nFileSizeLow, 1724416u);
    EXPECT_EQ(d.nFileSizeHigh, 0u);
    EXPECT_EQ(d.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_NE(d.ftLastWriteTime.dwHighDateTime, 0u);
    d = FindOne(dir.WinPath() + u"big");
    EXPECT_EQ(d.nFileSizeHigh, 5u);
    EXPECT_EQ(d.nFileSizeLow, 7u);
}

TEST(FindFiles, Attributes) {
    TempDir dir;
    dir.Write(".hidden", "x");
    dir.Write("plain", "x");
    dir.Write("sub/inner", "x");
    const fs::path locked = dir.Write("locked", "x");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory_symlink(dir.Path() / "sub", dir.Path() / "to_sub");
    fs::create_symlink(dir.Path() / "plain", dir.Path() / "to_plain");
    fs::create_symlink(dir.Path() / "nowhere", dir.Path() / "broken");

    constexpr DWORD kDir = FILE_ATTRIBUTE_DIRECTORY, kLink = FILE_ATTRIBUTE_REPARSE_POINT;
    const auto standard = List(dir.WinPath() + u"*.*", FindExInfoStandard);
    const auto basic = List(dir.WinPath() + u"*.*", FindExInfoBasic);
    for (const auto* entries : {&standard, &basic}) {
        EXPECT_EQ(AttributesOf(*entries, u"."), kDir);
        EXPECT_EQ(AttributesOf(*entries, u".."), kDir);
        EXPECT_EQ(AttributesOf(*entries, u".hidden"), FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(AttributesOf(*entries, u"plain"), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(AttributesOf(*entries, u"sub"), kDir);
        EXPECT_EQ(AttributesOf(*entries, u"to_sub"), kDir | kLink);
        EXPECT_EQ(AttributesOf(*entries, u"to_plain"), kLink);
        EXPECT_EQ(AttributesOf(*entries, u"broken"), kLink);
    }
    // Knowing the permission bits takes a stat: only the standard level does.
    EXPECT_EQ(AttributesOf(standard, u"locked"), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(FindOne(dir.WinPath() + u"to_sub").dwFileAttributes, kDir | kLink);
}

TEST(FindFiles, NamesThatAreNotUtf8CanBeNamedAgain) {
    TempDir dir;
    dir.Write("caf\xFF.txt", "x");
    dir.Write("back\\slash", "x");
    const auto names = Names(List(dir.WinPath() + u"*.*"));
    for (const std::u16string& listed :
         {std::u16string(u"caf\xDCFF.txt"), std::u16string(u"back\xDC5Cslash")}) {
        ASSERT_TRUE(names.count(listed));
        const std::u16string path = dir.WinPath() + listed;
        EXPECT_TRUE(PathFileExistsW(path.c_str()));
        EXPECT_EQ(Names(List(path)), std::set<std::u16string>{listed});
    }
}

TEST(FindFiles, HostLimitsInsteadOfTheShortPathLimit) {
    TempDir dir;
    const std::string longest(255, 'n');
    dir.Write(longest, "x");
    const std::string wide = [] {
        std::string s;
        for (int i = 0; i < 85; ++i) s += "\xE4\xB8\xAD";  // 255 bytes, 85 code units
        return s;
    }();
    dir.Write(wide, "x");
    fs::path deep = dir.Path();
    for (int i = 0; i < 40; ++i) deep /= "level_" + std::to_string(i);
    fs::create_directories(deep);
    std::ofstream(deep / "leaf.png") << "x";

    const auto names = Names(List(dir.WinPath() + u"*"));
    EXPECT_TRUE(names.count(std::u16string(longest.begin(), longest.end())));
    EXPECT_TRUE(names.count(win32::NameFromHost(wide)));

    const std::u16string deepWin = testsupport::WinPathOf(deep);
    ASSERT_GT(deepWin.size(), 300u);
    EXPECT_TRUE(PathFileExistsW((deepWin + u"\\leaf.png").c_str()));
    EXPECT_EQ(Names(List(deepWin + u"\\*.*")),
              (std::set<std::u16string>{u".", u"..", u"leaf.png"}));

    EXPECT_FALSE(PathFileExistsW((dir.WinPath() + std::u16string(256, u'n')).c_str()));
}

TEST(PathFileExists, FilesFoldersAndDrives) {
    TempDir dir;
    dir.Write("file.txt", "x");
    fs::create_directory_symlink(dir.Path() / "nowhere", dir.Path() / "dangling");
    const struct {
        std::u16string path;
        bool exists;
    } cases[] = {
        {u"C:", true},
        {u"C:\\", true},
        {u"c:/", true},
        {u"Z:\\", true},
        {u"\\", true},
        {u"D:\\", false},
        {u"", false},
        {u"\\\\server\\share", false},
        {dir.WinPath(), true},
        {dir.WinPath() + u"file.txt", true},
        {dir.WinPath() + u"FILE.TXT", false},
        {dir.WinPath() + u"missing", false},
        {dir.WinPath() + u"dangling", false},          // links are followed
        {dir.WinPath() + u"sub\\..\\file.txt", true},  // ".." goes by name
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathFileExistsW(c.path.c_str()) != FALSE, c.exists) << win32::NameToHost(c.path);
}

TEST(CreateDirectory, CreatesOneLevelOnly) {
    TempDir dir;
    dir.Write("file", "x");
    const std::u16string made = dir.WinPath() + u"新建";
    EXPECT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "\xE6\x96\xB0\xE5\xBB\xBA"));
    EXPECT_FALSE(CreateDirectoryW(made.c_str(), nullptr));  // exists
    EXPECT_FALSE(CreateDirectoryW((dir.WinPath() + u"file").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW((dir.WinPath() + u"a\\b").c_str(), nullptr));  // no parent
    EXPECT_FALSE(CreateDirectoryW(u"D:\\ORV_Save", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"\\\\server\\share\\x", nullptr));
}

std::u16string FullPath(const std::u16string& p, LPWSTR* filePart = nullptr) {
    WCHAR buf[1024];
    const DWORD n = GetFullPathNameW(p.c_str(), 1024, buf, filePart);
    return std::u16string(buf, n);
}

TEST(FullPathName, ResolvesByNameOnly) {
    TempDir dir;
    testsupport::ScopedCwd cwd(dir.Path());
    const std::u16string here = testsupport::WinPathOf(dir.Path());
    const std::u16string parent = testsupport::WinPathOf(dir.Path().parent_path());
    const struct {
        std::u16string in, out;
    } cases[] = {
        {u"C:\\a\\..\\b", u"C:\\b"},
        {u"c:/a/./b", u"C:\\a\\b"},
        {u"C:\\..", u"C:\\"},
        {u"C:\\a\\", u"C:\\a\\"},
        {u"C:x", u"C:\\x"},
        {u"\\x\\y", u"Z:\\x\\y"},
        {u"D:\\x\\..\\y", u"D:\\y"},
        {u"Z:\\..\\..", u"Z:\\"},
        {u"sub\\f.png", here + u"\\sub\\f.png"},
        {u".\\*.*", here + u"\\*.*"},
        {u"..", parent},
        {u"sub\\", here + u"\\sub\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(FullPath(c.in), c.out) << win32::NameToHost(c.in);

    LPWSTR part = nullptr;
    const std::u16string full = FullPath(u"C:\\a\\name.png", &part);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(std::u16string(part), u"name.png");
    FullPath(u"C:\\a\\", &part);
    EXPECT_EQ(part, nullptr);
    WCHAR small[4];
    EXPECT_EQ(GetFullPathNameW(u"C:\\abc", 4, small, nullptr), 7u);  // the size it needs
}

TEST(FinalPathName, FollowsLinks) {
    TempDir dir;
    fs::create_directories(dir.Path() / "real" / "inner");
    fs::create_directory_symlink(dir.Path() / "real", dir.Path() / "link");
    const fs::path realDir = fs::canonical(dir.Path() / "real");
    WCHAR buf[1024];
    const DWORD n = GetFinalPathNameW((dir.WinPath() + u"link\\inner").c_str(), buf, 1024,
                                      FILE_NAME_NORMALIZED);
    EXPECT_EQ(std::u16string(buf, n), testsupport::WinPathOf(realDir / "inner"));
    EXPECT_EQ(GetFinalPathNameW((dir.WinPath() + u"missing").c_str(), buf, 1024, 0), 0u);
}

TEST(ModuleFileName, TheRunningExecutableOrTheTestsChoice) {
    WCHAR buf[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    const std::u16string path(buf, n);
    char exe[4096];
    const ssize_t len = ::readlink("/proc/self/exe", exe, sizeof exe);
    ASSERT_GT(len, 0);
    EXPECT_EQ(path, win32::FromHostPath(std::string(exe, static_cast<std::size_t>(len))));

    win32::SetModuleFileNameForTesting(u"C:\\app\\orv.exe");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, MAX_PATH), 14u);
    EXPECT_EQ(std::u16string(buf), u"C:\\app\\orv.exe");
    // Cut to the buffer, terminator included; the result is the buffer size.
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 5), 5u);
    EXPECT_EQ(std::u16string(buf), u"C:\\a");
    win32::SetModuleFileNameForTesting(u"");
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, MAX_PATH), n);
}

}  // namespace
