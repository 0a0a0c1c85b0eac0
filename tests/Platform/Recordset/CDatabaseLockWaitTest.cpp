// Another program holds a lock on the database (a second instance in the
// middle of a long write, another PC on the server): one step of this
// program waits for it a bounded time in all, however many statements it
// runs, then fails with the lock's text and stores nothing; a lock let go
// during the wait lets the step finish.
#include "FerroldTestDb.h"

#include "CDBException.h"
#include "CLockWait.h"
#include "CLockWaitObserver.h"
#include "CTransaction.h"
#include "CtblLeser.h"
#include "LockHolder.h"

#include <QElapsedTimer>

#include <atomic>
#include <functional>

#ifdef LOCK_HOLDER
namespace {

class CountingObserver : public CLockWaitObserver
{
public:
    void WaitBegins() override
    {
        ++begins;
        if (onBegin)
            onBegin();
    }
    void WaitEnds() override { ++ends; }

    std::atomic<int> begins{0};
    std::atomic<int> ends{0};
    std::function<void()> onBegin;
};

// "write": other writers wait, readers go on; "all": readers wait too.
class CDatabaseLockWaitTest : public FerroldTest, public ::testing::WithParamInterface<const char*>
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        if (Odbc())
            GTEST_SKIP() << "the SQLite ODBC driver retries a locked statement itself, for its data source's timeout";
    }

    // Starts the other program with its lock; the handler exists already
    // (a lock that keeps readers out would keep it from starting).
    bool Hold(LockHolder& holder)
    {
        return holder.Start(QStringLiteral(LOCK_HOLDER), Postgres() ? QStringLiteral("odbc:Quandor") : m_file,
                            QString::fromLatin1(GetParam()));
    }

    // A reader added in a transaction of its own: empty, or why it failed.
    static QString AddReader(CDatabase* db, CtblLeser* readers, const QString& name)
    {
        try {
            CTransaction transaction(db);
            if (!transaction.IsActive())
                return transaction.GetError();
            if (!readers->OpenKey(0))
                return readers->GetLastError();
            readers->AddNew();
            readers->strBezeichnung = name;
            readers->Update();
            readers->Close();
            if (!transaction.Commit())
                return transaction.GetError();
            return {};
        } catch (const CDBException& e) {
            readers->Close();
            return e.m_strError.isEmpty() ? QStringLiteral("(no text)") : e.m_strError;
        }
    }
};

TEST_P(CDatabaseLockWaitTest, AStepOfManyStatementsWaitsOneBoundInAllAndStoresNothing)
{
    auto& h = Handler();
    CDatabase* db = h.GetDatabase();
    const int bound = 2000;
    db->SetLockWaitMs(bound);
    auto observer = std::make_shared<CountingObserver>();
    db->SetLockWaitObserver(observer);
    LockHolder holder;
    ASSERT_TRUE(Hold(holder));

    QStringList failures;
    QElapsedTimer clock;
    clock.start();
    {
        CLockWait::Step step;
        // Six writes and a re-read of every table: waited for one by one,
        // they would take six bounds and more.
        for (int i = 0; i < 6; ++i)
            failures << AddReader(db, h.Get_Ptr_To_tblLeser(), QStringLiteral("R%1").arg(i));
        h._RequeryAll();
        EXPECT_EQ(observer->ends.load(), 0);
    }
    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, bound - 100) << "the step waited for the lock";
    EXPECT_LT(elapsed, 3 * bound) << "one bound for the whole step, not one per statement";
    for (const QString& failure : failures)
        EXPECT_TRUE(failure.contains(QLatin1String("lock"), Qt::CaseInsensitive)) << failure.toStdString();
    EXPECT_EQ(observer->begins.load(), 1);
    EXPECT_EQ(observer->ends.load(), 1);
    EXPECT_FALSE(db->InTransaction());

    holder.Release();
    ASSERT_TRUE(holder.AwaitReleased());
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblLeser"), QStringList({"0"})) << "nothing half-stored";
    // The next step waits afresh and, with the lock gone, stores.
    CLockWait::Step next;
    EXPECT_EQ(AddReader(db, h.Get_Ptr_To_tblLeser(), QStringLiteral("after")), QString());
    EXPECT_EQ(Rows("SELECT strBezeichnung FROM tblLeser"), QStringList({"after"}));
}

TEST_P(CDatabaseLockWaitTest, ALockLetGoDuringTheWaitLetsTheStepFinish)
{
    auto& h = Handler();
    CDatabase* db = h.GetDatabase();
    // Generous: the lock goes a moment after the wait began.
    db->SetLockWaitMs(30000);
    LockHolder holder;
    ASSERT_TRUE(Hold(holder));
    auto observer = std::make_shared<CountingObserver>();
    observer->onBegin = [&] { holder.Release(300); };
    db->SetLockWaitObserver(observer);
    {
        CLockWait::Step step;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(AddReader(db, h.Get_Ptr_To_tblLeser(), QStringLiteral("R%1").arg(i)), QString());
    }
    EXPECT_EQ(observer->begins.load(), 1);
    EXPECT_EQ(observer->ends.load(), 1);
    ASSERT_TRUE(holder.AwaitReleased());
    EXPECT_EQ(Rows("SELECT strBezeichnung FROM tblLeser ORDER BY ID_Leser"), QStringList({"R0", "R1", "R2"}));
}

INSTANTIATE_TEST_SUITE_P(Locks, CDatabaseLockWaitTest, ::testing::Values("write", "all"));

} // namespace
#endif
