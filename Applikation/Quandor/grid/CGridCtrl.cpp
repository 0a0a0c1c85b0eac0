#include "CGridCtrl.h"

#include "CDialogSetup.h"
#include "CGridCell.h"
#include "CGridCellBase.h"
#include "CGridEditorWnd.h"
#include "CGridNotifyReceiver.h"
#include "CTitleTipWnd.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <exception>
#include <new>

namespace
{

// Sizes beyond this are refused: a row or column taller than any screen only
// breaks the scroll arithmetic.
constexpr int kMaxCellSize = 32767;

// The display cache keeps copies of positions that scrolled out of view
// until it holds this many times the visible cells (and at least
// kMinCacheEntries); then they are dropped and asked for again when shown.
constexpr std::size_t kCacheVisibleFactor = 4;
constexpr std::size_t kMinCacheEntries = 4096;

int ClampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, INT_MIN, INT_MAX));
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

CGridCtrl::CGridCtrl(CDialogSetup* layoutStore, const QString& viewCode, const QString& gridKey, int rows,
                     int cols, int fixedRows, int fixedCols, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_pLayoutStore(layoutStore),
      m_strViewCode(viewCode),
      m_strGridKey(gridKey)
{
    setObjectName(QStringLiteral("QuandorGridCtrl"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    // Input: hover shows the sizing cursors before a press, the first
    // character of an input method starts an edit, and a right click is
    // the grid's own (NM_RCLICK), not a context-menu event for the view.
    setAttribute(Qt::WA_InputMethodEnabled);
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->installEventFilter(this);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnVerticalAction(action); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnHorizontalAction(action); });

    m_rowHeights.Clear();
    m_colWidths.Clear();
    ReadSystemColours(false);
    m_crGridLineColour = 0xC0C0C0;
    m_nRowsPerWheelNotch = QApplication::wheelScrollLines();
    m_pDefaultCellClass = &CGridCell::GetThisClass();

    CGridDefaultCell* defaults[] = {&m_cellDefault, &m_cellFixedColDef, &m_cellFixedRowDef, &m_cellFixedRowColDef};
    for (CGridDefaultCell* cell : defaults) {
        cell->SetGrid(this);
        cell->SetTextClr(m_crWindowText);
        cell->SetBackClr(cell == &m_cellDefault ? m_crWindowColour : m_crBtnFaceColour);
    }
    m_crGridBkColour = m_crShadowColour;

    SetRowCount(rows);
    SetColumnCount(cols);
    SetFixedRowCount(fixedRows);
    SetFixedColumnCount(fixedCols);
}

CGridCtrl::~CGridCtrl()
{
    // An editor still open has nobody left to report to: it closes without
    // a word instead of reaching a grid half taken apart.
    if (auto* open = dynamic_cast<CGridEditorWnd*>(m_activeEditor.data()))
        open->DiscardEdit();
    delete m_activeEditor.data();
    m_dropTarget.Revoke();
}

bool CGridCtrl::CreateGrid(const QRect& rect, QWidget* parent, quint32 id, quint32 style)
{
    if (parent != parentWidget())
        setParent(parent);
    setGeometry(rect);
    m_nID = id;
    if (style & 0x10000000u)
        show();
    ResetScrollBars();
    return true;
}

void CGridCtrl::SetOwner(CGridNotifyReceiver* owner)
{
    m_pOwner = owner;
    QObject* object = dynamic_cast<QObject*>(owner);
    m_bOwnerIsObject = object != nullptr;
    m_ownerObject = object;
}

CGridNotifyReceiver* CGridCtrl::GetReceiver() const
{
    if (m_pOwner) {
        // An owner that is a Qt object may go away before the grid does.
        if (m_bOwnerIsObject && !m_ownerObject)
            return nullptr;
        return m_pOwner;
    }
    for (QWidget* widget = parentWidget(); widget; widget = widget->parentWidget()) {
        if (auto* receiver = dynamic_cast<CGridNotifyReceiver*>(widget))
            return receiver;
    }
    return nullptr;
}

void CGridCtrl::SendDispInfo(GRID_DISPINFO& info)
{
    CGridNotifyReceiver* receiver = GetReceiver();
    if (!receiver)
        return;
    info.hdr.hwndFrom = this;
    info.hdr.idFrom = m_nID;
    CellUseScope scope(*this);
    try {
        receiver->OnGridDispInfo(info);
    } catch (const std::exception& error) {
        // The exchange runs inside a paint; an exception must not end the
        // program. The cell simply shows what the record holds.
        qWarning("Grid %u: display request failed: %s", m_nID, error.what());
    }
}

void CGridCtrl::SendCacheHint(const CCellRange& range)
{
    CGridNotifyReceiver* receiver = GetReceiver();
    if (!receiver)
        return;
    GRID_CACHEHINT hint;
    hint.hdr = {this, m_nID, GRIDN_CACHEHINT};
    hint.range = range;
    CellUseScope scope(*this);
    try {
        receiver->OnGridCacheHint(hint);
    } catch (const std::exception& error) {
        qWarning("Grid %u: cache hint failed: %s", m_nID, error.what());
    }
}

// ---------------------------------------------------------------------------
// Cell lifetime

CGridCtrl::CellUseScope::CellUseScope(CGridCtrl& grid) : m_grid(grid)
{
    ++m_grid.m_nCellUseDepth;
}

CGridCtrl::CellUseScope::~CellUseScope()
{
    if (--m_grid.m_nCellUseDepth == 0 && m_grid.m_cache.HasRetired())
        m_grid.ScheduleRelease();
}

void CGridCtrl::ScheduleRelease()
{
    if (m_bReleaseScheduled)
        return;
    m_bReleaseScheduled = true;
    // Not now: whoever just received a cell pointer from the grid may still
    // be using it. The next turn of the event loop is safe, unless it runs
    // nested inside a grid operation, which the depth tells.
    QTimer::singleShot(0, this, [this]() { ReleaseRetiredCells(); });
}

void CGridCtrl::ReleaseRetiredCells()
{
    m_bReleaseScheduled = false;
    if (m_nCellUseDepth > 0)
        return;  // the closing scope schedules again
    m_cache.ReleaseRetired();
}

void CGridCtrl::RetireCell(std::unique_ptr<CGridCellBase> cell)
{
    if (!cell)
        return;
    // Display copies of a list cell read the entries of the cell they were
    // copied from; none of them may outlive it in the cache.
    m_cache.MarkStale();
    m_cache.DropIfStale();
    m_cache.Retire(std::move(cell));
    if (m_nCellUseDepth == 0)
        ScheduleRelease();
}

void CGridCtrl::MarkCacheStale()
{
    m_cache.MarkStale();
}

// ---------------------------------------------------------------------------
// Counts

int CGridCtrl::GetFrozenColumnCount() const
{
    return std::min(m_nFixedCols + m_nTitleCols, m_nCols);
}

void CGridCtrl::SetTitleMode(int count, const QString& text1, const QString& text2)
{
    m_nTitleCols = std::max(count, 0);
    m_strTitleText1 = text1;
    m_strTitleText2 = text2;
    ResetScrollBars();
    viewport()->update();
}

bool CGridCtrl::SetRowCount(int rows)
{
    if (rows < 0)
        return false;
    if (rows == m_nRows)
        return true;
    // Rows and columns are about to mean other records: an open edit
    // reports to the record it began on, now.
    EndActiveEdit();

    try {
        // Everything that can fail is prepared aside, so a failure leaves the
        // grid exactly as it was.
        CGridAxis heights = m_rowHeights;
        heights.Resize(rows, quint32(std::max(m_cellDefault.GetHeight(), 0)));
        std::vector<CellRow> newRows;
        if (!m_bVirtualMode && rows > m_nRows) {
            newRows.reserve(std::size_t(rows - m_nRows));
            for (int row = m_nRows; row < rows; ++row) {
                CellRow cells;
                cells.reserve(std::size_t(m_nCols));
                for (int col = 0; col < m_nCols; ++col)
                    cells.push_back(CreateCell(row, col));
                newRows.push_back(std::move(cells));
            }
            m_rowData.reserve(std::size_t(rows));
        }

        m_nFixedRows = std::min(m_nFixedRows, rows);
        if (m_idCurrentCell.row >= rows)
            m_idCurrentCell = CCellID();
        if (!m_bVirtualMode && rows < m_nRows) {
            for (int row = rows; row < m_nRows; ++row) {
                for (int col = 0; col < m_nCols; ++col)
                    DestroyCell(row, col);
            }
            m_rowData.resize(std::size_t(rows));
        }
        for (CellRow& cells : newRows)
            m_rowData.push_back(std::move(cells));
        m_rowHeights = std::move(heights);
        m_nRows = rows;
    } catch (const std::bad_alloc&) {
        return false;
    }

    // An order sorted for another row count means nothing any more; it would
    // come back into force by chance when the count returns.
    ClearRowOrder();
    AfterCountChange();
    return true;
}

bool CGridCtrl::SetColumnCount(int cols)
{
    if (cols < 0)
        return false;
    if (cols == m_nCols)
        return true;
    // Rows and columns are about to mean other records: an open edit
    // reports to the record it began on, now.
    EndActiveEdit();
    const int oldCols = m_nCols;

    try {
        CGridAxis widths = m_colWidths;
        widths.Resize(cols, quint32(std::max(m_cellFixedColDef.GetWidth(), 0)));
        std::vector<CellRow> newCells;
        if (!m_bVirtualMode && cols > m_nCols) {
            newCells.resize(std::size_t(m_nRows));
            for (int row = 0; row < m_nRows; ++row) {
                newCells[std::size_t(row)].reserve(std::size_t(cols - m_nCols));
                for (int col = m_nCols; col < cols; ++col)
                    newCells[std::size_t(row)].push_back(CreateCell(row, col));
                m_rowData[std::size_t(row)].reserve(std::size_t(cols));
            }
        }

        m_nFixedCols = std::min(m_nFixedCols, cols);
        if (m_idCurrentCell.col >= cols)
            m_idCurrentCell = CCellID();
        if (!m_bVirtualMode) {
            if (cols < m_nCols) {
                for (int row = 0; row < m_nRows; ++row) {
                    for (int col = cols; col < m_nCols; ++col)
                        DestroyCell(row, col);
                    m_rowData[std::size_t(row)].resize(std::size_t(cols));
                }
            } else {
                for (int row = 0; row < m_nRows; ++row) {
                    for (auto& cell : newCells[std::size_t(row)])
                        m_rowData[std::size_t(row)].push_back(std::move(cell));
                }
            }
        }
        m_colWidths = std::move(widths);
        m_nCols = cols;
    } catch (const std::bad_alloc&) {
        return false;
    }

    if (m_bVirtualMode) {
        ResizeColumnTemplates(oldCols);
        // New columns need their header cells as the fixed rows' count gave
        // them to the first ones, or their titles never show.
        ApplyFixedRowChange(0, std::min(m_nFixedRows, m_nRows));
    }
    AfterCountChange();
    return true;
}

void CGridCtrl::ResizeColumnTemplates(int oldCols)
{
    if (!m_bHasTemplateRow) {
        RebuildColumnTemplates();
        return;
    }
    // The kept columns keep their cell types, titles and item data: a view
    // that refills with one reader fewer sets up its own columns before the
    // reader columns change the count. Cells of columns that go are dropped,
    // so a column that comes back starts afresh.
    const int kept = std::min(oldCols, m_nCols);
    for (std::size_t col = std::size_t(kept); col < m_templateRow.size(); ++col)
        RetireCell(std::move(m_templateRow[col]));
    m_templateRow.resize(std::size_t(kept));
    while (m_arColumnTitles.size() > kept)
        m_arColumnTitles.removeLast();
    m_arColumnItemData.resize(std::size_t(kept));
    if (m_nCols < oldCols)
        DropExplicitCellsFrom(m_nCols);
    for (int col = kept; col < m_nCols; ++col) {
        m_arColumnTitles.append(QString());
        m_arColumnItemData.push_back(0);
        m_templateRow.push_back(NewCell(0, col, col < m_nFixedCols ? GVIS_FIXEDCOL_BITS : 0));
    }
}

void CGridCtrl::DropExplicitCellsFrom(int firstCol)
{
    std::vector<CellEntry> keptCells;
    keptCells.reserve(m_explicitCells.size());
    for (CellEntry& entry : m_explicitCells) {
        if (entry.col >= firstCol)
            RetireCell(std::move(entry.cell));
        else
            keptCells.push_back(std::move(entry));
    }
    m_explicitCells = std::move(keptCells);
    m_explicitIndex.clear();
    for (std::size_t i = 0; i < m_explicitCells.size(); ++i)
        m_explicitIndex.emplace(CCellID::MakeKey(m_explicitCells[i].row, m_explicitCells[i].col), i);
    std::vector<CellBlock> keptBlocks;
    for (CellBlock& block : m_explicitBlocks) {
        block.endCol = std::min(block.endCol, firstCol);
        if (block.firstCol < block.endCol)
            keptBlocks.push_back(std::move(block));
        else
            RetireCell(std::move(block.prototype));
    }
    m_explicitBlocks = std::move(keptBlocks);
}

void CGridCtrl::RebuildColumnTemplates()
{
    for (auto& cell : m_templateRow)
        RetireCell(std::move(cell));
    m_templateRow.clear();
    m_arColumnTitles.clear();
    m_arColumnItemData.clear();

    m_bHasTemplateRow = true;
    m_arColumnTitles.reserve(m_nCols);
    for (int col = 0; col < m_nCols; ++col)
        m_arColumnTitles.append(QString());
    m_arColumnItemData.assign(std::size_t(m_nCols), 0);
    m_templateRow.reserve(std::size_t(m_nCols));
    for (int col = 0; col < m_nCols; ++col) {
        auto cell = NewCell(0, col, col < m_nFixedCols ? GVIS_FIXEDCOL_BITS : 0);
        if (!cell)
            break;
        m_templateRow.push_back(std::move(cell));
    }
}

bool CGridCtrl::SetFixedRowCount(int fixedRows)
{
    if (fixedRows < 0)
        return false;
    if (fixedRows == m_nFixedRows)
        return true;
    if (fixedRows > m_nRows && !SetRowCount(fixedRows))
        return false;
    if (m_idCurrentCell.row >= 0 && m_idCurrentCell.row < fixedRows)
        m_idCurrentCell = CCellID();
    const int oldCount = m_nFixedRows;
    m_nFixedRows = fixedRows;
    ApplyFixedRowChange(oldCount, fixedRows);
    AfterCountChange();
    return true;
}

bool CGridCtrl::SetFixedColumnCount(int fixedCols)
{
    if (fixedCols < 0)
        return false;
    if (fixedCols == m_nFixedCols)
        return true;
    if (fixedCols > m_nCols && !SetColumnCount(fixedCols))
        return false;
    if (m_idCurrentCell.col >= 0 && m_idCurrentCell.col < fixedCols)
        m_idCurrentCell = CCellID();
    const int oldCount = m_nFixedCols;
    m_nFixedCols = fixedCols;
    ApplyFixedColumnChange(oldCount, fixedCols);
    AfterCountChange();
    return true;
}

void CGridCtrl::ApplyFixedRowChange(int oldCount, int newCount)
{
    if (m_bVirtualMode) {
        // The display copies of the walk the other mode does would be thrown
        // away with the stale cache at once; only the explicit cells stay.
        for (int row = oldCount; row < newCount; ++row) {
            for (int col = 0; col < m_nCols; ++col) {
                if (!FindExplicitCell(row, col)) {
                    const quint32 bits = GVIS_FIXEDROW_BITS | (col < m_nFixedCols ? GVIS_FIXEDCOL_BITS : 0);
                    if (auto cell = NewCell(row, col, bits))
                        AddExplicitCell(row, col, std::move(cell));
                }
            }
        }
        return;
    }
    const bool growing = newCount > oldCount;
    for (int row = std::min(oldCount, newCount); row < std::max(oldCount, newCount); ++row) {
        for (int col = 0; col < m_nCols; ++col) {
            CGridCellBase* cell = GetCellAt(row, col);
            if (!cell)
                continue;
            quint32 state = cell->GetState() & ~GVIS_FIXEDROW_BITS;
            if (growing)
                state |= GVIS_FIXEDROW_BITS;
            if (col < m_nFixedCols)
                state |= GVIS_FIXEDCOL_BITS;
            SetItemState(row, col, state);
            cell->SetBackClr(CLR_DEFAULT);
            cell->SetTextClr(CLR_DEFAULT);
            cell->SetFormat(cell->GetFormat() | DT_CENTER | DT_VCENTER);
        }
    }
}

void CGridCtrl::ApplyFixedColumnChange(int oldCount, int newCount)
{
    if (m_bVirtualMode) {
        // Fixed rows get cells of their own; the data rows, alike in every
        // row, share one prototype until one of them is asked for.
        for (int row = 0; row < std::min(m_nFixedRows, m_nRows); ++row) {
            for (int col = oldCount; col < newCount; ++col) {
                if (!FindExplicitCell(row, col)) {
                    if (auto cell = NewCell(row, col, GVIS_FIXEDCOL_BITS | GVIS_FIXEDROW_BITS))
                        AddExplicitCell(row, col, std::move(cell));
                }
            }
        }
        if (newCount > oldCount && m_nRows > m_nFixedRows) {
            if (auto prototype = NewCell(m_nFixedRows, oldCount, GVIS_FIXEDCOL_BITS))
                m_explicitBlocks.push_back(CellBlock{m_nFixedRows, m_nRows, oldCount, newCount, std::move(prototype)});
        }
        return;
    }
    const bool growing = newCount > oldCount;
    for (int row = 0; row < m_nRows; ++row) {
        for (int col = std::min(oldCount, newCount); col < std::max(oldCount, newCount); ++col) {
            CGridCellBase* cell = GetCellAt(row, col);
            if (!cell)
                continue;
            quint32 state = cell->GetState() & ~GVIS_FIXEDCOL_BITS;
            if (growing)
                state |= GVIS_FIXEDCOL_BITS;
            if (row < m_nFixedRows)
                state |= GVIS_FIXEDROW_BITS;
            SetItemState(row, col, state);
            cell->SetBackClr(CLR_DEFAULT);
            cell->SetTextClr(CLR_DEFAULT);
            cell->SetFormat(cell->GetFormat() | DT_CENTER | DT_VCENTER);
        }
    }
}

void CGridCtrl::AfterCountChange()
{
    ResetSelectedRange();
    MarkCacheStale();
    ResetScrollBars();
    SetCellModified(true, -1, -1);
    if (m_bAllowDraw)
        viewport()->update();
}

// ---------------------------------------------------------------------------
// Cells

std::unique_ptr<CGridCellBase> CGridCtrl::NewCell(int row, int col, quint32 stateBits)
{
    if (!m_pDefaultCellClass)
        return nullptr;
    std::unique_ptr<CGridCellBase> cell = m_pDefaultCellClass->CreateObject();
    if (!cell)
        return nullptr;
    cell->SetGrid(this);
    cell->SetCoords(row, col);
    cell->SetState(cell->GetState() | stateBits);
    if (const CGridDefaultCell* defaultCell = cell->GetDefaultCell())
        cell->SetFormat(defaultCell->GetFormat());
    return cell;
}

std::unique_ptr<CGridCellBase> CGridCtrl::CreateCell(int row, int col)
{
    const quint32 bits = (row < m_nFixedRows ? GVIS_FIXEDROW_BITS : 0) | (col < m_nFixedCols ? GVIS_FIXEDCOL_BITS : 0);
    return NewCell(row, col, bits);
}

void CGridCtrl::DestroyCell(int row, int col)
{
    SetItemState(row, col, 0);
    if (std::size_t(row) < m_rowData.size() && std::size_t(col) < m_rowData[std::size_t(row)].size())
        RetireCell(std::move(m_rowData[std::size_t(row)][std::size_t(col)]));
}

CGridCellBase* CGridCtrl::FindExplicitCell(int row, int col, bool* shared) const
{
    if (shared)
        *shared = false;
    const auto it = m_explicitIndex.find(CCellID::MakeKey(row, col));
    if (it != m_explicitIndex.end())
        return m_explicitCells[it->second].cell.get();
    for (const CellBlock& block : m_explicitBlocks) {
        if (row >= block.firstRow && row < block.endRow && col >= block.firstCol && col < block.endCol) {
            if (shared)
                *shared = true;
            return block.prototype.get();
        }
    }
    return nullptr;
}

CGridCellBase* CGridCtrl::AddExplicitCell(int row, int col, std::unique_ptr<CGridCellBase> cell)
{
    CGridCellBase* added = cell.get();
    m_explicitCells.push_back(CellEntry{row, col, std::move(cell)});
    // The first entry of a position is the one that counts.
    m_explicitIndex.emplace(CCellID::MakeKey(row, col), m_explicitCells.size() - 1);
    return added;
}

CGridCellBase* CGridCtrl::GetCell(int row, int col)
{
    if (!m_bVirtualMode || row < 0 || col < 0)
        return nullptr;
    bool shared = false;
    CGridCellBase* found = FindExplicitCell(row, col, &shared);
    if (found && !shared)
        return found;
    std::unique_ptr<CGridCellBase> cell;
    if (shared) {
        // The caller may change it: the position gets a cell of its own.
        cell = found->GetRuntimeClass().CreateObject();
        if (!cell)
            return nullptr;
        cell->CopyFrom(*found);
        cell->SetGrid(this);
        cell->SetCoords(row, col);
        cell->SetState(found->GetState());
    } else {
        cell = NewCell(row, col, col < m_nFixedCols ? GVIS_FIXEDCOL_BITS : 0);
        if (!cell)
            return nullptr;
    }
    return AddExplicitCell(row, col, std::move(cell));
}

int CGridCtrl::GetDataRow(int row) const
{
    if (row > 0 && row < m_nRows && m_arRowOrder.size() == std::size_t(m_nRows - 1))
        return int(m_arRowOrder[std::size_t(row - 1)]) + 1;
    return -1;
}

int CGridCtrl::GetDisplayedRow(int dataRow) const
{
    if (dataRow < 0 || dataRow >= m_nRows)
        return -1;
    if (dataRow > 0 && m_arRowOrder.size() == std::size_t(m_nRows - 1)
        && m_arDisplayOfData.size() == m_arRowOrder.size())
        return int(m_arDisplayOfData[std::size_t(dataRow - 1)]) + 1;
    return dataRow;
}

quint32 CGridCtrl::PositionState(int row, int col) const
{
    quint32 state = 0;
    if (IsCellSelected(row, col))
        state |= GVIS_SELECTED;
    if (row < m_nFixedRows)
        state |= GVIS_FIXEDROW_BITS;
    if (col < m_nFixedCols)
        state |= GVIS_FIXEDCOL_BITS;
    if (m_idCurrentCell == CCellID(row, col))
        state |= GVIS_FOCUSED;
    return state;
}

CGridCellBase* CGridCtrl::GetCellAt(int row, int col)
{
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return nullptr;
    const int dataRow = GetDataRow(row);

    if (!m_bVirtualMode) {
        if (std::size_t(row) >= m_rowData.size() || std::size_t(col) >= m_rowData[std::size_t(row)].size())
            return nullptr;
        return m_rowData[std::size_t(row)][std::size_t(col)].get();
    }

    CellUseScope scope(*this);
    m_cache.DropIfStale();
    const quint64 key = CCellID::MakeKey(row, col);
    constexpr quint32 kPositionBits = GVIS_SELECTED | GVIS_FIXEDROW_BITS | GVIS_FIXEDCOL_BITS | GVIS_FOCUSED;
    if (CGridCellBase* cached = m_cache.Find(key)) {
        cached->SetState((cached->GetState() & ~kPositionBits) | PositionState(row, col));
        return cached;
    }

    bool shared = false;
    CGridCellBase* source = FindExplicitCell(dataRow >= 0 ? dataRow : row, col, &shared);
    if (source) {
        if (row == 0 && shared)
            source = GetCell(row, col);  // the title goes into a cell of its own
    }
    if (source) {
        source->UseOwnItemList();
        if (row == 0) {
            // A header with a cell of its own shows the column title and is
            // never asked for.
            source->SetText(GetColumnTitle(col));
            source->SetFormat(source->GetFormat() | DT_CENTER | DT_VCENTER);
            CGridCellBase* copy = MakeDisplayCopy(key, *source);
            if (copy) {
                copy->SetCoords(row, col);
                copy->SetState((copy->GetState() & ~kPositionBits) | PositionState(row, col));
            }
            return copy;
        }
    } else if (m_bHasTemplateRow && std::size_t(col) < m_templateRow.size() && m_templateRow[std::size_t(col)]) {
        source = m_templateRow[std::size_t(col)].get();
        source->UseOwnItemList();
    }
    if (!source)
        return nullptr;

    CGridCellBase* copy = MakeDisplayCopy(key, *source);
    if (!copy)
        return nullptr;
    ExchangeWithOwner(*copy, row, col, dataRow);
    return copy;
}

CGridCellBase* CGridCtrl::MakeDisplayCopy(quint64 key, CGridCellBase& source)
{
    if (m_cache.Find(key) == &source)
        return &source;
    std::unique_ptr<CGridCellBase> copy = source.GetRuntimeClass().CreateObject();
    if (!copy)
        return nullptr;
    copy->Assign(source);
    copy->SetGrid(this);
    return m_cache.Insert(key, std::move(copy));
}

void CGridCtrl::ExchangeWithOwner(CGridCellBase& copy, int row, int col, int dataRow, bool withColours)
{
    copy.SetCoords(row, col);
    copy.ResetDisplayColours();

    GRID_DISPINFO info;
    info.hdr.code = GRIDN_GETCELLTEXT;
    info.dataRow = dataRow >= 0 ? dataRow : row;
    info.row = row;
    info.column = col;
    info.reserved = -1;
    info.state = PositionState(row, col) | (copy.GetState() & GVIS_READONLY_OWN);
    info.format = copy.GetFormat();
    info.image = copy.GetImage();
    info.margin = copy.GetMargin();
    SendDispInfo(info);
    copy.SetState(info.state);

    if (withColours && GetColumnItemData(col) != 0) {
        info.hdr.code = GRIDN_GETCELLCOLOR;
        SendDispInfo(info);
        copy.SetState(info.state);
        copy.SetDisplayColours(info.backColour, info.textColour);
    }
    copy.SetFormat(info.format);
    copy.SetImage(info.image);
    copy.SetMargin(info.margin);
    copy.SetText(info.displayText);
    copy.SetValue(info.valueText);
    // A list cell shows what its owner says it shows, also when its list
    // (built when it last opened) holds no such entry.
    if (!info.displayText.isNull())
        copy.SetText(info.displayText);
    copy.SetGrid(this);
    copy.SetDataRow(info.dataRow);
}

bool CGridCtrl::SetCellType(int row, int col, const CGridCellClass* cellClass)
{
    if (!m_bVirtualMode || row < 0 || row >= m_nRows || col < 0 || col >= m_nCols || !cellClass
        || !cellClass->IsCreatable() || !cellClass->IsDerivedFrom(CGridCellBase::GetThisClass()))
        return false;
    CGridCellBase* old = GetCell(row, col);
    if (!old)
        return false;
    if (&old->GetRuntimeClass() == cellClass)
        return true;
    std::unique_ptr<CGridCellBase> cell = cellClass->CreateObject();
    if (!cell)
        return false;
    cell->CopyFrom(*old);
    cell->UseOwnItemList();
    cell->SetGrid(this);
    cell->SetCoords(old->GetRow(), old->GetColumn());
    cell->SetState(old->GetState());
    // GetCell gave the position's first entry, which the index names.
    const auto it = m_explicitIndex.find(CCellID::MakeKey(row, col));
    if (it == m_explicitIndex.end() || m_explicitCells[it->second].cell.get() != old)
        return false;
    CellEntry& entry = m_explicitCells[it->second];
    RetireCell(std::move(entry.cell));
    entry.cell = std::move(cell);
    return true;
}

CGridCellBase* CGridCtrl::SetColumnCellType(int col, const CGridCellClass* cellClass)
{
    if (!m_bVirtualMode || col < 0 || col >= m_nCols || !cellClass || !cellClass->IsCreatable()
        || !cellClass->IsDerivedFrom(CGridCellBase::GetThisClass()))
        return nullptr;
    if (!m_bHasTemplateRow || std::size_t(col) >= m_templateRow.size() || !m_templateRow[std::size_t(col)])
        return nullptr;
    std::unique_ptr<CGridCellBase> cell = cellClass->CreateObject();
    if (!cell)
        return nullptr;
    CGridCellBase* old = m_templateRow[std::size_t(col)].get();
    cell->CopyFrom(*old);
    cell->UseOwnItemList();
    cell->SetGrid(this);
    cell->SetCoords(old->GetRow(), old->GetColumn());
    cell->SetState(old->GetState());
    RetireCell(std::move(m_templateRow[std::size_t(col)]));
    m_templateRow[std::size_t(col)] = std::move(cell);
    return m_templateRow[std::size_t(col)].get();
}

bool CGridCtrl::SetDefaultCellType(const CGridCellClass* cellClass)
{
    if (!cellClass || !cellClass->IsCreatable() || !cellClass->IsDerivedFrom(CGridCellBase::GetThisClass()))
        return false;
    m_pDefaultCellClass = cellClass;
    return true;
}

CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol)
{
    if (fixedRow && fixedCol)
        return &m_cellFixedRowColDef;
    if (fixedRow)
        return &m_cellFixedRowDef;
    if (fixedCol)
        return &m_cellFixedColDef;
    return &m_cellDefault;
}

