#pragma once

#include <QString>
#include <QStringView>
#include <QVariant>
#include <QtGlobal>

// One row of a read, its values in binding order, valid only during the
// call that hands it over. A text is a view of the reader's own characters
// (the driver's buffer, or the text Qt's driver made), so a caller that
// keeps it converts it once, straight into the form it keeps.
class CRowView
{
public:
    struct Cell
    {
        // Read through Qt's driver: the value as it gave it. Null for a
        // value read from a driver's buffer, which the members below hold.
        const QVariant* value = nullptr;
        bool text = false;
        bool null = true;
        qint64 number = 0;
        // A text column's characters, however the value was read.
        QStringView chars;
    };

    CRowView(const Cell* cells, int count)
        : m_cells(cells)
        , m_count(count)
    {
    }

    int Count() const { return m_count; }
    // The normalised readings of the record sets' members: NULL reads as 0
    // or "", any non-zero flag as 1.
    qint32 Long(int c) const;
    int Bool(int c) const;
    QString Text(int c) const;
    QStringView TextView(int c) const { return m_cells[c].chars; }
    // The value as Qt's driver gives it: a number as an int (a qlonglong
    // when it does not fit 32 bits), a text as a QString, NULL as a null
    // value of the column's type.
    QVariant Value(int c) const;
    // Whether a number column's value fits 32 bits.
    bool FitsLong(int c) const;

private:
    const Cell* m_cells;
    int m_count;
};
