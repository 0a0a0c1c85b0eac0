// Deleting readers from the reader list: what goes with them (events,
// assignments, tree children), what a refused or vanished reader keeps, and
// the questions asked, on the embedded file and through the ODBC source.

#include "RecordViewFixture.h"
#include "TestWait.h"

#include "CLeserDlg.h"
#include "CReaderDeleter.h"
#include "CtblEvents.h"
#include "CtblTransponder.h"
#include "TestShots.h"

#include <deque>

namespace {

// Six readers (Kite, Heron, Wren, Egret, Tern named like the Kite, a Kite
// without a name); every reader owns one event; transponders hold lists in
// the forms the program meets, the CSV import's trailing ";" included.
const QStringList kReaders = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES"
    " (1,'Anton','Kite'),(2,'Berta','Heron'),(3,'Cäsar','Wren'),(4,'Dora','Egret'),(5,'Anton','Tern'),(6,'','Kite')",
    "INSERT INTO tblEvents (ID_Events, Leser_ID, strLeserName) VALUES"
    " (1,1,'Anton'),(2,2,'Berta'),(3,3,'Cäsar'),(4,4,'Dora'),(5,5,'Anton'),(6,6,''),(7,0,'alt')",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, strLeser_IDS) VALUES"
    " (1,'00000000AA','1;2;4'),(2,'00000000BB','2;2'),(3,'00000000CC','02;6;'),(4,'00000000DD','3;5'),"
    " (5,'00000000EE','')",
    "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Paul',1)",
};

class ReaderDeleteTest : public RecordViewFixture
{
protected:
    void SetUp() override
    {
        RecordViewFixture::SetUp();
        // Each question takes the next answer; anything unplanned is No.
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_boxes.push_back({request.text, request.icon});
            if (!m_shot.isEmpty()) {
                // The box as the operator sees it.
                QMessageBox box(request.icon, request.caption.isEmpty() ? CUiMessage::DefaultCaption() : request.caption,
                                request.text, request.buttons);
                box.show();
                TestWait::Settle();
                box.grab().save((TestShots(QStringLiteral("readers")) + QStringLiteral("%1-%2.png")).arg(m_shot).arg(m_boxes.size()));
            }
            if (!(request.buttons & QMessageBox::Yes))
                return QMessageBox::Ok;
            if (m_answers.empty())
                return QMessageBox::No;
            const QMessageBox::StandardButton answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
        Sql(kReaders);
        StartOnBackend();
        Show(CLeftTreeView::ReadersNode);
        ASSERT_NE(Readers(), nullptr);
    }

    CLeserDlg* Readers() const { return qobject_cast<CLeserDlg*>(Pane()); }
    CFerrold_Handler* Db() const { return m_app->GetDBHandler(); }

    void Select(std::initializer_list<uint> rows)
    {
        const QList<uint> list(rows);
        Grid()->SelectRows(&list);
    }
    void Answer(std::initializer_list<QMessageBox::StandardButton> answers) { m_answers.assign(answers); }
    QStringList Texts() const
    {
        QStringList texts;
        for (const Box& box : m_boxes)
            texts << box.text;
        return texts;
    }

    // "id:reader" of every event and the transponders' lists, stored and cached.
    QStringList StoredEvents()
    {
        const QStringList ids = Stored("tblEvents", "ID_Events");
        const QStringList readers = Stored("tblEvents", "Leser_ID");
        const QStringList names = Stored("tblEvents", "strLeserName");
        QStringList rows;
        for (int i = 0; i < ids.size(); ++i)
            rows << ids[i] + ":" + readers.value(i) + ":" + names.value(i);
        return rows;
    }
    QStringList CachedEvents() const
    {
        QStringList rows;
        CtblEvents* events = Db()->Get_Ptr_To_tblEvents();
        for (int i = 0; i < events->GetAnz_Events(); ++i) {
            const auto* e = events->Get_Event(i);
            rows << QStringLiteral("%1:%2:%3").arg(e->ID_Events).arg(e->Leser_ID).arg(e->LeserName);
        }
        return rows;
    }
    QStringList StoredLists() { return Stored("tblTransponder", "strLeser_IDS"); }
    QStringList CachedLists() const
    {
        QStringList lists;
        CtblTransponder* transponders = Db()->Get_Ptr_To_tblTransponder();
        for (int i = 0; i < transponders->GetAnz_Transponder(); ++i)
            lists << transponders->Get_Transponder(i)->Leser_IDS;
        return lists;
    }
    QStringList Children(CLeftTreeView::NodeKind kind) const
    {
        QStringList texts;
        QTreeWidgetItem* node = Tree()->Node(kind);
        for (int i = 0; node && i < node->childCount(); ++i)
            texts << node->child(i)->text(0);
        return texts;
    }
    // Database, caches, grid and tree tell one story.
    void ExpectInStep(const QStringList& readerNames, const QStringList& children)
    {
        EXPECT_EQ(Stored("tblLeser", "strBezeichnung"), readerNames);
        EXPECT_EQ(Column(4), readerNames);
        EXPECT_EQ(Grid()->GetRowCount(), Db()->Get_Ptr_To_tblLeser()->GetAnz_Leser() + 1);
        QStringList numbers;
        for (int i = 1; i <= readerNames.size(); ++i)
            numbers << QString::number(i);
        EXPECT_EQ(Column(1), numbers);
        EXPECT_EQ(CachedEvents(), StoredEvents());
        EXPECT_EQ(CachedLists(), StoredLists());
        for (auto kind : {CLeftTreeView::TranspondersNode, CLeftTreeView::PersonsNode, CLeftTreeView::EventsNode})
            EXPECT_EQ(Children(kind), children) << kind;
        EXPECT_EQ(Readers()->m_bBusy, 0);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    void Trigger(const QString& name, const QString& event, const QString& when)
    {
        SqlNow({QStringLiteral("CREATE TRIGGER %1 BEFORE %2 WHEN %3 BEGIN SELECT RAISE(ABORT, '%1 says no'); END")
                    .arg(name, event, when)});
    }

    std::deque<QMessageBox::StandardButton> m_answers;
    QString m_shot;
};

const QStringList kAllChildren = {"Anton", "Berta", "Cäsar", "Dora", ""};
const QStringList kAllEvents = {"1:1:Anton", "2:2:Berta", "3:3:Cäsar", "4:4:Dora", "5:5:Anton", "6:6:", "7:0:alt"};
const QStringList kAllLists = {"1;2;4", "2;2", "02;6;", "3;5", ""};

} // namespace