const CGridDefaultCell* CGridCtrl::GetDefaultCell(bool fixedRow, bool fixedCol) const
{
    return const_cast<CGridCtrl*>(this)->GetDefaultCell(fixedRow, fixedCol);
}

void CGridCtrl::SetAllDefaultCellProperty(int height, bool alsoFixed)
{
    m_cellDefault.SetHeight(height);
    if (alsoFixed) {
        m_cellFixedColDef.SetHeight(height);
        m_cellFixedRowDef.SetHeight(height);
        m_cellFixedRowColDef.SetHeight(height);
    }
}

quint32 CGridCtrl::GetItemState(int row, int col)
{
    if (!m_bVirtualMode) {
        const CGridCellBase* cell = ExistingCell(row, col);
        return cell ? cell->GetState() : 0;
    }
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return 0;
    constexpr quint32 kPositionBits = GVIS_SELECTED | GVIS_FIXEDROW_BITS | GVIS_FIXEDCOL_BITS | GVIS_FOCUSED;
    // A position shown since the last refresh answers with its copy, which
    // carries what the owner added; any other with the bits a copy would
    // start from, so no copy is made and the owner is not asked.
    if (!m_cache.IsStale()) {
        if (const CGridCellBase* cached = m_cache.Find(CCellID::MakeKey(row, col)))
            return (cached->GetState() & ~kPositionBits) | PositionState(row, col);
    }
    const int dataRow = GetDataRow(row);
    const CGridCellBase* source = FindExplicitCell(dataRow >= 0 ? dataRow : row, col);
    if (source && row == 0)
        return (source->GetState() & ~kPositionBits) | PositionState(row, col);
    if (!source && m_bHasTemplateRow && std::size_t(col) < m_templateRow.size())
        source = m_templateRow[std::size_t(col)].get();
    if (!source)
        return 0;
    return PositionState(row, col) | (OwnBitsOfCopies(*source) & GVIS_READONLY_OWN);
}

