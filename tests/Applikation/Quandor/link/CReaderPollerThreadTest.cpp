// The online link: polling, tags, queued commands and their replies, the
// lease of a transfer, a lost link, and closing under a running thread.

#include "ReaderReplies.h"
#include "ReaderLinkFixture.h"
#include "TestEnvironment.h"

#include <QFile>

#include <atomic>
#include <thread>
#include <time.h>

namespace {

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

using FramedOnline = OnlineLink;
using PlainOnline = OnlineLink;

TEST_F(FramedOnline, PresentedTagIsReportedOnce)
{
    Connect(CSimulatedReader::Kite);
    reader->PresentTag("0123456789");
    ASSERT_TRUE(recorder.WaitFor([&] { return !recorder.tags.isEmpty(); }, 3000));
    EXPECT_EQ(recorder.Tags().first().number, "0123456789");
    EXPECT_FALSE(recorder.Tags().first().isMaster);
    ASSERT_TRUE(WaitForPoll());
    ASSERT_TRUE(WaitForPoll());
    EXPECT_EQ(recorder.Tags().size(), 1);
}

TEST_F(FramedOnline, NoPollUntilTheOwnerHasHandledTheTag)
{
    recorder.holdTags = true;
    Connect(CSimulatedReader::Heron);
    reader->PresentTag("1111111111");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 1; }, 3000));
    const int polls = Polls();
    reader->PresentTag("2222222222");
    // No poll may come: no event to wait for, three poll spacings are watched.
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms(1500)));
    EXPECT_EQ(Polls(), polls);
    // A command still goes through while the tag waits.
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), FramedReply("FFLP00A5"));

    link.TagHandled(recorder.Tags().first().ticket);
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 2; }, 3000));
    EXPECT_EQ(recorder.Tags().at(1).number, "2222222222");
}

TEST_F(FramedOnline, QueuedCommandsGetTheirOwnReplies)
{
    UseRealTime(); // proves the three seconds a queued command waits
    Connect(CSimulatedReader::Egret);
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), FramedReply("FFLP00A5"));
    EXPECT_EQ(link.SendAndWait('L', "P0001", 1), FramedReply("FFLP0006"));
    EXPECT_EQ(link.SendAndWait('L', "S0000", 1),
              FramedReply("FFLS" + CSimulatedReader::DefaultIdentification(CSimulatedReader::Egret)));
    EXPECT_EQ(link.SendAndWait('H', "", 1), "QMZT27B5");

    reader->CorruptNextTo("FFLP0000", 1);
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), "CRC_ERROR");

    // A command answered with "no tag" is never handed over: its caller
    // waits out the three seconds.
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendAndWait('C', "T", 1), "");
    EXPECT_GE(MsSince(start), 2900);
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), FramedReply("FFLP00A5"));
}

// A framed reader reports a tag once: one in a poll answer that comes while
// a command waits, or while the settings dialog opens, is shown after the
// command, never handed to it.
struct TagBeforeReplyCase {
    const char* name;
    int pollDelayMs;
    bool settingsDialogOpen;
};

void PrintTo(const TagBeforeReplyCase& c, std::ostream* os) { *os << c.name; }

class TagBeforeReply : public OnlineLink, public ::testing::WithParamInterface<TagBeforeReplyCase>
{
};

