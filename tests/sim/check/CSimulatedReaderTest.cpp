#include "CSerialPort.h"
#include "CSimulatedReader.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>

#include <chrono>

namespace {

QByteArray Framed(const QByteArray& letterAndData)
{
    const QByteArray text = "FF" + letterAndData;
    return "\x02" + text + CSimulatedReader::Checksum(text) + "\x04";
}

QByteArray Plain(const QByteArray& letterAndData)
{
    return "\x02" + letterAndData + "\x04";
}

// Writes one frame and returns the bytes of the answer (empty after the
// time-out).
QByteArray Receive(CSerialPort& port, int timeoutMs)
{
    QByteArray bytes;
    unsigned char byte = 0;
    int timeout = timeoutMs;
    while (port.ReadByte(byte, timeout) == CSerialPort::ReadResult::Byte) {
        bytes.append(char(byte));
        if (byte == 0x04)
            timeout = 30;
    }
    return bytes;
}

QByteArray Exchange(CSerialPort& port, const QByteArray& frame, int timeoutMs = 500)
{
    port.Purge(true, true);
    EXPECT_TRUE(port.Write(frame));
    return Receive(port, timeoutMs);
}

class SimulatedFramedReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reader.IsRunning());
        ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
    }
    CSimulatedReader reader{CSimulatedReader::Kite};
    CSerialPort port;
};

TEST_F(SimulatedFramedReader, AnswersTheCatalogueFrames)
{
    EXPECT_EQ(Exchange(port, "\x02" "FFHD4" "\x04"), "\x02QMZT18B5\x04");
    EXPECT_EQ(Exchange(port, "\x02" "FFLS0000EB" "\x04"), "\x02" "FFLS0123456789ABCDEF012393" "\x04");
    EXPECT_EQ(Exchange(port, "\x02" "FFCT23" "\x04"), Plain("FFCTNOTAG" + CSimulatedReader::Checksum("FFCTNOTAG")));
    reader.PresentTag("0123456789");
    EXPECT_EQ(Exchange(port, "\x02" "FFCT23" "\x04"), "\x02" "FFCT012345678930" "\x04");
    // Reported once only.
    EXPECT_TRUE(Exchange(port, Framed("CT")).contains("NOTAG"));
    EXPECT_EQ(reader.Count("FFCT"), 3);
}

TEST_F(SimulatedFramedReader, IgnoresBadChecksumsOtherFormsAndOtherSpeeds)
{
    EXPECT_TRUE(Exchange(port, "\x02" "FFHD5" "\x04").isEmpty());
    EXPECT_TRUE(Exchange(port, Plain("H")).isEmpty());
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    EXPECT_TRUE(Exchange(port, Framed("H")).isEmpty());
    ASSERT_EQ(reader.Log().size(), 3);
    EXPECT_EQ(reader.Log().at(2).baud, 9600u);
}

TEST_F(SimulatedFramedReader, RefusesUnknownCommandsWithNak)
{
    const QByteArray nak = "FFLX\x15";
    EXPECT_EQ(Exchange(port, Framed("LX0000")), Plain(nak + CSimulatedReader::Checksum(nak)));
    reader.NakNext('S', 1);
    EXPECT_EQ(Exchange(port, Framed("SU000009050602081226")).at(5), '\x15');
    EXPECT_EQ(Exchange(port, Framed("SU000009050602081226")).mid(1, 5), "FFSU\x06");
    EXPECT_EQ(reader.LastClock(), "U000009050602081226");
    // Fields out of range are refused.
    EXPECT_EQ(Exchange(port, Framed("SU000060050602081226")).at(5), '\x15');
}

TEST_F(SimulatedFramedReader, KeepsEventsListsAndSettings)
{
    CSimulatedReader::Event event;
    event.number = "0123456789";
    event.hour = 7;
    event.minute = 30;
    event.day = 25;
    event.month = 3;
    event.year = 2024;
    reader.AddEvent(event);
    EXPECT_EQ(Exchange(port, Framed("LE0000")), "\x02" "FFLE01234567890730A5632439" "\x04");
    EXPECT_EQ(Exchange(port, Framed("LP0003")).mid(1, 8), "FFLP0000");
    // Past the count but inside the memory: an all-zero record.
    EXPECT_EQ(Exchange(port, Framed("LE0001")).mid(1, 24), "FFLE00000000000000000000");
    EXPECT_EQ(Exchange(port, Framed("LE1388")).at(5), '\x15'); // 5000 is past a Kite's memory
    EXPECT_EQ(Exchange(port, Framed("SP0003FFFF")).mid(1, 5), "FFSP\x06");
    EXPECT_EQ(Exchange(port, Framed("LP0003")).mid(1, 8), "FFLPFFFF");

    EXPECT_EQ(Exchange(port, Framed("SP00020002")).at(5), '\x06');
    EXPECT_EQ(Exchange(port, Framed("ST00010A0B0C0D0E")).at(5), '\x06');
    EXPECT_EQ(Exchange(port, Framed("ST00020A0B0C0D0E")).at(5), '\x15');
    EXPECT_EQ(Exchange(port, Framed("LT0001")).mid(1, 14), "FFLT0A0B0C0D0E");
    EXPECT_EQ(Exchange(port, Framed("LT0000")).at(5), '\x15'); // never written
    EXPECT_EQ(Exchange(port, Framed("SZ00003E30070016")).at(5), '\x06');
    EXPECT_EQ(reader.TimeWindows().value(0).weekdays, 0x3E);
    EXPECT_EQ(Exchange(port, Framed("SP0000000F")).at(5), '\x06');
    EXPECT_EQ(Exchange(port, Framed("LP0000")).mid(1, 8), "FFLP000F");
    EXPECT_EQ(Exchange(port, Framed("SS0000ABC")).at(5), '\x06');
    EXPECT_EQ(reader.Identification(), "ABC00000000000000000");
}

