// Recording a plain reader's list in the database, without a reader: the
// fetch mode of the list dialog, and the store under failure.

#include "PlainReaderFixture.h"

#include "CPlainListStore.h"

namespace {

class PlainListStore : public PlainReader
{
protected:
    void SeedTransponders()
    {
        SeedReaders();
        Sql({"INSERT INTO tblPerson (ID_Person, strName) VALUES (1,'Person_1A2B'),(2,'Person_1A2B'),(5,'Anna')",
             "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
             " strLeser_IDS, boolUpdateOK) VALUES"
             " (11,'AAAAAAAAA1',1,5,'3',0), (12,'AAAAAAAAA2',2,5,'7;3',0), (13,'AAAAAAAAA3',0,1,'3;7',1),"
             " (14,'AAAAAAAAA4',99,1,'3',0), (15,'BBBBBBBBB5',5,1,'7',0), (16,'BBBBBBBBB6',0,1,'',0),"
             " (17,'BBBBBBBBB7',0,1,'03',0)"});
    }
};

TEST_F(PlainListStore, FetchModeRecordsTheComposedListWithoutAFrame)
{
    SeedTransponders();
    StartShown();
    // The reader is not online: its list cannot be read, the database's can.
    CSendWrenDlg dialog(Language(), m_app->GetDBHandler(), View(), CSendWrenDlg::FetchMode, 3, Frame());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), Text(178));
    EXPECT_EQ(dialog.SendButton()->text(), Text(178));
    // Two persons of one name stay two rows; a transponder whose person is
    // gone shows by its number; "03" names reader 3.
    EXPECT_EQ(CSendWrenDlg::Texts(dialog.DatabaseList()),
              (QStringList{"AAAAAAAAA3", "AAAAAAAAA4", "BBBBBBBBB7", "Person_1A2B", "Person_1A2B"}));
    EXPECT_EQ(CSendWrenDlg::Numbers(dialog.DatabaseList()),
              (QStringList{"AAAAAAAAA3", "AAAAAAAAA4", "BBBBBBBBB7", "AAAAAAAAA1", "AAAAAAAAA2"}));
    EXPECT_FALSE(dialog.SendButton()->isEnabled());
    EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
    dialog.OnReadReaderList();
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    EXPECT_EQ(dialog.ReaderList()->topLevelItemCount(), 0);

    // Copied twice, each transponder is there once; the removal of all but
    // one row leaves Send off until another row comes.
    SelectAll(dialog.DatabaseList());
    dialog.OnMoveRight();
    dialog.OnMoveRight();
    EXPECT_EQ(dialog.SendList()->topLevelItemCount(), 5);
    EXPECT_TRUE(dialog.SendButton()->isEnabled());
    SelectNumber(dialog.SendList(), "AAAAAAAAA4");
    dialog.SendList()->topLevelItem(0)->setSelected(true);
    dialog.SendList()->topLevelItem(2)->setSelected(true);
    dialog.SendList()->topLevelItem(3)->setSelected(true);
    dialog.OnRemoveSelected();
    EXPECT_EQ(CSendWrenDlg::Numbers(dialog.SendList()), QStringList{"AAAAAAAAA2"});
    EXPECT_FALSE(dialog.SendButton()->isEnabled());
    EXPECT_FALSE(dialog.RemoveButton()->isEnabled());
    SelectNumber(dialog.DatabaseList(), "AAAAAAAAA1");
    dialog.OnMoveRight();
    EXPECT_TRUE(dialog.SendButton()->isEnabled());

    QDir().mkpath(kShots);
    dialog.grab().save(kShots + "send-wren-fetch-de.png");

    m_messages.clear();
    reader.reset();
    dialog.OnSend();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(m_notices, QStringList{Text(173)});
    EXPECT_EQ(dialog.Status()->text(), Text(173));
    EXPECT_EQ(TransponderOf("AAAAAAAAA1").readers, "3");
    EXPECT_EQ(TransponderOf("AAAAAAAAA2").readers, "7;3");
    EXPECT_EQ(TransponderOf("AAAAAAAAA3").readers, "7");  // withdrawn
    EXPECT_EQ(TransponderOf("AAAAAAAAA4").readers, "");   // withdrawn
    EXPECT_EQ(TransponderOf("BBBBBBBBB5").readers, "7");
    EXPECT_EQ(TransponderOf("BBBBBBBBB7").readers, "");
    EXPECT_EQ(ReaderRow(3).updateOK, 0);
    EXPECT_EQ(ReaderRow(4).updateOK, 1);
    ExpectCachesEqualDatabase();
}

