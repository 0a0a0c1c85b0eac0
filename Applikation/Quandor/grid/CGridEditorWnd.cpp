#include "CGridEditorWnd.h"

#include "CGridCtrl.h"

#include <QPointer>

bool CGridEditorWnd::ReportEnd(QWidget* editor, CGridCtrl* grid, bool heldFocus, int row, int col,
                               const QString& text, const CGridEditKey& key, const QString& value)
{
    QPointer<QWidget> self(editor);
    if (grid) {
        grid->ReleaseActiveEditor(editor);
        if (heldFocus)
            grid->setFocus(Qt::OtherFocusReason);
        grid->EndInPlaceEdit(row, col, text, key, value);
    }
    return !self.isNull();
}

void CGridEditorWnd::Dispose(QWidget* editor)
{
    editor->hide();
    editor->deleteLater();
}
