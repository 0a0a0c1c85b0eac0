#include "RecordViewFixture.h"
#include "TestWait.h"

#include "CBlinkStatic.h"
#include "CDialogRunner.h"
#include "CShowMessage.h"
#include "CTransponderDlg.h"
#include "CUiMessage.h"
#include "CUsbManuell.h"
#include "CGridCellCombo.h"
#include "CGridEditKey.h"
#include "GridConstants.h"
#include "CListEntry.h"
#include "CtblPerson.h"
#include "CtblTransponder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

TEST(NormalizeTransponderNumber, OnlyTenHexCharacters)
{
    EXPECT_EQ(CUsbManuell::NormalizeTransponderNumber("0123456789"), "0123456789");
    EXPECT_EQ(CUsbManuell::NormalizeTransponderNumber("00aBcDeF12"), "00ABCDEF12");
    for (const char* bad : {"012345678", "01234567890", "01234 6789", "01234G6789", "", "0x23456789"})
        EXPECT_EQ(CUsbManuell::NormalizeTransponderNumber(bad), QString()) << bad;
}

// Readers A (1, serial S1) and B (2); schemas 1 "Voll" and 5 "Nacht";
// Anna holds T1; T1 is for A, T2 for B, T3 for A and B, T4 for none.
const QStringList kData = {
    "INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer, boolUpdateOK) VALUES"
    " (1,'A','Kite','S1',0),(2,'B','Heron','S2',0)",
    "INSERT INTO tblZeitschema (ID_Zeitschema, strBezeichnung, strVon, strBis) VALUES"
    " (5,'Nacht','2200','2359'),(6,'Nacht','',''),(7,'Nacht','',''),(8,'Nacht','','')",
    "INSERT INTO tblPerson (ID_Person, strName, Transponder_ID) VALUES (1,'Anna',1),(2,'Bert',0)",
    "INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID, strLeser_IDS, boolUpdateOK)"
    " VALUES (1,'00000000AA',1,1,'1',0),(2,'00000000BB',0,1,'2',0),(3,'00000000CC',0,5,'1;2',0),(4,'00000000DD',0,1,'',0)",
};

class CTransponderDlgTest : public RecordViewFixture
{
protected:
    CTransponderDlg* Transponders() const { return qobject_cast<CTransponderDlg*>(Pane()); }
    CtblTransponder* Cache() const { return m_app->GetDBHandler()->Get_Ptr_To_tblTransponder(); }

    void StartShown(int child = -1, const QStringList& more = {})
    {
        Sql(kData);
        Sql(more);
        StartOnBackend();
        m_app->GetMainFrame()->resize(1212, 874);
        m_app->GetMainFrame()->show();
        TestWait::Settle();
        Show(CLeftTreeView::TranspondersNode, child);
        ASSERT_NE(Transponders(), nullptr);
    }
    bool Edit(int row, int column, const QString& value)
    {
        GRID_NOTIFY notify;
        notify.row = row;
        notify.dataRow = Grid()->GetDataRow(row) >= 0 ? Grid()->GetDataRow(row) : row;
        notify.column = column;
        notify.text2 = value;
        return Transponders()->StoreEditedCell(&notify);
    }
    // Cache and table agree, column by column.
    void ExpectCacheIsTable()
    {
        QStringList numbers, lists, marks;
        for (int i = 0; i < Cache()->GetAnz_Transponder(); ++i) {
            numbers << Cache()->Get_Transponder(i)->TransponderNummer;
            lists << Cache()->Get_Transponder(i)->Leser_IDS;
            marks << QString::number(Cache()->Get_Transponder(i)->UpdateOK);
        }
        EXPECT_EQ(numbers, Stored("tblTransponder", "strTransponderNummer"));
        EXPECT_EQ(lists, Stored("tblTransponder", "strLeser_IDS"));
        EXPECT_EQ(marks, Stored("tblTransponder", "boolUpdateOK"));
    }
    void SelectRows(const QList<uint>& rows) { Grid()->SelectRows(&rows); }
    // The cached lists against the table, on any backend.
    void ExpectCacheIsTableOnBackend()
    {
        QStringList lists;
        for (int i = 0; i < Cache()->GetAnz_Transponder(); ++i)
            lists << Cache()->Get_Transponder(i)->Leser_IDS;
        QString error;
        const QStringList stored =
            Postgres() ? TestEnvironment::PostgresRows(m_server,
                                                       TestEnvironment::PostgresSql(
                                                           "SELECT strLeser_IDS FROM tblTransponder ORDER BY ID_Transponder"),
                                                       &error)
                       : Stored("tblTransponder", "strLeser_IDS");
        EXPECT_EQ(lists, stored) << error.toStdString();
    }
};

