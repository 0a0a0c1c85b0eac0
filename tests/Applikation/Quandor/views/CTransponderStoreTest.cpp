// The transponder writes start from the rows as stored: another PC changes
// lists, adds and deletes rows after this program read the table, and no
// write may lose what it did. Marks go to exactly the transponders changed
// and the readers concerned; the cache shows what was stored. Runs on the
// embedded file and (a run with the server backend) on the database server.
#include "FerroldTestDb.h"
#include "CTransponderStore.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <functional>

namespace {

using Failure = CTransponderStore::Failure;

// What the table says of each transponder, "person|schema|list|mark", of the
// persons' transponders and of the readers' marks.
struct Stored
{
    QStringList transponders;
    QStringList persons;
    QStringList readerMarks;
};

struct Case
{
    const char* name;
    QStringList otherPc; // run after this program read the table
    std::function<bool(CTransponderStore&)> write;
    Failure failure;
    unsigned int missingText;
    Stored expected;
    int changed = -1; // assign or withdraw all: rows changed
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class TransponderStoreFixture : public FerroldTest
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        // Readers 1 to 3; schema 5 "Nacht"; Anna holds T1; T1 is for reader
        // 1, T2 for 2, T3 for 1 and 2, T4 for none.
        Sql("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, boolUpdateOK) VALUES"
            " (1,'A','Kite',0),(2,'B','Heron',0),(3,'C','Egret',0)");
        Sql("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung) VALUES"
            " (5,'Nacht'),(6,'Nacht'),(7,'Nacht'),(8,'Nacht')");
        Sql("INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0)");
        Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
            " strLeser_IDS, boolUpdateOK) VALUES"
            " (1,'00000000AA',1,1,'1',0),(2,'00000000BB',0,1,'2',0),(3,'00000000CC',0,5,'1;2',0),"
            " (4,'00000000DD',0,1,'',0)");
    }

    Stored Table()
    {
        return {Rows("SELECT Person_ID, Zeitfenster_ID, strLeser_IDS, boolUpdateOK FROM tblTransponder"
                     " ORDER BY ID_Transponder"),
                Rows("SELECT Transponder_ID FROM tblPerson ORDER BY ID_Person"),
                Rows("SELECT boolUpdateOK FROM tblLeser ORDER BY ID_Leser")};
    }
    static Stored Cache(CFerrold_Handler& h)
    {
        Stored cache;
        CtblTransponder* transponders = h.Get_Ptr_To_tblTransponder();
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i) {
            const auto* row = transponders->Get_Transponder(i);
            cache.transponders << QStringLiteral("%1|%2|%3|%4")
                                      .arg(row->Person_ID)
                                      .arg(row->Zeitfenster_ID)
                                      .arg(row->Leser_IDS)
                                      .arg(row->UpdateOK);
        }
        for (int i = 0; i < h.Get_Ptr_To_tblPerson()->GetAnz_Person(); ++i)
            cache.persons << QString::number(h.Get_Ptr_To_tblPerson()->Get_Person(i)->Transponder_ID);
        for (int i = 0; i < h.Get_Ptr_To_tblLeser()->GetAnz_Leser(); ++i)
            cache.readerMarks << QString::number(h.Get_Ptr_To_tblLeser()->Get_Leser(i)->UpdateOK);
        return cache;
    }
    static void ExpectEqual(const Stored& actual, const Stored& expected, const char* what)
    {
        EXPECT_EQ(actual.transponders, expected.transponders) << what;
        EXPECT_EQ(actual.persons, expected.persons) << what;
        EXPECT_EQ(actual.readerMarks, expected.readerMarks) << what;
    }
};

class CTransponderStoreTest : public TransponderStoreFixture, public ::testing::WithParamInterface<Case>
{
};

TEST_P(CTransponderStoreTest, WritesFromTheStoredRows)
{
    const Case& c = GetParam();
    CFerrold_Handler& h = Handler();
    const Stored cached = Cache(h);
    for (const QString& statement : c.otherPc)
        Sql(statement);
    CTransponderStore store(&h);
    const bool ok = c.write(store);
    EXPECT_EQ(ok, c.failure == Failure::None) << store.LastError().toStdString();
    EXPECT_EQ(store.LastFailure(), c.failure);
    EXPECT_EQ(store.MissingText(), c.missingText);
    ExpectEqual(Table(), c.expected, "stored");
    if (c.changed >= 0) {
        EXPECT_EQ(store.ChangedRows(), c.changed);
    }
    ExpectEqual(Cache(h), ok ? Table() : cached, ok ? "the cache shows what was stored" : "a failure leaves the cache as it was");
}

const QString kBB23 = "UPDATE tblTransponder SET strLeser_IDS = '2;3' WHERE ID_Transponder = 2";

