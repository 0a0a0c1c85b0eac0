// The direct path of the reader link: a port opened without a search, and
// commands that go straight to it.

#include "CReaderLink.h"
#include "CRegistryKey.h"
#include "CSimulatedReader.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

qint64 MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class DirectLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        reader.RegisterAs(20);
        ASSERT_EQ(link.OpenPort("COM20", 1), 1);
    }
    CSimulatedReader reader{CSimulatedReader::Kite};
    CReaderLink link;
};

TEST_F(DirectLink, SendsAFrameAndReturnsTheWholeReply)
{
    EXPECT_EQ(link.SendCommand('H', "", 1), "QMZT18B5");
    EXPECT_EQ(link.SendCommand('L', "S0000", 1), "FFLS0123456789ABCDEF012393");
    EXPECT_EQ(reader.Log().at(1).body, "FFLS0000EB");
    // Only the reply is returned; its checksum is the caller's to test.
    reader.CorruptNextChecksums(1);
    EXPECT_EQ(link.SendCommand('H', "", 1), "QMZT1800");
    EXPECT_TRUE(link.IsPortOpen());
}

TEST_F(DirectLink, ModesOtherThanFramedAndPlainWriteNothing)
{
    EXPECT_EQ(link.SendCommand('H', "", 3), "");
    EXPECT_EQ(link.SendCommand('H', "", 0), "");
    EXPECT_EQ(link.SendAndWait('H', "", 7), "");
    EXPECT_EQ(reader.BytesReceived(), 0);
}

// The receive rules, each on a reply that the reader sends in place of the
// real one.
TEST_F(DirectLink, ReceiveRulesOnDisturbedReplies)
{
    struct Case {
        const char* what;
        QByteArray raw;
        QString expected;
    };
    const Case cases[] = {
        {"noise before STX", "xy\x15z\x02" "QMZT18B5\x04", "QMZT18B5"},
        {"EOT before STX", "\x04\x04\x02" "QMZT18B5\x04", "QMZT18B5"},
        {"second STX restarts", "\x02" "QM\x02" "QMZT18B5\x04", "QMZT18B5"},
        {"report before the answer", "\x02R0123456789\x04\x02" "QMZT18B5\x04", "QMZT18B5"},
        {"five reports are skipped",
         QByteArray("\x02R0000000001\x04").repeated(5) + "\x02" "QMZT18B5\x04", "QMZT18B5"},
        {"reports never end the wait", QByteArray("\x02R0000000001\x04").repeated(8) + "\x02" "QMZT18B5\x04",
         "QMZT18B5"},
        {"an answer that never ends", "\x02" "QMZT18", ""},
        {"an endless line", "\x02" + QByteArray(3000, 'x'), ""},
    };
    for (const Case& c : cases) {
        reader.ReplaceNextReply(c.raw);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(link.SendCommand('H', "", 1), c.expected) << c.what;
        EXPECT_LT(MsSince(start), 2600) << c.what;
        // Each case is about one exchange on a line nothing is known of
        // yet (an equal answer right after it could be its copy), so the
        // next starts on a new opening.
        link.ClosePort();
        ASSERT_EQ(link.OpenPort("COM20", 1), 1);
    }
}

TEST_F(DirectLink, OnlyReportsThenSilenceGiveNothing)
{
    reader.ReplaceNextReply("\x02R0123456789\x04");
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(link.SendCommand('H', "", 1), "");
    EXPECT_GE(MsSince(start), 1900);
    EXPECT_LT(MsSince(start), 3000);
}

TEST_F(DirectLink, InjectedReportBeforeAPlainAnswerIsSkipped)
{
    CSimulatedReader wren(CSimulatedReader::Wren);
    wren.RegisterAs(21);
    CReaderLink plain;
    ASSERT_EQ(plain.OpenPort("COM21", 2), 1);
    wren.InjectReportBeforeNextReply("1111111111");
    EXPECT_EQ(plain.SendCommand('G', "00", 2), "0A1B2C3D4E");
}

TEST(ReaderLinkPorts, ClosingAClosedPortChangesNothing)
{
    CReaderLink link;
    EXPECT_EQ(link.ClosePort(), 1);
    EXPECT_EQ(link.ClosePort(), 1);
    EXPECT_FALSE(link.IsPortOpen());
    EXPECT_EQ(link.Status().readerType, -1);
    EXPECT_EQ(link.Status().connectedPort, -1);
    EXPECT_EQ(link.Status().readerName, "---");
    EXPECT_EQ(link.SendCommand('H', "", 1), "");
    EXPECT_EQ(link.SendAndWait('H', "", 1), ""); // nothing online: at once, not after 3 s
}

TEST(ReaderLinkPorts, OpenFailsForPortsWithoutADevice)
{
    CReaderLink link;
    EXPECT_EQ(link.OpenPort("COM256", 1), 0);
    EXPECT_EQ(link.OpenPort("COMX", 1), 0);
    CSimulatedReader reader(CSimulatedReader::Heron);
    reader.RegisterAs(22);
    EXPECT_EQ(link.OpenPort("com22", 7), 1);
    EXPECT_EQ(link.ClosePort(), 1);
    EXPECT_FALSE(link.IsPortOpen());
}

TEST(ReaderLinkPorts, ComPortNumbersOutsideTheRangeBecome256)
{
    EXPECT_EQ(CReaderLink::ValidComPort(0), 256u);
    EXPECT_EQ(CReaderLink::ValidComPort(300), 256u);
    EXPECT_EQ(CReaderLink::ValidComPort(1), 1u);
    EXPECT_EQ(CReaderLink::ValidComPort(256), 256u);
}

TEST(ReaderLinkPorts, StoredPortIsRepairedAndSharedWithThePortDialog)
{
    const CRegistryKey key;
    const QString program = kProgramKey;
    for (const char* stored : {"", "0", "300", "abc"}) {
        if (*stored)
            key.WriteString(CRegistryKey::CurrentUser, program, "nAktCOM", stored);
        EXPECT_EQ(CReaderLink::StoredComPort(), 256u) << stored;
        quint32 written = 0;
        EXPECT_TRUE(key.ReadDWord(&written, CRegistryKey::CurrentUser, program, "nAktCom"));
        EXPECT_EQ(written, 256u);
    }
    // The port dialog writes "nAktCom"; connecting reads "nAktCOM".
    key.WriteDWord(4, CRegistryKey::CurrentUser, program, "nAktCom");
    EXPECT_EQ(CReaderLink::StoredComPort(), 4u);
}

TEST(ReaderLinkPorts, ConnectWithoutANumberUsesTheStoredPort)
{
    CSimulatedReader reader(CSimulatedReader::Kite);
    reader.RegisterAs(23);
    CRegistryKey().WriteDWord(23, CRegistryKey::CurrentUser, kProgramKey, "nAktCom");
    CReaderLink link;
    ASSERT_EQ(link.Connect(), CReaderLink::ConnectStarted);
    EXPECT_EQ(link.Status().comPort, 23u);
    EXPECT_TRUE(reader.WaitFor([](const auto& log) { return !log.isEmpty(); }, 3000));
}

} // namespace
