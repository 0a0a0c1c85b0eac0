#include "CGridCtrl.h"
#include "GridTestOwner.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace
{

// A shown view with an empty-text grid, so that pixels show only
// backgrounds and lines.
struct Painting : public ::testing::Test
{
    void Build(int rows, int cols, QSize size = QSize(400, 260))
    {
        grid = MakeViewGrid(owner, rows, cols, size);
        owner.text = [](int, int) { return QString(); };
        for (int col = 0; col < cols; ++col)
            grid->SetColumnTitle(col, QString());
        owner.show();
        QCoreApplication::processEvents();
    }

    QImage Shot() const { return grid->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // A pixel well inside a cell, clear of text, lines and frames.
    QRgb Inside(const QImage& image, int row, int col) const
    {
        QRect rect;
        if (!grid->GetCellRect(row, col, &rect))
            return 0;
        return image.pixel(rect.right() - 4, rect.center().y());
    }

    GridTestOwner owner;
    CGridCtrl* grid = nullptr;
};

QRgb Rgb(COLORREF colour)
{
    return QColorFromColorref(colour).rgb();
}

class SelectingGrid : public CGridCtrl
{
public:
    void SelectRow(int row)
    {
        for (int col = m_nFixedCols; col < m_nCols; ++col)
            SetItemState(row, col, GetItemState(row, col) | GVIS_SELECTED);
    }
};

}  // namespace

TEST_F(Painting, EvenBodyRowsAreShadedAndFixedCellsNever)
{
    Build(20, 6);
    const QImage image = Shot();
    const QRgb base = Rgb(grid->GetDefaultCell(false, false)->GetBackClr());
    const QRgb face = Rgb(grid->GetDefaultCell(false, true)->GetBackClr());
    for (int row = 1; row <= 6; ++row) {
        const QRgb expected = row % 2 == 0 ? Rgb(0xDCDCDC) : base;
        EXPECT_EQ(Inside(image, row, 2), expected) << "body row " << row;
        EXPECT_EQ(Inside(image, row, 1), expected) << "title column, row " << row;
        EXPECT_EQ(Inside(image, row, 0), face) << "number column, row " << row;
    }
    EXPECT_EQ(Inside(image, 0, 2), Rgb(grid->GetDefaultCell(true, false)->GetBackClr()));

    grid->SetEvenRowShading(false, 0xDCDCDC);
    QCoreApplication::processEvents();
    EXPECT_EQ(Inside(Shot(), 2, 2), base);
}

TEST_F(Painting, SeparatorStaysAtTheFrozenEdgeWhileScrolling)
{
    Build(20, 12);
    const int frozen = grid->GetFixedColumnWidth(true);
    ASSERT_EQ(frozen, 70);
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        const QImage image = Shot();
        for (int y : {5, 40, 100}) {
            EXPECT_EQ(image.pixel(frozen - 2, y), QColor(Qt::black).rgb());
            EXPECT_EQ(image.pixel(frozen - 1, y), QColor(Qt::black).rgb());
            EXPECT_NE(image.pixel(frozen, y), QColor(Qt::black).rgb());
            EXPECT_NE(image.pixel(frozen - 3, y), QColor(Qt::black).rgb());
        }
        grid->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCoreApplication::processEvents();
    }
    EXPECT_GT(grid->horizontalScrollBar()->value(), 0);
}

