#pragma once

#include "Colorref.h"

#include <QLabel>

// The coloured label of the notice. Either colour may be the system's own:
// kSystemColor stands for the text colour or the face colour of windows,
// both taken from the palette when painting, so they follow the desktop's
// theme.
class CBlinkStatic : public QLabel
{
    Q_OBJECT

public:
    static constexpr COLORREF kSystemColor = 0xFFFFFFFFu;

    explicit CBlinkStatic(QWidget* parent = nullptr);

    void SetTextColor(COLORREF colour);
    void SetBkColor(COLORREF colour);
    COLORREF GetTextColor() const { return m_text; }
    COLORREF GetBkColor() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    COLORREF m_text = kSystemColor;
    COLORREF m_background = kSystemColor;
};
