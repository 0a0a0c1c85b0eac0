// Two instances on one embedded file: a restore in one puts a new file in
// place, and the other must open it again instead of writing to the old
// one ("attempt to write a readonly database") until it is restarted.
#include "FerroldTestDb.h"

#include "CDBException.h"
#include "CtblLeser.h"

#include <QFile>

#include <cstdio>

class CDatabaseReplacedFileTest : public FerroldTest
{
protected:
    void SetUp() override
    {
        FerroldTest::SetUp();
        if (Postgres() || Odbc())
            GTEST_SKIP() << "a case of the embedded file";
    }
};

TEST_F(CDatabaseReplacedFileTest, AFileReplacedByAnotherInstanceIsOpenedAgainAndSaidOnce)
{
    auto& h = Handler();
    h.GetDatabase()->SetIdleCheckMs(0);
    CtblLeser* readers = h.Get_Ptr_To_tblLeser();
    ASSERT_TRUE(readers->OpenKey(0));
    readers->AddNew();
    readers->strBezeichnung = QStringLiteral("before");
    readers->Update();
    readers->Close();

    // The other instance's restore: a complete copy written beside the file
    // and renamed over it.
    const QString copy = m_folder + "/restored.mdb";
    PrepareFile(copy);
    {
        const QString name = QStringLiteral("test-restore");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(copy);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec("INSERT INTO tblLeser (strBezeichnung) VALUES ('restored')"));
        }
        QSqlDatabase::removeDatabase(name);
    }
    ASSERT_EQ(std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(m_file).constData()), 0);

    ASSERT_TRUE(readers->OpenKey(0));
    try {
        readers->AddNew();
        readers->strBezeichnung = QStringLiteral("after");
        readers->Update();
    } catch (const CDBException& e) {
        ADD_FAILURE() << e.m_strError.toStdString();
    }
    readers->Close();
    readers->_Requery();
    ASSERT_EQ(readers->GetAnz_Leser(), 2);
    EXPECT_EQ(readers->Get_Leser(0)->Bezeichnung, "restored");
    EXPECT_EQ(readers->Get_Leser(1)->Bezeichnung, "after");
    EXPECT_EQ(Messages(), QStringList({m_language->GetLangItem(362)}));
    readers->_Requery();
    EXPECT_EQ(Messages().size(), 1) << "said once";
}
