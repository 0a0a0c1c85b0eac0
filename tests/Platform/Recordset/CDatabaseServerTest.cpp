#include "FerroldTestDb.h"

#include "CDBException.h"
#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblTransponder.h"

#include <QProcess>
#include <QSet>

// What only a database server does: keep names in the case they were
// created with, drop connections, serve several programs at once. These
// cases run on the server backend alone.
class CDatabaseServerTest : public FerroldTest
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        if (!Postgres())
            GTEST_SKIP() << "a case of the database server backend";
    }

    QStringList Rows(const QString& query)
    {
        QString error;
        const QStringList rows = TestEnvironment::PostgresRows(m_server, ServerSql(query), &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return rows;
    }

    void DropConnections()
    {
        QString error;
        ASSERT_TRUE(TestEnvironment::DropPostgresConnections(m_server, &error)) << error.toStdString();
    }

    QString Reconnected() const { return m_language->GetLangItem(290); }

    static qint32 AddReader(CtblLeser* readers, const QString& name)
    {
        readers->AddNew();
        readers->strBezeichnung = name;
        readers->Update();
        return readers->GetLastInsertKey();
    }
};

TEST_F(CDatabaseServerTest, TablesCreatedWithFoldedNamesAreRefusedOnceAndClearly)
{
    // Created without quotes, the server keeps the names in lower case; the
    // program's queries name "tblLeser" and could not find them.
    QString error;
    QStringList statements;
    for (const char* table : CFerrold_Schema::TableNames)
        statements << QStringLiteral("ALTER TABLE \"%1\" RENAME TO %2").arg(QLatin1String(table), QString::fromLatin1(table).toLower());
    ASSERT_TRUE(TestEnvironment::PostgresExec(m_server, statements, &error)) << error.toStdString();

    auto& h = Handler();
    EXPECT_FALSE(h.IsUsable());
    ASSERT_EQ(Messages().size(), 1) << Messages().join('\n').toStdString();
    EXPECT_TRUE(Messages()[0].startsWith(m_language->GetLangItem(83)));
    EXPECT_TRUE(Messages()[0].contains("tblLeser"));
}

TEST_F(CDatabaseServerTest, AServerSourceHasNoDatabaseFile)
{
    auto& h = Handler();
    ASSERT_TRUE(h.IsUsable()) << Messages().join('\n').toStdString();
    EXPECT_TRUE(h.GetDatabase()->IsServer());
    EXPECT_EQ(h.GetAktDBPath(), QString());
}

TEST_F(CDatabaseServerTest, AfterALostConnectionTheNextWriteSucceedsAfterOneMessage)
{
    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('A'), ('B'), ('C')");
    auto& h = Handler();
    h.GetDatabase()->SetIdleCheckMs(0);
    CtblLeser* readers = h.Get_Ptr_To_tblLeser();
    ASSERT_EQ(readers->GetAnz_Leser(), 3);
    ASSERT_TRUE(Messages().isEmpty());

    DropConnections();
    EXPECT_EQ(readers->GetAnz_Leser(), 3) << "the cache keeps its rows meanwhile";
    ASSERT_TRUE(readers->OpenKey(0));
    const qint32 key = AddReader(readers, "D");
    readers->Close();
    EXPECT_EQ(Messages(), QStringList({Reconnected()}));
    EXPECT_EQ(readers->_Requery(), 1);
    EXPECT_EQ(readers->GetAnz_Leser(), 4);
    EXPECT_EQ(Rows(QStringLiteral("SELECT strBezeichnung FROM tblLeser WHERE ID_Leser = %1").arg(key)),
              QStringList({"D"}));
    EXPECT_EQ(Messages().size(), 1) << "said once";
}

