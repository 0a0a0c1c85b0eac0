#include "CGridCell.h"
#include "CGridCtrl.h"
#include "CGridDefaultCell.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace
{

// A grid in normal mode with one fixed row and column, and a fixed palette,
// so pixels can be compared.
struct CellFixture : public ::testing::Test
{
    CellFixture() : grid(nullptr, QString(), QString(), 6, 4, 1, 1)
    {
        grid.resize(300, 200);
        image.fill(Qt::white);
    }

    // Draws one cell of the grid into the image and returns its centre pixel.
    QRgb DrawCentre(CGridCellBase* cell, int row, int col, bool erase = true, COLORREF shade = 0)
    {
        image.fill(Qt::white);
        QPainter painter(&image);
        cell->Draw(&painter, row, col, QRect(0, 0, 60, 20), erase, shade);
        painter.end();
        return image.pixel(55, 10);  // right of any text
    }

    CGridCtrl grid;
    QImage image{80, 30, QImage::Format_RGB32};
};

QRgb Rgb(COLORREF colour)
{
    return QColorFromColorref(colour).rgb();
}

class COtherCell : public CGridCell
{
    DECLARE_GRIDCELL(COtherCell)
};
IMPLEMENT_GRIDCELL(COtherCell, CGridCell)

}  // namespace