// Rows 3 and 5 of a list sorted by name descending are Cäsar (a Wren) and
// Anton (the Kite): the framed one brings the events question.
TEST_P(ReaderDeleteTest, TheChosenRowsReadersGoUnderASortWithEventsWhenAsked)
{
    QRect header;
    ASSERT_TRUE(Grid()->GetCellRect(0, 4, &header));
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
        QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
    }
    ASSERT_EQ(Readers()->m_nSortMode, 2);
    ASSERT_EQ(Column(4), (QStringList{"Dora", "Cäsar", "Berta", "Anton", "Anton", ""}));
    ASSERT_TRUE(Column(3).at(3).endsWith("Kite"));
    Select({2, 4});
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    m_menuChoice = CLeserDlg::ID_DELETE_ENTRY;
    RightClick(2, 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(Texts(), (QStringList{Lang(68), Lang(70)}));
    ExpectInStep({"Berta", "Dora", "Anton", ""}, {"Berta", "Dora", ""});
    EXPECT_EQ(StoredEvents(), (QStringList{"2:2:Berta", "4:4:Dora", "5:5:Anton", "6:6:", "7:0:alt"}));
    EXPECT_EQ(StoredLists(), (QStringList{"2;4", "2;2", "02;6;", "5", ""}));
    EXPECT_EQ(Stored("tblPerson", "strName"), QStringList{"Paul"});
}

TEST_P(ReaderDeleteTest, KeptEventsLoseOnlyTheirReaderAndPlainReadersAskNothing)
{
    Select({2, 4}); // Berta (Heron) and Dora (Egret)
    Answer({QMessageBox::Yes, QMessageBox::No});
    if (!Odbc())
        m_shot = QStringLiteral("delete-events");
    Readers()->OnDeleteEntry();
    m_shot.clear();
    EXPECT_EQ(Texts(), (QStringList{Lang(68), Lang(70)}));
    ExpectInStep({"Anton", "Cäsar", "Anton", ""}, {"Anton", "Cäsar", ""});
    EXPECT_EQ(StoredEvents(), (QStringList{"1:1:Anton", "2:0:Berta", "3:3:Cäsar", "4:0:Dora", "5:5:Anton", "6:6:", "7:0:alt"}));
    EXPECT_EQ(StoredLists(), (QStringList{"1", "", "6;", "3;5", ""}));

    // The Wren and the Tern: one question, events kept without a reader; the
    // Tern's name is the Kite's, and the Kite keeps its children.
    m_boxes.clear();
    Select({2, 3});
    Answer({QMessageBox::Yes});
    Readers()->OnDeleteEntry();
    EXPECT_EQ(Texts(), QStringList{Lang(68)});
    ExpectInStep({"Anton", ""}, {"Anton", ""});
    EXPECT_EQ(StoredEvents(), (QStringList{"1:1:Anton", "2:0:Berta", "3:0:Cäsar", "4:0:Dora", "5:0:Anton", "6:6:", "7:0:alt"}));

    // A reader without a name takes only its own children.
    m_boxes.clear();
    Select({2});
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    Readers()->OnDeleteEntry();
    EXPECT_EQ(Texts(), (QStringList{Lang(69), Lang(70)}));
    ExpectInStep({"Anton"}, {"Anton"});
    EXPECT_EQ(StoredLists(), (QStringList{"1", "", "", "", ""}));
}