TEST_F(CDatabaseServerTest, AConnectionLostInATransactionFailsItsCommitAndStoresNothing)
{
    auto& h = Handler();
    CDatabase* db = h.GetDatabase();
    db->SetIdleCheckMs(0);
    CtblLeser* readers = h.Get_Ptr_To_tblLeser();
    ASSERT_TRUE(readers->OpenKey(0));
    {
        CTransaction transaction(db);
        ASSERT_TRUE(transaction.IsActive());
        AddReader(readers, "lost");
        DropConnections();
        EXPECT_THROW(AddReader(readers, "after"), CDBException);
        EXPECT_TRUE(db->InTransaction()) << "the owner still ends it";
        // Nothing runs outside the transaction while its owner thinks it is in one.
        EXPECT_THROW(AddReader(readers, "outside"), CDBException);
        EXPECT_FALSE(transaction.Commit());
        EXPECT_TRUE(transaction.GetError().contains("connection")) << transaction.GetError().toStdString();
        EXPECT_FALSE(db->InTransaction());
    }
    readers->Close();
    EXPECT_EQ(readers->_Requery(), 0);
    EXPECT_FALSE(readers->LastReadFailed());
    EXPECT_EQ(Messages(), QStringList({Reconnected()})) << "said once";
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM tblLeser"), QStringList({"0"}));
}

// However a transaction whose connection broke is ended, the loss ends
// with it: the next read and write reach the server again.
enum class TransactionEnd { Commit, Rollback, FailedWriteThenRollback, ScopeLeft, NestedScopes };

class CDatabaseServerReconnectTest : public CDatabaseServerTest, public ::testing::WithParamInterface<TransactionEnd>
{
};

TEST_P(CDatabaseServerReconnectTest, TheNextUseAfterTheTransactionEndsReachesTheServer)
{
    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('A')");
    auto& h = Handler();
    CDatabase* db = h.GetDatabase();
    db->SetIdleCheckMs(0);
    CtblLeser* readers = h.Get_Ptr_To_tblLeser();
    ASSERT_TRUE(readers->OpenKey(0));
    try {
        CTransaction transaction(db);
        ASSERT_TRUE(transaction.IsActive());
        std::unique_ptr<CTransaction> inner;
        if (GetParam() == TransactionEnd::NestedScopes)
            inner = std::make_unique<CTransaction>(db);
        AddReader(readers, "lost");
        DropConnections();
        switch (GetParam()) {
        case TransactionEnd::Commit:
            EXPECT_FALSE(transaction.Commit());
            break;
        case TransactionEnd::Rollback:
            transaction.Rollback();
            break;
        case TransactionEnd::FailedWriteThenRollback:
            EXPECT_THROW(AddReader(readers, "after"), CDBException);
            transaction.Rollback();
            break;
        case TransactionEnd::ScopeLeft:
        case TransactionEnd::NestedScopes:
            AddReader(readers, "after"); // throws: the scopes end by the exception
            ADD_FAILURE() << "a write on a lost connection succeeded";
            break;
        }
    } catch (const CDBException&) {
    }
    EXPECT_FALSE(db->InTransaction());
    readers->Close();
    EXPECT_EQ(readers->_Requery(), 1);
    EXPECT_FALSE(readers->LastReadFailed()) << Messages().join('\n').toStdString();
    EXPECT_EQ(readers->GetAnz_Leser(), 1) << "nothing of the lost transaction was stored";
    ASSERT_TRUE(readers->OpenKey(0));
    EXPECT_NO_THROW(AddReader(readers, "next"));
    readers->Close();
    EXPECT_EQ(Rows("SELECT strBezeichnung FROM tblLeser ORDER BY ID_Leser"), QStringList({"A", "next"}));
    EXPECT_EQ(Messages().count(Reconnected()), 1) << Messages().join('\n').toStdString();
}

