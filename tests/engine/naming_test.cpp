// Tests of output names: base names, affixes and clashes with taken names.
#include "engine/naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "platform/win32/host_path.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

TEST(BaseNameOf, DropsFolderAndLastExtensionOnly) {
    const struct {
        std::u16string path;
        std::u16string expected;
    } cases[] = {
        {u"", u""},
        {u"C:\\in\\photo.jpg", u"photo"},
        {u"C:\\in\\photo.PNG", u"photo"},
        {u"C:\\in\\photo.old.jpg", u"photo.old"},
        {u"C:\\in\\scan", u"scan"},
        {u"C:\\in\\.PNG", u""},
        {u"photo.jpg", u"photo"},
        {u"C:\\in.d\\scan", u"scan"},        // a dot in a folder name is not an extension
        {u"C:\\in/photo.jpg", u"in/photo"},  // "/" is an ordinary character here
        {u"C:\\in\\Photo.Final.", u"Photo.Final"},
        {u"C:\\图片\\照片 一.jpeg", u"照片 一"},
        {u"C:\\in\\", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BaseNameOf(c.path), c.expected)
            << win32::NameToHost(c.path) << " -> " << win32::NameToHost(BaseNameOf(c.path));
    }
}

class MakeOutputPathTest : public ::testing::Test {
protected:
    // Creates an empty file in the destination folder.
    void Take(const std::u16string& name) const { m_dir.Write(win32::NameToHost(name), ""); }

    TempDir m_dir;
    const std::u16string m_folder = m_dir.WinPath();
};

