#include "FerroldTestDb.h"

#include "CtblEvents.h"
#include "CtblLeser.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

class CRecordsetTest : public FerroldTest
{
protected:
    void AddPersons(int count)
    {
        for (int i = 0; i < count; ++i)
            Sql(QStringLiteral("INSERT INTO tblPerson (strName, Transponder_ID) VALUES ('P%1', %1)").arg(i));
    }
};

TEST_F(CRecordsetTest, AddNewWritesOnlyWhatWasSetAndTellsTheNewKey)
{
    auto* t = Handler().Get_Ptr_To_tblTransponder();
    ASSERT_TRUE(t->Open());
    EXPECT_TRUE(t->IsEOF());
    EXPECT_TRUE(t->IsBOF());
    t->AddNew();
    t->strTransponderNummer = QStringLiteral("0011223344");
    t->Zeitfenster_ID = 1;
    EXPECT_TRUE(t->Update());
    const qint32 first = t->GetLastInsertKey();
    t->AddNew();
    t->strTransponderNummer = QStringLiteral("00AABBCCDD");
    EXPECT_TRUE(t->Update());
    EXPECT_GT(t->GetLastInsertKey(), first);

    // Still open: a re-read of the cache sees both rows and leaves the set open.
    EXPECT_EQ(t->_Requery(), 1);
    EXPECT_TRUE(t->IsOpen());
    ASSERT_EQ(t->GetAnz_Transponder(), 2);
    const auto* row = t->Get_Transponder(0);
    EXPECT_EQ(row->ID_Transponder, first);
    EXPECT_EQ(row->Zeitfenster_ID, 1);
    EXPECT_EQ(row->Person_ID, 0);
    EXPECT_EQ(row->Leser_IDS, QString());

    EXPECT_TRUE(t->Requery());
    t->MoveLast();
    EXPECT_EQ(t->strTransponderNummer, QStringLiteral("00AABBCCDD"));
    EXPECT_EQ(t->ID_Transponder, t->GetLastInsertKey());
    t->Close();
    EXPECT_EQ(t->_Requery(), 1);
    EXPECT_FALSE(t->IsOpen());
}

TEST_F(CRecordsetTest, KeysAreNeverReused)
{
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());
    p->AddNew();
    p->strName = QStringLiteral("A");
    p->Update();
    const qint32 key = p->GetLastInsertKey();
    ASSERT_TRUE(p->Requery());
    p->Delete();
    p->AddNew();
    p->strName = QStringLiteral("B");
    p->Update();
    EXPECT_GT(p->GetLastInsertKey(), key);
    p->Close();
}

TEST_F(CRecordsetTest, DeletingWhileWalkingReachesEveryRow)
{
    AddPersons(5);
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());
    int deleted = 0;
    while (!p->IsEOF()) {
        p->Delete();
        EXPECT_TRUE(p->IsDeleted());
        ++deleted;
        p->MoveNext();
    }
    EXPECT_EQ(deleted, 5);
    p->Close();
    EXPECT_EQ(p->_Requery(), 0);
    EXPECT_EQ(p->GetAnz_Person(), 0);
}

TEST_F(CRecordsetTest, EditChangesOnlyTheAssignedColumnsOfItsRow)
{
    AddPersons(3);
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());
    p->MoveNext();
    const qint32 key = p->ID_Person;
    // Another writer changes the same row's other column meanwhile.
    Sql(QStringLiteral("UPDATE tblPerson SET Transponder_ID = 99 WHERE ID_Person = %1").arg(key));
    p->Edit();
    p->strName = QStringLiteral("Renamed");
    EXPECT_TRUE(p->Update());
    EXPECT_EQ(p->strName, QStringLiteral("Renamed"));
    p->Edit();
    EXPECT_FALSE(p->Update()); // nothing changed, nothing written
    p->Close();
    p->_Requery();
    EXPECT_EQ(p->Get_Person(0)->Name, QStringLiteral("P0"));
    EXPECT_EQ(p->Get_Person(1)->Name, QStringLiteral("Renamed"));
    EXPECT_EQ(p->Get_Person(1)->Transponder_ID, 99);
    EXPECT_EQ(p->Get_Person(2)->Name, QStringLiteral("P2"));
}