TEST_P(CTransponderDlgTest, ShowsPersonsSchemasAndReaderTicks)
{
    StartShown();
    EXPECT_EQ(Column(3), (QStringList{"00000000AA", "00000000BB", "00000000CC", "00000000DD"}));
    EXPECT_EQ(Column(4), (QStringList{"Anna", "", "", ""}));
    EXPECT_EQ(Column(5), (QStringList{"Vollzugriff", "Vollzugriff", "Nacht", "Vollzugriff"}));
    EXPECT_EQ(Values(6), (QStringList{"1", "0", "1", "0"}));
    EXPECT_EQ(Values(7), (QStringList{"0", "1", "1", "0"}));
    Show(CLeftTreeView::TranspondersNode, 1); // reader B
    EXPECT_EQ(Column(3), (QStringList{"00000000BB", "00000000CC"}));
}

TEST_P(CTransponderDlgTest, EditsStoreAndMarkExactlyWhatChanged)
{
    StartShown();
    // A person: both sides of the link, no mark.
    ASSERT_TRUE(Edit(4, 4, "Anna"));
    EXPECT_EQ(Stored("tblPerson", "Transponder_ID"), (QStringList{"4", "0"}));
    EXPECT_EQ(Stored("tblTransponder", "Person_ID"), (QStringList{"1", "0", "0", "1"}));
    EXPECT_EQ(Values(4), (QStringList{"", "", "", "Anna"}));
    ASSERT_TRUE(Edit(4, 4, "")); // "---"
    EXPECT_EQ(Stored("tblPerson", "Transponder_ID"), (QStringList{"0", "0"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"0", "0"}));

    // A schema: the transponder and the readers that hold it.
    ASSERT_TRUE(Edit(2, 5, "Nacht"));
    EXPECT_EQ(Stored("tblTransponder", "Zeitfenster_ID"), (QStringList{"1", "5", "5", "1"}));
    EXPECT_EQ(Stored("tblTransponder", "boolUpdateOK"), (QStringList{"0", "1", "0", "0"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"0", "1"}));

    // A tick: the transponder and that reader; an empty list takes the ID alone.
    ASSERT_TRUE(Edit(4, 6, "1"));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"1", "2", "1;2", "1"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"1", "1"}));
    ASSERT_TRUE(Edit(3, 7, "0"));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"1", "2", "1", "1"}));
    EXPECT_EQ(Values(7), (QStringList{"0", "1", "0", "0"}));
    ExpectCacheIsTable();
    EXPECT_TRUE(m_boxes.empty());
}

TEST_P(CTransponderDlgTest, UntickingTheShownReaderDropsTheRow)
{
    StartShown(1); // reader B
    ASSERT_EQ(Column(3), (QStringList{"00000000BB", "00000000CC"}));
    const bool stored = Edit(1, 7, "0");
    for (const auto& box : m_boxes)
        ADD_FAILURE() << box.text.toStdString();
    ASSERT_TRUE(stored);
    EXPECT_EQ(Column(3), (QStringList{"00000000CC"}));
}

TEST_P(CTransponderDlgTest, DropDownsAreBuiltWhenTheyOpen)
{
    StartShown();
    // No list is built with the fill, yet a person cell stands for its
    // holder's name, as sorting and copying read it.
    EXPECT_EQ(Values(CTransponderDlg::kPersonColumn), (QStringList{"Anna", "", "", ""}));
    GRID_NOTIFY begin;
    begin.hdr.code = GRIDN_BEGINEDIT;
    begin.row = begin.dataRow = 2;
    begin.column = 4;
    View()->OnGridNotify(begin);
    auto* combo = dynamic_cast<CGridCellCombo*>(Grid()->GetCell(2, 4));
    ASSERT_NE(combo, nullptr);
    QStringList offered;
    for (const auto& item : combo->GetItemList())
        offered << item->m_strDisplay;
    EXPECT_EQ(offered, (QStringList{"---", "Bert"})); // Anna holds another
}

