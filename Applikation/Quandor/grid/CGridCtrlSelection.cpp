// CGridCtrl: which cells are selected, how selections are made and
// extended, and how the focus cell moves.
#include "CGridCtrl.h"

#include "CGridCellBase.h"

#include <QScrollBar>

#include <algorithm>

namespace
{

// A bound inside the fixed part is raised to the first body index; -1 (no
// bound) stays.
int RaiseIntoBody(int index, int firstBody)
{
    return index >= 0 && index < firstBody ? firstBody : index;
}

}  // namespace

CGridCellBase* CGridCtrl::ExistingCell(int row, int col) const
{
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return nullptr;
    if (m_bVirtualMode)
        return m_cache.Find(CCellID::MakeKey(row, col));
    if (std::size_t(row) >= m_rowData.size() || std::size_t(col) >= m_rowData[std::size_t(row)].size())
        return nullptr;
    return m_rowData[std::size_t(row)][std::size_t(col)].get();
}

bool CGridCtrl::MarkSelected(int row, int col, bool select)
{
    return MarkColumnsSelected(row, col, col, select);
}

bool CGridCtrl::MarkColumnsSelected(int row, int firstCol, int lastCol, bool select)
{
    const bool changed = select ? m_SelectedCellMap.InsertColumns(row, firstCol, lastCol)
                                : m_SelectedCellMap.RemoveColumns(row, firstCol, lastCol);
    // A virtual grid's display copies take their selected bit from the map
    // whenever they are looked up; only the cells of normal mode carry it.
    if (changed && !m_bVirtualMode) {
        for (int col = firstCol; col <= lastCol; ++col) {
            if (CGridCellBase* cell = ExistingCell(row, col)) {
                const quint32 state = cell->GetState();
                cell->SetState(select ? state | GVIS_SELECTED : state & ~GVIS_SELECTED);
            }
        }
    }
    return changed;
}

bool CGridCtrl::IsFixedCell(const CCellID& cell) const
{
    return cell.row < m_nFixedRows || cell.col < m_nFixedCols;
}

void CGridCtrl::SelectCellRange(int minRow, int minCol, int maxRow, int maxCol, bool /*redrawNow*/, bool select)
{
    // Nothing is painted outside a paint event here, so an immediate redraw
    // and a later one are the same request.
    const CCellRange visible = GetVisibleNonFixedCellRange();
    bool redraw = false;
    minRow = RaiseIntoBody(minRow, m_nFixedRows);
    maxRow = RaiseIntoBody(maxRow, m_nFixedRows);
    minCol = RaiseIntoBody(minCol, m_nFixedCols);
    maxCol = RaiseIntoBody(maxCol, m_nFixedCols);
    const bool allBounds = minRow >= 0 && minCol >= 0 && maxRow >= 0 && maxCol >= 0;

    if (select) {
        m_SelectedCellMap.RemoveOutside(m_nRows, m_nCols);
        if (!m_SelectedCellMap.IsEmpty()) {
            redraw = m_SelectedCellMap.HasRowIn(visible.minRow, visible.maxRow);
            if (!m_bVirtualMode) {
                for (const CCellID& cell : m_SelectedCellMap.Cells())
                    MarkSelected(cell.row, cell.col, false);
            }
            m_SelectedCellMap.Clear();
        }
        if (!(m_bListMode && m_bSingleRowSelection) && allBounds && !m_PrevSelectedCellMap.IsEmpty()) {
            m_PrevSelectedCellMap.RemoveOutside(m_nRows, m_nCols);
            redraw = redraw || m_PrevSelectedCellMap.HasRowIn(visible.minRow, visible.maxRow);
            if (m_bVirtualMode) {
                m_SelectedCellMap.InsertAll(m_PrevSelectedCellMap);
            } else {
                for (const CCellID& cell : m_PrevSelectedCellMap.Cells())
                    MarkSelected(cell.row, cell.col, true);
            }
        }
        if (minRow == -1) {
            if (redraw && m_bAllowDraw)
                viewport()->update();
            return;
        }
    }

    if (allBounds && maxRow < m_nRows && maxCol < m_nCols && minRow <= maxRow && minCol <= maxCol) {
        for (int row = minRow; row <= maxRow; ++row) {
            if (MarkColumnsSelected(row, minCol, maxCol, select) && row >= visible.minRow && row <= visible.maxRow)
                redraw = true;
        }
    }
    if (redraw && m_bAllowDraw)
        viewport()->update();
}

void CGridCtrl::ExtendSelection(const CCellID& cell)
{
    switch (m_MouseMode) {
    case MOUSE_SELECT_ALL:
        SelectAllBody();
        break;
    case MOUSE_SELECT_COL:
        SelectColumnsTo(cell, false, true);
        break;
    case MOUSE_SELECT_ROW:
        SelectRowsTo(cell, false, true);
        break;
    case MOUSE_SELECT_CELLS:
        SelectCellsTo(cell, false, true);
        break;
    default:
        break;
    }
}

void CGridCtrl::SelectAllBody()
{
    SelectCellRange(m_nFixedRows, m_nFixedCols, m_nRows - 1, m_nCols - 1, false, true);
}

void CGridCtrl::SelectColumnsTo(const CCellID& cell, bool redrawNow, bool select)
{
    if (cell.col < m_nFixedCols || cell.col >= m_nCols)
        return;
    const int anchor = m_SelectionStartCell.col;
    SelectCellRange(m_nFixedRows, std::min(anchor, cell.col), m_nRows - 1, std::max(anchor, cell.col), redrawNow,
                    select);
}

