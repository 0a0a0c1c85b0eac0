#include "CLockWait.h"
#include "CLockWaitObserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace {

class Observer : public CLockWaitObserver
{
public:
    void WaitBegins() override { ++begins; }
    void WaitEnds() override { ++ends; }
    int begins = 0;
    int ends = 0;
};

// Waits as the file's driver does until the bound says stop; the turns it got.
int waitUntilRefused(int boundMs, const std::shared_ptr<CLockWaitObserver>& observer = nullptr)
{
    int attempt = 0;
    while (CLockWait::WaitTurn(attempt, boundMs, observer))
        ++attempt;
    return attempt;
}

constexpr int kBound = 40;

} // namespace

TEST(CLockWait, TheWaitsOfOneStepShareOneBound)
{
    CLockWait::Step step;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_GT(waitUntilRefused(kBound), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kBound));
    EXPECT_EQ(CLockWait::RemainingMs(kBound), 0);
    // Every later wait of the step, a new statement's first turn included,
    // gives up at once.
    EXPECT_FALSE(CLockWait::WaitTurn(0, kBound, nullptr));
    EXPECT_FALSE(CLockWait::WaitTurn(0, kBound, nullptr));
}

TEST(CLockWait, OutsideAStepEachWaitHasTheWholeBound)
{
    ASSERT_FALSE(CLockWait::InStep());
    EXPECT_GT(waitUntilRefused(kBound), 0);
    EXPECT_EQ(CLockWait::RemainingMs(kBound), kBound);
    EXPECT_TRUE(CLockWait::WaitTurn(0, kBound, nullptr)) << "a new wait starts afresh";
}

TEST(CLockWait, AStepInsideAStepHasItsOwnBoundAndTheOuterOneGoesOn)
{
    CLockWait::Step outer;
    CLockWait::Charge(kBound / 2);
    ASSERT_EQ(CLockWait::RemainingMs(kBound), kBound / 2);
    {
        CLockWait::Step inner; // a modal window's step
        EXPECT_EQ(CLockWait::RemainingMs(kBound), kBound);
        waitUntilRefused(kBound);
        EXPECT_EQ(CLockWait::RemainingMs(kBound), 0);
    }
    EXPECT_EQ(CLockWait::RemainingMs(kBound), kBound / 2);
    CLockWait::Charge(kBound);
    EXPECT_EQ(CLockWait::RemainingMs(kBound), 0);
}

TEST(CLockWait, TheObserverHearsOnceWhenAStepWaitsAndOnceWhenItEnds)
{
    const auto observer = std::make_shared<Observer>();
    {
        CLockWait::Step step;
        EXPECT_TRUE(CLockWait::WaitTurn(0, kBound, observer));
        EXPECT_TRUE(CLockWait::WaitTurn(1, kBound, observer));
        CLockWait::MayWait(observer);
        EXPECT_EQ(observer->begins, 1);
        EXPECT_EQ(observer->ends, 0);
    }
    EXPECT_EQ(observer->ends, 1);
    // A step that never waited, and a wait outside any step, say nothing.
    { CLockWait::Step quiet; }
    EXPECT_TRUE(CLockWait::WaitTurn(0, kBound, observer));
    CLockWait::MayWait(observer);
    EXPECT_EQ(observer->begins, 1);
    EXPECT_EQ(observer->ends, 1);
}
