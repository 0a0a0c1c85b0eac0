#pragma once

class QColor;
class QLabel;
class QPainter;

// Draws a label's plain text in the given colour, honouring its alignment,
// word wrap, margin, indent and enabled state, as QLabel would. The coloured
// label classes paint their own background and frame and then call this, so
// their colours are applied at paint time without touching the palette
// (changing the palette while painting would schedule another paint).
void PaintLabelText(QPainter& painter, const QLabel& label, const QColor& colour);