INSTANTIATE_TEST_SUITE_P(
    Writes, CTransponderStoreTest,
    ::testing::Values(
        Case{"TickMarksTheTransponderAndThatReader", {kBB23}, [](CTransponderStore& s) { return s.SetReader(2, 1, true); },
             Failure::None, 0, {{"1|1|1|0", "0|1|2;3;1|1", "0|5|1;2|0", "0|1||0"}, {"1", "0"}, {"1", "0", "0"}}},
        Case{"Untick",
             {"UPDATE tblTransponder SET strLeser_IDS = '1;2;3' WHERE ID_Transponder = 3"},
             [](CTransponderStore& s) { return s.SetReader(3, 2, false); }, Failure::None, 0,
             {{"1|1|1|0", "0|1|2|0", "0|5|1;3|1", "0|1||0"}, {"1", "0"}, {"0", "1", "0"}}},
        Case{"SchemaMarksTheReadersOfTheStoredList", {kBB23}, [](CTransponderStore& s) { return s.SetSchema(2, 5); },
             Failure::None, 0, {{"1|1|1|0", "0|5|2;3|1", "0|5|1;2|0", "0|1||0"}, {"1", "0"}, {"0", "1", "1"}}},
        Case{"PersonLinksBothSidesAndMarksNothing", {}, [](CTransponderStore& s) { return s.SetPerson(2, 2); },
             Failure::None, 0, {{"1|1|1|0", "2|1|2|0", "0|5|1;2|0", "0|1||0"}, {"1", "2"}, {"0", "0", "0"}}},
        Case{"NoPerson", {}, [](CTransponderStore& s) { return s.SetPerson(1, 0); }, Failure::None, 0,
             {{"0|1|1|0", "0|1|2|0", "0|5|1;2|0", "0|1||0"}, {"0", "0"}, {"0", "0", "0"}}},
        Case{"LearningAddsTheReaderToTheStoredList", {kBB23},
             [](CTransponderStore& s) { return s.Learn("00000000BB", 1, 2); }, Failure::None, 0,
             {{"1|1|1|0", "0|1|2;3;1|1", "0|5|1;2|0", "0|1||0"}, {"1", "0"}, {"1", "0", "0"}}},
        Case{"LearningAListedReaderMarksOnlyTheReader", {},
             [](CTransponderStore& s) { return s.Learn("00000000CC", 2, 3); }, Failure::None, 0,
             {{"1|1|1|0", "0|1|2|0", "0|5|1;2|0", "0|1||0"}, {"1", "0"}, {"0", "1", "0"}}},
        Case{"LearningANewNumber", {}, [](CTransponderStore& s) { return s.Learn("00000000EE", 3, 0); }, Failure::None,
             0, {{"1|1|1|0", "0|1|2|0", "0|5|1;2|0", "0|1||0", "0|1|3|1"}, {"1", "0"}, {"0", "0", "1"}}},
        Case{"ATransponderDeletedMeanwhile",
             {"DELETE FROM tblTransponder WHERE ID_Transponder = 2"},
             [](CTransponderStore& s) { return s.SetReader(2, 1, true); }, Failure::NotFound, 75,
             {{"1|1|1|0", "0|5|1;2|0", "0|1||0"}, {"1", "0"}, {"0", "0", "0"}}},
        // The old holder's link was cleared first: undone with the rest.
        Case{"APersonDeletedMeanwhile",
             {"DELETE FROM tblPerson WHERE ID_Person = 2"},
             [](CTransponderStore& s) { return s.SetPerson(1, 2); }, Failure::NotFound, 77,
             {{"1|1|1|0", "0|1|2|0", "0|5|1;2|0", "0|1||0"}, {"1"}, {"0", "0", "0"}}},
        // Every record of the table, also one the cache does not know.
        Case{"AssignAll",
             {"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS)"
              " VALUES (5,'00000000EE',1,'1')",
              "UPDATE tblTransponder SET strLeser_IDS = '7' WHERE ID_Transponder = 2"},
             [](CTransponderStore& s) { return s.ChangeAll(true, 3); }, Failure::None, 0,
             {{"1|1|1;3|1", "0|1|7;3|1", "0|5|1;2;3|1", "0|1|3|1", "0|1|1;3|1"}, {"1", "0"}, {"0", "0", "1"}}, 5},
        Case{"AssignAllToAReaderMostHold", {}, [](CTransponderStore& s) { return s.ChangeAll(true, 2); },
             Failure::None, 0, {{"1|1|1;2|1", "0|1|2|0", "0|5|1;2|0", "0|1|2|1"}, {"1", "0"}, {"0", "1", "0"}}, 2},
        // The reader's piece anywhere in the list, and more than once.
        Case{"WithdrawAll",
             {"UPDATE tblTransponder SET strLeser_IDS = '1;2;1;3' WHERE ID_Transponder = 4",
              "UPDATE tblTransponder SET strLeser_IDS = '2;3' WHERE ID_Transponder = 2"},
             [](CTransponderStore& s) { return s.ChangeAll(false, 1); }, Failure::None, 0,
             {{"1|1||1", "0|1|2;3|0", "0|5|2|1", "0|1|2;3|1"}, {"1", "0"}, {"1", "0", "0"}}, 3},
        Case{"WithdrawAllFromAReaderNoneHolds", {}, [](CTransponderStore& s) { return s.ChangeAll(false, 3); },
             Failure::None, 0, {{"1|1|1|0", "0|1|2|0", "0|5|1;2|0", "0|1||0"}, {"1", "0"}, {"0", "0", "0"}}, 0}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A write the database refuses changes nothing and gives the database's text.
class CTransponderStoreCommandsTest : public TransponderStoreFixture
{
};

TEST_F(CTransponderStoreCommandsTest, ARefusedWriteChangesNothing)
{
    CFerrold_Handler& h = Handler();
    const Stored before = Table();
    Refuse("refuse", "UPDATE", "tblLeser", QString(), "Leser gesperrt");
    CTransponderStore store(&h);
    const std::vector<std::pair<const char*, std::function<bool()>>> writes = {
        {"tick", [&] { return store.SetReader(4, 3, true); }},
        {"schema", [&] { return store.SetSchema(2, 5); }},
        {"assign all", [&] { return store.ChangeAll(true, 3); }},
        {"learn", [&] { return store.Learn("00000000EE", 3, 0); }},
    };
    for (const auto& [what, write] : writes) {
        EXPECT_FALSE(write()) << what;
        EXPECT_EQ(store.LastFailure(), Failure::Write) << what;
        EXPECT_TRUE(store.LastError().contains("Leser gesperrt")) << what << ": " << store.LastError().toStdString();
        ExpectEqual(Table(), before, what);
        ExpectEqual(Cache(h), before, what);
    }
}

// More rows than the one statement may leave out: every changed row gets
// its own list, and the rows that keep theirs are not written.
TEST_F(CTransponderStoreCommandsTest, ManyRowsOutsideTheOneStatement)
{
    // 1,200 more: the even ones name reader 1 twice, last at the end (the
    // statement would keep the first), the odd ones only reader 2.
    QStringList values;
    for (int id = 10; id < 1210; ++id)
        values << QStringLiteral("(%1,'%2',1,'%3')").arg(id).arg(id, 10, 16, QChar('0')).arg(id % 2 ? "2" : "1;3;1");
    Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS) VALUES "
        + values.join(','));
    CFerrold_Handler& h = Handler();
    CTransponderStore store(&h);
    const auto lists = [this] {
        QMap<QString, int> count;
        for (const QString& row : Rows("SELECT strLeser_IDS, boolUpdateOK FROM tblTransponder WHERE ID_Transponder >= 10"))
            ++count[row];
        return count;
    };
    ASSERT_TRUE(store.ChangeAll(false, 1)) << store.LastError().toStdString();
    EXPECT_EQ(store.ChangedRows(), 602);
    EXPECT_EQ(lists(), (QMap<QString, int>{{"3|1", 600}, {"2|0", 600}}));
    // The even ones hold reader 3 already: left as they are.
    ASSERT_TRUE(store.ChangeAll(true, 3)) << store.LastError().toStdString();
    EXPECT_EQ(store.ChangedRows(), 604);
    EXPECT_EQ(lists(), (QMap<QString, int>{{"3|1", 600}, {"2;3|1", 600}}));
    EXPECT_EQ(Rows("SELECT strLeser_IDS FROM tblTransponder WHERE ID_Transponder < 10 ORDER BY ID_Transponder"),
              (QStringList{"3", "2;3", "2;3", "3"}));
    ExpectEqual(Cache(h), Table(), "the cache shows what was stored");
}

