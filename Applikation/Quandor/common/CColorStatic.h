#pragma once

#include "Colorref.h"

#include <QLabel>

// A label with a text and a background colour of its own (the About box's
// labels, the toolbar's information label).
class CColorStatic : public QLabel
{
    Q_OBJECT

public:
    explicit CColorStatic(QWidget* parent = nullptr);
    explicit CColorStatic(const QString& text, QWidget* parent = nullptr);

    void SetColors(COLORREF background, COLORREF text);
    COLORREF GetBkColor() const { return m_background; }
    COLORREF GetTextColor() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    COLORREF m_background = RGB(255, 255, 255);
    COLORREF m_text = RGB(0, 0, 0);
};
