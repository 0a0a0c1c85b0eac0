#pragma once

#include "CFieldExchange.h"
#include "CRowView.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <vector>

// Reads a query's rows straight from an ODBC driver, a block of rows per
// call into arrays bound to the columns. Qt's ODBC driver asks the driver
// for every value on its own, which over a database server's driver costs
// several times what reading the embedded file does; a cache of 100,000
// events is read this way.
//
// A row is handed over as views into the arrays (CRowView), so a text goes
// from the driver's buffer to the caller's own form in one conversion.
class COdbcBlockReader
{
public:
    enum class Outcome
    {
        Read,     // every row was handed over
        NotTaken, // nothing was handed over: the connection or a column is not one this reader serves
        Failed,   // the driver failed (*error says why), or onRow stopped the read
    };

    struct Column
    {
        QString name; // as the query returns it; matched regardless of case
        CFieldExchange::Type type;
    };

    // onRow gets the row's values in the order of the columns given, and
    // returns false to stop the read. NotTaken leaves the caller to read the
    // usual way.
    static Outcome Read(const QSqlDatabase& db, const QString& sql, const std::vector<Column>& columns,
                        const std::function<bool(const CRowView& row)>& onRow, QString* error);
};
