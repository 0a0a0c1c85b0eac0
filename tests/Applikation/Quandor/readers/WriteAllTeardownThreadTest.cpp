#include "WriteAllFixture.h"

#include <QElapsedTimer>

// The sanitizer options of this program are set in the read-events
// teardown tests.

namespace {

class WriteAllTeardown : public WriteAll, public ::testing::WithParamInterface<const char*>
{
};

} // namespace

// The view goes (another tree node) while transponders or windows are
// being sent on a slow line: the worker stops before its next try, nothing
// more reaches the reader, and the reader stays marked as not up to date.
TEST_P(WriteAllTeardown, LeavingTheViewStopsTheRun)
{
    QStringList sql = Schema(101, "0730", "1600", "1, 1, 1, 1, 1, 0, 0");
    for (int i = 0; i < 40; ++i)
        sql << Transponder(QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')), "7");
    Sql(sql);
    Online(CSimulatedReader::Kite);
    Reader({Settings(7, "9C", "12")});
    reader->SetLatency(40);
    reader->ClearLog();
    StartWrite();
    ASSERT_TRUE(CTransferRun::Active());
    const QByteArray during = GetParam();
    ASSERT_TRUE(WaitUntil([this, during] { return reader->Count(during) >= 3; }, 20000));

    QElapsedTimer clock;
    clock.start();
    Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::EventsNode));
    QCoreApplication::sendPostedEvents(Tree());
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(CTransferRun::Active(), nullptr);

    const int sent = Writes().size();
    // Nothing more may be written: no event to wait for, the line is watched a while.
    QTest::qWait(300);
    EXPECT_EQ(Writes().size(), sent);
    EXPECT_EQ(reader->Count("FFSP0000"), 0);
    EXPECT_TRUE(m_notices.isEmpty());
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(MarkInDatabase(7), 1);
    ExpectEndedCleanly();
}

INSTANTIATE_TEST_SUITE_P(Steps, WriteAllTeardown, ::testing::Values("FFST", "FFSZ"),
                         [](const auto& info) { return std::string(info.param[3] == 'T' ? "Transponders" : "Windows"); });