// A cell whose list was built for one transponder shows the next one's
// person and schema once the rows shift under it.
TEST_P(CTransponderDlgTest, ListCellsShowTheirRowsAfterTheRowsShift)
{
    StartShown(-1, {"UPDATE tblPerson SET Transponder_ID = 3 WHERE ID_Person = 2"});
    for (int column : {CTransponderDlg::kPersonColumn, CTransponderDlg::kSchemaColumn}) {
        Grid()->BeginCellEdit(2, column, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
        QWidget* editor = Grid()->GetActiveEditor();
        ASSERT_NE(editor, nullptr);
        QTest::keyClick(editor, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([this] { return Grid()->GetActiveEditor() == nullptr; }));
    }
    SelectRows({1});
    Transponders()->OnDeleteEntry();
    EXPECT_EQ(Column(3), (QStringList{"00000000BB", "00000000CC", "00000000DD"}));
    EXPECT_EQ(Column(4), (QStringList{"", "Bert", ""}));
    EXPECT_EQ(Column(5), (QStringList{"Vollzugriff", "Nacht", "Vollzugriff"}));
    SaveShot(m_app->GetMainFrame(), Odbc() ? "transponders-rows-shifted-odbc.png" : "transponders-rows-shifted.png");

    // Unticking the shown reader moves the rows as well.
    Show(CLeftTreeView::TranspondersNode, 0); // reader A: AA is gone, CC stays
    ASSERT_EQ(Column(3), (QStringList{"00000000CC"}));
    EXPECT_EQ(Column(4), (QStringList{"Bert"}));
}

// A person edit the database refuses leaves both sides of the link and
// the screen as they were, and says why.
TEST_P(CTransponderDlgTest, ARefusedPersonEditChangesNothing)
{
    StartShown();
    Sql({"CREATE TRIGGER refuse BEFORE UPDATE ON tblPerson BEGIN SELECT RAISE(ABORT, 'Person gesperrt'); END"});
    EXPECT_FALSE(Edit(2, CTransponderDlg::kPersonColumn, "Bert"));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes.front().text.contains("Person gesperrt")) << qPrintable(m_boxes.front().text);
    EXPECT_EQ(Stored("tblPerson", "Transponder_ID"), (QStringList{"1", "0"}));
    EXPECT_EQ(Stored("tblTransponder", "Person_ID"), (QStringList{"1", "0", "0", "0"}));
    EXPECT_EQ(Column(4), (QStringList{"Anna", "", "", ""}));
}

// Two readers of one name: each column is its own reader's.
TEST_P(CTransponderDlgTest, TwoReadersOfOneNameKeepTheirOwnColumns)
{
    StartShown(-1, {"INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer, boolUpdateOK)"
                    " VALUES (3,'A','Egret','S3',0)"});
    ASSERT_EQ(Grid()->GetItemText(0, 8), "A");
    EXPECT_EQ(Values(8), (QStringList{"0", "0", "0", "0"}));
    ASSERT_TRUE(Edit(4, 8, "1"));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"1", "2", "1;2", "3"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"0", "0", "1"}));
    EXPECT_EQ(Values(6), (QStringList{"1", "0", "1", "0"}));
    EXPECT_EQ(Values(8), (QStringList{"0", "0", "0", "1"}));
    ExpectCacheIsTable();
}

TEST_P(CTransponderDlgTest, AssignAndWithdrawAllMarkOnlyTheChanged)
{
    StartShown();
    m_menuChoice = CTransponderDlg::ID_ASSIGN_ALL;
    auto menu = RightClick(1, 7); // reader B
    EXPECT_EQ(menu.front().text, "2 " + Lang(231));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"1;2", "2", "1;2", "2"}));
    EXPECT_EQ(Stored("tblTransponder", "boolUpdateOK"), (QStringList{"1", "0", "0", "1"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"0", "1"}));
    ExpectCacheIsTable();

    m_menuChoice = CTransponderDlg::ID_REMOVE_ALL_ASSIGNMENTS;
    menu = RightClick(1, 6); // reader A
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"2", "2", "2", "2"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"1", "1"}));
    EXPECT_EQ(Values(6), (QStringList{"0", "0", "0", "0"}));
    ExpectCacheIsTable();

    // Outside the reader columns nothing is offered for a reader.
    m_menuChoice = 0;
    menu = RightClick(1, 3);
    EXPECT_EQ(menu.front().text, "--- " + Lang(231));
    EXPECT_FALSE(menu.front().enabled);
    EXPECT_EQ(Transponders()->m_strClickedReader, "");
}