TEST(Colorref, KeepsBlueGreenRedOrder)
{
    EXPECT_EQ(QColorFromColorref(0xD4FFFF), QColor(0xFF, 0xFF, 0xD4)) << "pale yellow, not cyan";
    EXPECT_EQ(QColorFromColorref(0xBEFFFF), QColor(0xFF, 0xFF, 0xBE));
    EXPECT_EQ(QColorFromColorref(0xFFFFBE), QColor(0xBE, 0xFF, 0xFF));
    EXPECT_EQ(QColorFromColorref(0x0000FF), QColor(Qt::red));
    EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
    EXPECT_EQ(ColorrefFromQColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
    EXPECT_TRUE(IsDefaultColor(CLR_DEFAULT));
    EXPECT_FALSE(IsDefaultColor(0));
}

TEST(CGridCellClass, CreatesByDescriptorAndKnowsItsBases)
{
    const CGridCellClass& cell = CGridCell::GetThisClass();
    EXPECT_STREQ(cell.GetName(), "CGridCell");
    EXPECT_TRUE(cell.IsDerivedFrom(CGridCellBase::GetThisClass()));
    EXPECT_FALSE(CGridCellBase::GetThisClass().IsDerivedFrom(cell));
    EXPECT_TRUE(COtherCell::GetThisClass().IsDerivedFrom(cell));
    EXPECT_FALSE(COtherCell::GetThisClass().IsDerivedFrom(CGridDefaultCell::GetThisClass()));
    EXPECT_EQ(CGridCellBase::GetThisClass().CreateObject(), nullptr) << "the root is abstract";
    auto created = COtherCell::GetThisClass().CreateObject();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(&created->GetRuntimeClass(), &COtherCell::GetThisClass());
    EXPECT_TRUE(created->IsKindOf(cell));
}

TEST(CGridCell, FallsBackToItsDefaultCell)
{
    CGridCell cell;
    EXPECT_EQ(cell.GetText(), QString());
    EXPECT_FALSE(cell.GetText().isNull()) << "an empty text, never a null one";
    EXPECT_EQ(cell.GetImage(), -1);
    EXPECT_EQ(cell.GetMargin(), 3u) << "no grid: the built-in margin";

    CGridCtrl grid;
    cell.SetGrid(&grid);
    CGridDefaultCell* normal = grid.GetDefaultCell(false, false);
    normal->SetFormat(DT_RIGHT);
    normal->SetMargin(7);
    EXPECT_EQ(cell.GetFormat(), quint32(DT_RIGHT));
    EXPECT_EQ(cell.GetMargin(), 7u);
    EXPECT_TRUE(cell.IsDefaultFont());
    EXPECT_EQ(cell.GetFontObject(), normal->GetFontObject());

    // Its kind chooses the default cell.
    cell.SetState(GVIS_FIXEDROW_BITS);
    EXPECT_EQ(cell.GetDefaultCell(), grid.GetDefaultCell(true, false));
    cell.SetState(GVIS_FIXEDROW_BITS | GVIS_FIXEDCOL_BITS);
    EXPECT_EQ(cell.GetDefaultCell(), grid.GetDefaultCell(true, true));
    cell.SetState(0);

    // Own settings win; Reset gives the fallbacks back.
    cell.SetFormat(DT_CENTER);
    cell.SetMargin(1);
    const GridLogFont bold{QFont(QStringLiteral("Sans"), 20, QFont::Bold), 0};
    cell.SetFont(&bold);
    EXPECT_EQ(cell.GetFormat(), quint32(DT_CENTER));
    EXPECT_EQ(cell.GetMargin(), 1u);
    EXPECT_FALSE(cell.IsDefaultFont());
    EXPECT_EQ(*cell.GetFont(), bold);
    cell.SetText(QStringLiteral("x"));
    cell.SetBackClr(0x112233);
    cell.Reset();
    EXPECT_EQ(cell.GetText(), QString());
    EXPECT_EQ(cell.GetBackClr(), CLR_DEFAULT);
    EXPECT_EQ(cell.GetFormat(), quint32(DT_RIGHT));
    EXPECT_EQ(cell.GetMargin(), 7u);
    EXPECT_TRUE(cell.IsDefaultFont());
}

TEST(CGridCell, CopyTakesPropertiesButNotStateOrPosition)
{
    CGridCell source;
    source.SetText(QStringLiteral("text"));
    source.SetValueText(QStringLiteral("value"));
    source.SetBackClr(0x010203);
    source.SetTextClr(0x040506);
    source.SetFormat(DT_RIGHT);
    source.SetImage(2);
    source.SetData(99);
    source.SetValidation(QStringLiteral("[A-F]"));
    source.SetTextLimit(5);
    source.SetState(GVIS_SELECTED | GVIS_READONLY_OWN);
    source.SetCoords(3, 4);

    COtherCell copy;
    copy.Assign(source);
    EXPECT_EQ(copy.GetText(), QStringLiteral("text"));
    EXPECT_EQ(copy.GetValueText(), QStringLiteral("value"));
    EXPECT_EQ(copy.GetBackClr(), 0x010203u);
    EXPECT_EQ(copy.GetTextClr(), 0x040506u);
    EXPECT_EQ(copy.GetFormat(), quint32(DT_RIGHT));
    EXPECT_EQ(copy.GetImage(), 2);
    EXPECT_EQ(copy.GetData(), 99);
    EXPECT_EQ(copy.GetValidation(), QStringLiteral("[A-F]"));
    EXPECT_EQ(copy.GetState(), 0u);
    EXPECT_EQ(copy.GetTextLimit(), 0);
    EXPECT_EQ(copy.GetRow(), -1);

    // An unset format stays unset in the copy and keeps following.
    CGridCell plain;
    COtherCell follower;
    follower.Assign(plain);
    EXPECT_EQ(follower.GetOwnFormat(), GRID_FORMAT_UNSET);
    copy.Assign(copy);  // itself: nothing happens
    EXPECT_EQ(copy.GetText(), QStringLiteral("text"));
}

TEST(CGridCell, DisplayColoursWinUntilReset)
{
    CGridCell cell;
    cell.SetBackClr(0x111111);
    cell.SetDisplayColours(0xB9B9B9, 0);
    EXPECT_EQ(cell.GetBackClr(), 0xB9B9B9u);
    EXPECT_EQ(cell.GetTextClr(), 0u);
    EXPECT_EQ(cell.GetBackClr(true), 0x111111u);
    cell.ResetDisplayColours();
    EXPECT_EQ(cell.GetBackClr(), 0x111111u);
    EXPECT_EQ(cell.GetTextClr(), CLR_DEFAULT);
}

TEST(CGridDefaultCell, SizesItselfFromItsFont)
{
    CGridDefaultCell cell;
    cell.SetFont(nullptr);
    EXPECT_EQ(cell.GetWidth(), 40);
    EXPECT_EQ(cell.GetHeight(), 16);
    EXPECT_EQ(cell.GetMargin(), 3u);

    const GridLogFont font{QFont(QStringLiteral("Sans"), 11), 0};
    cell.SetFont(&font);
    const QFontMetrics metrics(font.font);
    EXPECT_EQ(int(cell.GetMargin()), metrics.horizontalAdvance(QLatin1Char(' ')));
    EXPECT_EQ(cell.GetWidth(), metrics.horizontalAdvance(QStringLiteral(" XXXXXXXXXXXX ")));
    EXPECT_EQ(cell.GetHeight(), metrics.height() * 3 / 2);
    EXPECT_EQ(cell.GetFormat(), quint32(DT_NOPREFIX | DT_END_ELLIPSIS));

    // No state or data of its own; always read-only.
    cell.SetState(GVIS_SELECTED);
    cell.SetData(5);
    EXPECT_EQ(cell.GetState(), quint32(GVIS_READONLY));
    EXPECT_EQ(cell.GetData(), 0);
}

TEST(CGridCell, TextExtentCountsLinesAndMargins)
{
    CGridCtrl grid;
    CGridCell cell;
    cell.SetGrid(&grid);
    cell.SetMargin(2);
    const QFontMetrics metrics(cell.GetFontObject());
    const QSize one = cell.GetTextExtent(QStringLiteral("a"));
    const QSize two = cell.GetTextExtent(QStringLiteral("a\r\nbb"));
    EXPECT_EQ(one.height(), metrics.height() + 4);
    EXPECT_EQ(two.height(), 2 * metrics.height() + 4);
    EXPECT_EQ(two.width(), metrics.horizontalAdvance(QStringLiteral("bb")) + 8);

    const GridLogFont upwards{cell.GetFontObject(), 900};
    cell.SetFont(&upwards);
    const QSize turned = cell.GetTextExtent(QStringLiteral("a\nbb"));
    EXPECT_EQ(turned, QSize(two.height(), two.width())) << "turned text swaps width and height";
}

TEST_F(CellFixture, ColourRulesOfDrawing)
{
    CGridCell cell;
    cell.SetGrid(&grid);
    const QRgb base = Rgb(grid.GetDefaultCell(false, false)->GetBackClr());

    // No colour of its own: erased with the default cell's colour, or left
    // alone when not erased (the grid painted the band), or shaded.
    EXPECT_EQ(DrawCentre(&cell, 1, 1, true, 0), base);
    EXPECT_EQ(DrawCentre(&cell, 1, 1, false, 0), QColor(Qt::white).rgb());
    EXPECT_EQ(DrawCentre(&cell, 2, 1, true, 0xDCDCDC), Rgb(0xDCDCDC));

    // Its own colour beats the shade and erases even when not asked to.
    cell.SetBackClr(0xD4FFFF);
    EXPECT_EQ(DrawCentre(&cell, 2, 1, false, 0xDCDCDC), qRgb(0xFF, 0xFF, 0xD4));
    // The owner's colour beats its own.
    cell.SetDisplayColours(0xB9B9B9, 0);
    EXPECT_EQ(DrawCentre(&cell, 2, 1, false, 0xDCDCDC), Rgb(0xB9B9B9));
    // Selected shows the highlight whatever the colours.
    cell.SetState(GVIS_SELECTED);
    EXPECT_EQ(DrawCentre(&cell, 2, 1, false, 0xDCDCDC), grid.palette().color(QPalette::Highlight).rgb());
}

TEST_F(CellFixture, NothingIsDrawnWithoutGridOrRoom)
{
    CGridCell orphan;
    QPainter painter(&image);
    EXPECT_FALSE(orphan.Draw(&painter, 1, 1, QRect(0, 0, 10, 10)));
    orphan.SetGrid(&grid);
    EXPECT_FALSE(orphan.Draw(&painter, 1, 1, QRect(0, 0, 0, 10)));
    EXPECT_FALSE(orphan.Draw(nullptr, 1, 1, QRect(0, 0, 10, 10)));
    EXPECT_TRUE(orphan.Draw(&painter, 1, 1, QRect(0, 0, 10, 10)));
}

TEST_F(CellFixture, FixedCellsAreRaisedAndTheLastTitleHeaderCarriesTheSeparator)
{
    grid.SetTitleMode(1, QString(), QString());
    CGridCellBase* header = grid.GetCellAt(0, 1);  // the title column's header
    ASSERT_NE(header, nullptr);
    image.fill(Qt::white);
    QPainter painter(&image);
    header->Draw(&painter, 0, 1, QRect(0, 0, 60, 20), true, 0);
    painter.end();
    const QPalette& palette = grid.palette();
    EXPECT_EQ(image.pixel(10, 0), palette.color(QPalette::Light).rgb());
    EXPECT_EQ(image.pixel(0, 10), palette.color(QPalette::Light).rgb());
    EXPECT_EQ(image.pixel(10, 19), palette.color(QPalette::Shadow).rgb());
    EXPECT_EQ(image.pixel(58, 10), QColor(Qt::black).rgb());
    EXPECT_EQ(image.pixel(59, 10), QColor(Qt::black).rgb());
    EXPECT_EQ(image.pixel(57, 10), palette.color(QPalette::Shadow).rgb());

    CGridCellBase* other = grid.GetCellAt(0, 2);
    image.fill(Qt::white);
    QPainter second(&image);
    other->Draw(&second, 0, 2, QRect(0, 0, 60, 20), true, 0);
    second.end();
    EXPECT_EQ(image.pixel(59, 10), palette.color(QPalette::Shadow).rgb());
}
