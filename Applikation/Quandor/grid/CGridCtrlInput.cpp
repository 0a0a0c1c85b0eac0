// CGridCtrl: mouse and keyboard. Presses, moves and releases select cells,
// size rows and columns and start edits; keys move the focus, extend the
// selection and start edits; typed text starts an edit with that text.
#include "CGridCtrl.h"

#include "CGridCellBase.h"
#include "CTitleTipWnd.h"
#include "GridKeyMap.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimerEvent>

#include <algorithm>
#include <limits>

namespace
{

// The key code of a Qt key; 0 for keys the grid does not know by code. The
// grid knows the editors' keys and a few more.
int VirtualKeyOf(int key)
{
    if (const int editingKey = GridKeyMap::VirtualKeyOf(key))
        return editingKey;
    switch (key) {
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Insert:
        return VK_INSERT;
    default:
        break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return VK_F1 + (key - Qt::Key_F1);
    // Letters and digits: the key codes are their upper-case characters.
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    return 0;
}

int ToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// What a key typed, as the grid takes it: Tab is "\t" also when Shift
// makes it Backtab; control characters other than Backspace, Enter, Tab and
// Escape are no typing.
QString TypedText(const QKeyEvent* event)
{
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        return QStringLiteral("\t");
    const QString text = event->text();
    if (text.size() == 1) {
        const char16_t c = text.at(0).unicode();
        if ((c < 0x20 && c != u'\b' && c != u'\r' && c != 0x1B) || c == 0x7F)
            return QString();
    }
    return text;
}

Qt::KeyboardModifiers KeyModifiers(const QKeyEvent* event)
{
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Backtab)
        modifiers |= Qt::ShiftModifier;
    return modifiers;
}

// The keys a focused grid keeps from the window's shortcuts: select all and
// the clipboard keys, matched exactly (a standard "copy" sequence would
// also take keys the grid gives other meanings).
bool IsGridShortcut(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::ControlModifier)
        return key == Qt::Key_A || key == Qt::Key_C || key == Qt::Key_X || key == Qt::Key_V || key == Qt::Key_Insert;
    if (modifiers == Qt::ShiftModifier)
        return key == Qt::Key_Insert || key == Qt::Key_Delete;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Geometry the input needs

qint64 CGridCtrl::ColumnLeft(int col) const
{
    const int frozenCols = GetFrozenColumnCount();
    if (col < frozenCols)
        return m_colWidths.Offset(col);
    return m_colWidths.Offset(frozenCols) + m_colWidths.Offset(col) - m_colWidths.Offset(GetTopLeftNonFixedCell().col);
}

qint64 CGridCtrl::RowTop(int row) const
{
    if (row < m_nFixedRows)
        return m_rowHeights.Offset(row);
    return m_rowHeights.Offset(m_nFixedRows) + m_rowHeights.Offset(row)
           - m_rowHeights.Offset(GetTopLeftNonFixedCell().row);
}

// Columns are sized from the header rows and rows from the header columns:
// a divider in the body would take every click near a cell's edge.
int CGridCtrl::ColumnDividerAt(QPoint point) const
{
    if (m_nCols == 0 || point.x() < 0 || point.y() < 0 || point.y() >= GetFixedRowHeight())
        return -1;
    const CCellID cell = GetCellFromPoint(point);
    int col = -1;
    if (cell.col >= 0) {
        const qint64 left = ColumnLeft(cell.col);
        const qint64 right = left + GetColumnWidth(cell.col);
        if (point.x() >= right - kResizeCaptureRange) {
            col = cell.col;
        } else if (point.x() < left + kResizeCaptureRange) {
            // The column shown left of this one: past the frozen columns
            // that is the last frozen one, not a column scrolled away.
            const int frozenCols = GetFrozenColumnCount();
            const bool firstScrolled = cell.col >= frozenCols && cell.col == GetTopLeftNonFixedCell().col;
            col = firstScrolled ? frozenCols - 1 : cell.col - 1;
        } else {
            return -1;
        }
    } else {
        // Right of the last column, within reach of its right edge.
        const int last = m_nCols - 1;
        if (point.x() >= ColumnLeft(last) + GetColumnWidth(last) + kResizeCaptureRange)
            return -1;
        col = last;
    }
    while (col >= 0 && GetColumnWidth(col) == 0)
        --col;
    return col;
}

int CGridCtrl::RowDividerAt(QPoint point) const
{
    if (m_nRows == 0 || point.y() < 0 || point.x() < 0 || point.x() >= GetFixedColumnWidth(false))
        return -1;
    const CCellID cell = GetCellFromPoint(point);
    if (cell.row >= 0) {
        const qint64 top = RowTop(cell.row);
        const qint64 bottom = top + GetRowHeight(cell.row);
        if (point.y() >= bottom - kResizeCaptureRange)
            return cell.row;
        if (point.y() < top + kResizeCaptureRange) {
            const bool firstScrolled = cell.row >= m_nFixedRows && cell.row == GetTopLeftNonFixedCell().row;
            return firstScrolled ? m_nFixedRows - 1 : cell.row - 1;
        }
        return -1;
    }
    const int last = m_nRows - 1;
    return point.y() < RowTop(last) + GetRowHeight(last) + kResizeCaptureRange ? last : -1;
}

bool CGridCtrl::IsOnCellText(const CCellID& cell, QPoint point)
{
    QRect rect;
    if (!GetCellRect(cell.row, cell.col, &rect))
        return false;
    CellUseScope scope(*this);
    CGridCellBase* object = GetCellAt(cell.row, cell.col);
    if (!object)
        return false;
    object->GetTextRect(rect);
    return rect.contains(point);
}

int CGridCtrl::NextRow(int row, int step) const
{
    for (int next = row + step; next >= m_nFixedRows && next < m_nRows; next += step) {
        if (GetRowHeight(next) > 0)
            return next;
    }
    return row;
}

int CGridCtrl::NextColumn(int col, int step) const
{
    for (int next = col + step; next >= m_nFixedCols && next < m_nCols; next += step) {
        if (GetColumnWidth(next) > 0)
            return next;
    }
    return col;
}

int CGridCtrl::FirstBodyColumn() const
{
    const int col = NextColumn(m_nFixedCols - 1, 1);
    return col >= m_nFixedCols ? col : m_nFixedCols;
}

int CGridCtrl::LastColumn() const
{
    const int col = NextColumn(m_nCols, -1);
    return col < m_nCols ? col : m_nCols - 1;
}

bool CGridCtrl::IsCellFullyVisible(int row, int col) const
{
    QRect rect;
    if (!GetCellRect(row, col, &rect))
        return false;
    const QRect client = viewport()->rect();
    if (row >= m_nFixedRows && (rect.top() < GetFixedRowHeight() || rect.bottom() > client.bottom()))
        return false;
    if (col >= GetFrozenColumnCount() && (rect.left() < GetFixedColumnWidth(true) || rect.right() > client.right()))
        return false;
    return true;
}

// ---------------------------------------------------------------------------
// Pointer state

void CGridCtrl::UpdateHoverState(QPoint point)
{
    if (ColumnDividerAt(point) >= 0) {
        m_titleTipCell = CCellID();
        m_MouseMode = MOUSE_OVER_COL_DIVIDE;
        viewport()->setCursor(Qt::SizeHorCursor);
        return;
    }
    if (RowDividerAt(point) >= 0) {
        m_titleTipCell = CCellID();
        m_MouseMode = MOUSE_OVER_ROW_DIVIDE;
        viewport()->setCursor(Qt::SizeVerCursor);
        return;
    }
    m_MouseMode = MOUSE_NOTHING;
    const CCellID cell = GetCellFromPoint(point);
    CellUseScope scope(*this);
    CGridCellBase* object = cell.IsValid() ? GetCellAt(cell.row, cell.col) : nullptr;
    if (object) {
        object->OnMouseOver();
        OfferTitleTip(cell);
        if (object->OnSetCursor())
            return;
    } else {
        m_titleTipCell = CCellID();
    }
    viewport()->setCursor(Qt::ArrowCursor);
}

void CGridCtrl::StopAutoScroll()
{
    m_autoScrollTimer.stop();
}

QPoint CGridCtrl::ClampSizingPoint(QPoint point) const
{
    const QRect client = viewport()->rect();
    if (m_MouseMode == MOUSE_SIZING_COL) {
        // From one pixel right of the column's left edge: a column is never
        // narrower than 1.
        const qint64 left = ColumnLeft(m_LeftClickDownCell.col) + 1;
        const qint64 right = left + client.width() - GetFixedColumnWidth(false);
        const qint64 x = std::clamp<qint64>(point.x(), left, std::max(left, right));
        return QPoint(ToInt(x), std::clamp(point.y(), 0, client.bottom()));
    }
    const qint64 top = RowTop(m_LeftClickDownCell.row);
    const qint64 bottom = top + client.height() - GetFixedRowHeight();
    const qint64 y = std::clamp<qint64>(point.y(), top, std::max(top, bottom));
    return QPoint(std::clamp(point.x(), 0, client.right()), ToInt(y));
}

void CGridCtrl::MoveTracker(int pos)
{
    // The sizing line is painted over the cells; the strips it leaves and
    // enters are painted again.
    const QRect client = viewport()->rect();
    const bool vertical = m_MouseMode == MOUSE_SIZING_COL;
    auto strip = [&](int at) {
        return vertical ? QRect(at - 1, 0, 4, client.height()) : QRect(0, at - 1, client.width(), 4);
    };
    if (m_nTrackerPos >= 0)
        viewport()->update(strip(m_nTrackerPos));
    m_nTrackerPos = pos;
    if (pos >= 0)
        viewport()->update(strip(pos));
}

void CGridCtrl::DrawTracker(QPainter& painter) const
{
    if (m_nTrackerPos < 0 || (m_MouseMode != MOUSE_SIZING_COL && m_MouseMode != MOUSE_SIZING_ROW))
        return;
    const QRect client = viewport()->rect();
    const QRect line = m_MouseMode == MOUSE_SIZING_COL ? QRect(m_nTrackerPos, 0, 2, client.height())
                                                       : QRect(0, m_nTrackerPos, client.width(), 2);
    // Inverted, so it shows on any colour.
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(line, Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---------------------------------------------------------------------------
// Mouse

void CGridCtrl::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    // Pressed cells show no tip, not even when the press lands on the tip:
    // the tip lets it through to the cell below.
    HideTitleTip();
    m_titleTipCell = GetCellFromPoint(event->position().toPoint());
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool ctrl = modifiers & Qt::ControlModifier;
    m_LastRawMousePoint = point;
    // A pointer that comes to a divider without moving there first still
    // presses on the divider.
    if (m_MouseMode == MOUSE_NOTHING || m_MouseMode == MOUSE_OVER_COL_DIVIDE || m_MouseMode == MOUSE_OVER_ROW_DIVIDE)
        UpdateHoverState(point);

    setFocus(Qt::MouseFocusReason);
    m_LeftClickDownPoint = point;
    m_bLMouseButtonDown = true;

    m_LeftClickDownCell = GetCellFromPoint(point);
    if (!m_LeftClickDownCell.IsValid()) {
        MoveFocusCell(-1, -1);
        return;
    }
    const CCellID cell = m_LeftClickDownCell;

    if (!(modifiers & Qt::ShiftModifier))
        m_SelectionStartCell = cell;
    else if (!m_SelectionStartCell.IsValid())
        m_SelectionStartCell = m_idCurrentCell;

    EndActiveEdit();

    CellUseScope scope(*this);
    bool onText = false;
    if (CGridCellBase* object = GetCellAt(cell.row, cell.col)) {
        object->OnClickDown(GetCellOffsetFromOrigin(cell.row, cell.col, point));
        onText = IsOnCellText(cell, point);
    }

    if (cell == m_idCurrentCell && !ctrl && onText && IsCellEditable(cell.row, cell.col)) {
        m_MouseMode = MOUSE_PREPARE_EDIT;
        return;
    }

    if (!IsCellSelected(cell.row, cell.col)) {
        if (m_MouseMode != MOUSE_OVER_ROW_DIVIDE && m_MouseMode != MOUSE_OVER_COL_DIVIDE) {
            if (IsFixedCell(cell))
                MoveFocusCell(-1, -1);
            else
                MoveFocusCell(cell.row, cell.col);
        }
    } else {
        MoveFocusCell(cell.row, cell.col);
        if (ctrl) {
            if (m_bListMode)
                SelectCellRange(cell.row, m_nFixedCols, cell.row, m_nCols - 1, true, false);
            else
                SelectCellsTo(cell, true, false);
            return;
        }
    }

    m_bMouseCaptured = true;

    if (m_MouseMode == MOUSE_OVER_COL_DIVIDE) {
        const int col = ColumnDividerAt(point);
        if (col < 0) {
            // Nothing to size: a press like any other would be a surprise,
            // and keeping the sizing mode would size the clicked column.
            m_MouseMode = MOUSE_NOTHING;
            m_bMouseCaptured = false;
            return;
        }
        m_MouseMode = MOUSE_SIZING_COL;
        m_LeftClickDownCell.col = col;
        MoveTracker(ClampSizingPoint(point).x());
    } else if (m_MouseMode == MOUSE_OVER_ROW_DIVIDE) {
        const int row = RowDividerAt(point);
        if (row < 0) {
            m_MouseMode = MOUSE_NOTHING;
            m_bMouseCaptured = false;
            return;
        }
        m_MouseMode = MOUSE_SIZING_ROW;
        m_LeftClickDownCell.row = row;
        MoveTracker(ClampSizingPoint(point).y());
    } else {
        SendMessageToParent(cell.row, cell.col, GRIDN_SELCHANGING);
        m_PrevSelectedCellMap.Clear();
        if (ctrl)
            m_PrevSelectedCellMap = m_SelectedCellMap;
        if (cell.row < m_nFixedRows) {
            HeaderRowClick(cell);
        } else if (cell.col < m_nFixedCols) {
            HeaderColumnClick(cell);
        } else {
            m_MouseMode = m_bListMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
            ExtendSelection(cell);
            m_autoScrollTimer.start(kAutoScrollInterval, this);
        }
    }
    m_LastMousePoint = point;
}

void CGridCtrl::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint point = event->position().toPoint();
    m_LastRawMousePoint = point;
    if (m_pTitleTip && m_pTitleTip->isVisible() && !m_pTitleTip->IsInHoverRect(viewport()->mapToGlobal(point)))
        HideTitleTip();
    if (m_MouseMode != MOUSE_DRAGGING && !viewport()->rect().contains(point))
        return;

    if (!m_bLMouseButtonDown || m_MouseMode == MOUSE_NOTHING) {
        UpdateHoverState(point);
        m_LastMousePoint = point;
        return;
    }
    if (!m_LeftClickDownCell.IsValid()) {
        m_LastMousePoint = point;
        return;
    }
    switch (m_MouseMode) {
    case MOUSE_SELECT_COL:
    case MOUSE_SELECT_ROW:
    case MOUSE_SELECT_CELLS: {
        // Only onto cells: the focus never leaves the grid's cells for the
        // empty area beside them, where no key could reach it again.
        const CCellID cell = GetCellFromPoint(point);
        if (cell.IsValid() && cell != m_idCurrentCell) {
            ExtendSelection(cell);
            if (!IsFixedCell(cell) || m_MouseMode != MOUSE_SELECT_CELLS)
                MoveFocusCell(cell.row, cell.col);
        }
        break;
    }
    case MOUSE_SIZING_ROW:
        MoveTracker(ClampSizingPoint(point).y());
        break;
    case MOUSE_SIZING_COL:
        MoveTracker(ClampSizingPoint(point).x());
        break;
    case MOUSE_PREPARE_EDIT:
    case MOUSE_PREPARE_DRAG:
        if (point != m_LeftClickDownPoint) {
            m_MouseMode = MOUSE_PREPARE_DRAG;
            StartDrag();
        }
        break;
    default:
        break;
    }
    m_LastMousePoint = point;
}

void CGridCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    const QPoint point = event->position().toPoint();
    m_LastRawMousePoint = point;
    if (event->button() == Qt::RightButton) {
        EndActiveEdit();
        const CCellID cell = GetCellFromPoint(point);
        if (cell.IsValid()) {
            MoveFocusCell(-1, -1);
            MoveFocusCell(cell.row, cell.col);
            CellUseScope scope(*this);
            if (CGridCellBase* object = GetCellAt(cell.row, cell.col))
                object->OnRClick(GetCellOffsetFromOrigin(cell.row, cell.col, point));
        }
        SendMessageToParent(cell.IsValid() ? cell.row : -1, cell.IsValid() ? cell.col : -1, NM_RCLICK, QString(),
                            QString(), point);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;

    m_bLMouseButtonDown = false;
    if (m_bMouseCaptured) {
        m_bMouseCaptured = false;
        StopAutoScroll();
    }
    const int mode = m_MouseMode;
    const CCellID clickDown = m_LeftClickDownCell;
    // Whatever the owner does with the notifications below, the pointer
    // interaction is over.
    struct BackToIdle
    {
        CGridCtrl& grid;
        QPoint point;
        ~BackToIdle()
        {
            grid.MoveTracker(-1);
            grid.m_MouseMode = MOUSE_NOTHING;
            grid.viewport()->setCursor(Qt::ArrowCursor);
            // No move follows a release here, so the pointer's place is
            // looked at now: a second click on a divider is a double click
            // on the divider.
            grid.UpdateHoverState(point);
        }
    } idle{*this, point};

    CellUseScope scope(*this);
    auto focusOffset = [&]() {
        const QPoint offset = GetCellOffsetFromOrigin(m_idCurrentCell.row, m_idCurrentCell.col, point);
        return m_idCurrentCell.IsValid() && offset != QPoint(-1, -1) ? offset : QPoint(0, 0);
    };
    auto clickFocusCell = [&]() {
        if (!m_idCurrentCell.IsValid())
            return;
        if (CGridCellBase* object = GetCellAt(m_idCurrentCell.row, m_idCurrentCell.col))
            object->OnClick(focusOffset());
    };

    switch (mode) {
    case MOUSE_PREPARE_EDIT:
        BeginCellEdit(m_idCurrentCell.row, m_idCurrentCell.col, focusOffset(), CGridEditKey::Key(VK_LBUTTON));
        break;
    case MOUSE_PREPARE_DRAG:
        clickFocusCell();
        SendMessageToParent(clickDown.row, clickDown.col, NM_CLICK);
        SendMessageToParent(clickDown.row, clickDown.col, GRIDN_SELCHANGING);
        ClearSelection();
        SendMessageToParent(m_idCurrentCell.row, m_idCurrentCell.col, GRIDN_SELCHANGED);
        break;
    case MOUSE_SIZING_COL: {
        MoveTracker(-1);
        const QPoint end = ClampSizingPoint(point);
        if (end != m_LeftClickDownPoint && end != QPoint(0, 0)) {
            const qint64 width = std::clamp<qint64>(end.x() - ColumnLeft(clickDown.col), 1, 32767);
            SetColumnWidth(clickDown.col, int(width), true, true);
            ResetScrollBars();
            viewport()->update();
        }
        break;
    }
    case MOUSE_SIZING_ROW: {
        MoveTracker(-1);
        const QPoint end = ClampSizingPoint(point);
        if (end != m_LeftClickDownPoint && end != QPoint(0, 0)) {
            const qint64 height = std::clamp<qint64>(end.y() - RowTop(clickDown.row), 0, 32767);
            SetRowHeight(clickDown.row, int(height), true);
            ResetScrollBars();
            viewport()->update();
        }
        break;
    }
    default:
        SendMessageToParent(m_idCurrentCell.row, m_idCurrentCell.col, GRIDN_SELCHANGED);
        clickFocusCell();
        SendMessageToParent(clickDown.row, clickDown.col, NM_CLICK);
        break;
    }

    if (clickDown.IsValid()) {
        QMetaObject::invokeMethod(
            this, [this, id = m_nID]() { emit ControlCommand(id); }, Qt::QueuedConnection);
    }
}

void CGridCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    m_LastRawMousePoint = point;
    if (m_MouseMode == MOUSE_OVER_COL_DIVIDE) {
        const int col = ColumnDividerAt(point);
        if (col >= 0)
            AutoSizeColumn(col);
        viewport()->update();
        return;
    }
    if (m_MouseMode == MOUSE_OVER_ROW_DIVIDE) {
        const int row = RowDividerAt(point);
        if (row >= 0)
            AutoSizeRow(row);
        viewport()->update();
        return;
    }
    const CCellID cell = GetCellFromPoint(point);
    if (m_MouseMode != MOUSE_NOTHING || !cell.IsValid())
        return;
    CellUseScope scope(*this);
    const QPoint offset = GetCellOffsetFromOrigin(cell.row, cell.col, point);
    if (!IsFixedCell(cell) && IsOnCellText(cell, point) && (m_LeftClickDownCell.IsValid() || m_bListMode))
        BeginCellEdit(cell.row, cell.col, offset, CGridEditKey::Key(VK_LBUTTON));
    if (CGridCellBase* object = GetCellAt(cell.row, cell.col))
        object->OnDblClick(offset);
    SendMessageToParent(cell.row, cell.col, NM_DBLCLK);
}

void CGridCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_autoScrollTimer.timerId()) {
        OnAutoScrollTimer();
        return;
    }
    QAbstractScrollArea::timerEvent(event);
}

void CGridCtrl::OnAutoScrollTimer()
{
    const QPoint point = m_LastRawMousePoint;
    const QRect client = viewport()->rect();
    const int fixedHeight = GetFixedRowHeight();
    const int frozenWidth = GetFixedColumnWidth(true);
    bool stepped = false;
    if (point.y() > client.bottom()) {
        OnGridKeyDown(VK_DOWN, Qt::NoModifier);
        stepped = true;
    } else if (point.y() < fixedHeight) {
        OnGridKeyDown(VK_UP, Qt::NoModifier);
        stepped = true;
    }
    if (point.x() > client.right()) {
        OnGridKeyDown(VK_RIGHT, Qt::NoModifier);
        stepped = true;
    } else if (point.x() < frozenWidth) {
        OnGridKeyDown(VK_LEFT, Qt::NoModifier);
        stepped = true;
    }
    if (!stepped)
        return;
    const QPoint inside(std::clamp(point.x(), frozenWidth, std::max(frozenWidth, client.right())),
                        std::clamp(point.y(), fixedHeight, std::max(fixedHeight, client.bottom())));
    const CCellID cell = GetCellFromPoint(inside);
    if (cell.IsValid())
        ExtendSelection(cell);
}