quint32 CGridCtrl::OwnBitsOfCopies(const CGridCellBase& source)
{
    // A copy takes no state from its source: what it has is what its class
    // gives it when made (a button is read-only).
    const CGridCellClass* cellClass = &source.GetRuntimeClass();
    const auto it = m_copyStateByClass.find(cellClass);
    if (it != m_copyStateByClass.end())
        return it->second;
    const std::unique_ptr<CGridCellBase> sample = cellClass->CreateObject();
    const quint32 state = sample ? sample->GetState() : 0;
    m_copyStateByClass.emplace(cellClass, state);
    return state;
}

bool CGridCtrl::SetItemState(int row, int col, quint32 state)
{
    // Positions outside the grid never enter the selection: they would be
    // counted as selected rows that do not exist.
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return false;
    if (state & GVIS_SELECTED)
        m_SelectedCellMap.Insert(row, col);
    else
        m_SelectedCellMap.Remove(row, col);
    CGridCellBase* cell = GetCellAt(row, col);
    if (!cell)
        return false;
    cell->SetState(state);
    return true;
}

bool CGridCtrl::IsCellSelected(int row, int col) const
{
    if (m_bVirtualMode)
        return m_SelectedCellMap.Contains(row, col);
    const CGridCellBase* cell = ExistingCell(row, col);
    return cell && (cell->GetState() & GVIS_SELECTED) != 0;
}

