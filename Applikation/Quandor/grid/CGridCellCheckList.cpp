#include "CGridCellCheckList.h"

IMPLEMENT_GRIDCELL(CGridCellCheckList, CGridCell)

CGridCellCheckList::CGridCellCheckList()
{
    SetState(GVIS_READONLY);
}

void CGridCellCheckList::SetValue(const QString& value)
{
    m_checked.clear();
    if (value.isEmpty())
        return;
    for (const QString& piece : value.split(QLatin1Char(';'))) {
        for (int i = 0; i < m_lines.Count(); ++i) {
            const CListEntry* entry = m_lines.At(i);
            if (entry && entry->m_strValue == piece) {
                if (!m_checked.contains(uint(i)))
                    m_checked.append(uint(i));
                break;
            }
        }
    }
}

QString CGridCellCheckList::GetValue() const
{
    QStringList values;
    for (const uint index : m_checked) {
        if (const CListEntry* entry = m_lines.At(int(index)))
            values.append(entry->m_strValue);
    }
    return values.join(QLatin1Char(';'));
}

QStringList CGridCellCheckList::GetCheckedTexts() const
{
    QStringList texts;
    for (const uint index : m_checked) {
        if (const CListEntry* entry = m_lines.At(int(index)))
            texts.append(entry->m_strDisplay);
    }
    return texts;
}

QString CGridCellCheckList::GetTipText() const
{
    return GetCheckedTexts().join(QLatin1Char('\n'));
}

void CGridCellCheckList::CopyFrom(const CGridCellBase& source)
{
    CGridCell::CopyFrom(source);
    if (const auto* list = dynamic_cast<const CGridCellCheckList*>(&source)) {
        m_lines.Share(list->m_lines);
        m_checked = list->m_checked;
    }
}

bool CGridCellCheckList::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground, COLORREF shade)
{
    return m_lines.DrawCell(painter, *this, row, col, rect, eraseBackground, shade, false,
                            [this](int i) { return IsChecked(i); });
}

bool CGridCellCheckList::GetTextRect(QRect& rect)
{
    CGridItemLines::NarrowTextRect(rect, *this);
    return CGridCell::GetTextRect(rect);
}

QSize CGridCellCheckList::GetCellExtent(QPainter* painter)
{
    return m_lines.Extent(CGridCell::GetCellExtent(painter));
}

bool CGridCellCheckList::Edit(int, int, QRect, QPoint, quint32, const CGridEditKey&)
{
    SetEditing(true);
    return true;
}

void CGridCellCheckList::OnClick(QPoint point)
{
    m_lines.Click(point, *this, [this](int index) { Toggle(index); });
}

bool CGridCellCheckList::OnKeyDown(int key, int, quint32)
{
    return m_lines.KeyDown(key, *this, [this](int index) { Toggle(index); });
}

void CGridCellCheckList::Toggle(int index)
{
    if (IsReadOnly() || !m_lines.At(index))
        return;
    if (!m_checked.removeOne(uint(index)))
        m_checked.append(uint(index));
    const QString value = GetValue();
    CGridItemLines::ReportValue(*this, value);
}
