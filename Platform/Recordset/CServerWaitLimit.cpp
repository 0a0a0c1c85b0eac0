#include "CServerWaitLimit.h"

#include <algorithm>

QString CServerWaitLimit::Statement(const QString& connection, int limitMs)
{
    // Zero would be no limit at all: a step with nothing left waits the
    // least the server can.
    const int limit = std::max(1, limitMs);
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_given.find(connection);
    if (it != m_given.end() && it->second == limit)
        return {};
    m_given[connection] = limit;
    return QStringLiteral("SET lock_timeout = %1").arg(limit);
}

void CServerWaitLimit::Forget(const QString& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_given.erase(connection);
}
