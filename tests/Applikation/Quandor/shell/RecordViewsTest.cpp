#include "RecordViewFixture.h"
#include "TestWait.h"

#include "CDialogSetup.h"
#include "CEventsDlg.h"
#include "CFontScale.h"
#include "CGridCellCheck.h"
#include "CLeserDlg.h"
#include "CNameDlg.h"
#include "CTransponderDlg.h"
#include "CZeitschemaDlg.h"
#include "CtblPerson.h"
#include "CRecordLookups.h"
#include "CtblTransponder.h"
#include "TestShots.h"

#include <QDir>
#include <QLineEdit>

namespace {

// Readers A (Kite) and T (Tern), a person holding transponder 1, which is
// enabled for A, and one event at A.
const QStringList kRecords = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES (1,'A','Kite','K1'),"
    "(2,'T','Tern','---')",
    "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0)",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS)"
    " VALUES (1,'00000000AA',1,1,'1'),(2,'00000000BB',0,1,'2;')",
    "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, strBinaerwert1, strEvent1, strBinaerwert2,"
    " strEvent2, Leser_ID, strLeserName) VALUES ('00000000AA','24121999','2359','01','Zutritt','10','Tür',1,'A')",
};

class RecordViewsTest : public RecordViewBase
{
protected:
    QStringList Titles() const
    {
        QStringList titles;
        for (int col = 1; col < Grid()->GetColumnCount(); ++col)
            titles << Grid()->GetItemText(0, col);
        return titles;
    }
    // The values: a check cell shows a tick, not its "1".
    QStringList Row(int row) const
    {
        QStringList texts;
        for (int col = 1; col < Grid()->GetColumnCount(); ++col)
            texts << Grid()->GetCellAt(row, col)->GetValue();
        return texts;
    }
    QStringList Texts(std::initializer_list<unsigned int> numbers) const
    {
        QStringList texts;
        for (unsigned int n : numbers)
            texts << Language()->GetLangItem(n);
        return texts;
    }
};

} // namespace

TEST_F(RecordViewsTest, EveryViewShowsItsRecordsUnderItsTitles)
{
    Sql(kRecords);
    Start();
    m_app->GetMainFrame()->resize(1212, 874);
    m_app->GetMainFrame()->show();

    struct Expected
    {
        CLeftTreeView::NodeKind node;
        quint32 gridId;
        int columns;
        int rows;
        QStringList titles;
        QStringList firstRow;
        const char* shot;
    };
    const QString readerA = Language()->GetLangItem(14) + ": Kite";
    const std::vector<Expected> views = {
        {CLeftTreeView::ReadersNode, 1003, 8, 3, Texts({20, 31, 58, 28, 30, 29}) << QString(),
         {"1", "0", readerA, "A", "K1", "", Language()->GetLangItem(59)}, "view_readers.png"},
        {CLeftTreeView::TranspondersNode, 1005, 8, 3, Texts({20, 31, 15, 32, 18}) << "A" << "T",
         {"1", "0", "00000000AA", "Anna", "Vollzugriff", "1", "0"}, "view_transponders.png"},
        {CLeftTreeView::PersonsNode, 1004, 7, 3, Texts({20, 32, 15, 18}) << "A" << "T",
         {"1", "Anna", "00000000AA", "Vollzugriff", "1", "0"}, "view_persons.png"},
        {CLeftTreeView::EventsNode, 1001, 11, 2, Texts({20, 21, 73, 14, 22, 23, 24, 25, 26, 27}),
         {"1", "00000000AA", "Anna", "A", "24.12.1999", "23:59", "01", "Zutritt", "10", "Tür"}, "view_events.png"},
        {CLeftTreeView::TimeSchemasNode, 1006, 15, 2, Texts({20, 31, 28, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44}),
         {"1", "0", "Vollzugriff", "00", "00", "23", "59", "1", "1", "1", "1", "1", "1", "1"}, "view_schemas.png"},
    };
    const QString shots = TestShots(QStringLiteral("views"));
    QDir().mkpath(shots);
    for (const Expected& expected : views) {
        SCOPED_TRACE(expected.shot);
        Show(expected.node);
        ASSERT_NE(Grid(), nullptr);
        EXPECT_EQ(Grid()->GetDlgCtrlID(), expected.gridId);
        EXPECT_EQ(Grid()->GetColumnCount(), expected.columns);
        EXPECT_EQ(Grid()->GetRowCount(), expected.rows);
        EXPECT_EQ(Titles(), expected.titles);
        EXPECT_EQ(Row(1), expected.firstRow);
        TestWait::Settle();
        EXPECT_TRUE(m_app->GetMainFrame()->grab().save(shots + expected.shot));
    }
}