TEST_P(TagBeforeReply, IsATagShownOnceNotTheCommandsReply)
{
    Connect(CSimulatedReader::Kite);
    reader->PresentTag("0123456789");
    reader->DelayReplyTo("FFCT", GetParam().pollDelayMs);
    ASSERT_TRUE(WaitForPoll());
    link.SetParamDialogOpen(GetParam().settingsDialogOpen);
    // The poll's answer, with the tag, is still on its way.
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), FramedReply("FFLP00A5"));
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 1; }, 2000));
    EXPECT_EQ(recorder.Tags().first().number, "0123456789");
    link.SetParamDialogOpen(false);
    // A poll in flight when the dialog opened may hold the line a while.
    ASSERT_TRUE(WaitForPoll(6000));
    ASSERT_TRUE(WaitForPoll());
    EXPECT_EQ(recorder.Tags().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Moments, TagBeforeReply,
                         ::testing::Values(TagBeforeReplyCase{"TagInAPollAnswerWhileACommandWaits", 600, false},
                                           TagBeforeReplyCase{"PollAnswerWhileTheSettingsDialogOpens", 800, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A line that sends every reply twice: a presented tag is shown once,
// whether its copy comes at once, between two polls or while the next poll
// waits, and queued commands with equal replies each get their own.
struct RepeatCase {
    const char* name;
    int gapMs;
    int latencyMs;
};

void PrintTo(const RepeatCase& c, std::ostream* os) { *os << c.name; }

class RepeatedReplies : public OnlineLink, public ::testing::WithParamInterface<RepeatCase>
{
};

TEST_P(RepeatedReplies, ATagIsShownOnceAndEveryCommandGetsItsOwnReply)
{
    // The frames decide which is a copy, not how soon they come: this runs
    // at the tests' scaled times.
    Connect(CSimulatedReader::Kite, [](CSimulatedReader& r) {
        r.SetLatency(GetParam().latencyMs);
        r.SetRepeatReplies(GetParam().gapMs);
    });
    for (const QByteArray& number : {QByteArray("0123456789"), QByteArray("ABCDEF0123")}) {
        const int shown = recorder.Tags().size();
        reader->PresentTag(number);
        ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() > shown; }, 3000));
        // The copy has come and gone within three polls.
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(WaitForPoll());
        ASSERT_EQ(recorder.Tags().size(), shown + 1);
        EXPECT_EQ(recorder.Tags().last().number, number);
    }
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), FramedReply("FFLP00A5"));
    EXPECT_EQ(link.SendAndWait('L', "P0000", 1), FramedReply("FFLP00A5"));
    EXPECT_EQ(link.SendAndWait('L', "P0001", 1), FramedReply("FFLP0006"));
    EXPECT_EQ(recorder.Tags().size(), 2);
}

// Protocol times: the next poll goes out 500 ms after an answer, so a copy
// 550 ms late with a reader answering in 100 ms lands in that poll's wait.
INSTANTIATE_TEST_SUITE_P(Gaps, RepeatedReplies,
                         ::testing::Values(RepeatCase{"AtOnce", 0, 2}, RepeatCase{"BetweenPolls", 300, 2},
                                           RepeatCase{"WhileTheNextPollWaits", 550, 100},
                                           RepeatCase{"AfterTheNextPoll", 700, 20}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FramedOnline, CommandThatCouldNotBeSentIsWithdrawn)
{
    UseRealTime(); // proves the queued reply window
    Connect(CSimulatedReader::Egret);
    const CLinkLease lease = link.TakeLink();
    ASSERT_TRUE(lease);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendAndWait('L', "P0002", 1), "");
    EXPECT_GE(MsSince(start), 2900);
    link.ReleaseLink(lease);
    ASSERT_TRUE(WaitForPoll());
    ASSERT_TRUE(WaitForPoll());
    EXPECT_EQ(reader->Count("FFLP0002"), 0);
}

TEST_F(FramedOnline, LeaseWaitsForThePollInFlightAndKeepsPollingOff)
{
    Connect(CSimulatedReader::Heron);
    reader->DelayReplyTo("FFCT", 800);
    ASSERT_TRUE(WaitForPoll());
    const Clock::time_point start = Clock::now();
    const CLinkLease lease = link.TakeLink();
    ASSERT_TRUE(lease);
    EXPECT_GE(MsSince(start), Ms(300)); // the poll's answer came first
    EXPECT_TRUE(link.IsLinkTaken());
    EXPECT_EQ(link.TakeLink().Why(), CLinkLease::TransferRunning); // one transfer at a time

    const int polls = Polls();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(link.SendCommand(lease, 'L', "P0000", 1), FramedReply("FFLP00A5"));
    // No poll may come while the lease is held: more than two poll spacings are watched.
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms(1200)));
    EXPECT_EQ(Polls(), polls);

    // Released on another thread; polling resumes within about a second.
    std::thread([&] { link.ReleaseLink(lease); }).join();
    EXPECT_FALSE(link.IsLinkTaken());
    EXPECT_TRUE(WaitForPoll(1500));
}

