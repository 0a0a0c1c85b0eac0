// CGridCtrl: the title tip that shows the whole text of a body cell too
// narrow for it while the pointer rests there.
#include "CGridCtrl.h"

#include "CGridCellBase.h"
#include "CTitleTipWnd.h"

#include <QCursor>
#include <QEvent>

CTitleTipWnd* CGridCtrl::GetTitleTip()
{
    if (!m_pTitleTip)
        m_pTitleTip = std::make_unique<CTitleTipWnd>();
    if (!m_pTitleTip->IsCreated())
        m_pTitleTip->Create(viewport());
    return m_pTitleTip.get();
}

void CGridCtrl::HideTitleTip()
{
    if (m_pTitleTip)
        m_pTitleTip->Hide();
}

void CGridCtrl::OfferTitleTip(const CCellID& cell)
{
    // Only the cell under the pointer, and only once while it stays there:
    // a move within the cell costs nothing.
    if (cell == m_titleTipCell)
        return;
    m_titleTipCell = cell;
    if (!cell.IsValid() || IsFixedCell(cell))
        return;
    QRect rect;
    if (!GetCellRect(cell.row, cell.col, &rect))
        return;
    CellUseScope scope(*this);
    CGridCellBase* object = GetCellAt(cell.row, cell.col);
    if (!object || object->IsEditing())
        return;
    QRect textRect = rect;
    if (!object->GetTipTextRect(textRect))
        return;
    const QString text = object->GetTipText();
    if (text.isEmpty())
        return;
    const QFont font = object->GetFontObject();
    GetTitleTip()->Show(textRect, text, 0, &rect, &font, object->GetTextClr(), object->GetBackClr());
}

bool CGridCtrl::viewportEvent(QEvent* event)
{
    // The pointer left the cells. Where the window system hands the pointer
    // over the tip to the tip itself, that is no leaving.
    if (event->type() == QEvent::Leave
        && !(m_pTitleTip && m_pTitleTip->isVisible() && m_pTitleTip->IsInHoverRect(QCursor::pos()))) {
        HideTitleTip();
        m_titleTipCell = CCellID();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CGridCtrl::hideEvent(QHideEvent* event)
{
    HideTitleTip();
    m_titleTipCell = CCellID();
    QAbstractScrollArea::hideEvent(event);
}
