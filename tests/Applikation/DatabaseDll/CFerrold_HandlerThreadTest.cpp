#include "FerroldTestDb.h"

#include "CtblEvents.h"
#include "CtblPerson.h"

#include <atomic>
#include <chrono>
#include <thread>

using CFerrold_HandlerThreadTest = FerroldTest;

// The read-events worker writes events on its own thread while the UI thread
// keeps its sets open and writes too: neither may see a connection of the
// other thread or be locked out.
TEST_F(CFerrold_HandlerThreadTest, AWorkerWritesEventsWhileTheUiThreadWorks)
{
    for (int i = 0; i < 5; ++i)
        Sql(QStringLiteral("INSERT INTO tblPerson (strName) VALUES ('P%1')").arg(i));
    auto& h = Handler();
    auto* persons = h.Get_Ptr_To_tblPerson();
    ASSERT_TRUE(persons->Open());

    std::atomic<bool> workerDone{false};
    std::atomic<int> workerErrors{0};
    std::thread worker([&] {
        auto* events = h.Get_Ptr_To_tblEvents();
        try {
            for (int i = 0; i < 200; ++i) {
                if (!events->IsOpen() && !events->Open()) {
                    ++workerErrors;
                    break;
                }
                events->AddNew();
                events->strTranspondernummer = QStringLiteral("%1").arg(i, 10, 16, QLatin1Char('0')).toUpper();
                events->Leser_ID = 1;
                events->Update();
                if (i % 50 == 49) {
                    events->Close();
                    if (events->_Requery() != 1)
                        ++workerErrors;
                }
            }
        } catch (const CDBException& e) {
            ADD_FAILURE() << e.m_strError.toStdString();
            ++workerErrors;
        }
        events->CloseRecordset();
        workerDone = true;
    });

    // The UI thread edits in bursts, as a user's commands do.
    int edits = 0;
    while (!workerDone || edits < 20) {
        ASSERT_TRUE(h.GetDatabase()->BeginTrans());
        for (persons->MoveFirst(); !persons->IsEOF(); persons->MoveNext()) {
            persons->Edit();
            persons->Transponder_ID = edits;
            persons->Update();
        }
        ASSERT_TRUE(h.GetDatabase()->CommitTrans());
        ++edits;
        // A user's commands come apart, not back to back (pacing, not a wait).
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    worker.join();
    persons->Close();

    EXPECT_EQ(workerErrors.load(), 0);
    EXPECT_TRUE(Messages().isEmpty()) << Messages().join('\n').toStdString();
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->GetAnz_Events(), 200);
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->_Requery(), 1);
    EXPECT_EQ(h.Get_Ptr_To_tblEvents()->GetAnz_Events(), 200);
    // The worker's connection went with the worker.
    EXPECT_EQ(QSqlDatabase::connectionNames().filter("ferrold").size(), 1);
}

TEST_F(CFerrold_HandlerThreadTest, ReportsFromWorkersReachTheReporter)
{
    auto& h = Handler();
    Sql("DROP TABLE tblEvents");
    std::thread worker([&] { EXPECT_EQ(h.Get_Ptr_To_tblEvents()->_Requery(), 0); });
    worker.join();
    EXPECT_EQ(Messages().size(), 1);
}
