#include "CRegistryKey.h"
#include "TestEnvironment.h"
#include "ShellTestSupport.h"
#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

QString SettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Velmora/Quandor.conf");
}

void WriteSettingsFile(const QByteArray& content)
{
    QDir().mkpath(QFileInfo(SettingsFile()).path());
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray ReadSettingsFile()
{
    QFile file(SettingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RegistryKeyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The settings folder is the process's own; every test starts without
        // a settings file.
        ASSERT_TRUE(SettingsFile().startsWith(TestEnvironment::Root()));
        QFile::remove(SettingsFile());
    }
    void TearDown() override { QFile::remove(SettingsFile()); }

    CRegistryKey key;
};

} // namespace

TEST_F(RegistryKeyTest, NothingStoredGivesTheCallersDefaultsAndCreatesNothing)
{
    quint32 language = 0;
    EXPECT_FALSE(key.ReadDWord(&language, 1, kProgramKey, "nLanguage"));
    EXPECT_EQ(language, 0u);
    quint32 port = 256;
    EXPECT_FALSE(key.ReadDWord(&port, 1, kProgramKey, "nAktCOM"));
    EXPECT_EQ(port, 256u);
    for (const char* name : {"BackupPath", "SavePath", "ImportPath"}) {
        const QString stored = key.ReadString(1, kProgramKey, name);
        EXPECT_TRUE(stored.isEmpty());
        EXPECT_EQ(CRegistryKey::PathOrHome(stored), QDir::homePath());
    }
    EXPECT_FALSE(QFile::exists(SettingsFile())) << "a read wrote the settings file";

    EXPECT_EQ(CRegistryKey::PathOrHome("/srv/backups"), QStringLiteral("/srv/backups"));
}

TEST_F(RegistryKeyTest, ValueNamesAreOneWhateverTheirCase)
{
    ASSERT_TRUE(key.WriteDWord(7, 1, kProgramKey, "nAktCom"));
    quint32 port = 256;
    EXPECT_TRUE(key.ReadDWord(&port, 1, kProgramKey, "nAktCOM"));
    EXPECT_EQ(port, 7u);

    ASSERT_TRUE(key.WriteDWord(12, 1, kProgramKey, "nAktCOM"));
    EXPECT_TRUE(key.ReadDWord(&port, 1, kProgramKey, "nAktCom"));
    EXPECT_EQ(port, 12u);
    EXPECT_TRUE(key.ReadDWord(&port, 1, kProgramKey, "naktcom"));
    EXPECT_EQ(port, 12u);

    // One value in the file, under the spelling it was first written with.
    const QByteArray file = ReadSettingsFile();
    EXPECT_EQ(file.count("nAktCom="), 1) << file.constData();
    EXPECT_EQ(file.toLower().count("naktcom="), 1) << file.constData();

    ASSERT_TRUE(key.WriteString(1, kProgramKey, "savepath", "/data/export"));
    EXPECT_EQ(key.ReadString(1, kProgramKey, "SavePath"), QStringLiteral("/data/export"));
}

TEST_F(RegistryKeyTest, SeveralSpellingsInAnEditedFileBecomeOneOnTheNextWrite)
{
    WriteSettingsFile("[General]\nnAktCOM=3\nnAktCom=4\n");
    quint32 port = 256;
    EXPECT_TRUE(key.ReadDWord(&port, 1, kProgramKey, "nAktCom"));
    ASSERT_TRUE(key.WriteDWord(9, 1, kProgramKey, "nAktCom"));
    EXPECT_EQ(ReadSettingsFile().toLower().count("naktcom="), 1) << ReadSettingsFile().constData();
    EXPECT_TRUE(key.ReadDWord(&port, 1, kProgramKey, "NAKTCOM"));
    EXPECT_EQ(port, 9u);
}

