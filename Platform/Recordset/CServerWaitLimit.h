#pragma once

#include <QString>

#include <map>
#include <mutex>

// How long a server connection may wait for a lock within one statement
// (PostgreSQL's lock_timeout), as last given to each connection. A server
// waits inside its statements without asking, so each connection is given
// what the operator's step has left to wait, and given it again only when
// that changed.
class CServerWaitLimit
{
public:
    // The statement that gives the connection this limit; empty when it
    // has it already.
    QString Statement(const QString& connection, int limitMs);
    // A new session of the server knows no limit yet.
    void Forget(const QString& connection);

private:
    std::mutex m_mutex;
    std::map<QString, int> m_given;
};