TEST_F(SimulatedFramedReader, FaultsApplyToTheNextReplyOnly)
{
    reader.CorruptNextChecksums(1);
    EXPECT_EQ(Exchange(port, Framed("H")), "\x02QMZT1800\x04");
    EXPECT_EQ(Exchange(port, Framed("H")), "\x02QMZT18B5\x04");
    reader.InjectReportBeforeNextReply("1111111111");
    EXPECT_EQ(Exchange(port, Framed("H")), "\x02R1111111111\x04\x02QMZT18B5\x04");
    reader.IgnoreNext('H', 2);
    EXPECT_TRUE(Exchange(port, Framed("H")).isEmpty());
    EXPECT_TRUE(Exchange(port, Framed("H")).isEmpty());
    EXPECT_FALSE(Exchange(port, Framed("H")).isEmpty());
    reader.SetSilent(true);
    EXPECT_TRUE(Exchange(port, Framed("H")).isEmpty());
}

TEST_F(SimulatedFramedReader, HeldTagIsInEveryPollAnswerUntilTakenAway)
{
    reader.HoldTag("0123456789");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Exchange(port, Framed("CT")), "\x02" "FFCT012345678930" "\x04");
    reader.ReleaseTag();
    EXPECT_TRUE(Exchange(port, Framed("CT")).contains("NOTAG"));
}

TEST(SimulatedPlainReader, WrenAnswersItsCommandsAndLearnsAMaster)
{
    CSimulatedReader reader(CSimulatedReader::Wren);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    EXPECT_EQ(Exchange(port, Plain("H")), Plain("QMZT32"));
    EXPECT_EQ(Exchange(port, Plain("G00")), Plain("0A1B2C3D4E"));
    EXPECT_TRUE(Exchange(port, Framed("H")).isEmpty());
    EXPECT_EQ(Exchange(port, Plain("Z03")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("Y")), Plain("03"));
    EXPECT_EQ(Exchange(port, Plain("S021234567890")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("G02")), Plain("1234567890"));
    EXPECT_EQ(Exchange(port, Plain("S031234567890")), Plain("\x15"));
    EXPECT_EQ(Exchange(port, Plain("J0")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("C0")), Plain("1"));
    EXPECT_EQ(Exchange(port, Plain("D10F")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("C1")), Plain("15"));

    reader.PresentTag("AAAAAAAAAA");
    EXPECT_EQ(Receive(port, 500), Plain("RAAAAAAAAAA"));
    EXPECT_EQ(Exchange(port, Plain("M")), Plain("\x06"));
    reader.PresentTag("BBBBBBBBBB");
    EXPECT_EQ(Receive(port, 500), Plain("MBBBBBBBBBB"));
    EXPECT_EQ(reader.Master(), "BBBBBBBBBB");

    reader.SetMaster(QByteArray());
    EXPECT_EQ(Exchange(port, Plain("G00")), Plain("\x15"));
}

TEST(SimulatedPlainReader, TernKeepsAListWithoutAMaster)
{
    CSimulatedReader reader(CSimulatedReader::Tern);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    EXPECT_EQ(Exchange(port, Plain("H")), Plain("QMZT31"));
    EXPECT_EQ(Exchange(port, Plain("Y")), Plain("01"));
    EXPECT_EQ(Exchange(port, Plain("G00")), Plain("\x15")); // no master
    EXPECT_EQ(Exchange(port, Plain("Z03")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("S011111111111")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("S022222222222")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("Y")), Plain("03"));
    EXPECT_EQ(Exchange(port, Plain("G02")), Plain("2222222222"));
    EXPECT_EQ(Exchange(port, Plain("J1")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("K0")), Plain("\x06"));
    EXPECT_EQ(Exchange(port, Plain("D105")), Plain("\x06"));
    // The Wren's settings dialog commands only when asked for.
    EXPECT_TRUE(Exchange(port, Plain("C0")).isEmpty());
    reader.SetTernExtended(true);
    EXPECT_EQ(Exchange(port, Plain("C0")), Plain("2"));

    reader.SetListLength(0);
    EXPECT_EQ(Exchange(port, Plain("Y")), Plain("00"));
    EXPECT_EQ(Exchange(port, Plain("G01")), Plain("\x15"));
}

