#include "CComPorts.h"
#include "CSerialPort.h"
#include "CSimulatedReader.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

qint64 MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int OpenDescriptorCount()
{
    return int(QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System).size());
}

QByteArray ReadAvailable(CSerialPort& port, int firstTimeoutMs)
{
    QByteArray bytes;
    unsigned char byte = 0;
    int timeout = firstTimeoutMs;
    while (port.ReadByte(byte, timeout) == CSerialPort::ReadResult::Byte) {
        bytes.append(char(byte));
        timeout = 50;
    }
    return bytes;
}

TEST(CSerialPortTest, OpensAtTheSelectedSpeedAndKeepsTheDriversOtherwise)
{
    CSimulatedReader reader(CSimulatedReader::Kite);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200)) << qPrintable(port.LastError());
    EXPECT_EQ(port.BaudRate(), 57200u);
    // The reader at the other end sees the same rate on the line.
    ASSERT_TRUE(port.Write("\x02" "FFHD4" "\x04"));
    ASSERT_TRUE(reader.WaitFor([](const auto& log) { return !log.isEmpty(); }, 2000));
    EXPECT_EQ(reader.Log().first().baud, 57200u);
    EXPECT_EQ(ReadAvailable(port, 1000), QByteArray("\x02QMZT18B5\x04"));

    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    EXPECT_EQ(port.BaudRate(), 9600u);
    port.Close();
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), 7));
    EXPECT_EQ(port.BaudRate(), 9600u);
}

TEST(CSerialPortTest, MissingDeviceIsNeverCreated)
{
    const QString path = TestEnvironment::NewFolder("serial") + "/COM9";
    CSerialPort port;
    EXPECT_FALSE(port.OpenDevice(path, CSerialPort::kBaud57200));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.LastError().isEmpty());
    EXPECT_FALSE(port.Write("x"));
}

TEST(CSerialPortTest, FilesAndNonTerminalsAreRefusedAndLeaveNothingOpen)
{
    const QString path = TestEnvironment::NewFolder("serial") + "/plain.txt";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    CSerialPort port;
    const int before = OpenDescriptorCount();
    EXPECT_FALSE(port.OpenDevice(path, CSerialPort::kBaud57200));
    EXPECT_FALSE(port.OpenDevice("/dev/null", CSerialPort::kBaud9600)); // a character device, not a terminal
    EXPECT_EQ(OpenDescriptorCount(), before);
    EXPECT_EQ(QFile(path).size(), 0);

    // The same object opens a real port afterwards.
    CSimulatedReader reader(CSimulatedReader::Wren);
    EXPECT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
}

TEST(CSerialPortTest, OpensByComNameThroughTheSettingsOverride)
{
    CSimulatedReader reader(CSimulatedReader::Tern);
    CComPorts::SetOverridePath(150, reader.SlavePath());
    CSerialPort port;
    EXPECT_TRUE(port.Open("COM150", CSerialPort::kBaud9600)) << qPrintable(port.LastError());
    EXPECT_EQ(port.DevicePath(), reader.SlavePath());
    EXPECT_FALSE(port.Open("COM151", CSerialPort::kBaud9600));
    EXPECT_FALSE(port.Open("nonsense", CSerialPort::kBaud9600));
    CComPorts::SetOverridePath(150, QString());
}

