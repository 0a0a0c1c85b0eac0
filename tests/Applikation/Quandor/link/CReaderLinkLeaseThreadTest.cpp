// Who may talk to the reader when: the answers of Connect and TakeLink
// through a connection's life, and the bounds of a direct command.

#include "ReaderReplies.h"
#include "ReaderLinkFixture.h"

#include <atomic>
#include <thread>

namespace {

using LinkAccess = OnlineLink;

TEST_F(LinkAccess, ConnectAndTakeLinkSayWhyThroughAConnection)
{
    EXPECT_EQ(link.TakeLink().Why(), CLinkLease::NoReader);

    reader = std::make_unique<CSimulatedReader>(CSimulatedReader::Kite, link.Timing().factor);
    reader->RegisterAs(kPort);
    reader->DelayReplyTo("FFHD4", 1000);
    recorder.link = &link;
    link.SetObserver(&recorder);
    ASSERT_EQ(link.Connect(kPort), CReaderLink::ConnectStarted);
    ASSERT_TRUE(reader->WaitFor([](const auto& log) { return !log.isEmpty(); }, 2000));

    // While the search runs nothing else reaches the reader.
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectSearching);
    const CLinkLease during = link.TakeLink();
    EXPECT_FALSE(during);
    EXPECT_EQ(during.Why(), CLinkLease::Searching);
    EXPECT_EQ(link.SendCommand(during, 'S', "P0003FFFF", 1), "");
    EXPECT_EQ(link.SendCommand('S', "P0003FFFF", 1), "");
    EXPECT_EQ(link.OpenPort(QStringLiteral("COM%1").arg(kPort), 1), 0);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendAndWait('S', "P0003FFFF", 1), "");
    EXPECT_LT(MsSince(start), Ms(2000)); // a wait would take the queued reply window, Ms(3000)

    ASSERT_TRUE(recorder.WaitForOutcome(8000));
    ASSERT_TRUE(recorder.LastOutcome().success);
    EXPECT_EQ(reader->Count("FFSP0003"), 0);
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectOnline);

    const CLinkLease lease = link.TakeLink();
    ASSERT_TRUE(lease);
    EXPECT_EQ(lease.Why(), CLinkLease::Granted);
    EXPECT_EQ(link.TakeLink().Why(), CLinkLease::TransferRunning);
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectTransferRunning);
    link.ReleaseLink(lease);
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectOnline);

    link.ClosePort();
    EXPECT_EQ(link.TakeLink().Why(), CLinkLease::NoReader);
}

TEST_F(LinkAccess, PortOpenedDirectlyIsNotReopenedByASearch)
{
    reader = std::make_unique<CSimulatedReader>(CSimulatedReader::Egret, link.Timing().factor);
    reader->RegisterAs(kPort);
    ASSERT_EQ(link.OpenPort(QStringLiteral("COM%1").arg(kPort), 1), 1);
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectPortInUse);
    EXPECT_EQ(link.SendCommand('L', "P0001", 1), FramedReply("FFLP0006"));
    EXPECT_EQ(link.TakeLink().Why(), CLinkLease::NoReader);
    link.ClosePort();
    Reconnect();
}

// A line that never stays quiet for the 2000 ms of one byte: bytes that
// begin no frame do not stretch the command's window.
TEST_F(LinkAccess, StrayBytesDoNotKeepADirectCommandWaiting)
{
    UseRealTime(); // proves the overall bound of a direct command
    Connect(CSimulatedReader::Heron);
    const CLinkLease lease = link.TakeLink();
    ASSERT_TRUE(lease);
    reader->IgnoreNext('L', 1);
    std::atomic<bool> noisy{true};
    std::thread noise([&] {
        for (int i = 0; i < 8 && noisy; ++i) {
            // The noise's own pace (a byte before each 2000 ms byte wait ends), not a wait for an event.
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            reader->SendRaw("x");
        }
    });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0000", 1), "");
    const qint64 waited = MsSince(start);
    noisy = false;
    noise.join();
    EXPECT_GE(waited, 1900);
    EXPECT_LT(waited, 2600);
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0001", 1), FramedReply("FFLP0006"));
    link.ReleaseLink(lease);
}

// A frame that no command awaits and nothing explains is never skipped as
// if it did not matter: the line is out of step, the command gets nothing,
// and the lease's holder is told.
TEST_F(LinkAccess, AFrameNoCommandAwaitsPutsTheLineOutOfStep)
{
    Connect(CSimulatedReader::Kite);
    const CLinkLease lease = link.TakeLink();
    ASSERT_TRUE(lease);
    EXPECT_FALSE(link.OutOfStep(lease));
    // A reply of another form is the try's failed answer; its own answer
    // may still come after it, as it does here.
    reader->ReplaceNextReply("\x02" "FFSP\x06" "35\x04" "\x02" "FFLP0006EE\x04");
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0001", 1), "");
    EXPECT_TRUE(link.Settle(lease));
    EXPECT_FALSE(link.OutOfStep(lease));
    // A frame that nothing explains.
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0000", 1), FramedReply("FFLP00A5"));
    reader->SendRaw("\x02" "FFSP\x06" "35\x04");
    EXPECT_FALSE(link.Settle(lease));
    EXPECT_TRUE(link.OutOfStep(lease));
    link.ReleaseLink(lease);
}

} // namespace

namespace {

// A transfer's direct commands and the queued ones share the one matcher of
// the port's opening: on a line that repeats every reply, the copy of a
// direct command's reply never answers the queued command that follows.
TEST_F(LinkAccess, DirectAndQueuedCommandsShareOneMatcher)
{
    Connect(CSimulatedReader::Kite, [](CSimulatedReader& r) {
        r.SetLatency(300);
        r.SetRepeatReplies(100);
    });
    for (int i = 0; i < 3; ++i) {
        const CLinkLease lease = link.TakeLink();
        ASSERT_TRUE(lease);
        EXPECT_EQ(link.SendCommand(lease, 'L', "P0000", 1), FramedReply("FFLP00A5"));
        link.ReleaseLink(lease);
        EXPECT_EQ(link.SendAndWait('L', "P0001", 1), FramedReply("FFLP0006"));
    }
}

} // namespace
