#include "CGridCellCheckList.h"

#include "CGridCtrl.h"
#include "GridRecords.h"

#include <QApplication>
#include <QStyle>

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

bool CGridCellCheckList::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground,
                              COLORREF shade)
{
    // With entries the lines stand in for the text.
    const bool drawn = m_lines.Count() > 0 ? DrawBackground(painter, rect, shade)
                                           : CGridCell::Draw(painter, row, col, rect, eraseBackground, shade);
    if (!drawn)
        return false;
    m_lines.Draw(painter, *this, rect, false, [this](int i) { return IsChecked(i); });
    return true;
}

bool CGridCellCheckList::GetTextRect(QRect& rect)
{
    const int scroll = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    rect.setRight(std::max(rect.left(), rect.right() - (scroll + 2 * int(GetMargin()) + 4)));
    return CGridCell::GetTextRect(rect);
}

QSize CGridCellCheckList::GetCellExtent(QPainter* painter)
{
    const QSize text = CGridCell::GetCellExtent(painter);
    return QSize(text.width() + CGridItemLines::kMarkSize,
                 std::max(text.height(), m_lines.Count() * CGridItemLines::kLineHeight));
}

bool CGridCellCheckList::Edit(int, int, QRect, QPoint, quint32, const CGridEditKey&)
{
    SetEditing(true);
    return true;
}

void CGridCellCheckList::OnClick(QPoint point)
{
    const int index = m_lines.MarkAt(point, int(GetMargin()));
    if (index >= 0)
        Toggle(index);
}

bool CGridCellCheckList::OnKeyDown(int key, int, quint32)
{
    if (IsReadOnly())
        return true;
    switch (key) {
    case VK_RETURN:
    case VK_SPACE:
        Toggle(m_lines.Current());
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

void CGridCellCheckList::Toggle(int index)
{
    if (IsReadOnly() || !m_lines.At(index))
        return;
    if (!m_checked.removeOne(uint(index)))
        m_checked.append(uint(index));
    const QString value = GetValue();
    // Nothing of this cell is used once the owner has heard the change: it
    // may rebuild the grid's cells meanwhile.
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const int row = GetRow();
    const int col = GetColumn();
    grid->SendMessageToParent(row, col, GRIDN_ENDEDIT, value, value);
    grid->RedrawCell(row, col);
}
