#include "CGridEditorWnd.h"

#include "CGridCtrl.h"

CGridEditorWnd::CGridEditorWnd(CGridCtrl* grid, quint32 id, int row, int col, const QString& initialText,
                               const CGridEditKey& firstKey)
    : m_pGrid(grid),
      m_nID(id),
      m_nRow(row),
      m_nColumn(col),
      m_strInitText(initialText),
      // A click (or F2) leaves the arrows to the caret; an edit begun by a
      // key is a quick entry that the arrows leave again.
      m_bExitOnArrows(!(firstKey.IsKey() && firstKey.KeyCode() == VK_LBUTTON) && !firstKey.IsNone())
{
}

void CGridEditorWnd::FinishWithKey(int key, Qt::KeyboardModifiers modifiers)
{
    m_lastKey = CGridEditKey::Key(key, modifiers);
    BeforeFocusReturns();
    if (m_pGrid && HoldsFocus())
        m_pGrid->setFocus(Qt::OtherFocusReason);
    // Without an active window the focus does not move and no focus-out
    // arrives; the end must not depend on it.
    EndEdit();
}

bool CGridEditorWnd::ReportEnd(QWidget* editor, const QString& text, const QString& value)
{
    QPointer<QWidget> self(editor);
    if (CGridCtrl* grid = m_pGrid.data()) {
        grid->ReleaseActiveEditor(editor);
        if (HoldsFocus())
            grid->setFocus(Qt::OtherFocusReason);
        grid->EndInPlaceEdit(m_nRow, m_nColumn, text, m_lastKey, value);
    }
    return !self.isNull();
}

void CGridEditorWnd::Dispose(QWidget* editor)
{
    editor->hide();
    editor->deleteLater();
}

void CGridEditorWnd::Discard(QWidget* editor)
{
    m_bEnded = true;
    m_pGrid.clear();
    Dispose(editor);
}
