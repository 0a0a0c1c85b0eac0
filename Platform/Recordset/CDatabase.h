#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

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
    QSqlDatabase Connection(QString* error = nullptr);

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
    Source m_source;
    std::shared_ptr<State> m_state;
};
