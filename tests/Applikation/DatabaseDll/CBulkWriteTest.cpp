#include "FerroldTestDb.h"

#include "CBulkWriter.h"
#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <stdexcept>

// Many-row writes: the transaction scope, the bulk writes with the cache
// following, the keyed and append-only opens.
class CBulkWriteTest : public FerroldTest
{
protected:
    // Events of readers 1..3 in turn; transponders 1..n with person i on
    // the first half.
    void Fill(int events, int transponders)
    {
        QStringList sql;
        for (int i = 0; i < events; ++i)
            sql << (QStringLiteral("INSERT INTO tblEvents (strDatum, Leser_ID) VALUES ('%1', %2)").arg(i).arg(1 + i % 3));
        for (int i = 0; i < transponders; ++i)
            sql << (QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, Person_ID, Zeitfenster_ID, "
                               "strLeser_IDS) VALUES ('%1', %2, %3, '1;2;')")
                    .arg(i, 10, 10, QLatin1Char('0'))
                    .arg(i < transponders / 2 ? 7 : 0)
                    .arg(i % 2 ? 5 : 1));
        SqlAll(sql);
    }

    static void AddPerson(CtblPerson* persons, const QString& name)
    {
        persons->AddNew();
        persons->strName = name;
        persons->Update();
    }

    static std::vector<qint32> Numbers(CtblEvents* t)
    {
        std::vector<qint32> n;
        for (int i = 0; i < t->GetAnz_Events(); ++i)
            n.push_back(t->Get_Event(i)->nNr);
        return n;
    }

    static std::vector<qint32> Count(int n)
    {
        std::vector<qint32> v;
        for (int i = 1; i <= n; ++i)
            v.push_back(i);
        return v;
    }

    // The stored rows, read past the handler.
    int Stored(const QString& where)
    {
        if (Postgres()) {
            const QStringList rows =
                TestEnvironment::PostgresRows(m_server, ServerSql(QStringLiteral("SELECT COUNT(*) FROM ") + where));
            return rows.size() == 1 ? rows[0].toInt() : -1;
        }
        const QString name = QStringLiteral("test-count");
        int n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            db.open();
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + where) && q.next())
                n = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(name);
        return n;
    }
};

TEST_F(CBulkWriteTest, ATransactionScopeRollsBackOnAnyException)
{
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->OpenAppendOnly());
    // Not a database error: a plain exception thrown by the caller's code.
    EXPECT_THROW(
        {
            CTransaction t(h.GetDatabase());
            AddPerson(p, "lost");
            throw std::runtime_error("caller's own failure");
        },
        std::runtime_error);
    EXPECT_FALSE(h.GetDatabase()->InTransaction());
    {
        CTransaction t(h.GetDatabase());
        AddPerson(p, "kept");
        EXPECT_TRUE(t.Commit());
        EXPECT_FALSE(t.IsActive());
    }
    // Left without Commit (an early return): nothing stays.
    {
        CTransaction t(h.GetDatabase());
        AddPerson(p, "returned early");
    }
    p->Close();
    EXPECT_EQ(Stored("tblPerson"), 1);
    EXPECT_EQ(Stored("tblPerson WHERE strName = 'kept'"), 1);
}

TEST_F(CBulkWriteTest, NestedScopesUndoOnlyTheirOwnPart)
{
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->OpenAppendOnly());
    CTransaction outer(h.GetDatabase());
    AddPerson(p, "outer");
    {
        CTransaction inner(h.GetDatabase());
        EXPECT_TRUE(inner.IsNested());
        AddPerson(p, "inner, undone");
    }
    {
        CTransaction inner(h.GetDatabase());
        AddPerson(p, "inner, kept");
        EXPECT_TRUE(inner.Commit());
    }
    EXPECT_TRUE(h.GetDatabase()->InTransaction());
    EXPECT_TRUE(outer.Commit());
    p->Close();
    p->_Requery();
    ASSERT_EQ(p->GetAnz_Person(), 2);
    EXPECT_EQ(p->Get_Person(0)->Name, QStringLiteral("outer"));
    EXPECT_EQ(p->Get_Person(1)->Name, QStringLiteral("inner, kept"));
}