TEST_F(PlainListStore, NewNumbersBecomeTranspondersOfTheReaderAndRepeatsCountOnce)
{
    SeedTransponders();
    StartShown();
    const std::vector<StoredTransponder> before = Transponders();
    CPlainListStore::Counts counts;
    ASSERT_EQ(CPlainListStore::Store(*m_app->GetDBHandler(), 3,
                                     {"AAAAAAAAA1", "BBBBBBBBB6", "CCCCCCCCC1", "CCCCCCCCC1", "BBBBBBBBB5"}, &counts),
              CPlainListStore::Result::Stored);
    EXPECT_EQ(counts.added, 1);
    EXPECT_EQ(counts.assigned, 2);  // B6 and B5; A1 names the reader already
    EXPECT_EQ(counts.withdrawn, 4); // A2, A3, A4, B7
    const std::vector<StoredTransponder> after = Transponders();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), (StoredTransponder{after.back().id, "CCCCCCCCC1", 0, 1, "3", 0}));
    EXPECT_EQ(TransponderOf("BBBBBBBBB6").readers, "3");
    EXPECT_EQ(TransponderOf("BBBBBBBBB5").readers, "7;3");
    // Rows that needed no change keep their mark and schema.
    EXPECT_EQ(TransponderOf("AAAAAAAAA1"), before[0]);
    ExpectCachesEqualDatabase();
}

// The reader's list stored over lists in the forms other programs and
// older files left: only lists that change are written (the table refuses
// any other write here), and each keeps its other pieces as stored.
TEST_F(PlainListStore, OnlyChangedListsAreWrittenWhateverTheirStoredForm)
{
    SeedReaders();
    const struct {
        const char* number;
        const char* before;
        const char* after;
    } rows[] = {
        // Listed: the reader is added where no piece names it.
        {"AAAAAAAAA1", "", "3"},         {"AAAAAAAAA2", "7", "7;3"},     {"AAAAAAAAA3", "7;", "7;;3"},
        {"AAAAAAAAA4", "03", "03"},      {"AAAAAAAAA5", ";3", ";3"},     {"AAAAAAAAA6", "0", "0;3"},
        // Not listed: every piece naming the reader goes.
        {"BBBBBBBBB1", "3;7;", "7;"},    {"BBBBBBBBB2", "3;03", ""},     {"BBBBBBBBB3", "7;03", "7"},
        {"BBBBBBBBB4", "7", "7"},        {"BBBBBBBBB5", ";7", ";7"},     {"BBBBBBBBB6", "", ""},
    };
    QStringList listed;
    for (const auto& row : rows) {
        Sql({QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS) VALUES ('%1','%2')")
                 .arg(QLatin1String(row.number), QLatin1String(row.before))});
        if (row.number[0] == 'A')
            listed << QLatin1String(row.number);
    }
    Sql(Refusal("unchanged_list", "UPDATE", "tblTransponder", "NEW.strLeser_IDS = OLD.strLeser_IDS",
                "an unchanged list was written"));
    StartShown();
    ASSERT_EQ(CPlainListStore::Store(*m_app->GetDBHandler(), 3, listed), CPlainListStore::Result::Stored)
        << qPrintable(m_messages.join('|'));
    for (const auto& row : rows)
        EXPECT_EQ(TransponderOf(QLatin1String(row.number)).readers, QLatin1String(row.after)) << row.number;
    ExpectCachesEqualDatabase();
}

