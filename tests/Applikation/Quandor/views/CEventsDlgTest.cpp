#include "RecordViewFixture.h"

#include "CEventsDlg.h"
#include "CtblEvents.h"

namespace {

// Readers 1 (A) and 2 (B); events 1-4 at A, 5-7 at B.
const QStringList kEvents = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (1,'A','Kite'),(2,'B','Heron')",
    "INSERT INTO tblEvents (ID_Events, strTranspondernummer, strDatum, strUhrzeit, Leser_ID, strLeserName) VALUES"
    " (1,'E1','01012024','0800',1,'A'),(2,'E2','01012024','0900',1,'A'),(3,'E3','02012024','0800',1,'A'),"
    " (4,'E4','03012024','0800',1,'A'),(5,'E5','01012024','1000',2,'B'),(6,'E6','04012024','0800',2,'B'),"
    " (7,'E7','05012024','0800',2,'B')",
    "UPDATE tblEvents SET strBinaerwert1 = '10', strEvent1 = 'Zutritt', strBinaerwert2 = '011', strEvent2 = 'Tür offen'",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer) VALUES (1,'E1'),(2,'E5')",
    "INSERT INTO tblPerson (strName, Transponder_ID) VALUES ('Anna',1),('Bert',2)",
};

class CEventsDlgTest : public RecordViewFixture
{
protected:
    CEventsDlg* Events() const { return qobject_cast<CEventsDlg*>(Pane()); }
    CtblEvents* Cache() const { return m_app->GetDBHandler()->Get_Ptr_To_tblEvents(); }
    // The cache's keys, in cache order.
    QStringList Cached() const
    {
        QStringList keys;
        for (int i = 0; i < Cache()->GetAnz_Events(); ++i)
            keys << QString::number(Cache()->Get_Event(i)->ID_Events);
        return keys;
    }
    void StartShown(int child = -1)
    {
        Sql(kEvents);
        StartOnBackend();
        Show(CLeftTreeView::EventsNode, child);
    }
    void RefuseDeleting(int key)
    {
        SqlNow({QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON tblEvents WHEN OLD.ID_Events = %1 "
                               "BEGIN SELECT RAISE(ABORT, 'event %1 is kept'); END")
                    .arg(key)});
    }
};

} // namespace