TEST_F(RecordViewsTest, AReaderFilterShowsOnlyThatReadersRecords)
{
    Sql(kRecords);
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (3,'B','Heron')",
         "INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS) VALUES ('00000000CC','2;03')"});
    Start();
    // The tree lists the readers but the Tern: A, then B.
    Show(CLeftTreeView::TranspondersNode, 1);
    ASSERT_NE(Grid(), nullptr);
    EXPECT_EQ(Grid()->GetRowCount(), 2);
    EXPECT_EQ(Row(1).mid(2), (QStringList{"00000000CC", "", Row(1).at(4), "0", "1", "1"}));
    // No schema of its own: the list cell shows none.
    EXPECT_EQ(Grid()->GetItemText(1, 5), "");
    // The Tern's column is read-only, the others are not.
    EXPECT_NE(Grid()->GetCellAt(1, 7)->GetState() & GVIS_READONLY, 0u);
    EXPECT_EQ(Grid()->GetCellAt(1, 8)->GetState() & GVIS_READONLY, 0u);
    Show(CLeftTreeView::TranspondersNode, 0);
    EXPECT_EQ(Grid()->GetRowCount(), 2);
    EXPECT_EQ(Grid()->GetItemText(1, 3), "00000000AA");

    Show(CLeftTreeView::PersonsNode, 0);
    EXPECT_EQ(Grid()->GetRowCount(), 2);
    EXPECT_EQ(Grid()->GetItemText(1, 2), "Anna");
    Show(CLeftTreeView::PersonsNode, 1);
    EXPECT_EQ(Grid()->GetRowCount(), 1);
    Show(CLeftTreeView::EventsNode, 0);
    EXPECT_EQ(Grid()->GetRowCount(), 2);
    Show(CLeftTreeView::EventsNode, 1);
    EXPECT_EQ(Grid()->GetRowCount(), 1);
}

TEST_F(RecordViewsTest, AnEventNamesThePersonWhoseRecordHoldsTheTransponderAndTheReadersPresentName)
{
    Sql(kRecords);
    // Transponder BB names no person, but Cem's record names it; the event
    // keeps the reader's old name; the third event's transponder is unknown.
    Sql({"INSERT INTO tblPerson (strName, Transponder_ID) VALUES ('Cem',2)",
         "INSERT INTO tblEvents (strTranspondernummer, strDatum, strUhrzeit, Leser_ID, strLeserName) VALUES"
         " ('00000000BB','010203','1','1','Altname'),('00000000bb','','','1','Altname')"});
    Start();
    Show(CLeftTreeView::EventsNode);
    EXPECT_EQ(Row(2).mid(1, 5), (QStringList{"00000000BB", "Cem", "Altname", "01.02.03", "1:"}));
    EXPECT_EQ(Row(3).mid(2, 3), (QStringList{"---", "Altname", ".."}));
    // Filtered by the reader, the reader's present name.
    Show(CLeftTreeView::EventsNode, 0);
    EXPECT_EQ(Grid()->GetItemText(2, 4), "A");
}

