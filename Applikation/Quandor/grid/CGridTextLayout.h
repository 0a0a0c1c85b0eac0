#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

class QFontMetrics;
class QPainter;

// Breaks a cell's text into display lines and draws them: line feeds break,
// carriage returns vanish, word breaking follows the break characters, the
// DT_* format chooses alignment, vertical centring and the end ellipsis.
// Cells draw and measure their text only through here, so what is measured
// is what is drawn.
class CGridTextLayout
{
public:
    // Breaks (with wordBreak) and, with draw, draws the text in the rectangle.
    // Returns the text as laid out (lines joined by "\n"); appends each line to
    // "lines" when given. Without a font, or without a painter while asked to
    // draw, the text comes back unchanged and nothing is drawn.
    static QString DrawTextLines(QPainter* painter, const QFont* font, QRect rect, const QString& text,
                                 quint32 format, bool wordBreak, bool vertical, QStringList* lines,
                                 bool draw);

    // Splits "text" so that it fits "width": after the last break character
    // (blank, tab, - : ; . , /) whose head fits, else after the longest head
    // that fits. The head stays in "text", the rest goes to "tail". False, with
    // nothing changed, when not even one character fits.
    static bool SplitTextToWidth(const QFontMetrics& metrics, QString& text, QString& tail, int width);

    // Offset of a text of the given alignment in a band of "width": 1 centres,
    // 2 aligns right, any other value (the whole format is compared) gives 0;
    // -1 without metrics.
    static int GetAlignedTextOffset(const QFontMetrics* metrics, const QString& text, quint32 alignment,
                                    int width);

    // The band of "lineCount" lines of "lineHeight" centred in "rect" along
    // its height (or its width for vertical text); the rectangle itself when
    // the lines do not fit.
    static QRect CentredBand(QRect rect, int lineCount, int lineHeight, bool vertical);

    static bool IsBreakCharacter(QChar ch);
};
