// What "write all" sends, built without a link.
#include "CWriteAllJob.h"
#include "CReaderFrame.h"

#include <gtest/gtest.h>

namespace {

struct Window {
    const char *von, *bis;
    int mo, tu, we, th, fr, sa, su;
};

// A schema group of four windows; the later three are closed all week.
void AddSchema(CtblZeitschema& table, qint32 id, const Window& first)
{
    const int r = table.GetAnz_Zeitschema();
    table.InsertAt(r, id, QStringLiteral("S%1").arg(id), first.von, first.bis, first.su, first.mo, first.tu, first.we,
                   first.th, first.fr, first.sa, 0);
    for (int k = 1; k < 4; ++k)
        table.InsertAt(r + k, id, QStringLiteral("S%1").arg(id), "0000", "0000", 0, 0, 0, 0, 0, 0, 0, 0);
}

constexpr Window kWorkdays{"0730", "1600", 1, 1, 1, 1, 1, 0, 0};

} // namespace

TEST(WriteAllBuilders, WindowSlotsRunOnAcrossTransponders)
{
    CtblZeitschema z(nullptr, nullptr);
    AddSchema(z, 10, kWorkdays);
    AddSchema(z, 11, {"2200", "0545", 0, 0, 0, 0, 0, 1, 1});
    // Unknown schema 99 adds nothing; the next one goes on at slot 4.
    const QStringList entries = CWriteAllJob::WindowEntries(z, {10, 99, 11, 10});
    ASSERT_EQ(entries.size(), 12);
    EXPECT_EQ(entries[0], "Z00003E30070016");
    EXPECT_EQ(entries[1], "Z00010000000000");
    EXPECT_EQ(entries[4], "Z0004C000224505");
    EXPECT_EQ(entries[8], "Z00083E30070016");
    EXPECT_EQ(entries[11], "Z000B0000000000");
}

TEST(WriteAllBuilders, AnIncompleteSchemaGroupAddsNothing)
{
    CtblZeitschema z(nullptr, nullptr);
    AddSchema(z, 10, kWorkdays);
    z.InsertAt(4, 11, "broken", "0800", "0900", 0, 1, 0, 0, 0, 0, 0, 0);
    z.InsertAt(5, 11, "broken", "0800", "0900", 0, 1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(CWriteAllJob::WindowEntries(z, {11, 10}).size(), 4);
    EXPECT_EQ(CWriteAllJob::WindowEntries(z, {11, 10}).first(), "Z00003E30070016");
}

TEST(WriteAllBuilders, WindowEntryTable)
{
    struct Case {
        int slot;
        Window w;
        const char* entry;
    } const cases[] = {
        {0, kWorkdays, "Z00003E30070016"},
        {0x1F, {"0000", "2359", 1, 1, 1, 1, 1, 1, 1}, "Z001FFE00005923"},
        {0xFFF, {"1215", "1245", 0, 0, 0, 0, 0, 0, 1}, "Z0FFF8015124512"},
        {1, {"0600", "0700", 0, 0, 0, 0, 0, 0, 0}, "Z00010000060007"},
        // A stray flag value counts as set and keeps the entry's length.
        {2, {"0600", "0700", 7, 0, -1, 0, 0, 0, 0}, "Z00020A00060007"},
    };
    for (const Case& c : cases) {
        CtblZeitschema::structZeitschema row;
        row.Von = c.w.von;
        row.Bis = c.w.bis;
        row.Montag = c.w.mo, row.Dienstag = c.w.tu, row.Mittwoch = c.w.we, row.Donnerstag = c.w.th;
        row.Freitag = c.w.fr, row.Samstag = c.w.sa, row.Sonntag = c.w.su;
        EXPECT_EQ(CWriteAllJob::WindowEntry(c.slot, row), c.entry) << c.entry;
    }
}

TEST(WriteAllBuilders, CountsAndSettingsTable)
{
    EXPECT_EQ(CWriteAllJob::CountData(0), "P00020000");
    EXPECT_EQ(CWriteAllJob::CountData(1000), "P000203E8");
    EXPECT_EQ(CWriteAllJob::TransponderEntry(0x12, "0123456789"), "T00120123456789");
    struct Case {
        const char *stored, *sent;
    };
    for (const Case& c : {Case{"9C", "P0000009C"}, Case{"00A5", "P000000A5"}, Case{"", "P00000000"},
                          Case{"xyz", "P00000000"}, Case{"9C ", "P00000000"}, Case{"1FFFF", "P00001FFFF"}})
        EXPECT_EQ(CWriteAllJob::ParameterData(c.stored), c.sent) << c.stored;
    for (const Case& c : {Case{"12", "P0001000C"}, Case{"131", "P00010083"}, Case{"", "P00010000"},
                          Case{"7s", "P00010007"}, Case{"x7", "P00010000"}})
        EXPECT_EQ(CWriteAllJob::ModeData(c.stored), c.sent) << c.stored;
}

TEST(WriteAllBuilders, ReplyAcceptanceTable)
{
    const auto framed = [](const QByteArray& text) { return QString::fromLatin1(text + CReaderFrame::Checksum(text)); };
    struct Case {
        QString reply;
        bool entry, setting;
    } const cases[] = {
        {framed("FFSP\x06"), true, true},
        {framed("FFST\x06"), true, true},
        {framed("FFSP\x15"), false, false},
        {framed("FFSP\x06x"), true, false}, // 8 characters: an entry's ACK, not a setting's
        {QStringLiteral("FFSP\x06") + "00", false, false}, // wrong checksum
        {QStringLiteral("FFSP"), false, false},
        {QString(), false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CWriteAllJob::Accepted(c.reply), c.entry) << qPrintable(c.reply);
        EXPECT_EQ(CWriteAllJob::SettingAccepted(c.reply), c.setting) << qPrintable(c.reply);
    }
}
