#include "WriteAllFixture.h"

#include "CGridCtrl.h"
#include "CZeitschemaStore.h"

namespace {

const QString kMonToFri = QStringLiteral("1, 1, 1, 1, 1, 0, 0");

QString Many(int count, int reader)
{
    // Numbers 0000000001.. in one statement: hundreds of inserts one by one
    // would each wait for the disk.
    return QStringLiteral("INSERT INTO tblTransponder (strTransponderNummer, strLeser_IDS, Zeitfenster_ID) "
                          "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < ")
        + QString::number(count) + QStringLiteral(") SELECT printf('%010X', i), '") + QString::number(reader)
        + QStringLiteral("', 0 FROM c");
}

} // namespace

TEST_F(WriteAll, TheKiteGetsTheTransponderListWindowsAndSettingsWithNoPollBetween)
{
    Sql(Schema(101, "0730", "1600", kMonToFri)
        + QStringList{Transponder("0123456789", "7"), Transponder("00000000AB", "3;7"),
                      Transponder("00000000CD", "8")});
    Online(CSimulatedReader::Kite);
    Reader({Settings(7, "9C", "12")});
    reader->ClearLog();
    Write();

    QStringList expected{Framed("FFSP00020002"), Framed("FFST00000123456789"), Framed("FFST000100000000AB")};
    for (int slot = 0; slot < 8; ++slot)
        expected << Framed(QStringLiteral("FFSZ%1").arg(slot, 4, 10, QLatin1Char('0')) + "3E30070016");
    for (int i = 0; i < 10; ++i)
        expected << "FFSP0000009CCB";
    for (int i = 0; i < 10; ++i)
        expected << "FFSP0001000CC3";
    EXPECT_EQ(Writes(), expected);
    EXPECT_TRUE(NoPollBetween("FFSP0002", "FFSP0001"));
    EXPECT_EQ(reader->TransponderCount(), 2);
    EXPECT_EQ(reader->Transponder(1), "00000000AB");
    EXPECT_EQ(reader->Parameter(), 0x9C);
    EXPECT_EQ(reader->SwitchCode(), 12);

    EXPECT_EQ(m_notices, QStringList{WriteNotice(2)});
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(MarkInDatabase(7), 0);
    EXPECT_EQ(MarkInCache(7), 0);
    EXPECT_EQ(MarkInDatabase(8), 0) << "the other reader was never marked";
    ExpectEndedCleanly();
}

TEST_F(WriteAll, AReaderWithoutTranspondersGetsTheCountZeroAndItsSettings)
{
    Online(CSimulatedReader::Egret);
    Reader({Settings(7, "", "")});
    reader->SetTransponderCount(3);
    reader->ClearLog();
    Write();
    const QStringList writes = Writes();
    ASSERT_EQ(writes.size(), 21);
    EXPECT_EQ(writes[0], Framed("FFSP00020000"));
    EXPECT_EQ(writes[1], Framed("FFSP00000000"));
    EXPECT_EQ(writes[20], Framed("FFSP00010000"));
    EXPECT_EQ(reader->TransponderCount(), 0);
    EXPECT_EQ(m_notices, QStringList{WriteNotice(0)});
}

TEST_F(WriteAll, TwoReadersOfOneNameEachGetTheirOwnData)
{
    Sql({Transponder("0000000007", "7"), Transponder("0000000008", "8")});
    Online(CSimulatedReader::Heron, QStringLiteral("Door"));
    Reader({Settings(7, "11", "1"), Settings(8, "22", "2")});
    reader->ClearLog();
    Write(8);
    EXPECT_EQ(Writes().mid(0, 2), QStringList({Framed("FFSP00020001"), Framed("FFST00000000000008")}));
    EXPECT_EQ(reader->Parameter(), 0x22);
    EXPECT_EQ(MarkInDatabase(8), 0);
    EXPECT_EQ(MarkInDatabase(7), 1);
    EXPECT_EQ(MarkInCache(7), 1);
}

namespace {

struct Limit {
    CSimulatedReader::Model model;
    int limit;
    unsigned int text;
};

class WriteAllLimits : public WriteAll, public ::testing::WithParamInterface<Limit>
{
};

} // namespace

TEST_P(WriteAllLimits, OneOverTheModelsLimitIsRefusedBeforeAnythingIsSent)
{
    Sql({Many(GetParam().limit + 1, 7)});
    Online(GetParam().model);
    reader->ClearLog();
    StartWrite();
    EXPECT_EQ(CTransferRun::Active(), nullptr);
    EXPECT_EQ(m_messages, QStringList{Text(GetParam().text)});
    EXPECT_TRUE(Writes().isEmpty());
    ExpectEndedCleanly();
    EXPECT_EQ(MarkInDatabase(7), 0);
}

INSTANTIATE_TEST_SUITE_P(Framed, WriteAllLimits,
                         ::testing::Values(Limit{CSimulatedReader::Kite, 500, 214},
                                           Limit{CSimulatedReader::Heron, 100, 215},
                                           Limit{CSimulatedReader::Egret, 1000, 236}),
                         [](const auto& info) { return CSimulatedReader::ModelName(info.param.model).toStdString(); });

