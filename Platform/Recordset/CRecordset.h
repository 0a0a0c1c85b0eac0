#pragma once

#include "CDBException.h"
#include "CFieldExchange.h"
#include "CPendingRows.h"
#include "CRowView.h"

#include <QHash>
#include <QSet>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CDatabase;
class QSqlDatabase;
class QSqlQuery;

// A snapshot record set over one table. Open reads every row at once, so no
// read keeps the database locked; the current row is copied into the bound
// column members, which the caller changes between AddNew or Edit and Update.
//
// Conventions of the tables this serves: the first bound column is the
// row's integer key, given by the database on insert. Keys and other number
// columns are 32 bits wide; a table holding a value outside that range is
// refused when it is read, never cut.
//
// Open and Requery report failure by their result (the driver's text is in
// GetLastError()); AddNew, Edit, Update and Delete throw CDBException.
//
// Many rows: open only the rows needed (OpenWhere, OpenKeys), or none at all
// for adding rows (OpenAppendOnly); change many rows with one statement
// through a CBulkWriter inside a CTransaction.
class CRecordset : public CPendingRows::Holder
{
public:
    enum OpenType { dynaset = 0, snapshot = 1, forwardOnly = 3, useDefault = -1 };

    // A column and the value to store in it.
    using Assignments = std::vector<std::pair<QString, QVariant>>;

    explicit CRecordset(CDatabase* pDatabase);
    virtual ~CRecordset();

    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    // An empty text reads the bound columns of the whole table in key order.
    virtual bool Open(int nOpenType = useDefault, const QString& sql = QString(), unsigned int options = 0);
    // Opens only the rows whose column holds one of the values (in key
    // order): the rows of one reader, one transponder, a list of keys. The
    // column is one of the bound ones; an empty list opens no row.
    bool OpenWhere(const QString& column, const QList<QVariant>& values);
    bool OpenWhere(const QString& column, const QVariant& value) { return OpenWhere(column, QList<QVariant>{value}); }
    bool OpenKeys(const QList<qint32>& keys);
    // Opens the set for adding rows only: no row is fetched, however large
    // the table (storing events beside 100,000 stored ones). The columns are
    // checked as by Open.
    //
    // On a database server, rows added inside a transaction are sent many
    // in one statement: each Update takes its key from keys drawn ahead from
    // the table's key sequence (GetLastInsertKey is right at once) and holds
    // the row back until kSendRows rows wait, the set is used otherwise, or
    // anything else uses the connection. A held-back row that the server
    // refuses spoils the transaction: the commit fails with the reason and
    // nothing of it is stored.
    bool OpenAppendOnly();
    static constexpr int kSendRows = 256;
    // Values bound into one statement at most; longer lists take several.
    static constexpr int kChunk = 500;
    virtual void Close();
    bool IsOpen() const { return m_open; }
    bool Requery();

    bool IsBOF() const { return m_bof; }
    bool IsEOF() const { return m_eof; }
    bool IsDeleted() const;
    void MoveFirst();
    void MoveNext();
    void MovePrev();
    void MoveLast();
    // Positions on the row with this key; false (and the position kept)
    // when the snapshot has no such row.
    bool MoveToKey(qint32 key);
    // Rows in the snapshot, deleted ones included.
    long GetRecordCount() const { return static_cast<long>(m_rowCount); }

    void AddNew();
    // Starts an edit of the current row with the row as the database holds
    // it now (the members are read again), so Update writes exactly the
    // columns the caller makes differ from the stored row, even when another
    // writer changed the row since the set was opened. A row another writer
    // deleted throws.
    void Edit();
    // AddNew: inserts the row with the columns the caller set. Edit: writes
    // the changed columns; false when nothing changed. A row that no longer
    // exists (another writer deleted it) throws: no write is reported as done
    // that did not happen.
    bool Update();
    // Deletes the current row; throws when it no longer exists.
    void Delete();
    // The key the database gave the row of the last AddNew and Update.
    qint32 GetLastInsertKey() const { return m_lastInsertKey; }

    QString GetLastError() const { return m_lastError; }

    // Runs a query and hands every row to onRow, its values in binding order,
    // without touching the set's own rows or members. The query must return
    // every bound column; a number outside 32 bits fails the read.
    bool ReadRows(const QString& sql, const std::function<void(const CRowView& row)>& onRow,
                  const QList<QVariant>& bindValues = {});
    // The same with each value as Qt's driver gives it (CRowView::Value).
    bool ReadRows(const QString& sql, const std::function<void(const QVariant* values)>& onRow,
                  const QList<QVariant>& bindValues = {});