// Assign all and remove all work under the wait cursor, also when the
// database refuses them.
TEST_P(CTransponderDlgTest, AssignAllShowsTheWaitCursorWhileItWrites)
{
    StartShown();
    Sql({"CREATE TRIGGER refuse BEFORE UPDATE ON tblTransponder BEGIN SELECT RAISE(ABORT, 'gesperrt'); END"});
    QList<bool> waiting;
    m_presenter.Set([&](const CUiMessage::Request&) {
        waiting << m_app->IsWaitCursorOn();
        return QMessageBox::Ok;
    });
    for (int command : {int(CTransponderDlg::ID_ASSIGN_ALL), int(CTransponderDlg::ID_REMOVE_ALL_ASSIGNMENTS)}) {
        m_menuChoice = command;
        RightClick(1, 7); // reader B
        EXPECT_FALSE(m_app->IsWaitCursorOn());
    }
    EXPECT_EQ(waiting, (QList<bool>{true, true}));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"1", "2", "1;2", ""}));
}

TEST_P(CTransponderDlgTest, DeleteSelectedAndAllShownMarkTheirReaders)
{
    StartShown();
    SelectRows({1, 3});
    Transponders()->OnDeleteEntry();
    EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"), (QStringList{"00000000BB", "00000000DD"}));
    EXPECT_EQ(Stored("tblPerson", "Transponder_ID"), (QStringList{"0", "0"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"1", "1"}));
    EXPECT_EQ(Column(3), (QStringList{"00000000BB", "00000000DD"}));
    ExpectCacheIsTable();

    Sql({"UPDATE tblLeser SET boolUpdateOK = 0"});
    m_app->GetDBHandler()->Get_Ptr_To_tblLeser()->_Requery();
    Show(CLeftTreeView::TranspondersNode, 1); // reader B: BB only
    Transponders()->OnDeleteAllEntries();
    EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"), (QStringList{"00000000DD"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"0", "1"}));
    // Deleting asks with No as the answer to a hasty Return.
    EXPECT_EQ(m_questionDefaults, (std::vector<QMessageBox::StandardButton>{QMessageBox::No, QMessageBox::No}));
}

TEST_P(CTransponderDlgTest, ARefusedDeleteKeepsItsRowAndTheCountIsShown)
{
    StartShown();
    // Another program removes BB behind the view's back.
    SqlNow({"DELETE FROM tblTransponder WHERE ID_Transponder = 2"});
    SelectRows({1, 2, 3});
    Transponders()->OnDeleteEntry();
    EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"), (QStringList{"00000000DD"}));
    ExpectCacheIsTable();
    EXPECT_FALSE(m_boxes.empty());
}

// --- Manual and USB entry.

class CUsbManuellTest : public CTransponderDlgTest
{
protected:
    void SetUp() override
    {
        CTransponderDlgTest::SetUp();
        m_runner.Set([this](QDialog& dialog) {
            if (auto* notice = qobject_cast<CShowMessage*>(&dialog)) {
                m_noticeTexts << NoticeText(*notice);
                m_noticeColours << notice->GetTextControl()->GetTextColor();
                return int(QDialog::Accepted);
            }
            if (auto* entry = qobject_cast<CUsbManuell*>(&dialog)) {
                entry->show();
                if (m_drive)
                    m_drive(*entry);
                return entry->result();
            }
            return int(QDialog::Rejected);
        });
    }
    void TearDown() override
    {
        CTransponderDlgTest::TearDown();
    }
    static QString NoticeText(CShowMessage& notice);
    void Type(CUsbManuell& entry, const QString& text, bool enter = true)
    {
        entry.NumberEdit()->clear();
        QTest::keyClicks(entry.NumberEdit(), text);
        if (enter)
            QTest::keyClick(entry.NumberEdit(), Qt::Key_Return);
    }

    std::function<void(CUsbManuell&)> m_drive;
    QStringList m_noticeTexts;
    QList<COLORREF> m_noticeColours;
};

