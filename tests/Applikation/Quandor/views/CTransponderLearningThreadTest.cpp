#include "ReaderLinkWindowFixture.h"
#include "TestWait.h"

#include "CFerrold_Handler.h"
#include "CGridCtrl.h"
#include "CRecordViewMenu.h"
#include "CTransponderDlg.h"
#include "CtblTransponder.h"
#include "TestShots.h"

#include <QDir>
#include <QScrollBar>
#include <QSqlQuery>

#include <functional>

// These tests run the whole program, windows painted. Qt's raster engine
// (not built for ThreadSanitizer) draws long lines on Qt's thread pool and
// hands each job over under Qt's own locks, which the sanitizer cannot see;
// only accesses made from our own, instrumented code are checked here.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}

namespace {

using Model = CSimulatedReader::Model;

const QByteArray kSerial = "0000000000000000ABCD";
const QByteArray kMaster = "00000000FF";
const QByteArray kBad = "01234G6789";

// The whole program online to a simulated reader, the transponder view on
// the right. Readers Door (the simulated one, by its serial number) and
// Gate; five stored transponders 0000000101..105 with the lists "", "2",
// "1", "2;1" and "0". The view's menu answers m_menuChoice; a box runs
// m_duringBox once (a tag arriving while it is open) and answers Yes.
class TransponderOnline : public ReaderLinkWindow, public ::testing::WithParamInterface<Model>
{
protected:
    void SetUp() override
    {
        ReaderLinkWindow::SetUp();
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            if (m_duringBox) {
                const auto during = std::move(m_duringBox);
                m_duringBox = nullptr;
                during();
            }
            return QMessageBox::Yes;
        });
        m_tracker.Set([this](const CRecordViewMenu& menu, QWidget*, QPoint) {
            m_menu = menu.Entries();
            return m_menuChoice;
        });
    }
    void TearDown() override
    {
        ReaderLinkWindow::TearDown();
    }

    static bool Plain(Model model) { return model == CSimulatedReader::Wren || model == CSimulatedReader::Tern; }

    // "more": statements run on the stored data before the program starts.
    void StartOnline(Model model, const QStringList& more = {})
    {
        StartReader(model);
        reader->SetIdentification(kSerial);
        if (model == CSimulatedReader::Wren)
            reader->SetMaster(kMaster);
        Sql({QStringLiteral("INSERT INTO tblLeser (ID_Leser, strBezeichnung, strLeserTyp, strSeriennummer, boolUpdateOK)"
                            " VALUES (1,'Door','%1','%2',0),(2,'Gate','Heron','00000000000000000002',0)")
                 .arg(CSimulatedReader::ModelName(model), QString::fromLatin1(kSerial)),
             QStringLiteral("INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
                            " strLeser_IDS, boolUpdateOK) VALUES (1,'0000000101',0,1,'',0),(2,'0000000102',0,1,'2',0),"
                            "(3,'0000000103',0,1,'1',0),(4,'0000000104',0,1,'2;1',0),(5,'0000000105',0,1,'0',0)")});
        Sql(more);
        AnswerPortDialogWithConnectNow();
        Start();
        Frame()->resize(1212, 874);
        Frame()->show();
        TestWait::Settle();
        ASSERT_TRUE(WaitOnline(Plain(model) ? kPlainSearchMs : kFramedSearchMs));
        ASSERT_TRUE(WaitUntil([this] { return identify.count > 0; }, 2000));
        ShowTransponders();
    }
    void ShowTransponders()
    {
        Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::TranspondersNode));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ASSERT_NE(View(), nullptr);
    }
    CTransponderDlg* View() const { return qobject_cast<CTransponderDlg*>(Frame()->GetRightPane()); }
    CGridCtrl* Grid() const { return View() ? View()->GetGrid() : nullptr; }
    CtblTransponder* Cache() const { return m_app->GetDBHandler()->Get_Ptr_To_tblTransponder(); }

    // Right-clicks a cell; the chosen command runs.
    void RightClick(int row, int column)
    {
        QRect rect;
        ASSERT_TRUE(Grid()->GetCellRect(row, column, &rect));
        QTest::mouseClick(Grid()->viewport(), Qt::RightButton, {}, rect.center());
        QCoreApplication::processEvents();
    }
    // The menu's query went out once, and learning is switched on.
    void LearnOn(Model model)
    {
        reader->ClearLog();
        m_menuChoice = CTransponderDlg::ID_LEARN;
        RightClick(1, 3);
        EXPECT_EQ(reader->Count(Plain(model) ? QByteArray("H") : QByteArray("FFLS0000")), 1);
        ASSERT_EQ(View()->m_bLearningOff, 0);
    }
    // Presents the tags and waits until the view has had the last one.
    bool Present(const QList<QByteArray>& tags, int timeoutMs, const QByteArray& lastShown = QByteArray())
    {
        for (const QByteArray& tag : tags)
            reader->PresentTag(tag);
        const QString last = QString::fromLatin1(lastShown.isEmpty() ? tags.last() : lastShown);
        return WaitUntil([this, last] { return View() && View()->m_strLastReceived == last; }, timeoutMs);
    }
    // The displayed row that shows this transponder; 0 when none does.
    int RowOf(const QString& number) const
    {
        for (int row = 1; row < Grid()->GetRowCount(); ++row) {
            if (Grid()->GetItemText(row, 3) == number)
                return row;
        }
        return 0;
    }
    // Clicks a reader column's check box of a transponder's row.
    void ClickCheck(const QString& number, int column)
    {
        const int row = RowOf(number);
        ASSERT_GT(row, 0) << number.toStdString();
        QRect rect;
        ASSERT_TRUE(Grid()->GetCellRect(row, column, &rect));
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::processEvents();
    }
    const CRecordViewMenu::Entry* MenuEntry(int command) const
    {
        for (const auto& entry : m_menu) {
            if (entry.command == command)
                return &entry;
        }
        return nullptr;
    }
    QStringList SelectedNumbers() const
    {
        QStringList numbers;
        for (int row : View()->SelectedRows())
            numbers << Grid()->GetItemText(row, 3);
        return numbers;
    }
    void ExpectCacheIsTable()
    {
        QStringList numbers, lists;
        for (int i = 0; i < Cache()->GetAnz_Transponder(); ++i) {
            numbers << Cache()->Get_Transponder(i)->TransponderNummer;
            lists << Cache()->Get_Transponder(i)->Leser_IDS;
        }
        EXPECT_EQ(numbers, Stored("tblTransponder", "strTransponderNummer"));
        EXPECT_EQ(lists, Stored("tblTransponder", "strLeser_IDS"));
        EXPECT_EQ(Grid()->GetRowCount(), Cache()->GetAnz_Transponder() + 1);
    }

    std::vector<CRecordViewMenu::Entry> m_menu;
    int m_menuChoice = 0;
    std::function<void()> m_duringBox;

