#include "CGridTextLayout.h"
#include "GridConstants.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace
{

struct TextLayout : public ::testing::Test
{
    QFont font{QStringLiteral("Sans"), 10};
    QFontMetrics metrics{font};

    QStringList Lines(const QString& text, int width, bool wordBreak = true)
    {
        QStringList lines;
        CGridTextLayout::DrawTextLines(nullptr, &font, QRect(0, 0, width, 100), text, DT_LEFT, wordBreak, false,
                                       &lines, false);
        return lines;
    }
};

}  // namespace

TEST_F(TextLayout, CarriageReturnLineFeedMakesTwoLines)
{
    EXPECT_EQ(Lines(QStringLiteral("a\r\nb"), 500), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(CGridTextLayout::DrawTextLines(nullptr, &font, QRect(0, 0, 500, 40), QStringLiteral("a\r\nb"), 0,
                                             true, false, nullptr, false),
              QStringLiteral("a\nb"));
}

TEST_F(TextLayout, BreaksAfterTheLastFittingBreakCharacter)
{
    const QString text = QStringLiteral("alpha beta gamma");
    const int width = metrics.horizontalAdvance(QStringLiteral("alpha beta ")) + 1;
    const QStringList lines = Lines(text, width);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("alpha beta ")) << "the blank stays at the end of the first line";
    EXPECT_EQ(lines[1], QStringLiteral("gamma"));

    QString head = QStringLiteral("12/34-56");
    QString tail;
    ASSERT_TRUE(CGridTextLayout::SplitTextToWidth(metrics, head, tail,
                                                  metrics.horizontalAdvance(QStringLiteral("12/34-5"))));
    EXPECT_EQ(head, QStringLiteral("12/34-"));
    EXPECT_EQ(tail, QStringLiteral("56"));
}

TEST_F(TextLayout, WithoutBreakCharactersBreaksAtTheLastFittingCharacter)
{
    QString text = QStringLiteral("ABCDEFGHIJ");
    QString tail;
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCD"));
    ASSERT_TRUE(CGridTextLayout::SplitTextToWidth(metrics, text, tail, width));
    EXPECT_EQ(text, QStringLiteral("ABCD"));
    EXPECT_EQ(tail, QStringLiteral("EFGHIJ"));

    QString wide = QStringLiteral("W");
    EXPECT_FALSE(CGridTextLayout::SplitTextToWidth(metrics, wide, tail, 1));
    EXPECT_EQ(wide, QStringLiteral("W"));
}

TEST_F(TextLayout, NarrowRectanglesEnd)
{
    // No width at all, or a width no character fits: the loop must end.
    EXPECT_EQ(Lines(QStringLiteral("some long text"), 0), QStringList{QStringLiteral("some long text")});
    const QStringList lines = Lines(QStringLiteral("WWWW WWWW"), 2);
    EXPECT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.join(QString()), QStringLiteral("WWWW WWWW"));
    // A long text breaks into lines that each fit.
    const QString longText = QString(QStringLiteral("word ")).repeated(200);
    for (const QString& line : Lines(longText, 80))
        EXPECT_LE(metrics.horizontalAdvance(line), 80) << line.toStdString();
}

TEST_F(TextLayout, LineFeedsInsideBrokenText)
{
    const int width = metrics.horizontalAdvance(QStringLiteral("one two ")) + 1;
    const QStringList lines = Lines(QStringLiteral("one two three\nfour"), width);
    EXPECT_EQ(lines, (QStringList{QStringLiteral("one two "), QStringLiteral("three"), QStringLiteral("four")}));
}

TEST_F(TextLayout, VerticalCentringMakesABandOfTheLines)
{
    EXPECT_EQ(CGridTextLayout::CentredBand(QRect(0, 0, 50, 40), 2, 13, false), QRect(0, 7, 50, 26));
    EXPECT_EQ(CGridTextLayout::CentredBand(QRect(0, 10, 50, 40), 1, 13, false).height(), 14);
    EXPECT_EQ(CGridTextLayout::CentredBand(QRect(0, 0, 50, 20), 2, 13, false), QRect(0, 0, 50, 20))
        << "lines taller than the cell keep the cell";
    EXPECT_EQ(CGridTextLayout::CentredBand(QRect(0, 0, 40, 50), 2, 13, true), QRect(7, 0, 26, 50));
}

TEST_F(TextLayout, AlignedOffsetComparesTheWholeFormat)
{
    const int width = metrics.horizontalAdvance(QStringLiteral("ab"));
    EXPECT_EQ(CGridTextLayout::GetAlignedTextOffset(&metrics, QStringLiteral("ab"), DT_CENTER, 100),
              50 - width / 2);
    EXPECT_EQ(CGridTextLayout::GetAlignedTextOffset(&metrics, QStringLiteral("ab"), DT_RIGHT, 100), 100 - width);
    EXPECT_EQ(CGridTextLayout::GetAlignedTextOffset(&metrics, QStringLiteral("ab"), DT_RIGHT | DT_NOPREFIX, 100),
              0);
    EXPECT_EQ(CGridTextLayout::GetAlignedTextOffset(nullptr, QStringLiteral("ab"), DT_RIGHT, 100), -1);
}

TEST_F(TextLayout, DrawsInsideItsRectangleOnly)
{
    QImage image(100, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    const QRect rect(10, 5, 30, 20);
    CGridTextLayout::DrawTextLines(&painter, &font, rect, QStringLiteral("WWWWWWWWWWWW\nWWWW\nWWWW\nWWWW"),
                                   DT_NOPREFIX, false, false, nullptr, true);
    painter.end();
    bool inside = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != QColor(Qt::white).rgb()) {
                ASSERT_TRUE(rect.contains(x, y)) << x << "," << y;
                inside = true;
            }
        }
    }
    EXPECT_TRUE(inside);
    EXPECT_EQ(CGridTextLayout::DrawTextLines(nullptr, nullptr, rect, QStringLiteral("x"), 0, true, false, nullptr,
                                             true),
              QStringLiteral("x"));
}

TEST_F(TextLayout, EndEllipsisShortensWhatDoesNotFit)
{
    QImage narrow(200, 30, QImage::Format_RGB32);
    narrow.fill(Qt::white);
    QPainter painter(&narrow);
    painter.setPen(Qt::black);
    const QString text = QStringLiteral("A rather long cell text");
    const int width = metrics.horizontalAdvance(text) / 2;
    CGridTextLayout::DrawTextLines(&painter, &font, QRect(0, 0, width, 20), text, DT_END_ELLIPSIS, false, false,
                                   nullptr, true);
    painter.end();
    // The elided text is what QFontMetrics gives; it ends in an ellipsis.
    EXPECT_TRUE(metrics.elidedText(text, Qt::ElideRight, width).endsWith(QChar(0x2026)));
}
