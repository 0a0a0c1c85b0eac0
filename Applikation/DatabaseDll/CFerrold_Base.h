#pragma once

#include "CRecordset.h"
#include "CRowCache.h"

class CLanguageHandler;

// The record-set base of the six tables: it keeps the lent language handler
// and reads a whole table for the row caches.
//
// Writes of many rows go through the bulk operations below: database and
// cache together, one statement for the database, one pass over the cache. Each runs in a transaction of
// its own, or inside the caller's CTransaction when the thread has one
// running; a rollback of that transaction re-reads the caches that followed
// its writes, so screen and database agree again. They throw CDBException
// with the driver's text and then leave database and cache as they were.
//
//     // delete a reader with its events, in one transaction
//     CTransaction transaction(handler->GetDatabase());
//     events->DeleteWhere(QStringLiteral("Leser_ID"), readerId);
//     readers->DeleteWhereKeys({readerId});
//     transaction.Commit();
//
// (CBulkWriter's DeleteKeys, DeleteAllRows and UpdateWhere write the database
// alone; the caller re-reads or trims the cache itself.)
class CFerrold_Base : public CRecordset
{
public:
    CFerrold_Base(CLanguageHandler* pLanguage, CDatabase* pDatabase);
    // Tag of the table constructors that read nothing.
    struct EmptyCache
    {
    };
    ~CFerrold_Base() override;

    void CloseRecordset();

    // Empties the row cache and reads the whole table again. 1 when rows were
    // read; 0 when the table is empty or the read failed (reported).
    virtual int _Requery() = 0;

    // Whether the last re-read of the cache failed (an empty table is no failure).
    bool LastReadFailed() const { return m_lastReadFailed; }

    // Deletes every row whose column (a bound column's name, e.g. "Leser_ID")
    // holds the value, or one of the values; the cache drops the same rows
    // and numbers the rest as RemoveAt would. Number of rows deleted.
    long DeleteWhere(const QString& column, const QVariant& value);
    long DeleteWhere(const QString& column, const QList<QVariant>& values);
    // Deletes the rows with these keys, in database and cache.
    long DeleteWhereKeys(const QList<qint32>& keys);

    // Stores the assignments in every row whose column holds the value (or
    // one of the values), in database and cache: "every transponder of
    // person 7 gets Person_ID 0", "every transponder of schema 9 moves to
    // schema 1 and is marked for sending". Number of rows changed.
    long UpdateColumnsWhere(const QString& column, const QVariant& value, const Assignments& assignments);
    long UpdateColumnsWhere(const QString& column, const QList<QVariant>& values, const Assignments& assignments);
    // The same for the rows with these keys.
    long UpdateColumnsWhereKeys(const QList<qint32>& keys, const Assignments& assignments);
    // One row by its key, with values of its own (a transponder's reader
    // list): the statement is prepared once and reused, the cached row found
    // by its key, so a walk over 10,000 rows stays one pass. Throws when the
    // row no longer exists.
    void UpdateKey(qint32 key, const Assignments& assignments);
    // Rows by their keys, each with a value of its own for one column (a
    // reader list per transponder), in database and cache: a few statements
    // in one transaction for thousands of rows, the cached rows found by
    // their keys. A key given twice keeps its last value. Rows changed.
    long UpdateEachByKey(const QString& column, const std::vector<std::pair<qint32, QVariant>>& values);

    // The data source re-reads, after a rollback, the open set and a cache
    // that followed a write of the undone transaction.
    void OnTransactionRolledBack(quint64 transaction) override;

    CLanguageHandler* m_pLanguage;

protected:
    QString GetDefaultConnect() override;
    QString GetDefaultSQL() override;
    void DoFieldExchange(CFieldExchange* pFX) override;

    // Reads every row of the table in key order and hands it to onRow (values
    // in binding order). Leaves the set itself, open or closed, untouched.
    // Returns 1 when rows were read, 0 when the table is empty or the read
    // failed; a failure is reported with the driver's text.
    int ReadTable(const std::function<void(const CRowView& row)>& onRow);

    // The cache side of the bulk writes, by column index (binding order).
    virtual int CacheRemoveWhere(int column, const QList<QVariant>& values) = 0;
    virtual int CacheAssignWhere(int column, const QList<QVariant>& values, const CColumnValues& assignments) = 0;

private:
    // Runs one bulk write in a transaction (its own, or a part of the
    // caller's) and lets the cache follow once the database took it.
    template <class Write, class Follow>
    long Bulk(Write write, Follow follow);

    bool m_lastReadFailed = false;
    // The transaction whose writes the cache followed (0: none); a rollback
    // of it makes the cache read the table again.
    quint64 m_cacheTransaction = 0;
};
