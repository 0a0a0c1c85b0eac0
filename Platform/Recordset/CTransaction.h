#pragma once

class CDatabase;

// One transaction of the calling thread's connection as a scope: whatever
// ends the scope without Commit (an early return, an exception of any kind)
// rolls it back. Inside a transaction the thread has begun already, the
// scope joins it and leaves commit and rollback to the outer owner.
class CTransaction
{
public:
    explicit CTransaction(CDatabase* database);
    ~CTransaction();

    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    // Whether the writes of this scope run in a transaction (its own or the
    // one it joined); false when none could be begun.
    bool IsActive() const { return m_bOwn || m_bJoined; }
    // Commits its own transaction; false when the database refused (the
    // transaction is rolled back then). A joined one is left to its owner.
    bool Commit();
    void Rollback();

private:
    CDatabase* m_pDatabase;
    bool m_bOwn = false;
    bool m_bJoined = false;
};