TEST_F(CBulkWriteTest, BulkWritesChangeDatabaseAndCacheInOnePass)
{
    Fill(30, 10);
    auto& h = Handler();
    auto* e = h.Get_Ptr_To_tblEvents();
    auto* t = h.Get_Ptr_To_tblTransponder();
    auto* kept = e->Get_Event(1); // reader 2: survives

    // A reader's events go; the rest keep their row objects and count 1..n.
    EXPECT_EQ(e->DeleteWhere(QStringLiteral("Leser_ID"), 1), 10);
    EXPECT_EQ(Stored("tblEvents"), 20);
    ASSERT_EQ(e->GetAnz_Events(), 20);
    EXPECT_EQ(e->Get_Event(0), kept);
    EXPECT_EQ(Numbers(e), Count(20));
    EXPECT_EQ(e->FindByKey(1), nullptr);
    EXPECT_EQ(e->FindByKey(kept->ID_Events), kept);

    // Detached from a reader, keeping the reader's name.
    EXPECT_EQ(e->UpdateColumnsWhere(QStringLiteral("Leser_ID"), 2, {{QStringLiteral("Leser_ID"), 0}}), 10);
    EXPECT_EQ(kept->Leser_ID, 0);
    EXPECT_EQ(Stored("tblEvents WHERE Leser_ID = 0"), 10);

    // By keys, many at once.
    QList<qint32> keys;
    for (int i = 0; i < e->GetAnz_Events(); i += 2)
        keys << e->Get_Event(i)->ID_Events;
    EXPECT_EQ(e->DeleteWhereKeys(keys), 10);
    EXPECT_EQ(e->GetAnz_Events(), 10);
    EXPECT_EQ(Numbers(e), Count(10));

    // Person links cleared; schema moved to full access and marked.
    EXPECT_EQ(t->UpdateColumnsWhere(QStringLiteral("Person_ID"), 7, {{QStringLiteral("Person_ID"), 0}}), 5);
    EXPECT_EQ(t->UpdateColumnsWhere(QStringLiteral("Zeitfenster_ID"), 5,
                             {{QStringLiteral("Zeitfenster_ID"), 1}, {QStringLiteral("boolUpdateOK"), 1}}),
              5);
    for (int i = 0; i < t->GetAnz_Transponder(); ++i) {
        EXPECT_EQ(t->Get_Transponder(i)->Person_ID, 0);
        EXPECT_EQ(t->Get_Transponder(i)->Zeitfenster_ID, 1);
        EXPECT_EQ(t->Get_Transponder(i)->UpdateOK, i % 2);
    }
    EXPECT_EQ(Stored("tblTransponder WHERE Zeitfenster_ID = 1 AND Person_ID = 0"), 10);

    // A row with values of its own, found by key.
    const qint32 id = t->Get_Transponder(3)->ID_Transponder;
    t->UpdateKey(id, {{QStringLiteral("strLeser_IDS"), QStringLiteral("2;")}});
    EXPECT_EQ(t->FindByKey(id)->Leser_IDS, QStringLiteral("2;"));
    EXPECT_EQ(Stored("tblTransponder WHERE strLeser_IDS = '2;'"), 1);
    // Gone behind the program's back: refused, not reported as stored.
    Sql(QStringLiteral("DELETE FROM tblTransponder WHERE ID_Transponder = %1").arg(id));
    EXPECT_THROW(t->UpdateKey(id, {{QStringLiteral("strLeser_IDS"), QString()}}), CDBException);
    EXPECT_EQ(t->FindByKey(id)->Leser_IDS, QStringLiteral("2;"));

    // Names that are no column are refused before anything is written.
    EXPECT_THROW(t->DeleteWhere(QStringLiteral("Leser"), 1), CDBException);
    EXPECT_THROW(t->UpdateColumnsWhereKeys({1}, {{QStringLiteral("ID_Transponder"), 5}}), CDBException);
    EXPECT_EQ(Stored("tblTransponder"), 9);
}

