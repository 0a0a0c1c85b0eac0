// The event store's failures name their own cause: a lock held by another
// program, a commit the database refused. The text of whatever ran after
// (a rollback with nothing left to undo) or an empty one would leave the
// operator guessing.
#include "FerroldTestDb.h"
#include "CDBException.h"
#include "CEventStore.h"

#include <QSqlError>

namespace {

class CEventStoreTest : public FerroldTest
{
protected:
    CEventStore::Row Row() const
    {
        CEventStore::Row row;
        row.transponder = QStringLiteral("00000000AA");
        row.date = QStringLiteral("24.12.1999");
        row.time = QStringLiteral("23:59");
        row.code1 = row.code2 = QStringLiteral("00000000");
        row.event1 = row.event2 = QStringLiteral("-");
        row.readerId = 1;
        row.readerName = QStringLiteral("Tor");
        return row;
    }
};

TEST_F(CEventStoreTest, ALockHeldByAnotherProgramIsNamed)
{
    if (Postgres())
        GTEST_SKIP() << "the server queues writers instead of refusing them";
    auto& h = Handler();
    const QString name = QStringLiteral("other-program");
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        other.setDatabaseName(m_file);
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec("BEGIN IMMEDIATE"));
        CEventStore store(h.GetDatabase());
        QString error;
        ASSERT_TRUE(store.Open(&error)) << error.toStdString();
        try {
            store.Add(Row());
            ADD_FAILURE() << "stored beside a held lock";
        } catch (const CDBException& e) {
            EXPECT_TRUE(e.m_strError.contains("locked")) << e.m_strError.toStdString();
        }
        EXPECT_EQ(store.Stored(), 0);
        ASSERT_TRUE(hold.exec("ROLLBACK"));
    }
    QSqlDatabase::removeDatabase(name);
}

TEST_F(CEventStoreTest, ACommitTheDatabaseRefusesGivesItsReason)
{
    auto& h = Handler();
    if (Postgres()) {
        QString error;
        ASSERT_TRUE(TestEnvironment::PostgresExec(
            m_server,
            {"CREATE FUNCTION refuse_at_commit() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'events refused at commit';"
             " END $$ LANGUAGE plpgsql",
             "CREATE CONSTRAINT TRIGGER late AFTER INSERT ON \"tblEvents\" DEFERRABLE INITIALLY DEFERRED"
             " FOR EACH ROW EXECUTE FUNCTION refuse_at_commit()"},
            &error))
            << error.toStdString();
    } else {
        // A deferred reference that no row satisfies fails the commit, not the insert.
        SqlAll({"CREATE TABLE parent (id INTEGER PRIMARY KEY)",
                "CREATE TABLE child (p INTEGER REFERENCES parent (id) DEFERRABLE INITIALLY DEFERRED)",
                "CREATE TRIGGER late AFTER INSERT ON tblEvents BEGIN INSERT INTO child VALUES (999); END"});
        QSqlQuery keys(h.GetDatabase()->Connection());
        ASSERT_TRUE(keys.exec("PRAGMA foreign_keys = ON"));
    }
    CEventStore store(h.GetDatabase());
    QString error;
    ASSERT_TRUE(store.Open(&error)) << error.toStdString();
    ASSERT_NO_THROW(store.Add(Row()));
    EXPECT_FALSE(store.Commit(&error));
    EXPECT_TRUE(error.contains(Postgres() ? "refused at commit" : "FOREIGN KEY")) << error.toStdString();
    EXPECT_EQ(store.Stored(), 0);
    EXPECT_FALSE(h.GetDatabase()->InTransaction());
}

} // namespace