TEST_F(FramedOnline, BusyLineDoesNotHoldAnUnansweredCommandForever)
{
    UseRealTime(); // proves the queued reply window bounds the wait
    Connect(CSimulatedReader::Heron);
    reader->IgnoreNext('L', 1);
    std::atomic<bool> noisy{true};
    std::thread noise([&] {
        while (noisy) {
            reader->SendRaw("x"); // bytes, but never a frame: the line is never quiet
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the noise's pace, not a wait
        }
    });
    std::thread caller([&] { EXPECT_EQ(link.SendAndWait('L', "P0000", 1), ""); });
    ASSERT_TRUE(WaitForFrames("FFLP0000", 1, 3000));
    const Clock::time_point start = Clock::now();
    const CLinkLease lease = link.TakeLink();
    const qint64 waited = MsSince(start);
    noisy = false;
    noise.join();
    caller.join();
    EXPECT_TRUE(lease);
    // The queued command gives up when its caller does (3000 ms after
    // queueing); the lease follows at once, noise or not.
    EXPECT_GE(waited, 2000);
    EXPECT_LT(waited, 4000);
    link.ReleaseLink(lease);
}

TEST_F(FramedOnline, DirectCommandWithoutALeaseIsRefusedWhileOnline)
{
    Connect(CSimulatedReader::Kite);
    ASSERT_TRUE(WaitForPoll());
    reader->ClearLog();
    EXPECT_EQ(link.SendCommand('L', "P0001", 1), "");
    EXPECT_EQ(link.SendCommand(CLinkLease(), 'L', "P0001", 1), "");
    EXPECT_EQ(link.OpenPort(QStringLiteral("COM%1").arg(kPort), 1), 0); // not under the poller
    ASSERT_TRUE(WaitForPoll());
    EXPECT_EQ(reader->Count("FFLP0001"), 0);
    EXPECT_TRUE(link.IsPollingRunning());
}

TEST_F(FramedOnline, ReleasedOrCancelledLeaseNeverTalksToTheReaderAgain)
{
    Connect(CSimulatedReader::Kite);
    const CLinkLease released = link.TakeLink();
    ASSERT_TRUE(released);
    link.ReleaseLink(released);
    EXPECT_EQ(link.SendCommand(released, 'L', "P0002", 1), "");

    const CLinkLease lease = link.TakeLink();
    ASSERT_TRUE(lease);
    EXPECT_NE(lease.Ticket(), released.Ticket());
    link.ClosePort();
    EXPECT_FALSE(link.IsLinkTaken());
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0000", 1), "");
    EXPECT_EQ(link.TakeLink().Why(), CLinkLease::NoReader);

    // Another reader on the port: the old lease never reaches it.
    reader = std::make_unique<CSimulatedReader>(CSimulatedReader::Heron, link.Timing().factor);
    reader->RegisterAs(kPort);
    Reconnect();
    reader->ClearLog();
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0003", 1), "");
    EXPECT_LT(MsSince(start), Ms(2000)); // a wait would take the queued reply window, Ms(3000)
    link.ReleaseLink(lease); // does nothing to the new connection
    const CLinkLease next = link.TakeLink();
    ASSERT_TRUE(next);
    EXPECT_EQ(link.SendCommand(next, 'L', "P0001", 1), FramedReply("FFLP0006"));
    EXPECT_EQ(link.SendCommand(lease, 'L', "P0003", 1), "");
    link.ReleaseLink(next);
    EXPECT_EQ(reader->Count("FFLP0002") + reader->Count("FFLP0003"), 0);
}

