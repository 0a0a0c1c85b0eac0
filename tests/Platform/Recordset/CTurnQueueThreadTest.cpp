#include "CTurnQueue.h"

#include "TestWait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

// Threads are told apart by the number the caller gives, so most of the
// queue's rules show on one thread; only a real wait needs a second one.
namespace {

constexpr int kShortMs = 20;
constexpr int kLongMs = 30000;

} // namespace

// Steps at the queue: a take (whether the turn came within a short wait)
// or a give, by the thread of that number.
TEST(CTurnQueue, TurnsNestAndPlacesGivenUpArePassedOver)
{
    struct Step
    {
        bool take;
        quint64 thread;
        bool got = true;
    };
    struct Case
    {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"taken twice, free only after two gives",
         {{true, 1}, {true, 1}, {false, 1}, {true, 2, false}, {false, 1}, {true, 2}}},
        {"only the holder gives it back", {{true, 1}, {false, 2}, {false, 3}, {true, 2, false}, {false, 1}, {true, 2}}},
        // A waiter that gave up keeps its place in the queue: passed over
        // when it comes, or every later thread would wait for nobody.
        {"places given up are passed over",
         {{true, 1}, {true, 2, false}, {true, 3, false}, {false, 1}, {true, 4}, {false, 4}, {true, 2}}},
    };
    for (const Case& c : cases) {
        CTurnQueue turns;
        int i = 0;
        for (const Step& step : c.steps) {
            if (step.take)
                EXPECT_EQ(turns.Take(step.thread, kShortMs), step.got) << c.what << ", step " << i;
            else
                turns.Give(step.thread);
            ++i;
        }
    }
}

TEST(CTurnQueue, AWaitingThreadGetsTheTurnWhenItIsGiven)
{
    CTurnQueue turns;
    ASSERT_TRUE(turns.Take(1, kShortMs));
    std::atomic<int> got{-1};
    std::thread waiter([&] {
        got = turns.Take(2, kLongMs) ? 1 : 0;
        if (got == 1)
            turns.Give(2);
    });
    turns.Give(1);
    EXPECT_TRUE(TestWait::UntilOnThisThread([&] { return got.load() != -1; }));
    waiter.join();
    EXPECT_EQ(got.load(), 1);
    EXPECT_TRUE(turns.Take(1, kShortMs));
}

// Two threads taking turns as fast as they can: neither is ever inside
// together with the other, and neither starves.
TEST(CTurnQueue, TwoBusyThreadsNeverHoldItTogether)
{
    CTurnQueue turns;
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    constexpr int kRounds = 2000;
    auto work = [&](quint64 thread) {
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_TRUE(turns.Take(thread, kLongMs));
            if (inside.fetch_add(1) != 0)
                overlap = true;
            inside.fetch_sub(1);
            turns.Give(thread);
        }
    };
    std::thread a(work, 1);
    std::thread b(work, 2);
    a.join();
    b.join();
    EXPECT_FALSE(overlap.load());
}
