// Tests of the shared text and path rules.
#include "util/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

struct TextCase {
    std::u16string input;
    std::u16string expected;
};

// Readable failure messages: ASCII as is, other code units as U+XXXX.
std::string Show(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "<U+%04X>", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out;
}

TEST(TrimText, RemovesWideWhiteSpaceAtBothEndsOnly) {
    const TextCase cases[] = {
        {u"", u""},
        {u"   ", u""},
        {u"\t\n\v\f\r x \r\n", u"x"},
        {u"\u3000照片\u3000", u"照片"},
        {u"\u00A0My Pictures\u00A0", u"My Pictures"},
        {u"  a \t b  ", u"a \t b"},  // inner white space is kept
        {u"\u2003wide\u2028", u"wide"},
        {u"x\u200B", u"x\u200B"},              // zero-width space is not white space
        {u"\u2007x\u202F", u"\u2007x\u202F"},  // no-break spaces above U+00FF stay
        {u"\u0085x", u"\u0085x"},
        {u"\\", u"\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(util::TrimText(c.input), c.expected) << Show(c.input);
}

TEST(CollapseBackslashes, ReducesEveryRunToOneAndTrims) {
    const TextCase cases[] = {
        {u"", u""},
        {u"\\\\\\", u"\\"},
        {u" C:\\\\a\\\\\\b\\ ", u"C:\\a\\b\\"},
        {u"\\\\server\\share", u"\\server\\share"},
        {u"a//b", u"a//b"},        // forward slashes are ordinary characters
        {u"a\\ \\b", u"a\\ \\b"},  // a space breaks the run
        {u"no separator", u"no separator"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(util::CollapseBackslashes(c.input), c.expected) << Show(c.input);
}

TEST(NormaliseFolderPath, GivesTheOneCanonicalForm) {
    const TextCase cases[] = {
        {u"", u"\\"},
        {u"   ", u"\\"},
        {u"\t\u3000", u"\\"},
        {u"C:", u"C:\\"},
        {u"C:\\", u"C:\\"},
        {u"  D:\\\\Photos\\\\\\2006\t", u"D:\\Photos\\2006\\"},
        {u"\\\\server\\share", u"\\server\\share\\"},
        {u"C:/Pics", u"C:/Pics\\"},
        {u"C:/Pics/", u"C:/Pics/\\"},
        {u"D:\\Photos \\ ", u"D:\\Photos \\"},
        {u"d:\\Photos", u"d:\\Photos\\"},
        {u"\u3000D:\\照片\u3000", u"D:\\照片\\"},
        {u"\\\\", u"\\"},
        {u"C:\\ORV_Save\\", u"C:\\ORV_Save\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(util::NormaliseFolderPath(c.input), c.expected) << Show(c.input);
}

TEST(NormaliseFolderPath, IsIdempotent) {
    for (const char16_t* path : {u"", u" C:\\\\x ", u"\\\\s\\\\t\\\\", u"D:\\Photos \\ ", u"a/b"}) {
        const std::u16string once = util::NormaliseFolderPath(path);
        EXPECT_EQ(util::NormaliseFolderPath(once), once) << Show(path);
    }
}

TEST(FolderLeafName, TakesTheLastNameTrimmed) {
    const TextCase cases[] = {
        {u"D:\\Photos\\2006\\", u"2006"},
        {u"C:\\", u"C:"},
        {u"\\", u""},
        {u"", u""},
        {u"D:\\My Photos \\", u"My Photos"},
        {u"D:\\Photos\\2006", u"200"},  // the last code unit goes, whatever it is
        {u" C:\\Users\\照片\\ ", u"照片"},
        {u"x", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(util::FolderLeafName(c.input), c.expected) << Show(c.input);
}

TEST(UpperCaseAscii, FoldsOnlyAToZ) {
    const TextCase cases[] = {
        {u"My Pictures", u"MY PICTURES"},     {u"abcxyz`{@[", u"ABCXYZ`{@["},
        {u"\u00E9t\u00E9", u"\u00E9T\u00E9"}, {u"\uFF41", u"\uFF41"},  // full-width a
        {u"c:\\照片", u"C:\\照片"},           {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(util::UpperCaseAscii(c.input), c.expected) << Show(c.input);
}

TEST(FormatCount, WritesPlainSignedDecimal) {
    const struct {
        int value;
        std::u16string expected;
    } cases[] = {
        {0, u"0"},
        {7, u"7"},
        {-1, u"-1"},
        {1234567, u"1234567"},
        {-1000000, u"-1000000"},
        {INT_MAX, u"2147483647"},
        {INT_MIN, u"-2147483648"},
    };
    for (const auto& c : cases) EXPECT_EQ(util::FormatCount(c.value), c.expected) << c.value;
}

TEST(SubstringRules, ClampCountsAndFindTheLastUnit) {
    const std::u16string abc = u"abc";
    EXPECT_EQ(util::LeftPart(abc, -1), u"");
    EXPECT_EQ(util::LeftPart(abc, 0), u"");
    EXPECT_EQ(util::LeftPart(abc, 2), u"ab");
    EXPECT_EQ(util::LeftPart(abc, 3), u"abc");
    EXPECT_EQ(util::LeftPart(abc, 5), u"abc");
    EXPECT_EQ(util::LeftPart(u"", 1), u"");
    EXPECT_EQ(util::RightPart(abc, -1), u"");
    EXPECT_EQ(util::RightPart(abc, 2), u"bc");
    EXPECT_EQ(util::RightPart(abc, 5), u"abc");
    EXPECT_EQ(util::RightPart(u"", 1), u"");
    EXPECT_EQ(util::LastIndexOf(abc, u'.'), -1);
    EXPECT_EQ(util::LastIndexOf(u"a.b.c", u'.'), 3);
    EXPECT_EQ(util::LastIndexOf(u".", u'.'), 0);
    EXPECT_EQ(util::LastIndexOf(u"", u'.'), -1);
}

}  // namespace
