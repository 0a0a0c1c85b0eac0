#pragma once

#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

class QSqlQuery;

// Statements prepared once per connection and kept for reuse. Each is used
// by its connection's thread only, and is forgotten before its connection
// is removed (or when the connection is opened anew: a statement prepared
// on a lost connection dies with it).
class CStatementCache
{
public:
    CStatementCache();
    ~CStatementCache();

    // The statement prepared on the connection, or null.
    QSqlQuery* Find(const QString& connection, const QString& sql) const;
    // Keeps a prepared statement; returns it.
    QSqlQuery* Keep(const QString& connection, const QString& sql, std::unique_ptr<QSqlQuery> statement);
    void Forget(const QString& connection);

private:
    mutable std::mutex m_mutex;
    std::map<QString, std::unordered_map<QString, std::unique_ptr<QSqlQuery>>> m_statements;
};
