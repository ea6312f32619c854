// Tests of the status line's counts and the progress bar's position.
#include "engine/report.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/validate.h"

namespace {

RunCounters Counts(int total, int processed, int recognised, int expected, int saved) {
    RunCounters c;
    c.total = total;
    c.processed = processed;
    c.recognised = recognised;
    c.expected = expected;
    c.saved = saved;
    return c;
}

TEST(StatusText, InProgressFormShowsFourCountsWithExactSpacing) {
    EXPECT_EQ(FormatStatusText(Counts(10, 3, 2, 6, 4), StatusLineForm::InProgress),
              u"已处理文件数： 3；     文件总数： 10；     可识别图片文件数： 2；     "
              u"已保存文件数： 4；");
}

TEST(StatusText, FinalFormAddsTheExpectedCount) {
    EXPECT_EQ(FormatStatusText(Counts(10, 10, 2, 4, 3), StatusLineForm::Final),
              u"已处理文件数： 10；     文件总数： 10；     可识别图片文件数： 2；     "
              u"已保存文件数： 3；     应保存文件数： 4；");
}

TEST(StatusText, EmptyRunReadsAllZeros) {
    EXPECT_EQ(FormatStatusText(Counts(0, 0, 0, 0, 0), StatusLineForm::Final),
              u"已处理文件数： 0；     文件总数： 0；     可识别图片文件数： 0；     "
              u"已保存文件数： 0；     应保存文件数： 0；");
}

TEST(StatusText, LargeCountsHaveNoGrouping) {
    EXPECT_EQ(FormatStatusText(Counts(1234567, 1000000, 0, 0, 0), StatusLineForm::InProgress),
              u"已处理文件数： 1000000；     文件总数： 1234567；     可识别图片文件数： 0；     "
              u"已保存文件数： 0；");
}

TEST(ProgressPosition, TruncatesTowardZero) {
    const int expected[] = {0, 14, 28, 42, 57, 71, 85, 100};
    for (int p = 0; p <= 7; ++p)
        EXPECT_EQ(ProgressPosition(Counts(7, p, 0, 0, 0)), expected[p]) << "P=" << p;
    EXPECT_EQ(ProgressPosition(Counts(0, 0, 0, 0, 0)), 0);
    EXPECT_EQ(ProgressPosition(Counts(3, 1, 0, 0, 0)), 33);
    EXPECT_EQ(ProgressPosition(Counts(3, 2, 0, 0, 0)), 66);
    // P x 100 would overflow a 32-bit product.
    EXPECT_EQ(ProgressPosition(Counts(INT_MAX, INT_MAX - 1, 0, 0, 0)), 99);
    EXPECT_EQ(ProgressPosition(Counts(INT_MAX, INT_MAX, 0, 0, 0)), 100);
    EXPECT_EQ(ProgressPosition(Counts(100000, 29, 0, 0, 0)), 0);
}

TEST(ClassifyRun, FirstHoldingRuleDecides) {
    const std::u16string complete = kMessageComplete;
    const std::u16string partial = kMessagePartial;
    const std::u16string failed = kMessageFailed;
    const struct {
        const char* what;
        RunCounters counters;
        std::u16string message;
        COLORREF colour;
    } cases[] = {
        {"empty run", Counts(0, 0, 0, 0, 0), complete, 0xFF0080},
        {"only non-images", Counts(5, 5, 0, 0, 0), complete, 0xFF0080},
        {"every output written", Counts(3, 3, 2, 4, 4), complete, 0xFF0080},
        {"one save failed", Counts(2, 2, 2, 4, 3), partial, 0x4080FF},
        // Rule 2 needs only S > 0 and E != S, even with P = T.
        {"more saved than due", Counts(2, 2, 2, 2, 3), partial, 0x4080FF},
        // Rule 3: files left over although every due output was written.
        {"files left, nothing saved", Counts(4, 2, 0, 0, 0), partial, 0x4080FF},
        {"files left, all saved", Counts(4, 2, 1, 2, 2), partial, 0x4080FF},
        {"every save failed", Counts(2, 2, 2, 4, 0), failed, 0x0000FF},
        {"nothing processed of some", Counts(4, 0, 0, 0, 0), failed, 0x0000FF},
    };
    for (const auto& c : cases) {
        const RunOutcome outcome = ClassifyRun(c.counters);
        EXPECT_EQ(std::u16string(outcome.message), c.message) << c.what;
        EXPECT_EQ(outcome.colour, c.colour) << c.what;
    }
}

TEST(Messages, TextsAndColoursAreExact) {
    // 0x00BBGGRR: violet 128,0,255; orange 255,128,64; red 255,0,0.
    EXPECT_EQ(kColourComplete, 0x00FF0080u);
    EXPECT_EQ(kColourPartial, 0x004080FFu);
    EXPECT_EQ(kColourRed, 0x000000FFu);
    EXPECT_EQ(std::u16string(kMessageComplete), u"操作全部完成！");
    EXPECT_EQ(std::u16string(kMessagePartial), u"操作部分完成！");
    EXPECT_EQ(std::u16string(kMessageFailed), u"操作失败！");
    EXPECT_EQ(std::u16string(kMessageStopped), u"操作已停止");
    EXPECT_EQ(std::u16string(kCountingMessage), u"正在统计文件总数,请稍候... ");
    EXPECT_EQ(std::u16string(kMessageCreateFolderFailed),
              u"创建保存路径失败，请检查保存路径及确认磁盘状况，或者稍候重试。");
    EXPECT_EQ(std::u16string(kMessageBadSource), u"请填写或选择正确的  打开路径。");
    EXPECT_EQ(std::u16string(kMessageNoFormat), u"请选择  保存格式。");
    EXPECT_EQ(std::u16string(kMessageBadDestination), u"请填写或选择正确的  保存路径。");
    EXPECT_EQ(std::u16string(kMessageNoPrefix), u"请填写 文件重名时 添加的前缀名。");
    EXPECT_EQ(std::u16string(kMessageNoSuffix), u"请填写 文件重名时 添加的后缀名。");
    EXPECT_EQ(std::u16string(kMessageNoPolicy), u"请选择 文件重名时 的操作策略。");
}

}  // namespace
