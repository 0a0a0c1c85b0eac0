#include "CGridCellButton.h"

#include "CGridCtrl.h"
#include "GridRecords.h"

#include <QPainter>

IMPLEMENT_GRIDCELL(CGridCellButton, CGridCell)

// Not created read-only: a read-only button refuses its click, so a button
// born read-only could never be pressed. The grid opens no text editor in a
// button cell anyway; the owner greys (and so disables) the ones it wants.
CGridCellButton::CGridCellButton() = default;

bool CGridCellButton::Draw(QPainter* painter, int row, int col, QRect rect, bool, COLORREF shade)
{
    CGridCtrl* grid = GetGrid();
    if (!grid)
        return false;
    SetBackClr(ColorrefFromQColor(grid->palette().color(QPalette::Button)));
    SetFormat(DT_CENTER | DT_VCENTER);
    if (!CGridCell::Draw(painter, row, col, rect, true, shade))
        return false;
    const QRect inner = rect.adjusted(1, 1, -2, -2);
    painter->save();
    painter->setPen(grid->palette().color(QPalette::Light));
    painter->drawLine(inner.topLeft(), inner.topRight());
    painter->drawLine(inner.topLeft(), inner.bottomLeft());
    painter->setPen(grid->palette().color(QPalette::Shadow));
    painter->drawLine(inner.topRight(), inner.bottomRight());
    painter->drawLine(inner.bottomLeft(), inner.bottomRight());
    painter->restore();
    return true;
}

bool CGridCellButton::Edit(int, int, QRect, QPoint, quint32, const CGridEditKey&)
{
    return true;
}

void CGridCellButton::OnClick(QPoint)
{
    Press();
}

bool CGridCellButton::OnKeyDown(int key, int, quint32)
{
    if (key == VK_RETURN || key == VK_SPACE)
        Press();
    return true;
}

void CGridCellButton::Press()
{
    CGridCtrl* grid = GetGrid();
    if (IsReadOnly() || !grid)
        return;
    const QString value = GetValueText();
    grid->SendMessageToParent(GetRow(), GetColumn(), GRIDN_BUTTONCLICK, value, value);
}