TEST(CSerialPortTest, PortIsExclusiveUntilClosed)
{
    CSimulatedReader reader(CSimulatedReader::Heron);
    CSerialPort first;
    CSerialPort second;
    ASSERT_TRUE(first.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
    EXPECT_FALSE(second.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
    first.Close();
    EXPECT_TRUE(second.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
}

TEST(CSerialPortTest, ReadWaitsForItsTimeOutAndPurgeDropsWhatCame)
{
    CSimulatedReader reader(CSimulatedReader::Kite);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
    unsigned char byte = 0;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte, 100), CSerialPort::ReadResult::Timeout);
    EXPECT_GE(MsSince(start), 95);

    reader.SendRaw("abc");
    EXPECT_EQ(port.ReadByte(byte, 1000), CSerialPort::ReadResult::Byte);
    EXPECT_EQ(byte, 'a');
    // The rest of the bytes arrive (the port shows no count of them) before the purge.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.Purge(true, false);
    EXPECT_EQ(port.ReadByte(byte, 50), CSerialPort::ReadResult::Timeout);
}

TEST(CSerialPortTest, CloseWakesAReaderAtOnce)
{
    CSimulatedReader reader(CSimulatedReader::Egret);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
    CSerialPort::ReadResult result = CSerialPort::ReadResult::Byte;
    qint64 waited = 0;
    std::thread readerThread([&] {
        const Clock::time_point start = Clock::now();
        unsigned char byte = 0;
        result = port.ReadByte(byte, 5000);
        waited = MsSince(start);
    });
    // The reader gets time to be waiting inside ReadByte (which shows no sign of it).
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point closing = Clock::now();
    port.Close();
    EXPECT_LT(MsSince(closing), 1000);
    readerThread.join();
    EXPECT_EQ(result, CSerialPort::ReadResult::Closed);
    EXPECT_LT(waited, 2000);

    // Nothing goes out after the close, and reads come back at once.
    const qint64 received = reader.BytesReceived();
    EXPECT_FALSE(port.Write("\x02" "FFHD4" "\x04"));
    unsigned char byte = 0;
    EXPECT_EQ(port.ReadByte(byte, 1000), CSerialPort::ReadResult::Closed);
    // Nothing may go out: no event to wait for, the line is watched a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(reader.BytesReceived(), received);
}

TEST(CSerialPortTest, InterruptEndsOnlyAnInterruptibleWait)
{
    CSimulatedReader reader(CSimulatedReader::Wren);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud9600));
    unsigned char byte = 0;

    // Called back during the wait, and before it: both end at once.
    std::thread caller([&] {
        // The call back comes while the read waits (its pace, not a wait for an event).
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.Interrupt();
    });
    Clock::time_point start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte, 3000, true), CSerialPort::ReadResult::Timeout);
    EXPECT_LT(MsSince(start), 1000);
    caller.join();
    port.Interrupt();
    start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte, 3000, true), CSerialPort::ReadResult::Timeout);
    EXPECT_LT(MsSince(start), 100);

    // A reply's wait is never cut short; the call-back waits for the next
    // interruptible one.
    port.Interrupt();
    start = Clock::now();
    EXPECT_EQ(port.ReadByte(byte, 300), CSerialPort::ReadResult::Timeout);
    EXPECT_GE(MsSince(start), 290);
    EXPECT_EQ(port.ReadByte(byte, 3000, true), CSerialPort::ReadResult::Timeout);
    // A byte that comes is read, interruptible or not.
    reader.PresentTag("0123456789");
    EXPECT_EQ(port.ReadByte(byte, 1000, true), CSerialPort::ReadResult::Byte);
    EXPECT_EQ(byte, 0x02);
}

TEST(CSerialPortTest, HungUpLineTimesOutAtItsPaceInsteadOfSpinning)
{
    CSimulatedReader reader(CSimulatedReader::Kite);
    CSerialPort port;
    ASSERT_TRUE(port.OpenDevice(reader.SlavePath(), CSerialPort::kBaud57200));
    reader.DropLine();
    // The hang-up reaches the port (it shows no sign of it) before the reads.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    unsigned char byte = 0;
    int timeouts = 0;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 10; ++i) {
        if (port.ReadByte(byte, 20) == CSerialPort::ReadResult::Timeout)
            ++timeouts;
    }
    EXPECT_EQ(timeouts, 10);
    EXPECT_GE(MsSince(start), 190);
    port.Close();
}

} // namespace
