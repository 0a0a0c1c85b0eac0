#pragma once

#include "CCellID.h"

// A block of cells, bounds inclusive; all four -1 is no range.
class CCellRange
{
public:
    constexpr CCellRange(int minRow = -1, int minCol = -1, int maxRow = -1, int maxCol = -1)
        : minRow(minRow), minCol(minCol), maxRow(maxRow), maxCol(maxCol)
    {
    }

    constexpr bool IsValid() const
    {
        return minRow >= 0 && minCol >= 0 && maxRow >= 0 && maxCol >= 0 && minRow <= maxRow && minCol <= maxCol;
    }
    constexpr bool InRange(int row, int col) const
    {
        return row >= minRow && row <= maxRow && col >= minCol && col <= maxCol;
    }
    constexpr bool InRange(const CCellID& cell) const { return InRange(cell.row, cell.col); }
    constexpr CCellID GetTopLeft() const { return CCellID(minRow, minCol); }
    constexpr bool operator==(const CCellRange& o) const
    {
        return minRow == o.minRow && minCol == o.minCol && maxRow == o.maxRow && maxCol == o.maxCol;
    }
    constexpr bool operator!=(const CCellRange& o) const { return !(*this == o); }

    int minRow;
    int minCol;
    int maxRow;
    int maxCol;
};
