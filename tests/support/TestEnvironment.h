#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>

// Every test process runs in folders of its own: settings, data, ODBC
// configuration and home. Nothing a test writes can reach the user's files or
// another test process running beside it.
class TestEnvironment
{
public:
    // Sets the environment; must run before the application object exists.
    static void Prepare();
    // Removes the process's folder again.
    static void CleanUp();

    // The process's private folder.
    static QString Root();
    // A fresh, empty folder below Root().
    static QString NewFolder(const QString& hint);
    // The source tree (for golden files).
    static QString SourceDir();

    // Writes an ODBC user DSN "name" over the SQLite3 ODBC driver for the
    // database file "dbFile" into the process's ODBC configuration. An empty
    // driver path names a driver that does not exist.
    static void WriteOdbcDsn(const QString& name, const QString& dbFile, bool missingDriver = false);
    // Removes every user DSN again.
    static void ClearOdbcDsns();

    // The driver manager remembers each data source's driver for the rest of
    // the process, so a test that needs another driver under the same data
    // source name runs alone in a new process of the test program. Returns
    // true inside that process (the caller goes on with the test); outside
    // it, runs the current test there, fails the test when it fails there,
    // and returns false (the caller returns).
    static bool InFreshProcess();

    // The database server backend (--quandor-backend=postgres): a private
    // PostgreSQL cluster that the test run's fixture started. Every call of
    // NewPostgresDatabase makes a database of its own from the template that
    // holds the six tables; the process drops its databases when it ends.
    static bool PostgresBackend();
    // Why the test run could start no cluster (written by the cluster
    // script); empty when it could.
    static QString PostgresUnavailable();
    // The folder of the cluster's socket; empty (with *error) when the
    // cluster is not running.
    static QString PostgresSocket(QString* error = nullptr);
    // A new database with the six tables and the seed rows; empty with
    // *error when the server cannot be reached.
    static QString NewPostgresDatabase(QString* error = nullptr);
    // Writes an ODBC user DSN "name" over psqlODBC for that database.
    static void WritePostgresDsn(const QString& name, const QString& database);
    // Runs statements in one transaction on that database through a
    // connection of its own; false with *error at the first that fails.
    static bool PostgresExec(const QString& database, const QStringList& statements, QString* error = nullptr);
    // The rows a query gives, columns joined by '|'.
    static QStringList PostgresRows(const QString& database, const QString& query, QString* error = nullptr);
    // A statement written as the embedded file takes it, for the server:
    // there names keep the case they were created with, so every table and
    // column name is quoted.
    static QString PostgresSql(QString statement);
    // Rows seeded with keys of their own leave the server's key sequences
    // behind, where the embedded file would hand out the next key after
    // them. For statements that insert, the statements that move every
    // sequence past the largest key (never back); none otherwise.
    static QStringList PostgresFollowKeys(const QStringList& seeding);
    // A trigger "name" that refuses the operation ("INSERT", "UPDATE" or
    // "DELETE") on rows of the table where the condition on NEW or OLD holds
    // (every row for an empty one), with the message as the database's
    // error: the statements in the embedded file's or (for the server, still
    // to be passed through PostgresSql) the server's dialect.
    static QStringList RefusalSql(bool server, const QString& name, const QString& operation, const QString& table,
                                  const QString& condition, const QString& message);
    static QStringList DropRefusalSql(bool server, const QString& name, const QString& table);
    // Ends every other connection to that database from the server's side,
    // as a server restart does to its clients (the server stays up for the
    // tests running beside). False with *error.
    static bool DropPostgresConnections(const QString& database, QString* error = nullptr);

    // Runs body as a user without root's right to write read-only files:
    // directly when the process is no root, else in a child process that
    // gave up root (the process's folders are opened to it first). Returns
    // body's result; a child that cannot be started counts as failure.
    static bool RunWithoutRoot(const std::function<bool()>& body);
};

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