TEST_F(RegistryKeyTest, TextsComeBackExactlyAndHaveNoLengthLimit)
{
    QString longPath = QStringLiteral("/home/jörg");
    while (longPath.toUtf8().size() <= 1500)
        longPath += QStringLiteral("/Sicherungen für Größe äöü ß");
    const QStringList texts = {
        QStringLiteral("C:/Übersicht/Müller & Söhne"),
        longPath,
        QStringLiteral("a, b; c = d \"quoted\" [group] #hash"),
        QStringLiteral("@Variant(at start)"),
        QStringLiteral("  blanks around  "),
        QStringLiteral("back\\slash"),
        QString(),
    };
    for (const QString& text : texts) {
        ASSERT_TRUE(key.WriteString(1, kProgramKey, "BackupPath", text));
        EXPECT_EQ(key.ReadString(1, kProgramKey, "BackupPath"), text);
    }

    // What reached the disk reads back too, through a store that has not
    // seen these values in memory.
    ASSERT_TRUE(key.WriteString(1, kProgramKey, "ImportPath", longPath));
    const QString copy = TestEnvironment::NewFolder("conf") + "/copy.conf";
    ASSERT_TRUE(QFile::copy(SettingsFile(), copy));
    QSettings fromDisk(copy, QSettings::IniFormat);
    EXPECT_EQ(fromDisk.value("ImportPath").toString(), longPath);
}

TEST_F(RegistryKeyTest, NumbersAreReadStrictly)
{
    WriteSettingsFile("[General]\n"
                      "nLanguage=abc\n"
                      "minus=-1\n"
                      "fraction=1.5\n"
                      "huge=99999999999\n"
                      "overflow=4294967296\n"
                      "twentyDigits=18446744073709551617\n"
                      "hex=0x10\n"
                      "plus=+7\n"
                      "blank=\" 7\"\n"
                      "empty=\n"
                      "list=1, 2\n"
                      "largest=4294967295\n"
                      "zeros=007\n");
    for (const char* name : {"nLanguage", "minus", "fraction", "huge", "overflow", "twentyDigits", "hex",
                             "plus", "blank", "empty", "list", "missing"}) {
        quint32 value = 42;
        EXPECT_FALSE(key.ReadDWord(&value, 1, kProgramKey, name)) << name;
        EXPECT_EQ(value, 42u) << name;
    }
    quint32 value = 0;
    EXPECT_TRUE(key.ReadDWord(&value, 1, kProgramKey, "largest"));
    EXPECT_EQ(value, 4294967295u);
    EXPECT_TRUE(key.ReadDWord(&value, 1, kProgramKey, "zeros"));
    EXPECT_EQ(value, 7u);

    // Text and number share one form on disk: a stored 1 reads as 1 either way.
    ASSERT_TRUE(key.WriteString(1, kProgramKey, "nLanguage", "1"));
    EXPECT_TRUE(key.ReadDWord(&value, 1, kProgramKey, "nLanguage"));
    EXPECT_EQ(value, 1u);
    ASSERT_TRUE(key.WriteDWord(256, 1, kProgramKey, "nAktCom"));
    EXPECT_EQ(key.ReadString(1, kProgramKey, "nAktCom"), QStringLiteral("256"));

    // The program's language: what the switch stored, German when nothing
    // usable is stored.
    EXPECT_EQ(CRegistryKey::ProgramLanguage(), 1u);
    ASSERT_TRUE(CRegistryKey::StoreProgramLanguage(0));
    EXPECT_EQ(key.ReadString(1, kProgramKey, "NLANGUAGE"), QStringLiteral("0"));
    ASSERT_TRUE(key.WriteString(1, kProgramKey, "nLanguage", "englisch"));
    EXPECT_EQ(CRegistryKey::ProgramLanguage(), 0u);
}

