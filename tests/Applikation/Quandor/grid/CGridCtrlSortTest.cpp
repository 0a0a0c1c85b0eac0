#include "CGridCellCombo.h"
#include "GridTestOwner.h"

#include <QCoreApplication>
#include <QImage>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace
{

class GridSort : public ::testing::Test
{
protected:
    void Build(int rows, int cols)
    {
        grid = MakeViewGrid(owner, rows, cols);
        owner.show();
        QCoreApplication::processEvents();
        owner.ResetCounts();
    }
    // The data rows shown from displayed row 1 on.
    std::vector<int> Shown() const
    {
        std::vector<int> rows;
        for (int row = 1; row < grid->GetRowCount(); ++row) {
            const int dataRow = grid->GetDataRow(row);
            rows.push_back(dataRow >= 0 ? dataRow : row);
        }
        return rows;
    }
    GridTestOwner owner;
    CGridCtrl* grid = nullptr;
};

}  // namespace

TEST_F(GridSort, AHeaderOnlyGridAndColumnsOutsideTheGrid)
{
    Build(1, 4);
    EXPECT_TRUE(grid->SortByColumn(2, 1));
    EXPECT_TRUE(grid->GetRowOrder().empty());

    Build(6, 4);
    EXPECT_FALSE(grid->SortByColumn(4, 1));
    EXPECT_FALSE(grid->SortByColumn(-1, 2));
    EXPECT_TRUE(grid->GetRowOrder().empty());
    EXPECT_EQ(owner.textRequests, 0);
}

TEST_F(GridSort, AscendingDescendingAndBackToDataOrder)
{
    const QStringList texts{"b", "a", "B", "", "A", "b"};
    owner.text = [&](int dataRow, int col) {
        return col == 2 ? texts.value(dataRow - 1) : QStringLiteral("r%1c%2").arg(dataRow).arg(col);
    };
    Build(7, 4);

    ASSERT_TRUE(grid->SortByColumn(2, 1));
    EXPECT_EQ(Shown(), (std::vector<int>{4, 5, 3, 2, 1, 6}));
    ASSERT_TRUE(grid->SortByColumn(2, 2));
    EXPECT_EQ(Shown(), (std::vector<int>{1, 6, 2, 3, 5, 4})) << "equal rows keep data order";

    // The owner is asked by data row; displayed rows stay displayed rows.
    owner.ResetCounts();
    QImage image(grid->viewport()->size(), QImage::Format_RGB32);
    grid->viewport()->render(&image);
    for (const GRID_DISPINFO& info : owner.textRecords) {
        if (info.row >= 1) {
            EXPECT_EQ(info.dataRow, Shown()[std::size_t(info.row - 1)]) << info.row;
        }
    }
    EXPECT_EQ(grid->GetItemText(1, 3), QStringLiteral("r1c3"));
    EXPECT_EQ(grid->GetItemText(6, 3), QStringLiteral("r4c3"));

    // Back to data order without asking for any cell.
    owner.ResetCounts();
    EXPECT_TRUE(grid->SortByColumn(2, 0));
    EXPECT_EQ(owner.textRequests, 0);
    EXPECT_EQ(Shown(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(grid->GetItemText(6, 3), QStringLiteral("r6c3"));
}

TEST_F(GridSort, TheSortedColumnShowsSortedTextsWithoutARefresh)
{
    Build(30, 4);
    ASSERT_TRUE(grid->SortByColumn(2, 2));
    // No Refresh: every cell of a displayed row belongs to the same record.
    for (int row = 1; row < 30; ++row) {
        const int dataRow = grid->GetDataRow(row);
        EXPECT_EQ(grid->GetItemText(row, 2), GridTestOwner::DefaultText(dataRow, 2));
        EXPECT_EQ(grid->GetItemText(row, 3), GridTestOwner::DefaultText(dataRow, 3));
    }
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("r9c2"));
}

TEST_F(GridSort, SortingEmptiesTheSelectionAndRemovesTheFocus)
{
    Build(30, 4);
    const QList<uint> rows{2, 3};
    grid->SelectRows(&rows);
    grid->MoveFocusCell(3, 2);
    ASSERT_TRUE(grid->SortByColumn(3, 1));
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetFocusCell(), CCellID());
}

