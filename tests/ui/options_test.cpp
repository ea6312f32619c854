// The format boxes with select-all, the policy radios with their affix
// edits, and the example lines, as a user clicks and types.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/framework/testing.h"
#include "tests/support/dialog_session.h"
#include "tests/support/image_files.h"
#include "tests/support/with_imaging_runtime.h"

namespace {

using namespace testsupport;

// The ticks of select-all and the format boxes (in row order) as 0s and 1s.
std::string Ticks(const DialogSession& s) {
    std::string t(1, s.Check(IDC_SELECT_ALL) == BST_CHECKED ? '1' : '0');
    for (int id : FormatBoxes()) t += s.Check(id) == BST_CHECKED ? '1' : '0';
    return t;
}

// The ticks a consistent row shows with these boxes ticked: select-all is
// ticked exactly when every format is.
std::string Row(const std::set<int>& ticked) {
    std::string t(1, ticked.size() == FormatBoxes().size() ? '1' : '0');
    for (int id : FormatBoxes()) t += ticked.count(id) != 0 ? '1' : '0';
    return t;
}

TEST(OptionControls, FormatBoxesAndSelectAllKeepEachOtherConsistent) {
    ScopedHome home(true);
    const std::set<int> all(FormatBoxes().begin(), FormatBoxes().end());
    {
        SCOPED_TRACE("select-all ticks all, and unticks all, also the ones ticked before");
        DialogSession s;
        EXPECT_EQ(Ticks(s), Row({IDC_FORMAT_PNG}));
        for (const std::set<int>& after : {all, std::set<int>{}, all}) {
            s.Click(IDC_SELECT_ALL);
            EXPECT_EQ(Ticks(s), Row(after));
        }
    }
    {
        SCOPED_TRACE("the last format ticked by hand ticks select-all, unticking one unticks it");
        DialogSession s;
        std::set<int> ticked{IDC_FORMAT_PNG};
        for (int box : FormatBoxes()) {
            if (!ticked.insert(box).second) continue;
            s.Click(box);
            EXPECT_EQ(Ticks(s), Row(ticked)) << "after ticking " << box;
        }
        ticked.erase(FormatBoxes()[1]);
        s.Click(FormatBoxes()[1]);
        EXPECT_EQ(Ticks(s), Row(ticked));
    }
    {
        SCOPED_TRACE("unticking one format under select-all leaves the rest");
        DialogSession s;
        s.Click(IDC_SELECT_ALL);
        for (int box : FormatBoxes()) {
            std::set<int> rest = all;
            rest.erase(box);
            s.Click(box);
            EXPECT_EQ(Ticks(s), Row(rest)) << "after unticking " << box;
            s.Click(box);
            EXPECT_EQ(Ticks(s), Row(all)) << "after ticking " << box << " again";
        }
    }
    {
        SCOPED_TRACE("unticking the only format leaves none");
        DialogSession s;
        s.Click(IDC_FORMAT_PNG);
        EXPECT_EQ(Ticks(s), Row({}));
        s.Click(IDC_FORMAT_PNG);
        EXPECT_EQ(Ticks(s), Row({IDC_FORMAT_PNG}));
    }
}

// The example line that shows "某文件.PNG" saved as saved + ".PNG".
std::u16string Example(const std::u16string& saved) {
    return u"( 比如, \"某文件.PNG\" 会被存成 \"" + saved + u".PNG\" )";
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
        EXPECT_EQ(s.Text(IDC_PREFIX_EXAMPLE), Example(u"_ORV_某文件"));
        EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), Example(u"某文件_ORV"));
    }
}

struct TypingCase {
    int edit;
    const char16_t* typed;
    const char16_t* prefixSaved;  // in 1058 afterwards
    const char16_t* suffixSaved;  // in 1057 afterwards
};

const TypingCase kTyping[] = {
    {IDC_PREFIX, u"", u"某文件", u"某文件_ORV"},
    {IDC_PREFIX, u"new_", u"new_某文件", u"某文件_ORV"},
    {IDC_PREFIX, u"\u3000 a b ", u"a b某文件", u"某文件_ORV"},
    {IDC_PREFIX, u"<>|?", u"<>|?某文件", u"某文件_ORV"},
};

TEST(OptionControls, ExampleLinesFollowTheTrimmedAffix) {
    ScopedHome home(true);
    for (const TypingCase& c : kTyping) {
        DialogSession s;
        s.Type(c.edit, c.typed);
        EXPECT_EQ(s.Text(IDC_PREFIX_EXAMPLE), Example(c.prefixSaved));
        EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), Example(c.suffixSaved));
        EXPECT_EQ(s.Text(c.edit), c.typed);  // the edit keeps what was typed
    }
    DialogSession s;
    s.Click(IDC_POLICY_SUFFIX);
    s.Type(IDC_SUFFIX, u"  ab ");
    EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), Example(u"某文件ab"));
    EXPECT_EQ(s.Text(IDC_PREFIX_EXAMPLE), Example(u"_ORV_某文件"));
    s.Type(IDC_SUFFIX, u"");
    EXPECT_EQ(s.Text(IDC_SUFFIX_EXAMPLE), Example(u"某文件"));
}

TEST(OptionControls, NothingCanBeChangedDuringARunAndTheRuleHoldsAfterIt) {
    ScopedHome home(true);
    TempDir src, dst;
    for (int i = 0; i < 3; ++i) src.Write(NumberedName("i", i, ".bmp"), MakeBmp(3, 3));
    DialogSession s;
    RunSettings r{src.WinPath(), dst.WinPath()};
    r.policy = ClashPolicy::Suffix;
    r.suffix = u"-s";
    s.Apply(r);
    s.Click(IDC_START);
    s.Click(IDC_START);  // paused, so the run waits for us
    ExpectRunningControls(s);
    const std::string ticks = Ticks(s);
    for (int id : {IDC_SELECT_ALL, IDC_POLICY_OVERWRITE, IDC_POLICY_PREFIX, IDC_INCLUDE_SUBFOLDERS})
        s.Click(id);
    for (int id : FormatBoxes()) s.Click(id);
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
