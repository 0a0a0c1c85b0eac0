// CGridCtrl: copying a cell's value or a row's values, pasting them into the
// selected cells, and the drag operations of a grid that takes no drops.
// Every change a paste makes goes through the edit notifications, so the
// owner can refuse or store it like a typed edit.
#include "CGridCtrl.h"

#include "CGridCellBase.h"
#include "CGridCellCheck.h"
#include "CUiMessage.h"

#include <QAction>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>

#include <algorithm>
#include <iterator>

namespace
{

QClipboard* Clipboard()
{
    return QGuiApplication::clipboard();
}

// What a paste puts into a cell: the first line of the text, without the
// blanks around it. A value never holds a line break; a record is one line
// in the exported files.
QString PastedValue(const QString& text)
{
    const QString trimmed = text.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed.at(end) != QLatin1Char('\r') && trimmed.at(end) != QLatin1Char('\n'))
        ++end;
    return trimmed.left(end).trimmed();
}

}  // namespace

// ---------------------------------------------------------------------------
// Copy

std::unique_ptr<QMimeData> CGridCtrl::CopyCellToDataSource(int row, int col)
{
    if (row == -1 && col == -1) {
        const std::vector<int> rows = m_SelectedCellMap.Rows();
        if (rows.empty())
            return nullptr;
        row = rows.front();
        col = m_nCols;
        for (int selectedRow : rows) {
            const std::vector<int> cols = m_SelectedCellMap.ColumnsOf(selectedRow);
            if (!cols.empty())
                col = std::min(col, cols.front());
        }
    }
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return nullptr;
    if (m_bVirtualMode)
        SendCacheHint(CCellRange(row, col, row, col));
    bool found = false;
    QString value;
    {
        CellUseScope scope(*this);
        if (const CGridCellBase* cell = GetCellAt(row, col)) {
            found = true;
            value = cell->GetValue();
        }
    }
    if (m_bVirtualMode)
        SendCacheHint(CCellRange());
    if (!found)
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setText(value);
    return data;
}

void CGridCtrl::CopySelectionToClipboard()
{
    m_copiedCells.clear();
    const std::vector<int> rows = m_SelectedCellMap.Rows();
    if (rows.size() >= 2) {
        CUiMessage::Show(QStringLiteral("Error"), QMessageBox::Warning);
        return;
    }
    // Nothing selected: the clipboard keeps what it holds.
    if (rows.empty())
        return;
    const int row = rows.front();
    const std::vector<int> cols = m_SelectedCellMap.ColumnsOf(row);
    if (cols.size() <= 1) {
        std::unique_ptr<QMimeData> data = CopyCellToDataSource(-1, -1);
        if (!data)
            return;
        m_copiedCells.push_back({row, cols.empty() ? -1 : cols.front(), data->text()});
        Clipboard()->setMimeData(data.release(), QClipboard::Clipboard);
        return;
    }
    // Several cells of one row wait for a paste onto other rows. Their values
    // are kept as they are now: a sort or a refill before the paste shows
    // another record at this place, but the user copied this one.
    if (m_bVirtualMode)
        SendCacheHint(CCellRange(row, cols.front(), row, cols.back()));
    {
        CellUseScope scope(*this);
        for (int col : cols) {
            if (const CGridCellBase* cell = GetCellAt(row, col))
                m_copiedCells.push_back({row, col, cell->GetValue()});
        }
    }
    if (m_bVirtualMode)
        SendCacheHint(CCellRange());
}

void CGridCtrl::CutSelection() {}

// ---------------------------------------------------------------------------
// Paste

bool CGridCtrl::PasteFromClipboard(int row, int col, const QMimeData* data)
{
    if (!data || !data->hasText())
        return false;
    return PasteValue(row, col, data->text());
}

bool CGridCtrl::PasteValue(int row, int col, const QString& text)
{
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return false;
    bool isCheck = false;
    {
        CellUseScope scope(*this);
        const CGridCellBase* cell = GetCellAt(row, col);
        if (!cell || (cell->GetState() & (GVIS_READONLY | GVIS_READONLY_OWN)))
            return false;
        isCheck = cell->IsKindOf(CGridCellCheck::GetThisClass());
    }
    const QString value = PastedValue(text);
    if (value.isEmpty())
        return true;
    // A tick is "1" or "0". Any other text would read as "not ticked" and,
    // pasted over a row, take a transponder off its readers.
    if (isCheck && value != QLatin1String("1") && value != QLatin1String("0"))
        return false;
    SetCellValueByEdit(row, col, value);
    return true;
}