// Each row in a folder of its own holding the taken names (a trailing "/"
// makes a folder of that name), the extension the expected name's: an affix
// is added once per taken name, only for that extension, the host's letter
// case decides, and the affix of the other mode plays no part.
TEST(MakeOutputPath, AffixesAreAddedWhileTheNameIsTaken) {
    constexpr AffixMode P = AffixMode::Prefix, S = AffixMode::Suffix;
    const struct {
        std::u16string taken;  // names separated by spaces
        std::u16string base, prefix, suffix;
        AffixMode mode;
        std::u16string expected;
    } cases[] = {
        {u"", u"photo", u"new_", u"", P, u"photo.PNG"},
        {u"", u"photo", u"", u"_copy", S, u"photo.PNG"},
        {u"photo.PNG", u"photo", u"new_", u"", P, u"new_photo.PNG"},
        {u"photo.PNG new_photo.PNG", u"photo", u"new_", u"", P, u"new_new_photo.PNG"},
        {u"photo.PNG new_photo.PNG", u"photo", u"new_", u"", P, u"photo.JPG"},
        {u"photo.PNG photo_copy.PNG", u"photo", u"", u"_copy", S, u"photo_copy_copy.PNG"},
        {u"photo.png", u"photo", u"new_", u"", P, u"photo.PNG"},
        {u"photo.PNG/", u"photo", u"new_", u"", P, u"new_photo.PNG"},
        {u"photo.PNG/", u"photo", u"", u"_copy", S, u"photo_copy.PNG"},
        {u"", u"", u"new_", u"", P, u".PNG"},
        {u".PNG", u"", u"new_", u"", P, u"new_.PNG"},
        {u".PNG", u"", u"", u"_copy", S, u"_copy.PNG"},
        {u"照片.PNG", u"照片", u"新_", u"", P, u"新_照片.PNG"},
        {u"照片.PNG", u"照片", u"", u"_副本", S, u"照片_副本.PNG"},
        {u"photo.PNG", u"photo", u"new_", u"_copy", P, u"new_photo.PNG"},
        {u"photo.PNG", u"photo", u"new_", u"_copy", S, u"photo_copy.PNG"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        std::istringstream taken(win32::NameToHost(c.taken));
        for (std::string name; taken >> name;) {
            if (name.ends_with('/'))
                std::filesystem::create_directory(dir.Path() / name);
            else
                dir.Write(name, "");
        }
        const std::u16string ext = c.expected.substr(c.expected.rfind(u'.'));
        const std::u16string found =
            MakeOutputPath(dir.WinPath(), c.base, c.prefix, c.suffix, ext, c.mode);
        EXPECT_EQ(found, dir.WinPath() + c.expected)
            << win32::NameToHost(c.taken) << " -> " << win32::NameToHost(found);
    }
}

// An affix that names the same file again would loop for ever; the taken name
// must not come back either, or the save would write over it.
TEST_F(MakeOutputPathTest, AffixThatMakesNoNewNameFindsNone) {
    Take(u"photo.PNG");
    for (const char16_t* affix : {u"", u"\\", u"/", u".\\", u"./", u"\\.\\"}) {
        EXPECT_EQ(MakeOutputPath(m_folder, u"photo", affix, u"", u".PNG", AffixMode::Prefix), u"")
            << win32::NameToHost(affix);
    }
    EXPECT_EQ(MakeOutputPath(m_folder, u"photo", u"", u"", u".PNG", AffixMode::Suffix), u"");
}

// An affix is part of the file name, never a path: one that would lead out of
// the destination (a separator, "..", a drive or stream colon) or make a
// device name finds no name, and nothing is written anywhere. Affixes that
// only look odd stay names in the folder.
TEST_F(MakeOutputPathTest, AffixThatWouldMakeAPathFindsNoName) {
    Take(u"photo.PNG");
    Take(u".PNG");
    const struct {
        std::u16string base;
        std::u16string affix;
        AffixMode mode;
        std::u16string expected;  // in the folder; empty: no name
    } cases[] = {
        {u"photo", u"..\\", AffixMode::Prefix, u""},
        {u"photo", u"..\\..\\..\\", AffixMode::Prefix, u""},
        {u"photo", u"\\..\\..\\", AffixMode::Suffix, u""},
        {u"photo", u"../", AffixMode::Prefix, u""},
        {u"photo", u"D:", AffixMode::Prefix, u""},
        {u"photo", u"D:\\", AffixMode::Prefix, u""},
        {u"photo", u":stream", AffixMode::Suffix, u""},
        {u"", u"NUL", AffixMode::Prefix, u""},
        {u"", u"con ", AffixMode::Prefix, u""},
        {u"", u"Com1", AffixMode::Suffix, u""},
        {u"", u"LPT\u00B9", AffixMode::Prefix, u""},
        {u"", u"CONOUT$", AffixMode::Prefix, u""},
        {u"", u"LPT10", AffixMode::Prefix, u"LPT10.PNG"},
        {u"", u"CONSOLE", AffixMode::Prefix, u"CONSOLE.PNG"},
        {u"photo", u"..", AffixMode::Prefix, u"..photo.PNG"},
        {u"photo", u"..", AffixMode::Suffix, u"photo...PNG"},
        {u"photo", u"_ORV_", AffixMode::Prefix, u"_ORV_photo.PNG"},
    };
    for (const auto& c : cases) {
        const std::u16string found =
            MakeOutputPath(m_folder, c.base, c.affix, c.affix, u".PNG", c.mode);
        EXPECT_EQ(found, c.expected.empty() ? u"" : m_folder + c.expected)
            << win32::NameToHost(c.affix) << " -> " << win32::NameToHost(found);
    }
    // A base name that is a device is no file name either, free or not.
    EXPECT_EQ(MakeOutputPath(m_folder, u"aux", u"new_", u"", u".PNG", AffixMode::Prefix), u"");
    EXPECT_TRUE(IsPlainFileName(u"auxiliary.PNG"));
    EXPECT_FALSE(IsPlainFileName(u"nul.tar.gz"));
}

TEST_F(MakeOutputPathTest, VanishedFolderReportsNothingTaken) {
    const std::u16string gone = m_folder + u"gone\\";
    EXPECT_EQ(MakeOutputPath(gone, u"photo", u"new_", u"", u".PNG", AffixMode::Prefix),
              gone + u"photo.PNG");
}

TEST_F(MakeOutputPathTest, OverlongCandidateEndsTheSearch) {
    // Each pass adds 50 bytes; past the platform's name limit the candidate
    // no longer exists and the loop ends with it.
    const std::u16string affix(50, u'x');
    Take(u"p.PNG");
    for (int i = 1; i * 50 + 5 <= 255; ++i) Take(std::u16string(50 * i, u'x') + u"p.PNG");
    const std::u16string found =
        MakeOutputPath(m_folder, u"p", affix, u"", u".PNG", AffixMode::Prefix);
    EXPECT_EQ(found, m_folder + std::u16string(300, u'x') + u"p.PNG");
}

}  // namespace