// The readers to write again are those of the lists as stored: a reader
// another PC gave the transponder would otherwise keep admitting it.
TEST_F(CTransponderStoreCommandsTest, ADeletionMarksTheReadersOfTheStoredLists)
{
    CFerrold_Handler& h = Handler();
    Sql(kBB23);
    CTransponderStore store(&h);
    int busy = 0;
    int refills = 0;
    const std::vector<qint32> keys{2};
    EXPECT_EQ(store.Delete(&keys, &busy, [&] { ++refills; }).deleted, 1);
    EXPECT_EQ(Table().readerMarks, (QStringList{"0", "1", "1"}));

    Sql("UPDATE tblLeser SET boolUpdateOK = 0");
    Sql("UPDATE tblTransponder SET strLeser_IDS = '3' WHERE ID_Transponder = 4");
    EXPECT_EQ(store.Delete(nullptr, &busy, [&] { ++refills; }).deleted, 3);
    const Stored after = Table();
    EXPECT_TRUE(after.transponders.isEmpty());
    EXPECT_EQ(after.persons, (QStringList{"0", "0"}));
    EXPECT_EQ(after.readerMarks, (QStringList{"1", "1", "1"}));
    EXPECT_EQ(refills, 2);
    EXPECT_EQ(busy, 0);
    EXPECT_EQ(h.Get_Ptr_To_tblTransponder()->GetAnz_Transponder(), 0);
}

} // namespace
