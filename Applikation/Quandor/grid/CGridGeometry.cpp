#include "CGridGeometry.h"

#include <algorithm>
#include <climits>

namespace {

int ClampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

// The first index whose span starts at or after "offset" pixels into the
// scrolled part that begins at "first", kept within [first, count - 1].
int FirstScrolled(const CGridAxis& axis, int first, int offset)
{
    const int index = axis.LowerBound(axis.Offset(first) + offset);
    return std::min(std::max(index, first), std::max(first, axis.Count() - 1));
}

} // namespace

CGridGeometry::CGridGeometry(const CGridAxis& rows, const CGridAxis& cols, int fixedRows, int frozenCols,
                             QPoint scroll, QSize client)
    : m_rows(rows), m_cols(cols), m_fixedRows(fixedRows), m_frozenCols(frozenCols), m_scroll(scroll),
      m_client(client)
{
}

int CGridGeometry::FixedRowHeight() const
{
    return ClampToInt(m_rows.Offset(m_fixedRows));
}

int CGridGeometry::FrozenColumnWidth() const
{
    return ClampToInt(m_cols.Offset(m_frozenCols));
}

CCellID CGridGeometry::TopLeftNonFixedCell() const
{
    return CCellID(FirstScrolled(m_rows, m_fixedRows, m_scroll.y()), FirstScrolled(m_cols, m_frozenCols, m_scroll.x()));
}

bool CGridGeometry::CellOrigin(int row, int col, QPoint* origin) const
{
    if (row < 0 || row >= m_rows.Count() || col < 0 || col >= m_cols.Count())
        return false;
    const CCellID topLeft = TopLeftNonFixedCell();
    if ((row >= m_fixedRows && row < topLeft.row) || (col >= m_frozenCols && col < topLeft.col))
        return false;
    qint64 x = m_cols.Offset(col);
    if (col >= m_frozenCols)
        x = m_cols.Offset(m_frozenCols) + x - m_cols.Offset(topLeft.col);
    qint64 y = m_rows.Offset(row);
    if (row >= m_fixedRows)
        y = m_rows.Offset(m_fixedRows) + y - m_rows.Offset(topLeft.row);
    if (origin)
        *origin = QPoint(ClampToInt(x), ClampToInt(y));
    return true;
}

int CGridGeometry::LastStarting(const CGridAxis& axis, int top, qint64 limit)
{
    const int last = std::min(axis.LowerBound(axis.Offset(top) + limit) - 1, axis.Count() - 1);
    return std::max(last, top - 1);
}

int CGridGeometry::LastEnding(const CGridAxis& axis, int top, qint64 limit)
{
    const qint64 end = axis.Offset(top) + limit;
    int last = std::min(axis.LowerBound(end + 1) - 2, axis.Count() - 1);
    if (axis.Total() <= end)
        last = axis.Count() - 1;
    return std::max(last, top - 1);
}

CCellRange CGridGeometry::VisibleNonFixedCellRange(QRect* rect) const
{
    const CCellID topLeft = TopLeftNonFixedCell();
    const int fixedHeight = FixedRowHeight();
    const int frozenWidth = FrozenColumnWidth();
    const int lastRow = LastStarting(m_rows, topLeft.row, m_client.height() - fixedHeight);
    const int lastCol = LastStarting(m_cols, topLeft.col, m_client.width() - frozenWidth);
    if (rect) {
        const qint64 bottom = fixedHeight + m_rows.Offset(lastRow + 1) - m_rows.Offset(topLeft.row);
        const qint64 right = frozenWidth + m_cols.Offset(lastCol + 1) - m_cols.Offset(topLeft.col);
        *rect = QRect(QPoint(frozenWidth, fixedHeight), QPoint(ClampToInt(right) - 1, ClampToInt(bottom) - 1));
    }
    return CCellRange(topLeft.row, topLeft.col, lastRow, lastCol);
}

CCellRange CGridGeometry::UnobstructedNonFixedCellRange() const
{
    const CCellID topLeft = TopLeftNonFixedCell();
    return CCellRange(topLeft.row, topLeft.col,
                      LastEnding(m_rows, topLeft.row, m_client.height() - FixedRowHeight()),
                      LastEnding(m_cols, topLeft.col, m_client.width() - FrozenColumnWidth()));
}

CCellID CGridGeometry::CellFromPoint(QPoint point, bool allowFixed) const
{
    const CCellID topLeft = TopLeftNonFixedCell();
    // The index under a pixel "at" of an axis whose first "fixed" pixels do
    // not scroll.
    auto indexAt = [allowFixed](const CGridAxis& axis, int at, int fixedSize, int firstScrolled) {
        if (at < 0)
            return -1;
        if (at < fixedSize)
            return allowFixed ? axis.IndexAt(at) : -1;
        const int index = axis.IndexAt(axis.Offset(firstScrolled) + (at - fixedSize));
        return index < axis.Count() ? index : -1;
    };
    return CCellID(indexAt(m_rows, point.y(), FixedRowHeight(), topLeft.row),
                   indexAt(m_cols, point.x(), FrozenColumnWidth(), topLeft.col));
}
