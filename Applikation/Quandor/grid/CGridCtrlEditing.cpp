// CGridCtrl: notifications to the owner and the hand-off of cell edits
// between the grid, the cell's editor and the owner.
#include "CGridCtrl.h"
#include "GridKeyMap.h"

#include "CGridCellBase.h"
#include "CGridEditorWnd.h"
#include "CGridNotifyReceiver.h"

#include <QMetaObject>
#include <QPointer>

#include <cstring>

namespace
{

// The control id the in-place editors report under.
constexpr quint32 kEditorId = 8;

// Cells that change by clicks, never by typing. Exactly these classes: a
// class derived from one of them decides for itself.
bool IsClickedCellClass(const CGridCellClass& cellClass)
{
    static const char* const kClasses[] = {"CGridCellOptionList", "CGridCellCheckList", "CGridCellCheck",
                                           "CGridCellButton"};
    for (const char* name : kClasses) {
        if (std::strcmp(cellClass.GetName(), name) == 0)
            return true;
    }
    return false;
}

}  // namespace

qint64 CGridCtrl::SendMessageToParent(int row, int col, int code, const QString& text1, const QString& text2,
                                      QPoint point)
{
    // A body row that the row order cannot translate names no record.
    if (!m_arRowOrder.empty() && row > 0 && std::size_t(row - 1) >= m_arRowOrder.size())
        return 1;
    CGridNotifyReceiver* receiver = GetReceiver();
    if (!receiver)
        return 0;
    GRID_NOTIFY notify;
    notify.hdr = {this, m_nID, code};
    const int dataRow = GetDataRow(row);
    notify.dataRow = dataRow >= 0 ? dataRow : row;
    notify.row = row;
    notify.column = col;
    notify.text1 = text1;
    notify.text2 = text2;
    notify.point = point;
    if (code == NM_RCLICK)
        notify.screenPoint = viewport()->mapToGlobal(point);
    // The owner may refill or refresh the grid while it answers; cells the
    // caller holds stay alive until the notification is over.
    CellUseScope scope(*this);
    const qint64 result = receiver->OnGridNotify(notify);
    if (code == GRIDN_ENDEDIT && m_bVirtualMode) {
        // Whatever reported the change (an editor, a check or list cell, a
        // paste), the owner decides what the cell holds: a refused value
        // must not stay on screen.
        m_cache.Remove(CCellID::MakeKey(row, col));
    }
    return result;
}

bool CGridCtrl::IsCellEditable(int row, int col)
{
    if (!m_bEditable)
        return false;
    CellUseScope scope(*this);
    const CGridCellBase* cell = GetCellAt(row, col);
    if (!cell || (cell->GetState() & (GVIS_READONLY | GVIS_READONLY_OWN)))
        return false;
    return !IsClickedCellClass(cell->GetRuntimeClass());
}

void CGridCtrl::BeginCellEdit(int row, int col, QPoint point, const CGridEditKey& key)
{
    HideTitleTip();
    if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols)
        return;
    CellUseScope scope(*this);
    if (!IsCellEditable(row, col))
        return;
    EnsureCellVisible(row, col);
    if (!IsCellVisible(row, col) || !GetCellRect(row, col, nullptr))
        return;
    if (SendMessageToParent(row, col, GRIDN_BEGINEDIT) < 0)
        return;
    // The owner may have refreshed or scrolled the grid while it answered.
    QRect rect;
    CGridCellBase* cell = GetCellAt(row, col);
    if (!cell || !GetCellRect(row, col, &rect))
        return;
    cell->Edit(row, col, rect, point, kEditorId, key);
}

bool CGridCtrl::ValidateCellEdit(int row, int col, const QString& text)
{
    CellUseScope scope(*this);
    CGridCellBase* cell = GetCellAt(row, col);
    return cell ? cell->ValidateEdit(text) : true;
}

