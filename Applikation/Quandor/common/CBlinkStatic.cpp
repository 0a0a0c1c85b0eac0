#include "CBlinkStatic.h"

#include "LabelPainting.h"

#include <QPainter>

CBlinkStatic::CBlinkStatic(QWidget* parent)
    : QLabel(parent)
{
}

void CBlinkStatic::SetTextColor(COLORREF colour)
{
    m_text = colour;
    update();
}

void CBlinkStatic::SetBkColor(COLORREF colour)
{
    m_background = colour;
    update();
}

void CBlinkStatic::paintEvent(QPaintEvent*)
{
    const QColor background = m_background == kSystemColor ? palette().color(QPalette::Window)
                                                            : QColorFromColorref(m_background);
    const QColor text = m_text == kSystemColor ? palette().color(QPalette::WindowText)
                                               : QColorFromColorref(m_text);
    QPainter painter(this);
    painter.fillRect(rect(), background);
    drawFrame(&painter);
    PaintLabelText(painter, *this, text);
}