void CGridCtrl::PasteClipboard()
{
    if (!m_bEditable)
        return;
    // The targets as they are now: the owner may refill the grid and clear
    // the selection each time it stores a pasted value.
    if (m_copiedCells.size() < 2) {
        const std::vector<CCellID> targets = m_SelectedCellMap.Cells();
        if (targets.empty())
            return;
        // Read once: every target gets the same text, whatever the owner
        // does with the clipboard meanwhile.
        QMimeData text;
        if (const QMimeData* data = Clipboard()->mimeData(QClipboard::Clipboard); data && data->hasText())
            text.setText(data->text());
        for (const CCellID& target : targets) {
            {
                CellUseScope scope(*this);
                const CGridCellBase* cell = GetCellAt(target.row, target.col);
                if (cell && cell->IsEditing()) {
                    if (auto* editor = qobject_cast<QLineEdit*>(cell->GetEditWnd())) {
                        editor->paste();
                        return;
                    }
                }
            }
            PasteFromClipboard(target.row, target.col, &text);
        }
        return;
    }

    // A copied row: its values go column by column onto every selected row.
    const std::vector<int> rows = m_SelectedCellMap.Rows();
    if (rows.empty())
        return;
    const std::vector<CopiedCell> copied = m_copiedCells;
    for (int row : rows) {
        for (const CopiedCell& cell : copied)
            PasteValue(row, cell.col, cell.value);
    }
    Clipboard()->setText(copied.back().value, QClipboard::Clipboard);
}

// ---------------------------------------------------------------------------
// The edit commands

namespace
{

constexpr int kEditCommands[] = {CGridCtrl::ID_EDIT_COPY, CGridCtrl::ID_EDIT_CUT, CGridCtrl::ID_EDIT_PASTE,
                                 CGridCtrl::ID_EDIT_SELECT_ALL};

int EditCommandSlot(int id)
{
    for (std::size_t i = 0; i < std::size(kEditCommands); ++i) {
        if (kEditCommands[i] == id)
            return int(i);
    }
    return -1;
}

}  // namespace

bool CGridCtrl::IsEditCommandEnabled(int id)
{
    switch (id) {
    case ID_EDIT_COPY:
        return GetSelectedCount() > 0;
    case ID_EDIT_CUT:
        return m_bEditable && GetSelectedCount() > 0;
    case ID_EDIT_PASTE: {
        if (!m_idCurrentCell.IsValid() || !IsCellEditable(m_idCurrentCell.row, m_idCurrentCell.col))
            return false;
        const QMimeData* data = Clipboard()->mimeData(QClipboard::Clipboard);
        return data && data->hasText();
    }
    case ID_EDIT_SELECT_ALL:
        return true;
    default:
        return false;
    }
}

bool CGridCtrl::OnEditCommand(int id)
{
    // The rule is asked again: a menu built a while ago may offer a command
    // that no longer applies.
    if (!IsEditCommandEnabled(id))
        return false;
    switch (id) {
    case ID_EDIT_COPY:
        CopySelectionToClipboard();
        break;
    case ID_EDIT_CUT:
        CutSelection();
        break;
    case ID_EDIT_PASTE:
        PasteClipboard();
        break;
    case ID_EDIT_SELECT_ALL:
        SelectAllCells();
        break;
    default:
        return false;
    }
    return true;
}

QAction* CGridCtrl::GetEditAction(int id)
{
    const int slot = EditCommandSlot(id);
    if (slot < 0)
        return nullptr;
    QAction*& action = m_editActions[slot];
    if (!action) {
        action = new QAction(this);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id]() { OnEditCommand(id); });
    }
    action->setEnabled(IsEditCommandEnabled(id));
    return action;
}

void CGridCtrl::UpdateEditActions()
{
    for (std::size_t i = 0; i < std::size(kEditCommands); ++i) {
        if (m_editActions[i])
            m_editActions[i]->setEnabled(IsEditCommandEnabled(kEditCommands[i]));
    }
}

// ---------------------------------------------------------------------------
// Drag and drop: the grid starts no drags and takes no drops.

void CGridCtrl::StartDrag() {}

int CGridCtrl::OnDragEnter(QWidget*, const QMimeData*, Qt::KeyboardModifiers, QPoint)
{
    return DROPEFFECT_NONE;
}

int CGridCtrl::OnDragOver(QWidget*, const QMimeData*, Qt::KeyboardModifiers, QPoint)
{
    return DROPEFFECT_NONE;
}

void CGridCtrl::OnDragLeave()
{
    const CCellID cell = m_LastDragOverCell;
    m_LastDragOverCell = CCellID();
    if (!cell.IsValid() || cell.row >= m_nRows || cell.col >= m_nCols)
        return;
    const quint32 state = GetItemState(cell.row, cell.col);
    if (state & GVIS_DROPHILITED) {
        SetItemState(cell.row, cell.col, state & ~GVIS_DROPHILITED);
        RedrawCell(cell.row, cell.col);
    }
}

bool CGridCtrl::OnDrop(QWidget*, const QMimeData*, int, QPoint)
{
    m_MouseMode = MOUSE_NOTHING;
    return false;
}

void CGridCtrl::dragEnterEvent(QDragEnterEvent* event)
{
    m_dropTarget.HandleEvent(viewport(), event);
}

void CGridCtrl::dragMoveEvent(QDragMoveEvent* event)
{
    m_dropTarget.HandleEvent(viewport(), event);
}

void CGridCtrl::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropTarget.HandleEvent(viewport(), event);
}

void CGridCtrl::dropEvent(QDropEvent* event)
{
    m_dropTarget.HandleEvent(viewport(), event);
}
