#include "CStatementCache.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

// Statements prepared on a connection that is closed or lost die with it:
// forgetting one connection leaves every other one's.
TEST(CStatementCache, StatementsAreKeptPerConnectionAndForgottenWithIt)
{
    const QString name = QStringLiteral("statement-cache");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        ASSERT_TRUE(db.open());
        const QString sql = QStringLiteral("SELECT 1");
        CStatementCache cache;
        EXPECT_EQ(cache.Find(QStringLiteral("a"), sql), nullptr);
        QSqlQuery* kept = cache.Keep(QStringLiteral("a"), sql, std::make_unique<QSqlQuery>(db));
        QSqlQuery* other = cache.Keep(QStringLiteral("b"), sql, std::make_unique<QSqlQuery>(db));
        ASSERT_TRUE(kept->prepare(sql));
        EXPECT_EQ(cache.Find(QStringLiteral("a"), sql), kept);
        EXPECT_EQ(cache.Find(QStringLiteral("a"), QStringLiteral("SELECT 2")), nullptr);
        cache.Forget(QStringLiteral("a"));
        cache.Forget(QStringLiteral("never kept"));
        EXPECT_EQ(cache.Find(QStringLiteral("a"), sql), nullptr);
        EXPECT_EQ(cache.Find(QStringLiteral("b"), sql), other);
    }
    QSqlDatabase::removeDatabase(name);
}
