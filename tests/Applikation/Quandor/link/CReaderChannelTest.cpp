#include "CReaderChannel.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// How long a possible copy waits for another answer on a line not known to
// repeat its replies: twice the slowest of the recent answers and a little,
// never more than a reply byte may take. The polling thread and the direct
// commands both feed it and both wait by it.
struct SpanCase {
    const char* name;
    double scale;
    std::vector<qint64> roundTripsMs;
    int spanMs;
};

class ConfirmSpan : public ::testing::TestWithParam<SpanCase>
{
};

TEST_P(ConfirmSpan, FollowsTheSlowestRecentAnswer)
{
    CReaderChannel channel;
    channel.SetTiming(CLinkTiming::Scaled(GetParam().scale));
    for (qint64 ms : GetParam().roundTripsMs)
        channel.NoteRoundTrip(ms);
    EXPECT_EQ(channel.ConfirmSpan().count(), GetParam().spanMs);
}

std::vector<qint64> SlowThenManyQuick()
{
    std::vector<qint64> trips{900};
    trips.insert(trips.end(), 32, 3);
    return trips;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConfirmSpan,
    ::testing::Values(SpanCase{"NoneTimedYet", 1.0, {}, 0}, SpanCase{"TwiceTheSlowestAndALittle", 1.0, {3, 7, 5}, 16},
                      SpanCase{"NeverLongerThanAReplyByte", 1.0, {5000}, 2000},
                      SpanCase{"ThatCapFollowsTheTiming", 0.1, {5000}, 200},
                      SpanCase{"AnOldSlowAnswerIsForgotten", 1.0, SlowThenManyQuick(), 8},
                      SpanCase{"ANegativeTimeCountsAsNone", 1.0, {-5}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
