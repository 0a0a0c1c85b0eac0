#include "CEventDateFilter.h"
#include "CEventRecord.h"
#include "CReadEventsDlg.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

// A framed reply to 'L' "E": head, number, hhmm, B1, B2, YY, checksum.
QString reply(const char* b1, const char* b2, const char* yy, const char* cs = "39")
{
    return QStringLiteral("FFLE0123456789") + "0730" + b1 + b2 + yy + cs;
}

struct DecodeCase
{
    const char* b1;
    const char* b2;
    const char* yy;
    const char* date;
    const char* code1;
    unsigned int text1;
    const char* code2;
    unsigned int text2;
};

} // namespace

TEST(EventRecord, DecodesEveryKindDayMonthAndCentury)
{
    const DecodeCase cases[] = {
        {"A5", "63", "24", "25032024", "10", 191, "011", 194}, // the catalogue's example
        {"B5", "E3", "23", "35032023", "10", 191, "011", 194}, // all three kind bits: "011"
        {"45", "11", "23", "05112023", "01", 192, "---", 199},
        {"05", "A1", "70", "05012070", "00", 193, "101", 195}, // 70 is 2070
        {"15", "C2", "71", "15021971", "00", 193, "110", 196}, // 71 is 1971
        {"25", "42", "99", "25021999", "00", 193, "010", 197},
        {"31", "92", "00", "31122000", "00", 193, "100", 198},
        {"C1", "21", "05", "01012005", "10", 191, "001", 229},
    };
    for (const DecodeCase& c : cases) {
        CEventRecord r;
        ASSERT_TRUE(CEventRecord::Decode(reply(c.b1, c.b2, c.yy), &r)) << c.b1 << c.b2;
        EXPECT_EQ(r.transponder, "0123456789");
        EXPECT_EQ(r.time, "0730");
        EXPECT_EQ(r.date, c.date) << c.b1 << c.b2 << c.yy;
        EXPECT_EQ(r.kind1Code, c.code1) << c.b1;
        EXPECT_EQ(r.kind1Text, c.text1) << c.b1;
        EXPECT_EQ(r.kind2Code, c.code2) << c.b2;
        EXPECT_EQ(r.kind2Text, c.text2) << c.b2;
    }
}

TEST(EventRecord, OnlyTwentySixCharactersAreARecord)
{
    CEventRecord r;
    r.transponder = "kept";
    EXPECT_FALSE(CEventRecord::Decode(reply("A5", "63", "24").left(25), &r));
    EXPECT_FALSE(CEventRecord::Decode(reply("A5", "63", "24") + "0", &r));
    EXPECT_FALSE(CEventRecord::Decode(QString(), &r));
    EXPECT_EQ(r.transponder, "kept");
}

TEST(EventRecord, OddPairsAreStoredNotRefused)
{
    // Not hexadecimal: 0. A units nibble above 9 is written in decimal.
    CEventRecord r;
    ASSERT_TRUE(CEventRecord::Decode(reply("ZZ", "G1", "24"), &r));
    EXPECT_EQ(r.date, "00002024");
    EXPECT_EQ(r.kind1Code, "00");
    EXPECT_EQ(r.kind2Code, "---");
    ASSERT_TRUE(CEventRecord::Decode(reply("8F", "1C", "24"), &r));
    EXPECT_EQ(r.date, "0151122024");
    EXPECT_EQ(r.day, 15);
    EXPECT_EQ(r.month, 22);
    // The simulator's filler record past the event pointer.
    ASSERT_TRUE(CEventRecord::Decode(QStringLiteral("FFLE0000000000000000000000"), &r));
    EXPECT_EQ(r.date, "00002000");
}

TEST(EventDateFilter, WholeDatesWithInclusiveBounds)
{
    struct Case
    {
        const char* from;
        const char* to;
        int d, m, y;
        bool passes;
    } cases[] = {
        // Within a range across months: the piecewise rule lost this one.
        {"150324", "100524", 20, 4, 2024, true},
        // After the range: the piecewise rule kept this one.
        {"010324", "200524", 10, 7, 2024, false},
        // Across the year end: the piecewise rule passed nothing at all.
        {"151223", "150124", 20, 12, 2023, true},
        {"151223", "150124", 10, 1, 2024, true},
        {"151223", "150124", 16, 1, 2024, false},
        {"151223", "150124", 14, 12, 2023, false},
        // Both bounds inclusive.
        {"150324", "100524", 15, 3, 2024, true},
        {"150324", "100524", 10, 5, 2024, true},
        {"150324", "100524", 14, 3, 2024, false},
        {"150324", "100524", 11, 5, 2024, false},
        // A one-day range (the pickers left untouched: today).
        {"050324", "050324", 5, 3, 2024, true},
        {"050324", "050324", 5, 3, 2023, false},
        // Bounds follow the events' century rule.
        {"010199", "311200", 1, 6, 1999, true},
        {"010199", "311200", 1, 6, 2000, true},
        {"010199", "311200", 1, 6, 2070, false},
        // From after to: nothing.
        {"100524", "150324", 20, 4, 2024, false},
    };
    for (const Case& c : cases) {
        const CEventDateFilter filter(true, c.from, c.to);
        ASSERT_TRUE(filter.IsOn());
        EXPECT_EQ(filter.Passes(c.d, c.m, c.y), c.passes) << c.from << "-" << c.to << " " << c.d << "." << c.m << "." << c.y;
    }
}

TEST(EventDateFilter, OffOrUnreadableBoundsPassEverything)
{
    const struct
    {
        bool on;
        const char* from;
        const char* to;
    } cases[] = {{false, "150324", "100524"}, {true, "", "100524"}, {true, "150324", ""}, {true, "15032", "100524"},
                 {true, "1503AB", "100524"}};
    for (const auto& c : cases) {
        const CEventDateFilter filter(c.on, c.from, c.to);
        EXPECT_FALSE(filter.IsOn()) << c.from << "-" << c.to;
        EXPECT_TRUE(filter.Passes(1, 1, 1990));
    }
}

TEST(EventDateFilter, DialogTextsAreTheFilterBounds)
{
    EXPECT_EQ(CReadEventsDlg::DateText(QDate(2024, 3, 5)), "050324");
    EXPECT_EQ(CReadEventsDlg::DateText(QDate(2000, 12, 31)), "311200");
    EXPECT_EQ(CEventDateFilter::BoundKey("050324"), 20240305);
    EXPECT_EQ(CEventDateFilter::BoundKey("050371"), 19710305);
}
