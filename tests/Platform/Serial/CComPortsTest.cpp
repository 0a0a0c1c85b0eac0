#include "CComPorts.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace {

QSettings ProgramSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Quandor");
}

class CComPortsTest : public ::testing::Test
{
protected:
    void SetUp() override { ProgramSettings().clear(); }
    void TearDown() override { ProgramSettings().clear(); }
};

TEST_F(CComPortsTest, DefaultDevicesByNumberRange)
{
    EXPECT_EQ(CComPorts::DevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(CComPorts::DevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(CComPorts::DevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(CComPorts::DevicePath(64), "/dev/ttyUSB31");
    EXPECT_EQ(CComPorts::DevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(CComPorts::DevicePath(96), "/dev/ttyACM31");
    EXPECT_TRUE(CComPorts::DevicePath(97).isEmpty());
    EXPECT_TRUE(CComPorts::DevicePath(256).isEmpty());
    EXPECT_TRUE(CComPorts::DevicePath(0).isEmpty());
    EXPECT_TRUE(CComPorts::DevicePath(257).isEmpty());
    EXPECT_TRUE(CComPorts::DevicePath(-3).isEmpty());
}

TEST_F(CComPortsTest, PortNamesAreComAndANumberInAnyCase)
{
    EXPECT_EQ(CComPorts::NumberFromName("COM5"), 5);
    EXPECT_EQ(CComPorts::NumberFromName("com7"), 7);
    EXPECT_EQ(CComPorts::NumberFromName(" COM12 "), 12);
    EXPECT_EQ(CComPorts::NumberFromName("COM256"), 256);
    EXPECT_EQ(CComPorts::NumberFromName("COM"), 0);
    EXPECT_EQ(CComPorts::NumberFromName("COM0"), 0);
    EXPECT_EQ(CComPorts::NumberFromName("COM257"), 0);
    EXPECT_EQ(CComPorts::NumberFromName("COM1x"), 0);
    EXPECT_EQ(CComPorts::NumberFromName("LPT1"), 0);
    EXPECT_EQ(CComPorts::DevicePath(QStringLiteral("com2")), "/dev/ttyS1");
    EXPECT_TRUE(CComPorts::DevicePath(QStringLiteral("COM")).isEmpty());
}

TEST_F(CComPortsTest, OverrideIsFoundWhateverItsSpelling)
{
    {
        QSettings settings = ProgramSettings();
        settings.setValue("PORTS/com7", "/dev/pts/77");
        settings.setValue("ports/COM256", "/tmp/reader");
    }
    EXPECT_EQ(CComPorts::DevicePath(7), "/dev/pts/77");
    EXPECT_EQ(CComPorts::DevicePath(256), "/tmp/reader");
    EXPECT_EQ(CComPorts::DevicePath(QStringLiteral("COM7")), "/dev/pts/77");

    // Setting it again keeps the one entry the user wrote.
    CComPorts::SetOverridePath(7, "/dev/pts/78");
    QSettings settings = ProgramSettings();
    EXPECT_EQ(settings.value("PORTS/com7").toString(), "/dev/pts/78");
    EXPECT_EQ(settings.allKeys().size(), 2);

    CComPorts::SetOverridePath(7, QString());
    EXPECT_EQ(CComPorts::DevicePath(7), "/dev/ttyS6");
}

TEST_F(CComPortsTest, PortListHoldsOverridesInOrderAndNoEmptyOnes)
{
    CComPorts::SetOverridePath(200, "/nonexistent/port");
    CComPorts::SetOverridePath(150, "/dev/null");
    ProgramSettings().setValue("Ports/COM140", "  ");

    const QList<uint> ports = CComPorts::EnumComPorts();
    EXPECT_TRUE(ports.contains(150u));
    EXPECT_TRUE(ports.contains(200u));
    EXPECT_FALSE(ports.contains(140u));
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end()));
    EXPECT_EQ(std::adjacent_find(ports.begin(), ports.end()), ports.end());
    for (uint port : ports)
        EXPECT_TRUE(port >= 1 && port <= 256);
}

} // namespace
