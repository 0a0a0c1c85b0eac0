#pragma once

#include <QElapsedTimer>

class CDatabase;

// A transaction as a scope: begun by the constructor, rolled back by the
// destructor unless Commit ran, so a return, a database error or any other
// exception leaves nothing half-written. Work that writes many rows runs
// inside one (thousands of single commits take seconds; one takes
// milliseconds).
//
// Scopes nest: one begun while the thread's connection is in a transaction
// becomes a part of it (a savepoint). Its Commit keeps its writes for the
// outer transaction to commit; its rollback undoes only its own writes.
//
// After a rollback every record set of the thread that is open, or whose
// cache followed a write of the transaction, is read again (CDatabase).
//
// Usage:
//     CTransaction transaction(handler->GetDatabase());
//     events->DeleteWhere(QStringLiteral("Leser_ID"), id);
//     readers->DeleteKeys({id});
//     transaction.Commit();
class CTransaction
{
public:
    // Throws CDBException (with the driver's text) when the transaction
    // cannot begin.
    explicit CTransaction(CDatabase* pDatabase);
    ~CTransaction();

    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    // Makes the writes lasting (or, nested, hands them to the outer
    // transaction). Throws CDBException when the database refuses; the
    // writes are then rolled back. A second call does nothing.
    void Commit();
    // Undoes the writes now; the destructor does the same for a scope left
    // without Commit.
    void Rollback();
    // Whether the scope still holds uncommitted work.
    bool IsActive() const { return m_active; }
    bool IsNested() const { return m_level > 0; }

    // For a writer that runs long beside other writers (a worker storing
    // events while the UI thread writes too): commits what was written so far
    // and begins anew once the batch is due, so other connections never wait
    // for the lock longer than one batch. A nested scope never commits early.
    // Call it after each row. Throws CDBException like Commit.
    void CommitBatchIfDue();
    // Batch size: rows and milliseconds, whichever comes first (defaults 500
    // rows or 250 ms).
    void SetBatch(int rows, int milliseconds);

private:
    void Begin();

    CDatabase* m_pDatabase;
    int m_level = 0; // 0: the transaction itself; n: the n-th savepoint in it
    bool m_active = false;
    int m_batchRows = 500;
    int m_batchMs = 250;
    int m_rowsInBatch = 0;
    QElapsedTimer m_batchTime;
};
