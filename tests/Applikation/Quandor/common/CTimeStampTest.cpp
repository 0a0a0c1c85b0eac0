#include "CTimeStamp.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::system_clock;

// A moment of local time, whatever the machine's time zone.
system_clock::time_point localMoment(int year, int month, int day, int hour, int minute, int second, int ms)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return system_clock::from_time_t(std::mktime(&t)) + milliseconds(ms);
}

CTimeStamp::Clock fixedClock(system_clock::time_point moment)
{
    return [moment] { return moment; };
}

} // namespace

TEST(CTimeStamp, TextFormAndFieldsComeFromTheClock)
{
    CTimeStamp stamp(fixedClock(localMoment(2011, 2, 1, 9, 5, 3, 7)));
    EXPECT_EQ(stamp.GetText(), QStringLiteral("01-02-2011/09:05:03.007"));
    EXPECT_EQ(stamp.GetDay(), 1);
    EXPECT_EQ(stamp.GetMonth(), 2);
    EXPECT_EQ(stamp.GetYear(), 2011);

    CTimeStamp january(fixedClock(localMoment(2010, 1, 31, 23, 59, 59, 999)));
    EXPECT_EQ(january.GetMonth(), 1);
    EXPECT_EQ(january.GetYear(), 2010);
    EXPECT_EQ(january.GetText(), QStringLiteral("31-01-2010/23:59:59.999"));
}

TEST(CTimeStamp, NowReadsTheClockAgainAndOverwritesEveryField)
{
    std::vector<system_clock::time_point> moments = {localMoment(2010, 3, 5, 14, 7, 9, 123),
                                                     localMoment(2024, 12, 24, 0, 0, 0, 0)};
    size_t next = 0;
    CTimeStamp stamp([&] { return moments[next++]; });
    EXPECT_EQ(stamp.GetText(), QStringLiteral("05-03-2010/14:07:09.123"));
    EXPECT_EQ(stamp.Now(), QStringLiteral("24-12-2024/00:00:00.000"));
    EXPECT_EQ(stamp.GetText(), QStringLiteral("24-12-2024/00:00:00.000"));
    EXPECT_EQ(stamp.GetDay(), 24);
    EXPECT_EQ(stamp.GetMonth(), 12);
    EXPECT_EQ(stamp.GetYear(), 2024);
}

// The milliseconds always belong to the second printed beside them, also
// when the clock crosses a second, a day and a year between two readings.
TEST(CTimeStamp, StaysConsistentAcrossSecondBoundaries)
{
    struct Case
    {
        system_clock::time_point moment;
        const char* text;
    };
    const Case cases[] = {
        {localMoment(2011, 2, 1, 9, 5, 3, 998), "01-02-2011/09:05:03.998"},
        {localMoment(2011, 2, 1, 9, 5, 3, 999), "01-02-2011/09:05:03.999"},
        {localMoment(2011, 2, 1, 9, 5, 4, 0), "01-02-2011/09:05:04.000"},
        {localMoment(2011, 2, 1, 9, 5, 4, 1), "01-02-2011/09:05:04.001"},
        {localMoment(2011, 12, 31, 23, 59, 59, 999), "31-12-2011/23:59:59.999"},
        {localMoment(2012, 1, 1, 0, 0, 0, 0), "01-01-2012/00:00:00.000"},
    };
    system_clock::time_point now;
    CTimeStamp stamp([&] { return now; });
    for (const Case& c : cases) {
        now = c.moment;
        EXPECT_EQ(stamp.Now(), QString::fromLatin1(c.text));
    }
    // A moment before 1970 still has its milliseconds in 0..999.
    now = system_clock::time_point(milliseconds(-1));
    EXPECT_TRUE(stamp.Now().endsWith(QStringLiteral(":59.999"))) << stamp.GetText().toStdString();
}

TEST(CTimeStamp, SystemClockGivesTheFixedForm)
{
    const system_clock::time_point before = system_clock::now();
    CTimeStamp stamp;
    const QString text = stamp.GetText();
    EXPECT_EQ(text.size(), 23);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d-\\d{4}/\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$"))
                    .match(text)
                    .hasMatch())
        << text.toStdString();
    const std::time_t t = system_clock::to_time_t(before);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(stamp.GetYear(), local.tm_year + 1900);
}