TEST_P(CEventsDlgTest, TheMenuOffersOnlyDeleteAllAndOnlyWithRows)
{
    Sql(kEvents);
    StartOnBackend();
    m_app->GetMainFrame()->show();
    Show(CLeftTreeView::EventsNode);
    const auto grey = [this](int command, unsigned int text) { return CRecordViewMenu::Entry{command, Lang(text), false}; };
    EXPECT_EQ(RightClick(1, 2), Menu({grey(32785, 61), grey(32786, 62), {32787, Lang(63), true}}));
    if (!Odbc()) {
        SaveShot(m_app->GetMainFrame(), "events_german.png");
        SaveMenuShot(Events()->ContextMenu(), 2, 3, "events_menu_german.png");
        m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
        SaveShot(m_app->GetMainFrame(), "events_english.png");
        SaveMenuShot(Events()->ContextMenu(), 2, 3, "events_menu_english.png");
        m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    }
    // A reader without events: nothing to delete.
    SqlNow({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (3,'C','Kite')"});
    m_app->GetDBHandler()->Get_Ptr_To_tblLeser()->_Requery();
    Events()->ShowEvents(3);
    ASSERT_EQ(Grid()->GetRowCount(), 1);
    EXPECT_EQ(RightClick(0, 2), Menu({grey(32785, 61), grey(32786, 62), grey(32787, 63)}));
}

TEST_P(CEventsDlgTest, DeleteAllOfOneReaderDeletesExactlyItsEventsSelectedOrNot)
{
    StartShown(1);
    ASSERT_EQ(Events()->Filter(), 2u);
    ASSERT_EQ(Column(2), (QStringList{"E5", "E6", "E7"}));
    const QList<uint> one{1};
    Grid()->SelectRows(&one); // one selected: all three go anyway
    m_menuChoice = 32787;
    RightClick(1, 2);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, Lang(64));
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Question);
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    EXPECT_EQ(Stored("tblEvents", "ID_Events"), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(Cached(), (QStringList{"1", "2", "3", "4"}));
    EXPECT_EQ(View()->m_bBusy, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Show(CLeftTreeView::EventsNode);
    EXPECT_EQ(Column(1), (QStringList{"1", "2", "3", "4"}));
}

TEST_P(CEventsDlgTest, AnswerNoDeletesNothing)
{
    StartShown();
    m_answer = QMessageBox::No;
    Events()->OnDeleteAll();
    EXPECT_EQ(Stored("tblEvents", "ID_Events").size(), 7);
    EXPECT_EQ(Grid()->GetRowCount(), 8);
}

// A record the database refuses: its reason once, the others deleted, the
// count of those that stay, and cache and table alike afterwards. Both with
// a filter (keyed walk) and without (one statement, then the walk).
TEST_P(CEventsDlgTest, ARefusedEventStaysAndIsReportedOnceWithTheCount)
{
    for (quint32 filter : {0u, 1u}) {
        SCOPED_TRACE(filter);
        StartShown();
        RefuseDeleting(3);
        Events()->ShowEvents(filter);
        m_boxes.clear();
        Events()->OnDeleteAll();
        ASSERT_EQ(m_boxes.size(), 3u);
        EXPECT_EQ(m_boxes[0].text, Lang(64));
        EXPECT_TRUE(m_boxes[1].text.contains("event 3 is kept")) << m_boxes[1].text.toStdString();
        EXPECT_EQ(m_boxes[1].icon, QMessageBox::Warning);
        EXPECT_EQ(m_boxes[2].text, Language()->GetLangItem(300, 1));
        const QStringList left = filter == 0 ? QStringList{"3"} : QStringList{"3", "5", "6", "7"};
        EXPECT_EQ(Stored("tblEvents", "ID_Events"), left);
        EXPECT_EQ(Cached(), left);
        EXPECT_EQ(Column(2), filter == 0 ? QStringList{"E3"} : QStringList{"E3"});
        EXPECT_EQ(View()->m_bBusy, 0);
        m_app->ExitInstance();
        SqlNow({"DROP TRIGGER refuse", "DELETE FROM tblEvents", "DELETE FROM tblLeser", "DELETE FROM tblTransponder",
                "DELETE FROM tblPerson"});
    }
}

TEST_P(CEventsDlgTest, EventsGoneBehindTheViewAreReportedOnceNotPerRecord)
{
    StartShown(0);
    // Another program deleted two of reader A's events; the cache still has them.
    SqlNow({"DELETE FROM tblEvents WHERE ID_Events IN (2, 4)"});
    m_boxes.clear();
    Events()->OnDeleteAll();
    ASSERT_EQ(m_boxes.size(), 3u);
    EXPECT_EQ(m_boxes[1].text, Lang(75));
    EXPECT_EQ(m_boxes[2].text, Language()->GetLangItem(300, 2));
    EXPECT_EQ(Stored("tblEvents", "ID_Events"), (QStringList{"5", "6", "7"}));
    EXPECT_EQ(Cached(), (QStringList{"5", "6", "7"}));
}

TEST_P(CEventsDlgTest, EventsStoredWithoutARereadAppearWhenTheViewIsShownAgain)
{
    StartShown();
    // As a reading that ended early leaves them: in the table, not the cache.
    SqlNow({"INSERT INTO tblEvents (ID_Events, strTranspondernummer, Leser_ID) VALUES (8,'E8',1)"});
    Events()->ShowEvents(1);
    EXPECT_EQ(Column(2), (QStringList{"E1", "E2", "E3", "E4", "E8"}));
    // Same count, other rows.
    SqlNow({"DELETE FROM tblEvents WHERE ID_Events = 1",
            "INSERT INTO tblEvents (ID_Events, strTranspondernummer, Leser_ID) VALUES (9,'E9',1)"});
    Events()->ShowEvents(1);
    EXPECT_EQ(Column(2), (QStringList{"E2", "E3", "E4", "E8", "E9"}));
}

TEST_P(CEventsDlgTest, ARefillAfterASortShowsCacheOrderUntintedAndUnselected)
{
    StartShown();
    GRID_NOTIFY header;
    header.hdr.code = NM_DBLCLK;
    header.row = 0;
    header.column = 6;
    View()->OnGridNotify(header);
    View()->OnGridNotify(header);
    ASSERT_EQ(View()->m_nSortMode, 2);
    ASSERT_EQ(Column(2).first(), "E5"); // 10:00, the latest time
    const QList<uint> second{2};
    Grid()->SelectRows(&second);
    Events()->ShowEvents(0);
    EXPECT_EQ(View()->m_nSortMode, 0);
    EXPECT_EQ(Column(2), (QStringList{"E1", "E2", "E3", "E4", "E5", "E6", "E7"}));
    EXPECT_EQ(Grid()->GetCell(0, 6)->GetBackClr(true), CLR_DEFAULT);
    EXPECT_TRUE(View()->SelectedRows().empty());
}

RECORD_VIEW_BACKENDS(CEventsDlgTest);
