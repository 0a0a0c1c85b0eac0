#include "FerroldTestDb.h"

#include "CTransaction.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <stdexcept>

// A file changed by another program, or by another writer while a set is
// open: no row is read as another, no write is reported that did not happen,
// and nothing undone stays on show.
class CRecordsetSecondWriterTest : public FerroldTest
{
protected:
    int StoredInt(const QString& sql)
    {
        if (Postgres()) {
            QString error;
            const QStringList rows = TestEnvironment::PostgresRows(m_server, ServerSql(sql), &error);
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
            return rows.size() == 1 ? rows[0].toInt() : -1;
        }
        const QString name = QStringLiteral("test-value");
        int value = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_file);
            db.open();
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(name);
        return value;
    }

    // Expects body to throw CDBException whose text holds "part".
    template <class Body>
    static void ExpectRefused(Body body, const char* part)
    {
        try {
            body();
            ADD_FAILURE() << "no exception; expected one saying " << part;
        } catch (const CDBException& e) {
            EXPECT_TRUE(e.m_strError.contains(QLatin1String(part))) << e.m_strError.toStdString();
        }
    }
};

TEST_F(CRecordsetSecondWriterTest, AKeyOrNumberWiderThan32BitsIsRefusedNeverCut)
{
    // The server's tables as the project creates them cannot hold such a
    // value; a site's own tables may have wider columns.
    if (Postgres())
        SqlAll({"ALTER TABLE tblPerson ALTER COLUMN ID_Person TYPE bigint",
                "ALTER TABLE tblTransponder ALTER COLUMN Person_ID TYPE bigint"});
    // Cut to 32 bits, 4294967297 would be the key 1 of the other row.
    Sql("INSERT INTO tblPerson (ID_Person, strName) VALUES (1, 'One'), (4294967297, 'Wide')");
    Sql("INSERT INTO tblLeser (ID_Leser, strBezeichnung) VALUES (1, 'Tor')");
    Sql("INSERT INTO tblTransponder (strTransponderNummer, Person_ID) VALUES ('0000000001', 4294967297)");
    auto& h = Handler();
    for (CFerrold_Base* t : {static_cast<CFerrold_Base*>(h.Get_Ptr_To_tblPerson()),
                             static_cast<CFerrold_Base*>(h.Get_Ptr_To_tblTransponder())}) {
        EXPECT_TRUE(t->LastReadFailed());
        EXPECT_FALSE(t->Open());
        EXPECT_TRUE(t->GetLastError().contains("4294967297")) << t->GetLastError().toStdString();
    }
    EXPECT_FALSE(h.Get_Ptr_To_tblLeser()->LastReadFailed());

    // A table whose next key would be that wide takes no new row.
    Sql("DELETE FROM tblPerson");
    auto* p = h.Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());
    p->AddNew();
    p->strName = QStringLiteral("Next");
    ExpectRefused([&] { p->Update(); }, "32-bit");
    EXPECT_EQ(StoredInt("SELECT COUNT(*) FROM tblPerson"), 0);
}

TEST_F(CRecordsetSecondWriterTest, WritesToARowAnotherWriterRemovedFail)
{
    Sql("INSERT INTO tblPerson (ID_Person, strName) VALUES (1, 'A'), (2, 'B'), (3, 'C')");
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());

    Sql("DELETE FROM tblPerson WHERE ID_Person IN (1, 2)");
    ASSERT_TRUE(p->MoveToKey(1));
    ExpectRefused([&] { p->Edit(); }, "no longer exists");
    ASSERT_TRUE(p->MoveToKey(2));
    ExpectRefused([&] { p->Delete(); }, "no longer exists");

    // Removed between Edit and Update.
    ASSERT_TRUE(p->MoveToKey(3));
    p->Edit();
    Sql("DELETE FROM tblPerson WHERE ID_Person = 3");
    p->strName = QStringLiteral("Changed");
    ExpectRefused([&] { p->Update(); }, "no longer exists");
    EXPECT_EQ(StoredInt("SELECT COUNT(*) FROM tblPerson"), 0);

    // The keyed write of one row says so too.
    ExpectRefused([&] { p->UpdateKey(3, {{QStringLiteral("strName"), QStringLiteral("X")}}); }, "no longer exists");
    EXPECT_EQ(p->DeleteWhereKeys({1, 2, 3}), 0);
}

