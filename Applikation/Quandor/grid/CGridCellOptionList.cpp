#include "CGridCellOptionList.h"

#include "CGridCtrl.h"
#include "GridRecords.h"

#include <QApplication>
#include <QStyle>

IMPLEMENT_GRIDCELL(CGridCellOptionList, CGridCell)

CGridCellOptionList::CGridCellOptionList()
{
    SetState(GVIS_READONLY);
}

void CGridCellOptionList::SetValue(const QString& value)
{
    SetValueText(value);
    for (int i = 0; i < m_lines.Count(); ++i) {
        const CListEntry* entry = m_lines.At(i);
        if (entry && entry->m_strValue == value) {
            m_nSelected = i;
            m_strSelectedText = entry->m_strDisplay;
            return;
        }
    }
}

void CGridCellOptionList::CopyFrom(const CGridCellBase& source)
{
    CGridCell::CopyFrom(source);
    if (const auto* list = dynamic_cast<const CGridCellOptionList*>(&source)) {
        m_lines.Share(list->m_lines);
        m_nSelected = list->m_nSelected;
        m_strSelectedText = list->m_strSelectedText;
    }
}

bool CGridCellOptionList::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground,
                               COLORREF shade)
{
    // With entries the lines stand in for the text.
    const bool drawn = m_lines.Count() > 0 ? DrawBackground(painter, rect, shade)
                                           : CGridCell::Draw(painter, row, col, rect, eraseBackground, shade);
    if (!drawn)
        return false;
    m_lines.Draw(painter, *this, rect, true, [this](int i) { return i == m_nSelected; });
    return true;
}

bool CGridCellOptionList::GetTextRect(QRect& rect)
{
    const int scroll = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    rect.setRight(std::max(rect.left(), rect.right() - (scroll + 2 * int(GetMargin()) + 4)));
    return CGridCell::GetTextRect(rect);
}

QSize CGridCellOptionList::GetCellExtent(QPainter* painter)
{
    const QSize text = CGridCell::GetCellExtent(painter);
    return QSize(text.width() + CGridItemLines::kMarkSize,
                 std::max(text.height(), m_lines.Count() * CGridItemLines::kLineHeight));
}

bool CGridCellOptionList::Edit(int, int, QRect, QPoint, quint32, const CGridEditKey&)
{
    SetEditing(true);
    return true;
}

void CGridCellOptionList::OnClick(QPoint point)
{
    const int index = m_lines.MarkAt(point, int(GetMargin()));
    if (index >= 0)
        Select(index);
}

bool CGridCellOptionList::OnKeyDown(int key, int, quint32)
{
    if (IsReadOnly())
        return true;
    switch (key) {
    case VK_RETURN:
    case VK_SPACE:
        Select(m_lines.Current());
        return true;
    case VK_DOWN:
    case VK_UP:
        if (!(key == VK_DOWN ? m_lines.MoveDown() : m_lines.MoveUp()))
            return true;
        if (CGridCtrl* grid = GetGrid())
            grid->RedrawCell(GetRow(), GetColumn());
        return false;
    default:
        return true;
    }
}

void CGridCellOptionList::Select(int index)
{
    const CListEntry* entry = m_lines.At(index);
    if (IsReadOnly() || !entry)
        return;
    m_nSelected = index;
    m_strSelectedText = entry->m_strDisplay;
    SetValueText(entry->m_strValue);
    const QString value = entry->m_strValue;
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const int row = GetRow();
    const int col = GetColumn();
    grid->SendMessageToParent(row, col, GRIDN_ENDEDIT, value, value);
    grid->RedrawCell(row, col);
}
