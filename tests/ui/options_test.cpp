// The format boxes with select-all, the policy radios with their affix
// edits, and the example lines, as a user clicks and types.
#include <gtest/gtest.h>

#include "platform/framework/testing.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"

namespace {

using namespace testsupport;

const bool kRuntime = UseImagingRuntime();

constexpr int kRow[] = {IDC_SELECT_ALL,  IDC_FORMAT_BMP, IDC_FORMAT_GIF,
                        IDC_FORMAT_JPEG, IDC_FORMAT_PNG, IDC_FORMAT_TIFF};

// The ticks of the row, select-all first, as a string of 0 and 1.
std::string Ticks(const DialogSession& s) {
    std::string t;
    for (int id : kRow) t += s.Check(id) == BST_CHECKED ? '1' : '0';
    return t;
}

struct Press {
    int id;
    const char* ticksAfter;  // select-all, BMP, GIF, JPEG, PNG, TIFF
};

struct ClickSequence {
    const char* title;
    std::vector<Press> presses;
};

const ClickSequence kSequences[] = {
    {"select-all ticks all, and unticks all, also the ones ticked before",
     {{IDC_SELECT_ALL, "111111"}, {IDC_SELECT_ALL, "000000"}, {IDC_SELECT_ALL, "111111"}}},
    {"the fifth format ticked by hand ticks select-all",
     {{IDC_FORMAT_BMP, "010010"},
      {IDC_FORMAT_GIF, "011010"},
      {IDC_FORMAT_JPEG, "011110"},
      {IDC_FORMAT_TIFF, "111111"},
      {IDC_FORMAT_GIF, "010111"}}},
    {"unticking BMP under select-all leaves the rest",
     {{IDC_SELECT_ALL, "111111"}, {IDC_FORMAT_BMP, "001111"}, {IDC_FORMAT_BMP, "111111"}}},
    {"unticking the only format leaves none",
     {{IDC_FORMAT_PNG, "000000"}, {IDC_FORMAT_PNG, "000010"}}},
};

TEST(OptionControls, FormatBoxesAndSelectAllKeepEachOtherConsistent) {
    ScopedHome home(true);
    for (const ClickSequence& seq : kSequences) {
        SCOPED_TRACE(seq.title);
        DialogSession s;
        EXPECT_EQ(Ticks(s), "000010");
        for (const Press& p : seq.presses) {
            s.Click(p.id);
            EXPECT_EQ(Ticks(s), p.ticksAfter) << "after clicking " << p.id;
        }
    }
}

struct PolicyCase {
    int radio;
    bool prefixEnabled, suffixEnabled;
};

TEST(OptionControls, PolicyRadiosEnableOnlyTheirOwnAffixEdit) {
    ScopedHome home(true);
    DialogSession s;
    const PolicyCase cases[] = {
        {IDC_POLICY_OVERWRITE, false, false}, {IDC_POLICY_SUFFIX, false, true},
        {IDC_POLICY_SUFFIX, false, true},     {IDC_POLICY_PREFIX, true, false},
        {IDC_POLICY_PREFIX, true, false},     {IDC_POLICY_OVERWRITE, false, false},
    };
    for (const PolicyCase& c : cases) {
        s.Click(c.radio);
        SCOPED_TRACE(c.radio);
        for (int id : {IDC_POLICY_PREFIX, IDC_POLICY_SUFFIX, IDC_POLICY_OVERWRITE})
            EXPECT_EQ(s.Check(id), id == c.radio ? BST_CHECKED : BST_UNCHECKED);
        EXPECT_EQ(s.Enabled(IDC_PREFIX), c.prefixEnabled);
        EXPECT_EQ(s.Enabled(IDC_SUFFIX), c.suffixEnabled);
        // A disabled edit keeps its text, and the examples stay as they were.
        EXPECT_EQ(s.Text(IDC_PREFIX), u"_ORV_");
        EXPECT_EQ(s.Text(IDC_SUFFIX), u"_ORV");
        EXPECT_EQ(s.Text(IDC_PREFIX_EXAMPLE),
                  u"( 比如, \"某文件.PNG\" 会被存成 \"_ORV_某文件.PNG\" )");
        EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE),
                  u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )");
    }
}

