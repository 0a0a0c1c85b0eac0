#pragma once

#include "CDatabase.h"

#include <QString>

// Where the program's data lives and what a new embedded database holds.
class CFerrold_Schema
{
public:
    // The ODBC data source "Quandor" when the driver manager lists one, else
    // the embedded file.
    static CDatabase::Source DefaultSource();
    // The embedded file "Quandor.mdb" in the user's data folder.
    static QString DefaultFilePath();

    // Makes sure the data source holds the six tables. An embedded file gets
    // the tables it lacks, and the rows a new database starts with; an ODBC
    // data source must bring its own tables. False with the reason when the
    // data source cannot be used.
    static bool Prepare(CDatabase& database, QString* error);

    // Whether the file is an intact embedded database holding the six tables
    // with every column a new one gets. Read only: the file is not changed.
    // False with the reason otherwise.
    static bool IsDatabaseFile(const QString& path, QString* error);

    // Writes one consistent state of the database file "from" (rows still in
    // a write-ahead log beside it included) into the new file "to", which
    // must not exist yet. "from" is only read. False with the reason.
    static bool WriteSnapshot(const QString& from, const QString& to, QString* error);

    static const char* const TableNames[6];

    // The longest name (of a person, a reader, a time schema) the program
    // stores, as the text columns of the original database hold it. The
    // grid, the record views, the CSV import and the export keep to it, so
    // every name the program writes can be read back.
    static constexpr int kMaxNameLength = 255;
};