void CGridCtrl::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    HideTitleTip();
    // The pointer went to another window while a button was held: the
    // drag is over, whether or not a release ever arrives.
    if (m_bMouseCaptured) {
        m_bMouseCaptured = false;
        StopAutoScroll();
        if (m_MouseMode == MOUSE_DRAGGING)
            m_MouseMode = MOUSE_NOTHING;
    }
}

// ---------------------------------------------------------------------------
// Keyboard

bool CGridCtrl::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        if (IsGridShortcut(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress: {
        // Tab moves between cells, not out of the grid; Ctrl+Tab does leave.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QAbstractScrollArea::event(event);
}

void CGridCtrl::keyPressEvent(QKeyEvent* event)
{
    HideTitleTip();
    const Qt::KeyboardModifiers modifiers = KeyModifiers(event);
    // Alt keys belong to menus and mnemonics, Ctrl+Tab to the window.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if ((modifiers & Qt::AltModifier) || (tab && (modifiers & Qt::ControlModifier))) {
        event->ignore();
        return;
    }
    event->accept();
    if (const int key = VirtualKeyOf(event->key()))
        OnGridKeyDown(key, modifiers, std::max(event->count(), 1));
    const QString text = TypedText(event);
    if (!text.isEmpty())
        OnGridChar(text, modifiers);
}

void CGridCtrl::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
    const QString text = event->commitString();
    if (text.isEmpty() || (QGuiApplication::keyboardModifiers() & Qt::ControlModifier)
        || m_MouseMode != MOUSE_NOTHING)
        return;
    BeginCellEdit(m_idCurrentCell.row, m_idCurrentCell.col, QPoint(-1, -1), CGridEditKey::Char(text));
}