TEST_F(RecordViewsTest, ALanguageSwitchRetitlesTheShownViewAndKeepsTheReaderColumns)
{
    Sql(kRecords);
    Start();
    Show(CLeftTreeView::PersonsNode);
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_ENGLISH);
    EXPECT_EQ(Titles(), (QStringList{"No.", "Name", "Transponders", "Time schemas", "A", "T"}));
    // The reader columns still find their readers by their titles.
    EXPECT_EQ(Row(1).mid(3), (QStringList{"Full access", "1", "0"}));
    m_app->GetMainFrame()->OnCommand(CMainFrame::ID_LANGUAGE_GERMAN);
    EXPECT_EQ(Titles().first(), "Nr.");
}

TEST_F(RecordViewsTest, AViewsWidthsAndHeightsComeBackAfterARestart)
{
    Sql(kRecords);
    Start();
    Show(CLeftTreeView::TranspondersNode);
    ASSERT_NE(Grid(), nullptr);
    Grid()->SetColumnWidth(3, 171, true, true);
    Grid()->SetColumnWidth(6, 66, true, true);
    Grid()->SetRowHeight(0, 41, true);
    Grid()->SetRowHeight(1, 27, true);
    m_app->ExitInstance();

    Start();
    // The view shown first stores nothing of the transponder view.
    EXPECT_EQ(m_app->GetDialogSetup()->GetRowHeight("05", "0", false), 27);
    Show(CLeftTreeView::TranspondersNode);
    ASSERT_NE(Grid(), nullptr);
    EXPECT_EQ(Grid()->GetColumnWidth(3), 171);
    EXPECT_EQ(Grid()->GetColumnWidth(6), 66);
    // Not stored: the default, for the grid's font.
    EXPECT_EQ(Grid()->GetColumnWidth(4), CFontScale(Grid()).Width(130));
    EXPECT_EQ(Grid()->GetRowHeight(0), 41);
    EXPECT_EQ(Grid()->GetRowHeight(1), 27);
    EXPECT_EQ(Grid()->GetRowHeight(2), 27);
    // Opening the view again did not overwrite what is stored.
    EXPECT_EQ(m_app->GetDialogSetup()->GetRowHeight("05", "0", false), 27);
    EXPECT_EQ(m_app->GetDialogSetup()->GetRowHeight("05", "0", true), 41);
    m_app->ExitInstance();

    Start();
    Show(CLeftTreeView::TranspondersNode);
    EXPECT_EQ(Grid()->GetRowHeight(1), 27);
    EXPECT_EQ(Grid()->GetColumnWidth(3), 171);
}

TEST_F(RecordViewsTest, ADoubleClickOnAHeaderSortsTheView)
{
    Sql(kRecords);
    Start();
    m_app->GetMainFrame()->show();
    Show(CLeftTreeView::TranspondersNode);
    ASSERT_NE(Grid(), nullptr);
    QRect header;
    ASSERT_TRUE(Grid()->GetCellRect(0, 3, &header));
    QWidget* viewport = Grid()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, header.center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, header.center());
    EXPECT_EQ(View()->m_nSortColumn, 3);
    EXPECT_EQ(View()->m_nSortMode, 1);
    EXPECT_EQ(Grid()->GetCell(0, 3)->GetBackClr(true), 0xBEFFFFu);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, header.center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, header.center());
    EXPECT_EQ(View()->m_nSortMode, 2);
    EXPECT_EQ(Grid()->GetItemText(1, 3), "00000000BB");
    TestWait::Settle();
    EXPECT_TRUE(m_app->GetMainFrame()->grab().save(TestShots(QStringLiteral("views")) + QStringLiteral("view_sorted_descending.png")));
}

