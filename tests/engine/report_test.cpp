// Tests of the status line's counts and the progress bar's position.
#include "engine/report.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/validate.h"

namespace {

// Counters below are {total, processed, recognised, expected, saved}.

// Exact spacing, the expected count only in the final form, no grouping.
TEST(StatusText, CountsWithTheirLabels) {
    const struct {
        RunCounters counters;
        StatusLineForm form;
        std::u16string line;
    } cases[] = {
        {RunCounters{10, 3, 2, 6, 4}, StatusLineForm::InProgress,
         u"已处理文件数： 3；     文件总数： 10；     可识别图片文件数： 2；     "
         u"已保存文件数： 4；"},
        {RunCounters{10, 10, 2, 4, 3}, StatusLineForm::Final,
         u"已处理文件数： 10；     文件总数： 10；     可识别图片文件数： 2；     "
         u"已保存文件数： 3；     应保存文件数： 4；"},
        {RunCounters{0, 0, 0, 0, 0}, StatusLineForm::Final,
         u"已处理文件数： 0；     文件总数： 0；     可识别图片文件数： 0；     "
         u"已保存文件数： 0；     应保存文件数： 0；"},
        {RunCounters{1234567, 1000000, 0, 0, 0}, StatusLineForm::InProgress,
         u"已处理文件数： 1000000；     文件总数： 1234567；     可识别图片文件数： 0；     "
         u"已保存文件数： 0；"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatStatusText(c.counters, c.form), c.line);
}

TEST(ProgressPosition, TruncatesTowardZero) {
    const int expected[] = {0, 14, 28, 42, 57, 71, 85, 100};
    for (int p = 0; p <= 7; ++p)
        EXPECT_EQ(ProgressPosition(RunCounters{7, p, 0, 0, 0}), expected[p]) << "P=" << p;
    EXPECT_EQ(ProgressPosition(RunCounters{0, 0, 0, 0, 0}), 0);
    EXPECT_EQ(ProgressPosition(RunCounters{3, 1, 0, 0, 0}), 33);
    EXPECT_EQ(ProgressPosition(RunCounters{3, 2, 0, 0, 0}), 66);
    // P x 100 would overflow a 32-bit product.
    EXPECT_EQ(ProgressPosition(RunCounters{INT_MAX, INT_MAX - 1, 0, 0, 0}), 99);
    EXPECT_EQ(ProgressPosition(RunCounters{INT_MAX, INT_MAX, 0, 0, 0}), 100);
    EXPECT_EQ(ProgressPosition(RunCounters{100000, 29, 0, 0, 0}), 0);
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
        {"empty run", RunCounters{0, 0, 0, 0, 0}, complete, 0xFF0080},
        {"only non-images", RunCounters{5, 5, 0, 0, 0}, complete, 0xFF0080},
        {"every output written", RunCounters{3, 3, 2, 4, 4}, complete, 0xFF0080},
        {"one save failed", RunCounters{2, 2, 2, 4, 3}, partial, 0x4080FF},
        // Rule 2 needs only S > 0 and E != S, even with P = T.
        {"more saved than due", RunCounters{2, 2, 2, 2, 3}, partial, 0x4080FF},
        // Rule 3: files left over although every due output was written.
        {"files left, nothing saved", RunCounters{4, 2, 0, 0, 0}, partial, 0x4080FF},
        {"files left, all saved", RunCounters{4, 2, 1, 2, 2}, partial, 0x4080FF},
        {"every save failed", RunCounters{2, 2, 2, 4, 0}, failed, 0x0000FF},
        {"nothing processed of some", RunCounters{4, 0, 0, 0, 0}, failed, 0x0000FF},
    };
    for (const auto& c : cases) {
        const RunOutcome outcome = ClassifyRun(c.counters);
        EXPECT_EQ(std::u16string(outcome.message), c.message) << c.what;
        EXPECT_EQ(outcome.colour, c.colour) << c.what;
    }
}

}  // namespace
