#include "CReconnectWatch.h"

#include "CConnectionOpener.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>

#include <sql.h>
#include <sqlext.h>

namespace {

// What the driver already knows: a connection whose last use failed for
// want of the server is marked dead without another round trip.
bool knownDead(const QSqlDatabase& db)
{
    SQLHDBC hdbc = CConnectionOpener::OdbcConnectionHandle(db);
    SQLUINTEGER dead = SQL_CD_FALSE;
    return hdbc && SQL_SUCCEEDED(SQLGetConnectAttr(hdbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))
           && dead == SQL_CD_TRUE;
}

} // namespace

void CReconnectWatch::SetHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

void CReconnectWatch::SetIdleCheckMs(int milliseconds)
{
    m_idleCheckMs = std::max(0, milliseconds);
}

bool CReconnectWatch::StillConnected(QSqlDatabase& db, bool inTransaction)
{
    if (knownDead(db))
        return false;
    if (inTransaction)
        return true;
    std::chrono::steady_clock::time_point lastUse;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        lastUse = m_lastUse[db.connectionName()];
    }
    if (std::chrono::steady_clock::now() - lastUse < std::chrono::milliseconds(m_idleCheckMs.load()))
        return true;
    QSqlQuery ping(db);
    ping.setForwardOnly(true);
    return ping.exec(QStringLiteral("SELECT 1"));
}

void CReconnectWatch::MarkLost(const QString& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lost.insert(connection);
}

void CReconnectWatch::HandedOut(const QString& connection)
{
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastUse[connection] = std::chrono::steady_clock::now();
        if (m_lost.erase(connection) == 0)
            return;
        handler = m_handler;
    }
    if (handler)
        handler();
}

void CReconnectWatch::Forget(const QString& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lost.erase(connection);
    m_lastUse.erase(connection);
}
