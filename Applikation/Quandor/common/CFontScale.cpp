#include "CFontScale.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace {

// Rounded to the nearest pixel; a positive size stays at least one pixel so
// that a scaled column is never mistaken for a hidden one.
int Scaled(int size, int numerator, int denominator)
{
    if (size <= 0)
        return size;
    const qint64 scaled = (qint64(size) * numerator + denominator / 2) / denominator;
    return int(std::clamp<qint64>(scaled, 1, std::numeric_limits<int>::max()));
}

} // namespace

CFontScale::CFontScale(const QFont& font)
{
    const QFontMetrics metrics(font);
    // Windows' own rule for a dialog font: the 52 letters' width over 26,
    // halved and rounded up.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseX = std::max(1, (letters / 26 + 1) / 2);
    m_nBaseY = std::max(1, metrics.height());
}

CFontScale::CFontScale(const QWidget* widget)
    : CFontScale(widget ? widget->font() : QApplication::font())
{
}

int CFontScale::Width(int pixels) const
{
    return Scaled(pixels, m_nBaseX, kReferenceBaseX);
}

int CFontScale::Height(int pixels) const
{
    return Scaled(pixels, m_nBaseY, kReferenceBaseY);
}

QSize CFontScale::Size(const QSize& pixels) const
{
    return QSize(Width(pixels.width()), Height(pixels.height()));
}

QRect CFontScale::Rect(const QRect& pixels) const
{
    return QRect(Width(pixels.x()), Height(pixels.y()), Width(pixels.width()), Height(pixels.height()));
}

int CFontScale::DialogX(int units) const
{
    return Scaled(units, m_nBaseX, 4);
}

int CFontScale::DialogY(int units) const
{
    return Scaled(units, m_nBaseY, 8);
}

QSize CFontScale::DialogSize(int width, int height) const
{
    return QSize(DialogX(width), DialogY(height));
}

QRect CFontScale::DialogRect(int x, int y, int width, int height) const
{
    return QRect(DialogX(x), DialogY(y), DialogX(width), DialogY(height));
}
