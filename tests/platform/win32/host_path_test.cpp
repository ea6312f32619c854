// Tests of the mapping between Windows paths and host paths.
#include "platform/win32/host_path.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::ScopedCwd;
using testsupport::ScopedEnv;

// A home folder that need not exist: the mapping is by name only.
class HostPathTest : public ::testing::Test {
protected:
    testsupport::TempDir m_cwd;
    ScopedEnv m_home{"HOME", "/home/tester"};
    ScopedCwd m_inCwd{m_cwd.Path()};

    std::string Cwd() const { return m_cwd.Path().string(); }
};

TEST_F(HostPathTest, WindowsPathsMapOntoTheHost) {
    const std::string cwd = Cwd();
    const std::string cwdParent = m_cwd.Path().parent_path().string();
    const struct {
        std::u16string win;
        std::optional<std::string> host;
    } cases[] = {
        {u"C:\\", "/home/tester"},
        {u"C:", "/home/tester"},
        {u"c:\\Photos\\a.png", "/home/tester/Photos/a.png"},
        {u"C:/x/y", "/home/tester/x/y"},
        {u"C:\\x\\\\y\\", "/home/tester/x/y"},
        {u"C:\\a\\.\\b\\..\\c", "/home/tester/a/c"},
        {u"C:\\..\\..\\etc", "/home/tester/etc"},  // ".." stops at the drive's root
        {u"C:rel", "/home/tester/rel"},
        {u"Z:\\", "/"},
        {u"z:\\etc\\passwd", "/etc/passwd"},
        {u"Z:\\..\\etc", "/etc"},
        {u"\\etc\\hosts", "/etc/hosts"},
        {u"/etc/hosts", "/etc/hosts"},
        {u"\\", "/"},
        {u"C:\\名字\\照片.png",
         "/home/tester/\xE5\x90\x8D\xE5\xAD\x97/\xE7\x85\xA7\xE7\x89\x87.png"},
        {u"rel\\x", cwd + "/rel/x"},
        {u"rel/x/", cwd + "/rel/x"},
        {u"", cwd},
        {u".", cwd},
        {u"..", cwdParent},
        {u"Z:rel", cwd + "/rel"},
        {u"D:\\x", std::nullopt},
        {u"d:", std::nullopt},
        {u"\\\\server\\share\\x", std::nullopt},
        {u"//server/share", std::nullopt},
        {u"\\\\?\\C:\\x", std::nullopt},
        {std::u16string(u"C:\\a\0b", 6), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(win32::ToHostPath(c.win), c.host) << "for the path of size " << c.win.size();
}

TEST_F(HostPathTest, HostPathsShowInDriveForm) {
    const struct {
        std::string host;
        std::u16string win;
    } cases[] = {
        {"/home/tester", u"C:\\"},
        {"/home/tester/", u"C:\\"},
        {"/home/tester/Pictures", u"C:\\Pictures"},
        {"/home/tester/../tester/x", u"C:\\x"},
        {"/home/testerX/a", u"Z:\\home\\testerX\\a"},  // the prefix must be a whole name
        {"/home", u"Z:\\home"},
        {"/", u"Z:\\"},
        {"/tmp//a/./b/../c", u"Z:\\tmp\\a\\c"},
        {"/tmp/\xFF", u"Z:\\tmp\\\xDCFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(win32::FromHostPath(c.host), c.win) << c.host;

    // Relative host paths are taken from the current folder.
    EXPECT_EQ(win32::FromHostPath("sub"), win32::FromHostPath(Cwd() + "/sub"));
    EXPECT_EQ(win32::FromHostPath(""), win32::FromHostPath(Cwd()));
}

TEST_F(HostPathTest, HomeFromPasswordEntryWhenHomeIsUnset) {
    ScopedEnv noHome("HOME", std::nullopt);
    const std::string home = win32::HomeFolder();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home.front(), '/');
    EXPECT_EQ(win32::ToHostPath(u"C:\\"), home);
}

TEST(NameEncoding, BytesAndTextCorrespondBothWays) {
    const struct {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"abc", u"abc"},
        {"\xC3\xA9", u"é"},
        {"\xE4\xB8\xAD", u"中"},
        {"\xF0\x9F\x98\x80", u"😀"},
        {"\xFF", u"\xDCFF"},
        {"a\x80z", u"a\xDC80z"},
        {"\xC3", u"\xDCC3"},  // cut short
        {"\xE2\x82"
         "A",
         u"\xDCE2\xDC82"
         u"A"},                                             // cut short, then text
        {"\xC0\xAF", u"\xDCC0\xDCAF"},                      // overlong
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // past U+10FFFF
        {"a\\b",
         u"a\xDC5C"
         u"b"},  // no Windows name holds '\'
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::NameFromHost(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(win32::NameToHost(c.text), c.bytes) << c.bytes;
    }
}

TEST(NameEncoding, OtherLoneSurrogatesStillNameOneFile) {
    // Never produced from a host name; written in their three-byte form.
    EXPECT_EQ(win32::NameToHost(u"\xD800"), "\xED\xA0\x80");
    EXPECT_EQ(win32::NameToHost(u"\xDC41"), "\xED\xB1\x81");
    EXPECT_EQ(win32::NameToHost(win32::NameFromHost(win32::NameToHost(u"x\xD800"))),
              win32::NameToHost(u"x\xD800"));
}

TEST(NameEncoding, EveryByteSequenceRoundTrips) {
    std::string bytes(2, '\0');
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            bytes[0] = static_cast<char>(a);
            bytes[1] = static_cast<char>(b);
            ASSERT_EQ(win32::NameToHost(win32::NameFromHost(bytes)), bytes) << a << " " << b;
        }
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0x00, 0xFF);
    for (int i = 0; i < 100000; ++i) {
        std::string s(1 + i % 6, '\0');
        for (char& c : s) c = static_cast<char>(byte(random) | (i % 3 == 0 ? 0x80 : 0));
        ASSERT_EQ(win32::NameToHost(win32::NameFromHost(s)), s);
    }
}

}  // namespace
