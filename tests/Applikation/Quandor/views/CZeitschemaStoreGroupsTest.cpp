// Time schemas are groups of four rows by identity, not every four rows in
// key order: a row missing from one schema (deleted by hand, a failed write
// of another PC) must not make the next schema's rows look like its own.
#include "FerroldTestDb.h"
#include "CZeitschemaStore.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

namespace {

class CZeitschemaStoreGroupsTest : public FerroldTest
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        Sql("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis) VALUES"
            " (5,'Spät','1400','2200'),(6,'Spät','',''),(7,'Spät','',''),(8,'Spät','',''),"
            " (9,'Nacht','2200','0500'),(10,'Nacht','',''),(11,'Nacht','',''),(12,'Nacht','','')");
        Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID) VALUES"
            " (1,'00000000AA',9),(2,'00000000BB',5)");
    }

    QStringList Names()
    {
        return Rows(QStringLiteral("SELECT ID_Zeitschema, strBezeichnung, strVon FROM tblZeitschema ORDER BY ID_Zeitschema"));
    }
    int BrokenReports() { return int(Messages().filter(QStringLiteral("Nacht")).size()); }
};

TEST_F(CZeitschemaStoreGroupsTest, ARowMissingFromOneSchemaLeavesTheOthersWholeAndIsReportedOnce)
{
    Sql("DELETE FROM tblZeitschema WHERE ID_Zeitschema = 10");
    auto& h = Handler();
    CtblZeitschema* schemas = h.Get_Ptr_To_tblZeitschema();
    ASSERT_EQ(schemas->GetAnz_Zeitschema(), 8) << "the built-in schema and Spät";
    EXPECT_EQ(schemas->Get_Zeitschema(4)->Bezeichnung, "Spät");
    EXPECT_EQ(schemas->Get_Zeitschema(7)->ID_Zeitschema, 8);
    EXPECT_EQ(schemas->BrokenSchemas(), QStringList({"Nacht"}));
    EXPECT_EQ(BrokenReports(), 1) << Messages().join('\n').toStdString();
    schemas->_Requery();
    EXPECT_EQ(BrokenReports(), 1) << "said once, not at every re-read";

    // Commands address whole schemas only; Spät's rows stay Spät's.
    CZeitschemaStore store(&h);
    ASSERT_EQ(store.SchemaCount(), 2);
    ASSERT_TRUE(store.Rename(1, "Früh"));
    ASSERT_TRUE(store.StoreCell(1, 3, 4, "05"));
    EXPECT_EQ(Names(), QStringList({"1|Vollzugriff|0000", "2|Vollzugriff|0000", "3|Vollzugriff|0000",
                                    "4|Vollzugriff|0000", "5|Früh|1400", "6|Früh|", "7|Früh|", "8|Früh|0500",
                                    "9|Nacht|2200", "11|Nacht|", "12|Nacht|"}));

    // Repaired by hand: whole again, and a new fault is said again.
    Sql("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung) VALUES (10,'Nacht')");
    schemas->_Requery();
    EXPECT_TRUE(schemas->BrokenSchemas().isEmpty());
    EXPECT_EQ(store.SchemaCount(), 3);
    Sql("DELETE FROM tblZeitschema WHERE ID_Zeitschema = 12");
    schemas->_Requery();
    EXPECT_EQ(BrokenReports(), 2);
}

TEST_F(CZeitschemaStoreGroupsTest, NoCommandWritesThroughAGroupBrokenSinceTheCacheWasRead)
{
    auto& h = Handler();
    CZeitschemaStore store(&h);
    ASSERT_EQ(store.SchemaCount(), 3);
    const QStringList before = Names();
    // Another PC deletes a row of Nacht after this program read the table.
    Sql("DELETE FROM tblZeitschema WHERE ID_Zeitschema = 11");
    const QStringList broken = Names();
    EXPECT_FALSE(store.Rename(2, "Spätnacht"));
    EXPECT_FALSE(store.StoreCell(2, 0, 4, "23"));
    EXPECT_FALSE(store.Reset(2));
    const auto outcome = store.Delete({9});
    EXPECT_TRUE(outcome.deleted.isEmpty());
    EXPECT_EQ(Names(), broken) << "nothing written through the broken group";
    EXPECT_EQ(store.LastFailure(), CZeitschemaStore::Failure::Write);
    // The transponder keeps its schema.
    EXPECT_EQ(h.Get_Ptr_To_tblTransponder()->FindByKey(1)->Zeitfenster_ID, 9);
    EXPECT_EQ(before.size(), broken.size() + 1);
}

TEST_F(CZeitschemaStoreGroupsTest, ANewSchemaTakesFourConsecutiveKeys)
{
    auto& h = Handler();
    CZeitschemaStore store(&h);
    const qint32 identity = store.Add("Früh");
    ASSERT_NE(identity, 0) << store.LastError().toStdString();
    const qint32 copy = store.Copy(1, "Spät 2");
    ASSERT_EQ(copy, identity + 4);
    const QStringList rows = Names();
    ASSERT_EQ(rows.size(), 20);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(rows[12 + r].section('|', 0, 0).toInt(), identity + r);
    EXPECT_EQ(h.Get_Ptr_To_tblZeitschema()->GetAnz_Zeitschema(), 20);
}

} // namespace
