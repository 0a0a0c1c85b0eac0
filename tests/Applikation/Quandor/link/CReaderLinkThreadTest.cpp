// Many threads on one online link at once: every caller gets the reply to
// its own frame or its own failure, never another's.

#include "ReaderReplies.h"
#include "ReaderLinkFixture.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

using ConcurrentLink = OnlineLink;

TEST_F(ConcurrentLink, EveryCallerGetsItsOwnReplyWhilePollingRuns)
{
    // Every one of the callers must be answered, so their replies get the
    // real windows: at a tenth of them a loaded machine (or a sanitizer) was
    // seen to let three of 72 time out, which is a failure, not a mix-up.
    UseRealTime();
    Connect(CSimulatedReader::Kite);
    PrepareDistinctReplies(*reader);

    const std::vector<DistinctCommand> commands = DistinctCommands();
    const int rounds = 12;
    std::atomic<int> wrong{0};
    std::atomic<int> answered{0};

    std::vector<std::thread> callers;
    for (size_t i = 0; i < commands.size(); ++i) {
        callers.emplace_back([&, i] {
            const DistinctCommand& own = commands[i];
            for (int round = 0; round < rounds; ++round) {
                // Half of them queue, half take the link for one command.
                QString reply;
                if (i % 2 == 0) {
                    reply = link.SendAndWait(own.letter, own.data, 1);
                } else {
                    CLinkLease lease;
                    while (!(lease = link.TakeLink()))
                        std::this_thread::yield();
                    reply = link.SendCommand(lease, own.letter, own.data, 1);
                    link.ReleaseLink(lease);
                }
                if (reply == own.reply)
                    ++answered;
                else if (!reply.isEmpty() && reply != "CRC_ERROR")
                    ++wrong; // another caller's reply, or a poll answer
            }
        });
    }
    std::thread presenter([&] {
        for (int i = 0; i < 6; ++i) {
            reader->PresentTag(QByteArray::number(1000000000 + i));
            std::this_thread::sleep_for(std::chrono::milliseconds(250)); // the tags' pace, not a wait
        }
    });
    for (std::thread& caller : callers)
        caller.join();
    presenter.join();

    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(answered.load(), int(commands.size()) * rounds);
    // The tags that were not hidden behind a waiting command still came.
    ASSERT_TRUE(WaitForPoll());
    ASSERT_TRUE(WaitForPoll());
    for (const ReaderLinkRecorder::Tag& tag : recorder.Tags())
        EXPECT_TRUE(tag.number.startsWith("100000000")) << qPrintable(tag.number);
}

TEST_F(ConcurrentLink, CallersFailAloneWhenTheirOwnReplyIsBroken)
{
    Connect(CSimulatedReader::Heron);
    std::atomic<int> crc{0};
    std::atomic<int> good{0};
    std::atomic<int> wrong{0};
    reader->CorruptNextChecksums(3);
    std::vector<std::thread> callers;
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&, i] {
            const QByteArray data = QByteArray("P000") + char('0' + i);
            for (int round = 0; round < 5; ++round) {
                const QString reply = link.SendAndWait('L', QString::fromLatin1(data), 1);
                if (reply == "CRC_ERROR")
                    ++crc;
                else if (reply.startsWith("FFLP") && reply.size() == 10)
                    ++good;
                else
                    ++wrong;
            }
        });
    }
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(crc.load(), 3); // a corrupt poll answer goes to nobody
    EXPECT_EQ(crc.load() + good.load(), 20);
}

TEST_F(ConcurrentLink, ClosingWhileCallersWaitEndsEveryWait)
{
    Connect(CSimulatedReader::Egret);
    reader->SetSilent(true);
    std::vector<std::thread> callers;
    std::atomic<int> empty{0};
    for (int i = 0; i < 4; ++i) {
        callers.emplace_back([&] {
            if (link.SendAndWait('L', "P0000", 1).isEmpty())
                ++empty;
        });
    }
    std::thread leaseHolder([&] {
        const CLinkLease lease = link.TakeLink();
        if (lease) {
            EXPECT_TRUE(link.SendCommand(lease, 'L', "P0000", 1).isEmpty());
        }
        link.ReleaseLink(lease);
    });
    // The callers get time to be waiting inside the link (which shows no sign of it) before the close.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Clock::time_point start = Clock::now();
    link.ClosePort();
    for (std::thread& caller : callers)
        caller.join();
    leaseHolder.join();
    EXPECT_LT(MsSince(start), 2500);
    EXPECT_EQ(empty.load(), 4);
}

} // namespace
