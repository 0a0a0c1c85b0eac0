#pragma once

#include <QString>
#include <QVariant>

#include <cstddef>
#include <vector>

class CRecordset;
class QSqlDatabase;

// Rows that record sets of the calling thread hold back inside a
// transaction, to send many in one statement. Before the thread's
// connection to their data source is used for anything else, and before
// the transaction ends, they are sent; a rollback drops them unsent.
//
// Per thread: every set, and so every held row, belongs to the thread that
// uses it.
//
// An object of the class holds one set's rows back (see
// CRecordset::OpenAppendOnly): each added row takes its key from keys drawn
// ahead from the table's key sequence, all rows with the same columns (key
// first), until CRecordset::kSendRows wait.
class CPendingRows
{
public:
    explicit CPendingRows(CRecordset& set);
    CPendingRows(const CPendingRows&) = delete;
    CPendingRows& operator=(const CPendingRows&) = delete;

    // Whether the set's next added row is held back.
    bool HoldsBack() const;
    // Holds back the row of the set's members (the columns given) and
    // returns its key; sends the rows when enough wait. Throws CDBException.
    qint32 Hold(const std::vector<size_t>& columns);
    // Sends them in as few statements as can be; throws CDBException with
    // the server's reason, having spoiled the transaction.
    void SendHeld();
    // SendHeld, the failure returned instead of thrown.
    QString TrySendHeld();
    // Forgets them unsent.
    void DropHeld();

    // One that holds rows back (a record set).
    class Holder
    {
    public:
        // Sends the rows; throws CDBException when they cannot be stored.
        virtual void SendPendingRows() = 0;
        virtual void DropPendingRows() = 0;

    protected:
        ~Holder() = default;
    };

    // The holder has rows back for this data source ("source" only tells
    // data sources apart).
    static void Note(const void* source, Holder* holder);
    static void Forget(Holder* holder);
    // Whether a use of a connection now must have rows sent first: some are
    // held, and neither an add in progress (Keep) nor a send is running.
    static bool Due();
    // Has the source's holders send their rows. A holder that fails has
    // spoiled its transaction, whose commit says so; the rest still send.
    static void Send(const void* source);
    static void Drop(const void* source);

    // While one lives on a thread, nothing is due: the set adding its next
    // row uses the connection itself.
    class Keep
    {
    public:
        Keep();
        ~Keep();
        Keep(const Keep&) = delete;
        Keep& operator=(const Keep&) = delete;
    };

private:
    int HeldRows() const { return int(m_values.size() / (m_columns.size() + 1)); }
    // The next key drawn ahead from the table's key sequence; 0 when the
    // table has none (its rows are then sent one by one).
    qint32 DrawnKey(QSqlDatabase& db);

    CRecordset& m_set;
    bool m_noKeySequence = false;
    std::vector<size_t> m_columns;
    std::vector<QVariant> m_values;
    // A block growing with use, so a few rows never waste many keys.
    std::vector<qint32> m_drawnKeys;
    size_t m_nextDrawnKey = 0;
    int m_drawBlock = 16;
};