TEST_F(Painting, GridLineModes)
{
    Build(20, 6);
    QRect cell;
    ASSERT_TRUE(grid->GetCellRect(3, 3, &cell));
    const QRgb line = Rgb(0xC0C0C0);
    const QPoint onVertical(cell.right(), cell.center().y());
    const QPoint onHorizontal(cell.center().x(), cell.bottom());
    const struct
    {
        int mode;
        bool vertical;
        bool horizontal;
    } cases[] = {{GVL_NONE, false, false}, {GVL_HORZ, false, true}, {GVL_VERT, true, false}, {GVL_BOTH, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        grid->SetGridLines(c.mode);
        QCoreApplication::processEvents();
        const QImage image = Shot();
        EXPECT_EQ(image.pixel(onVertical) == line, c.vertical);
        EXPECT_EQ(image.pixel(onHorizontal) == line, c.horizontal);
    }
}

TEST_F(Painting, BeyondTheLastCellIsTheGridBackground)
{
    Build(4, 3, QSize(400, 300));
    grid->SetGridBkColor(0x336699);
    QCoreApplication::processEvents();
    const QImage image = Shot();
    const int right = grid->GetVirtualWidth();
    const int bottom = grid->GetVirtualHeight();
    EXPECT_EQ(image.pixel(right + 5, 10), qRgb(0x99, 0x66, 0x33));
    EXPECT_EQ(image.pixel(10, bottom + 5), qRgb(0x99, 0x66, 0x33));
    EXPECT_NE(image.pixel(right - 5, bottom - 5), qRgb(0x99, 0x66, 0x33));
}

TEST_F(Painting, OwnerColoursAreBlueGreenRedAndBeatTheShade)
{
    Build(20, 6);
    grid->SetColumnItemData(2, 1);
    grid->SetColumnItemData(3, 1);
    owner.colour = [](GRID_DISPINFO& info) {
        if (info.column == 2)
            info.backColour = 0xBEFFFF;  // the ascending header tint: light yellow
        else
            info.backColour = 0xB9B9B9;
    };
    grid->Refresh();
    QCoreApplication::processEvents();
    const QImage image = Shot();
    EXPECT_EQ(Inside(image, 3, 2), qRgb(0xFF, 0xFF, 0xBE));
    EXPECT_EQ(Inside(image, 2, 3), Rgb(0xB9B9B9)) << "on a shaded row";
    EXPECT_EQ(Inside(image, 2, 4), Rgb(0xDCDCDC));
}

TEST_F(Painting, SelectedRowsShowTheHighlight)
{
    auto* selecting = new SelectingGrid();
    selecting->setParent(&owner);
    selecting->SetVirtualMode(true);
    selecting->SetColumnCount(5);
    selecting->SetRowCount(10);
    selecting->SetFixedRowCount(1);
    selecting->SetFixedColumnCount(1);
    selecting->setGeometry(0, 0, 400, 260);
    owner.resize(400, 260);
    owner.text = [](int, int) { return QString(); };
    owner.show();
    grid = selecting;
    selecting->SelectRow(4);
    QCoreApplication::processEvents();
    const QImage image = Shot();
    EXPECT_EQ(Inside(image, 4, 2), selecting->palette().color(QPalette::Highlight).rgb());
    EXPECT_NE(Inside(image, 3, 2), selecting->palette().color(QPalette::Highlight).rgb());
}

TEST_F(Painting, AHundredThousandRowsPaintOnlyWhatIsVisible)
{
    Build(100001, 11, QSize(600, 400));
    owner.text = nullptr;
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    grid->Refresh();
    owner.ResetCounts();
    const QImage image = Shot();
    const CCellRange visible = grid->GetVisibleNonFixedCellRange();
    const int visibleRows = visible.maxRow - visible.minRow + 1;
    const int visibleCols = visible.maxCol - visible.minCol + 1 + grid->GetFrozenColumnCount();
    EXPECT_GT(visible.minRow, 40000);
    EXPECT_EQ(owner.textRequests, visibleRows * visibleCols);
    for (const auto& [row, col] : owner.askedPositions) {
        EXPECT_GE(row, visible.minRow);
        EXPECT_LE(row, visible.maxRow);
    }
}

// Not a check: pictures of the grid for people to look at. Set
// QUANDOR_SCREENSHOT_DIR to keep them.
TEST_F(Painting, Screenshots)
{
    const QString folder = qEnvironmentVariable("QUANDOR_SCREENSHOT_DIR");
    Build(30, 8, QSize(560, 330));
    owner.text = [](int dataRow, int col) {
        if (col == 0)
            return QString::number(dataRow);
        static const char* names[] = {"Anna Berg", "Bernd Koch", "Carla Diaz", "Dieter Ernst", "Eva Fuchs"};
        switch (col) {
        case 1: return QString::fromLatin1(names[dataRow % 5]);
        case 2: return QStringLiteral("%1").arg(0x1A2B3C4D00ull + quint64(dataRow) * 7919, 10, 16, QLatin1Char('0')).toUpper();
        case 3: return dataRow % 3 == 0 ? QStringLiteral("Full access") : QStringLiteral("Schema %1").arg(dataRow % 4);
        default: return QStringLiteral("%1").arg(dataRow % 2);
        }
    };
    const char* titles[] = {"", "Person", "Transponder", "Time schema", "Reader 1", "Reader 2", "Reader 3", "Reader 4"};
    for (int col = 0; col < 8; ++col)
        grid->SetColumnTitle(col, QString::fromLatin1(titles[col]));
    grid->SetColumnWidth(0, 36, true, false);
    grid->SetColumnWidth(1, 100, true, false);
    grid->SetColumnWidth(2, 100, true, false);
    grid->SetColumnWidth(3, 90, true, false);
    grid->SetColumnItemData(3, 1);
    grid->SetColumnItemData(2, 1);
    owner.colour = [](GRID_DISPINFO& info) {
        if (info.column == 3 && info.dataRow % 5 == 0) {
            info.backColour = 0xB9B9B9;  // the views' read-only grey
            info.textColour = 0;
            info.state |= GVIS_READONLY;
        }
        if (info.column == 2 && info.dataRow == 4)
            info.backColour = 0xD4FFFF;  // pale yellow
    };
    grid->GetCell(0, 2)->SetBackClr(0xBEFFFF);  // a header tinted as the sorted one
    grid->Refresh();
    QCoreApplication::processEvents();
    const QImage small = grid->grab().toImage();
    EXPECT_FALSE(small.isNull());

    GridTestOwner bigOwner;
    CGridCtrl* big = MakeViewGrid(bigOwner, 100001, 11, QSize(560, 330));
    bigOwner.text = [](int dataRow, int col) {
        return col == 0 ? QString::number(dataRow) : GridTestOwner::DefaultText(dataRow, col);
    };
    big->SetColumnWidth(0, 56, true, false);
    for (int col = 1; col < 11; ++col)
        big->SetColumnWidth(col, 100, true, false);
    bigOwner.show();
    QCoreApplication::processEvents();
    big->verticalScrollBar()->setValue(big->verticalScrollBar()->maximum() / 2);
    big->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCoreApplication::processEvents();
    const QImage middle = big->grab().toImage();
    EXPECT_FALSE(middle.isNull());

    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        small.save(folder + QStringLiteral("/grid-colours.png"));
        middle.save(folder + QStringLiteral("/grid-100000-middle.png"));
    }
}
