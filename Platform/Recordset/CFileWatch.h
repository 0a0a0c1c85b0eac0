#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

// The embedded file under each connection, against the file now at its
// path: another program (a restore in a second instance) may have put a new
// file in place, and a connection still holding the old one would write to
// it as read-only and read stale rows. Files are told apart by device and
// inode.
class CFileWatch
{
public:
    explicit CFileWatch(QString path);

    // Told once per new file, by the first connection that opens it again.
    void SetHandler(std::function<void()> handler);

    // A connection opened the file (the first one also makes it the known
    // file).
    void Opened(const QString& connection);
    // Whether the file at the path is no longer the one the connection
    // opened. Looked at only when checkEveryMs passed since the
    // connection's last look (0: every time): a bulk write asks at every
    // row.
    bool Replaced(const QString& connection, int checkEveryMs);
    // The connection opened the file at the path again.
    void Reopened(const QString& connection);
    void Forget(const QString& connection);

private:
    using Identity = std::pair<quint64, quint64>;
    Identity Current() const;

    const QString m_path;
    std::mutex m_mutex;
    std::map<QString, Identity> m_fileOf;
    std::map<QString, std::chrono::steady_clock::time_point> m_lastLook;
    Identity m_known{0, 0};
    std::function<void()> m_handler;
};
