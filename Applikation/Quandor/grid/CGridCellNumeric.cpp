#include "CGridCellNumeric.h"

#include "CInPlaceEdit.h"

IMPLEMENT_GRIDCELL(CGridCellNumeric, CGridCell)

bool CGridCellNumeric::IsAcceptedText(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool CGridCellNumeric::Edit(int row, int col, QRect rect, QPoint, quint32 id, const CGridEditKey& key)
{
    if (ForwardToOpenEditor(key))
        return true;
    if (!GetGrid())
        return false;
    auto* editor = new CInPlaceEdit(GetGrid(), rect, EditStyleFromFormat() | CInPlaceEdit::ES_NUMBER, id, row, col,
                                    GetText(), key);
    editor->SetTextLimit(GetTextLimit());
    editor->SetValidation(GetValidation());
    AttachEditor(editor, row, col);
    return true;
}
