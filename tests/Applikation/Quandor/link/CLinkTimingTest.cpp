#include "CLinkTiming.h"

#include <gtest/gtest.h>

// The defaults are the times the readers are built for; a change here would
// change the program's behaviour on every real line.
TEST(LinkTiming, DefaultsAreTheReadersTimes)
{
    const CLinkTiming t;
    EXPECT_EQ(t.replyByteMs, 2000);
    EXPECT_EQ(t.lateReplyMs, 10000);
    EXPECT_EQ(t.copyGapMs, 5000);
    EXPECT_EQ(t.firstByteMs, 10);
    EXPECT_EQ(t.listenMs, 250);
    EXPECT_EQ(t.pollSpacingMs, 500);
    EXPECT_EQ(t.linkLostReads, 500);
    EXPECT_EQ(t.queuedReplyMs, 3000);
    EXPECT_EQ(t.writeRetryPauseMs, 200);
    EXPECT_EQ(t.plainResendPauseMs, 200);
    EXPECT_EQ(t.teachWaitMs, 120);
    EXPECT_EQ(CLinkTiming::Scaled(1.0), t);
}

TEST(LinkTiming, ScaledShortensTimesButKeepsCounts)
{
    const CLinkTiming t = CLinkTiming::Scaled(0.1);
    EXPECT_EQ(t.replyByteMs, 200);
    EXPECT_EQ(t.lateReplyMs, 1000);
    EXPECT_EQ(t.pollSpacingMs, 50);
    EXPECT_EQ(t.queuedReplyMs, 300);
    EXPECT_EQ(t.firstByteMs, 1);
    EXPECT_EQ(t.linkLostReads, 500);
    EXPECT_EQ(t.Scale(2500), 250);
    // No time becomes zero, and a nonsense factor means real time.
    EXPECT_EQ(CLinkTiming::Scaled(0.001).firstByteMs, 1);
    EXPECT_EQ(CLinkTiming::Scaled(0.0), CLinkTiming());
    EXPECT_EQ(CLinkTiming::Scaled(-2.0), CLinkTiming());
}