void CGridCtrl::FinishCellEdit(int row, int col, const QString& text, const QString& text2)
{
    CellUseScope scope(*this);
    CGridCellBase* cell = GetCellAt(row, col);
    if (!cell)
        return;
    if (text != cell->GetText()) {
        const QString oldText = cell->GetText();
        cell->SetText(text);
        SetCellModified(true, row, col);
        bool told = false;
        bool accepted = false;
        try {
            if (ValidateCellEdit(row, col, text)) {
                told = true;
                accepted = SendMessageToParent(row, col, GRIDN_ENDEDIT, text, text2) >= 0;
            }
        } catch (...) {
            // Whatever the owner did not finish, the cell shows what it has.
            cell->SetText(oldText);
            m_cache.Remove(CCellID::MakeKey(row, col));
            InvalidateCell(row, col);
            cell->OnEndEdit();
            throw;
        }
        if (accepted)
            SetCellModified(true, row, col);
        else
            cell->SetText(oldText);
        if (told && m_bVirtualMode) {
            // The owner decides what the cell holds: it is asked again, so a
            // value it refused or changed never stays on screen.
            m_cache.Remove(CCellID::MakeKey(row, col));
        }
        InvalidateCell(row, col);
    }
    cell->OnEndEdit();
}

void CGridCtrl::EndInPlaceEdit(int row, int col, const QString& text, const CGridEditKey& lastKey)
{
    EndInPlaceEdit(row, col, text, lastKey, text);
}

void CGridCtrl::EndInPlaceEdit(int row, int col, const QString& text, const CGridEditKey& lastKey,
                               const QString& value)
{
    FinishCellEdit(row, col, text, value);
    if (!lastKey.IsKey() || !GridKeyMap::MovesEditOn(lastKey.KeyCode()))
        return;
    // Not now: the editor is still going away and the focus with it. At the
    // next turn the key moves the focus and the next editor takes over.
    QMetaObject::invokeMethod(
        this,
        [this, lastKey]() {
            OnGridKeyDown(lastKey.KeyCode(), lastKey.Modifiers());
            if (m_idCurrentCell.IsValid())
                BeginCellEdit(m_idCurrentCell.row, m_idCurrentCell.col, QPoint(-1, -1), lastKey);
        },
        Qt::QueuedConnection);
}

void CGridCtrl::SetActiveEditor(QWidget* editor, int row, int col)
{
    // One editor at a time: one still open gives up its cell first.
    if (m_activeEditor && m_activeEditor != editor)
        EndActiveEdit();
    m_activeEditor = editor;
    m_idEditCell = CCellID(row, col);
}

void CGridCtrl::ReleaseActiveEditor(const QWidget* editor)
{
    if (m_activeEditor == editor) {
        m_activeEditor.clear();
        m_idEditCell = CCellID();
    }
}

void CGridCtrl::EndActiveEdit()
{
    QWidget* editor = m_activeEditor.data();
    if (!editor)
        return;
    // The editor reports to the grid, and the owner may do anything while
    // it answers; the grid keeps nothing of the editor across the call.
    if (auto* open = dynamic_cast<CGridEditorWnd*>(editor)) {
        open->EndEdit();
    } else {
        ReleaseActiveEditor(editor);
        if (CGridCellBase* cell = GetCellAt(m_idCurrentCell.row, m_idCurrentCell.col); cell && cell->IsEditing())
            cell->EndEdit();
    }
}

void CGridCtrl::SetCellValueByEdit(int row, int col, const QString& text)
{
    CellUseScope scope(*this);
    CGridCellBase* cell = GetCellAt(row, col);
    if (!cell || (cell->GetState() & GVIS_READONLY_OWN))
        return;
    if (SendMessageToParent(row, col, GRIDN_BEGINEDIT) < 0)
        return;
    cell = GetCellAt(row, col);
    if (!cell || cell->GetValue() == text)
        return;
    cell->SetValue(text);
    const QString value = cell->GetValue();
    if (!ValidateCellEdit(row, col, value))
        return;
    const bool accepted = SendMessageToParent(row, col, GRIDN_ENDEDIT, value, value) >= 0;
    if (accepted)
        SetCellModified(true, row, col);
    if (m_bVirtualMode)
        m_cache.Remove(CCellID::MakeKey(row, col));
    InvalidateCell(row, col);
}

void CGridCtrl::SelectAllCells()
{
    SendMessageToParent(m_LeftClickDownCell.row, m_LeftClickDownCell.col, GRIDN_SELCHANGING);
    SelectAllBody();
    SendMessageToParent(m_idCurrentCell.row, m_idCurrentCell.col, GRIDN_SELCHANGED);
}
