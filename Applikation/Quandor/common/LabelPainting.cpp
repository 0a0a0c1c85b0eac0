#include "LabelPainting.h"

#include <QLabel>
#include <QPainter>
#include <QStyle>

void PaintLabelText(QPainter& painter, const QLabel& label, const QColor& colour)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);

    const int margin = label.margin();
    QRect area = label.contentsRect().adjusted(margin, margin, -margin, -margin);
    const int indent = label.indent() > 0 ? label.indent() : 0;
    const Qt::Alignment align = QStyle::visualAlignment(label.layoutDirection(), label.alignment());
    if (align & Qt::AlignLeft)
        area.setLeft(area.left() + indent);
    else if (align & Qt::AlignRight)
        area.setRight(area.right() - indent);

    int flags = static_cast<int>(align);
    if (label.wordWrap())
        flags |= Qt::TextWordWrap;
    label.style()->drawItemText(&painter, area, flags, palette, label.isEnabled(), label.text(),
                                QPalette::WindowText);
}