TEST_F(RegistryKeyTest, UnknownRootsPathsAndNamesFailAndChangeNothing)
{
    for (int root : {-1, 0, 3, 4, 5, 6, 7}) {
        quint32 value = 5;
        EXPECT_FALSE(key.ReadDWord(&value, root, kProgramKey, "nLanguage")) << root;
        EXPECT_EQ(value, 5u);
        EXPECT_FALSE(key.WriteDWord(1, root, kProgramKey, "nLanguage")) << root;
        EXPECT_FALSE(key.WriteString(root, kProgramKey, "SavePath", "/x")) << root;
        EXPECT_TRUE(key.ReadString(root, kProgramKey, "SavePath").isEmpty());
        EXPECT_FALSE(key.Open(root, kProgramKey));
    }
    // The machine's settings are never written.
    EXPECT_FALSE(key.WriteDWord(1, 2, kProgramKey, "nLanguage"));

    for (const char* path : {"", "Software", "Software\\Velmora", "Hardware\\Velmora\\Quandor",
                             "Software\\Velmora\\Quan/dor"}) {
        EXPECT_FALSE(key.WriteDWord(1, 1, path, "nLanguage")) << path;
        EXPECT_FALSE(key.Open(1, path)) << path;
    }
    for (const char* name : {"", "Ports/COM3", "a\\b"})
        EXPECT_FALSE(key.WriteString(1, kProgramKey, name, "x")) << name;
    EXPECT_FALSE(key.ReadDWord(nullptr, 1, kProgramKey, "nLanguage"));

    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

TEST_F(RegistryKeyTest, SubKeysAreGroupsMatchedWithoutRegardToCase)
{
    const QString ports = QString::fromLatin1(kProgramKey) + "\\Ports";
    ASSERT_TRUE(key.WriteString(1, ports, "COM3", "/dev/pts/7"));
    EXPECT_EQ(key.ReadString(1, QString::fromLatin1(kProgramKey) + "\\ports", "com3"), QStringLiteral("/dev/pts/7"));
    EXPECT_TRUE(key.ReadString(1, kProgramKey, "COM3").isEmpty());

    QSettings settings("Velmora", "Quandor");
    EXPECT_EQ(settings.value("Ports/COM3").toString(), QStringLiteral("/dev/pts/7"));
}

// A setting the store cannot save (the disk full before the first byte or
// during the last write): the write fails, the file as it was stays, and
// the failure is said once a run, not once per value.
TEST_F(RegistryKeyTest, AFailedSaveIsSaidOnceAndKeepsTheOldFile)
{
    RecordingPresenter boxes;
    CRegistryKey key;
    ASSERT_TRUE(key.WriteString(1, kProgramKey, "SavePath", "/old/path"));
    const QByteArray old = ReadSettingsFile();
    const QString longer(200, u'p');
    for (const DiskFullCase& full : kDiskFullCases) {
        CRegistryKey::ResetFailureReport();
        const size_t before = boxes.Requests().size();
        {
            FileSizeLimit limit(full.Limit(old.size() + longer.size()));
            if (!limit.Active())
                GTEST_SKIP() << "no file-size limit can be set here";
            EXPECT_FALSE(key.WriteString(1, kProgramKey, "BackupPath", longer)) << full.name;
            EXPECT_FALSE(key.WriteString(1, kProgramKey, "ImportPath", longer)) << full.name;
        }
        EXPECT_EQ(ReadSettingsFile(), old) << full.name;
        ASSERT_EQ(boxes.Requests().size(), before + 1) << full.name << ": said once";
        EXPECT_TRUE(boxes.Requests().back().text.contains(SettingsFile())) << full.name;
        EXPECT_EQ(boxes.Requests().back().icon, QMessageBox::Warning);
    }
    // Room again: the values of this run are saved with the next write.
    EXPECT_TRUE(key.WriteString(1, kProgramKey, "ImportPath", "/in"));
    EXPECT_EQ(key.ReadString(1, kProgramKey, "SavePath"), "/old/path");
    EXPECT_EQ(key.ReadString(1, kProgramKey, "ImportPath"), "/in");
}
