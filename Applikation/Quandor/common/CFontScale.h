#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

// Turns the fixed sizes the program was laid out with into sizes for the
// font it is shown in.
//
// Every default size of a window, a column or a row was chosen for the
// Windows dialog font of 8 points, whose dialog base units are 6 pixels
// across and 13 pixels high. Qt's fonts are mostly larger, so a size taken
// as it stands cuts its text. This class measures a font's base units the
// way Windows measures them (the average width of the 52 Latin letters and
// the line height) and scales by the ratio to 6 and 13:
//   - Width() and Height() for sizes given in pixels (column widths, row
//     heights, positions inside a window);
//   - DialogX(), DialogY(), DialogSize() and DialogRect() for sizes given in
//     dialog units (a quarter of the base width, an eighth of the height).
// Only defaults pass through here: a size the user chose and the layout file
// keeps is already one for the font on screen and is used as stored.
// 0 and the negative markers (-1: "as wide as the header text") are not
// sizes and come back unchanged.
//
// Usage in a dialog built from a fixed template:
//   const CFontScale scale(this);
//   resize(scale.DialogSize(194, 105));
class CFontScale
{
public:
    // The base units of the reference font, in pixels.
    static constexpr int kReferenceBaseX = 6;
    static constexpr int kReferenceBaseY = 13;

    explicit CFontScale(const QFont& font);
    // The font the widget shows its texts in; the application's without one.
    explicit CFontScale(const QWidget* widget);

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

    // Pixel sizes given for the reference font.
    int Width(int pixels) const;
    int Height(int pixels) const;
    QSize Size(const QSize& pixels) const;
    QRect Rect(const QRect& pixels) const;

    // Dialog units.
    int DialogX(int units) const;
    int DialogY(int units) const;
    QSize DialogSize(int width, int height) const;
    QRect DialogRect(int x, int y, int width, int height) const;

private:
    int m_nBaseX;
    int m_nBaseY;
};
