#pragma once

#include "CFieldExchange.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

// Reads a query's rows straight from an ODBC driver, a block of rows per
// call into arrays bound to the columns. Qt's ODBC driver asks the driver
// for every value on its own, which over a database server's driver costs
// several times what reading the embedded file does; a cache of 100,000
// events is read this way.
//
// The values handed over are those Qt's driver would give: a number as an
// int (a qlonglong when it does not fit 32 bits), a text as a QString, NULL
// as a null value of the column's type.
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

    // onRow gets one value per column, in the order given, and returns false
    // to stop the read. NotTaken leaves the caller to read the usual way.
    static Outcome Read(const QSqlDatabase& db, const QString& sql, const std::vector<Column>& columns,
                        const std::function<bool(const QVariant* values)>& onRow, QString* error);
};
