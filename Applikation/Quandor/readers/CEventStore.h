#pragma once

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>

class CDatabase;
class CTransaction;

// Where a transfer's read events go: the table "tblEvents", written from
// the transfer's worker on that thread's own connection.
//
// A reader's memory holds up to 5,000 events, and the table may already
// hold 100,000 rows: nothing of the table is read, one prepared insert
// serves every row, and rows are committed in batches (every kBatchRows
// rows or kBatchMs milliseconds, whichever comes first), so the serial
// line stays the limit and the UI thread, which may write meanwhile, never
// waits long for the database.
//
// Rows already read are real: whatever ends the run, what was added is
// committed (Commit(), also from the destructor), and Stored() counts the
// rows that are in the table.
class CEventStore
{
public:
    static constexpr int kBatchRows = 250;
    static constexpr int kBatchMs = 1000;

    struct Row
    {
        QString transponder, date, time, code1, event1, code2, event2;
        qint32 readerId = 0;
        QString readerName;
    };

    explicit CEventStore(CDatabase* database);
    ~CEventStore();

    CEventStore(const CEventStore&) = delete;
    CEventStore& operator=(const CEventStore&) = delete;

    // Opens the calling thread's connection and prepares the insert; false
    // with the driver's text in *error.
    bool Open(QString* error);
    // Adds one row. Throws CDBException with the driver's text; the rows
    // added before it stay pending and are committed by Commit().
    void Add(const Row& row);
    // Commits what is pending; false with the driver's text (the pending
    // rows are then lost, and not counted).
    bool Commit(QString* error = nullptr);

    // Rows committed to the table.
    int Stored() const { return m_stored; }
    // Rows added and not yet committed.
    int Pending() const { return m_pending; }

private:
    bool Begin(QString* error);

    CDatabase* m_pDatabase;
    QSqlDatabase m_db;
    std::unique_ptr<QSqlQuery> m_insert;
    // The batch now open; its rows are committed together.
    std::unique_ptr<CTransaction> m_batch;
    int m_pending = 0;
    int m_stored = 0;
    QElapsedTimer m_batchAge;
};
