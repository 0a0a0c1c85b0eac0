#pragma once

#include <QString>

// Where a grid writes the row heights and column widths that the user gives
// it, keyed by the view code, the grid key and (for widths) the column.
class CGridLayoutStore
{
public:
    virtual ~CGridLayoutStore() = default;

    // The header height (header true) or the height of every data row.
    virtual bool SetRowHeight(QString dialogId, QString gridId, bool header, int height) = 0;
    virtual bool SetColumnWidth(QString dialogId, QString gridId, QString columnId, int width) = 0;
};
