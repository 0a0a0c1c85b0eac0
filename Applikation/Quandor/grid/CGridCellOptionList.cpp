#include "CGridCellOptionList.h"

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

bool CGridCellOptionList::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground, COLORREF shade)
{
    return m_lines.DrawCell(painter, *this, row, col, rect, eraseBackground, shade, true,
                            [this](int i) { return i == m_nSelected; });
}

bool CGridCellOptionList::GetTextRect(QRect& rect)
{
    CGridItemLines::NarrowTextRect(rect, *this);
    return CGridCell::GetTextRect(rect);
}

QSize CGridCellOptionList::GetCellExtent(QPainter* painter)
{
    return m_lines.Extent(CGridCell::GetCellExtent(painter));
}

bool CGridCellOptionList::Edit(int, int, QRect, QPoint, quint32, const CGridEditKey&)
{
    SetEditing(true);
    return true;
}

void CGridCellOptionList::OnClick(QPoint point)
{
    m_lines.Click(point, *this, [this](int index) { Select(index); });
}

bool CGridCellOptionList::OnKeyDown(int key, int, quint32)
{
    return m_lines.KeyDown(key, *this, [this](int index) { Select(index); });
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
    CGridItemLines::ReportValue(*this, value);
}