// A reply of the form the caller awaits is its reply, also when it is as
// long as an unasked report; a report before it is still a tag.
TEST_F(PlainOnline, ElevenCharacterReplyIsTheReplyNotATag)
{
    Connect(CSimulatedReader::Wren);
    reader->ReplyNextWith("12345678901");
    Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendAndWait('C', "1", 2), "12345678901");
    EXPECT_LT(MsSince(start), 1000);

    reader->InjectReportBeforeNextReply("CCCCCCCCCC");
    reader->ReplyNextWith("X0A1B2C3D4E");
    EXPECT_EQ(link.SendAndWait('C', "0", 2), "X0A1B2C3D4E");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 1; }, 2000));
    EXPECT_EQ(recorder.Tags().first().number, "CCCCCCCCCC");

    // A reply that comes after its caller gave up reaches nobody.
    reader->DelayReplyTo("Y", 3300);
    start = Clock::now();
    EXPECT_EQ(link.SendAndWait('Y', "", 2), "");
    EXPECT_EQ(link.SendAndWait('G', "00", 2), "0A1B2C3D4E");
    EXPECT_LT(MsSince(start), 6000);
    // The late reply arrives meanwhile and must reach nobody: no event to wait for.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(recorder.Tags().size(), 1);
}

TEST_F(FramedOnline, SilentReaderIsReportedLostOnceAfterFiveSeconds)
{
    UseRealTime(); // proves the five seconds to a lost link
    Connect(CSimulatedReader::Kite);
    ASSERT_TRUE(WaitForPoll());
    reader->SetSilent(true);
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(recorder.WaitFor([&] { return !recorder.linkLost.isEmpty(); }, 12000));
    EXPECT_GE(MsSince(start), 4000);
    EXPECT_EQ(recorder.linkLost.value(0), link.ConnectionId());
    // No second report may follow: no event to wait for, the link is watched a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(recorder.LinkLostCount(), 1);

    link.ClosePort();
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_EQ(link.Status().readerType, -1);
    EXPECT_EQ(link.Status().connectedPort, -1);
}

TEST_F(FramedOnline, NoPollAndNoLostLinkWhileTheSettingsDialogIsOpen)
{
    Connect(CSimulatedReader::Kite);
    link.SetParamDialogOpen(true);
    reader->SetSilent(true);
    // A poll in flight ends, unanswered, after the quiet time at the latest
    // (and one decided just before the dialog opened is written by then);
    // then neither a poll nor a lost link may come for longer than the five
    // seconds to a lost link (no event to wait for).
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms(2500)));
    const int polls = Polls();
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms(6500)));
    EXPECT_EQ(recorder.LinkLostCount(), 0);
    EXPECT_EQ(Polls(), polls);
    link.SetParamDialogOpen(false);
    // A poll that was in flight when the dialog opened may hold the line a
    // while longer; polling must come back, not at a fixed moment. The silent
    // reader leaves that one poll in flight until the link is lost, so it may
    // already have gone out by now and is counted from before.
    EXPECT_TRUE(WaitForFrames("FFCT23", polls + 1, 6000));
}

TEST_F(FramedOnline, UnpluggedReaderIsLostWithoutSpinning)
{
    UseRealTime(); // proves the lost-link time and its processor use
    Connect(CSimulatedReader::Egret);
    ASSERT_TRUE(WaitForPoll());
    const double cpuBefore = ProcessCpuSeconds();
    const Clock::time_point start = Clock::now();
    reader->DropLine();
    ASSERT_TRUE(recorder.WaitFor([&] { return !recorder.linkLost.isEmpty(); }, 12000));
    EXPECT_GE(MsSince(start), 4000);
    // A hung-up port answers every read at once; the loop must still wait.
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 1.0);
    link.ClosePort();
}

