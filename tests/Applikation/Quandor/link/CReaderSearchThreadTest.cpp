// Connecting: the search and identification of every model, its failures,
// and stopping it.

#include "CLanguageHandler.h"
#include "CReaderFrame.h"
#include "CReaderLink.h"
#include "CSimulatedReader.h"
#include "ReaderLinkRecorder.h"
#include "TestLinkTiming.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Model = CSimulatedReader::Model;

const int kPort = 30;
const int kFramedSearchMs = 5000;
const int kPlainSearchMs = 16000; // five unanswered framed identities first

qint64 MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

QList<QByteArray> Bodies(const CSimulatedReader& reader)
{
    QList<QByteArray> bodies;
    for (const CSimulatedReader::Frame& frame : reader.Log())
        bodies.append(frame.body);
    return bodies;
}

class ReaderSearch : public ::testing::Test
{
protected:
    // A reader of the model, prepared before it answers, and the search
    // started on its port.
    void Start(Model model, const std::function<void(CSimulatedReader&)>& prepare = {})
    {
        reader = std::make_unique<CSimulatedReader>(model, link.Timing().factor);
        if (prepare)
            prepare(*reader);
        reader->RegisterAs(kPort);
        recorder.link = &link;
        link.SetObserver(&recorder);
        ASSERT_EQ(link.Connect(kPort), CReaderLink::ConnectStarted);
    }
    CSearchOutcome Finish(int timeoutMs)
    {
        EXPECT_TRUE(recorder.WaitForOutcome(timeoutMs));
        return recorder.LastOutcome();
    }
    void ExpectClosed()
    {
        EXPECT_FALSE(link.IsPortOpen());
        EXPECT_EQ(link.Status().readerType, -1);
        EXPECT_EQ(link.Status().connectedPort, -1);
        EXPECT_FALSE(link.IsPollingRunning());
    }

    CLanguageHandler language{1, QString()};
    ReaderLinkRecorder recorder;
    CReaderLink link{&language, nullptr, TestLinkTiming()};
    std::unique_ptr<CSimulatedReader> reader;
};

struct FramedCase {
    Model model;
    int type;
};

class FramedSearch : public ReaderSearch, public ::testing::WithParamInterface<FramedCase>
{
};

TEST_P(FramedSearch, IdentifiesLogsInSetsTheClockAndStartsPolling)
{
    Start(GetParam().model);
    const CSearchOutcome outcome = Finish(kFramedSearchMs);
    EXPECT_TRUE(outcome.success);
    EXPECT_TRUE(outcome.messages.isEmpty());
    EXPECT_EQ(outcome.connection, link.ConnectionId());
    EXPECT_EQ(link.Status().readerType, GetParam().type);
    EXPECT_EQ(link.Status().connectedPort, kPort);
    EXPECT_EQ(link.Status().identification, CSimulatedReader::DefaultIdentification(GetParam().model));
    EXPECT_EQ(link.Status().readerName, "---");
    EXPECT_TRUE(link.IsPortOpen());
    EXPECT_TRUE(link.IsPollingRunning());
    EXPECT_FALSE(link.IsSearching());

    const QList<QByteArray> bodies = Bodies(*reader);
    ASSERT_GE(bodies.size(), 3);
    EXPECT_EQ(bodies.at(0), "FFHD4");
    EXPECT_EQ(bodies.at(1), "FFLS0000EB");
    EXPECT_TRUE(bodies.at(2).startsWith("FFSU0000")) << bodies.at(2).constData();
    EXPECT_EQ(reader->LastClock().size(), 19);
    for (const CSimulatedReader::Frame& frame : reader->Log())
        EXPECT_EQ(frame.baud, 57200u);

    // Polling follows the search after about a second.
    EXPECT_TRUE(reader->WaitFor([](const auto& log) { return log.last().body == "FFCT23"; }, 3000));

    const QList<ReaderLinkRecorder::Progress> progress = recorder.ProgressCalls();
    ASSERT_EQ(progress.size(), 1);
    EXPECT_EQ(progress.first().maximum, 1);
    EXPECT_EQ(progress.first().position, 1);
    EXPECT_TRUE(progress.first().text.contains(QStringLiteral("COM%1").arg(kPort))) << qPrintable(progress.first().text);
    EXPECT_EQ(recorder.OutcomeCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Models, FramedSearch,
                         ::testing::Values(FramedCase{CSimulatedReader::Kite, 1}, FramedCase{CSimulatedReader::Heron, 2},
                                           FramedCase{CSimulatedReader::Egret, 4}),
                         [](const auto& info) { return CSimulatedReader::ModelName(info.param.model).toStdString(); });

TEST_F(ReaderSearch, WrenIsFoundAtNineThousandSixHundredWithItsMaster)
{
    Start(CSimulatedReader::Wren);
    const CSearchOutcome outcome = Finish(kPlainSearchMs);
    EXPECT_TRUE(outcome.success);
    EXPECT_EQ(link.Status().readerType, 0);
    EXPECT_EQ(link.Status().masterTransponder, "0A1B2C3D4E");
    EXPECT_EQ(link.Status().connectedPort, kPort);
    EXPECT_TRUE(link.Status().identification.isEmpty());

    const QList<CSimulatedReader::Frame> log = reader->Log();
    ASSERT_EQ(log.size(), 7);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(log.at(i).body, "FFHD4");
        EXPECT_EQ(log.at(i).baud, 57200u);
    }
    EXPECT_EQ(log.at(5).body, "H");
    EXPECT_EQ(log.at(5).baud, 9600u);
    EXPECT_EQ(log.at(6).body, "G00");
}

