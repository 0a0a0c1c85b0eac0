#include "ReadEventsFixture.h"
#include "TestWait.h"

#include "CGridCtrl.h"

#include <QElapsedTimer>

// These tests run the whole program, windows painted. Qt's raster engine
// (not built for ThreadSanitizer) draws long lines on Qt's thread pool and
// hands each job over under Qt's own futex-based locks, which the sanitizer
// cannot see: its reports about allocations that Qt itself makes and frees
// on two threads say nothing about this program. Only accesses made from
// our own, instrumented code are checked here.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}

namespace {

// A run of 400 slow events (200 ms each) that the test interrupts once the
// first replies are older than the line's late window, so the line vouches
// for them.
class ReadEventsTeardown : public ReadEvents
{
protected:
    void SlowRun()
    {
        Online(CSimulatedReader::Kite);
        reader->FillEvents(400, Event(1, 2, 2024));
        reader->SetLatency(200);
        reader->ClearLog();
        Ask();
        ASSERT_TRUE(CTransferRun::Active());
        ASSERT_TRUE(WaitUntil([this] { return reader->Count("FFLE") >= 3; }, 5000));
        QElapsedTimer since;
        since.start();
        ASSERT_TRUE(WaitUntil([&] { return since.elapsed() > timing.lateReplyMs + Ms(2000); }, 10000));
    }

    int StoredInDatabase() const { return StoredRows().size(); }
    // After the program ended: straight from the file.
    int StoredInDatabaseAfterExit() const
    {
        CDatabase db({CDatabase::Kind::Sqlite, DatabaseFile()});
        QSqlQuery q(db.Connection());
        q.exec("SELECT COUNT(*) FROM tblEvents");
        return q.next() ? q.value(0).toInt() : -1;
    }

    // Message boxes stay open, as nobody answers them, until their worker
    // gives up on them; the test acts while one is open.
    void BoxesStayOpen(std::function<void()> whileOpen)
    {
        m_whileOpen = std::move(whileOpen);
        m_presenter.Set([this](const CUiMessage::Request& request) {
            m_messages << request.text;
            if (auto act = std::exchange(m_whileOpen, {})) {
                m_actedInBox = true;
                act();
            }
            TestWait::Until([&] { return request.abandoned(); });
            m_boxAbandoned = request.abandoned();
            return QMessageBox::NoButton;
        });
    }

    // The reader view goes: the join returns in time, the line falls
    // quiet, nothing of the run stays on screen, the link polls again.
    void ExpectTornDown(qint64 joinMs)
    {
        EXPECT_LT(joinMs, 2500);
        EXPECT_EQ(CTransferRun::Active(), nullptr);
        EXPECT_EQ(ProgressWindows(), 0);
        EXPECT_TRUE(m_notices.isEmpty());
        const int asked = reader->Count("FFLE");
        // Nothing more may come: no event to wait for, the line is watched a while.
        QTest::qWait(300);
        EXPECT_EQ(reader->Count("FFLE"), asked);
    }

    void SelectEventsNode(qint64* ms)
    {
        QElapsedTimer clock;
        clock.start();
        Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::EventsNode));
        QCoreApplication::sendPostedEvents(Tree());
        *ms = clock.elapsed();
    }

    void ExpectStoredRowsInTheEventsView()
    {
        auto* events = qobject_cast<CEventsDlg*>(Frame()->GetRightPane());
        ASSERT_NE(events, nullptr);
        const int stored = StoredInDatabase();
        EXPECT_GT(stored, 0);
        EXPECT_EQ(Events()->GetAnz_Events(), stored);
        EXPECT_EQ(events->GetGrid()->GetRowCount(), stored + 1);
        EXPECT_FALSE(Tree()->Link().IsLinkTaken());
        EXPECT_TRUE(PollsResume());
    }

    // A run of 20 events whose reader refuses one command 25 times: the
    // failure box opens, the test acts in it, and the worker gives up on it.
    void ActWhileTheFailureBoxIsOpen(CSimulatedReader::Model model, const char* refused, std::function<void()> act)
    {
        Online(model);
        reader->FillEvents(20, Event(1, 2, 2024));
        reader->AnswerNext(refused, "FFLE\x15", 25);
        BoxesStayOpen(std::move(act));
        Ask();
        ASSERT_TRUE(WaitUntil([this] { return m_actedInBox; }, 10000));
        ASSERT_TRUE(WaitUntil([this] { return m_boxAbandoned; }, 3000));
    }

    std::function<void()> m_whileOpen;
    bool m_actedInBox = false;
    bool m_boxAbandoned = false;
};

} // namespace

