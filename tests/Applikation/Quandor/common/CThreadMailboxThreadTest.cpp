// Calls handed from other threads to the UI thread: all of them arrive, in
// each thread's order, on the UI thread, also when one of them fails.

#include "CThreadMailbox.h"
#include "TestWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

bool RunUntil(const std::function<bool()>& condition, int timeoutMs)
{
    return TestWait::Until(condition, timeoutMs);
}

TEST(CThreadMailbox, CallsFromManyThreadsRunOnTheOwnersThreadInTheirOrder)
{
    CThreadMailbox mailbox;
    const int threads = 6;
    const int perThread = 500;
    // Touched only on the UI thread, by the delivered calls.
    std::vector<std::vector<int>> received(threads);
    int wrongThread = 0;
    QThread* const ui = QThread::currentThread();

    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                mailbox.Post([&, t, i] {
                    if (QThread::currentThread() != ui)
                        ++wrongThread;
                    received[t].push_back(i);
                });
            }
        });
    }
    const bool all = RunUntil(
        [&] {
            size_t count = 0;
            for (const auto& r : received)
                count += r.size();
            return count == size_t(threads * perThread);
        },
        20000);
    for (std::thread& poster : posters)
        poster.join();
    ASSERT_TRUE(all);
    EXPECT_EQ(wrongThread, 0);
    for (const auto& r : received) {
        ASSERT_EQ(int(r.size()), perThread);
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(r[size_t(i)], i);
    }
}

TEST(CThreadMailbox, AFailingCallDoesNotHoldBackTheOnesBehindIt)
{
    CThreadMailbox mailbox;
    int ran = 0;
    std::thread poster([&] {
        mailbox.Post([] { throw std::runtime_error("refused"); });
        mailbox.Post([&] { ++ran; });
        mailbox.Post([&] { ++ran; });
    });
    poster.join();
    EXPECT_THROW(mailbox.Deliver(), std::runtime_error);
    // Nothing is posted any more; the event loop alone runs the rest.
    EXPECT_TRUE(RunUntil([&] { return ran == 2; }, 2000));
}

TEST(CThreadMailbox, CallsLeftWhenTheMailboxGoesAreDropped)
{
    int ran = 0;
    {
        CThreadMailbox mailbox;
        std::thread poster([&] { mailbox.Post([&] { ++ran; }); });
        poster.join();
    }
    // A job that must never run has no event to wait for: the loop runs a while.
    QTest::qWait(50);
    EXPECT_EQ(ran, 0);
}

} // namespace
