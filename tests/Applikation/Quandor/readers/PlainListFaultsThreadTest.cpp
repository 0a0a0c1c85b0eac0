// The plain reader's list on a line that delivers replies late or twice:
// reading the Wren's list, sending a composed one and recording it must
// each take every reply for the command that asked for it.

#include "PlainReaderFixture.h"

namespace {

struct Fault {
    const char* name;
    int lateMs = 0;       // the reply to the third entry's write this late (protocol time)
    int repeatGapMs = -1; // every reply twice, the copy this much later
};

struct Case {
    Fault fault;
    int latencyMs;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    return std::string(info.param.fault.name) + "_latency" + std::to_string(info.param.latencyMs);
}

constexpr double kScale = 1.0;

class PlainListFaults : public PlainReader, public ::testing::WithParamInterface<Case>
{
protected:
    void SetUp() override
    {
        PlainReader::SetUp();
        timing = CLinkTiming::Scaled(kScale);
        m_app->SetLinkTiming(timing);
    }

    // The numbers assigned to the Wren (reader 3) in the database.
    QStringList Assigned() const
    {
        QStringList numbers;
        for (const StoredTransponder& t : Transponders()) {
            if (t.readers.split(';').contains(QStringLiteral("3")))
                numbers << t.number;
        }
        numbers.sort();
        return numbers;
    }
    QStringList HeldByReader() const
    {
        QStringList numbers;
        for (int i = 1; i < reader->ListLength(); ++i)
            numbers << QString::fromLatin1(reader->ListEntry(i));
        numbers.sort();
        return numbers;
    }
    std::unique_ptr<CSendWrenDlg> Open()
    {
        return std::make_unique<CSendWrenDlg>(Language(), m_app->GetDBHandler(), View(), CSendWrenDlg::WriteMode, 3,
                                              Frame());
    }
};

TEST_P(PlainListFaults, TheDatabaseEqualsWhatTheReaderHolds)
{
    const Case& c = GetParam();
    SeedReaders();
    Sql({"INSERT INTO tblTransponder (ID_Transponder, strTransponderNummer, Person_ID, Zeitfenster_ID,"
         " strLeser_IDS, boolUpdateOK) VALUES (11,'AAAAAAAAA1',0,1,'3',0), (12,'AAAAAAAAA2',0,1,'7;3',0),"
         " (13,'AAAAAAAAA3',0,1,'7',0)"});
    // How the line behaves is learnt on each opening: it is set before.
    ConnectPlain(CSimulatedReader::Wren, [&](CSimulatedReader& r) {
        r.SetLatency(c.latencyMs);
        if (c.fault.repeatGapMs >= 0)
            r.SetRepeatReplies(c.fault.repeatGapMs);
    });
    reader->SetMaster("0123456789");
    const QStringList onReader{"CCCCCCCCC1", "CCCCCCCCC2", "CCCCCCCCC3", "CCCCCCCCC4", "CCCCCCCCC5"};
    for (int i = 0; i < onReader.size(); ++i)
        reader->SetListEntry(i + 1, onReader.at(i).toLatin1());

    // Reading: every entry once, in place.
    auto dialog = Open();
    dialog->OnReadReaderList();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    QStringList read = CSendWrenDlg::Numbers(dialog->ReaderList());
    read.sort();
    ASSERT_EQ(read, onReader);

    // Sending the reader's entries and the database's: the reader holds
    // them all, and the database records exactly what the reader holds.
    if (c.fault.lateMs)
        reader->DelayReplyTo("S03", c.fault.lateMs);
    SelectAll(dialog->ReaderList());
    dialog->OnMoveLeft();
    SelectAll(dialog->DatabaseList());
    dialog->OnMoveRight();
    QStringList sent = CSendWrenDlg::Numbers(dialog->SendList());
    sent.sort();
    ASSERT_EQ(sent.size(), 7);
    dialog->OnSend();
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    EXPECT_EQ(m_notices, QStringList{Text(173)});
    EXPECT_EQ(HeldByReader(), sent);
    EXPECT_EQ(Assigned(), sent);
    EXPECT_EQ(ReaderRow(3).updateOK, 0);
    ExpectCachesEqualDatabase();

    // A refused entry is reported, while the copies of the replies before it
    // still come; the database stays as it was.
    const std::vector<StoredTransponder> stored = Transponders();
    SelectNumber(dialog->SendList(), "CCCCCCCCC5");
    dialog->OnRemoveSelected();
    m_messages.clear();
    m_notices.clear();
    reader->NakNextTo("S04", 2);
    dialog->OnSend();
    EXPECT_EQ(m_messages, QStringList{Text(141)});
    EXPECT_TRUE(m_notices.isEmpty());
    EXPECT_EQ(Transponders(), stored);
}

std::vector<Case> AllCases()
{
    const Fault faults[] = {
        {"late2100", 2100, -1}, {"late2500", 2500, -1}, {"late3000", 3000, -1}, {"late3900", 3900, -1},
        {"twice0", 0, 0},       {"twice30", 0, 30},     {"twice300", 0, 300},   {"twice700", 0, 700},
    };
    std::vector<Case> cases;
    for (const Fault& f : faults)
        for (int latency : {0, 20})
            cases.push_back(Case{f, latency});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Lines, PlainListFaults, ::testing::ValuesIn(AllCases()), CaseName);

} // namespace
