// Work made side by side and taken in order: the order, the bound on what is
// made ahead, and the stop when a take fails, at one thread and at several;
// a team whose members all run at once; a helper joined only once it is done;
// every writer's file the same at any number of threads, alone or with a
// scope's threads; and a decoded
// picture's buffer, whose pages the threads take, zeroed whole all the same.
#include "platform/gdiplus/runtime/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gdiplus/runtime/codec.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_images.h"

namespace {

// Alone, and in a scope whose threads serve step after step (with a step
// inside a step, as a task that splits its own work would run).
TEST(ParallelInOrder, TakesInOrderWithinTheBoundAndStopsAtAFailedTake) {
    for (const auto& [threads, scoped] : {std::pair{std::optional<std::string>("1"), false},
                                          std::pair{std::optional<std::string>(), false},
                                          std::pair{std::optional<std::string>("4"), true}}) {
        SCOPED_TRACE(threads.value_or("default threads") + (scoped ? " in a scope" : ""));
        testsupport::ScopedEnv env("OMP_NUM_THREADS", threads);
        std::optional<gdip::WorkerScope> scope;
        if (scoped) scope.emplace();
        if (scoped) gdip::SetWorkersForTesting(4);
        std::atomic<std::size_t> inner{0};
        gdip::ParallelFor(
            7, [&](std::size_t) { gdip::ParallelFor(3, [&](std::size_t) { ++inner; }); });
        EXPECT_EQ(inner, 21u);
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
        gdip::SetWorkersForTesting(0);
    }
}

// A team's members all run at once (the PNG reader's columns wait for each
// other): each meets all the others before it returns, every place is taken
// once, and the team is as large as asked, at most the threads allowed.
TEST(ParallelTeam, EveryMemberRunsAtOnceAndTakesItsOwnPlace) {
    for (const auto& [threads, most, scoped] :
         {std::tuple{1u, 3u, false}, std::tuple{4u, 3u, false}, std::tuple{4u, 8u, true}}) {
        SCOPED_TRACE(testing::Message() << threads << " threads, " << most << " asked"
                                        << (scoped ? ", in a scope" : ""));
        std::optional<gdip::WorkerScope> scope;
        if (scoped) scope.emplace();
        gdip::SetWorkersForTesting(threads);
        std::atomic<unsigned> arrived{0}, places{0}, teams{0};
        std::atomic<bool> met{true};
        gdip::ParallelTeam(most, [&](unsigned member, unsigned team) {
            places |= 1u << member;
            teams |= 1u << team;
            ++arrived;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (arrived < team) {
                if (std::chrono::steady_clock::now() > deadline) met = false, arrived = team;
                std::this_thread::yield();
            }
        });
        const unsigned team = std::min(threads, most);
        EXPECT_TRUE(met);
        EXPECT_EQ(teams, 1u << team);
        EXPECT_EQ(places, (1u << team) - 1);
        EXPECT_EQ(arrived, team);
        gdip::SetWorkersForTesting(0);
    }
}

// A helper has returned from its body by the time Join, or the destructor,
// returns: on Windows it runs on the thread pool, whose threads outlive it,
// so nothing but the wait says that it is done.
TEST(Helper, JoinReturnsOnlyOnceItsBodyHasReturned) {
    std::atomic<int> done{0};
    const auto slow = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ++done;
    };
    {
        std::vector<std::unique_ptr<gdip::Helper>> helpers;
        for (int i = 0; i < 3; ++i) helpers.push_back(std::make_unique<gdip::Helper>(slow));
        helpers[0]->Join();
        EXPECT_GE(done, 1);
        helpers[0]->Join();  // a second Join is no fault
    }
    EXPECT_EQ(done, 3);
}

// The writers cut their work into pieces of fixed geometry (PNG row
// segments, BMP row batches, JPEG bands, GIF bands, TIFF strips), so that a
// file never depends on the threads that wrote it: every format, opaque and
// with alpha, at sizes across the pieces' boundaries (and one smaller than a
// piece), at 1, 2 and 4 threads (more than this machine may have).
TEST(ParallelWriters, EveryFormatWritesTheSameBytesAtAnyNumberOfThreads) {
    struct Picture {
        std::uint32_t w, h;
        bool alpha;
    };
    std::size_t formats = 0;
    for (const gdip::CodecDescriptor* codec : gdip::Codecs()) {
        if (codec->makeEncoder == nullptr) continue;
        ++formats;
        for (const Picture& p : {Picture{700, 1100, false}, Picture{333, 1037, true},
                                 Picture{1200, 700, false}, Picture{5, 3, true}}) {
            SCOPED_TRACE(std::string(codec->name) + " " + std::to_string(p.w) + "x" +
                         std::to_string(p.h) + (p.alpha ? " alpha" : ""));
            gdip::Bitmap src = testsupport::Smooth(p.w, p.h);
            const gdip::Bitmap noise = testsupport::Pattern(p.w, p.h, p.alpha);
            for (std::size_t i = 0; i < src.rgba.size(); ++i)
                src.rgba[i] = static_cast<std::uint8_t>(
                    i % 4 == 3 ? noise.rgba[i] : (src.rgba[i] + noise.rgba[i] / 8) & 0xFF);
            src.hasAlpha = p.alpha;
            std::vector<testsupport::Bytes> files;
            // Then 2, 4 and 3 threads in one scope, as saves in one flat call.
            std::optional<gdip::WorkerScope> scope;
            for (const unsigned threads : {1u, 2u, 4u, 0u, 2u, 4u, 3u}) {
                if (threads == 0) {
                    scope.emplace();
                    continue;
                }
                gdip::SetWorkersForTesting(threads);
                GpStatus status = GenericError;
                files.push_back(testsupport::Encode(*codec->makeEncoder(), src, &status));
                EXPECT_EQ(status, Ok) << threads << " threads";
            }
            scope.reset();
            gdip::SetWorkersForTesting(0);
            ASSERT_FALSE(files[0].empty());
            for (std::size_t i = 1; i < files.size(); ++i)
                EXPECT_TRUE(files[i] == files[0]) << "run " << i;
        }
    }
    EXPECT_GE(formats, 5u);
}

// Decoders leave the rows a cut file never reaches as the buffer came: it must
// be zero, and hold the room asked for, whoever took its pages and whatever
// the bitmap held before.
TEST(AllocateBitmap, HandsOutZeroedPixelsWithTheirRoomAtAnyNumberOfThreads) {
    for (const unsigned threads : {1u, 2u, 4u}) {
        SCOPED_TRACE(threads);
        gdip::SetWorkersForTesting(threads);
        gdip::Bitmap image = testsupport::Pattern(300, 200, true);
        for (const auto& [w, h, room] :
             {std::tuple{1537u, 1001u, std::size_t{0}},
              std::tuple{2048u, 1024u, std::size_t{123457}}, std::tuple{3u, 2u, std::size_t{5}}}) {
            ASSERT_EQ(gdip::AllocateBitmap(image, w, h, room), Ok);
            ASSERT_EQ(image.rgba.size(), std::size_t{w} * h * 4);
            EXPECT_GE(image.rgba.capacity(), image.rgba.size() + room);
            EXPECT_TRUE(std::all_of(image.rgba.begin(), image.rgba.end(),
                                    [](std::uint8_t b) { return b == 0; }));
            std::fill(image.rgba.begin(), image.rgba.end(), std::uint8_t{0xA5});
        }
    }
    gdip::SetWorkersForTesting(0);
}

}  // namespace
