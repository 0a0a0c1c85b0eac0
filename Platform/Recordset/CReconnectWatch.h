#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>

class QSqlDatabase;

// A database server may drop a connection (a restart, a network fault).
// Before a connection is handed out after a pause it is checked, a lost one
// is opened again, and the handler hears of each reconnect once.
class CReconnectWatch
{
public:
    static constexpr int kDefaultIdleCheckMs = 250;

    // Called (on the thread that reconnected) each time a lost connection
    // was opened again.
    void SetHandler(std::function<void()> handler);
    // How long a connection may be idle before it is checked; 0 checks it
    // at every use.
    void SetIdleCheckMs(int milliseconds);
    int IdleCheckMs() const { return m_idleCheckMs.load(); }

    // Whether the open connection still reaches the server: what the
    // driver knows already, and after a pause a round trip. Inside a
    // transaction only the driver is asked: the statements themselves tell.
    bool StillConnected(QSqlDatabase& db, bool inTransaction);
    void MarkLost(const QString& connection);
    // The connection is handed out: it was used now; when it had been lost,
    // the handler is told.
    void HandedOut(const QString& connection);
    void Forget(const QString& connection);

private:
    std::atomic<int> m_idleCheckMs{kDefaultIdleCheckMs};
    std::mutex m_mutex;
    std::set<QString> m_lost;
    std::map<QString, std::chrono::steady_clock::time_point> m_lastUse;
    std::function<void()> m_handler;
};
