#include "CCellSet.h"
#include "CGridCellButton.h"
#include "GridTestOwner.h"

#include <QCoreApplication>
#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <set>

namespace
{

QList<uint> SelectedRows(CGridCtrl* grid)
{
    QList<uint> rows;
    grid->GetSelectedRows(&rows, false);
    return rows;
}

}  // namespace

TEST(CCellSet, AgreesWithAPlainSetOfPositions)
{
    // Random inserts, removals and ranges over more than 64 columns,
    // against std::set as the reference.
    CCellSet cells;
    std::set<std::pair<int, int>> reference;
    QRandomGenerator random(7);
    for (int step = 0; step < 4000; ++step) {
        const int row = int(random.bounded(40));
        const int first = int(random.bounded(150));
        const int last = first + int(random.bounded(80));
        switch (random.bounded(4)) {
        case 0:
            EXPECT_EQ(cells.Insert(row, first), reference.insert({row, first}).second);
            break;
        case 1:
            EXPECT_EQ(cells.Remove(row, first), reference.erase({row, first}) > 0);
            break;
        case 2:
            cells.InsertColumns(row, first, last);
            for (int col = first; col <= last; ++col)
                reference.insert({row, col});
            break;
        default:
            cells.RemoveColumns(row, first, last);
            for (int col = first; col <= last; ++col)
                reference.erase({row, col});
            break;
        }
    }
    ASSERT_EQ(cells.Count(), qint64(reference.size()));
    std::vector<CCellID> expected;
    for (const auto& [row, col] : reference)
        expected.emplace_back(row, col);
    EXPECT_EQ(cells.Cells(), expected);

    CCellSet copy;
    copy.Insert(100000, 3);
    copy.InsertAll(cells);
    EXPECT_EQ(copy.Count(), cells.Count() + 1);
    copy.RemoveOutside(30, 100);
    for (const CCellID& cell : copy.Cells())
        EXPECT_TRUE(cell.row < 30 && cell.col < 100);
    EXPECT_FALSE(copy.Contains(100000, 3));
    EXPECT_FALSE(cells.Contains(-1, 0));
    EXPECT_FALSE(cells.Insert(-1, 0));
}

TEST(CGridCtrlSelection, SelectRowsSelectsWholeBodyRowsAndNothingElse)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 6);
    owner.show();
    QCoreApplication::processEvents();
    grid->MoveFocusCell(7, 2);
    owner.ResetCounts();

    const QList<uint> rows{3, 5, 70000, 0, 100001, 250000};
    grid->SelectRows(&rows);
    EXPECT_EQ(SelectedRows(grid), QList<uint>({3, 5, 70000})) << "headers and rows the grid lacks are ignored";
    EXPECT_EQ(grid->GetSelectedCount(), 3 * 5);
    for (int col = 1; col < 6; ++col)
        EXPECT_TRUE(grid->GetItemState(70000, col) & GVIS_SELECTED);
    EXPECT_FALSE(grid->GetItemState(70000, 0) & GVIS_SELECTED);
    EXPECT_FALSE(grid->IsCellSelected(70000 - 65536, 2)) << "rows beyond 65535 have keys of their own";
    EXPECT_EQ(grid->GetFocusCell(), CCellID(7, 2));
    EXPECT_TRUE(owner.notifications.empty());

    grid->SelectRows(nullptr);
    EXPECT_TRUE(SelectedRows(grid).isEmpty());
    EXPECT_EQ(grid->GetFocusCell(), CCellID(7, 2));
}

TEST(CGridCtrlSelection, SelectingEverythingAsksTheOwnerForNothingOffScreen)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 11, QSize(600, 400));
    owner.show();
    QCoreApplication::processEvents();
    owner.ResetCounts();
    grid->SelectAllCells();
    EXPECT_EQ(grid->GetSelectedCount(), 100000LL * 10);
    EXPECT_EQ(owner.textRequests, 0);
    QImage image(grid->viewport()->size(), QImage::Format_RGB32);
    grid->viewport()->render(&image);
    EXPECT_LT(owner.textRequests, 400) << "only what is shown";
    EXPECT_EQ(SelectedRows(grid).size(), 100000);

    // Shrinking the grid drops the rows that go.
    grid->SetRowCount(50);
    EXPECT_TRUE(SelectedRows(grid).isEmpty());
}

TEST(CGridCtrlSelection, ItemStatesOfEveryRowComeWithoutAskingTheOwner)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 6, QSize(600, 400));
    // A cell of a class of its own.
    ASSERT_TRUE(grid->SetCellType(4, 3, &CGridCellButton::GetThisClass()));
    owner.show();
    QCoreApplication::processEvents();
    const QList<uint> chosen{2, 7, 65537, 100000};
    grid->SelectRows(&chosen);
    owner.ResetCounts();
    const std::size_t cached = grid->DisplayCacheSize();

    // The walk the reader list and the time-schema view make.
    QList<uint> found;
    for (int row = 1; row < grid->GetRowCount(); ++row) {
        if (grid->GetItemState(row, 2) & GVIS_SELECTED)
            found.append(uint(row));
    }
    EXPECT_EQ(found, chosen);
    EXPECT_EQ(owner.textRequests, 0);
    EXPECT_EQ(grid->DisplayCacheSize(), cached) << "no copy per row";

    // The bits are those the cell carries once shown: fixed, focus and
    // selected, and what its class gives it.
    grid->MoveFocusCell(7, 2);
    const std::pair<int, int> positions[] = {{0, 2}, {9, 0}, {0, 0}, {7, 2}, {4, 3}, {70000, 4}, {65538, 1}};
    for (const auto& [row, col] : positions) {
        const quint32 unshown = grid->GetItemState(row, col);
        EXPECT_EQ(unshown, grid->GetCellAt(row, col)->GetState()) << row << "/" << col;
        EXPECT_EQ(grid->GetItemState(row, col), unshown) << row << "/" << col;
    }
    EXPECT_EQ(grid->GetItemState(7, 2), quint32(GVIS_SELECTED | GVIS_FOCUSED));
    EXPECT_EQ(grid->GetItemState(100001, 2), 0u);
    EXPECT_EQ(grid->GetItemState(5, 6), 0u);
    // A shown cell answers with what the owner added.
    owner.colour = [](GRID_DISPINFO& info) { info.state |= GVIS_READONLY; };
    grid->SetColumnItemData(2, 1);
    grid->Refresh();
    EXPECT_EQ(grid->GetItemState(2, 2), quint32(GVIS_SELECTED)) << "not shown since the refresh";
    grid->GetCellAt(2, 2);
    EXPECT_EQ(grid->GetItemState(2, 2), quint32(GVIS_SELECTED | GVIS_READONLY));
}

