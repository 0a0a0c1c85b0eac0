// Replies delayed from 0 to 3500 ms, queued and direct, at the reader's line
// rate: every reply that comes while its caller waits reaches that caller,
// every later one nobody, and none is ever shown as a tag. The reply is a
// transponder-list entry, which looks like a poll answer with a tag. Each
// delay is a test of its own, so they run side by side.

#include "ReaderReplies.h"
#include "ReaderLinkFixture.h"

#include <tuple>

namespace {

enum class Path { Queued, Direct };

class ReplyDelaySweep : public OnlineLink, public ::testing::WithParamInterface<std::tuple<Path, int>>
{
};

TEST_P(ReplyDelaySweep, InTimeToItsCallerLateToNobody)
{
    const Path path = std::get<0>(GetParam());
    const int delayMs = std::get<1>(GetParam());
    // A caller waits 3000 ms for a queued reply, 2000 ms for the first byte
    // of a direct one; a reply that starts right at the bound may go either
    // way, but only to its own caller.
    const int bound = path == Path::Queued ? CLinkTiming().queuedReplyMs : CLinkTiming().replyByteMs;

    // The delays lie a quarter second apart around the bound; at a tenth of
    // real time that margin is shorter than a busy machine's delays.
    UseRealTime();
    Connect(CSimulatedReader::Kite);
    reader->SetPacing(true);
    reader->SetTransponder(1, "0A0B0C0D0E");
    reader->DelayReplyTo("FFLT0001", delayMs);
    const QString entry = FramedReply("FFLT0A0B0C0D0E");

    ASSERT_TRUE(WaitForPoll()); // the first poll is out: the line is settled
    CLinkLease lease;
    if (path == Path::Direct) {
        lease = link.TakeLink();
        ASSERT_TRUE(lease);
    }
    auto send = [&](char letter, const char* data) {
        return path == Path::Queued ? link.SendAndWait(letter, data, 1) : link.SendCommand(lease, letter, data, 1);
    };

    const QString reply = send('L', "T0001");
    if (delayMs < bound)
        EXPECT_EQ(reply, entry);
    else if (delayMs > bound)
        EXPECT_EQ(reply, "");
    else
        EXPECT_TRUE(reply.isEmpty() || reply == entry) << qPrintable(reply);
    // The next command gets its own reply, never the late one.
    EXPECT_EQ(send('L', "P0001"), FramedReply("FFLP0006"));
    if (path == Path::Direct)
        link.ReleaseLink(lease);

    ASSERT_TRUE(WaitForPoll());
    ASSERT_TRUE(WaitForPoll());
    EXPECT_TRUE(recorder.Tags().isEmpty()) << qPrintable(recorder.Tags().value(0).number);
    EXPECT_EQ(recorder.LinkLostCount(), 0);
}

std::string SweepName(const ::testing::TestParamInfo<std::tuple<Path, int>>& info)
{
    return std::string(std::get<0>(info.param) == Path::Queued ? "Queued" : "Direct") + "_"
        + std::to_string(std::get<1>(info.param)) + "ms";
}

INSTANTIATE_TEST_SUITE_P(Delays, ReplyDelaySweep,
                         ::testing::Combine(::testing::Values(Path::Queued, Path::Direct),
                                            ::testing::Range(0, 3501, 250)),
                         SweepName);

} // namespace
