#pragma once

#include "CDBException.h"
#include "CFieldExchange.h"

#include <QHash>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class CDatabase;
class QSqlDatabase;
class QSqlQuery;

// A snapshot record set over one table. Open reads every row at once, so no
// read keeps the database locked; the current row is copied into the bound
// column members, which the caller changes between AddNew or Edit and Update.
//
// Conventions of the tables this serves: the first bound column is the
// row's integer key, given by the database on insert. Only the columns whose
// members changed since AddNew or Edit are written.
//
// Open and Requery report failure by their result (the driver's text is in
// GetLastError()); AddNew, Edit, Update and Delete throw CDBException.
class CRecordset
{
public:
    enum OpenType { dynaset = 0, snapshot = 1, forwardOnly = 3, useDefault = -1 };

    explicit CRecordset(CDatabase* pDatabase);
    virtual ~CRecordset();

    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;

    // An empty text reads the bound columns of the whole table in key order.
    virtual bool Open(int nOpenType = useDefault, const QString& sql = QString(), unsigned int options = 0);
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
    void Edit();
    // Writes the changed columns; false when nothing changed.
    bool Update();
    void CancelUpdate();
    void Delete();
    // The key the database gave the row of the last AddNew and Update.
    qint32 GetLastInsertKey() const { return m_lastInsertKey; }

    QString GetLastError() const { return m_lastError; }

    // Runs a query and hands every row to onRow, its values in binding order,
    // without touching the set's own rows or members.
    bool ReadRows(const QString& sql, const std::function<void(const QVariant* values)>& onRow);

    // Keyed work on the table that does not read the whole table first: a
    // write of one row, or of many, costs what those rows cost. Each runs
    // inside the caller's transaction when there is one; none of them
    // touches the set's own rows or position except OpenKey.

    // Opens the set on the row with this key alone (none: an empty set).
    bool OpenKey(qint32 key);
    // Opens the set on the rows whose key is firstKey or larger, in key order.
    bool OpenKeysFrom(qint32 firstKey);
    // The keys of every row of the table, in key order; false on failure.
    bool ReadKeys(std::vector<qint32>* keys);
    // How many rows the table holds and its largest key (0 when empty);
    // false on failure. Tells cheaply whether a cache missed rows.
    bool ReadKeyRange(int* count, qint32* largest);
    // Called for a key that could not be deleted: the database's reason, or
    // an empty text when the table has no row with that key.
    using KeyFailure = std::function<void(qint32 key, const QString& error)>;
    // Deletes the rows with these keys. A key that fails goes to onFailure
    // and the next one follows, so one refused row costs only itself.
    // Returns the keys deleted, in the order given. Throws CDBException when
    // the data source cannot be reached at all.
    std::vector<qint32> DeleteKeys(const std::vector<qint32>& keys, const KeyFailure& onFailure);
    // Every row of the table in one statement; the rows deleted. Throws
    // CDBException when the database refuses (nothing is deleted then).
    int DeleteAllRows();
    // Sets "column" to "value" in every row whose "whereColumn" holds one of
    // "whereValues" (all rows when whereValues is null). Column names as
    // bound ("[Person_ID]" or "Person_ID"). The rows changed; throws
    // CDBException when the database refuses.
    int UpdateWhere(const QString& column, const QVariant& value, const QString& whereColumn,
                    const std::vector<QVariant>* whereValues);

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
    // Names as every statement writes them: quoted, in their own case. A
    // server that folds bare names would otherwise look for other tables
    // than the ones created with these names.
    QString QuotedTable(const QSqlDatabase& db);
    QString QuotedColumn(const QSqlDatabase& db, const QString& column);

private:
    enum class Mode { None, Add, Edit };

    QSqlDatabase Connection();
    // "SELECT <bound columns> FROM <table>".
    QString SelectText(const QSqlDatabase& db);
    void ThrowIfNotUsable(const QSqlDatabase& db);
    void LoadRow(int row);
    void SetPosition(int row); // -1: before the first, m_rowCount: after the last
    const QVariant* RowValues(int row) const { return m_values.data() + static_cast<size_t>(row) * Width(); }
    QVariant* RowValues(int row) { return m_values.data() + static_cast<size_t>(row) * Width(); }
    size_t Width() const;
    std::vector<size_t> ChangedColumns() const;
    qint32 InsertRow(QSqlDatabase& db, const std::vector<size_t>& columns);

    std::unique_ptr<CFieldExchange> m_fields;
    bool m_open = false;
    QString m_sql;
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
    // The insert of the last AddNew, kept for the next rows.
    std::unique_ptr<QSqlQuery> m_insert;
    QString m_insertSql;
    QString m_insertConnection;
};