TEST(SimulatedPlainReader, RepliesOutOfFormReportsFirstAndPacing)
{
    CSimulatedReader reader(CSimulatedReader::Wren);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    reader.ReplyNextWith("X123456789A");
    EXPECT_EQ(Exchange(port, Plain("C1")), Plain("X123456789A"));
    EXPECT_EQ(Exchange(port, Plain("C1")), Plain("5"));

    // A report overtakes a reply that is held back.
    // The hold is long, so a loaded machine still sends the report first.
    reader.DelayNextReply(1500);
    port.Purge(true, true);
    ASSERT_TRUE(port.Write(Plain("G00")));
    reader.PresentTag("AAAAAAAAAA");
    EXPECT_EQ(Receive(port, 1200), Plain("RAAAAAAAAAA"));
    EXPECT_EQ(Receive(port, 3000), Plain("0A1B2C3D4E"));

    // Paced at 9600 baud: the 12 bytes of a master's number take 12.5 ms.
    reader.SetLatency(0);
    reader.SetPacing(true);
    port.Purge(true, true);
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(port.Write(Plain("G00")));
    unsigned char byte = 0;
    ASSERT_EQ(port.ReadByte(byte, 500), CSerialPort::ReadResult::Byte);
    QByteArray rest;
    while (port.ReadByte(byte, 500) == CSerialPort::ReadResult::Byte && byte != 0x04)
        rest.append(char(byte));
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - sent);
    EXPECT_EQ(rest, "0A1B2C3D4E");
    // The clock runs from the command to the last byte, which a paced line
    // cannot deliver sooner however the machine is loaded (a clock started
    // at the first byte seen was beaten when that byte was seen late and the
    // rest had arrived meanwhile). Eleven byte times at 9600 baud are 11.5 ms,
    // far above an unpaced line's 0.1 ms. The upper bound only says no byte
    // waits a whole read timeout.
    EXPECT_GE(us.count(), 11000);
    EXPECT_LT(us.count(), 600000);
}

TEST(SimulatedPlainReader, DroppedLineHangsUpThePort)
{
    CSimulatedReader reader(CSimulatedReader::Tern);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    reader.DropLine();
    // The hang-up lands on the reader's own thread, so the write may go out
    // before it or be refused after it; either way no answer comes back.
    port.Purge(true, true);
    port.Write(Plain("H"));
    EXPECT_TRUE(Receive(port, 200).isEmpty());
}

} // namespace

// Each framed model answers the identity request with an identification of
// its own, so a Heron started after a Kite is not taken for it.
TEST(SimulatedReaderModels, EveryFramedModelHasItsOwnIdentification)
{
    QSet<QByteArray> seen;
    for (CSimulatedReader::Model model : {CSimulatedReader::Kite, CSimulatedReader::Heron, CSimulatedReader::Egret}) {
        CSimulatedReader reader(model);
        ASSERT_TRUE(reader.IsRunning());
        CSerialPort port;
        ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
        const QByteArray reply = Exchange(port, Framed("LS0000"));
        const QByteArray id = reader.Identification();
        EXPECT_EQ(id, CSimulatedReader::DefaultIdentification(model));
        EXPECT_EQ(reply, Framed("LS" + id));
        EXPECT_TRUE(id.startsWith("01")) << "the address";
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 3);
}

// The front program: events put in through its commands, and what the
// reader holds shown on request.
TEST(SimulatorFront, PutsEventsInAndShowsWhatTheReaderHolds)
{
    QProcess front;
    front.start(QCoreApplication::applicationDirPath() + "/quandor-sim", {"kite"});
    ASSERT_TRUE(front.waitForStarted(10000));
    front.write("event 00000000AB 05.03.2024 14:07\n"
                "events 3 00000000cd\n"
                "event 00000000AB 31.02.2024\n"
                "event 123\n"
                "show\n"
                "show windows\n"
                "quit\n");
    front.closeWriteChannel();
    ASSERT_TRUE(front.waitForFinished(20000));
    const QString out = QString::fromLatin1(front.readAllStandardOutput());
    EXPECT_EQ(front.exitCode(), 0);
    for (const char* expected : {"1 event(s) stored, 1 in the reader", "3 event(s) stored, 4 in the reader",
                                 "event: give the date as DD.MM.YYYY", "not a transponder number (10 hex digits): 123",
                                 "identification 0123456789ABCDEF0123", "list: 0 transponders", "time windows: 0",
                                 "events: 4"})
        EXPECT_TRUE(out.contains(QString::fromLatin1(expected))) << expected << "\n" << qPrintable(out);
}
