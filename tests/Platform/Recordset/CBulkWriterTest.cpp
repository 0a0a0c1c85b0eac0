#include "PersonRowsTest.h"

#include "CBulkWriter.h"
#include "CTransaction.h"
#include "CtblTransponder.h"

#include <map>
#include <stdexcept>

// Writes of many rows without reading the table whole, and the transaction
// scope they run in, on every back end.
class CBulkWriterTest : public PersonRowsTest
{
};

TEST_F(CBulkWriterTest, DeleteKeysDeletesWhatItCanAndNamesEachKeyThatStays)
{
    // More keys than one statement takes, a key without a row, a refused row.
    AddPersons(1000);
    RefuseDeleting(700);
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    std::vector<qint32> keys;
    for (int i = 2; i <= 1000; i += 2)
        keys.push_back(i);
    keys.push_back(5000);

    std::map<qint32, QString> failures;
    CTransaction transaction(h.GetDatabase());
    ASSERT_TRUE(transaction.IsActive());
    const std::vector<qint32> deleted =
        CBulkWriter(*p).DeleteKeys(keys, [&](qint32 key, const QString& error) { failures[key] = error; });
    ASSERT_TRUE(transaction.Commit());

    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[5000], QString());
    EXPECT_TRUE(failures[700].contains("person 700 is protected")) << failures[700].toStdString();
    EXPECT_EQ(deleted.size(), 499u);
    EXPECT_EQ(std::count(deleted.begin(), deleted.end(), 700), 0);
    EXPECT_FALSE(p->IsOpen()) << "the table was not read into the set";

    const std::vector<qint32> stored = StoredPersons();
    EXPECT_EQ(stored.size(), 501u);
    for (qint32 key : stored)
        EXPECT_TRUE(key % 2 == 1 || key == 700) << key;
}

TEST_F(CBulkWriterTest, UpdateWhereChangesTheRowsWithTheValuesOrEveryRow)
{
    Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID) VALUES "
        "(1,'A',1),(2,'B',2),(3,'C',2),(4,'D',3),(5,'E',0)");
    auto& h = Handler();
    auto* t = h.Get_Ptr_To_tblTransponder();
    const std::vector<QVariant> persons = {2, 9};
    EXPECT_EQ(CBulkWriter(*t).UpdateWhere("[Person_ID]", 0, "[Person_ID]", &persons), 2);
    t->_Requery();
    std::vector<qint32> links;
    for (int i = 0; i < t->GetAnz_Transponder(); ++i)
        links.push_back(t->Get_Transponder(i)->Person_ID);
    EXPECT_EQ(links, (std::vector<qint32>{1, 0, 0, 3, 0}));

    EXPECT_EQ(CBulkWriter(*t).UpdateWhere("Person_ID", 0, QString(), nullptr), 5);
    t->_Requery();
    for (int i = 0; i < t->GetAnz_Transponder(); ++i)
        EXPECT_EQ(t->Get_Transponder(i)->Person_ID, 0);

    Refuse("frozen", "UPDATE", "tblTransponder", QString(), "frozen");
    EXPECT_THROW(CBulkWriter(*t).UpdateWhere("Person_ID", 1, QString(), nullptr), CDBException);
}

TEST_F(CBulkWriterTest, DeleteAllRowsIsOneStatementThatARefusedRowUndoes)
{
    AddPersons(50);
    RefuseDeleting(7);
    auto* p = Handler().Get_Ptr_To_tblPerson();
    EXPECT_THROW(CBulkWriter(*p).DeleteAllRows(), CDBException);
    EXPECT_EQ(StoredPersons().size(), 50u);
    std::vector<qint32> keys;
    ASSERT_TRUE(p->ReadKeys(&keys));
    ASSERT_EQ(keys.size(), 50u);
    EXPECT_EQ(keys.front(), 1);
    EXPECT_EQ(keys.back(), 50);
    DropRefusal("refuse", "tblPerson");
    EXPECT_EQ(CBulkWriter(*p).DeleteAllRows(), 50);
    EXPECT_TRUE(StoredPersons().empty());
}

TEST_F(CBulkWriterTest, ATransactionScopeRollsBackUnlessCommittedAndJoinsAnOuterOne)
{
    AddPersons(10);
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    try {
        CTransaction transaction(h.GetDatabase());
        CBulkWriter(*p).DeleteKeys({1, 2, 3}, nullptr);
        throw std::runtime_error("not a database error");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(h.GetDatabase()->InTransaction());
    EXPECT_EQ(StoredPersons().size(), 10u);

    {
        CTransaction outer(h.GetDatabase());
        {
            CTransaction inner(h.GetDatabase());
            EXPECT_TRUE(inner.IsActive());
            CBulkWriter(*p).DeleteKeys({4}, nullptr);
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_TRUE(h.GetDatabase()->InTransaction()) << "the inner scope left the outer one open";
        CBulkWriter(*p).DeleteKeys({5}, nullptr);
        outer.Rollback();
    }
    EXPECT_EQ(StoredPersons().size(), 10u);
}
