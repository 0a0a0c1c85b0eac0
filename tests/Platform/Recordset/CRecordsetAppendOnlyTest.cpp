#include "FerroldTestDb.h"

#include "CDBException.h"
#include "CTransaction.h"
#include "CtblEvents.h"

#include <QSet>

// Many rows added through an append-only set inside a transaction: the
// server is sent them many at a time, and none of that may show. Every row
// is stored once under the key the caller was told, a read in the
// transaction sees the rows added before it, and a row refused or undone
// takes the whole transaction's rows with it, never silently one.
class CRecordsetAppendOnlyTest : public FerroldTest
{
protected:
    // key|strEvent1 of every stored event, in key order, read past the handler.
    QStringList Stored()
    {
        const QString sql = QStringLiteral("SELECT ID_Events, strEvent1 FROM tblEvents ORDER BY ID_Events");
        if (Postgres())
            return TestEnvironment::PostgresRows(m_server, ServerSql(sql));
        QStringList rows;
        const QString name = QStringLiteral("test-events");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            db.open();
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next())
                rows << q.value(0).toString() + u'|' + q.value(1).toString();
        }
        QSqlDatabase::removeDatabase(name);
        return rows;
    }

    // Adds the events named, returning "key|name" as the caller is told.
    static QStringList Add(CtblEvents* events, const QStringList& names)
    {
        QStringList told;
        for (const QString& name : names) {
            events->AddNew();
            events->strTranspondernummer = QStringLiteral("0000000001");
            events->strEvent1 = name;
            events->Update();
            told << QString::number(events->GetLastInsertKey()) + u'|' + name;
        }
        return told;
    }

    static QStringList Names(const QString& prefix, int count)
    {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << prefix + QString::number(i);
        return names;
    }
};

TEST_F(CRecordsetAppendOnlyTest, EveryRowIsStoredOnceUnderTheKeyTheCallerWasTold)
{
    auto& h = Handler();
    CtblEvents* events = h.Get_Ptr_To_tblEvents();
    ASSERT_TRUE(events->OpenAppendOnly()) << events->GetLastError().toStdString();
    CTransaction transaction(h.GetDatabase());
    // More than one statement's worth, and a rest of no round size.
    QStringList told = Add(events, Names("a", 300));
    {
        // A read inside the transaction sees what was added before it.
        QSqlQuery count(h.GetDatabase()->Connection());
        ASSERT_TRUE(count.exec(ServerSql("SELECT COUNT(*) FROM tblEvents")) && count.next());
        EXPECT_EQ(count.value(0).toInt(), 300);
    }
    told += Add(events, Names("b", 333));
    ASSERT_TRUE(transaction.Commit()) << transaction.GetError().toStdString();
    events->Close();

    QSet<QString> keys;
    for (const QString& row : told)
        keys.insert(row.section(u'|', 0, 0));
    EXPECT_EQ(keys.size(), told.size()) << "no key told twice";
    EXPECT_FALSE(keys.contains(QStringLiteral("0")));
    EXPECT_EQ(Stored(), told);
}

TEST_F(CRecordsetAppendOnlyTest, UndoneOrRefusedRowsLeaveNothingOfTheirTransaction)
{
    auto& h = Handler();
    CtblEvents* events = h.Get_Ptr_To_tblEvents();
    ASSERT_TRUE(events->OpenAppendOnly());

    // Undone: a scope left without commit, and a nested one inside a kept one.
    {
        CTransaction undone(h.GetDatabase());
        Add(events, Names("undone", 40));
    }
    QStringList kept;
    {
        CTransaction outer(h.GetDatabase());
        kept = Add(events, Names("kept", 5));
        {
            CTransaction inner(h.GetDatabase());
            Add(events, Names("inner", 5));
        }
        ASSERT_TRUE(outer.Commit()) << outer.GetError().toStdString();
    }
    EXPECT_EQ(Stored(), kept);

    // Refused by the database amid good rows: told at that row or by the
    // commit, and then none of the transaction's rows is stored.
    Refuse("refuse_bad", "INSERT", "tblEvents", "NEW.strEvent1 = 'bad'", "bad row refused");
    bool told = false;
    {
        CTransaction transaction(h.GetDatabase());
        try {
            Add(events, Names("ok", 20) << QStringLiteral("bad") << Names("late", 20));
        } catch (const CDBException& e) {
            told = e.m_strError.contains(QLatin1String("bad row refused"));
            EXPECT_TRUE(told) << e.m_strError.toStdString();
        }
        if (!told) {
            EXPECT_FALSE(transaction.Commit());
            told = transaction.GetError().contains(QLatin1String("bad row refused"));
            EXPECT_TRUE(told) << transaction.GetError().toStdString();
        }
    }
    EXPECT_TRUE(told);
    EXPECT_EQ(Stored(), kept);

    // The data source works on afterwards.
    DropRefusal("refuse_bad", "tblEvents");
    {
        CTransaction transaction(h.GetDatabase());
        kept += Add(events, {QStringLiteral("after")});
        ASSERT_TRUE(transaction.Commit()) << transaction.GetError().toStdString();
    }
    EXPECT_EQ(Stored(), kept);
}

TEST_F(CRecordsetAppendOnlyTest, AKeyBeyond32BitsIsRefusedAndNothingStored)
{
    // The next key the table gives is 2147483648.
    if (Postgres())
        SqlAll({"ALTER TABLE tblEvents ALTER COLUMN ID_Events TYPE bigint"});
    Sql("INSERT INTO tblEvents (ID_Events, strEvent1) VALUES (2147483647, 'last')");
    auto& h = Handler();
    CtblEvents* events = h.Get_Ptr_To_tblEvents();
    ASSERT_TRUE(events->OpenAppendOnly());
    CTransaction transaction(h.GetDatabase());
    try {
        Add(events, {QStringLiteral("wide")});
        ADD_FAILURE() << "a key beyond 32 bits was handed out";
    } catch (const CDBException& e) {
        EXPECT_TRUE(e.m_strError.contains(QLatin1String("32-bit"))) << e.m_strError.toStdString();
    }
    transaction.Commit();
    EXPECT_EQ(Stored(), QStringList({"2147483647|last"}));
}