TEST_F(FramedOnline, ReconnectWritesNoPollBeforeTheNewSearchEnds)
{
    Connect(CSimulatedReader::Kite);
    ASSERT_TRUE(WaitForPoll());
    link.ClosePort();
    reader->ClearLog();
    Reconnect();
    // Only the search's frames until its end (an answer of the old
    // connection still on the line may cost the search one more identity).
    const QList<CSimulatedReader::Frame> log = reader->Log();
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.first().body, "FFHD4");
    for (const CSimulatedReader::Frame& frame : log) {
        if (frame.body.startsWith("FFSU"))
            break;
        EXPECT_TRUE(frame.body == "FFHD4" || frame.body == "FFLS0000EB") << frame.body.constData();
    }
}

TEST_F(FramedOnline, ClosedPortsFileNumberIsNeverWrittenByTheOldThread)
{
    Connect(CSimulatedReader::Heron);
    reader->DelayReplyTo("FFCT", 1500);
    ASSERT_TRUE(WaitForPoll());
    // The polling thread waits for the answer; the port closes under it,
    // and a new file takes the freed number at once.
    link.ClosePort();
    const QString path = TestEnvironment::NewFolder("reuse") + "/file";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    // The old thread's reply comes meanwhile and must not be written: no event to wait for.
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms(2000)));
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST_F(FramedOnline, EndingTheProgramWhilePollingDoesNotHang)
{
    Connect(CSimulatedReader::Kite);
    // The readers' own waits, which a hanging end would sit out.
    auto other = std::make_unique<CReaderLink>(nullptr, nullptr, RealTimeShortBounds());
    ASSERT_TRUE(WaitForPoll());
    link.ClosePort();
    // The other link polls once its search and the learning of the line's
    // habit are done; of two more polls at most one is the closed link's
    // last, still on its way to the reader.
    const int polls = Polls();
    ASSERT_EQ(other->Connect(kPort), CReaderLink::ConnectStarted);
    ASSERT_TRUE(WaitForFrames("FFCT23", polls + 2, 16000));
    const Clock::time_point start = Clock::now();
    other.reset();
    EXPECT_LT(MsSince(start), 1000);
}

TEST_F(PlainOnline, WrenReportsTagsAndMarksItsMaster)
{
    Connect(CSimulatedReader::Wren);
    reader->PresentTag("AAAAAAAAAA");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 1; }, 2000));
    EXPECT_EQ(recorder.Tags().at(0).number, "AAAAAAAAAA");
    EXPECT_FALSE(recorder.Tags().at(0).isMaster);
    reader->PresentTag("0A1B2C3D4E");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 2; }, 2000));
    EXPECT_TRUE(recorder.Tags().at(1).isMaster);

    // An unasked report just before a reply is a tag, not the reply.
    reader->InjectReportBeforeNextReply("CCCCCCCCCC");
    EXPECT_EQ(link.SendAndWait('G', "00", 2), "0A1B2C3D4E");
    ASSERT_TRUE(recorder.WaitFor([&] { return recorder.tags.size() == 3; }, 2000));
    EXPECT_EQ(recorder.Tags().at(2).number, "CCCCCCCCCC");
    EXPECT_EQ(reader->Count("FFCT"), 0); // a plain reader is never polled

    // While teaching a master the report goes to the waiting dialog.
    link.SetMasterLearn(true);
    EXPECT_EQ(link.SendAndWait('M', "", 2), "\x06");
    reader->PresentTag("BBBBBBBBBB");
    EXPECT_EQ(link.WaitMasterReport(3000), "MBBBBBBBBB" "B");
    link.SetMasterLearn(false);
    EXPECT_EQ(link.WaitMasterReport(50), "");
    // The report must not turn up as a tag as well: no event to wait for.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(recorder.Tags().size(), 3);
    EXPECT_EQ(link.SendAndWait('H', "", 3), "QMZT32");
}

} // namespace
