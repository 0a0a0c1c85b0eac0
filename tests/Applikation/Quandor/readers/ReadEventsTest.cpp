#include "ReadEventsFixture.h"

#include "CGridCtrl.h"
#include "CtblLeser.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>

namespace {

class ReadEventsOfEachModel : public ReadEvents, public ::testing::WithParamInterface<CSimulatedReader::Model>
{
};

} // namespace

TEST_P(ReadEventsOfEachModel, ThreeEventsUpToThePointer)
{
    Online(GetParam());
    CSimulatedReader::Event e = Event(25, 3, 2024);
    e.kind1 = 0x80;
    e.kind2 = 0x60;
    reader->AddEvent(e);
    reader->AddEvent(Event(5, 11, 2023, "00000000AB"));
    reader->AddEvent(Event(1, 1, 1999, "FFFFFFFFFF"));
    reader->ClearLog();

    // The operator's way: the command, the dialog's OK, the run.
    m_answerOptions = [](CReadEventsDlg& dialog) {
        EXPECT_TRUE(dialog.ReadToPointerBox()->isChecked());
        dialog.OkButton()->click();
        return dialog.result();
    };
    Click(kReaderId);
    View()->OnReadEvents();
    ASSERT_TRUE(WaitUntil([] { return CTransferRun::Active() != nullptr; }, 1000));
    ASSERT_TRUE(WaitEnd());

    const QStringList frames = Received().filter(QRegularExpression("^FFL[PE]"));
    EXPECT_EQ(frames, QStringList({"FFLP0003EB", "FFLE0000DD", "FFLE0001DE", "FFLE0002DF"}));
    EXPECT_TRUE(NoPollBetween("FFLP0003", "FFLE0002"));
    EXPECT_EQ(m_notices, QStringList({Notice(3)}));
    EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    ExpectEndedCleanly();

    const QString texts191 = Text(191), texts194 = Text(194), texts193 = Text(193);
    EXPECT_EQ(StoredRows(), QStringList({
                                "0123456789|25032024|0730|10|" + texts191 + "|011|" + texts194 + "|7|Door",
                                "00000000AB|05112023|0730|10|" + texts191 + "|011|" + texts194 + "|7|Door",
                                "FFFFFFFFFF|01011999|0730|10|" + texts191 + "|011|" + texts194 + "|7|Door",
                            }));
    // The cache already holds them; the events view shows them.
    ASSERT_EQ(Events()->GetAnz_Events(), 3);
    Tree()->setCurrentItem(Tree()->Node(CLeftTreeView::EventsNode));
    ASSERT_TRUE(WaitUntil([this] { return qobject_cast<CEventsDlg*>(Frame()->GetRightPane()) != nullptr; }, 2000));
    EXPECT_EQ(qobject_cast<CEventsDlg*>(Frame()->GetRightPane())->GetGrid()->GetRowCount(), 4);
}

INSTANTIATE_TEST_SUITE_P(Framed, ReadEventsOfEachModel,
                         ::testing::Values(CSimulatedReader::Kite, CSimulatedReader::Heron, CSimulatedReader::Egret),
                         [](const auto& info) { return CSimulatedReader::ModelName(info.param).toStdString(); });

TEST_F(ReadEvents, TheDateFilterKeepsWholeDatesAcrossTheYearEnd)
{
    Online(CSimulatedReader::Kite);
    for (const auto& e : {Event(14, 12, 2023), Event(15, 12, 2023), Event(20, 12, 2023), Event(10, 1, 2024),
                          Event(15, 1, 2024), Event(16, 1, 2024)})
        reader->AddEvent(e);
    Read(true, true, "151223", "150124");
    const QStringList dates = [this] {
        QStringList d;
        for (const QString& row : StoredRows())
            d << row.section('|', 1, 1);
        return d;
    }();
    EXPECT_EQ(dates, QStringList({"15122023", "20122023", "10012024", "15012024"}));
    // Skipped events are read but not counted.
    EXPECT_EQ(reader->Count("FFLE"), 6);
    EXPECT_EQ(m_notices, QStringList({Notice(4)}));
}

namespace {

struct Fault
{
    const char* name;
    QByteArray payload;
    bool badChecksum;
};

const Fault kFaults[] = {
    {"25 characters", "FFLE01234567890730A5632", false},
    {"27 characters", "FFLE01234567890730A563240", false},
    {"NAK", "FFLE\x15", false},
    {"bad checksum", "FFLE01234567890730A56324", true},
};

} // namespace

TEST_F(ReadEvents, TwentyFourFaultyRepliesAreAskedAgainTheTwentyFifthEndsTheRun)
{
    Online(CSimulatedReader::Heron);
    reader->AddEvent(Event(1, 2, 2024));
    reader->AddEvent(Event(2, 2, 2024));
    reader->AddEvent(Event(3, 2, 2024));
    for (const Fault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        // 24 in a row on event 0: asked again each time, then stored.
        reader->ClearLog();
        reader->AnswerNext("LE0000", fault.payload, 24, fault.badChecksum);
        m_notices.clear();
        QSqlQuery(Db()->GetDatabase()->Connection()).exec("DELETE FROM tblEvents");
        Read();
        EXPECT_EQ(reader->Count("FFLE0000"), 25);
        EXPECT_EQ(reader->Count("FFLE0001"), 1);
        EXPECT_EQ(StoredRows().size(), 3);
        EXPECT_EQ(m_notices, QStringList({Notice(3)}));
        EXPECT_TRUE(m_messages.isEmpty()) << qPrintable(m_messages.join('|'));
    }
    // The pointer's reply where an event was asked cannot be told from a
    // stray copy of the pointer's answer: the run ends loud, storing nothing.
    reader->ClearLog();
    reader->AnswerNext("LE0000", "FFLP0002", 1);
    m_notices.clear();
    QSqlQuery(Db()->GetDatabase()->Connection()).exec("DELETE FROM tblEvents");
    Read();
    EXPECT_EQ(m_messages, QStringList({Text(370)}));
    EXPECT_TRUE(StoredRows().isEmpty());
    m_messages.clear();
    // 25 in a row on event 1: text 169; event 0 stays stored, counted and
    // in the cache; the link is free again.
    reader->ClearLog();
    reader->AnswerNext("LE0001", kFaults[0].payload, 25);
    m_notices.clear();
    QSqlQuery(Db()->GetDatabase()->Connection()).exec("DELETE FROM tblEvents");
    Read();
    EXPECT_EQ(reader->Count("FFLE0001"), 25);
    EXPECT_EQ(reader->Count("FFLE0002"), 0);
    EXPECT_EQ(m_messages, QStringList({Text(169)}));
    EXPECT_EQ(m_notices, QStringList({Notice(1)}));
    EXPECT_EQ(StoredRows().size(), 1);
    EXPECT_EQ(Events()->GetAnz_Events(), 1);
    EXPECT_FALSE(Tree()->Link().IsLinkTaken());
    EXPECT_TRUE(PollsResume());
}

