#include "CSafeFile.h"
#include "TestEnvironment.h"
#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <sys/stat.h>

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST(CSafeFileTest, ReplacesTheOldFileOnlyWhenCommitted)
{
    const QString folder = TestEnvironment::NewFolder("safe");
    const QString path = folder + "/out.csv";
    writeBytes(path, "old");
    {
        CSafeFile file(path);
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write(QByteArray("new")));
        EXPECT_EQ(readBytes(path), "old");
    }
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(filesIn(folder), QStringList({"out.csv"})) << "the temporary file is gone";

    CSafeFile file(path);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Write(QByteArray("new")));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(readBytes(path), "new");
}

TEST(CSafeFileTest, ACopyThatBreaksOffLeavesTheTargetAsItWas)
{
    const QString folder = TestEnvironment::NewFolder("copy");
    const QString source = folder + "/source.mdb";
    const QString target = folder + "/target.mdb";
    writeBytes(source, QByteArray(256 * 1024, 'n'));
    writeBytes(target, QByteArray(1000, 'o'));
    QString error;
    {
        FileSizeLimit limit(64 * 1024);
        if (!limit.Active())
            GTEST_SKIP() << "no file-size limit can be set here";
        EXPECT_FALSE(CSafeFile::Copy(source, target, &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readBytes(target), QByteArray(1000, 'o'));
    EXPECT_EQ(filesIn(folder), QStringList({"source.mdb", "target.mdb"}));

    ASSERT_TRUE(CSafeFile::Copy(source, target, &error)) << error.toStdString();
    EXPECT_EQ(readBytes(target), readBytes(source));
}

TEST(CSafeFileTest, DevicesAreWrittenInPlaceAndNeverReplaced)
{
    CSafeFile full("/dev/full");
    ASSERT_TRUE(full.Open());
    full.Write(QByteArray(100000, 'x'));
    EXPECT_FALSE(full.Commit()) << "a full disk is a failure";
    EXPECT_FALSE(full.ErrorString().isEmpty());
    struct stat st{};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device is still a device";

    CSafeFile folder(TestEnvironment::NewFolder("dir"));
    EXPECT_FALSE(folder.Open());
}

TEST(CSafeFileTest, MissingSourceOrFolderFailsWithAReason)
{
    const QString folder = TestEnvironment::NewFolder("missing");
    QString error;
    EXPECT_FALSE(CSafeFile::Copy(folder + "/none.mdb", folder + "/t.mdb", &error));
    EXPECT_FALSE(error.isEmpty());
    writeBytes(folder + "/s.mdb", "x");
    error.clear();
    EXPECT_FALSE(CSafeFile::Copy(folder + "/s.mdb", folder + "/no/such/folder/t.mdb", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(folder + "/t.mdb"));
}

// Each way of writing, with the disk full before the first byte and during
// the last write: the reason is given, the old file stays byte for byte, and
// nothing is left beside it.
TEST(CSafeFileTest, AFullDiskNeverReplacesTheOldFile)
{
    const QByteArray content(200 * 1024 + 17, 'n');
    const QByteArray old(1000, 'o');
    const std::pair<const char*, std::function<bool(const QString&, const QString&, QString*)>> writers[] = {
        {"written in pieces",
         [&](const QString&, const QString& target, QString* error) {
             CSafeFile file(target);
             bool ok = file.Open();
             for (qsizetype at = 0; ok && at < content.size(); at += 4096)
                 ok = file.Write(content.mid(at, 4096));
             ok = ok && file.Commit();
             *error = file.ErrorString();
             return ok;
         }},
        {"copied", [](const QString& source, const QString& target,
                      QString* error) { return CSafeFile::Copy(source, target, error); }},
        {"written at once", [&](const QString&, const QString& target,
                                QString* error) { return CSafeFile::WriteFile(target, content, error); }},
    };
    for (const DiskFullCase& full : kDiskFullCases) {
        for (const auto& [how, write] : writers) {
            const QString folder = TestEnvironment::NewFolder("full");
            const QString source = folder + "/source.bin";
            const QString target = folder + "/target.bin";
            writeBytes(source, content);
            writeBytes(target, old);
            QString error;
            bool written = true;
            {
                FileSizeLimit limit(full.Limit(content.size()));
                if (!limit.Active())
                    GTEST_SKIP() << "no file-size limit can be set here";
                written = write(source, target, &error);
            }
            EXPECT_FALSE(written) << full.name << ", " << how;
            EXPECT_FALSE(error.isEmpty()) << full.name << ", " << how;
            EXPECT_EQ(readBytes(target), old) << full.name << ", " << how;
            EXPECT_EQ(filesIn(folder), QStringList({"source.bin", "target.bin"})) << full.name << ", " << how;
            ASSERT_TRUE(write(source, target, &error)) << how << ": " << error.toStdString();
            EXPECT_EQ(readBytes(target), content) << how;
        }
    }
}

TEST(CSafeFileTest, TheCheckSeesTheWholeFileAndItsRefusalKeepsTheOldOne)
{
    const QString folder = TestEnvironment::NewFolder("check");
    const QString path = folder + "/out.bin";
    writeBytes(path, "old");
    QByteArray seen;
    CSafeFile file(path);
    ASSERT_TRUE(file.Open());
    ASSERT_TRUE(file.Write(QByteArray("new bytes")));
    EXPECT_FALSE(file.Commit([&](const QString& written, QString* reason) {
        seen = readBytes(written);
        *reason = "refused";
        return false;
    }));
    EXPECT_EQ(seen, "new bytes");
    EXPECT_EQ(file.ErrorString(), "refused");
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(filesIn(folder), QStringList({"out.bin"}));
}