private:
    ScopedSeam<CRecordViewMenu::Tracker> m_tracker{CRecordViewMenu::TrackerSeam()};
};

// 50 tags: the five stored ones, 43 new, a new one in lower case and one
// that is no transponder number.
QList<QByteArray> Burst()
{
    QList<QByteArray> tags;
    for (int i = 0; i < 43; ++i) {
        tags << "00000002" + QByteArray::number(i, 16).rightJustified(2, '0').toUpper();
        if (i % 9 == 4)
            tags << "000000010" + QByteArray::number(1 + i / 9);
    }
    tags.insert(20, "00000003ab");
    tags << kBad;
    return tags;
}

TEST_P(TransponderOnline, LearnsABurstForTheConnectedReaderAndStopsAtAReconnect)
{
    const Model model = GetParam();
    StartOnline(model);
    LearnOn(model);
    const QList<QByteArray> tags = Burst();
    ASSERT_EQ(tags.size(), 50);
    // In two bursts: the link keeps at most 32 tags waiting. A plain
    // reader's report that is no upper-case number never leaves the link.
    ASSERT_TRUE(Present(tags.mid(0, 25), 30000));
    ASSERT_TRUE(Present(tags.mid(25), 30000, Plain(model) ? tags.at(48) : kBad));
    EXPECT_EQ(Label(), Text(201) + QString::fromLatin1(Plain(model) ? tags.at(48) : kBad));

    // A framed reader names itself in its reply; a plain one cannot.
    const QString door = Plain(model) ? QString() : QStringLiteral("1");
    QStringList numbers{"0000000101", "0000000102", "0000000103", "0000000104", "0000000105"};
    QStringList lists = Plain(model) ? QStringList{"", "2", "1", "2;1", "0"} : QStringList{"1", "2;1", "1", "2;1", "0;1"};
    for (const QByteArray& tag : tags) {
        if (tag.startsWith("00000002") || (tag.startsWith("00000003") && !Plain(model))) {
            numbers << QString::fromLatin1(tag).toUpper();
            lists << door;
        }
    }
    EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"), numbers);
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), lists);
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{Plain(model) ? "0" : "1", "0"}));
    ExpectCacheIsTable();
    // A stored transponder presented: its row is selected, the view at the
    // end, where learned rows appear; a new one leaves nothing selected.
    QScrollBar* scroll = Grid()->verticalScrollBar();
    ASSERT_TRUE(Present({"0000000102"}, 5000));
    EXPECT_EQ(SelectedNumbers(), QStringList{"0000000102"});
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum());
    scroll->setValue(0);
    ASSERT_TRUE(Present({"00000004AA"}, 5000));
    EXPECT_TRUE(SelectedNumbers().isEmpty());
    EXPECT_EQ(scroll->value(), scroll->maximum());
    EXPECT_EQ(Grid()->GetItemText(Grid()->GetRowCount() - 1, 3), "00000004AA");
    numbers << "00000004AA";
    lists << door;
    ASSERT_TRUE(Present({"0000000102"}, 5000));
    EXPECT_EQ(SelectedNumbers(), QStringList{"0000000102"});
    Frame()->grab().save((TestShots(QStringLiteral("transponders")) + QStringLiteral("learned-tag-selected-%1.png")).arg(CSimulatedReader::ModelName(model)));

    if (model == CSimulatedReader::Wren) {
        // The master changes nothing, not even the selection.
        ASSERT_TRUE(Present({kMaster}, 5000));
        EXPECT_EQ(Label(), Text(201) + QString::fromLatin1(kMaster) + " ==> MASTER");
        EXPECT_EQ(SelectedNumbers(), QStringList{"0000000102"});
        EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"), numbers);
    }

    // Offline, then online to another reader: the tags are not this one's.
    Frame()->Action(CMainFrame::ID_OFFLINE)->trigger();
    QCoreApplication::processEvents();
    const Model other = model == CSimulatedReader::Kite ? CSimulatedReader::Heron : CSimulatedReader::Kite;
    reader.reset();
    StartReader(other);
    reader->SetIdentification("00000000000000000002");
    const int identified = identify.count;
    Frame()->Action(CMainFrame::ID_ONLINE)->trigger();
    ASSERT_TRUE(WaitOnline(kFramedSearchMs));
    ASSERT_TRUE(WaitUntil([this, identified] { return identify.count > identified; }, 2000));
    ASSERT_TRUE(Present({"0000000999"}, 5000));
    EXPECT_EQ(View()->m_bLearningOff, 1);
    EXPECT_EQ(Stored("tblTransponder", "strTransponderNummer"), numbers);
}

