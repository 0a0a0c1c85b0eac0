#pragma once

#include <QtGlobal>

// A cell position; (-1, -1) is no cell.
class CCellID
{
public:
    constexpr CCellID(int row = -1, int col = -1) : row(row), col(col) {}

    constexpr bool IsValid() const { return row >= 0 && col >= 0; }
    constexpr bool operator==(const CCellID& other) const { return row == other.row && col == other.col; }
    constexpr bool operator!=(const CCellID& other) const { return !(*this == other); }

    // Full-width key: rows and columns above 65535 never share a key.
    constexpr quint64 Key() const { return MakeKey(row, col); }
    static constexpr quint64 MakeKey(int row, int col)
    {
        return (quint64(quint32(col)) << 32) | quint64(quint32(row));
    }

    int row;
    int col;
};
