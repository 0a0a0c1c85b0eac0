#include "CGridGeometry.h"

#include <gtest/gtest.h>

namespace {

CGridAxis Axis(std::initializer_list<quint32> sizes)
{
    CGridAxis axis;
    axis.Resize(int(sizes.size()), 0);
    int i = 0;
    for (quint32 size : sizes)
        axis.SetSize(i++, size);
    return axis;
}

// Rows: a fixed header of 20, then 10, 10, 0 (hidden), 10, 30, 10. Columns:
// a fixed 50 and a frozen title column of 40, then 100, 100, 100.
struct Grid
{
    CGridAxis rows = Axis({20, 10, 10, 0, 10, 30, 10});
    CGridAxis cols = Axis({50, 40, 100, 100, 100});
    CGridGeometry At(QPoint scroll, QSize client) const { return CGridGeometry(rows, cols, 1, 2, scroll, client); }
};

TEST(CGridGeometry, ScrollingMovesOnlyTheScrolledCellsByWholeCells)
{
    const Grid grid;
    const struct
    {
        QPoint scroll;
        CCellID topLeft;
        QPoint originOfRow5Col3;
    } table[] = {
        {{0, 0}, {1, 2}, {190, 50}},
        // A scroll into a cell shows the next whole one (a hidden one takes no room).
        {{1, 15}, {3, 3}, {90, 30}},
        {{100, 20}, {3, 3}, {90, 30}},
        {{0, 25}, {5, 2}, {190, 20}},
        // Past the end: the last cell stays shown.
        {{5000, 5000}, {6, 4}, {-1, -1}},
    };
    for (const auto& row : table) {
        const CGridGeometry g = grid.At(row.scroll, {400, 100});
        EXPECT_EQ(g.TopLeftNonFixedCell(), row.topLeft) << row.scroll.x() << "," << row.scroll.y();
        QPoint origin(-1, -1);
        g.CellOrigin(5, 3, &origin);
        EXPECT_EQ(origin, row.originOfRow5Col3) << row.scroll.x() << "," << row.scroll.y();
        // The fixed row and frozen columns never move.
        QPoint fixed;
        ASSERT_TRUE(g.CellOrigin(0, 1, &fixed));
        EXPECT_EQ(fixed, QPoint(50, 0));
    }
    EXPECT_FALSE(grid.At({0, 0}, {400, 100}).CellOrigin(7, 0, nullptr)) << "beyond the grid";
}

TEST(CGridGeometry, VisibleAndWhollyVisibleRanges)
{
    const Grid grid;
    // 100 high: 20 fixed, rows 1..4 take 30, row 5 (30 high) ends at 80,
    // row 6 at 90. 300 wide: 90 frozen, columns 2 and 3 end at 290, column 4
    // starts at 290 and is cut.
    const CGridGeometry g = grid.At({0, 0}, {300, 85});
    QRect rect;
    EXPECT_EQ(g.VisibleNonFixedCellRange(&rect).maxRow, 6);
    EXPECT_EQ(g.VisibleNonFixedCellRange().maxCol, 4);
    EXPECT_EQ(rect, QRect(QPoint(90, 20), QPoint(389, 89)));
    EXPECT_EQ(g.UnobstructedNonFixedCellRange().maxRow, 5);
    EXPECT_EQ(g.UnobstructedNonFixedCellRange().maxCol, 3);
    // An area smaller than the fixed part shows no scrolled cell.
    const CGridGeometry small = grid.At({0, 0}, {60, 10});
    EXPECT_EQ(small.VisibleNonFixedCellRange().maxRow, 0);
    EXPECT_EQ(small.UnobstructedNonFixedCellRange().maxCol, 1);
}

TEST(CGridGeometry, TheCellUnderAPoint)
{
    const Grid grid;
    const CGridGeometry g = grid.At({0, 10}, {400, 100});  // rows from 2 (row 1 scrolled out)
    const struct
    {
        QPoint point;
        bool allowFixed;
        CCellID cell;
    } table[] = {
        {{10, 5}, true, {0, 0}},
        {{10, 5}, false, {-1, -1}},
        {{60, 25}, true, {2, 1}},
        {{60, 25}, false, {2, -1}},
        {{95, 25}, false, {2, 2}},
        {{95, 35}, false, {4, 2}},  // past the hidden row
        {{395, 95}, false, {-1, -1}},
        {{-1, 25}, true, {2, -1}},
    };
    for (const auto& row : table)
        EXPECT_EQ(g.CellFromPoint(row.point, row.allowFixed), row.cell) << row.point.x() << "," << row.point.y();
}

// 100,000 rows are as cheap and as exact as ten: the last row is found from
// a point and back.
TEST(CGridGeometry, AHundredThousandRows)
{
    CGridAxis rows;
    rows.Resize(100001, 18);
    const CGridAxis cols = Axis({50, 100});
    const CGridGeometry g(rows, cols, 1, 1, QPoint(0, 18 * 99990), QSize(200, 18 * 11));
    EXPECT_EQ(g.TopLeftNonFixedCell().row, 99991);
    EXPECT_EQ(g.VisibleNonFixedCellRange().maxRow, 100000);
    QPoint origin;
    ASSERT_TRUE(g.CellOrigin(100000, 1, &origin));
    EXPECT_EQ(g.CellFromPoint(origin, false), CCellID(100000, 1));
}

} // namespace