void CGridCtrl::SelectRowsTo(const CCellID& cell, bool redrawNow, bool select)
{
    if (cell.row < m_nFixedRows || cell.row >= m_nRows)
        return;
    if (m_bListMode && m_bSingleRowSelection) {
        SelectCellRange(cell.row, m_nFixedCols, cell.row, m_nCols - 1, redrawNow, select);
        return;
    }
    const int anchor = m_SelectionStartCell.row;
    SelectCellRange(std::min(anchor, cell.row), m_nFixedCols, std::max(anchor, cell.row), m_nCols - 1, redrawNow,
                    select);
}

void CGridCtrl::SelectCellsTo(const CCellID& cell, bool redrawNow, bool select)
{
    if (cell.row < m_nFixedRows || cell.row >= m_nRows || cell.col < m_nFixedCols || cell.col >= m_nCols)
        return;
    const CCellID anchor = m_SelectionStartCell;
    SelectCellRange(std::min(anchor.row, cell.row), std::min(anchor.col, cell.col), std::max(anchor.row, cell.row),
                    std::max(anchor.col, cell.col), redrawNow, select);
}

void CGridCtrl::ClearSelection()
{
    m_PrevSelectedCellMap.Clear();
    SelectCellRange(-1, -1, -1, -1, false, true);
    MoveFocusCell(-1, -1);
}

void CGridCtrl::SelectRows(const QList<uint>* rows)
{
    const CCellRange visible = GetVisibleNonFixedCellRange();
    m_SelectedCellMap.RemoveOutside(m_nRows, m_nCols);
    bool redraw = m_SelectedCellMap.HasRowIn(visible.minRow, visible.maxRow);
    if (!m_bVirtualMode) {
        for (const CCellID& cell : m_SelectedCellMap.Cells())
            MarkSelected(cell.row, cell.col, false);
    }
    m_SelectedCellMap.Clear();
    if (rows && m_nFixedCols < m_nCols) {
        for (uint listed : *rows) {
            // Only body rows: a header or a row the grid does not have
            // would count as a selected record.
            if (listed < uint(m_nFixedRows) || listed >= uint(m_nRows))
                continue;
            const int row = int(listed);
            if (MarkColumnsSelected(row, m_nFixedCols, m_nCols - 1, true) && row >= visible.minRow
                && row <= visible.maxRow)
                redraw = true;
        }
    }
    if (redraw && m_bAllowDraw)
        viewport()->update();
}

CCellID CGridCtrl::MoveFocusCell(int row, int col)
{
    const CCellID previous = m_idCurrentCell;
    if (CCellID(row, col) == previous)
        return previous;
    CCellID cell(RaiseIntoBody(row, m_nFixedRows), RaiseIntoBody(col, m_nFixedCols));
    // A focus outside the grid would leave every key without a cell.
    if (!cell.IsValid() || cell.row >= m_nRows || cell.col >= m_nCols)
        cell = CCellID();
    if (cell == previous)
        return previous;
    m_idCurrentCell = cell;

    if (previous.IsValid()) {
        if (CGridCellBase* old = m_bVirtualMode ? nullptr : ExistingCell(previous.row, previous.col))
            old->SetState(old->GetState() & ~GVIS_FOCUSED);
        InvalidateCell(previous.row, previous.col);
    }
    if (cell.IsValid()) {
        if (CGridCellBase* focus = m_bVirtualMode ? nullptr : ExistingCell(cell.row, cell.col))
            focus->SetState(focus->GetState() | GVIS_FOCUSED);
        InvalidateCell(cell.row, cell.col);
    }
    // Headers show the focus row and column pressed.
    if (previous.col != cell.col) {
        RedrawFocusHeaders(CCellID(-1, previous.col));
        RedrawFocusHeaders(CCellID(-1, cell.col));
    }
    if (previous.row != cell.row) {
        RedrawFocusHeaders(CCellID(previous.row, -1));
        RedrawFocusHeaders(CCellID(cell.row, -1));
    }
    return previous;
}

void CGridCtrl::RedrawFocusHeaders(const CCellID& cell)
{
    if (cell.col >= 0) {
        for (int row = 0; row < m_nFixedRows; ++row)
            InvalidateCell(row, cell.col);
    }
    if (cell.row >= 0) {
        for (int col = 0; col < m_nFixedCols; ++col)
            InvalidateCell(cell.row, col);
    }
}

void CGridCtrl::HeaderRowClick(const CCellID& cell)
{
    if (!cell.IsValid() || !m_bFixedRowSelection)
        return;
    m_MouseMode = cell.col < m_nFixedCols ? MOUSE_SELECT_ALL : MOUSE_SELECT_COL;
    ExtendSelection(cell);
}

void CGridCtrl::HeaderColumnClick(const CCellID& cell)
{
    if (!cell.IsValid() || !m_bFixedColumnSelection)
        return;
    m_MouseMode = cell.row < m_nFixedRows ? MOUSE_SELECT_ALL : MOUSE_SELECT_ROW;
    ExtendSelection(cell);
}

void CGridCtrl::SetListMode(bool on)
{
    ClearSelection();
    if (m_nSortColumn >= 0)
        InvalidateCell(0, m_nSortColumn);
    m_nSortColumn = -1;
    m_bListMode = on;
    m_bFixedColumnSelection = false;
    if (m_bAllowDraw)
        viewport()->update();
}