QString CGridCtrl::GetItemText(int row, int col)
{
    CGridCellBase* cell = GetCellAt(row, col);
    return cell ? cell->GetText() : QString();
}

void CGridCtrl::ResetSelectedRange()
{
    if (!m_bVirtualMode) {
        for (const CCellID& cell : m_SelectedCellMap.Cells()) {
            if (CGridCellBase* object = ExistingCell(cell.row, cell.col))
                object->SetState(object->GetState() & ~GVIS_SELECTED);
        }
        if (CGridCellBase* focus = ExistingCell(m_idCurrentCell.row, m_idCurrentCell.col))
            focus->SetState(focus->GetState() & ~GVIS_FOCUSED);
    }
    m_SelectedCellMap.Clear();
    m_PrevSelectedCellMap.Clear();
    m_idCurrentCell = CCellID();
    m_SelectionStartCell = CCellID();
}

void CGridCtrl::SetCellModified(bool modified, int row, int col)
{
    if (col < 0 || col == m_nSortColumn) {
        if (m_nSortColumn >= 0)
            InvalidateCell(0, m_nSortColumn);
        m_nSortColumn = -1;
    }
    if (row >= 0 && col >= 0) {
        if (modified) {
            SetItemState(row, col, GetItemState(row, col) | GVIS_MODIFIED);
            m_bModified = true;
        } else {
            SetItemState(row, col, GetItemState(row, col) & ~GVIS_MODIFIED);
        }
    } else {
        m_bModified = modified;
    }
    if (m_bModified)
        return;
    // Only cell objects that exist can carry the mark; a virtual grid's
    // positions without a copy have nothing to clear.
    auto clear = [](CGridCellBase& cell) { cell.SetState(cell.GetState() & ~GVIS_MODIFIED); };
    for (CellRow& cells : m_rowData) {
        for (auto& cell : cells) {
            if (cell)
                clear(*cell);
        }
    }
    m_cache.ForEach(clear);
    for (CellEntry& entry : m_explicitCells)
        clear(*entry.cell);
    for (CellBlock& block : m_explicitBlocks)
        clear(*block.prototype);
}