QString CUsbManuellTest::NoticeText(CShowMessage& notice)
{
    for (auto* label : notice.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            return label->text();
    return QString();
}

TEST_P(CUsbManuellTest, TypedAndUsbNumbers)
{
    StartShown();
    bool stillOpen = false;
    m_drive = [&](CUsbManuell& entry) {
        Type(entry, "12345678ab");                 // a USB reader: ten characters and Return
        Type(entry, "123456789");                  // nine
        Type(entry, "12345678901");                // eleven
        Type(entry, "1234 67890");                 // a blank
        Type(entry, "123456789G");
        Type(entry, "12345678AB");                 // stored already
        Type(entry, "0000000001", false);
        QTest::mouseClick(entry.OkButton(), Qt::LeftButton);
        entry.NumberEdit()->setText("0000000002");
        entry.CancelButton()->setFocus();
        QTest::keyClick(entry.CancelButton(), Qt::Key_Return); // an entry, not a close
        stillOpen = entry.isVisible();
        SaveShot(&entry, "usb-entry.png");
        entry.reject();
    };
    Transponders()->OnAddUsbOrManual();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(m_noticeTexts, (QStringList{Lang(245), Lang(244), Lang(244), Lang(244), Lang(244), Lang(246), Lang(245),
                                          Lang(245)}));
    // Refusals in red, stored numbers in green.
    const COLORREF done = CShowMessage::kDoneColour;
    const COLORREF error = CShowMessage::kErrorColour;
    EXPECT_EQ(m_noticeColours, (QList<COLORREF>{done, error, error, error, error, error, done, done}));
    EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"),
              (QStringList{"00000000AA", "00000000BB", "00000000CC", "00000000DD", "12345678AB", "0000000001",
                           "0000000002"}));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS").mid(4), (QStringList{"0", "0", "0"}));
    EXPECT_EQ(Stored("tblTransponder", "Zeitfenster_ID").mid(4), (QStringList{"1", "1", "1"}));
    EXPECT_EQ(Stored("tblTransponder", "boolUpdateOK").mid(4), (QStringList{"1", "1", "1"}));
    EXPECT_EQ(Column(3).mid(4), (QStringList{"12345678AB", "0000000001", "0000000002"}));
    ExpectCacheIsTable();
}

TEST_P(CUsbManuellTest, ADuplicateSelectsTheRowThatShowsIt)
{
    StartShown();
    m_drive = [&](CUsbManuell& entry) {
        Type(entry, "00000000cc");
        EXPECT_TRUE(entry.NumberEdit()->text().isEmpty());
        entry.reject();
    };
    Transponders()->OnAddUsbOrManual();
    EXPECT_EQ(m_noticeTexts, (QStringList{Lang(246)}));
    EXPECT_EQ(View()->SelectedRows(), (std::vector<int>{3}));
}

// In a grid sorted by number, descending: a stored number selects the row
// that shows it, and the sort stays; a number added ends the sort, since
// the new row stands last in cache order, and the header says so.
TEST_P(CUsbManuellTest, InASortedGridADuplicateFindsItsRowAndANewNumberEndsTheSort)
{
    StartShown();
    QRect header;
    ASSERT_TRUE(Grid()->GetCellRect(0, 3, &header));
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
        QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
    }
    ASSERT_EQ(Column(3), (QStringList{"00000000DD", "00000000CC", "00000000BB", "00000000AA"}));
    const COLORREF descending = 0xFFFFBE;
    ASSERT_EQ(Grid()->GetCell(0, 3)->GetBackClr(true), descending);

    m_drive = [&](CUsbManuell& entry) {
        Type(entry, "00000000bb");
        EXPECT_EQ(View()->SelectedRows(), (std::vector<int>{3}));
        EXPECT_EQ(Grid()->GetItemText(3, 3), "00000000BB");
        EXPECT_TRUE(entry.NumberEdit()->text().isEmpty());
        entry.reject();
    };
    Transponders()->OnAddUsbOrManual();
    EXPECT_EQ(m_noticeTexts, (QStringList{Lang(246)}));
    EXPECT_EQ(Grid()->GetCell(0, 3)->GetBackClr(true), descending);
    EXPECT_EQ(View()->m_nSortMode, 2);
    EXPECT_EQ(Column(3).first(), "00000000DD");

    m_drive = [&](CUsbManuell& entry) {
        Type(entry, "00000000EE");
        entry.reject();
    };
    Transponders()->OnAddUsbOrManual();
    EXPECT_EQ(m_noticeTexts.last(), Lang(245));
    EXPECT_EQ(Column(3), (QStringList{"00000000AA", "00000000BB", "00000000CC", "00000000DD", "00000000EE"}));
    EXPECT_EQ(Grid()->GetCell(0, 3)->GetBackClr(true), CLR_DEFAULT);
    EXPECT_EQ(View()->m_nSortMode, 0);
    ExpectCacheIsTable();
}

