#include "data/CSafeFile.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
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

// Writes beyond "limit" bytes fail with EFBIG while the object lives: a disk
// that fills up half-way through a copy.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

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
