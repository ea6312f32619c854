// Work made side by side and taken in order: the order, the bound on what is
// made ahead, and the stop when a take fails, at one thread and at several.
#include "platform/gdiplus/runtime/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

#include "tests/support/scoped_env.h"

namespace {

TEST(ParallelInOrder, TakesInOrderWithinTheBoundAndStopsAtAFailedTake) {
    for (const std::optional<std::string>& threads :
         {std::optional<std::string>("1"), std::optional<std::string>()}) {
        SCOPED_TRACE(threads.value_or("default threads"));
        testsupport::ScopedEnv env("OMP_NUM_THREADS", threads);
        std::mutex lock;
        std::vector<std::size_t> made, taken;
        std::size_t mostAhead = 0;
        const bool finished = gdip::ParallelInOrder(
            200, 3,
            [&](std::size_t i, unsigned worker) {
                EXPECT_LT(worker, gdip::kMostWorkers);
                const std::lock_guard<std::mutex> hold(lock);
                made.push_back(i);
                mostAhead = std::max(mostAhead, i + 1 - taken.size());
            },
            [&](std::size_t i) {
                const std::lock_guard<std::mutex> hold(lock);
                EXPECT_NE(std::find(made.begin(), made.end(), i), made.end()) << i;
                taken.push_back(i);
                return i != 150;
            });
        EXPECT_FALSE(finished);
        ASSERT_EQ(taken.size(), 151u);
        for (std::size_t i = 0; i < taken.size(); ++i) EXPECT_EQ(taken[i], i);
        EXPECT_LE(mostAhead, 3u);
        EXPECT_LE(made.size(), 151u + 3u);
        EXPECT_TRUE(gdip::ParallelInOrder(
            5, 1, [](std::size_t, unsigned) {}, [](std::size_t) { return true; }));
    }
}

}  // namespace
