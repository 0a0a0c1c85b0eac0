#pragma once

#include <QColor>
#include <QtGlobal>

// Colours of cells and grids keep the byte order the record views and the
// stored tints use: 0x00BBGGRR, with CLR_DEFAULT meaning "take the default".
// They become QColor only at the moment something is painted, so a literal
// like 0xD4FFFF stays pale yellow and CLR_DEFAULT never turns into black.
using COLORREF = quint32;

constexpr COLORREF CLR_DEFAULT = 0xFF000000u;

constexpr COLORREF RGB(int red, int green, int blue)
{
    return COLORREF(red & 0xFF) | (COLORREF(green & 0xFF) << 8) | (COLORREF(blue & 0xFF) << 16);
}

constexpr bool IsDefaultColor(COLORREF colour)
{
    return colour == CLR_DEFAULT;
}

inline QColor QColorFromColorref(COLORREF colour)
{
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

inline COLORREF ColorrefFromQColor(const QColor& colour)
{
    return RGB(colour.red(), colour.green(), colour.blue());
}