TEST(CGridCtrlSelection, RangesAreRaisedIntoTheBodyAndMinusOneClears)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 20, 5);
    grid->SelectCellRange(0, 0, 2, 2, false, true);
    EXPECT_EQ(grid->GetSelectedCount(), 4);
    EXPECT_TRUE(grid->IsCellSelected(1, 1));
    EXPECT_FALSE(grid->IsCellSelected(0, 1));
    grid->SelectCellRange(1, 1, 1, 1, false, false);
    EXPECT_EQ(grid->GetSelectedCount(), 3);
    grid->SelectCellRange(2, 1, 40, 2, false, true);
    EXPECT_EQ(grid->GetSelectedCount(), 0) << "a range beyond the grid selects nothing";
    grid->SelectCellRange(2, 1, 3, 2, false, true);
    grid->SelectCellRange(-1, -1, -1, -1, false, true);
    EXPECT_EQ(grid->GetSelectedCount(), 0);
}

TEST(CGridCtrlSelection, TheFocusMovesOutOfTheFixedCellsAndReportsWhereItWas)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 20, 5);
    EXPECT_EQ(grid->MoveFocusCell(0, 0), CCellID());
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 1));
    EXPECT_TRUE(grid->GetItemState(1, 1) & GVIS_FOCUSED);
    EXPECT_EQ(grid->MoveFocusCell(4, 3), CCellID(1, 1));
    EXPECT_FALSE(grid->GetItemState(1, 1) & GVIS_FOCUSED);
    EXPECT_TRUE(grid->GetItemState(4, 3) & GVIS_FOCUSED);
    grid->MoveFocusCell(25, 3);
    EXPECT_EQ(grid->GetFocusCell(), CCellID()) << "never outside the grid";

    // A normal grid keeps the bits in its cells.
    CGridCtrl normal(nullptr, QString(), QString(), 10, 4, 1, 1);
    normal.MoveFocusCell(2, 2);
    normal.SelectCellRange(2, 1, 3, 3, false, true);
    EXPECT_TRUE(normal.GetCellAt(2, 2)->GetState() & GVIS_FOCUSED);
    EXPECT_TRUE(normal.GetCellAt(3, 3)->GetState() & GVIS_SELECTED);
    normal.ClearSelection();
    EXPECT_FALSE(normal.GetCellAt(2, 2)->GetState() & (GVIS_FOCUSED | GVIS_SELECTED));
    EXPECT_FALSE(normal.GetCellAt(3, 3)->GetState() & GVIS_SELECTED);
    EXPECT_EQ(normal.GetFocusCell(), CCellID());
}

TEST(CGridCtrlSelection, ListModeStartsWithoutSelectionFocusOrSortColumn)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 20, 5);
    const QList<uint> rows{2, 3};
    grid->SelectRows(&rows);
    grid->MoveFocusCell(2, 2);
    grid->SetFixedColumnSelection(true);
    grid->SetListMode(true);
    EXPECT_TRUE(grid->GetListMode());
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetFocusCell(), CCellID());
    EXPECT_EQ(grid->GetSortColumn(), -1);
    EXPECT_FALSE(grid->GetFixedColumnSelection());
}

TEST(CGridCtrlSelection, SelectionAndFocusAreDrawnWithTheHighlight)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 40, 6, QSize(420, 260));
    grid->SetListMode(true);
    owner.show();
    QCoreApplication::processEvents();
    const QList<uint> rows{2, 3, 5};
    grid->SelectRows(&rows);
    grid->MoveFocusCell(3, 3);
    const QImage image = grid->viewport()->grab().toImage();
    if (const QByteArray folder = qgetenv("QUANDOR_SCREENSHOTS"); !folder.isEmpty())
        image.save(QString::fromLocal8Bit(folder) + QStringLiteral("/grid-selection-focus.png"));

    const QColor highlight = grid->palette().color(QPalette::Active, QPalette::Highlight);
    auto pixelIn = [&](int row, int col, int dx, int dy) {
        QRect rect;
        EXPECT_TRUE(grid->GetCellRect(row, col, &rect));
        return image.pixelColor(rect.left() + dx, rect.top() + dy);
    };
    EXPECT_EQ(pixelIn(2, 2, 4, 4), highlight);
    EXPECT_EQ(pixelIn(5, 5, 4, 4), highlight);
    EXPECT_NE(pixelIn(4, 2, 4, 4), highlight);
    EXPECT_NE(pixelIn(2, 0, 4, 4), highlight) << "the number column is not selected";
    // The focus cell of a selected row is framed inside.
    EXPECT_NE(pixelIn(3, 3, 1, 5), pixelIn(3, 3, 6, 5));
}