struct TypingCase {
    int edit;
    const char16_t* typed;
    const char16_t* prefixLine;  // 1058 afterwards
    const char16_t* suffixLine;  // 1057 afterwards
};

const TypingCase kTyping[] = {
    {IDC_PREFIX, u"", u"( 比如, \"某文件.PNG\" 会被存成 \"某文件.PNG\" )",
     u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )"},
    {IDC_PREFIX, u"new_", u"( 比如, \"某文件.PNG\" 会被存成 \"new_某文件.PNG\" )",
     u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )"},
    {IDC_PREFIX, u"\u3000 a b ", u"( 比如, \"某文件.PNG\" 会被存成 \"a b某文件.PNG\" )",
     u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )"},
    {IDC_PREFIX, u"<>|?", u"( 比如, \"某文件.PNG\" 会被存成 \"<>|?某文件.PNG\" )",
     u"( 比如, \"某文件.PNG\" 会被存成 \"某文件_ORV.PNG\" )"},
};

TEST(OptionControls, ExampleLinesFollowTheTrimmedAffix) {
    ScopedHome home(true);
    for (const TypingCase& c : kTyping) {
        DialogSession s;
        s.Type(c.edit, c.typed);
        EXPECT_EQ(s.Text(IDC_PREFIX_EXAMPLE), c.prefixLine);
        EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), c.suffixLine);
        EXPECT_EQ(s.Text(c.edit), c.typed);  // the edit keeps what was typed
    }
    DialogSession s;
    s.Click(IDC_POLICY_SUFFIX);
    s.Type(IDC_SUFFIX, u"  ab ");
    EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), u"( 比如, \"某文件.PNG\" 会被存成 \"某文件ab.PNG\" )");
    EXPECT_EQ(s.Text(IDC_PREFIX_EXAMPLE), u"( 比如, \"某文件.PNG\" 会被存成 \"_ORV_某文件.PNG\" )");
    s.Type(IDC_SUFFIX, u"");
    EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), u"( 比如, \"某文件.PNG\" 会被存成 \"某文件.PNG\" )");
}

TEST(OptionControls, NothingCanBeChangedDuringARunAndTheRuleHoldsAfterIt) {
    ScopedHome home(true);
    TempDir src, dst;
    for (int i = 0; i < 3; ++i) src.Write(NumberedName("i", i, ".bmp"), MakeBmp(3, 3));
    DialogSession s;
    RunSettings r;
    r.source = src.WinPath();
    r.destination = dst.WinPath();
    r.policy = ClashPolicy::Suffix;
    r.suffix = u"-s";
    s.Apply(r);
    s.Click(IDC_START);
    s.Click(IDC_START);  // paused, so the run waits for us
    ExpectRunningControls(s);
    const std::string ticks = Ticks(s);
    for (int id : {IDC_SELECT_ALL, IDC_FORMAT_BMP, IDC_FORMAT_PNG, IDC_POLICY_OVERWRITE,
                   IDC_POLICY_PREFIX, IDC_INCLUDE_SUBFOLDERS})
        s.Click(id);
    s.Type(IDC_SUFFIX, u"changed");
    EXPECT_EQ(Ticks(s), ticks);
    EXPECT_EQ(s.Check(IDC_POLICY_SUFFIX), BST_CHECKED);
    EXPECT_EQ(s.Check(IDC_INCLUDE_SUBFOLDERS), BST_CHECKED);
    EXPECT_EQ(s.Text(IDC_SUFFIX), u"-s");
    EXPECT_TRUE(s.Enabled(IDC_OPEN_SOURCE));
    s.Click(IDC_START);
    ASSERT_TRUE(s.WaitForRunEnd());
    ExpectIdleControls(s);
    EXPECT_FALSE(s.Enabled(IDC_PREFIX));
    EXPECT_TRUE(s.Enabled(IDC_SUFFIX));
    EXPECT_EQ(Ticks(s), ticks);
    EXPECT_EQ(FileNamesIn(dst.Path()), (std::vector<std::string>{"i0.PNG", "i1.PNG", "i2.PNG"}));
}

}  // namespace
