#include "CReconnectWatch.h"

#include <QSqlDatabase>

#include <gtest/gtest.h>

namespace {

// A connection to look at: open, or closed as a lost one behaves (every
// statement fails).
class CReconnectWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kName);
        m_db.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(m_db.open());
        m_watch.SetHandler([this] { ++m_told; });
    }
    void TearDown() override
    {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(kName);
    }

    static inline const QString kName = QStringLiteral("reconnect-watch");
    QSqlDatabase m_db;
    CReconnectWatch m_watch;
    int m_told = 0;
};

} // namespace

// Only a connection idle for a while costs a round trip; inside a
// transaction the statements themselves tell.
TEST_F(CReconnectWatchTest, AConnectionIsTriedOnlyWhenIdleAndOutsideATransaction)
{
    struct Case
    {
        const char* what;
        bool reaches;
        int idleCheckMs;
        bool handedOutJustNow;
        bool inTransaction;
        bool still;
    };
    const Case cases[] = {
        {"idle, reaches the server", true, 0, false, false, true},
        {"idle, lost", false, 0, false, false, false},
        {"lost, used just now", false, 60000, true, false, true},
        {"lost, idle for longer than the check", false, 60000, false, false, false},
        {"lost, inside a transaction", false, 0, false, true, true},
    };
    for (const Case& c : cases) {
        if (c.reaches)
            ASSERT_TRUE(m_db.open());
        else
            m_db.close();
        m_watch.SetIdleCheckMs(c.idleCheckMs);
        m_watch.Forget(kName);
        if (c.handedOutJustNow)
            m_watch.HandedOut(kName);
        EXPECT_EQ(m_watch.StillConnected(m_db, c.inTransaction), c.still) << c.what;
    }
    m_watch.SetIdleCheckMs(-5);
    EXPECT_EQ(m_watch.IdleCheckMs(), 0);
}

TEST_F(CReconnectWatchTest, TheHandlerHearsOnceOfEachReconnect)
{
    const QString other = QStringLiteral("other");
    m_watch.HandedOut(kName);
    EXPECT_EQ(m_told, 0) << "a connection never lost";
    m_watch.MarkLost(kName);
    m_watch.MarkLost(kName);
    m_watch.HandedOut(other);
    EXPECT_EQ(m_told, 0) << "another connection";
    m_watch.HandedOut(kName);
    m_watch.HandedOut(kName);
    EXPECT_EQ(m_told, 1);
    m_watch.MarkLost(kName);
    m_watch.Forget(kName);
    m_watch.HandedOut(kName);
    EXPECT_EQ(m_told, 1) << "a connection removed while lost is no reconnect";
}
