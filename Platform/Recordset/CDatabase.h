#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// One data source: the embedded SQLite file or an ODBC data source name.
//
// Qt SQL connections belong to the thread that made them, so every thread
// that touches the data source gets a connection of its own, made on first
// use and shared by all record sets of this data source on that thread (a
// transaction therefore spans every table of the thread). A thread's
// connections are removed when it ends; the rest when the object dies.
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
    // How long a server connection may be idle before it is checked; 0
    // checks it at every use outside a transaction.
    void SetIdleCheckMs(int milliseconds);
    static constexpr int kDefaultIdleCheckMs = 250;

    // Changes whenever a connection is opened (or opened again), so a
    // statement prepared on a connection can tell it is still valid.
    quint64 Generation() const;

    // Whether the source is a database server (not a file the driver opens).
    bool IsServer();
    // Whether an insert can hand back the key it made (INSERT ... RETURNING),
    // which stays right while other programs insert at the same time.
    bool ReturnsInsertKeys();

    // A data source found broken once (not a database, no tables) stays
    // refused with that reason, so one fault is not reported again and again.
    void MarkUnusable(const QString& reason);
    bool IsUsable() const;

    // Transactions on the calling thread's connection.
    bool BeginTrans();
    bool CommitTrans();
    bool Rollback();
    bool InTransaction() const;

    // The path of the database file, or empty when the source has none.
    QString GetDatabaseName();

    // Names of the ODBC data sources (user and system) the driver manager knows.
    static QStringList OdbcDataSources();

    // Shared with the per-thread bookkeeping that removes connections.
    struct State;

private:
    bool StillConnected(QSqlDatabase& db, const QString& name);
    // Bookkeeping of a connection handed out; tells the reconnect handler
    // when it had been lost.
    void Opened(const QString& name);
    // Ends this thread's transaction when it was lost with its connection.
    bool EndLostTransaction();

    Source m_source;
    std::shared_ptr<State> m_state;
};