TEST_F(GridSort, ASecondaryColumnOrdersRowsEqualInTheSortedOne)
{
    // Events: date in column 5, time in column 6.
    const QStringList dates{"2024-03-02", "2024-03-01", "2024-03-02", "2024-03-01", "2024-03-02"};
    const QStringList times{"12:00", "08:00", "07:30", "09:15", "07:30"};
    owner.text = [&](int dataRow, int col) {
        if (col == 5)
            return dates.value(dataRow - 1);
        if (col == 6)
            return times.value(dataRow - 1);
        return QStringLiteral("r%1c%2").arg(dataRow).arg(col);
    };
    Build(6, 8);
    grid->SetSecondarySortColumn(6);
    EXPECT_EQ(grid->GetSecondarySortColumn(), 6);
    ASSERT_TRUE(grid->SortByColumn(5, 1));
    EXPECT_EQ(Shown(), (std::vector<int>{2, 4, 3, 5, 1}));
    ASSERT_TRUE(grid->SortByColumn(5, 2));
    EXPECT_EQ(Shown(), (std::vector<int>{1, 3, 5, 4, 2}));
    // By the time itself, no second key is added.
    ASSERT_TRUE(grid->SortByColumn(6, 1));
    EXPECT_EQ(Shown(), (std::vector<int>{3, 5, 2, 4, 1}));
    // Without a secondary column, equal dates keep data order.
    grid->SetSecondarySortColumn(0);
    ASSERT_TRUE(grid->SortByColumn(5, 1));
    EXPECT_EQ(Shown(), (std::vector<int>{2, 4, 1, 3, 5}));
}

TEST_F(GridSort, AHundredThousandRowsWithDuplicatesAndEmptyTexts)
{
    const int rows = 100001;
    QStringList keys;
    QStringList seconds;
    QRandomGenerator random(3);
    for (int i = 0; i < rows - 1; ++i) {
        keys.append(random.bounded(10) == 0 ? QString() : QStringLiteral("key %1").arg(random.bounded(5000)));
        seconds.append(QStringLiteral("%1").arg(random.bounded(100), 2, 10, QLatin1Char('0')));
    }
    owner.text = [&](int dataRow, int col) {
        if (col == 2)
            return keys.at(dataRow - 1);
        if (col == 3)
            return seconds.at(dataRow - 1);
        return QString();
    };
    Build(rows, 5);
    const std::size_t cacheBefore = grid->DisplayCacheSize();

    auto check = [&](bool ascending, bool secondary) {
        const std::vector<int> shown = Shown();
        ASSERT_EQ(shown.size(), std::size_t(rows - 1));
        for (std::size_t i = 1; i < shown.size(); ++i) {
            const int a = shown[i - 1] - 1;
            const int b = shown[i] - 1;
            int order = keys.at(a).compare(keys.at(b));
            if (order == 0 && secondary)
                order = seconds.at(a).compare(seconds.at(b));
            ASSERT_TRUE(ascending ? order <= 0 : order >= 0) << i;
            if (order == 0) {
                ASSERT_LT(a, b) << "equal rows keep data order, " << i;
            }
        }
    };
    ASSERT_TRUE(grid->SortByColumn(2, 1));
    check(true, false);
    EXPECT_EQ(keys.at(grid->GetDataRow(1) - 1), QString()) << "empty texts first";
    ASSERT_TRUE(grid->SortByColumn(2, 2));
    check(false, false);
    grid->SetSecondarySortColumn(3);
    ASSERT_TRUE(grid->SortByColumn(2, 1));
    check(true, true);
    EXPECT_LE(grid->DisplayCacheSize(), cacheBefore) << "the rows read for the sort are not kept";
    ASSERT_TRUE(grid->SortByColumn(2, 0));
    EXPECT_EQ(grid->GetDataRow(50000), -1);
    EXPECT_TRUE(grid->GetRowOrder().empty());
}

