#include "CGridCell.h"

#include "CGridCtrl.h"
#include "CGridDefaultCell.h"
#include "CGridEditorWnd.h"
#include "CInPlaceEdit.h"

IMPLEMENT_GRIDCELL(CGridCell, CGridCellBase)

CGridCell::CGridCell()
{
    CGridCell::Reset();
}

CGridCell::~CGridCell() = default;

void CGridCell::SetText(const QString& text)
{
    m_strText = text;
    m_strValueText = text;
}

void CGridCell::SetFont(const GridLogFont* font)
{
    m_pFont = font ? std::make_unique<GridLogFont>(*font) : nullptr;
}

quint32 CGridCell::GetFormat() const
{
    if (m_nFormat != GRID_FORMAT_UNSET)
        return m_nFormat;
    if (const CGridDefaultCell* defaultCell = GetDefaultCell())
        return defaultCell->GetFormat();
    return DT_NOPREFIX | DT_END_ELLIPSIS;
}

COLORREF CGridCell::GetTextClr(bool ignoreDisplay) const
{
    if (!ignoreDisplay && !IsDefaultColor(GetDisplayTextClr()))
        return GetDisplayTextClr();
    return m_crFgClr;
}

COLORREF CGridCell::GetBackClr(bool ignoreDisplay) const
{
    if (!ignoreDisplay && !IsDefaultColor(GetDisplayBackClr()))
        return GetDisplayBackClr();
    return m_crBkClr;
}

const GridLogFont* CGridCell::GetFont() const
{
    if (m_pFont)
        return m_pFont.get();
    if (const CGridDefaultCell* defaultCell = GetDefaultCell())
        return defaultCell->GetFont();
    return nullptr;
}

QFont CGridCell::GetFontObject() const
{
    if (m_pFont)
        return m_pFont->font;
    if (const CGridDefaultCell* defaultCell = GetDefaultCell())
        return defaultCell->GetFontObject();
    if (m_pGrid)
        return m_pGrid->font();
    return QFont();
}

QWidget* CGridCell::GetEditWnd() const
{
    if (m_bEditing && m_pEditWnd)
        return m_pEditWnd.data();
    if (m_pGrid && m_pGrid->IsEditingCell(GetRow(), GetColumn()))
        return m_pGrid->GetActiveEditor();
    return nullptr;
}

quint32 CGridCell::GetMargin() const
{
    if (m_nMargin != GRID_MARGIN_UNSET)
        return m_nMargin;
    if (const CGridDefaultCell* defaultCell = GetDefaultCell())
        return defaultCell->GetMargin();
    return 3;
}

void CGridCell::Assign(const CGridCellBase& source)
{
    if (&source != this)
        CopyFrom(source);
}

void CGridCell::CopyFrom(const CGridCellBase& source)
{
    CGridCellBase::CopyFrom(source);
    if (const auto* cell = dynamic_cast<const CGridCell*>(&source)) {
        // The settings as the source holds them: an unset format or margin
        // stays unset and keeps following the default cell.
        m_strText = cell->m_strText;
        m_strValueText = cell->m_strValueText;
        m_lParam = cell->m_lParam;
        m_nImage = cell->m_nImage;
        m_nFormat = cell->m_nFormat;
        m_crFgClr = cell->m_crFgClr;
        m_crBkClr = cell->m_crBkClr;
        SetFont(cell->m_pFont.get());
        m_nMargin = cell->m_nMargin;
        return;
    }
    SetText(source.GetText());
    m_lParam = source.GetData();
    m_nImage = source.GetImage();
    m_nFormat = source.GetFormat();
    m_crFgClr = source.GetTextClr(true);
    m_crBkClr = source.GetBackClr(true);
    SetFont(source.IsDefaultFont() ? nullptr : source.GetFont());
    m_nMargin = source.GetMargin();
}

void CGridCell::Reset()
{
    CGridCellBase::Reset();
    m_strText.clear();
    m_strValueText.clear();
    m_nFormat = GRID_FORMAT_UNSET;
    m_crFgClr = CLR_DEFAULT;
    m_crBkClr = CLR_DEFAULT;
    m_pFont.reset();
    m_nMargin = GRID_MARGIN_UNSET;
}

bool CGridCell::IsEditing() const
{
    // Display copies come and go while an editor stays open; the grid knows
    // which cell its editor works on.
    return m_bEditing || (m_pGrid && m_pGrid->IsEditingCell(GetRow(), GetColumn()));
}

quint32 CGridCell::EditStyleFromFormat() const
{
    const quint32 format = GetFormat();
    if (format & DT_RIGHT)
        return CInPlaceEdit::ES_RIGHT;
    if (format & DT_CENTER)
        return CInPlaceEdit::ES_CENTER;
    return CInPlaceEdit::ES_LEFT;
}

bool CGridCell::ForwardToOpenEditor(const CGridEditKey& key)
{
    if (!IsEditing())
        return false;
    if (auto* open = dynamic_cast<CGridEditorWnd*>(GetEditWnd()))
        open->ForwardKey(key);
    return true;
}

void CGridCell::AttachEditor(QWidget* editor, int row, int col)
{
    m_bEditing = true;
    m_pEditWnd = editor;
    if (m_pGrid)
        m_pGrid->SetActiveEditor(editor, row, col);
}

bool CGridCell::Edit(int row, int col, QRect rect, QPoint, quint32 id, const CGridEditKey& key)
{
    if (ForwardToOpenEditor(key))
        return true;
    if (!m_pGrid)
        return false;
    auto* editor = new CInPlaceEdit(m_pGrid, rect, EditStyleFromFormat(), id, row, col, GetText(), key);
    editor->SetTextLimit(GetTextLimit());
    editor->SetValidation(GetValidation());
    AttachEditor(editor, row, col);
    return true;
}

void CGridCell::EndEdit()
{
    if (auto* open = dynamic_cast<CGridEditorWnd*>(GetEditWnd()))
        open->EndEdit();
}

void CGridCell::OnEndEdit()
{
    m_bEditing = false;
    m_pEditWnd.clear();
}
