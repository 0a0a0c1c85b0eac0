#pragma once

#include "CPendingRows.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CLockWaitObserver;
class CRecordset;
class QSqlQuery;

// One data source: the embedded SQLite file or an ODBC data source name.
//
// Qt SQL connections belong to the thread that made them, so every thread
// that touches the data source gets a connection of its own, made on first
// use and shared by all record sets of this data source on that thread (a
// transaction therefore spans every table of the thread). A thread's
// connections are removed when it ends; the rest when the object dies.
//
// Locking between threads (SQLite): a transaction takes the write lock when
// it begins, not at its first write, so two writers queue behind each other
// within the busy timeout instead of one of them failing at once. Writers
// that run long (a worker storing thousands of rows) commit in batches
// (CTransaction::CommitBatchIfDue), so the other never waits long.
//
// The work is done by pieces of one concern each: opening per driver
// (CConnectionOpener), prepared statements (CStatementCache), a server's
// lost connections (CReconnectWatch), a replaced file (CFileWatch), the
// threads' transactions (CThreadTransactions), their turns (CTurnQueue),
// rows held back (CPendingRows), the sets a rollback re-reads
// (CRecordsetRegistry) and another program's locks (CLockWait,
// CServerWaitLimit). This class puts them together per connection.
class CDatabase
{
public:
    enum class Kind { Sqlite, Odbc };

    struct Source
    {
        Kind kind = Kind::Sqlite;
        QString location; // the file path, or the ODBC data source name
    };

    explicit CDatabase(Source source);
    ~CDatabase();

    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    const Source& GetSource() const { return m_source; }

    // The calling thread's open connection. When it cannot be opened the
    // result is not open and *error holds the driver's text.
    //
    // A database server may drop a connection (a restart, a network fault).
    // Before a connection of a server source is handed out after a pause it
    // is checked, and a lost one is opened again: the next use works and the
    // reconnect handler is told once. Inside a transaction nothing is
    // reopened: the server has undone the transaction with the connection,
    // so every use fails until the owner ends it, and CommitTrans reports
    // failure.
    QSqlDatabase Connection(QString* error = nullptr);

    // Called (on the thread that reconnected) each time a lost server
    // connection was opened again.
    void SetReconnectHandler(std::function<void()> handler);
    // Called once (on the thread that noticed it) when the embedded file was
    // replaced by another program (a restore in another instance); the
    // connections open the new file.
    void SetReplacedHandler(std::function<void()> handler);
    // How long a server connection may be idle before it is checked (and
    // the embedded file looked at); 0 checks at every use outside a
    // transaction.
    void SetIdleCheckMs(int milliseconds);

    // How long one step may wait in all for locks other programs hold
    // (CLockWait); the step then fails with the driver's lock error.
    void SetLockWaitMs(int milliseconds);
    int LockWaitMs() const;
    // Told when a step begins to wait and when it is over (the program's
    // wait cursor); on a data source whose driver waits without asking, a
    // step's first write or transaction counts as a wait.
    void SetLockWaitObserver(std::shared_ptr<CLockWaitObserver> observer);
    // A write is about to run on the calling thread: on a data source whose
    // driver waits inside its statements without asking, the step may be
    // waiting from here on (the observer is told).
    void NoteWrite();

    // Whether the source is a database server (not a file the driver opens).
    bool IsServer();
    // Whether the embedded file could be opened for reading only (its file
    // rights, a drive mounted read-only): every write will fail.
    bool IsReadOnly();
    // Whether an insert can hand back the key it made (INSERT ... RETURNING),
    // which stays right while other programs insert at the same time.
    bool ReturnsInsertKeys();

    // A statement prepared once on the calling thread's connection and kept
    // for reuse; null (with *error) when the connection or the statement
    // fails. The caller binds, runs and finishes it before the next use.
    QSqlQuery* Prepared(const QString& sql, QString* error = nullptr);

    // A data source found broken once (not a database, no tables) stays
    // refused with that reason, so one fault is not reported again and again.
    void MarkUnusable(const QString& reason);
    bool IsUsable() const;

