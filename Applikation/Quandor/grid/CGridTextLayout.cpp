#include "CGridTextLayout.h"

#include "GridConstants.h"

#include <QFontMetrics>
#include <QPainter>

namespace
{

QFontMetrics MetricsFor(QPainter* painter, const QFont& font)
{
    if (painter && painter->device())
        return QFontMetrics(font, painter->device());
    return QFontMetrics(font);
}

// Length of the longest head of "text" that fits "width" (0 when not even
// the first character fits). Advances of heads grow with their length, so a
// binary search finds it with few measurements even for long texts.
int LongestFittingHead(const QFontMetrics& metrics, const QString& text, int width)
{
    int low = 0;
    int high = text.size();
    while (low < high) {
        const int mid = low + (high - low + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

void DrawHorizontalLines(QPainter* painter, const QFontMetrics& metrics, const QRect& rect,
                         const QStringList& lines, quint32 format)
{
    const int lineHeight = metrics.height();
    int top = rect.top();
    if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        top = rect.top() + rect.height() - lineHeight;
    const int bottom = rect.top() + rect.height();
    const int width = rect.width();
    for (const QString& line : lines) {
        if (top >= bottom)
            break;
        QString shown = line;
        int advance = metrics.horizontalAdvance(shown);
        if ((format & DT_END_ELLIPSIS) && advance > width) {
            shown = metrics.elidedText(line, Qt::ElideRight, width);
            advance = metrics.horizontalAdvance(shown);
        }
        int x = rect.left();
        if (format & DT_CENTER)
            x += (width - advance) / 2;
        else if (format & DT_RIGHT)
            x += width - advance;
        const QPoint baseline(x, top + metrics.ascent());
        // The text may not reach into the neighbouring cells; a clip costs
        // time, so only text that would leave its cell gets one.
        if (advance > width || lineHeight > bottom - top || x < rect.left()) {
            painter->save();
            painter->setClipRect(QRect(rect.left(), top, width, bottom - top), Qt::IntersectClip);
            painter->drawText(baseline, shown);
            painter->restore();
        } else {
            painter->drawText(baseline, shown);
        }
        top += lineHeight;
    }
}

void DrawVerticalLines(QPainter* painter, const QFont& font, const QRect& rect,
                       const QStringList& lines, quint32 format)
{
    painter->save();
    painter->setFont(font);
    const QFontMetrics metrics = MetricsFor(painter, font);
    painter->setClipRect(rect, Qt::IntersectClip);
    int x = rect.left();
    for (const QString& line : lines) {
        const int y = rect.top() + rect.height()
                      - CGridTextLayout::GetAlignedTextOffset(&metrics, line, format, rect.height());
        painter->save();
        painter->translate(x, y);
        painter->rotate(-90);
        painter->drawText(0, metrics.ascent(), line);
        painter->restore();
        x += metrics.height();
    }
    painter->restore();
}

}  // namespace

bool CGridTextLayout::IsBreakCharacter(QChar ch)
{
    switch (ch.unicode()) {
    case ' ':
    case '\t':
    case '-':
    case ':':
    case ';':
    case '.':
    case ',':
    case '/':
        return true;
    default:
        return false;
    }
}

bool CGridTextLayout::SplitTextToWidth(const QFontMetrics& metrics, QString& text, QString& tail, int width)
{
    const int fitting = LongestFittingHead(metrics, text, width);
    if (fitting == 0)
        return false;
    int split = fitting;
    for (int i = fitting - 1; i >= 0; --i) {
        if (IsBreakCharacter(text.at(i))) {
            split = i + 1;
            break;
        }
    }
    tail = text.mid(split);
    text.truncate(split);
    return true;
}

int CGridTextLayout::GetAlignedTextOffset(const QFontMetrics* metrics, const QString& text, quint32 alignment,
                                          int width)
{
    if (!metrics)
        return -1;
    const int textWidth = metrics->horizontalAdvance(text);
    if (alignment == DT_CENTER)
        return width / 2 - textWidth / 2;
    if (alignment == DT_RIGHT)
        return width - textWidth;
    return 0;
}

QRect CGridTextLayout::CentredBand(QRect rect, int lineCount, int lineHeight, bool vertical)
{
    const int total = lineCount * lineHeight;
    int first = vertical ? rect.left() : rect.top();
    int extent = vertical ? rect.width() : rect.height();
    if (total > extent)
        return rect;
    // Edges as the layout rules give them: shrink by half the extent on both
    // sides, then grow by the upper half of the lines' height on both sides.
    int end = first + extent;
    first += extent / 2;
    end -= extent / 2;
    const int grow = total - total / 2;
    first -= grow;
    end += grow;
    if (vertical)
        return QRect(first, rect.top(), end - first, rect.height());
    return QRect(rect.left(), first, rect.width(), end - first);
}

QString CGridTextLayout::DrawTextLines(QPainter* painter, const QFont* font, QRect rect, const QString& text,
                                       quint32 format, bool wordBreak, bool vertical, QStringList* lines,
                                       bool draw)
{
    if (!font || (draw && !painter))
        return text;
    const QFontMetrics metrics = MetricsFor(painter, *font);

    QString laidOut = text;
    if (wordBreak) {
        laidOut.remove(QLatin1Char('\r'));
        QStringList parts{laidOut};
        const int width = vertical ? rect.height() : rect.width();
        // Every turn shortens the last line or stops, so the loop ends.
        while (width >= 1 && metrics.horizontalAdvance(parts.last()) > width) {
            QString last = parts.takeLast();
            const int lineFeed = last.indexOf(QLatin1Char('\n'));
            if (lineFeed >= 0) {
                QString head = last.left(lineFeed);
                QString remainder = last.mid(lineFeed + 1);
                QString tail;
                if (metrics.horizontalAdvance(head) > width && SplitTextToWidth(metrics, head, tail, width))
                    remainder = tail + QLatin1Char('\n') + remainder;
                parts.append(head);
                parts.append(remainder);
            } else {
                QString tail;
                if (!SplitTextToWidth(metrics, last, tail, width)) {
                    parts.append(last);
                    break;
                }
                parts.append(last);
                parts.append(tail);
            }
        }
        laidOut = parts.join(QLatin1Char('\n'));
        if (lines) {
            for (const QString& part : parts)
                lines->append(part.split(QLatin1Char('\n')));
        }
    } else if (lines) {
        lines->append(text);
    }

    // What is drawn never shows a carriage return; a line feed breaks the
    // line unless the format keeps the text on one line.
    QString shown = laidOut;
    shown.remove(QLatin1Char('\r'));
    QStringList drawLines;
    if (format & DT_SINGLELINE)
        drawLines << QString(shown).replace(QLatin1Char('\n'), QLatin1Char(' '));
    else
        drawLines = shown.split(QLatin1Char('\n'));

    if (format & DT_VCENTER) {
        format &= ~quint32(DT_VCENTER);
        rect = CentredBand(rect, int(drawLines.size()), metrics.height(), vertical);
    }
    if (!draw)
        return laidOut;

    if (vertical) {
        DrawVerticalLines(painter, *font, rect, drawLines, format);
    } else {
        painter->setFont(*font);
        DrawHorizontalLines(painter, metrics, rect, drawLines, format);
    }
    return laidOut;
}
