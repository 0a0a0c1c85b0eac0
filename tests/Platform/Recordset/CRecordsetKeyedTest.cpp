#include "PersonRowsTest.h"

#include "CtblZeitschema.h"

// Keyed work on a table without reading it whole and the cache's one-pass
// removal, on every back end.
class CRecordsetKeyedTest : public PersonRowsTest
{
};

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
