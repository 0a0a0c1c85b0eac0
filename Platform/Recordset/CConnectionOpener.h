#pragma once

#include "CDatabase.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Opens connections to one data source with the driver it needs (Qt's
// SQLite driver for the embedded file, its ODBC driver for a data source
// name) and tells what the data source behind them is.
class CConnectionOpener
{
public:
    // What a data source is; known once a connection was made.
    struct Traits
    {
        // A database server, not a file the driver opens.
        bool server = false;
        // An insert hands back the key it made (INSERT ... RETURNING).
        bool returnsInsertKeys = false;
        // SQLite behind ODBC: the driver hands integer columns over as
        // 32-bit numbers, cutting wider values on the way.
        bool narrowsIntegers = false;
        // SQLite behind ODBC, whose driver begins deferred: a table whose
        // write lock a transaction takes at its start (empty: none).
        QString lockTable;
        // A file behind the connection keeps its rows in one file.
        bool keepsOneFile = false;
    };

    explicit CConnectionOpener(CDatabase::Source source);

    // Makes and opens the named connection; on failure none is left
    // behind and *error says why.
    QSqlDatabase Open(const QString& name, QString* error) const;
    // What the data source behind an open connection is.
    Traits Inspect(const QSqlDatabase& db) const;
    // The rollback journal, not WAL, for a file behind the connection (the
    // caller holds the thread's turn): backup and restore copy one file. A
    // file that cannot be switched now (read-only, or open elsewhere in
    // WAL) is still read; backups copy through SQLite and so stay complete.
    static void UseRollbackJournal(QSqlDatabase& db);

    // The ODBC connection handle (SQLHDBC) under a connection of Qt's ODBC
    // driver, or null for any other connection.
    static void* OdbcConnectionHandle(const QSqlDatabase& db);
    // A text the ODBC driver tells about its connection (SQLGetInfo), or
    // empty.
    static QString OdbcInfo(const QSqlDatabase& db, unsigned short what);
    // Names of the ODBC data sources (user and system) the driver manager knows.
    static QStringList OdbcDataSources();

private:
    const CDatabase::Source m_source;
};
