#pragma once

#include "CtblZeitschema.h"

#include <QList>
#include <QVariant>
#include <QSet>
#include <QString>
#include <QStringList>

class CFerrold_Handler;

// What the time-schema view writes, and the caches following it.
//
// A schema is four rows of tblZeitschema, consecutive in the cache; the
// first row's ID is the schema's identity, which transponders name in
// Zeitfenster_ID. Every operation here writes whole schemas: its rows, and
// the transponders and readers it concerns, go in one transaction, and the
// caches change only after the commit. A failure leaves table and caches as
// they were and says why (LastFailure, LastError).
//
// Schemas are addressed by their place in the cache (0 = the first, the
// built-in full-access schema) or by identity, never by name: names may
// repeat in databases written by other means.
//
// Marks for sending: a change of a schema's windows marks exactly the
// transponders that use the schema and the readers those transponders list;
// a deletion marks the transponders it moves to the full-access schema and
// their readers. New, copied and renamed schemas mark nothing.
class CZeitschemaStore
{
public:
    using Row = CtblZeitschema::structZeitschema;
    static constexpr int kRowsPerSchema = 4;

    explicit CZeitschemaStore(CFerrold_Handler* db);
    CFerrold_Handler* Handler() const { return m_pDb; }

    enum class Failure { None, Open, Write };
    // Open: a table could not be read (the database-failure box); Write: a
    // write failed, LastError holds the driver's text.
    Failure LastFailure() const { return m_failure; }
    QString LastError() const { return m_strError; }

    // --- Reading the cache.
    int SchemaCount() const;
    // The schema's first cached row; null outside the cache.
    const Row* FirstRow(int schema) const;
    qint32 Identity(int schema) const;
    QString Name(int schema) const;
    // The place of the schema with this identity; -1 for none.
    int SchemaOfIdentity(qint32 identity) const;
    // The schema that transponders fall back to: the first named as the
    // built-in schema, else identity 1.
    qint32 FullAccessIdentity() const;
    // The built-in schema: the first of the table, or one with its name.
    // Nothing may change it.
    bool IsProtected(int schema) const;
    // The names of every schema but this one (-1: of all).
    QStringList NamesExcept(int schema) const;

    // --- Writing. False (and nothing changed) on failure.
    // Renames the schema's four rows; marks nothing.
    bool Rename(int schema, const QString& name);
    // One cell of one window (row 0 to 3 of the schema): column 4 to 7 a
    // two-digit hour or minute of Von or Bis, 8 to 14 a weekday ("1" on).
    // A value equal to the stored one changes and marks nothing.
    bool StoreCell(int schema, int row, int column, const QString& value);
    // A new schema "0000"-"2359" on every weekday, or a copy of a schema's
    // windows; unmarked. The new schema's identity, 0 on failure.
    qint32 Add(const QString& name);
    qint32 Copy(int schema, const QString& name);
    // Every window "0000"-"0000", no weekday, all four rows marked.
    bool Reset(int schema);

    // Deletes the schemas with these identities one by one, each with its
    // transponders moved to full access; the protected one is never deleted.
    // Each schema is its own transaction: one that fails stays whole and the
    // others go on.
    struct DeleteOutcome
    {
        QList<qint32> deleted;
        // Held by the cache but not by the table: gone from the cache too.
        QList<qint32> notFound;
        QList<qint32> failed;
        QStringList errors; // one per failed schema
        bool openFailed = false;
    };
    DeleteOutcome Delete(const QList<qint32>& identities);
    // Every schema but the protected ones; the transponders of no remaining
    // schema move to full access.
    DeleteOutcome DeleteAllButProtected();

    // What the last successful write marked.
    int MarkedTransponders() const { return m_nMarkedTransponders; }
    int MarkedReaders() const { return m_nMarkedReaders; }

private:
    struct Pending;

    // Runs "write" in a transaction; on success commits and applies what the
    // write collected to the caches.
    bool Transact(Pending& pending, const std::function<bool(Pending&)>& write);
    void Apply(const Pending& pending);
    bool OpenFailed(const QString& error);
    // A write refused before it began (no such schema, a protected one, a
    // value out of range): nothing to say beyond the refusal.
    bool Refused();

    // Parts of a write.
    bool WriteSchemaRows(const QList<qint32>& ids, const std::function<void(CtblZeitschema&)>& set);
    // Whether the rows are, as stored now, one whole schema (four rows with
    // consecutive keys and one name); throws CDBException saying so when not.
    bool GroupIsWhole(const QList<qint32>& ids);
    // The transponders a condition picks: their IDs, their readers and
    // (when asked) the schemas they use.
    bool ReadUsers(const QString& where, Pending& pending, QList<QVariant>* schemasUsed);
    bool MarkUsersOf(qint32 identity, Pending& pending);
    bool MoveToFullAccess(const QString& where, Pending& pending);
    bool MarkReaders(Pending& pending);
    qint32 AddRows(const QString& name, const std::function<void(CtblZeitschema&, int row)>& set);
    bool DeleteRows(const QList<qint32>& ids, int* deleted);
    QList<qint32> RowIds(int schema) const;
    // Re-reads the schema cache after rows were added; reported when it fails.
    void RequerySchemas();

    CFerrold_Handler* m_pDb;
    Failure m_failure = Failure::None;
    QString m_strError;
    int m_nMarkedTransponders = 0;
    int m_nMarkedReaders = 0;
};