// The view in English with its lists open, its menu, and the entry dialog.
TEST_P(CUsbManuellTest, Screenshots)
{
    if (Odbc())
        GTEST_SKIP() << "one set of pictures";
    SetLanguage(1);
    StartShown();
    SaveShot(m_app->GetMainFrame(), "transponders.png");
    for (int column : {CTransponderDlg::kPersonColumn, CTransponderDlg::kSchemaColumn}) {
        Grid()->BeginCellEdit(2, column, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
        auto* list = qobject_cast<QComboBox*>(Grid()->GetActiveEditor());
        ASSERT_NE(list, nullptr);
        list->showPopup();
        TestWait::Settle();
        SaveShotWithPopup(list->view()->window(),
                          column == CTransponderDlg::kPersonColumn ? "transponders-person-list.png"
                                                                   : "transponders-schema-list.png");
        list->hidePopup();
        Grid()->EndActiveEdit();
    }
    SaveMenuShot(Transponders()->ContextMenu(CTransponderDlg::kFirstReaderColumn), 1,
                 CTransponderDlg::kFirstReaderColumn, "transponders-menu.png");
    m_drive = [&](CUsbManuell& entry) {
        entry.NumberEdit()->setText("00000000EE");
        SaveShot(&entry, "usb-entry-en.png");
        entry.reject();
    };
    Transponders()->OnAddUsbOrManual();
}

// Another PC changes the stored lists while this view shows older ones: a
// tick and the walks over every record start from the table, never from the
// cached text. Runs on the embedded file and (a run with the server backend)
// on the database server.
class CTransponderStoredListTest : public CTransponderDlgTest
{
protected:
    // A statement of the other PC, on a connection of its own.
    void OtherPc(const QString& statement) { Sql({statement}); }
    QStringList StoredLists() const
    {
        if (!Postgres())
            return Stored("tblTransponder", "strLeser_IDS");
        QString error;
        const QStringList rows = TestEnvironment::PostgresRows(
            m_server, TestEnvironment::PostgresSql("SELECT strLeser_IDS FROM tblTransponder ORDER BY ID_Transponder"),
            &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return rows;
    }
};

TEST_P(CTransponderStoredListTest, ATickChangesTheStoredListNotTheCachedOne)
{
    StartShown();
    OtherPc("UPDATE tblTransponder SET strLeser_IDS = '2;7' WHERE ID_Transponder = 2");
    ASSERT_TRUE(Edit(2, 6, "1")); // reader A on BB, whose cache still says "2"
    EXPECT_EQ(StoredLists(), (QStringList{"1", "2;7;1", "1;2", ""}));
    OtherPc("UPDATE tblTransponder SET strLeser_IDS = '1;2;9' WHERE ID_Transponder = 3");
    ASSERT_TRUE(Edit(3, 7, "0")); // reader B off CC
    EXPECT_EQ(StoredLists(), (QStringList{"1", "2;7;1", "1;9", ""}));
    EXPECT_EQ(Cache()->FindByKey(3)->Leser_IDS, "1;9") << "the cache shows what was stored";
    EXPECT_TRUE(m_boxes.empty());
}

TEST_P(CTransponderStoredListTest, AssignAndRemoveAllActOnEveryRecordOfTheTable)
{
    StartShown();
    OtherPc("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Zeitfenster_ID, strLeser_IDS)"
            " VALUES (5,'00000000EE',1,'1')");
    OtherPc("UPDATE tblTransponder SET strLeser_IDS = '7' WHERE ID_Transponder = 2");
    m_menuChoice = CTransponderDlg::ID_ASSIGN_ALL;
    RightClick(1, 7); // reader B
    EXPECT_EQ(StoredLists(), (QStringList{"1;2", "7;2", "1;2", "2", "1;2"}));
    EXPECT_EQ(Cache()->GetAnz_Transponder(), 5) << "the other PC's transponder is shown";
    ExpectCacheIsTableOnBackend();

    OtherPc("UPDATE tblTransponder SET strLeser_IDS = '1;2;8' WHERE ID_Transponder = 4");
    m_menuChoice = CTransponderDlg::ID_REMOVE_ALL_ASSIGNMENTS;
    RightClick(1, 6); // reader A
    EXPECT_EQ(StoredLists(), (QStringList{"2", "7;2", "2", "2;8", "2"}));
    ExpectCacheIsTableOnBackend();
    EXPECT_TRUE(m_boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, CTransponderStoredListTest, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool>&) { return "Own"; });

RECORD_VIEW_BACKENDS(CTransponderDlgTest);
RECORD_VIEW_BACKENDS(CUsbManuellTest);

} // namespace
