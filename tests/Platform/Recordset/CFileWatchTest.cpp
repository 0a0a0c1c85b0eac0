#include "CFileWatch.h"

#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The database file and a way to put another in its place, as a restore in
// another instance does (a new file renamed over the old one).
class CFileWatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = TestEnvironment::NewFolder(QStringLiteral("filewatch"));
        m_path = m_folder + QStringLiteral("/Quandor.mdb");
        Write(m_path);
        m_watch = std::make_unique<CFileWatch>(m_path);
        m_watch->SetHandler([this] { ++m_told; });
    }

    static void Write(const QString& path)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    void Replace()
    {
        const QString next = m_folder + QStringLiteral("/next");
        Write(next);
        ASSERT_EQ(std::rename(QFile::encodeName(next).constData(), QFile::encodeName(m_path).constData()), 0);
    }

    QString m_folder;
    QString m_path;
    std::unique_ptr<CFileWatch> m_watch;
    int m_told = 0;
};

} // namespace

TEST_F(CFileWatchTest, EveryConnectionSeesTheNewFileAndTheHandlerHearsOfItOnce)
{
    const QString a = QStringLiteral("a"), b = QStringLiteral("b");
    m_watch->Opened(a);
    m_watch->Opened(b);
    EXPECT_FALSE(m_watch->Replaced(a, 0));
    EXPECT_FALSE(m_watch->Replaced(QStringLiteral("never opened"), 0));

    Replace();
    EXPECT_TRUE(m_watch->Replaced(a, 0));
    EXPECT_TRUE(m_watch->Replaced(b, 0));
    m_watch->Reopened(a);
    EXPECT_EQ(m_told, 1);
    EXPECT_FALSE(m_watch->Replaced(a, 0));
    EXPECT_TRUE(m_watch->Replaced(b, 0)) << "b still holds the old file";
    m_watch->Reopened(b);
    EXPECT_EQ(m_told, 1) << "one new file, one notice";

    Replace();
    m_watch->Reopened(b);
    EXPECT_EQ(m_told, 2);
}

// A file that is gone for the moment (between a restore's steps) is no new
// file: the connection keeps what it has.
TEST_F(CFileWatchTest, AMissingFileIsNoNewFile)
{
    m_watch->Opened(QStringLiteral("a"));
    ASSERT_TRUE(QFile::remove(m_path));
    EXPECT_FALSE(m_watch->Replaced(QStringLiteral("a"), 0));
}

// A bulk write asks at every row; the file is looked at only after a pause
// since that connection's last look.
TEST_F(CFileWatchTest, ItLooksOnlyAfterAPause)
{
    const QString a = QStringLiteral("a"), b = QStringLiteral("b");
    m_watch->Opened(a);
    m_watch->Opened(b);
    EXPECT_FALSE(m_watch->Replaced(a, 60000));
    Replace();
    EXPECT_FALSE(m_watch->Replaced(a, 60000)) << "looked just now";
    EXPECT_TRUE(m_watch->Replaced(b, 60000)) << "each connection has its own pause";
    EXPECT_TRUE(m_watch->Replaced(a, 0));
    m_watch->Forget(a);
    EXPECT_FALSE(m_watch->Replaced(a, 0)) << "a connection removed is not watched";
}
