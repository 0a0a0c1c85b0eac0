#pragma once

#include <QElapsedTimer>
#include <QString>

class CDatabase;

// One transaction of the calling thread's connection as a scope: whatever
// ends the scope without Commit (an early return, a database error, an
// exception of any kind) rolls it back, so nothing stays half-written. Work
// that writes many rows runs inside one (thousands of single commits take
// seconds; one takes milliseconds).
//
// Scopes nest: one begun while the thread is in a transaction becomes a part
// of it (a savepoint). Its Commit hands its writes to the outer transaction,
// which commits or undoes them with its own; its rollback undoes only its own
// writes.
//
// After a rollback every record set of the thread that is open, or whose
// cache followed a write of the transaction, is read again (CDatabase).
//
//     CTransaction transaction(handler->GetDatabase());
//     events->DeleteWhere(QStringLiteral("Leser_ID"), readerId);
//     readers->DeleteWhereKeys({readerId});
//     if (!transaction.Commit()) ... // undone; the caches show it
class CTransaction
{
public:
    explicit CTransaction(CDatabase* database);
    ~CTransaction();

    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    // Whether the scope holds a transaction (its own or a part of the
    // thread's); false when none could be begun (GetError says why).
    bool IsActive() const { return m_bActive; }
    bool IsNested() const { return m_level > 0; }
    QString GetError() const { return m_error; }

    // Makes the writes lasting (nested: hands them to the outer transaction).
    // False when the database refused; the writes are rolled back then. A
    // scope that is no longer active returns false.
    bool Commit();
    // Undoes the writes now; the destructor does the same for a scope left
    // without Commit.
    void Rollback();

    // For a writer that runs long beside other writers (a worker storing
    // events while the UI thread writes too): commits what was written so far
    // and begins anew once the batch is due, so other connections never wait
    // long for their turn. Call it after each row. A nested scope never
    // commits early. False when the commit or the new begin failed (the open
    // batch is rolled back then, the batches before it stay).
    bool CommitBatchIfDue();
    // Batch size: rows or milliseconds, whichever comes first (defaults 500
    // rows or 250 ms).
    void SetBatch(int rows, int milliseconds);

private:
    bool Begin();

    CDatabase* m_pDatabase;
    int m_level = 0; // 0: the transaction itself; n: the n-th savepoint in it
    bool m_bActive = false;
    QString m_error;
    int m_batchRows = 500;
    int m_batchMs = 250;
    int m_rowsInBatch = 0;
    QElapsedTimer m_batchTime;
};
