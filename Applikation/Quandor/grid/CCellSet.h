#pragma once

#include "CCellID.h"

#include <QtGlobal>

#include <unordered_map>
#include <vector>

// A set of cell positions, kept row by row with one bit per column, so whole
// rows of a 100,000-row grid are selected, tested and cleared without an
// entry per cell. Positions are full-width ints; negative ones are never
// members.
class CCellSet
{
public:
    bool Contains(int row, int col) const;
    bool ContainsRow(int row) const { return m_rows.count(row) != 0; }
    // Each gives true when the set changed.
    bool Insert(int row, int col);
    bool Remove(int row, int col);
    // Columns firstCol..lastCol of one row.
    bool InsertColumns(int row, int firstCol, int lastCol);
    bool RemoveColumns(int row, int firstCol, int lastCol);
    void InsertAll(const CCellSet& other);
    void Clear();
    // Drops every position outside rows x cols.
    void RemoveOutside(int rows, int cols);

    bool IsEmpty() const { return m_count == 0; }
    qint64 Count() const { return m_count; }
    // Whether any member lies in the rows firstRow..lastRow.
    bool HasRowIn(int firstRow, int lastRow) const;
    // The rows that hold members, ascending.
    std::vector<int> Rows() const;
    // Every member, by row and then column.
    std::vector<CCellID> Cells() const;
    // The members of one row, ascending.
    std::vector<int> ColumnsOf(int row) const;

private:
    // The columns of one row: the first 64 in a word of their own, since
    // grids rarely have more.
    class Columns
    {
    public:
        bool Test(int col) const;
        // The number of columns that changed.
        int Set(int firstCol, int lastCol);
        int Reset(int firstCol, int lastCol);
        int Unite(const Columns& other);
        int Count() const { return m_count; }
        int Last() const;
        void AppendTo(std::vector<int>& cols) const;

    private:
        quint64* Word(int index, bool grow);
        const quint64* Word(int index) const;

        quint64 m_first = 0;
        std::vector<quint64> m_more;
        int m_count = 0;
    };

    std::unordered_map<int, Columns> m_rows;
    qint64 m_count = 0;
    // Upper bounds of every member since the last Clear: a set inside the
    // grid needs no walk to find members outside it.
    int m_maxRow = -1;
    int m_maxCol = -1;
};