void CGridCtrl::GetSelectedRows(QList<uint>* rows, bool dataRows)
{
    if (!rows)
        return;
    rows->clear();
    for (int row : m_SelectedCellMap.Rows()) {
        if (row >= m_nRows)
            continue;
        const int dataRow = dataRows ? GetDataRow(row) : -1;
        rows->append(uint(dataRow >= 0 ? dataRow : row));
    }
}

// ---------------------------------------------------------------------------
// Columns and mode

bool CGridCtrl::SetColumnTitle(int col, const QString& title)
{
    if (!m_bVirtualMode || col < 0 || col >= m_arColumnTitles.size())
        return false;
    m_arColumnTitles[col] = title;
    return true;
}

QString CGridCtrl::GetColumnTitle(int col) const
{
    if (col < 0 || col >= m_arColumnTitles.size())
        return QString();
    return m_arColumnTitles.at(col);
}

void CGridCtrl::SetColumnItemData(int col, quint32 data)
{
    if (col < 0 || col >= m_nCols || std::size_t(col) >= m_arColumnItemData.size())
        return;
    m_arColumnItemData[std::size_t(col)] = data;
}

quint32 CGridCtrl::GetColumnItemData(int col) const
{
    if (col < 0 || col >= m_nCols || std::size_t(col) >= m_arColumnItemData.size())
        return 0;
    return m_arColumnItemData[std::size_t(col)];
}

void CGridCtrl::SetVirtualMode(bool on)
{
    ClearAll();
    m_bVirtualMode = on;
    if (!on)
        return;
    for (auto& cell : m_templateRow)
        RetireCell(std::move(cell));
    m_templateRow.clear();
    m_bHasTemplateRow = true;
    m_arColumnTitles.clear();
    m_arColumnItemData.clear();
    for (int col = 0; col < m_nCols; ++col)
        m_arColumnTitles.append(QString());
    m_arColumnItemData.assign(std::size_t(m_nCols), 0);
    m_bFixedRowSelection = false;
    m_bFixedColumnSelection = false;
}

bool CGridCtrl::ClearAll()
{
    EndActiveEdit();
    ResetSelectedRange();
    for (CellRow& cells : m_rowData) {
        for (auto& cell : cells)
            RetireCell(std::move(cell));
    }
    m_rowData.clear();
    m_rowHeights.Clear();
    m_colWidths.Clear();
    m_nRows = 0;
    m_nCols = 0;
    m_nFixedRows = 0;
    m_nFixedCols = 0;
    ClearRowOrder();
    AfterCountChange();
    return true;
}

// ---------------------------------------------------------------------------
// Sizes

int CGridCtrl::GetFixedRowHeight() const
{
    return ClampToInt(m_rowHeights.Offset(m_nFixedRows));
}

int CGridCtrl::GetFixedColumnWidth(bool withTitleColumns) const
{
    return ClampToInt(m_colWidths.Offset(withTitleColumns ? GetFrozenColumnCount() : m_nFixedCols));
}

int CGridCtrl::GetVirtualHeight() const
{
    return ClampToInt(m_rowHeights.Total());
}

int CGridCtrl::GetVirtualWidth() const
{
    return ClampToInt(m_colWidths.Total());
}

bool CGridCtrl::SetRowHeight(int row, int height, bool store)
{
    if (row < 0 || height < 0 || height > kMaxCellSize)
        return false;
    if (row < m_nFixedRows) {
        m_rowHeights.SetSize(row, quint32(height));
        if (store && m_pLayoutStore)
            m_pLayoutStore->SetRowHeight(m_strViewCode, m_strGridKey, true, height);
    } else {
        if (m_bSharedRowHeight) {
            // Also with no data rows yet: the height is the one new rows get.
            SetAllDefaultCellProperty(height, false);
            m_rowHeights.SetSizeFrom(m_nFixedRows, quint32(height));
        } else {
            if (row >= m_nRows)
                return false;
            m_rowHeights.SetSize(row, quint32(height));
        }
        if (store && m_pLayoutStore)
            m_pLayoutStore->SetRowHeight(m_strViewCode, m_strGridKey, false, height);
    }
    ResetScrollBars();
    if (m_bAllowDraw)
        viewport()->update();
    return true;
}

bool CGridCtrl::SetColumnWidth(int col, int width, bool asGiven, bool store)
{
    if (col < 0 || col >= m_nCols || (m_bVirtualMode && col >= m_arColumnTitles.size()))
        return false;
    if (width < -1 || width > kMaxCellSize)
        return false;
    // -1 always means "as wide as the header text", given or not: stored as a
    // width it would wrap to four billion pixels.
    if (width == -1 || (!asGiven && width != 0 && m_bColumnAutoWidth)) {
        int measured = -1;
        if (CGridCellBase* header = GetCellAt(0, col))
            measured = std::min(header->GetCellExtent().width(), kMaxCellSize);
        if (width == -1 && measured < 0)
            measured = m_cellFixedColDef.GetWidth();
        width = std::max(width, measured);
    }
    m_colWidths.SetSize(col, quint32(width));
    if (store && m_pLayoutStore)
        m_pLayoutStore->SetColumnWidth(m_strViewCode, m_strGridKey, QString::number(col), width);
    ResetScrollBars();
    if (m_bAllowDraw)
        viewport()->update();
    return true;
}

bool CGridCtrl::AutoSizeColumn(int col)
{
    if (col < 0 || col >= m_nCols)
        return false;
    CellUseScope scope(*this);
    SendCacheHint(CCellRange(0, col, m_nRows - 1, col));
    int width = 0;
    for (int row = 0; row < m_nRows; ++row) {
        if (CGridCellBase* cell = GetCellAt(row, col))
            width = std::max(width, cell->GetCellExtent().width());
    }
    SendCacheHint(CCellRange());
    m_colWidths.SetSize(col, quint32(std::min(width, kMaxCellSize)));
    ResetScrollBars();
    Refresh();
    return true;
}

