#include "CThreadTransactions.h"

#include <gtest/gtest.h>

TEST(CThreadTransactions, EachTransactionHasANewNumberAndEachThreadItsOwn)
{
    CThreadTransactions transactions;
    EXPECT_EQ(transactions.Serial(1), 0u);
    EXPECT_EQ(transactions.ElapsedMs(1), 0);
    const quint64 first = transactions.Begin(1);
    const quint64 other = transactions.Begin(2);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, other);
    EXPECT_EQ(transactions.Serial(1), first);
    EXPECT_EQ(transactions.Serial(2), other);
    transactions.End(1);
    EXPECT_EQ(transactions.Serial(1), 0u);
    EXPECT_EQ(transactions.Serial(2), other) << "another thread's transaction goes on";
    const quint64 again = transactions.Begin(1);
    EXPECT_NE(again, first);
    EXPECT_NE(again, other);
}

// What a transaction carries (a loss, a spoiling reason) belongs to it
// alone: nothing outside one, nothing on another thread, nothing after it
// ended however it ended.
TEST(CThreadTransactions, ALossOrASpoilingEndsWithItsTransaction)
{
    CThreadTransactions transactions;
    transactions.MarkLost(1);
    transactions.Spoil(1, QStringLiteral("outside"));
    EXPECT_FALSE(transactions.IsLost(1));
    EXPECT_TRUE(transactions.Spoiled(1).isEmpty());

    transactions.Begin(1);
    transactions.Begin(2);
    transactions.MarkLost(1);
    transactions.Spoil(1, QStringLiteral("first"));
    transactions.Spoil(1, QStringLiteral("second"));
    EXPECT_TRUE(transactions.IsLost(1));
    EXPECT_EQ(transactions.Spoiled(1), QStringLiteral("first")) << "the first reason is the real one";
    EXPECT_FALSE(transactions.IsLost(2));
    EXPECT_TRUE(transactions.Spoiled(2).isEmpty());

    transactions.ClearSpoiled(1);
    EXPECT_TRUE(transactions.Spoiled(1).isEmpty());
    EXPECT_TRUE(transactions.IsLost(1)) << "a rollback's clearing leaves the loss to the end";

    const CThreadTransactions::Ended ended = transactions.End(1);
    EXPECT_TRUE(ended.lost);
    EXPECT_FALSE(transactions.IsLost(1));
    EXPECT_FALSE(transactions.End(1).lost) << "ending twice finds nothing";
    transactions.Begin(1);
    EXPECT_FALSE(transactions.IsLost(1));
    EXPECT_TRUE(transactions.Spoiled(1).isEmpty());
}

// A transaction begun outside any step is a step of its own: the step
// lasts until the caller lets go of it after the end.
TEST(CThreadTransactions, ItsOwnStepIsHandedBackAtTheEnd)
{
    CThreadTransactions transactions;
    ASSERT_FALSE(CLockWait::InStep());
    transactions.Begin(1, std::make_unique<CLockWait::Step>());
    EXPECT_TRUE(CLockWait::InStep());
    CThreadTransactions::Ended ended = transactions.End(1);
    EXPECT_TRUE(CLockWait::InStep());
    ASSERT_NE(ended.step, nullptr);
    ended.step.reset();
    EXPECT_FALSE(CLockWait::InStep());

    transactions.Begin(1);
    EXPECT_EQ(transactions.End(1).step, nullptr);
}
