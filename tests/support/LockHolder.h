#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// The lock_holder program (another program holding a lock on the test's
// database), started and driven from a test.
class LockHolder
{
public:
    // "source": the database file, or "odbc:<data source>"; "mode": "write"
    // or "all". Returns once the lock is held (false when it never was).
    bool Start(const QString& program, const QString& source, const QString& mode)
    {
        m_process.start(program, {source, mode});
        return m_process.waitForStarted(30000) && Await("locked");
    }

    // Lets the lock go after "delayMs"; returns at once.
    void Release(int delayMs = 0)
    {
        m_process.write(QStringLiteral("release %1\n").arg(delayMs).toLatin1());
        m_process.waitForBytesWritten(30000);
    }
    bool AwaitReleased() { return Await("released"); }
    // Takes the lock again after a release.
    bool Lock()
    {
        m_process.write("lock\n");
        m_process.waitForBytesWritten(30000);
        return Await("locked");
    }

    ~LockHolder()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(30000))
            m_process.kill();
        m_process.waitForFinished(30000);
    }

private:
    bool Await(const QByteArray& word)
    {
        while (!m_seen.contains(word)) {
            if (m_process.canReadLine()) {
                m_seen << m_process.readLine().trimmed();
                continue;
            }
            if (!m_process.waitForReadyRead(30000)) {
                ADD_FAILURE() << "lock_holder: no \"" << word.constData()
                              << "\": " << m_process.readAllStandardError().constData();
                return false;
            }
        }
        m_seen.removeOne(word);
        return true;
    }

    QProcess m_process;
    QList<QByteArray> m_seen;
};
