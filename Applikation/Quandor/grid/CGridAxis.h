#pragma once

#include <QtGlobal>

#include <vector>

// The sizes of the rows (or the columns) of a grid, with their running sums
// kept in a Fenwick tree: the position of any row, the row under any pixel
// and a size change all cost O(log n), so 100,000 rows scroll and hit-test
// as fast as 10. A size of 0 hides the row: it takes no space.
class CGridAxis
{
public:
    int Count() const { return int(m_sizes.size()); }
    // New entries take "newSize". May throw std::bad_alloc, leaving the axis
    // as it was.
    void Resize(int count, quint32 newSize);
    void Clear();

    // The size of an entry; -1 outside.
    int Size(int index) const;
    void SetSize(int index, quint32 size);
    // Gives every entry from "first" on the same size.
    void SetSizeFrom(int first, quint32 size);

    // Sum of the sizes of the entries before "index" (0..Count()).
    qint64 Offset(int index) const;
    qint64 Total() const { return m_total; }
    // The smallest index (0..Count()) whose offset is at least "offset";
    // Count() when even the total falls short.
    int LowerBound(qint64 offset) const;
    // The entry whose span holds the pixel "offset"; Count() beyond the end.
    int IndexAt(qint64 offset) const
    {
        if (offset < 0)
            return -1;
        if (offset >= m_total)
            return Count();
        return LowerBound(offset + 1) - 1;
    }

private:
    void Rebuild();

    std::vector<quint32> m_sizes;
    std::vector<qint64> m_tree;  // 1-based Fenwick tree over m_sizes
    qint64 m_total = 0;
};
