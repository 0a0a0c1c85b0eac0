#include "FerroldTestDb.h"

#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"
#include "CtblZeitschema.h"

#include <map>

// Keyed work on a table without reading it whole, the transaction scope
// and the cache's one-pass removal, on both back ends.
class CRecordsetKeyedTest : public FerroldTest
{
protected:
    // Persons 1..count, person i holding transponder i.
    void AddPersons(int count)
    {
        QStringList rows;
        for (int i = 1; i <= count; ++i)
            rows << QStringLiteral("(%1, 'P%1', %1)").arg(i);
        Sql("INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES " + rows.join(','));
    }
    // A trigger that refuses to delete the person with this key.
    void RefuseDeleting(int key)
    {
        Refuse("refuse", "DELETE", "tblPerson", QStringLiteral("OLD.ID_Person = %1").arg(key),
               QStringLiteral("person %1 is protected").arg(key));
    }
    std::vector<qint32> StoredPersons()
    {
        auto* p = m_handler->Get_Ptr_To_tblPerson();
        p->_Requery();
        std::vector<qint32> keys;
        for (int i = 0; i < p->GetAnz_Person(); ++i)
            keys.push_back(p->Get_Person(i)->ID_Person);
        return keys;
    }
};

TEST_F(CRecordsetKeyedTest, DeleteKeysDeletesWhatItCanAndNamesEachKeyThatStays)
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
        p->DeleteKeys(keys, [&](qint32 key, const QString& error) { failures[key] = error; });
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

TEST_F(CRecordsetKeyedTest, UpdateWhereChangesTheRowsWithTheValuesOrEveryRow)
{
    Sql("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID) VALUES "
        "(1,'A',1),(2,'B',2),(3,'C',2),(4,'D',3),(5,'E',0)");
    auto& h = Handler();
    auto* t = h.Get_Ptr_To_tblTransponder();
    const std::vector<QVariant> persons = {2, 9};
    EXPECT_EQ(t->UpdateWhere("[Person_ID]", 0, "[Person_ID]", &persons), 2);
    t->_Requery();
    std::vector<qint32> links;
    for (int i = 0; i < t->GetAnz_Transponder(); ++i)
        links.push_back(t->Get_Transponder(i)->Person_ID);
    EXPECT_EQ(links, (std::vector<qint32>{1, 0, 0, 3, 0}));

    EXPECT_EQ(t->UpdateWhere("Person_ID", 0, QString(), nullptr), 5);
    t->_Requery();
    for (int i = 0; i < t->GetAnz_Transponder(); ++i)
        EXPECT_EQ(t->Get_Transponder(i)->Person_ID, 0);

    Refuse("frozen", "UPDATE", "tblTransponder", QString(), "frozen");
    EXPECT_THROW(t->UpdateWhere("Person_ID", 1, QString(), nullptr), CDBException);
}

TEST_F(CRecordsetKeyedTest, OpenKeyReadsOneRowToEditAndNoneForAKeyNotThere)
{
    AddPersons(3);
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->OpenKey(2));
    ASSERT_FALSE(p->IsEOF());
    EXPECT_EQ(p->GetRecordCount(), 1);
    EXPECT_EQ(p->strName, QStringLiteral("P2"));
    p->Edit();
    p->strName = QStringLiteral("Zwei");
    EXPECT_TRUE(p->Update());
    p->Close();
    ASSERT_TRUE(p->OpenKey(42));
    EXPECT_TRUE(p->IsEOF());
    p->Close();
    p->_Requery();
    EXPECT_EQ(p->Get_Person(1)->Name, QStringLiteral("Zwei"));

    Sql("DROP TABLE tblPerson");
    EXPECT_FALSE(p->OpenKey(1));
    EXPECT_FALSE(p->GetLastError().isEmpty());
}

TEST_F(CRecordsetKeyedTest, DeleteAllRowsIsOneStatementThatARefusedRowUndoes)
{
    AddPersons(50);
    RefuseDeleting(7);
    auto* p = Handler().Get_Ptr_To_tblPerson();
    EXPECT_THROW(p->DeleteAllRows(), CDBException);
    EXPECT_EQ(StoredPersons().size(), 50u);
    std::vector<qint32> keys;
    ASSERT_TRUE(p->ReadKeys(&keys));
    ASSERT_EQ(keys.size(), 50u);
    EXPECT_EQ(keys.front(), 1);
    EXPECT_EQ(keys.back(), 50);
    DropRefusal("refuse", "tblPerson");
    EXPECT_EQ(p->DeleteAllRows(), 50);
    EXPECT_TRUE(StoredPersons().empty());
}

TEST_F(CRecordsetKeyedTest, ATransactionScopeRollsBackUnlessCommittedAndJoinsAnOuterOne)
{
    AddPersons(10);
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    try {
        CTransaction transaction(h.GetDatabase());
        p->DeleteKeys({1, 2, 3}, nullptr);
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
            p->DeleteKeys({4}, nullptr);
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_TRUE(h.GetDatabase()->InTransaction()) << "the inner scope left the outer one open";
        p->DeleteKeys({5}, nullptr);
        outer.Rollback();
    }
    EXPECT_EQ(StoredPersons().size(), 10u);
}

TEST_F(CRecordsetKeyedTest, RemoveIfTakesRowsOutInOnePassAndNumbersTheRestAgain)
{
    AddPersons(6);
    Sql("INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung) VALUES (5,'S'),(6,'S'),(7,'S'),(8,'S'),"
        "(9,'T'),(10,'T'),(11,'T'),(12,'T')");
    auto& h = Handler();
    auto* p = h.Get_Ptr_To_tblPerson();
    auto* kept = p->Get_Person(4);
    EXPECT_EQ(p->RemoveIf([](const CtblPerson::structPerson& row) { return row.ID_Person % 2 == 0; }), 3);
    ASSERT_EQ(p->GetAnz_Person(), 3);
    EXPECT_EQ(p->Get_Person(2), kept);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p->Get_Person(i)->ID_Person, 2 * i + 1);
        EXPECT_EQ(p->Get_Person(i)->nNr, i + 1);
    }
    EXPECT_EQ(p->RemoveIf([](const CtblPerson::structPerson&) { return false; }), 0);

    // Time schemas count by groups of four.
    auto* z = h.Get_Ptr_To_tblZeitschema();
    ASSERT_EQ(z->GetAnz_Zeitschema(), 12);
    EXPECT_EQ(z->RemoveIf([](const CtblZeitschema::structZeitschema& row) { return row.Bezeichnung == "S"; }), 4);
    ASSERT_EQ(z->GetAnz_Zeitschema(), 8);
    EXPECT_EQ(z->Get_Zeitschema(4)->nNr, 2);
    EXPECT_EQ(z->Get_Zeitschema(7)->nNr, 2);
}