void CGridCtrl::OnGridChar(const QString& text, Qt::KeyboardModifiers modifiers)
{
    if ((modifiers & Qt::ControlModifier) || m_MouseMode != MOUSE_NOTHING)
        return;
    if (text == QLatin1String("\x1b") || text == QLatin1String("\t"))
        return;
    BeginCellEdit(m_idCurrentCell.row, m_idCurrentCell.col, QPoint(-1, -1), CGridEditKey::Char(text));
}

void CGridCtrl::OnGridKeyDown(int key, Qt::KeyboardModifiers modifiers, int repeat)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;

    if (!ctrl && !shift && (key == VK_F5 || key == VK_F4)) {
        emit MainWindowCommand(key == VK_F5 ? ID_GRID_F5 : ID_GRID_F4);
        return;
    }
    if (ctrl) {
        if (key == 'C' || key == VK_INSERT)
            CopySelectionToClipboard();
        else if (key == 'X')
            CutSelection();
        else if (key == 'V')
            PasteClipboard();
        else if (key == 'A')
            SelectAllCells();
    } else if (shift && key == VK_INSERT) {
        PasteClipboard();
    } else if (shift && key == VK_DELETE) {
        // The cut key: never the Delete that empties the focus cell.
        CutSelection();
        return;
    }

    const CCellID focus = m_idCurrentCell;
    if (!focus.IsValid())
        return;
    {
        CellUseScope scope(*this);
        CGridCellBase* cell = GetCellAt(focus.row, focus.col);
        if (cell && !cell->OnKeyDown(key, repeat, quint32(modifiers)))
            return;
    }

    CCellID target = focus;
    bool wrapped = false;
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    switch (key) {
    case VK_DOWN:
        target.row = NextRow(focus.row, 1);
        break;
    case VK_UP:
        target.row = NextRow(focus.row, -1);
        break;
    case VK_RIGHT:
        target.col = NextColumn(focus.col, 1);
        break;
    case VK_LEFT:
        target.col = NextColumn(focus.col, -1);
        break;
    case VK_TAB:
        if (!shift) {
            target.col = NextColumn(focus.col, 1);
            if (target.col == focus.col) {
                const int row = NextRow(focus.row, 1);
                if (row != focus.row) {
                    target = CCellID(row, FirstBodyColumn());
                    wrapped = true;
                }
            }
        } else {
            target.col = NextColumn(focus.col, -1);
            if (target.col == focus.col) {
                const int row = NextRow(focus.row, -1);
                if (row != focus.row) {
                    target = CCellID(row, LastColumn());
                    wrapped = true;
                }
            }
        }
        break;
    case VK_NEXT: {
        const int top = GetTopLeftNonFixedCell().row;
        vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
        const int moved = GetTopLeftNonFixedCell().row - top;
        target.row = moved > 0 ? std::min(focus.row + moved, m_nRows - 1) : m_nRows - 1;
        break;
    }
    case VK_PRIOR: {
        const int top = GetTopLeftNonFixedCell().row;
        vertical->triggerAction(QAbstractSlider::SliderPageStepSub);
        const int moved = GetTopLeftNonFixedCell().row - top;
        target.row = moved < 0 ? std::max(focus.row + moved, m_nFixedRows) : m_nFixedRows;
        break;
    }
    case VK_HOME:
        horizontal->setValue(horizontal->minimum());
        target.col = FirstBodyColumn();
        if (ctrl) {
            vertical->setValue(vertical->minimum());
            const int row = NextRow(m_nFixedRows - 1, 1);
            target.row = row >= m_nFixedRows ? row : m_nFixedRows;
        }
        break;
    case VK_END:
        horizontal->setValue(horizontal->maximum());
        target.col = LastColumn();
        if (ctrl) {
            vertical->setValue(vertical->maximum());
            const int row = NextRow(m_nRows, -1);
            target.row = row < m_nRows ? row : m_nRows - 1;
        }
        break;
    case VK_F2:
        BeginCellEdit(focus.row, focus.col, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
        break;
    case VK_DELETE:
        BeginCellEdit(focus.row, focus.col, QPoint(-1, -1), CGridEditKey::Key(VK_DELETE));
        break;
    default:
        return;
    }
    if (!target.IsValid() || target.row >= m_nRows || target.col >= m_nCols)
        return;

    if (target != focus) {
        if (m_MouseMode == MOUSE_NOTHING) {
            m_PrevSelectedCellMap.Clear();
            m_MouseMode = m_bListMode ? MOUSE_SELECT_ROW : MOUSE_SELECT_CELLS;
            struct BackToIdle
            {
                int& mode;
                ~BackToIdle() { mode = MOUSE_NOTHING; }
            } idle{m_MouseMode};
            if (!shift || key == VK_TAB)
                m_SelectionStartCell = target;
            SendMessageToParent(target.row, target.col, GRIDN_SELCHANGING);
            ExtendSelection(target);
            SendMessageToParent(target.row, target.col, GRIDN_SELCHANGED);
        }
        MoveFocusCell(target.row, target.col);
    }

    if (!IsCellFullyVisible(target.row, target.col)) {
        // A key that walks off the page scrolls by one line first, the way
        // the bars step.
        bool stepped = true;
        switch (key) {
        case VK_DOWN:
            vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case VK_UP:
            vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case VK_RIGHT:
            horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            break;
        case VK_LEFT:
            horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub);
            break;
        case VK_TAB:
            if (wrapped) {
                vertical->triggerAction(shift ? QAbstractSlider::SliderSingleStepSub
                                              : QAbstractSlider::SliderSingleStepAdd);
                horizontal->setValue(shift ? horizontal->maximum() : horizontal->minimum());
            } else {
                horizontal->triggerAction(shift ? QAbstractSlider::SliderSingleStepSub
                                                : QAbstractSlider::SliderSingleStepAdd);
            }
            break;
        default:
            stepped = false;
            break;
        }
        if (stepped && m_bAllowDraw)
            viewport()->update();
    }
    EnsureCellVisible(target.row, target.col);
}