bool CGridCtrl::AutoSizeRow(int row)
{
    if (row < 0 || row >= m_nRows)
        return false;
    CellUseScope scope(*this);
    SendCacheHint(CCellRange(row, 0, row, m_nCols - 1));
    int height = 0;
    for (int col = 0; col < m_nCols; ++col) {
        if (CGridCellBase* cell = GetCellAt(row, col))
            height = std::max(height, cell->GetCellExtent().height());
    }
    SendCacheHint(CCellRange());
    height = std::min(height, kMaxCellSize);
    if (row >= m_nFixedRows && m_bSharedRowHeight)
        SetRowHeight(row, height, false);
    else
        m_rowHeights.SetSize(row, quint32(height));
    ResetScrollBars();
    Refresh();
    return true;
}

// ---------------------------------------------------------------------------
// Positions

CGridGeometry CGridCtrl::Geometry() const
{
    return CGridGeometry(m_rowHeights, m_colWidths, m_nFixedRows, GetFrozenColumnCount(),
                         QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()), viewport()->size());
}

CCellID CGridCtrl::GetTopLeftNonFixedCell() const
{
    return Geometry().TopLeftNonFixedCell();
}

bool CGridCtrl::GetCellOrigin(int row, int col, QPoint* origin) const
{
    return Geometry().CellOrigin(row, col, origin);
}

bool CGridCtrl::GetCellRect(int row, int col, QRect* rect) const
{
    QPoint origin;
    if (!GetCellOrigin(row, col, &origin))
        return false;
    if (rect)
        *rect = QRect(origin, QSize(GetColumnWidth(col), GetRowHeight(row)));
    return true;
}

bool CGridCtrl::GetCellRangeRect(const CCellRange& range, QRect* rect) const
{
    QPoint topLeft;
    QPoint bottomRight;
    if (!GetCellOrigin(range.minRow, range.minCol, &topLeft)
        || !GetCellOrigin(range.maxRow, range.maxCol, &bottomRight))
        return false;
    bottomRight += QPoint(GetColumnWidth(range.maxCol) - 1, GetRowHeight(range.maxRow) - 1);
    if (rect)
        *rect = QRect(topLeft, bottomRight);
    return true;
}

CCellRange CGridCtrl::GetVisibleNonFixedCellRange(QRect* rect) const
{
    return Geometry().VisibleNonFixedCellRange(rect);
}

CCellRange CGridCtrl::GetUnobstructedNonFixedCellRange() const
{
    return Geometry().UnobstructedNonFixedCellRange();
}

bool CGridCtrl::IsCellVisible(int row, int col) const
{
    QPoint origin;
    if (!GetCellOrigin(row, col, &origin))
        return false;
    const QRect client = viewport()->rect();
    return origin.x() < client.width() && origin.y() < client.height();
}

CCellID CGridCtrl::GetCellFromPoint(QPoint point, bool allowFixed) const
{
    return Geometry().CellFromPoint(point, allowFixed);
}

QPoint CGridCtrl::GetCellOffsetFromOrigin(int row, int col, QPoint point) const
{
    QPoint origin;
    if (!GetCellOrigin(row, col, &origin))
        return QPoint(-1, -1);
    return point - origin;
}

// ---------------------------------------------------------------------------
// Scrolling

int CGridCtrl::VerticalPage() const
{
    return std::max(viewport()->height() - GetFixedRowHeight(), 0);
}

int CGridCtrl::HorizontalPage() const
{
    return std::max(viewport()->width() - GetFixedColumnWidth(true), 0);
}

void CGridCtrl::ResetScrollBars()
{
    if (!m_bAllowDraw || m_bInResize)
        return;
    m_bInResize = true;
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    const QSize full = maximumViewportSize();
    const qint64 fixedHeight = GetFixedRowHeight();
    const qint64 frozenWidth = GetFixedColumnWidth(true);

    if (full.isEmpty() || full.width() <= frozenWidth || full.height() <= fixedHeight) {
        vertical->setRange(0, 0);
        horizontal->setRange(0, 0);
        m_bInResize = false;
        return;
    }

    const qint64 scrollHeight = m_rowHeights.Total() - fixedHeight;
    const qint64 scrollWidth = m_colWidths.Total() - frozenWidth;
    const int barWidth = vertical->sizeHint().width();
    const int barHeight = horizontal->sizeHint().height();
    // A bar is needed when the scrollable part does not fit beside the fixed
    // part; one bar can make the other necessary, in either order.
    bool needVertical = scrollHeight > full.height() - fixedHeight;
    bool needHorizontal = scrollWidth > full.width() - frozenWidth - (needVertical ? barWidth : 0);
    if (needHorizontal && !needVertical) {
        needVertical = scrollHeight > full.height() - barHeight - fixedHeight;
        if (needVertical)
            needHorizontal = scrollWidth > full.width() - barWidth - frozenWidth;
    }
    const qint64 pageHeight = std::max<qint64>(full.height() - (needHorizontal ? barHeight : 0) - fixedHeight, 1);
    const qint64 pageWidth = std::max<qint64>(full.width() - (needVertical ? barWidth : 0) - frozenWidth, 1);

    // The page is the part below the fixed rows (right of the frozen
    // columns): at the maximum the last row ends at the client bottom.
    const int verticalMax = needVertical ? ClampToInt(std::max<qint64>(scrollHeight - pageHeight, 0)) : 0;
    const int horizontalMax = needHorizontal ? ClampToInt(std::max<qint64>(scrollWidth - pageWidth, 0)) : 0;
    vertical->setPageStep(ClampToInt(pageHeight));
    vertical->setSingleStep(std::max(m_cellDefault.GetHeight(), 1));
    vertical->setRange(0, verticalMax);
    horizontal->setPageStep(ClampToInt(pageWidth));
    horizontal->setSingleStep(std::max(m_cellFixedColDef.GetWidth(), 1));
    horizontal->setRange(0, horizontalMax);
    m_bInResize = false;
}

void CGridCtrl::OnVerticalAction(int action)
{
    EndActiveEdit();
    QScrollBar* bar = verticalScrollBar();
    const int position = bar->value();
    const CCellID topLeft = GetTopLeftNonFixedCell();
    const int firstRow = m_nFixedRows;
    int target = position;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        if (position > 0 && topLeft.row > firstRow) {
            const qint64 topOffset = m_rowHeights.Offset(topLeft.row);
            // The nearest earlier row that takes space.
            const int row = topOffset > m_rowHeights.Offset(firstRow) ? m_rowHeights.IndexAt(topOffset - 1) : firstRow;
            target = std::max(position - std::max(GetRowHeight(row), 0), 0);
        }
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        if (position < bar->maximum()) {
            const int row = m_rowHeights.IndexAt(m_rowHeights.Offset(topLeft.row));
            if (row >= 0 && row < m_nRows)
                target = position + GetRowHeight(row);
        }
        break;
    case QAbstractSlider::SliderPageStepSub:
        if (position > 0)
            target = std::max(position - VerticalPage(), 0);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        if (position < bar->maximum())
            target = std::min(position + VerticalPage(), bar->maximum());
        break;
    default:
        // Thumb moves, top and bottom: the bar's own position stands.
        return;
    }
    bar->setSliderPosition(std::clamp(target, 0, bar->maximum()));
}

void CGridCtrl::OnHorizontalAction(int action)
{
    EndActiveEdit();
    QScrollBar* bar = horizontalScrollBar();
    const int position = bar->value();
    const CCellID topLeft = GetTopLeftNonFixedCell();
    const int firstCol = GetFrozenColumnCount();
    int target = position;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        if (position > 0 && topLeft.col > firstCol) {
            const qint64 leftOffset = m_colWidths.Offset(topLeft.col);
            const int col = leftOffset > m_colWidths.Offset(firstCol) ? m_colWidths.IndexAt(leftOffset - 1) : firstCol;
            target = std::max(position - std::max(GetColumnWidth(col), 0), 0);
        }
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        if (position < bar->maximum()) {
            const int col = m_colWidths.IndexAt(m_colWidths.Offset(topLeft.col));
            if (col >= 0 && col < m_nCols)
                target = position + GetColumnWidth(col);
        }
        break;
    case QAbstractSlider::SliderPageStepSub:
        if (position > 0)
            target = std::max(position - HorizontalPage(), 0);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        if (position < bar->maximum())
            target = std::min(position + HorizontalPage(), bar->maximum());
        break;
    default:
        return;
    }
    bar->setSliderPosition(std::clamp(target, 0, bar->maximum()));
}

