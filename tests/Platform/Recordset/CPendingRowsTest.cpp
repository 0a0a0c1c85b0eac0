#include "CPendingRows.h"

#include "CDBException.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

class Holder : public CPendingRows::Holder
{
public:
    void SendPendingRows() override
    {
        ++sent;
        if (onSend)
            onSend();
    }
    void DropPendingRows() override { ++dropped; }

    int sent = 0;
    int dropped = 0;
    std::function<void()> onSend;
};

// Data sources are only told apart by address.
int kSource = 0;
int kOtherSource = 0;

// Every test leaves its thread with nothing held.
class CPendingRowsTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (Holder* holder : {&a, &b, &c})
            CPendingRows::Forget(holder);
        EXPECT_FALSE(CPendingRows::Due());
    }

    Holder a, b, c;
};

} // namespace

TEST_F(CPendingRowsTest, EachSourceSendsAndDropsItsOwnHoldersOnly)
{
    EXPECT_FALSE(CPendingRows::Due());
    CPendingRows::Note(&kSource, &a);
    CPendingRows::Note(&kSource, &a);
    CPendingRows::Note(&kSource, &b);
    CPendingRows::Note(&kOtherSource, &c);
    EXPECT_TRUE(CPendingRows::Due());

    CPendingRows::Send(&kSource);
    EXPECT_EQ(a.sent, 1) << "noted twice, sent once";
    EXPECT_EQ(b.sent, 1);
    EXPECT_EQ(c.sent, 0);

    CPendingRows::Drop(&kOtherSource);
    EXPECT_EQ(c.dropped, 1);
    EXPECT_EQ(a.dropped + b.dropped, 0);

    CPendingRows::Forget(&a);
    CPendingRows::Send(&kSource);
    EXPECT_EQ(a.sent, 1);
    EXPECT_EQ(b.sent, 2);
}

// A holder that cannot store its rows has spoiled the transaction, which
// its commit reports; the others still send theirs, and nothing is thrown
// at the unrelated use of the connection that made them send.
TEST_F(CPendingRowsTest, AHolderThatFailsLeavesTheOthersSending)
{
    a.onSend = [] { throw CDBException(QStringLiteral("disk full")); };
    CPendingRows::Note(&kSource, &a);
    CPendingRows::Note(&kSource, &b);
    EXPECT_NO_THROW(CPendingRows::Send(&kSource));
    EXPECT_EQ(a.sent, 1);
    EXPECT_EQ(b.sent, 1);
}

// Nothing is due while a set adds its next row (Keep), nor while a send
// runs: the sending set uses the connection itself.
TEST_F(CPendingRowsTest, NothingIsDueWhileARowIsAddedOrRowsAreSent)
{
    CPendingRows::Note(&kSource, &a);
    {
        CPendingRows::Keep keep;
        {
            CPendingRows::Keep nested;
            EXPECT_FALSE(CPendingRows::Due());
        }
        EXPECT_FALSE(CPendingRows::Due());
    }
    EXPECT_TRUE(CPendingRows::Due());

    bool dueWhileSending = true;
    a.onSend = [&] { dueWhileSending = CPendingRows::Due(); };
    CPendingRows::Send(&kSource);
    EXPECT_FALSE(dueWhileSending);
    EXPECT_TRUE(CPendingRows::Due()) << "the holder keeps its place until it is forgotten";
}

TEST_F(CPendingRowsTest, RowsHeldOnAnotherThreadAreNotDueHere)
{
    bool dueThere = false;
    std::thread other([&] {
        Holder there;
        CPendingRows::Note(&kSource, &there);
        dueThere = CPendingRows::Due();
        CPendingRows::Forget(&there);
    });
    other.join();
    EXPECT_TRUE(dueThere);
    EXPECT_FALSE(CPendingRows::Due());
}