// Each row its own value: more rows than one statement takes, a key given
// twice, a key not there, a text column; the open snapshot follows.
TEST_F(CBulkWriteTest, RowsByKeyTakeEachItsOwnValue)
{
    Fill(0, 600);
    auto* t = Handler().Get_Ptr_To_tblTransponder();
    ASSERT_TRUE(t->Open());
    std::vector<std::pair<qint32, QVariant>> values;
    for (qint32 key = 1; key <= 600; ++key)
        values.emplace_back(key, 1000 + key);
    values.emplace_back(5, 2);
    values.emplace_back(99999, 3);
    EXPECT_EQ(CBulkWriter(*t).UpdateRowsByKey(QStringLiteral("Person_ID"), values), 600);
    EXPECT_EQ(Stored("tblTransponder WHERE Person_ID = 1000 + ID_Transponder"), 599);
    EXPECT_EQ(Stored("tblTransponder WHERE ID_Transponder = 5 AND Person_ID = 2"), 1);
    ASSERT_TRUE(t->MoveToKey(400));
    EXPECT_EQ(t->Person_ID, 1400);

    EXPECT_EQ(CBulkWriter(*t).UpdateRowsByKey(QStringLiteral("strLeser_IDS"), {{3, QStringLiteral("9;")}, {4, QStringLiteral("")}}), 2);
    EXPECT_EQ(Stored("tblTransponder WHERE strLeser_IDS = '9;'"), 1);
    EXPECT_EQ(Stored("tblTransponder WHERE strLeser_IDS = ''"), 1);
    EXPECT_THROW(CBulkWriter(*t).UpdateRowsByKey(QStringLiteral("ID_Transponder"), {{1, 2}}), CDBException);
}

TEST_F(CBulkWriteTest, EachKeyWithItsOwnValueReachesDatabaseAndCache)
{
    Fill(0, 600);
    auto& h = Handler();
    auto* t = h.Get_Ptr_To_tblTransponder();
    std::vector<std::pair<qint32, QVariant>> lists;
    for (qint32 key = 1; key <= 600; key += 2)
        lists.emplace_back(key, QStringLiteral("%1;").arg(key));
    lists.emplace_back(7, QStringLiteral("")); // the last value of a key stays
    lists.emplace_back(99999, QStringLiteral("1;"));
    EXPECT_EQ(t->UpdateEachByKey(QStringLiteral("strLeser_IDS"), lists), 300);
    EXPECT_EQ(Stored("tblTransponder WHERE strLeser_IDS = '1;2;'"), 300);
    EXPECT_EQ(Stored("tblTransponder WHERE strLeser_IDS = ''"), 1);
    EXPECT_EQ(t->FindByKey(9)->Leser_IDS, QStringLiteral("9;"));
    EXPECT_EQ(t->FindByKey(7)->Leser_IDS, QString());
    EXPECT_EQ(t->FindByKey(8)->Leser_IDS, QStringLiteral("1;2;"));

    // Undone with the caller's transaction, the cache reads the table again.
    {
        CTransaction transaction(h.GetDatabase());
        t->UpdateEachByKey(QStringLiteral("strLeser_IDS"), {{8, QStringLiteral("5;")}});
        EXPECT_EQ(t->FindByKey(8)->Leser_IDS, QStringLiteral("5;"));
    }
    EXPECT_EQ(t->FindByKey(8)->Leser_IDS, QStringLiteral("1;2;"));
    EXPECT_THROW(t->UpdateEachByKey(QStringLiteral("ID_Transponder"), {{1, 2}}), CDBException);
}

TEST_F(CBulkWriteTest, ARolledBackTransactionTakesTheCacheBackToTheDatabase)
{
    Fill(9, 4);
    auto& h = Handler();
    auto* e = h.Get_Ptr_To_tblEvents();
    auto* t = h.Get_Ptr_To_tblTransponder();
    {
        CTransaction transaction(h.GetDatabase());
        e->DeleteWhere(QStringLiteral("Leser_ID"), 3);
        t->UpdateColumnsWhere(QStringLiteral("Person_ID"), 7, {{QStringLiteral("Person_ID"), 0}});
        EXPECT_EQ(e->GetAnz_Events(), 6);
        // No Commit: the scope ends as a failure would end it.
    }
    EXPECT_EQ(e->GetAnz_Events(), 9);
    EXPECT_EQ(t->Get_Transponder(0)->Person_ID, 7);
    EXPECT_EQ(Stored("tblEvents"), 9);

    // A bulk write that fails changes neither side.
    Sql("DROP TABLE tblTransponder");
    EXPECT_THROW(t->DeleteWhere(QStringLiteral("Person_ID"), 7), CDBException);
    EXPECT_EQ(t->GetAnz_Transponder(), 4);
}