std::string transactionEndName(const ::testing::TestParamInfo<TransactionEnd>& info)
{
    static const char* const names[] = {"Commit", "Rollback", "FailedWriteThenRollback", "ScopeLeft", "NestedScopes"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Ends, CDatabaseServerReconnectTest,
                         ::testing::Values(TransactionEnd::Commit, TransactionEnd::Rollback,
                                           TransactionEnd::FailedWriteThenRollback, TransactionEnd::ScopeLeft,
                                           TransactionEnd::NestedScopes),
                         transactionEndName);

TEST_F(CDatabaseServerTest, AWhileTheServerIsAwayEveryUseFailsAndTheRowsStay)
{
    Sql("INSERT INTO tblLeser (strBezeichnung) VALUES ('A')");
    auto& h = Handler();
    h.GetDatabase()->SetIdleCheckMs(0);
    // The database refuses new connections for now, as a server that is down.
    QString error;
    ASSERT_TRUE(TestEnvironment::PostgresExec(
        "postgres", {QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS false").arg(m_server)}, &error))
        << error.toStdString();
    DropConnections();
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->_Requery(), 0);
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->GetAnz_Leser(), 1);
    EXPECT_EQ(Messages().size(), 1);
    EXPECT_FALSE(Messages().contains(Reconnected()));

    ASSERT_TRUE(TestEnvironment::PostgresExec(
        "postgres", {QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS true").arg(m_server)}, &error))
        << error.toStdString();
    ClearMessages();
    EXPECT_EQ(h.Get_Ptr_To_tblLeser()->_Requery(), 1);
    EXPECT_EQ(Messages(), QStringList({Reconnected()}));
}

#ifdef FERROLD_WRITER
TEST_F(CDatabaseServerTest, TwoProgramsStoreAtOnceWithRightKeysAndSeeEachOther)
{
    constexpr int kRows = 150;
    Source(); // the data source "Quandor" the writers find in the environment
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const char* tag : {"a", "b"}) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(QStringLiteral(FERROLD_WRITER), {QString::fromLatin1(tag), QString::number(kRows)});
        ASSERT_TRUE(p->waitForStarted(30000));
        writers.push_back(std::move(p));
    }
    // Keys handed out, per table: key -> name.
    QHash<QString, QHash<qint32, QString>> keys;
    for (auto& p : writers) {
        QByteArray out;
        while (!out.contains("written\n")) {
            ASSERT_TRUE(p->waitForReadyRead(120000)) << p->readAllStandardError().toStdString();
            out += p->readAllStandardOutput();
        }
        for (const QByteArray& line : out.split('\n')) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() != 3)
                continue;
            const QString table = QString::fromLatin1(words[0]);
            const qint32 key = words[2].toInt();
            EXPECT_FALSE(keys[table].contains(key)) << "key " << key << " of " << table.toStdString() << " given twice";
            keys[table].insert(key, QString::fromLatin1(words[1]));
        }
    }
    for (auto& p : writers)
        p->write("go\n");
    for (auto& p : writers) {
        ASSERT_TRUE(p->waitForFinished(120000));
        const QString err = QString::fromLocal8Bit(p->readAllStandardError());
        EXPECT_EQ(p->exitCode(), 0) << err.toStdString();
        EXPECT_TRUE(QString::fromLatin1(p->readAllStandardOutput())
                        .contains(QStringLiteral("seen %1 %1 %1").arg(2 * kRows)))
            << "each sees the other's rows after a re-read";
    }

    const struct
    {
        const char* table;
        const char* query;
    } tables[] = {{"leser", "SELECT ID_Leser, strBezeichnung FROM tblLeser"},
                  {"transponder", "SELECT ID_Transponder, strTransponderNummer FROM tblTransponder"},
                  {"event", "SELECT ID_Events, strTranspondernummer FROM tblEvents"}};
    for (const auto& t : tables) {
        const QStringList rows = Rows(QLatin1String(t.query));
        EXPECT_EQ(rows.size(), 2 * kRows) << t.table << ": every row stored once";
        QHash<qint32, QString> stored;
        for (const QString& row : rows)
            stored.insert(row.section('|', 0, 0).toInt(), row.section('|', 1));
        EXPECT_EQ(stored, keys.value(QLatin1String(t.table))) << t.table << ": every key names its own row";
    }
}
#endif
