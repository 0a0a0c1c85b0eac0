#include "CGridCellCheck.h"

#include "CGridCtrl.h"
#include "GridRecords.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

IMPLEMENT_GRIDCELL(CGridCellCheck, CGridCell)

CGridCellCheck::CGridCellCheck()
{
    SetValueText(QStringLiteral("0"));
}

QRect CGridCellCheck::CheckBoxRect(QSize cellSize) const
{
    const int margin = int(GetMargin());
    const int left = GetText().isEmpty() ? cellSize.width() / 2 - kBoxSize / 2 : margin;
    // Centred in the row: a row only a little higher than the box would
    // cut it at the bottom if it stood a margin below the top.
    const int top = std::max(0, (cellSize.height() - kBoxSize) / 2);
    return QRect(left, top, kBoxSize, kBoxSize);
}

bool CGridCellCheck::Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground,
                          COLORREF shade)
{
    if (!CGridCell::Draw(painter, row, col, rect, eraseBackground, shade))
        return false;
    m_rectBox = CheckBoxRect(rect.size()).translated(rect.topLeft());
    QStyleOptionButton option;
    option.rect = m_rectBox;
    option.state = (IsChecked() ? QStyle::State_On : QStyle::State_Off)
                   | (IsReadOnly() ? QStyle::State_None : QStyle::State_Enabled);
    CGridCtrl* grid = GetGrid();
    option.palette = grid->palette();
    grid->style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, painter, grid);
    return true;
}

bool CGridCellCheck::GetTextRect(QRect& rect)
{
    rect.adjust(kBoxSize, 1, 0, 0);
    return CGridCell::GetTextRect(rect);
}

QSize CGridCellCheck::GetCellExtent(QPainter* painter)
{
    return CGridCell::GetCellExtent(painter) + QSize(kBoxSize, kBoxSize);
}

void CGridCellCheck::OnClick(QPoint point)
{
    CGridCtrl* grid = GetGrid();
    QRect cell;
    if (!grid || !grid->GetCellRect(GetRow(), GetColumn(), &cell))
        return;
    if (CheckBoxRect(cell.size()).contains(point))
        Toggle();
}

bool CGridCellCheck::OnKeyDown(int key, int, quint32)
{
    if (key == VK_RETURN || key == VK_SPACE)
        Toggle();
    return true;
}

void CGridCellCheck::Toggle()
{
    if (IsReadOnly())
        return;
    const QString value = GetValueText();
    const QString toggled = value.isEmpty() || value == QLatin1String("0") ? QStringLiteral("1")
                                                                           : QStringLiteral("0");
    SetValueText(toggled);
    // The owner may rebuild the grid's cells while it hears the change, so
    // nothing of this cell is used after the notification.
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return;
    const int row = GetRow();
    const int col = GetColumn();
    grid->SendMessageToParent(row, col, GRIDN_ENDEDIT, toggled, toggled);
    grid->RedrawCell(row, col);
}