TEST_F(GridSort, ANewRowCountEndsTheOrder)
{
    Build(20, 4);
    ASSERT_TRUE(grid->SortByColumn(2, 2));
    EXPECT_EQ(grid->GetRowOrder().size(), 19u);
    grid->SetRowCount(21);
    EXPECT_TRUE(grid->GetRowOrder().empty());
    EXPECT_EQ(grid->GetDataRow(1), -1);
}

TEST_F(GridSort, ANormalGridSortsByItsCellsValues)
{
    CGridCtrl normal(nullptr, QString(), QString(), 5, 3, 1, 1);
    const QStringList texts{"c", "a", "b", "a"};
    for (int row = 1; row < 5; ++row)
        normal.GetCellAt(row, 1)->SetText(texts.at(row - 1));
    ASSERT_TRUE(normal.SortByColumn(1, 1));
    EXPECT_EQ(normal.GetRowOrder(), (std::vector<uint>{1, 3, 2, 0}));
}

TEST_F(GridSort, EveryDataRowHasTheDisplayedRowThatShowsIt)
{
    owner.text = [](int dataRow, int col) {
        return col == 2 ? QString::number((dataRow * 37) % 101) : QStringLiteral("r%1c%2").arg(dataRow).arg(col);
    };
    Build(201, 4);
    for (int dataRow = 0; dataRow <= 200; ++dataRow)
        ASSERT_EQ(grid->GetDisplayedRow(dataRow), dataRow) << "data order";
    EXPECT_EQ(grid->GetDisplayedRow(201), -1);
    EXPECT_EQ(grid->GetDisplayedRow(-1), -1);

    for (int mode : {1, 2}) {
        ASSERT_TRUE(grid->SortByColumn(2, mode));
        EXPECT_EQ(grid->GetDisplayedRow(0), 0);
        std::set<int> shown;
        for (int dataRow = 1; dataRow <= 200; ++dataRow) {
            const int row = grid->GetDisplayedRow(dataRow);
            ASSERT_EQ(grid->GetDataRow(row), dataRow) << "mode " << mode;
            shown.insert(row);
        }
        EXPECT_EQ(shown.size(), 200u);
    }
    // An order for another row count stops applying, and so does its inverse.
    grid->SetRowCount(150);
    EXPECT_EQ(grid->GetDisplayedRow(120), 120);
    EXPECT_EQ(grid->GetDisplayedRow(150), -1);
}

TEST_F(GridSort, AComboValueThatNamesNoEntrySortsAsItsOwnCellShowsIt)
{
    // Rows 2 and 5 name no entry: each sorts as its own cell stands, never
    // as the row read before it.
    const QStringList values{"b", "zz", "a", "c", "zz", "b"};
    owner.text = [&](int dataRow, int col) {
        return col == 2 ? values.value(dataRow - 1) : QStringLiteral("r%1c%2").arg(dataRow).arg(col);
    };
    Build(7, 4);
    auto* combo = static_cast<CGridCellCombo*>(grid->SetColumnCellType(2, &CGridCellCombo::GetThisClass()));
    ASSERT_NE(combo, nullptr);
    combo->SetStyle(CGridCellCombo::DropDownList);
    for (const char* value : {"c", "a", "b"})
        combo->GetItemList().push_back(std::make_unique<CListEntry>(QStringLiteral("Entry %1").arg(value), value));
    grid->Refresh();
    QStringList shown;
    for (int row = 1; row < 7; ++row)
        shown << grid->GetCellAt(row, 2)->GetValue();

    // The same values as plain text sort the way the combo column must.
    GridTestOwner plainOwner;
    plainOwner.text = [&](int dataRow, int col) {
        return col == 2 ? shown.value(dataRow - 1) : QStringLiteral("r%1c%2").arg(dataRow).arg(col);
    };
    CGridCtrl* plain = MakeViewGrid(plainOwner, 7, 4);
    for (int mode : {1, 2}) {
        ASSERT_TRUE(plain->SortByColumn(2, mode));
        ASSERT_TRUE(grid->SortByColumn(2, mode));
        EXPECT_EQ(grid->GetRowOrder(), plain->GetRowOrder()) << "mode " << mode;
    }
}