TEST_F(RecordViewsTest, ARefillAfterReadersCameOrWentHasAColumnPerReader)
{
    Sql(kRecords);
    Start();
    Show(CLeftTreeView::TranspondersNode);
    auto* view = qobject_cast<CTransponderDlg*>(Pane());
    ASSERT_NE(view, nullptr);
    // As an import would add one.
    Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp) VALUES (3,'Neu','Heron')",
         "UPDATE tblTransponder SET strLeser_IDS = '3' WHERE ID_Transponder = 1"});
    m_app->GetDBHandler()->Get_Ptr_To_tblLeser()->_Requery();
    m_app->GetDBHandler()->Get_Ptr_To_tblTransponder()->_Requery();
    view->ShowForReader(0);
    EXPECT_EQ(Titles().mid(5), (QStringList{"A", "T", "Neu"}));
    EXPECT_EQ(Row(1).mid(5), (QStringList{"0", "0", "1"}));

    Sql({"DELETE FROM tblLeser WHERE ID_Leser <> 3"});
    m_app->GetDBHandler()->Get_Ptr_To_tblLeser()->_Requery();
    view->ShowForReader(0);
    EXPECT_EQ(Titles().mid(5), QStringList{"Neu"});
    EXPECT_EQ(Row(1).mid(5), QStringList{"1"});
}

namespace {

// The views' own columns after a refill: titles, which are grey (read-only),
// which hold checks, which take typing.
struct FirstColumns
{
    CLeftTreeView::NodeKind kind;
    std::vector<unsigned int> titles;
    std::vector<int> grey;
    std::vector<int> checks;
    std::vector<int> editable;
    const char* shot;
};

} // namespace