// Tags that come while a command's box is open, while an edit ends or while
// the view is replaced wait for their turn; the command's result is as
// without them.
TEST_P(TransponderOnline, TagsDuringBoxesEditsAndAReplacedView)
{
    const Model model = GetParam();
    StartOnline(model);
    LearnOn(model);

    // Delete's question is open when a new tag comes.
    const QList<uint> first{1};
    Grid()->SelectRows(&first);
    m_duringBox = [this] {
        reader->PresentTag("0000000301");
        EXPECT_TRUE(WaitUntil([this] { return View()->m_strLastReceived == "0000000301"; }, 5000));
        // Not yet: the command runs.
        EXPECT_FALSE(Stored("tblTransponder", "strTransponderNummer").contains("0000000301"));
    };
    m_menuChoice = CRecordViewMenu::ID_DELETE;
    RightClick(1, 3);
    EXPECT_TRUE(WaitUntil([this] { return Stored("tblTransponder", "strTransponderNummer").contains("0000000301"); },
                          5000));
    EXPECT_FALSE(Stored("tblTransponder", "strTransponderNummer").contains("0000000101"));
    ExpectCacheIsTable();

    // An edit ends on a record another program removed: its box is open
    // when a tag comes.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("behind"));
        db.setDatabaseName(DatabaseFile());
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("DELETE FROM tblTransponder WHERE strTransponderNummer = '0000000102'"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("behind"));
    m_duringBox = [this] {
        reader->PresentTag("0000000302");
        EXPECT_TRUE(WaitUntil([this] { return View()->m_strLastReceived == "0000000302"; }, 5000));
    };
    int row = 0;
    for (int r = 1; r < Grid()->GetRowCount(); ++r) {
        if (Grid()->GetItemText(r, 3) == "0000000102")
            row = r;
    }
    ASSERT_GT(row, 0);
    QRect rect;
    ASSERT_TRUE(Grid()->GetCellRect(row, CTransponderDlg::kFirstReaderColumn, &rect));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, rect.center());
    QCoreApplication::processEvents();
    EXPECT_TRUE(WaitUntil([this] { return Stored("tblTransponder", "strTransponderNummer").contains("0000000302"); },
                          5000));

    // The view replaced and shown again while a tag is held to the reader.
    Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::PersonsNode));
    reader->HoldTag("0000000303");
    // The tag stays held across the change of view (the scenario's pace).
    QTest::qWait(600);
    ShowTransponders();
    QTest::qWait(600);
    reader->ReleaseTag();
    // Shown anew, learning is off: the tag is not stored.
    EXPECT_EQ(View()->m_bLearningOff, 1);
    EXPECT_FALSE(Stored("tblTransponder", "strTransponderNummer").contains("0000000303"));
    ExpectCacheIsTable();
}