TEST_F(CRecordsetSecondWriterTest, AWriteSendsWhatTheCallerSetWhateverTheSetLastRead)
{
    Sql("INSERT INTO tblLeser (ID_Leser, strBezeichnung, boolUpdateOK) VALUES (1, 'Tor', 1)");
    auto* l = Handler().Get_Ptr_To_tblLeser();
    ASSERT_TRUE(l->Open());
    ASSERT_EQ(l->boolUpdateOK, 1);
    Sql("UPDATE tblLeser SET boolUpdateOK = 0, strModus = 'other' WHERE ID_Leser = 1");
    l->Edit();
    l->boolUpdateOK = 1;
    EXPECT_TRUE(l->Update());
    EXPECT_EQ(StoredInt("SELECT boolUpdateOK FROM tblLeser WHERE ID_Leser = 1"), 1);
    // The other writer's column is kept.
    EXPECT_EQ(StoredInt("SELECT COUNT(*) FROM tblLeser WHERE strModus = 'other'"), 1);
}

TEST_F(CRecordsetSecondWriterTest, AnOpenSetShowsNoRowsOfARolledBackTransaction)
{
    Sql("INSERT INTO tblPerson (ID_Person, strName) VALUES (1, 'Kept')");
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());

    ASSERT_TRUE(h.GetDatabase()->BeginTrans());
    p->AddNew();
    p->strName = QStringLiteral("Undone");
    p->Update();
    ASSERT_TRUE(p->Requery());
    ASSERT_EQ(p->GetRecordCount(), 2);
    ASSERT_TRUE(h.GetDatabase()->Rollback());
    EXPECT_EQ(p->GetRecordCount(), 1);
    EXPECT_EQ(p->strName, QStringLiteral("Kept"));

    // Any exception ends the scope the same way.
    try {
        CTransaction transaction(h.GetDatabase());
        p->MoveFirst();
        p->Delete();
        throw std::runtime_error("not a database error");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(p->GetRecordCount(), 1);
    EXPECT_FALSE(p->IsDeleted());
    EXPECT_EQ(p->strName, QStringLiteral("Kept"));
}

TEST_F(CRecordsetSecondWriterTest, AMissingColumnIsAddedToTheFileOrNamedAsTheReason)
{
    Sql("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strParameter) VALUES (1, 'Tor', 'x')");
    Sql("ALTER TABLE tblLeser DROP COLUMN strParameter");
    auto& h = Handler();
    if (Odbc() || Postgres()) {
        // A data source brings its own tables; the program never changes them.
        EXPECT_FALSE(h.IsUsable());
        ASSERT_EQ(Messages().size(), 1);
        EXPECT_TRUE(Messages()[0].contains("strParameter")) << Messages()[0].toStdString();
        EXPECT_EQ(StoredInt(Postgres() ? "SELECT COUNT(*) FROM information_schema.columns "
                                         "WHERE table_name = 'tblLeser' AND column_name = 'strParameter'"
                                       : "SELECT COUNT(*) FROM pragma_table_info('tblLeser') WHERE name = 'strParameter'"),
                  0);
        return;
    }
    EXPECT_TRUE(h.IsUsable()) << Messages().join('\n').toStdString();
    auto* l = h.Get_Ptr_To_tblLeser();
    ASSERT_EQ(l->GetAnz_Leser(), 1);
    EXPECT_EQ(l->Get_Leser(0)->Bezeichnung, QStringLiteral("Tor"));
    EXPECT_EQ(l->Get_Leser(0)->Parameter, QString());

    // Lost while running: the read fails naming the column, never showing
    // the column's own name as its value.
    ClearMessages();
    Sql("ALTER TABLE tblLeser DROP COLUMN strModus");
    EXPECT_FALSE(l->Open());
    EXPECT_TRUE(l->GetLastError().contains("strModus")) << l->GetLastError().toStdString();
    l->_Requery();
    EXPECT_TRUE(l->LastReadFailed());
}