TEST_F(CBulkWriteTest, KeyedAndAppendOnlyOpensFetchOnlyWhatIsAsked)
{
    Fill(1200, 0);
    auto& h = Handler();
    auto* e = h.Get_Ptr_To_tblEvents();

    ASSERT_TRUE(e->OpenAppendOnly());
    EXPECT_EQ(e->GetRecordCount(), 0);
    EXPECT_TRUE(e->IsEOF());
    e->AddNew();
    e->strDatum = QStringLiteral("appended");
    e->Leser_ID = 9;
    e->Update();
    EXPECT_EQ(e->GetRecordCount(), 0);

    ASSERT_TRUE(e->OpenWhere(QStringLiteral("Leser_ID"), 9));
    ASSERT_EQ(e->GetRecordCount(), 1);
    EXPECT_EQ(e->strDatum, QStringLiteral("appended"));

    // More keys than one statement takes; repeated keys give one row each.
    QList<qint32> keys;
    for (qint32 k = 1; k <= 1100; ++k)
        keys << k;
    keys << 5 << 99999;
    ASSERT_TRUE(e->OpenKeys(keys));
    EXPECT_EQ(e->GetRecordCount(), 1100);
    EXPECT_EQ(e->ID_Events, 1);
    e->MoveLast();
    EXPECT_EQ(e->ID_Events, 1100);
    ASSERT_TRUE(e->Requery());
    EXPECT_EQ(e->GetRecordCount(), 1100);

    // The snapshot follows the bulk writes made through it.
    CBulkWriter(*e).UpdateRows(QStringLiteral("Leser_ID"), {1}, {{QStringLiteral("strEvent1"), QStringLiteral("x")}});
    e->MoveFirst();
    EXPECT_EQ(e->strEvent1, QStringLiteral("x"));
    CBulkWriter(*e).DeleteRows(QStringLiteral("ID_Events"), {1, 2});
    e->MoveFirst();
    EXPECT_EQ(e->ID_Events, 3);

    EXPECT_FALSE(e->OpenWhere(QStringLiteral("NoSuchColumn"), 1));
    EXPECT_TRUE(e->GetLastError().contains(QLatin1String("NoSuchColumn")));
    e->Close();
}

TEST_F(CBulkWriteTest, CacheRemoveIfAndFindByKeyAgreeWithRemoveAt)
{
    Fill(0, 0);
    auto& h = Handler();
    auto* s = h.Get_Ptr_To_tblZeitschema();
    for (int i = 0; i < 8; ++i)
        s->Set_Zeitschema(2 + i / 4, 100 + i, QStringLiteral("S"), {}, {}, 0, 0, 0, 0, 0, 0, 0, 0);
    // Schema 2 (rows 4..7 of the cache) goes: the rest count in fours again.
    EXPECT_EQ(s->RemoveIf([](const CtblZeitschema::structZeitschema& r) { return r.ID_Zeitschema < 104 && r.ID_Zeitschema >= 100; }), 4);
    std::vector<qint32> numbers;
    for (int i = 0; i < s->GetAnz_Zeitschema(); ++i)
        numbers.push_back(s->Get_Zeitschema(i)->nNr);
    EXPECT_EQ(numbers, (std::vector<qint32>{1, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_EQ(s->IndexOfKey(105), 5);
    EXPECT_EQ(s->FindByKey(1)->Bezeichnung, QStringLiteral("Vollzugriff"));
    EXPECT_EQ(s->IndexOfKey(100), -1);
    EXPECT_EQ(s->RemoveIf([](const auto&) { return false; }), 0);
}
