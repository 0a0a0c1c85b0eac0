#include "CStatementCache.h"

#include <QSqlQuery>

CStatementCache::CStatementCache() = default;
CStatementCache::~CStatementCache() = default;

QSqlQuery* CStatementCache::Find(const QString& connection, const QString& sql) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto statements = m_statements.find(connection);
    if (statements == m_statements.end())
        return nullptr;
    const auto it = statements->second.find(sql);
    return it == statements->second.end() ? nullptr : it->second.get();
}

QSqlQuery* CStatementCache::Keep(const QString& connection, const QString& sql, std::unique_ptr<QSqlQuery> statement)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& slot = m_statements[connection][sql];
    slot = std::move(statement);
    return slot.get();
}

void CStatementCache::Forget(const QString& connection)
{
    // Destroyed outside the lock: a statement's end reaches its driver.
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> gone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_statements.find(connection);
        if (it == m_statements.end())
            return;
        gone = std::move(it->second);
        m_statements.erase(it);
    }
}