TEST_F(ReaderSearch, TernGetsNoMasterRequestAndNoClock)
{
    Start(CSimulatedReader::Tern);
    EXPECT_TRUE(Finish(kPlainSearchMs).success);
    EXPECT_EQ(link.Status().readerType, 3);
    EXPECT_TRUE(link.Status().masterTransponder.isEmpty());
    EXPECT_EQ(Bodies(*reader).last(), "H");
    EXPECT_EQ(reader->Count("G"), 0);
}

TEST_F(ReaderSearch, WrenWithoutAMasterIsOnlineWithAnEmptyNumber)
{
    Start(CSimulatedReader::Wren, [](CSimulatedReader& r) { r.SetMaster(QByteArray()); });
    EXPECT_TRUE(Finish(kPlainSearchMs).success);
    EXPECT_TRUE(link.Status().masterTransponder.isEmpty());
}

TEST_F(ReaderSearch, ReaderWithoutIdentificationGetsTheSessionString)
{
    Start(CSimulatedReader::Heron, [](CSimulatedReader& r) { r.SetIdentification("FFFFFFFFFFFFFFFFFFFF"); });
    EXPECT_TRUE(Finish(kFramedSearchMs).success);

    const QString session = link.Status().sessionString;
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{20}$").match(session).hasMatch());
    EXPECT_EQ(link.Status().identification, session);
    EXPECT_EQ(reader->Identification(), session.toLatin1());
    EXPECT_EQ(Bodies(*reader).at(2), "FFSS0000" + session.toLatin1() + CReaderFrame::Checksum("FFSS0000" + session.toLatin1()));

    // The next connection makes a new one.
    link.ClosePort();
    ASSERT_EQ(link.Connect(kPort), CReaderLink::ConnectStarted);
    EXPECT_NE(link.Status().sessionString, session);
}

TEST_F(ReaderSearch, TrailingFsOfTheChecksumDoNotMakeAnIdentificationUnset)
{
    // An identification ending in eight 'F' whose login reply's checksum
    // is "FF": ten 'F' in a row, but not inside the identification.
    const QByteArray id = "0000000ADEEEFFFFFFFF";
    ASSERT_EQ(CReaderFrame::Checksum("FFLS" + id), "FF");
    Start(CSimulatedReader::Kite, [&id](CSimulatedReader& r) { r.SetIdentification(id); });
    EXPECT_TRUE(Finish(kFramedSearchMs).success);
    EXPECT_EQ(reader->Identification(), id);
    EXPECT_EQ(link.Status().identification, QString::fromLatin1(id));
    EXPECT_EQ(reader->Count("FFSS"), 0);
}

TEST_F(ReaderSearch, PortWithoutADeviceFailsAtOnceWithTheWidestProgress)
{
    recorder.link = &link;
    link.SetObserver(&recorder);
    ASSERT_EQ(link.Connect(0), CReaderLink::ConnectStarted); // 0 becomes 256
    const CSearchOutcome outcome = Finish(2000);
    EXPECT_EQ(link.Status().comPort, 256u);
    EXPECT_EQ(outcome.messages, QList<int>{107});
    EXPECT_EQ(recorder.ProgressCalls().value(0).maximum, 5);
    ExpectClosed();
}

