#include "FerroldTestDb.h"

#include "CTransaction.h"
#include "CtblEvents.h"
#include "CtblPerson.h"

#include <atomic>
#include <chrono>
#include <thread>

using CBatchCommitThreadTest = FerroldTest;

// A worker stores thousands of events in batches through a set of its own
// while the UI thread writes in transactions of its own: neither waits out
// the busy timeout, nothing is lost, and the UI's cache is not touched by
// the worker.
TEST_F(CBatchCommitThreadTest, AWorkerStoringEventsInBatchesNeverLocksTheUiOut)
{
    Sql("INSERT INTO tblPerson (strName) VALUES ('P')");
    auto& h = Handler();
    auto* persons = h.Get_Ptr_To_tblPerson();
    constexpr int kEvents = 2000;

    std::atomic<bool> workerDone{false};
    std::atomic<int> stored{0};
    QString workerError;
    std::thread worker([&] {
        CtblEvents events(m_language.get(), h.GetDatabase(), CFerrold_Base::EmptyCache{});
        try {
            if (!events.OpenAppendOnly())
                throw CDBException(events.GetLastError());
            CTransaction transaction(h.GetDatabase());
            if (!transaction.IsActive())
                throw CDBException(transaction.GetError());
            transaction.SetBatch(250, 60000);
            for (int i = 0; i < kEvents; ++i) {
                events.AddNew();
                events.strTranspondernummer = QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0'));
                events.Leser_ID = 1;
                events.Update();
                ++stored;
                if (!transaction.CommitBatchIfDue())
                    throw CDBException(transaction.GetError());
            }
            if (!transaction.Commit())
                throw CDBException(transaction.GetError());
        } catch (const CDBException& e) {
            workerError = e.m_strError + QStringLiteral(" after %1 rows").arg(stored.load());
        }
        events.Close();
        workerDone = true;
    });

    int edits = 0;
    try {
        while (!workerDone || edits < 20) {
            CTransaction transaction(h.GetDatabase());
            ASSERT_TRUE(transaction.IsActive()) << transaction.GetError().toStdString();
            persons->UpdateColumnsWhere(QStringLiteral("strName"), QStringLiteral("P"),
                                 {{QStringLiteral("Transponder_ID"), edits}});
            ASSERT_TRUE(transaction.Commit()) << transaction.GetError().toStdString();
            ++edits;
            // A user's commands come apart, not back to back (pacing, not a wait).
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    } catch (const CDBException& e) {
        ADD_FAILURE() << "UI thread: " << e.m_strError.toStdString();
    }
    worker.join();

    EXPECT_TRUE(workerError.isEmpty()) << workerError.toStdString();
    EXPECT_EQ(stored.load(), kEvents);
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->GetAnz_Events(), 0); // the UI's cache, not re-read yet
    // Counted, not read back: a full read costs minutes through the ODBC
    // driver under the thread checker.
    int count = 0;
    qint32 largest = 0;
    ASSERT_TRUE(h.Get_Ptr_To_tblEvents()->ReadKeyRange(&count, &largest));
    EXPECT_EQ(count, kEvents);
    EXPECT_EQ(persons->Get_Person(0)->Transponder_ID, edits - 1);
}