    // Sends the rows held back (see OpenAppendOnly); throws CDBException
    // with the server's reason, having spoiled the transaction. The data
    // source calls it before another use of the connection.
    void SendPendingRows() override { m_pending.SendHeld(); }
    // Forgets them unsent (the data source, at a rollback).
    void DropPendingRows() override { m_pending.DropHeld(); }

    // Called by the data source after a rollback on the thread that used the
    // set last: an open set is read again (closed if that fails), so it never
    // shows rows that were undone.
    virtual void OnTransactionRolledBack(quint64 transaction);

    // Keyed reads that do not read the whole table first. Each runs inside
    // the caller's transaction when there is one; none of them touches the
    // set's own rows or position except OpenKey.

    // Opens the set on the row with this key alone (none: an empty set).
    bool OpenKey(qint32 key);
    // The keys of every row of the table, in key order; false on failure.
    bool ReadKeys(std::vector<qint32>* keys);
    // How many rows the table holds and its largest key (0 when empty);
    // false on failure. Tells cheaply whether a cache missed rows.
    bool ReadKeyRange(int* count, qint32* largest);

    CDatabase* m_pDatabase;
    int m_nFields = 0;
    int m_nDefaultType = snapshot;

protected:
    virtual QString GetDefaultConnect();
    // The bracketed table name, e.g. "[tblLeser]".
    virtual QString GetDefaultSQL() = 0;
    virtual void DoFieldExchange(CFieldExchange* pFX) = 0;

    QString TableName();
    const CFieldExchange& Fields();
    // The binding index of a column (without brackets, any case); throws
    // CDBException naming the column when the set binds no such column.
    int ColumnIndex(const QString& column);
    // The bound columns as a select list, each qualified by the table, so a
    // column the table lacks is an error and never a text of its name.
    QString SelectList(const QSqlDatabase& db);
    // Names as every statement writes them: quoted, in their own case. A
    // server that folds bare names would otherwise look for other tables
    // than the ones created with these names.
    QString QuotedTable(const QSqlDatabase& db);
    QString QuotedColumn(const QSqlDatabase& db, const QString& column);

private:
    friend class CBulkWriter;
    friend class CPendingRows;

    enum class Mode { None, Add, Edit };

    // "?, ?, ?" for count values.
    static QString Marks(int count);
    static QString StripBrackets(QString name);
    // Ends a prepared statement's use, so it holds no lock and no result.
    struct Finish
    {
        QSqlQuery* query;
        ~Finish();
    };

    QSqlDatabase Connection();
    // The connection for a write, which may have to wait for another
    // program's lock.
    QSqlDatabase WriteConnection();
    QSqlQuery* Statement(const QString& sql);
    void ThrowIfNotUsable(const QSqlDatabase& db);
    bool OpenRows(const QString& sql, const QList<QVariant>& bindValues);
    void LoadRow(int row);
    void SetPosition(int row); // -1: before the first, m_rowCount: after the last
    const QVariant* RowValues(int row) const { return m_values.data() + static_cast<size_t>(row) * Width(); }
    QVariant* RowValues(int row) { return m_values.data() + static_cast<size_t>(row) * Width(); }
    size_t Width() const;
    std::vector<size_t> ChangedColumns() const;
    qint32 InsertRow(QSqlDatabase& db, const std::vector<size_t>& columns);
    void RefreshCurrentRow();
    // A value of the column outside 32 bits, as text (empty: none), and the
    // first such value of any number column as a refusal (empty: none).
    // Throw CDBException when the query fails.
    QString WideNumber(const QSqlDatabase& db, const QString& column);
    QString WideNumbersFault(const QSqlDatabase& db);
    // The snapshot row of a key, or -1 (deleted rows too).
    int RowOfKey(qint64 key);

    std::unique_ptr<CFieldExchange> m_fields;
    bool m_open = false;
    QString m_sql;
    QList<QVariant> m_bindValues;
    std::vector<QVariant> m_values;
    std::vector<char> m_deleted;
    int m_rowCount = 0;
    int m_current = -1;
    bool m_bof = true;
    bool m_eof = true;
    Mode m_mode = Mode::None;
    std::vector<QVariant> m_saved;
    QHash<qint32, int> m_keyIndex;
    bool m_keyIndexValid = false;
    qint32 m_lastInsertKey = 0;
    QString m_lastError;

    // Adding rows on a server (OpenAppendOnly).
    bool m_appendOnly = false;
    CPendingRows m_pending{*this};
};
