#include "CGridCellOption.h"

#include "CGridCtrl.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

IMPLEMENT_GRIDCELL(CGridCellOption, CGridCell)

QRect CGridCellOption::MarkRect() const
{
    const int margin = int(GetMargin());
    return QRect(margin, margin, kMarkSize, kMarkSize);
}

bool CGridCellOption::ToggleAt(QPoint point)
{
    const bool before = m_bSelected;
    if (MarkRect().contains(point))
        m_bSelected = !m_bSelected;
    return before;
}

bool CGridCellOption::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground,
                           COLORREF shade)
{
    if (!CGridCell::Draw(painter, row, col, rect, eraseBackground, shade))
        return false;
    CGridCtrl* grid = GetGrid();
    QStyleOptionButton option;
    option.rect = MarkRect().translated(rect.topLeft());
    option.state = (m_bSelected ? QStyle::State_On : QStyle::State_Off)
                   | (IsReadOnly() ? QStyle::State_None : QStyle::State_Enabled);
    option.palette = grid->palette();
    grid->style()->drawPrimitive(QStyle::PE_IndicatorRadioButton, &option, painter, grid);
    return true;
}

bool CGridCellOption::GetTextRect(QRect& rect)
{
    rect.adjust(kMarkSize, 1, 0, 0);
    return CGridCell::GetTextRect(rect);
}

QSize CGridCellOption::GetCellExtent(QPainter* painter)
{
    return CGridCell::GetCellExtent(painter) + QSize(kMarkSize, kMarkSize);
}

void CGridCellOption::CopyFrom(const CGridCellBase& source)
{
    CGridCell::CopyFrom(source);
    if (const auto* option = dynamic_cast<const CGridCellOption*>(&source))
        m_bSelected = option->m_bSelected;
}