// A search that fails: its messages, the frames it tried, the port closed
// and the reader's identification untouched.
struct FailureCase {
    const char* name;
    Model model;
    std::function<void(CSimulatedReader&)> prepare;
    QList<int> messages;
    QByteArray retried; // frames that start so: sent `tries` times ("": all frames)
    int tries;          // -1: not counted
    int timeoutMs;
    int spoiledLogins = 0; // checksums broken once the identity is answered
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailedSearch : public ReaderSearch, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(FailedSearch, SaysWhyAndClosesThePort)
{
    const FailureCase& c = GetParam();
    Start(c.model, c.prepare);
    const QByteArray identification = reader->Identification();
    if (c.spoiledLogins > 0) {
        // The identity is answered first; its checksum is never tested.
        ASSERT_TRUE(reader->WaitFor([](const auto& log) { return !log.isEmpty(); }, 2000));
        reader->CorruptNextChecksums(c.spoiledLogins);
    }
    const CSearchOutcome outcome = Finish(c.timeoutMs);
    EXPECT_FALSE(outcome.success);
    EXPECT_FALSE(outcome.cancelled);
    EXPECT_EQ(outcome.messages, c.messages);
    if (c.tries >= 0) {
        EXPECT_EQ(reader->Count(c.retried), c.tries);
    }
    EXPECT_EQ(reader->Identification(), identification);
    ExpectClosed();
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, FailedSearch,
    ::testing::Values(
        FailureCase{"NoReaderAtAll", CSimulatedReader::Kite, [](CSimulatedReader& r) { r.SetSilent(true); }, {107}, {},
                    -1, kPlainSearchMs},
        // Time enough to spoil the logins after the identity however slow the run.
        FailureCase{"LoginWithBadChecksumsFailsWith108", CSimulatedReader::Egret,
                    [](CSimulatedReader& r) { r.DelayReplyTo("FFHD4", 300); }, {108, 107}, "FFLS0000", 4,
                    kFramedSearchMs + 5000, 5},
        FailureCase{"RefusedIdentificationWriteFailsWith106", CSimulatedReader::Kite,
                    [](CSimulatedReader& r) {
                        r.SetIdentification("FFFFFFFFFFFFFFFFFFFF");
                        r.NakNext('S', 4);
                    },
                    {106, 107}, "FFSS0000", 4, kFramedSearchMs},
        FailureCase{"RefusedClockFailsWith106", CSimulatedReader::Heron, [](CSimulatedReader& r) { r.NakNext('S', 4); },
                    {106, 107}, "FFSU0000", 4, kFramedSearchMs},
        FailureCase{"UnknownFramedIdentityFails", CSimulatedReader::Kite,
                    [](CSimulatedReader& r) { r.SetIdentityOverride("QMZT99"); }, {107}, "", 1, kFramedSearchMs}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReaderSearch, SecondConnectIsRefusedWhileTheFirstSearchRuns)
{
    Start(CSimulatedReader::Tern);
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectSearching);
    EXPECT_TRUE(link.IsSearching());
    std::thread other([this] { EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectSearching); });
    other.join();
    EXPECT_TRUE(Finish(kPlainSearchMs).success);
    EXPECT_EQ(link.Connect(kPort), CReaderLink::ConnectOnline);
    EXPECT_EQ(reader->Count("FFHD4"), 5);
    EXPECT_EQ(recorder.OutcomeCount(), 1);
}

TEST_F(ReaderSearch, OfflineDuringTheSearchStopsItAndNothingFollows)
{
    Start(CSimulatedReader::Wren); // answers nothing at 57200: the search lingers
    ASSERT_TRUE(reader->WaitFor([](const auto& log) { return log.size() >= 2; }, 6000));
    const Clock::time_point closing = Clock::now();
    EXPECT_EQ(link.ClosePort(), 1);
    EXPECT_LT(MsSince(closing), 1000);
    ASSERT_EQ(recorder.OutcomeCount(), 1);
    EXPECT_TRUE(recorder.LastOutcome().cancelled);
    EXPECT_TRUE(recorder.LastOutcome().messages.isEmpty());
    ExpectClosed();

    const qint64 received = reader->BytesReceived();
    // Nothing may follow the close: no event to wait for, the line is watched a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(link.Timing().Scale(2500)));
    EXPECT_EQ(reader->BytesReceived(), received);

    // The link connects again afterwards.
    ASSERT_EQ(link.Connect(kPort), CReaderLink::ConnectStarted);
    EXPECT_TRUE(recorder.WaitFor([this] { return recorder.outcomes.size() == 2; }, kPlainSearchMs));
    EXPECT_TRUE(recorder.LastOutcome().success);
}

TEST_F(ReaderSearch, EndingTheProgramDuringTheSearchDoesNotHang)
{
    auto early = std::make_unique<CReaderLink>(&language, &recorder);
    reader = std::make_unique<CSimulatedReader>(CSimulatedReader::Tern);
    reader->RegisterAs(kPort);
    ASSERT_EQ(early->Connect(kPort), CReaderLink::ConnectStarted);
    ASSERT_TRUE(reader->WaitFor([](const auto& log) { return !log.isEmpty(); }, 30000));
    const Clock::time_point closing = Clock::now();
    early.reset();
    EXPECT_LT(MsSince(closing), 1000);
    const qint64 received = reader->BytesReceived();
    // Nothing may follow the end: no event to wait for, the line is watched a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(reader->BytesReceived(), received);
}

} // namespace