TEST_F(WriteAll, AHeronTakesExactlyItsLimit)
{
    Sql({Many(100, 7)});
    Online(CSimulatedReader::Heron);
    Reader({Settings(7, "9C", "12")});
    reader->ClearLog();
    Write();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(m_notices, QStringList{WriteNotice(100)});
    EXPECT_EQ(reader->TransponderCount(), 100);
    EXPECT_EQ(reader->Transponder(99), "0000000064");
}

// Refusals of one transponder: ten tries, then a second series after
// 200 ms pauses; twenty refusals end the run with the reader still marked.
class WriteAllRefusals : public WriteAll, public ::testing::WithParamInterface<int>
{
};

TEST_P(WriteAllRefusals, ASecondSeriesFollowsTenRefusalsAfterPauses)
{
    const int naks = GetParam();
    const bool written = naks < 20;
    Sql({Transponder("0000000001", "7"), Transponder("0000000002", "7")});
    Online(CSimulatedReader::Kite);
    Reader({Settings(7, "9C", "12")});
    reader->NakNextTo("FFST0001", naks);
    reader->ClearLog();
    Write();
    QList<qint64> times;
    for (const CSimulatedReader::Frame& f : reader->Log()) {
        if (f.body.startsWith("FFST0001"))
            times << f.atMs;
    }
    ASSERT_EQ(times.size(), written ? naks + 1 : 20);
    for (int i = 10; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 195) << i;
    EXPECT_EQ(MarkInDatabase(7), written ? 0 : 1);
    EXPECT_EQ(MarkInCache(7), written ? 0 : 1);
    EXPECT_EQ(m_notices, QStringList{WriteNotice(written ? 2 : 0)});
    if (written) {
        EXPECT_EQ(reader->Transponder(1), "0000000002");
        return;
    }
    EXPECT_EQ(reader->Count("FFSZ") + reader->Count("FFSP0000"), 0);
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    ExpectEndedCleanly();
}

INSTANTIATE_TEST_SUITE_P(Kite, WriteAllRefusals, ::testing::Values(10, 20),
                         [](const auto& info) { return "Naks" + std::to_string(info.param); });

TEST_F(WriteAll, ASettingNeedsOneRightReplyAmongTenSends)
{
    struct Case {
        const char* name;
        std::function<void(CSimulatedReader&)> fault;
        bool written;
    } const cases[] = {
        {"ten NAKs", [](CSimulatedReader& r) { r.NakNextTo("FFSP0000", 10); }, false},
        {"eight characters", [](CSimulatedReader& r) { r.AnswerNext("SP0001", "FFSP\x06x", 10); }, false},
        {"bad checksums", [](CSimulatedReader& r) { r.CorruptNextTo("FFSP0001", 10); }, false},
        {"one good among ten", [](CSimulatedReader& r) { r.NakNextTo("FFSP0000", 9); }, true},
    };
    Online(CSimulatedReader::Kite);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reader({Settings(7, "9C", "12")});
        m_messages.clear();
        m_notices.clear();
        c.fault(*reader);
        reader->ClearLog();
        Write();
        EXPECT_EQ(reader->Count("FFSP0000"), 10);
        EXPECT_EQ(reader->Count("FFSP0001"), c.written || QByteArray(c.name) != "ten NAKs" ? 10 : 0);
        EXPECT_EQ(m_messages, c.written ? QStringList() : QStringList{Text(141)});
        EXPECT_EQ(m_notices, QStringList{WriteNotice(0)});
        EXPECT_EQ(MarkInDatabase(7), c.written ? 0 : 1);
    }
}

// A window edited as the time-schema view stores it reaches the reader:
// the edit marks the reader, write all sends the edited windows and clears
// the mark.
TEST_F(WriteAll, AnEditedScheduleReachesTheKite)
{
    Sql(Schema(101, "0730", "1600", kMonToFri)
        + QStringList{Transponder("0123456789", "7"), Transponder("00000000AB", "7")});
    Online(CSimulatedReader::Kite);
    ASSERT_EQ(MarkInDatabase(7), 0);

    CZeitschemaStore store(Db());
    const int schema = store.SchemaOfIdentity(101);
    ASSERT_GE(schema, 0);
    ASSERT_TRUE(store.StoreCell(schema, 0, 4, "06"));  // from 06:30
    ASSERT_TRUE(store.StoreCell(schema, 0, 7, "45"));  // to 16:45
    ASSERT_TRUE(store.StoreCell(schema, 0, 13, "1")); // Saturday too
    EXPECT_EQ(MarkInDatabase(7), 1);
    EXPECT_EQ(MarkInCache(7), 1);

    reader->ClearLog();
    Write();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    const QMap<int, CSimulatedReader::TimeWindow> windows = reader->TimeWindows();
    ASSERT_EQ(windows.size(), 8);
    for (int slot : {0, 4}) {
        EXPECT_EQ(windows[slot].weekdays, 0x7E) << slot;
        EXPECT_EQ(windows[slot].from, "3006") << slot;
        EXPECT_EQ(windows[slot].to, "4516") << slot;
    }
    EXPECT_EQ(MarkInDatabase(7), 0);
    EXPECT_EQ(MarkInCache(7), 0);
}