// The menu's commands on a connected reader: one query per right-click and
// no other frame, whatever the command writes to the database.
TEST_P(TransponderOnline, CommandsQueryTheReaderOnceAndSendNothingElse)
{
    const Model model = GetParam();
    StartOnline(model);
    const QByteArray query = Plain(model) ? QByteArray("H") : QByteArray("FFLS0000");
    reader->ClearLog();
    m_menuChoice = CTransponderDlg::ID_ASSIGN_ALL;
    RightClick(1, CTransponderDlg::kFirstReaderColumn + 1); // Gate
    EXPECT_EQ(m_menu.front().text, "2 " + Text(231));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"2", "2", "1;2", "2;1", "0;2"}));
    EXPECT_EQ(Stored("tblTransponder", "boolUpdateOK"), (QStringList{"1", "0", "1", "0", "1"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"0", "1"}));
    m_menuChoice = CTransponderDlg::ID_REMOVE_ALL_ASSIGNMENTS;
    RightClick(1, CTransponderDlg::kFirstReaderColumn); // Door
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS"), (QStringList{"2", "2", "2", "2", "0;2"}));
    EXPECT_EQ(Stored("tblLeser", "boolUpdateOK"), (QStringList{"1", "1"}));
    ExpectCacheIsTable();

    int queries = 0;
    for (const auto& frame : reader->Log()) {
        if (frame.body.startsWith(query))
            ++queries;
        else
            EXPECT_TRUE(frame.body.startsWith("FFCT")) << frame.body.toStdString();
    }
    EXPECT_EQ(queries, 2);
}