TEST_F(ReadEventsTeardown, AnotherTreeNodeStopsTheRunAndShowsWhatItStored)
{
    SlowRun();
    qint64 ms = 0;
    SelectEventsNode(&ms);
    ExpectTornDown(ms);
    ExpectStoredRowsInTheEventsView();
    // The replies of the last late window are not vouched for: not stored.
    EXPECT_LT(StoredInDatabase(), reader->Count("FFLE") - 5);
}

TEST_F(ReadEventsTeardown, EndingTheProgramStopsTheRun)
{
    SlowRun();
    QElapsedTimer clock;
    clock.start();
    m_app->ExitInstance();
    const qint64 ms = clock.elapsed();
    ExpectTornDown(ms);
    // The rows read before the end are in the database.
    EXPECT_GT(StoredInDatabaseAfterExit(), 0);
}

TEST_F(ReadEventsTeardown, AnotherTreeNodeWhileTheWorkerWaitsInAFailureBox)
{
    qint64 ms = 0;
    ASSERT_NO_FATAL_FAILURE(
        ActWhileTheFailureBoxIsOpen(CSimulatedReader::Egret, "LE0003", [this, &ms] { SelectEventsNode(&ms); }));
    EXPECT_EQ(m_messages, QStringList({Text(169)}));
    ExpectTornDown(ms);
    ExpectStoredRowsInTheEventsView();
    EXPECT_EQ(StoredInDatabase(), 3);
}

TEST_F(ReadEventsTeardown, EndingTheProgramWhileTheWorkerWaitsInAFailureBox)
{
    qint64 ms = 0;
    ASSERT_NO_FATAL_FAILURE(ActWhileTheFailureBoxIsOpen(CSimulatedReader::Kite, "LE0002", [this, &ms] {
        QElapsedTimer clock;
        clock.start();
        m_app->ExitInstance();
        ms = clock.elapsed();
    }));
    ExpectTornDown(ms);
    EXPECT_EQ(StoredInDatabaseAfterExit(), 2);
}

TEST_F(ReadEventsTeardown, DuringARunOtherTransfersAndTheDatabaseCommandsAreRefused)
{
    SlowRun();
    CTransferRun* run = View()->Transfer();
    // A second request: ignored, no dialog, no second pointer question.
    View()->OnReadEvents();
    Ask();
    EXPECT_EQ(View()->Transfer(), run);
    EXPECT_FALSE(m_dialogs.contains("171"));
    EXPECT_EQ(reader->Count("FFLP0003"), 1);
    // Commands that replace or empty the database, or close the link.
    m_messages.clear();
    for (int id : {CMainFrame::ID_CSV_IMPORT, CMainFrame::ID_DATABASE_RESTORE, CMainFrame::ID_DELETE_ALL_ENTRIES,
                   CMainFrame::ID_OFFLINE})
        Frame()->OnCommand(id);
    EXPECT_EQ(m_messages, QStringList(4, Text(CMainFrame::kTransferRunsText)));
    EXPECT_TRUE(Tree()->IsPortOpen());
    EXPECT_TRUE(CTransferRun::Active());
    // The wait cursor shows while the run is active, and only then.
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    View()->Transfer()->Stop();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Tree()->Link().IsLinkTaken());
}
