#include "CConnectionOpener.h"

#include "TestEnvironment.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A SQLite file with tables, made through the embedded driver.
void makeFile(const QString& path, const QStringList& statements)
{
    const QString name = QStringLiteral("make-file");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& sql : statements)
            ASSERT_TRUE(q.exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase(name);
}

struct Expected
{
    bool opens = true;
    bool odbcHandle = false;
    CConnectionOpener::Traits traits;
};

// Each data source the program meets: what opens, and what it is told about
// the data source behind it. The driver manager keeps a data source's
// driver for the rest of the process, so each case has a name of its own.
struct Case
{
    const char* what;
    std::function<CDatabase::Source(const QString& folder)> source;
    Expected expected;
};

CConnectionOpener::Traits traits(bool keepsOneFile, bool narrows, const char* lockTable)
{
    CConnectionOpener::Traits t;
    t.keepsOneFile = keepsOneFile;
    t.narrowsIntegers = narrows;
    t.lockTable = QString::fromLatin1(lockTable);
    return t;
}

} // namespace

TEST(CConnectionOpener, EachDriverOpensAndTellsWhatIsBehindIt)
{
    const Case cases[] = {
        {"an embedded file in a folder not made yet",
         [](const QString& folder) {
             return CDatabase::Source{CDatabase::Kind::Sqlite, folder + QStringLiteral("/new/deeper/Quandor.mdb")};
         },
         {true, false, traits(true, false, "")}},
        {"SQLite behind ODBC: integers cut, the first table by name locked at a begin",
         [](const QString& folder) {
             const QString file = folder + QStringLiteral("/odbc.mdb");
             makeFile(file, {QStringLiteral("CREATE TABLE tblB (ID INTEGER PRIMARY KEY AUTOINCREMENT)"),
                             QStringLiteral("CREATE TABLE tblA (ID INTEGER)"),
                             QStringLiteral("INSERT INTO tblB DEFAULT VALUES")});
             TestEnvironment::WriteOdbcDsn(QStringLiteral("opener-sqlite"), file);
             return CDatabase::Source{CDatabase::Kind::Odbc, QStringLiteral("opener-sqlite")};
         },
         {true, true, traits(true, true, "tblA")}},
        {"an ODBC data source nobody defined",
         [](const QString&) {
             return CDatabase::Source{CDatabase::Kind::Odbc, QStringLiteral("opener-undefined")};
         },
         {false, false, {}}},
        {"an ODBC data source whose driver is missing",
         [](const QString& folder) {
             TestEnvironment::WriteOdbcDsn(QStringLiteral("opener-nodriver"), folder + QStringLiteral("/x.mdb"),
                                           /*missingDriver=*/true);
             return CDatabase::Source{CDatabase::Kind::Odbc, QStringLiteral("opener-nodriver")};
         },
         {false, false, {}}},
        {"an embedded file whose path is a folder",
         [](const QString& folder) { return CDatabase::Source{CDatabase::Kind::Sqlite, folder}; },
         {false, false, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = TestEnvironment::NewFolder(QStringLiteral("opener"));
        const CConnectionOpener opener(c.source(folder));
        const QString name = QStringLiteral("opener-connection");
        QString error;
        {
            QSqlDatabase db = opener.Open(name, &error);
            EXPECT_EQ(db.isOpen(), c.expected.opens);
            if (!c.expected.opens) {
                EXPECT_FALSE(error.isEmpty());
                EXPECT_FALSE(QSqlDatabase::contains(name)) << "a failed open leaves no connection behind";
                continue;
            }
            EXPECT_EQ(CConnectionOpener::OdbcConnectionHandle(db) != nullptr, c.expected.odbcHandle);
            const CConnectionOpener::Traits t = opener.Inspect(db);
            EXPECT_FALSE(t.server);
            EXPECT_FALSE(t.returnsInsertKeys);
            EXPECT_EQ(t.keepsOneFile, c.expected.traits.keepsOneFile);
            EXPECT_EQ(t.narrowsIntegers, c.expected.traits.narrowsIntegers);
            EXPECT_EQ(t.lockTable, c.expected.traits.lockTable);
        }
        QSqlDatabase::removeDatabase(name);
    }
}

// Backup and restore copy one file: a file left in WAL mode by another
// program is switched back to the rollback journal when opened.
TEST(CConnectionOpener, AFileInWalModeGoesBackToTheRollbackJournal)
{
    const QString file = TestEnvironment::NewFolder(QStringLiteral("opener")) + QStringLiteral("/wal.mdb");
    makeFile(file, {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("CREATE TABLE t (x INTEGER)")});
    const QString name = QStringLiteral("opener-wal");
    {
        QSqlDatabase db = CConnectionOpener({CDatabase::Kind::Sqlite, file}).Open(name, nullptr);
        ASSERT_TRUE(db.isOpen());
        CConnectionOpener::UseRollbackJournal(db);
        QSqlQuery mode(db);
        ASSERT_TRUE(mode.exec(QStringLiteral("PRAGMA journal_mode")) && mode.next());
        EXPECT_EQ(mode.value(0).toString(), QStringLiteral("delete"));
    }
    QSqlDatabase::removeDatabase(name);
}