TEST_P(ReaderDeleteTest, AnyAnswerButYesChangesNothing)
{
    if (!Odbc())
        m_shot = QStringLiteral("delete-question");
    Select({1, 2});
    Answer({QMessageBox::No});
    Readers()->OnDeleteEntry();
    Answer({QMessageBox::Cancel});
    Readers()->OnDeleteAllEntries();
    EXPECT_EQ(Texts(), (QStringList{Lang(68), Lang(64)}));
    ExpectInStep({"Anton", "Berta", "Cäsar", "Dora", "Anton", ""}, kAllChildren);
    EXPECT_EQ(StoredEvents(), kAllEvents);
    EXPECT_EQ(StoredLists(), kAllLists);
    EXPECT_TRUE(Grid()->IsCellSelected(2, 1));
}

TEST_P(ReaderDeleteTest, DeleteAllEmptiesReadersListsAndChildrenAndKeepsOrDeletesEvents)
{
    Answer({QMessageBox::Yes, QMessageBox::No});
    Readers()->OnDeleteAllEntries();
    EXPECT_EQ(Texts(), (QStringList{Lang(64), Lang(71)}));
    ExpectInStep({}, {});
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    EXPECT_EQ(StoredEvents(), (QStringList{"1:0:Anton", "2:0:Berta", "3:0:Cäsar", "4:0:Dora", "5:0:Anton", "6:0:", "7:0:alt"}));
    EXPECT_EQ(StoredLists(), (QStringList{"", "", "", "", ""}));
    EXPECT_EQ(Stored("tblPerson", "Transponder_ID"), QStringList{"1"});
    EXPECT_EQ(Stored("tblZeitschema", "strBezeichnung").size(), 4);
    EXPECT_EQ(Stored("tblOnline", "ID_Online").size(), 1);

    SqlNow({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (7,'Emil','Kite')"});
    Readers()->Reload(0);
    Tree()->RebuildChildren();
    m_boxes.clear();
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    Readers()->OnDeleteAllEntries();
    ExpectInStep({}, {});
    EXPECT_TRUE(StoredEvents().isEmpty());
}

// Reader Dora went behind the program's back, Berta's row is refused: the
// others go, each of the two keeps its events and assignments, and the
// rows after them are not hit instead.
TEST_P(ReaderDeleteTest, AVanishedOrRefusedReaderKeepsItsReferencesAndHitsNoOther)
{
    SqlNow({"DELETE FROM tblLeser WHERE ID_Leser = 4"});
    Trigger("keepberta", "DELETE ON tblLeser", "OLD.ID_Leser = 2");
    Select({1, 2, 4, 6});
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    Readers()->OnDeleteEntry();
    ASSERT_GE(m_boxes.size(), 4u);
    EXPECT_TRUE(Texts().contains(Lang(66)));
    EXPECT_TRUE(Texts().filter("keepberta says no").size() == 1);
    ExpectInStep({"Berta", "Cäsar", "Anton"}, {"Berta", "Cäsar"});
    EXPECT_EQ(StoredEvents(), (QStringList{"2:2:Berta", "3:3:Cäsar", "4:4:Dora", "5:5:Anton", "7:0:alt"}));
    EXPECT_EQ(StoredLists(), (QStringList{"2;4", "2;2", "02;", "3;5", ""}));
}

// Delete all with one reader refused: that reader stays with its events and
// assignments; the others go as they would alone.
TEST_P(ReaderDeleteTest, DeleteAllWithARefusedReaderKeepsThatReadersReferences)
{
    Trigger("keepdora", "DELETE ON tblLeser", "OLD.ID_Leser = 4");
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    Readers()->OnDeleteAllEntries();
    EXPECT_EQ(Texts().filter("keepdora says no").size(), 1);
    ExpectInStep({"Dora"}, {"Dora"});
    EXPECT_EQ(StoredEvents(), (QStringList{"4:4:Dora", "7:0:alt"}));
    EXPECT_EQ(StoredLists(), (QStringList{"4", "", "", "", ""}));
}

// The lists cannot be written: the whole command is undone, nothing is lost.
TEST_P(ReaderDeleteTest, AnAssignmentThatCannotBeStrippedUndoesTheDelete)
{
    Trigger("lists", "UPDATE ON tblTransponder", "1");
    Select({1});
    Answer({QMessageBox::Yes, QMessageBox::Yes});
    Readers()->OnDeleteEntry();
    EXPECT_EQ(Texts().filter("lists says no").size(), 1);
    ExpectInStep({"Anton", "Berta", "Cäsar", "Dora", "Anton", ""}, kAllChildren);
    EXPECT_EQ(StoredEvents(), kAllEvents);
    EXPECT_EQ(StoredLists(), kAllLists);
}

RECORD_VIEW_BACKENDS(ReaderDeleteTest);
