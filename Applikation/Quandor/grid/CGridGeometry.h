#pragma once

#include "CCellID.h"
#include "CCellRange.h"
#include "CGridAxis.h"

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the cells of a grid lie in its visible area, and which cell lies
// under a point. The fixed rows stay at the top and the frozen columns
// (fixed and title columns) at the left; the rest scrolls beneath them by
// the scroll position in pixels, whole cells at a time. Pure arithmetic over
// the two axes: the grid makes one when it needs an answer, and nothing here
// needs a widget.
class CGridGeometry
{
public:
    CGridGeometry(const CGridAxis& rows, const CGridAxis& cols, int fixedRows, int frozenCols, QPoint scroll,
                  QSize client);

    int FixedRowHeight() const;
    int FrozenColumnWidth() const;

    // The first scrolled row and column shown.
    CCellID TopLeftNonFixedCell() const;
    // False for a cell outside the grid or scrolled out above or to the left.
    bool CellOrigin(int row, int col, QPoint* origin) const;
    // The scrolled cells at least partly in view, and their rectangle.
    CCellRange VisibleNonFixedCellRange(QRect* rect = nullptr) const;
    // The scrolled cells wholly in view.
    CCellRange UnobstructedNonFixedCellRange() const;
    // The cell under a point of the visible area; -1 for a row or column
    // beyond the grid, or in the fixed part unless "allowFixed".
    CCellID CellFromPoint(QPoint point, bool allowFixed) const;

private:
    // The last index whose span starts within "limit" pixels from the start
    // of "top" (at least top - 1).
    static int LastStarting(const CGridAxis& axis, int top, qint64 limit);
    // The last index whose span ends within them (at least top - 1).
    static int LastEnding(const CGridAxis& axis, int top, qint64 limit);

    const CGridAxis& m_rows;
    const CGridAxis& m_cols;
    int m_fixedRows;
    int m_frozenCols;
    QPoint m_scroll;
    QSize m_client;
};
