#include "CGridItemLines.h"

#include "CGridCell.h"
#include "CGridCtrl.h"
#include "CGridEditKey.h"
#include "GridRecords.h"

#include <QApplication>

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

const CListEntry* CGridItemLines::At(int index) const
{
    const CGridItemArray& items = Items();
    return index >= 0 && std::size_t(index) < items.size() ? items[std::size_t(index)].get() : nullptr;
}

bool CGridItemLines::MoveDown()
{
    if (Count() == 0)
        return false;
    m_nCurrent = m_nCurrent + 1 >= Count() ? 0 : m_nCurrent + 1;
    return true;
}

bool CGridItemLines::MoveUp()
{
    if (m_nCurrent <= 0)
        return false;
    m_nCurrent = std::min(m_nCurrent, Count()) - 1;
    return true;
}

QRect CGridItemLines::MarkRect(int index, int margin) const
{
    return QRect(margin, index * kLineHeight, kMarkSize, kMarkSize);
}

int CGridItemLines::MarkAt(QPoint point, int margin) const
{
    if (point.y() < 0)
        return -1;
    const int index = point.y() / kLineHeight;
    return index < Count() && MarkRect(index, margin).contains(point) ? index : -1;
}

void CGridItemLines::Draw(QPainter* painter, const CGridCell& cell, QRect rect, bool radio,
                          const std::function<bool(int)>& isOn) const
{
    CGridCtrl* grid = cell.GetGrid();
    const int margin = int(cell.GetMargin());
    painter->save();
    painter->setClipRect(rect);
    painter->setFont(cell.GetFontObject());
    for (int i = 0; i < Count() && i * kLineHeight < rect.height(); ++i) {
        QStyleOptionButton option;
        option.rect = MarkRect(i, margin).translated(rect.topLeft());
        option.state = (isOn(i) ? QStyle::State_On : QStyle::State_Off)
                       | (cell.IsReadOnly() ? QStyle::State_None : QStyle::State_Enabled);
        option.palette = grid->palette();
        grid->style()->drawPrimitive(radio ? QStyle::PE_IndicatorRadioButton : QStyle::PE_IndicatorCheckBox,
                                     &option, painter, grid);
        const QRect line(rect.left() + margin + kMarkSize + margin, rect.top() + i * kLineHeight,
                         rect.width() - 2 * margin - kMarkSize, kLineHeight);
        painter->setPen(cell.IsSelected() ? grid->palette().color(QPalette::HighlightedText)
                                          : grid->palette().color(QPalette::Text));
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, At(i) ? At(i)->m_strDisplay : QString());
        if (i == m_nCurrent && cell.IsFocused())
            painter->drawRect(line.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

bool CGridItemLines::DrawCell(QPainter* painter, CGridCell& cell, int row, int col, QRect rect,
                              bool eraseBackground, COLORREF shade, bool radio,
                              const std::function<bool(int)>& isOn) const
{
    const bool drawn = Count() > 0 ? cell.DrawBackground(painter, rect, shade)
                                   : cell.CGridCell::Draw(painter, row, col, rect, eraseBackground, shade);
    if (!drawn)
        return false;
    Draw(painter, cell, rect, radio, isOn);
    return true;
}

void CGridItemLines::NarrowTextRect(QRect& rect, const CGridCell& cell)
{
    const int scroll = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    rect.setRight(std::max(rect.left(), rect.right() - (scroll + 2 * int(cell.GetMargin()) + 4)));
}

QSize CGridItemLines::Extent(QSize text) const
{
    return QSize(text.width() + kMarkSize, std::max(text.height(), Count() * kLineHeight));
}

void CGridItemLines::Click(QPoint point, const CGridCell& cell, const Choose& choose) const
{
    const int index = MarkAt(point, int(cell.GetMargin()));
    if (index >= 0)
        choose(index);
}

bool CGridItemLines::KeyDown(int key, const CGridCell& cell, const Choose& choose)
{
    if (cell.IsReadOnly())
        return true;
    switch (key) {
    case VK_RETURN:
    case VK_SPACE:
        choose(m_nCurrent);
        return true;
    case VK_DOWN:
    case VK_UP:
        if (!(key == VK_DOWN ? MoveDown() : MoveUp()))
            return true;
        if (CGridCtrl* grid = cell.GetGrid())
            grid->RedrawCell(cell.GetRow(), cell.GetColumn());
        return false;
    default:
        return true;
    }
}

void CGridItemLines::ReportValue(const CGridCell& cell, const QString& value)
{
    // Nothing of the cell is used once the owner has heard the change: it
    // may rebuild the grid's cells meanwhile.
    CGridCtrl* grid = cell.GetGrid();
    if (!grid)
        return;
    const int row = cell.GetRow();
    const int col = cell.GetColumn();
    grid->SendMessageToParent(row, col, GRIDN_ENDEDIT, value, value);
    grid->RedrawCell(row, col);
}