void CGridCtrl::scrollContentsBy(int, int)
{
    // The tip would stand over another cell now.
    HideTitleTip();
    m_titleTipCell = CCellID();
    // The content is laid out from the top-left cell, row by row: only a new
    // top-left cell changes what is shown.
    const CCellID topLeft = GetTopLeftNonFixedCell();
    if (topLeft.row != m_lastTopLeft.row)
        UpdateScrollableBand(true);
    if (topLeft.col != m_lastTopLeft.col)
        UpdateScrollableBand(false);
    m_lastTopLeft = topLeft;
}

void CGridCtrl::UpdateScrollableBand(bool vertical)
{
    if (!m_bAllowDraw)
        return;
    const QRect client = viewport()->rect();
    if (vertical) {
        const int top = GetFixedRowHeight();
        viewport()->update(QRect(0, top, client.width(), client.height() - top));
    } else {
        const int left = GetFixedColumnWidth(false);
        viewport()->update(QRect(left, 0, client.width() - left, client.height()));
    }
}

void CGridCtrl::wheelEvent(QWheelEvent* event)
{
    HideTitleTip();
    // The scroll area's own handling would scroll a second time.
    ScrollByWheel(event->angleDelta().y());
    event->accept();
}

bool CGridCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void CGridCtrl::ScrollByWheel(int delta)
{
    if (delta == 0 || m_nRowsPerWheelNotch == 0)
        return;
    EndActiveEdit();
    const bool pages = m_nRowsPerWheelNotch < 0;
    // Smooth wheels and touchpads send parts of a notch; what does not make a
    // whole line yet is kept for the next event in the same direction.
    if ((delta > 0) != (m_nWheelRemainder > 0))
        m_nWheelRemainder = 0;
    m_nWheelRemainder += pages ? delta : delta * m_nRowsPerWheelNotch;
    int steps = m_nWheelRemainder / 120;
    m_nWheelRemainder -= steps * 120;
    const bool up = steps > 0;
    steps = std::min(std::abs(steps), std::max(m_nRows, 1));
    const auto action = pages ? (up ? QAbstractSlider::SliderPageStepSub : QAbstractSlider::SliderPageStepAdd)
                              : (up ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
    for (int i = 0; i < steps; ++i)
        verticalScrollBar()->triggerAction(action);
}

void CGridCtrl::resizeEvent(QResizeEvent*)
{
    EndActiveEdit();
    ResetScrollBars();
    if (!m_dropTarget.IsRegistered())
        m_dropTarget.Register(this);
}

void CGridCtrl::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    ResetScrollBars();
    if (!m_dropTarget.IsRegistered())
        m_dropTarget.Register(this);
}

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars)
{
    if (allow && !m_bAllowDraw) {
        MarkCacheStale();
        viewport()->update();
    }
    m_bAllowDraw = allow;
    if (resetScrollBars)
        ResetScrollBars();
}

void CGridCtrl::SetGridLines(int mode)
{
    m_nGridLines = mode;
    MarkCacheStale();
    if (m_bAllowDraw)
        viewport()->update();
}

void CGridCtrl::EnsureCellVisible(int row, int col)
{
    if (!m_bAllowDraw || row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return;
    QPointer<QWidget> focus = QApplication::focusWidget();
    const CCellID topLeft = GetTopLeftNonFixedCell();

    // Straight to the position the line steps would end at: the first
    // top-left row (column) that shows the whole cell, or the cell itself at
    // the top (left) when it is larger than the page.
    if (row >= m_nFixedRows) {
        const qint64 base = m_rowHeights.Offset(m_nFixedRows);
        const qint64 start = m_rowHeights.Offset(row);
        const qint64 end = m_rowHeights.Offset(row + 1);
        const qint64 page = VerticalPage();
        qint64 newTop = -1;
        if (row < topLeft.row)
            newTop = start;
        else if (end > m_rowHeights.Offset(topLeft.row) + page)
            newTop = m_rowHeights.Offset(std::min(m_rowHeights.LowerBound(end - page), row));
        if (newTop >= 0)
            verticalScrollBar()->setValue(ClampToInt(newTop - base));
    }
    const int frozenCols = GetFrozenColumnCount();
    if (col >= frozenCols) {
        const qint64 base = m_colWidths.Offset(frozenCols);
        const qint64 start = m_colWidths.Offset(col);
        const qint64 end = m_colWidths.Offset(col + 1);
        const qint64 page = HorizontalPage();
        qint64 newLeft = -1;
        if (col < topLeft.col)
            newLeft = start;
        else if (end > m_colWidths.Offset(topLeft.col) + page)
            newLeft = m_colWidths.Offset(std::min(m_colWidths.LowerBound(end - page), col));
        if (newLeft >= 0)
            horizontalScrollBar()->setValue(ClampToInt(newLeft - base));
    }
    if (focus && QApplication::focusWidget() != focus)
        focus->setFocus();
}

bool CGridCtrl::InvalidateCell(int row, int col)
{
    if (!m_bAllowDraw || !IsCellVisible(row, col))
        return false;
    QRect rect;
    if (!GetCellRect(row, col, &rect))
        return false;
    viewport()->update(rect);
    return true;
}

// ---------------------------------------------------------------------------
// Painting

void CGridCtrl::Refresh()
{
    MarkCacheStale();
    if (m_bAllowDraw)
        viewport()->update();
}

bool CGridCtrl::RedrawCell(int row, int col)
{
    return InvalidateCell(row, col);
}

void CGridCtrl::SetEvenRowShading(bool on, COLORREF colour)
{
    m_bShadeEvenRows = on;
    m_crShadeColour = colour;
    if (m_bAllowDraw)
        viewport()->update();
}

void CGridCtrl::SetGridBkColor(COLORREF colour)
{
    m_crGridBkColour = colour;
    if (m_bAllowDraw)
        viewport()->update();
}

void CGridCtrl::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    OnDraw(painter, event->rect());
    DrawTracker(painter);
}

