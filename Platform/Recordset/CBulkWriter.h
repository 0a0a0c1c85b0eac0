#pragma once

#include "CRecordset.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <utility>
#include <vector>

// Writes of many rows of a record set's table, each one statement per chunk
// of rows instead of one per row. Run them inside a CTransaction so a failure
// leaves nothing half done; they throw CDBException with the driver's text.
//
// DeleteRows, UpdateRows and UpdateRowsByKey keep the set's open snapshot
// in step; the others write the database alone and leave the set's rows and
// position as they are.
//
//     CBulkWriter(*transponders).UpdateWhere(QStringLiteral("Person_ID"), 0, QStringLiteral("Person_ID"), &ids);
class CBulkWriter
{
public:
    using Assignments = CRecordset::Assignments;

    explicit CBulkWriter(CRecordset& set);

    // One statement for every row whose column holds one of the values.
    // Return the number of rows changed.
    long DeleteRows(const QString& column, const QList<QVariant>& values);
    long UpdateRows(const QString& column, const QList<QVariant>& values, const Assignments& assignments);
    // Gives each row named by its key its own value of one column, one
    // statement per chunk of rows (a key given twice takes its last value);
    // alsoSet is stored in the same rows by the same statements.
    long UpdateRowsByKey(const QString& column, const std::vector<std::pair<qint32, QVariant>>& values,
                         const Assignments& alsoSet = {});

    // Every row's key with the text of one column, in key order, read for a
    // write that follows in the caller's transaction: on a server the rows
    // stay locked until it ends, so no other writer changes them between
    // the read and the write (a file is locked whole by the transaction).
    // Only the rows with these keys when keys is given. False on failure
    // (the set's GetLastError() tells why).
    bool ReadForWrite(const QString& column, std::vector<std::pair<qint32, QString>>* rows,
                      const QList<qint32>* keys = nullptr);
    // Keeps every other writer off the table until the caller's transaction
    // ends (readers go on): a check of the whole table and the writes that
    // depend on it (no number stored twice, keys that follow each other)
    // see no other program's rows arrive in between. On a server a table
    // lock; a file is locked whole by the transaction already.
    void LockTable();
    // Called for a key that could not be deleted: the database's reason, or
    // an empty text when the table has no row with that key.
    using KeyFailure = std::function<void(qint32 key, const QString& error)>;
    // Deletes the rows with these keys. A key that fails goes to onFailure
    // and the next one follows, so one refused row costs only itself.
    // Returns the keys deleted, in the order given. Throws only when the
    // data source cannot be reached at all.
    std::vector<qint32> DeleteKeys(const std::vector<qint32>& keys, const KeyFailure& onFailure);
    // Every row of the table in one statement (but those whose column holds
    // one of the kept values); the rows deleted. Nothing is deleted when the
    // database refuses.
    int DeleteAllRows(const QString& keptColumn = {}, const QList<QVariant>& keptValues = {});
    // Sets "column" to "value" in every row whose "whereColumn" holds one of
    // "whereValues" (all rows when whereValues is null). Column names as
    // bound ("[Person_ID]" or "Person_ID"). The rows changed.
    int UpdateWhere(const QString& column, const QVariant& value, const QString& whereColumn,
                    const std::vector<QVariant>* whereValues);

private:
    // The index of a column a bulk write may set; throws for the key.
    size_t WrittenColumn(const QString& column);
    // The rows of the snapshot whose column holds one of the values.
    std::vector<int> SnapshotRows(size_t column, const QList<QVariant>& values);
    // The current row's members show its stored values again.
    void ReloadCurrentRow();

    CRecordset& m_set;
};
