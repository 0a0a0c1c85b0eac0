// The stored settings of a Wren reader as text.

#include "CWrenSettings.h"

#include <gtest/gtest.h>

namespace {

struct ParameterCase {
    const char* stored;
    quint32 bits;
    const char* master;
    bool standalone, masterActive;
};

TEST(CWrenSettings, StoredParameterTextsReadAndWriteBack)
{
    const ParameterCase cases[] = {
        {"3", 3, "", true, true},
        {"2;0123456789", 2, "0123456789", false, true},
        {"F1;AAAAAAAAAA", 0xF1, "AAAAAAAAAA", true, false},
        {"0", 0, "", false, false},
        {"", 0, "", false, false},
        {"xyz;0123456789", 0, "0123456789", false, false}, // not hexadecimal: bits 0
    };
    for (const ParameterCase& c : cases) {
        SCOPED_TRACE(c.stored);
        const CWrenSettings settings = CWrenSettings::FromParameter(c.stored);
        EXPECT_EQ(settings.modeBits, c.bits);
        EXPECT_EQ(settings.master, c.master);
        EXPECT_EQ(settings.Standalone(), c.standalone);
        EXPECT_EQ(settings.MasterActive(), c.masterActive);
    }
    EXPECT_EQ((CWrenSettings{0xF0, "X"}).ToParameter(), "F0;X");
    EXPECT_EQ((CWrenSettings{3, ""}).ToParameter(), "3");
    EXPECT_EQ(CWrenSettings::ModeBitsText("2;0123456789"), "2");
    EXPECT_EQ(CWrenSettings::ModeBitsText("A5"), "A5");
}

TEST(CWrenSettings, SwitchTimesAreShownCheckedAndSent)
{
    const std::pair<const char*, const char*> shown[] = {{"5", "5"}, {"0", "0.5"}, {"-3", "0"}, {"", "0.5"}, {"15", "15"}};
    for (const auto& [stored, text] : shown)
        EXPECT_EQ(CWrenSettings::SwitchTimeShown(stored), text) << stored;

    struct Typed {
        const char* typed;
        CWrenSettings::SwitchTimeCheck check;
        const char* stored;
    };
    const Typed typed[] = {
        {"0.5", CWrenSettings::SwitchTimeCheck::Valid, "0"},
        {"0,5", CWrenSettings::SwitchTimeCheck::Valid, "0"},
        {"1", CWrenSettings::SwitchTimeCheck::Valid, "1"},
        {" 15s", CWrenSettings::SwitchTimeCheck::Valid, "15"},
        {"16", CWrenSettings::SwitchTimeCheck::AboveFifteen, ""},
        {"99999999999999999999", CWrenSettings::SwitchTimeCheck::AboveFifteen, ""}, // no overflow
        {"0", CWrenSettings::SwitchTimeCheck::BelowOne, ""},
        {"abc", CWrenSettings::SwitchTimeCheck::BelowOne, ""},
        {"-99999999999999999999", CWrenSettings::SwitchTimeCheck::BelowOne, ""},
        {"", CWrenSettings::SwitchTimeCheck::BelowOne, ""},
    };
    for (const Typed& t : typed) {
        QString modus;
        EXPECT_EQ(CWrenSettings::CheckSwitchTime(t.typed, &modus), t.check) << t.typed;
        EXPECT_EQ(modus, t.stored) << t.typed;
    }

    const std::pair<const char*, const char*> sent[] = {{"5", "105"}, {"15", "10F"}, {"0", "100"}, {"", "100"}, {"20", "1014"}};
    for (const auto& [stored, data] : sent)
        EXPECT_EQ(CWrenSettings::SwitchTimeData(stored), data) << stored;
}

TEST(CWrenSettings, OnlyTenHexDigitsAreATransponderNumber)
{
    EXPECT_TRUE(CWrenSettings::IsTransponderNumber("0123456789"));
    EXPECT_TRUE(CWrenSettings::IsTransponderNumber("abcdefABCD"));
    for (const char* bad : {"", "\x15", "012345678", "01234567890", "012345678G", "R012345678"})
        EXPECT_FALSE(CWrenSettings::IsTransponderNumber(bad)) << bad;
}

} // namespace
