#include "CFontScale.h"

#include <QApplication>
#include <QFontMetrics>
#include <QWidget>
#include <gtest/gtest.h>

// The base units are the font's own, measured as Windows measures a dialog
// font; every size scales by them against 6 by 13 pixels.
TEST(CFontScale, ScalesPixelsAndDialogUnitsByTheFontsBaseUnits)
{
    QFont font = QApplication::font();
    font.setPixelSize(20);
    const CFontScale scale(font);
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    ASSERT_EQ(scale.BaseX(), (letters / 26 + 1) / 2);
    ASSERT_EQ(scale.BaseY(), metrics.height());
    const int x = scale.BaseX();
    const int y = scale.BaseY();

    struct Case
    {
        int given;
        int width, height, dialogX, dialogY;
    };
    const Case cases[] = {
        // Not sizes: hidden (0) and "as wide as the title" (-1) stay.
        {0, 0, 0, 0, 0},
        {-1, -1, -1, -1, -1},
        {6, x, (6 * y + 6) / 13, (6 * x + 2) / 4, (6 * y + 4) / 8},
        {13, (13 * x + 3) / 6, y, (13 * x + 2) / 4, (13 * y + 4) / 8},
        {194, (194 * x + 3) / 6, (194 * y + 6) / 13, (194 * x + 2) / 4, (194 * y + 4) / 8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scale.Width(c.given), c.width) << c.given;
        EXPECT_EQ(scale.Height(c.given), c.height) << c.given;
        EXPECT_EQ(scale.DialogX(c.given), c.dialogX) << c.given;
        EXPECT_EQ(scale.DialogY(c.given), c.dialogY) << c.given;
    }
    EXPECT_EQ(scale.DialogSize(194, 105), QSize(scale.DialogX(194), scale.DialogY(105)));
    EXPECT_EQ(scale.DialogRect(7, 8, 194, 105),
              QRect(scale.DialogX(7), scale.DialogY(8), scale.DialogX(194), scale.DialogY(105)));
    EXPECT_EQ(scale.Rect(QRect(10, 11, 294, 63)),
              QRect(scale.Width(10), scale.Height(11), scale.Width(294), scale.Height(63)));
}

// The widget's own font is measured, and the tiniest font keeps a column a
// column.
TEST(CFontScale, MeasuresTheWidgetsFontAndKeepsPositiveSizesPositive)
{
    QFont tiny = QApplication::font();
    tiny.setPixelSize(3);
    QWidget widget;
    widget.setFont(tiny);
    const CFontScale scale(&widget);
    EXPECT_EQ(scale.BaseY(), QFontMetrics(tiny).height());
    EXPECT_GE(scale.Width(1), 1);
    EXPECT_GE(scale.DialogY(1), 1);
}
