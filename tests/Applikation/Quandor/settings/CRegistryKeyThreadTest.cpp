#include "CRegistryKey.h"

#include <QStandardPaths>
#include <QFile>
#include <gtest/gtest.h>

#include <thread>

namespace {

QByteArray SettingsFileContent()
{
    QFile file(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
               + QStringLiteral("/Velmora/Quandor.conf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The reader search writes the port from its worker while the interface reads
// and writes other values.
TEST(CRegistryKeyThreads, TwoThreadsWritingAndReadingAtOnceLoseNothing)
{
    constexpr quint32 kRounds = 300;
    auto work = [](const QString& number, const QString& text) {
        CRegistryKey key;
        for (quint32 i = 1; i <= kRounds; ++i) {
            EXPECT_TRUE(key.WriteDWord(i, 1, kProgramKey, number));
            EXPECT_TRUE(key.WriteString(1, kProgramKey, text, QStringLiteral("/pfad/%1").arg(i)));
            quint32 read = 0;
            EXPECT_TRUE(key.ReadDWord(&read, 1, kProgramKey, number));
            EXPECT_EQ(read, i);
            EXPECT_EQ(key.ReadString(1, kProgramKey, text), QStringLiteral("/pfad/%1").arg(i));
        }
    };
    std::thread first(work, QStringLiteral("nLanguage"), QStringLiteral("SavePath"));
    std::thread second(work, QStringLiteral("nAktCom"), QStringLiteral("ImportPath"));
    first.join();
    second.join();

    CRegistryKey key;
    quint32 value = 0;
    EXPECT_TRUE(key.ReadDWord(&value, 1, kProgramKey, "nLanguage"));
    EXPECT_EQ(value, kRounds);
    EXPECT_TRUE(key.ReadDWord(&value, 1, kProgramKey, "nAktCOM"));
    EXPECT_EQ(value, kRounds);
    EXPECT_EQ(key.ReadString(1, kProgramKey, "SavePath"), QStringLiteral("/pfad/%1").arg(kRounds));
    EXPECT_EQ(key.ReadString(1, kProgramKey, "ImportPath"), QStringLiteral("/pfad/%1").arg(kRounds));
}

TEST(CRegistryKeyThreads, TwoSpellingsWrittenAtOnceStayOneValue)
{
    auto write = [](const QString& name) {
        CRegistryKey key;
        for (quint32 i = 1; i <= 100; ++i)
            EXPECT_TRUE(key.WriteDWord(i, 1, kProgramKey, name));
    };
    std::thread first(write, QStringLiteral("nAktCom"));
    std::thread second(write, QStringLiteral("nAktCOM"));
    first.join();
    second.join();
    EXPECT_EQ(SettingsFileContent().toLower().count("naktcom="), 1) << SettingsFileContent().constData();
}