void CGridCtrl::OnDraw(QPainter& painter, const QRect& clip)
{
    if (clip.isEmpty())
        return;
    if (!m_bAllowDraw) {
        // Nothing may be drawn now, but the pixels must not be left undefined.
        painter.fillRect(clip, QColorFromColorref(m_crGridBkColour));
        return;
    }
    CellUseScope scope(*this);
    const QRect client = viewport()->rect();
    const int fixedHeight = GetFixedRowHeight();
    const int fixedWidth = GetFixedColumnWidth(false);
    const int frozenWidth = GetFixedColumnWidth(true);
    const int frozenCols = GetFrozenColumnCount();
    const CCellID topLeft = GetTopLeftNonFixedCell();
    const CCellRange visible = GetVisibleNonFixedCellRange();
    m_lastTopLeft = topLeft;

    const qint64 scrollWidth = m_colWidths.Total() - m_colWidths.Offset(std::min(topLeft.col, m_nCols));
    const qint64 scrollHeight = m_rowHeights.Total() - m_rowHeights.Offset(std::min(topLeft.row, m_nRows));
    const int cellsRight = ClampToInt(std::min<qint64>(client.width(), frozenWidth + std::max<qint64>(scrollWidth, 0)));
    const int cellsBottom =
        ClampToInt(std::min<qint64>(client.height(), fixedHeight + std::max<qint64>(scrollHeight, 0)));

    // 1. The bands the cells stand on, and the grid background beyond them.
    auto background = [](const CGridDefaultCell& cell, const QColor& fallback) {
        const COLORREF colour = cell.GetBackClr();
        return IsDefaultColor(colour) ? fallback : QColorFromColorref(colour);
    };
    const QColor button = palette().color(QPalette::Button);
    const QColor base = palette().color(QPalette::Base);
    const int headerRight = std::min(fixedWidth, cellsRight);
    const int headerBottom = std::min(fixedHeight, cellsBottom);
    painter.fillRect(QRect(0, 0, headerRight, headerBottom), background(m_cellFixedRowColDef, button));
    painter.fillRect(QRect(headerRight, 0, cellsRight - headerRight, headerBottom), background(m_cellFixedRowDef, button));
    painter.fillRect(QRect(0, headerBottom, headerRight, cellsBottom - headerBottom), background(m_cellFixedColDef, button));
    painter.fillRect(QRect(headerRight, headerBottom, cellsRight - headerRight, cellsBottom - headerBottom),
                     background(m_cellDefault, base));
    const QColor gridBackground = QColorFromColorref(m_crGridBkColour);
    painter.fillRect(QRect(cellsRight, 0, client.width() - cellsRight, client.height()), gridBackground);
    painter.fillRect(QRect(0, cellsBottom, cellsRight, client.height() - cellsBottom), gridBackground);

    // 2.-3. The cells: corner, frozen columns, fixed rows, body.
    if (m_bVirtualMode)
        SendCacheHint(visible);
    DrawCellRange(painter, clip, 0, m_nFixedRows - 1, 0, frozenCols - 1, QPoint(0, 0), false, false);
    DrawCellRange(painter, clip, visible.minRow, visible.maxRow, 0, frozenCols - 1, QPoint(0, fixedHeight), true,
                  false);
    DrawCellRange(painter, clip, 0, m_nFixedRows - 1, visible.minCol, visible.maxCol, QPoint(frozenWidth, 0),
                  false, false);
    DrawCellRange(painter, clip, visible.minRow, visible.maxRow, visible.minCol, visible.maxCol,
                  QPoint(frozenWidth, fixedHeight), false, true);

    // 4.-5. Grid lines over the last pixel column and row of each cell.
    const QColor lineColour = QColorFromColorref(m_crGridLineColour);
    const bool vertical = m_nGridLines == GVL_VERT || m_nGridLines == GVL_BOTH;
    const bool horizontal = m_nGridLines == GVL_HORZ || m_nGridLines == GVL_BOTH;
    if (m_nTitleCols > 0 && vertical) {
        for (int col = m_nFixedCols; col < frozenCols; ++col) {
            if (GetColumnWidth(col) > 0) {
                const int x = ClampToInt(m_colWidths.Offset(col + 1)) - 1;
                painter.fillRect(QRect(x, fixedHeight, 1, cellsBottom - fixedHeight), lineColour);
            }
        }
    }
    if (horizontal || vertical) {
        int y = fixedHeight;
        for (int row = visible.minRow; row <= visible.maxRow && row < m_nRows && y < cellsBottom; ++row) {
            const int height = std::max(GetRowHeight(row), 0);
            y += height;
            if (horizontal && height > 0) {
                if (m_nTitleCols > 0)
                    painter.fillRect(QRect(fixedWidth, y - 1, frozenWidth - fixedWidth, 1), lineColour);
                painter.fillRect(QRect(frozenWidth, y - 1, cellsRight - frozenWidth, 1), lineColour);
            }
        }
        int x = frozenWidth;
        for (int col = visible.minCol; vertical && col <= visible.maxCol && col < m_nCols && x < cellsRight; ++col) {
            const int width = std::max(GetColumnWidth(col), 0);
            x += width;
            if (width > 0)
                painter.fillRect(QRect(x - 1, fixedHeight, 1, cellsBottom - fixedHeight), lineColour);
        }
    }

    // 6. The separator between the title columns and the scrolled ones.
    if (m_nTitleCols > 0 && frozenWidth >= 2)
        painter.fillRect(QRect(frozenWidth - 2, 0, 2, cellsBottom), Qt::black);

    // 7.
    if (m_bVirtualMode) {
        SendCacheHint(CCellRange());
        TrimDisplayCache(visible);
    }
}

void CGridCtrl::DrawCellRange(QPainter& painter, const QRect& clip, int firstRow, int lastRow, int firstCol,
                              int lastCol, QPoint origin, bool shadeTitleCols, bool shadeBody)
{
    int y = origin.y();
    // The counts are read on every turn: an owner may change them while it
    // answers a display request.
    for (int row = firstRow; row <= lastRow && row < m_nRows; ++row) {
        const int height = GetRowHeight(row);
        if (height <= 0)
            continue;
        if (y > clip.bottom())
            break;
        if (y + height - 1 >= clip.top()) {
            const bool evenRow = (row % 2) == 0;
            int x = origin.x();
            for (int col = firstCol; col <= lastCol && col < m_nCols; ++col) {
                const int width = GetColumnWidth(col);
                if (width <= 0)
                    continue;
                if (x > clip.right())
                    break;
                if (x + width - 1 >= clip.left()) {
                    if (CGridCellBase* cell = GetCellAt(row, col)) {
                        const bool shaded = m_bShadeEvenRows && evenRow
                                            && ((shadeTitleCols && col >= m_nFixedCols) || shadeBody);
                        cell->SetCoords(row, col);
                        cell->Draw(&painter, row, col, QRect(x, y, width, height), shaded,
                                   shaded ? m_crShadeColour : 0);
                    }
                }
                x += width;
            }
        }
        y += height;
    }
}

void CGridCtrl::TrimDisplayCache(const CCellRange& visible)
{
    const std::size_t visibleCells = std::size_t(std::max(visible.maxRow - visible.minRow + 1 + m_nFixedRows, 1))
                                     * std::size_t(std::max(visible.maxCol - visible.minCol + 1 + GetFrozenColumnCount(), 1));
    if (m_cache.Size() <= std::max(kMinCacheEntries, kCacheVisibleFactor * visibleCells))
        return;
    // Only what is on screen shows cached content; a position scrolled back
    // into view is simply asked for again.
    const int frozenCols = GetFrozenColumnCount();
    const CCellID focus = m_idCurrentCell;
    m_cache.RetireUnless([&](quint64 key) {
        const int row = int(quint32(key & 0xFFFFFFFFu));
        const int col = int(quint32(key >> 32));
        if (row == focus.row && col == focus.col)
            return true;
        const bool rowShown = row < m_nFixedRows || (row >= visible.minRow && row <= visible.maxRow);
        const bool colShown = col < frozenCols || (col >= visible.minCol && col <= visible.maxCol);
        return rowShown && colShown;
    });
    ScheduleRelease();
}

void CGridCtrl::ReadSystemColours(bool followDefaults)
{
    const QPalette& colours = palette();
    const COLORREF text = ColorrefFromQColor(colours.color(QPalette::Text));
    const COLORREF window = ColorrefFromQColor(colours.color(QPalette::Base));
    const COLORREF face = ColorrefFromQColor(colours.color(QPalette::Button));
    const COLORREF shadow = ColorrefFromQColor(colours.color(QPalette::Dark));
    if (followDefaults) {
        // Default cells that showed the system colours follow them; colours a
        // caller set stay.
        CGridDefaultCell* defaults[] = {&m_cellDefault, &m_cellFixedColDef, &m_cellFixedRowDef,
                                        &m_cellFixedRowColDef};
        for (CGridDefaultCell* cell : defaults) {
            if (cell->GetTextClr() == m_crWindowText)
                cell->SetTextClr(text);
            const COLORREF oldBack = cell == &m_cellDefault ? m_crWindowColour : m_crBtnFaceColour;
            if (cell->GetBackClr() == oldBack)
                cell->SetBackClr(cell == &m_cellDefault ? window : face);
        }
        if (m_crGridBkColour == m_crShadowColour)
            m_crGridBkColour = shadow;
    }
    m_crWindowText = text;
    m_crWindowColour = window;
    m_crBtnFaceColour = face;
    m_crShadowColour = shadow;
}

void CGridCtrl::ApplyFontToDefaultCells()
{
    const GridLogFont logFont{font(), 0};
    CGridDefaultCell* defaults[] = {&m_cellDefault, &m_cellFixedColDef, &m_cellFixedRowDef, &m_cellFixedRowColDef};
    for (CGridDefaultCell* cell : defaults)
        cell->SetFont(&logFont);
    MarkCacheStale();
    if (m_bAllowDraw)
        viewport()->update();
}

void CGridCtrl::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        ReadSystemColours(true);
        m_nRowsPerWheelNotch = QApplication::wheelScrollLines();
        if (m_bAllowDraw)
            viewport()->update();
        break;
    case QEvent::FontChange:
        ApplyFontToDefaultCells();
        break;
    default:
        break;
    }
}
