#include "CColorStatic.h"

#include "LabelPainting.h"

#include <QPainter>

CColorStatic::CColorStatic(QWidget* parent)
    : QLabel(parent)
{
}

CColorStatic::CColorStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

void CColorStatic::SetColors(COLORREF background, COLORREF text)
{
    m_background = background;
    m_text = text;
    update();
}

void CColorStatic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColorFromColorref(m_background));
    drawFrame(&painter);
    PaintLabelText(painter, *this, QColorFromColorref(m_text));
}