    // Whether the driver cuts integers wider than 32 bits as it hands them
    // over (SQLite behind ODBC), so readers must look for such values in the
    // database itself. Known once a connection was made.
    bool NarrowsIntegers() const;

    // Transactions on the calling thread's connection. BeginTrans fails when
    // one is running already on this thread (CTransaction nests instead).
    // After Rollback every record set of this thread that is open, or whose
    // cache followed a write of the transaction, is read again, so none
    // keeps showing rows that were undone.
    bool BeginTrans(QString* error = nullptr);
    // False with the reason in *error when the transaction was not stored.
    bool CommitTrans(QString* error = nullptr);
    bool Rollback();
    bool InTransaction() const;
    // The running transaction's number on this thread (0: none); every
    // transaction gets a new one.
    quint64 TransactionSerial() const;

    // How long a thread waits for its turn behind the program's other
    // threads before it gives up as SQLite would ("database is locked").
    static constexpr int kTurnWaitMs = 30000;

    // A thread's turn at the data source, first come first served among this
    // program's threads: a transaction holds it from begin to end, a single
    // statement outside one (a read, a write) for its duration, and a thread
    // may take it again while it holds it. SQLite only polls for its locks,
    // so a worker that commits batch after batch would otherwise starve the
    // UI thread's reads and writes (or the other way round) until they fail
    // with "database is locked". Throws CDBException when the turn does not
    // come.
    class Turn
    {
    public:
        explicit Turn(CDatabase* pDatabase);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        CDatabase* m_pDatabase;
    };

    // Rows a record set holds back inside a transaction, to send many in one
    // statement (CRecordset::OpenAppendOnly). Before the thread's connection
    // is used for anything else, and before the transaction ends, the set
    // sends them; a rollback drops them unsent.
    void NotePendingRows(CRecordset* set);
    void ForgetPendingRows(CRecordset* set);
    // While one lives on a thread, a use of the connection sends no held-back
    // rows: the set adding its next row.
    using KeepRowsPending = CPendingRows::Keep;
    // Rows the caller was told were added could not be stored: the thread's
    // transaction cannot be committed any more. Every use fails with the
    // reason, CommitTrans reports it, until the owner rolls back.
    void SpoilTransaction(const QString& reason);

    // Nested parts of the running transaction (CTransaction uses them).
    bool Savepoint(int level, QString* error = nullptr);
    bool ReleaseSavepoint(int level, QString* error = nullptr);
    bool RollbackToSavepoint(int level);

    // The path of the database file, or empty when the source has none.
    QString GetDatabaseName();

    // Names of the ODBC data sources (user and system) the driver manager knows.
    static QStringList OdbcDataSources();
    // The ODBC connection handle (SQLHDBC) under a connection of Qt's ODBC
    // driver, or null for any other connection.
    static void* OdbcConnectionHandle(const QSqlDatabase& db);

    // Record sets tell their data source which thread uses them, so a
    // rollback reaches the sets of its own thread only.
    void RegisterRecordset(CRecordset* set);
    void UnregisterRecordset(CRecordset* set);
    void NoteRecordsetUse(CRecordset* set);

    // Shared with the per-thread bookkeeping that removes connections.
    struct State;

private:
    // Why no connection may be used now (an unusable source, a lost or
    // spoiled transaction of this thread); empty: none.
    QString Refusal() const;
    QSqlDatabase Reuse(const QString& name, QString* error);
    QSqlDatabase OpenNew(const QString& name, QString* error);
    // Lets the step's bound decide each wait of an embedded file's
    // connection.
    void WatchLocks(QSqlDatabase& db);
    // Gives a server connection what the step has left to wait.
    void ApplyWaitLimit(QSqlDatabase& db);
    // Ends this thread's transaction when it was lost with its connection.
    bool EndLostTransaction();
    // The name of the calling thread's connection.
    QString ConnectionName() const;

    void AfterRollback(quint64 transaction);
    bool BeginOnConnection(QSqlDatabase& db, QString* error);
    bool TakeTurn();
    void GiveTurn();
    void EndTransaction();
    bool Exec(const QString& sql, QString* error = nullptr);

    Source m_source;
    std::shared_ptr<State> m_state;
};