// A connected Wren lets its master transponder in whatever the lists say:
// a tick on the transponder a reader has stored as its master is refused
// with the reason, whether it would tick or untick, and the list stays. The
// guard holds only while a Wren is the reader online.
TEST_P(TransponderOnline, TheMasterTransponderOfAConnectedWrenKeepsItsList)
{
    const Model model = GetParam();
    const bool wren = model == CSimulatedReader::Wren;
    // Door's master is 0000000101 (after the first ";"), Gate's the whole
    // stored text 0000000104.
    StartOnline(model, {"UPDATE tblLeser SET strParameter = '5;0000000101' WHERE ID_Leser = 1",
                        "UPDATE tblLeser SET strParameter = '0000000104' WHERE ID_Leser = 2"});
    const int door = CTransponderDlg::kFirstReaderColumn;
    const int gate = door + 1;
    ASSERT_EQ(Grid()->GetItemText(0, door), "Door");
    ASSERT_EQ(Grid()->GetItemText(0, gate), "Gate");

    ClickCheck("0000000101", door); // would tick
    ClickCheck("0000000104", gate); // would untick
    ClickCheck("0000000104", door); // no master: stored
    const QStringList lists = Stored("tblTransponder", "strLeser_IDS");
    if (wren) {
        EXPECT_EQ(m_messages, (QStringList{Text(217), Text(217)}));
        EXPECT_EQ(lists, (QStringList{"", "2", "1", "2", "0"}));
        EXPECT_EQ(Grid()->GetCellAt(RowOf("0000000101"), door)->GetValue(), "0") << "the cell shows what is stored";
        EXPECT_EQ(Grid()->GetCellAt(RowOf("0000000104"), gate)->GetValue(), "1");
        EXPECT_EQ(Stored("tblTransponder", "boolUpdateOK"), (QStringList{"0", "0", "0", "1", "0"}));
    } else {
        EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
        EXPECT_EQ(lists, (QStringList{"1", "2", "1", "", "0"}));
    }
    ExpectCacheIsTable();

    // Offline no Wren is connected: the master is ticked like any other.
    Frame()->Action(CMainFrame::ID_OFFLINE)->trigger();
    QCoreApplication::processEvents();
    ASSERT_FALSE(Tree()->IsPortOpen());
    m_messages.clear();
    ClickCheck("0000000104", gate);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS").at(3), wren ? "" : "2");
}

INSTANTIATE_TEST_SUITE_P(Models, TransponderOnline, ::testing::Values(CSimulatedReader::Kite, CSimulatedReader::Wren),
                         [](const ::testing::TestParamInfo<Model>& info) {
                             return CSimulatedReader::ModelName(info.param).toStdString();
                         });

// A framed reader online, for what only a framed reply can show.
class FramedTransponderOnline : public TransponderOnline
{
};

// A reply to the menu's query whose checksum is wrong is no answer: one
// try, and learning is not offered, as when nothing answered. The next
// right-click asks again.
TEST_F(FramedTransponderOnline, AReplyWithAWrongChecksumIsNoAnswerToTheMenusQuery)
{
    StartOnline(CSimulatedReader::Kite);
    reader->ClearLog();
    reader->CorruptNextTo("FFLS0000", 1);
    RightClick(1, 3);
    EXPECT_EQ(reader->Count("FFLS0000"), 1);
    ASSERT_NE(MenuEntry(CTransponderDlg::ID_LEARN), nullptr);
    EXPECT_FALSE(MenuEntry(CTransponderDlg::ID_LEARN)->enabled);
    RightClick(1, 3);
    EXPECT_EQ(reader->Count("FFLS0000"), 2);
    EXPECT_TRUE(MenuEntry(CTransponderDlg::ID_LEARN)->enabled);
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
}

// The operator sorted the list by number, highest first: a listed tag
// presented while learning selects its row and keeps the sort.
TEST_F(FramedTransponderOnline, AListedTagKeepsTheOperatorsSort)
{
    StartOnline(CSimulatedReader::Kite);
    LearnOn(CSimulatedReader::Kite);
    QRect header;
    ASSERT_TRUE(Grid()->GetCellRect(0, 3, &header));
    const QStringList descending{"0000000105", "0000000104", "0000000103", "0000000102", "0000000101"};
    const auto shown = [this] {
        QStringList numbers;
        for (int row = 1; row < Grid()->GetRowCount(); ++row)
            numbers << Grid()->GetItemText(row, 3);
        return numbers;
    };
    for (int step = 0; step < 2; ++step) {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
        QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, header.center());
    }
    ASSERT_EQ(shown(), descending);
    ASSERT_TRUE(Present({"0000000102"}, 5000));
    EXPECT_EQ(shown(), descending);
    EXPECT_EQ(View()->m_nSortMode, 2);
    EXPECT_EQ(SelectedNumbers(), QStringList{"0000000102"});
    EXPECT_EQ(Stored("tblTransponder", "strLeser_IDS")[1], "2;1");
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
}

} // namespace