TEST_F(ReadEvents, ThePointerIsAskedFiveTimesAndOnlyAHexCountCounts)
{
    Online(CSimulatedReader::Egret);
    reader->AddEvent(Event(1, 2, 2024));
    const struct
    {
        const char* name;
        QByteArray payload;
        int count;
        bool badChecksum;
        QStringList messages;
        int events;
    } cases[] = {
        {"five wrong forms", "FFLP003", 5, false, {Text(141)}, 0},
        {"five non-hex counts", "FFLP00G0", 5, false, {Text(141)}, 0},
        {"five bad checksums", "FFLP0000", 5, true, {Text(141)}, 0},
        {"four non-hex, then the count", "FFLP00G0", 4, false, {}, 1},
        {"empty memory", "FFLPFFFF", 1, false, {Text(190)}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reader->ClearLog();
        m_messages.clear();
        m_notices.clear();
        reader->AnswerNext("LP0003", c.payload, c.count, c.badChecksum);
        Read();
        EXPECT_EQ(m_messages, c.messages);
        EXPECT_EQ(reader->Count("FFLP0003"), c.payload == "FFLPFFFF" ? 1 : 5);
        EXPECT_EQ(reader->Count("FFLE"), c.events);
        // Stopped before the start: no notice; the link polls again.
        EXPECT_EQ(m_notices.size(), c.events);
        ExpectEndedCleanly();
    }
}

TEST_F(ReadEvents, EventsCarryTheClickedReaderEvenWhenTwoShareAName)
{
    Online(CSimulatedReader::Kite, QStringLiteral("Door"));
    reader->AddEvent(Event(1, 2, 2024));
    Click(8, QStringLiteral("Door"));
    Read();
    ASSERT_EQ(StoredRows().size(), 1);
    EXPECT_TRUE(StoredRows().front().endsWith("|8|Door")) << qPrintable(StoredRows().front());
    // A reader deleted since the click: its events keep the name, no ID.
    QSqlQuery(Db()->GetDatabase()->Connection()).exec("DELETE FROM tblLeser WHERE ID_Leser = 8");
    Db()->Get_Ptr_To_tblLeser()->_Requery();
    Read();
    ASSERT_EQ(StoredRows().size(), 2);
    EXPECT_TRUE(StoredRows().back().endsWith("|0|Door")) << qPrintable(StoredRows().back());
}

TEST_F(ReadEvents, WithoutThePointerTheModelsWholeMemoryIsRead)
{
    // Heron: events 0 to 2899, one frame each; past the reader's own
    // events the memory gives filler records, stored as the reader sent them.
    Online(CSimulatedReader::Heron);
    reader->SetLatency(0);
    reader->AddEvent(Event(1, 2, 2024));
    reader->ClearLog();
    Read(false);
    const QStringList frames = Received().filter(QRegularExpression("^FFL[PE]"));
    ASSERT_EQ(frames.size(), 2900);
    EXPECT_EQ(frames.front(), "FFLE0000DD");
    EXPECT_EQ(frames.back().left(8), "FFLE0B53");
    EXPECT_TRUE(NoPollBetween("FFLE0000", "FFLE0B53"));
    EXPECT_EQ(StoredRows().size(), 2900);
    EXPECT_EQ(StoredRows().back().section('|', 0, 1), "0000000000|00002000");
    EXPECT_EQ(m_notices, QStringList({Notice(2900)}));
}

TEST_F(ReadEvents, TheProgressWindowFollowsTheRun)
{
    Online(CSimulatedReader::Kite);
    reader->FillEvents(120, Event(1, 2, 2024));
    reader->SetLatency(20);
    Ask();
    ASSERT_TRUE(WaitUntil([this] { return reader->Count("FFLE") >= 40; }, 10000));
    QCoreApplication::processEvents();
    CDataProgressDlg* progress = View()->Transfer()->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(ProgressWindows(), 1);
    EXPECT_EQ(progress->GetTextControl()->text(), "\n" + Text(188) + "\n" + Text(189));
    EXPECT_EQ(progress->GetProgressCtrl()->maximum(), 119);
    EXPECT_GE(progress->GetProgressCtrl()->value(), 35);
    // Centred on the main window.
    EXPECT_LT((progress->frameGeometry().center() - Frame()->frameGeometry().center()).manhattanLength(), 40);
    Screenshot(*progress, QStringLiteral("read-events-progress"));
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(ProgressWindows(), 0);
    EXPECT_EQ(m_notices, QStringList({Notice(120)}));
}