TEST_F(CRecordsetTest, MovesStayInsideTheSet)
{
    AddPersons(3);
    auto* p = Handler().Get_Ptr_To_tblPerson();
    EXPECT_TRUE(p->IsEOF()); // closed
    p->MoveNext();
    EXPECT_THROW(p->Edit(), CDBException);
    ASSERT_TRUE(p->Open());
    EXPECT_EQ(p->strName, QStringLiteral("P0"));
    p->MovePrev();
    EXPECT_TRUE(p->IsBOF());
    p->MoveLast();
    EXPECT_EQ(p->strName, QStringLiteral("P2"));
    p->MoveNext();
    EXPECT_TRUE(p->IsEOF());
    EXPECT_THROW(p->Delete(), CDBException);
    p->MoveFirst();
    EXPECT_EQ(p->strName, QStringLiteral("P0"));
    EXPECT_TRUE(p->MoveToKey(p->Get_Person(2)->ID_Person));
    EXPECT_EQ(p->strName, QStringLiteral("P2"));
    EXPECT_FALSE(p->MoveToKey(12345));
    EXPECT_EQ(p->strName, QStringLiteral("P2"));
    p->Close();
}

TEST_F(CRecordsetTest, ATransactionSpansTablesAndRollsBackAsOne)
{
    auto& h = Handler();
    CDatabase* db = h.GetDatabase();
    auto* p = h.Get_Ptr_To_tblPerson();
    auto* t = h.Get_Ptr_To_tblTransponder();
    ASSERT_TRUE(p->Open());
    ASSERT_TRUE(t->Open());

    ASSERT_TRUE(db->BeginTrans());
    EXPECT_FALSE(db->BeginTrans());
    t->AddNew();
    t->strTransponderNummer = QStringLiteral("0102030405");
    t->Update();
    p->AddNew();
    p->strName = QStringLiteral("Rolled back");
    p->Transponder_ID = t->GetLastInsertKey();
    p->Update();
    ASSERT_TRUE(db->Rollback());
    EXPECT_EQ(p->_Requery(), 0);
    EXPECT_EQ(t->_Requery(), 0);

    ASSERT_TRUE(db->BeginTrans());
    t->AddNew();
    t->strTransponderNummer = QStringLiteral("0102030405");
    t->Update();
    p->AddNew();
    p->strName = QStringLiteral("Kept");
    p->Transponder_ID = t->GetLastInsertKey();
    p->Update();
    ASSERT_TRUE(db->CommitTrans());
    EXPECT_FALSE(db->CommitTrans());
    EXPECT_EQ(p->_Requery(), 1);
    EXPECT_EQ(t->_Requery(), 1);
    EXPECT_EQ(p->Get_Person(0)->Transponder_ID, t->Get_Transponder(0)->ID_Transponder);
    p->Close();
    t->Close();
}

TEST_F(CRecordsetTest, ManyUpdatesInOneTransaction)
{
    for (int i = 0; i < 20; ++i)
        Sql(QStringLiteral("INSERT INTO tblEvents (strDatum) VALUES ('%1')").arg(i));
    auto& h = Handler();
    auto* e = h.Get_Ptr_To_tblEvents();
    ASSERT_TRUE(e->Open());
    ASSERT_TRUE(h.GetDatabase()->BeginTrans());
    for (int round = 0; round < 5; ++round) {
        for (e->MoveFirst(); !e->IsEOF(); e->MoveNext()) {
            e->Edit();
            e->strEvent1 = QStringLiteral("r%1").arg(round);
            e->Update();
        }
    }
    ASSERT_TRUE(h.GetDatabase()->CommitTrans());
    e->Close();
    e->_Requery();
    ASSERT_EQ(e->GetAnz_Events(), 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(e->Get_Event(i)->Event1, QStringLiteral("r4"));
}

TEST_F(CRecordsetTest, WriteFailuresCarryTheDriverText)
{
    auto* p = Handler().Get_Ptr_To_tblPerson();
    ASSERT_TRUE(p->Open());
    Sql("DROP TABLE tblPerson");
    p->AddNew();
    p->strName = QStringLiteral("x");
    try {
        p->Update();
        FAIL() << "no exception";
    } catch (const CDBException& e) {
        EXPECT_TRUE(e.m_strError.contains(QLatin1String("tblPerson"), Qt::CaseInsensitive)
                    || e.m_strError.contains(QLatin1String("table"), Qt::CaseInsensitive))
            << e.m_strError.toStdString();
    }
    p->Close();
    EXPECT_FALSE(p->Open());
    EXPECT_FALSE(p->GetLastError().isEmpty());
    EXPECT_EQ(p->_Requery(), 0);
    EXPECT_TRUE(p->LastReadFailed());
    EXPECT_EQ(Messages().size(), 1);
}