TEST_F(RecordViewsTest, ARefillWithOneReaderFewerKeepsTheViewsOwnColumnsAsTheyWere)
{
    Sql(kRecords);
    Start();
    CMainFrame* frame = m_app->GetMainFrame();
    frame->resize(900, 420);
    frame->show();
    m_presenter.Set([this](const CUiMessage::Request& request) {
        m_messages << request.text;
        return (request.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    const FirstColumns cases[] = {
        {CLeftTreeView::TranspondersNode, {20, 31, 15, 32, 18}, {1, 2, 3}, {2, 6}, {4, 5}, "transponders"},
        {CLeftTreeView::PersonsNode, {20, 32, 15, 18}, {1, 4, 5}, {5}, {2, 3}, "persons"},
    };
    for (const FirstColumns& expected : cases) {
        SCOPED_TRACE(expected.shot);
        Show(expected.kind);
        QStringList titles;
        for (unsigned int number : expected.titles)
            titles << Language()->GetLangItem(number);
        const int readerColumn = int(expected.titles.size()) + 1;

        // Every reader goes, then one comes back with its records (as an
        // import after a clear-all brings them): the column count changes
        // twice under the same grid.
        frame->OnCommand(CMainFrame::ID_DELETE_ALL_ENTRIES);
        ASSERT_EQ(Grid()->GetColumnCount(), readerColumn);
        EXPECT_EQ(Titles(), titles);
        Sql({"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer) VALUES (7,'B','Kite','K7')",
             "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (11,'Cleo',21)",
             "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
             " strLeser_IDS) VALUES (21,'00000000CC',11,1,'7')"});
        CFerrold_Handler* db = m_app->GetDBHandler();
        db->Get_Ptr_To_tblLeser()->_Requery();
        db->Get_Ptr_To_tblPerson()->_Requery();
        db->Get_Ptr_To_tblTransponder()->_Requery();
        if (auto* transponders = qobject_cast<CTransponderDlg*>(View()))
            transponders->ShowForReader(0);
        else if (auto* persons = qobject_cast<CNameDlg*>(View()))
            persons->Reload(0);

        ASSERT_EQ(Grid()->GetColumnCount(), readerColumn + 1);
        EXPECT_EQ(Titles(), titles + QStringList{"B"});
        for (int col = 1; col <= readerColumn; ++col) {
            CGridCellBase* cell = Grid()->GetCellAt(1, col);
            ASSERT_NE(cell, nullptr);
            const auto has = [col](const std::vector<int>& columns) {
                return std::find(columns.begin(), columns.end(), col) != columns.end();
            };
            EXPECT_EQ((Grid()->GetItemState(1, col) & GVIS_READONLY) != 0, has(expected.grey)) << col;
            EXPECT_EQ(cell->IsKindOf(CGridCellCheck::GetThisClass()), has(expected.checks)) << col;
            EXPECT_EQ(Grid()->IsCellEditable(1, col), has(expected.editable)) << col;
        }
        TestWait::Settle();
        EXPECT_TRUE(frame->grab().save((TestShots(QStringLiteral("views")) + QStringLiteral("refill_one_reader_fewer_%1.png"))
                                           .arg(QLatin1String(expected.shot))));
    }
}

namespace {

// The persons view as it stores edits: which person an edit reached.
class StoringNameDlg : public CNameDlg
{
public:
    using CNameDlg::CNameDlg;
    bool StoreEditedCell(GRID_NOTIFY* notify) override
    {
        CtblPerson* persons = GetDBHandler()->Get_Ptr_To_tblPerson();
        const int index = CacheRow(notify->dataRow, persons->GetAnz_Person());
        stored << (index >= 0 ? persons->Get_Person(index)->Name : QStringLiteral("?")) + "=" + notify->text1;
        return true;
    }
    QStringList stored;
};

} // namespace

TEST_F(RecordViewsTest, AnOpenEditIsStoredOnItsOwnRecordBeforeTheViewShowsOthers)
{
    Sql(kRecords);
    Sql({"INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (3,'Dora',2)",
         "UPDATE tblTransponder SET Person_ID = 3 WHERE ID_Transponder = 2"});
    Start();
    m_app->GetMainFrame()->resize(900, 420);
    m_app->GetMainFrame()->show();
    auto* view = new StoringNameDlg(m_app->Context());
    m_app->GetMainFrame()->ReplaceRightPane(view);
    view->Reload(1);
    QCoreApplication::processEvents();
    CGridCtrl* grid = view->GetGrid();
    ASSERT_EQ(grid->GetItemText(1, 2), "Anna");
    grid->setFocus();
    grid->MoveFocusCell(1, 2);
    QTest::keyClick(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid->GetActiveEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText("Cleo");

    // The other reader's persons: as many rows, other records.
    view->Reload(2);
    grid->EndActiveEdit();
    EXPECT_EQ(view->stored, QStringList{"Anna=Cleo"});
    EXPECT_EQ(grid->GetItemText(1, 2), "Dora");

    // So does a sort, which shows other records in the rows.
    view->Reload(0);
    grid->MoveFocusCell(2, 2);
    QTest::keyClick(grid, Qt::Key_F2);
    editor = qobject_cast<QLineEdit*>(grid->GetActiveEditor());
    ASSERT_NE(editor, nullptr);
    editor->setText("Emil");
    grid->SortByColumn(2, 2);
    grid->EndActiveEdit();
    EXPECT_EQ(view->stored, (QStringList{"Anna=Cleo", "Bert=Emil"}));
}

TEST_F(RecordViewsTest, AKeyChangedInPlaceIsFoundByTheNextFill)
{
    Sql(kRecords);
    Start();
    Show(CLeftTreeView::TranspondersNode);
    auto* view = qobject_cast<CTransponderDlg*>(Pane());
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(Grid()->GetItemText(2, 4), "");
    // Bert takes transponder 2, changed in the cached row as an edit does.
    CFerrold_Handler* db = m_app->GetDBHandler();
    db->Get_Ptr_To_tblPerson()->Get_Person(1)->Transponder_ID = 2;
    view->ShowForReader(0);
    EXPECT_EQ(Grid()->GetItemText(2, 4), "Bert");
    EXPECT_EQ(Grid()->GetItemText(1, 4), "Anna");

    // The look-ups themselves: a number changed in place is found after a
    // reset, and its old number no more.
    CRecordLookups lookups(m_app->Context());
    CtblTransponder::structTransponder* row = db->Get_Ptr_To_tblTransponder()->Get_Transponder(0);
    ASSERT_EQ(lookups.TransponderByNumber("00000000AA"), row);
    row->TransponderNummer = "00000000CC";
    lookups.Reset();
    EXPECT_EQ(lookups.TransponderByNumber("00000000CC"), row);
    EXPECT_EQ(lookups.TransponderByNumber("00000000AA"), nullptr);
}