TEST_F(PlainListStore, ARefusedWriteLeavesEveryTableAsItWas)
{
    SeedTransponders();
    StartShown();
    const std::vector<StoredTransponder> before = Transponders();
    const std::vector<StoredReader> readersBefore = Stored();
    // The new row is the last write of the transponders: all withdrawals
    // are made before it fails. Then the reader's own row refuses.
    for (const char* refused : {"INSERT ON tblTransponder", "UPDATE ON tblLeser"}) {
        SCOPED_TRACE(refused);
        Sql({"DROP TRIGGER IF EXISTS refuse",
             QStringLiteral("CREATE TRIGGER refuse BEFORE %1 BEGIN SELECT RAISE(ABORT, 'Platte voll'); END")
                 .arg(QLatin1String(refused))});
        m_messages.clear();
        EXPECT_EQ(CPlainListStore::Store(*m_app->GetDBHandler(), 3, {"AAAAAAAAA1", "CCCCCCCCC1"}),
                  CPlainListStore::Result::Refused);
        ASSERT_EQ(m_messages.size(), 1);
        EXPECT_TRUE(m_messages[0].contains("Platte voll"));
        EXPECT_EQ(Transponders(), before);
        EXPECT_EQ(Stored().size(), readersBefore.size());
        EXPECT_EQ(ReaderRow(3).updateOK, 1);
        ExpectCachesEqualDatabase();
    }
}

TEST_F(PlainListStore, DialogsInBothLanguages)
{
    for (int language : {0, 1}) {
        SetLanguage(language);
        SeedReaders();
        StartShown();
        const QString suffix = language ? "-en" : "-de";
        {
            CSendWrenDlg dialog(Language(), m_app->GetDBHandler(), View(), CSendWrenDlg::WriteMode, 3, Frame());
            dialog.show();
            EXPECT_EQ(dialog.windowTitle(), Text(177));
            EXPECT_EQ(dialog.DatabaseList()->headerItem()->text(0), Text(174));
            EXPECT_EQ(dialog.SendList()->headerItem()->text(0), Text(175));
            EXPECT_EQ(dialog.ReaderList()->headerItem()->text(0), Text(176));
            EXPECT_EQ(dialog.DatabaseList()->palette().color(QPalette::Base), QColor(255, 224, 210));
            EXPECT_EQ(dialog.SendList()->palette().color(QPalette::Base), QColor(224, 255, 224));
            QDir().mkpath(kShots);
            dialog.grab().save(kShots + "send-wren-write" + suffix + ".png");
            // Enter closes without sending.
            QTest::keyClick(&dialog, Qt::Key_Return);
            EXPECT_FALSE(dialog.isVisible());
        }
        {
            const CtblLeser::structLeser row = *Cache()->Get_Leser(0);
            CParamWrenDlg dialog(View(), row, Language(), Frame());
            dialog.show();
            EXPECT_EQ(dialog.windowTitle(), Text(140));
            // No reader answered: nothing can be sent or taught.
            EXPECT_FALSE(dialog.UpdateReaderButton()->isEnabled());
            EXPECT_FALSE(dialog.NewMasterButton()->isEnabled());
            EXPECT_EQ(dialog.Master()->text(), "0123456789");
            EXPECT_TRUE(dialog.ReadingHead()->isChecked());
            EXPECT_TRUE(dialog.MasterActive()->isChecked());
            EXPECT_EQ(dialog.SwitchTime()->text(), "5");
            dialog.grab().save(kShots + "param-wren" + suffix + ".png");
            QTest::keyClick(&dialog, Qt::Key_Return);
            EXPECT_FALSE(dialog.isVisible());
        }
        EXPECT_EQ(ReaderRow(3).parameter, "2;0123456789");
        m_app->ExitInstance();
        Sql({"DELETE FROM tblLeser"});
    }
}

} // namespace
