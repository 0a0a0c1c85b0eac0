#include "CGridCell.h"
#include "CGridCellCheck.h"
#include "CGridCellCheckList.h"
#include "CGridCellCombo.h"
#include "CGridCellOptionList.h"
#include "CGridCtrl.h"
#include "GridTestOwner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <ctime>

namespace
{

// Lets a test put a sort order in force the way the sorting code does.
class SortableGrid : public CGridCtrl
{
public:
    using CGridCtrl::CGridCtrl;
    void SetOrder(std::vector<uint> order) { m_arRowOrder = std::move(order); }
    void Select(int row, int col) { SetItemState(row, col, GetItemState(row, col) | GVIS_SELECTED); }
    void Focus(int row, int col) { SetFocusCell(CCellID(row, col)); }
};

// A cell class of its own, to check creation by descriptor.
class CMarkedCell : public CGridCell
{
    DECLARE_GRIDCELL(CMarkedCell)
};
IMPLEMENT_GRIDCELL(CMarkedCell, CGridCell)

void Paint(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
}

}  // namespace

TEST(CGridCtrlStorage, NormalModeHoldsEveryCell)
{
    CGridCtrl grid(nullptr, QString(), QString(), 50, 7, 1, 1);
    for (int row = 0; row < 50; ++row) {
        for (int col = 0; col < 7; ++col) {
            CGridCellBase* cell = grid.GetCellAt(row, col);
            ASSERT_NE(cell, nullptr);
            cell->SetText(QStringLiteral("%1/%2").arg(row).arg(col));
        }
    }
    for (int row = 0; row < 50; ++row) {
        for (int col = 0; col < 7; ++col)
            EXPECT_EQ(grid.GetItemText(row, col), QStringLiteral("%1/%2").arg(row).arg(col));
    }
    EXPECT_EQ(grid.GetCellAt(50, 0), nullptr);
    EXPECT_EQ(grid.GetCellAt(0, 7), nullptr);
    EXPECT_EQ(grid.GetCellAt(-1, 0), nullptr);
    EXPECT_EQ(grid.GetItemState(0, 0) & GVIS_FIXEDROW_BITS, GVIS_FIXEDROW_BITS);
    EXPECT_EQ(grid.GetItemState(3, 0) & GVIS_FIXEDCOL_BITS, GVIS_FIXEDCOL_BITS);
    EXPECT_EQ(grid.GetCell(1, 1), nullptr) << "explicit cells belong to virtual mode";

    // Shrinking and growing keep the cells that stay.
    ASSERT_TRUE(grid.SetRowCount(20));
    ASSERT_TRUE(grid.SetColumnCount(9));
    EXPECT_EQ(grid.GetItemText(19, 6), QStringLiteral("19/6"));
    EXPECT_EQ(grid.GetItemText(19, 8), QString());
    EXPECT_EQ(grid.GetItemText(20, 0), QString());
}

TEST(CGridCtrlStorage, VirtualModeReadsEveryCellFromItsOwner)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 101, 6);
    for (int row = 1; row < 101; ++row) {
        for (int col = 1; col < 6; ++col)
            EXPECT_EQ(grid->GetItemText(row, col), GridTestOwner::DefaultText(row, col));
    }
    // The header has cells of its own: it shows the titles, centred, and its
    // owner is never asked for them.
    owner.ResetCounts();
    for (int col = 0; col < 6; ++col) {
        CGridCellBase* header = grid->GetCellAt(0, col);
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->GetText(), QStringLiteral("Col %1").arg(col));
        EXPECT_EQ(header->GetFormat() & (DT_CENTER | DT_VCENTER), quint32(DT_CENTER | DT_VCENTER));
        EXPECT_EQ(header->GetState() & GVIS_FIXEDROW_BITS, GVIS_FIXEDROW_BITS);
    }
    EXPECT_EQ(owner.textRequests, 0);
}

TEST(CGridCtrlStorage, PaintAsksOnlyForVisibleCellsOncePerGeneration)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 8, QSize(400, 300));
    owner.ResetCounts();
    Paint(owner);

    const CCellRange visible = grid->GetVisibleNonFixedCellRange();
    ASSERT_TRUE(visible.IsValid());
    // Body rows times every column (the number column comes from the
    // explicit cells of the fixed column, which the owner answers too).
    std::set<std::pair<int, int>> expected;
    for (int row = visible.minRow; row <= visible.maxRow; ++row) {
        for (int col = 0; col < grid->GetFrozenColumnCount(); ++col)
            expected.insert({row, col});
        for (int col = visible.minCol; col <= visible.maxCol; ++col)
            expected.insert({row, col});
    }
    EXPECT_EQ(owner.askedPositions, expected);
    EXPECT_EQ(owner.textRequests, int(expected.size())) << "each position asked once";
    EXPECT_LT(owner.textRequests, 200);

    // The cache hint brackets the paint.
    ASSERT_GE(owner.hints.size(), 2u);
    EXPECT_EQ(owner.hints.front(), visible);
    EXPECT_EQ(owner.hints.back(), CCellRange());

    // A plain repaint reuses the copies; Refresh asks again.
    owner.ResetCounts();
    Paint(owner);
    EXPECT_EQ(owner.textRequests, 0);
    grid->Refresh();
    Paint(owner);
    EXPECT_EQ(owner.textRequests, int(expected.size()));

    // A new row count forgets every text.
    owner.ResetCounts();
    ASSERT_TRUE(grid->SetRowCount(100002));
    Paint(owner);
    EXPECT_EQ(owner.textRequests, int(expected.size()));
}

TEST(CGridCtrlStorage, RefreshShowsNewTextsAndUpdateKeepsTheCachedOnes)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 10, 4);
    QString value = QStringLiteral("old");
    owner.text = [&](int, int) { return value; };
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("old"));
    value = QStringLiteral("new");
    grid->viewport()->update();
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("old"));
    grid->Refresh();
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("new"));
}

TEST(CGridCtrlStorage, FullWidthKeysKeepRowsBeyond65535Apart)
{
    GridTestOwner owner;
    auto* grid = new SortableGrid(nullptr, QStringLiteral("01"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(3);
    grid->SetRowCount(100001);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    for (int row : {1, 4464, 65535, 65536, 65537, 70000, 100000})
        EXPECT_EQ(grid->GetItemText(row, 2), GridTestOwner::DefaultText(row, 2)) << row;
    EXPECT_EQ(grid->GetItemText(1, 2), GridTestOwner::DefaultText(1, 2));

    grid->Select(70000, 2);
    EXPECT_TRUE(grid->IsCellSelected(70000, 2));
    EXPECT_FALSE(grid->IsCellSelected(70000 - 65536, 2));
    EXPECT_TRUE(grid->GetItemState(70000, 2) & GVIS_SELECTED);
    EXPECT_FALSE(grid->GetItemState(4464, 2) & GVIS_SELECTED);
    QList<uint> rows;
    grid->GetSelectedRows(&rows, false);
    EXPECT_EQ(rows, QList<uint>{70000});
}

TEST(CGridCtrlStorage, ExchangeCarriesDataRowUnderSortOrder)
{
    GridTestOwner owner;
    auto* grid = new SortableGrid(nullptr, QStringLiteral("05"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(3);
    grid->SetRowCount(6);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    // An explicit cell of data row 4 stays with its data row.
    grid->GetCell(4, 2)->SetBackClr(0x123456);
    grid->SetOrder({4, 3, 2, 1, 0});  // displayed row i shows data row 6 - i
    grid->Refresh();

    owner.ResetCounts();
    EXPECT_EQ(grid->GetItemText(1, 2), GridTestOwner::DefaultText(5, 2));
    ASSERT_EQ(owner.textRecords.size(), 1u);
    const GRID_DISPINFO& record = owner.textRecords.front();
    EXPECT_EQ(record.dataRow, 5);
    EXPECT_EQ(record.row, 1);
    EXPECT_EQ(record.column, 2);
    EXPECT_EQ(record.hdr.idFrom, 0u);
    EXPECT_EQ(record.hdr.hwndFrom, grid);
    EXPECT_EQ(grid->GetCellAt(1, 2)->GetDataRow(), 5);

    EXPECT_EQ(grid->GetCellAt(2, 2)->GetBackClr(), 0x123456u) << "displayed row 2 shows data row 4";
    EXPECT_EQ(grid->GetCellAt(4, 2)->GetBackClr(), CLR_DEFAULT);

    // Selected rows in data order.
    grid->Select(1, 1);
    grid->Select(3, 2);
    QList<uint> rows;
    grid->GetSelectedRows(&rows, true);
    EXPECT_EQ(rows, (QList<uint>{5, 3}));
    grid->GetSelectedRows(&rows, false);
    EXPECT_EQ(rows, (QList<uint>{1, 3}));
}

TEST(CGridCtrlStorage, AnOrderForAnotherRowCountNeverApplies)
{
    GridTestOwner owner;
    auto* grid = new SortableGrid(nullptr, QString(), QString(), 0, 0, 0, 0, &owner);
    grid->SetVirtualMode(true);
    grid->SetColumnCount(2);
    grid->SetRowCount(4);
    grid->SetFixedRowCount(1);
    grid->SetOrder({2, 1, 0});
    ASSERT_EQ(grid->GetDataRow(1), 3);

    // Rows added after a sort: the order stops applying and translating a
    // selected row beyond it stays in bounds.
    ASSERT_TRUE(grid->SetRowCount(6));
    EXPECT_EQ(grid->GetDataRow(5), -1);
    grid->Select(5, 1);
    QList<uint> rows;
    grid->GetSelectedRows(&rows, true);
    EXPECT_EQ(rows, QList<uint>{5});

    // Back to the sorted count: the old order stays forgotten.
    ASSERT_TRUE(grid->SetRowCount(4));
    EXPECT_EQ(grid->GetDataRow(1), -1);
    EXPECT_EQ(grid->GetItemText(1, 1), GridTestOwner::DefaultText(1, 1));
}

TEST(CGridCtrlStorage, ColourRequestOnlyForColumnsWithItemData)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 5, 4);
    owner.colour = [](GRID_DISPINFO& info) {
        info.backColour = 0xB9B9B9;
        info.textColour = 0;
        info.state |= GVIS_READONLY;
    };
    grid->SetColumnItemData(3, 1);
    grid->SetColumnItemData(99, 1);  // ignored
    EXPECT_EQ(grid->GetColumnItemData(99), 0u);
    grid->Refresh();
    owner.ResetCounts();

    CGridCellBase* plain = grid->GetCellAt(2, 2);
    EXPECT_EQ(owner.colourRequests, 0);
    EXPECT_EQ(plain->GetBackClr(), CLR_DEFAULT);
    EXPECT_FALSE(grid->GetItemState(2, 2) & GVIS_READONLY);

    CGridCellBase* grey = grid->GetCellAt(2, 3);
    EXPECT_EQ(owner.colourRequests, 1);
    EXPECT_EQ(grey->GetBackClr(), 0xB9B9B9u);
    EXPECT_EQ(grey->GetTextClr(), 0u);
    EXPECT_TRUE(grid->GetItemState(2, 3) & GVIS_READONLY);
    // The owner's colours win until they are reset; the own ones stay.
    EXPECT_EQ(grey->GetBackClr(true), CLR_DEFAULT);
    grey->ResetDisplayColours();
    EXPECT_EQ(grey->GetBackClr(), CLR_DEFAULT);
}

TEST(CGridCtrlStorage, CountsRefuseNonsenseAndKeepInvariants)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 10, 5);
    EXPECT_FALSE(grid->SetRowCount(-1));
    EXPECT_FALSE(grid->SetColumnCount(-3));
    EXPECT_FALSE(grid->SetFixedRowCount(-1));
    EXPECT_FALSE(grid->SetFixedColumnCount(-1));
    EXPECT_EQ(grid->GetRowCount(), 10);
    EXPECT_EQ(grid->GetColumnCount(), 5);

    // A fixed count beyond the count raises the count; a smaller count clamps
    // the fixed count.
    ASSERT_TRUE(grid->SetFixedColumnCount(7));
    EXPECT_EQ(grid->GetColumnCount(), 7);
    ASSERT_TRUE(grid->SetColumnCount(2));
    EXPECT_EQ(grid->GetFixedColumnCount(), 2);
    ASSERT_TRUE(grid->SetRowCount(0));
    EXPECT_EQ(grid->GetFixedRowCount(), 0);
    EXPECT_EQ(grid->GetRowHeight(0), -1);
}

TEST(CGridCtrlStorage, ColumnCountKeepsWhatTheKeptColumnsHad)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 5, 4);
    grid->SetColumnItemData(2, 7);
    ASSERT_NE(grid->SetColumnCellType(2, &CMarkedCell::GetThisClass()), nullptr);
    ASSERT_TRUE(grid->SetCellType(3, 3, &CMarkedCell::GetThisClass()));
    ASSERT_TRUE(grid->SetColumnCount(6));
    EXPECT_EQ(grid->GetColumnTitle(2), QStringLiteral("Col 2"));
    EXPECT_EQ(grid->GetColumnItemData(2), 7u);
    EXPECT_TRUE(grid->GetCellAt(3, 2)->IsKindOf(CMarkedCell::GetThisClass()));
    EXPECT_EQ(grid->GetItemText(0, 2), QStringLiteral("Col 2"));
    // New columns start plain, with header cells that show their titles.
    EXPECT_EQ(grid->GetColumnTitle(5), QString());
    EXPECT_EQ(grid->GetColumnItemData(5), 0u);
    EXPECT_TRUE(grid->SetColumnTitle(5, QStringLiteral("last")));
    EXPECT_EQ(grid->GetItemText(0, 5), QStringLiteral("last"));
    EXPECT_FALSE(grid->SetColumnTitle(6, QStringLiteral("beyond")));
    EXPECT_EQ(grid->GetColumnTitle(6), QString());

    // A column that goes and comes back starts afresh: it may stand for
    // another reader now.
    ASSERT_TRUE(grid->SetColumnCount(3));
    EXPECT_EQ(grid->GetColumnTitle(2), QStringLiteral("Col 2"));
    ASSERT_TRUE(grid->SetColumnCount(5));
    EXPECT_FALSE(grid->GetCellAt(3, 3)->IsKindOf(CMarkedCell::GetThisClass()));
    EXPECT_EQ(grid->GetColumnTitle(3), QString());
    EXPECT_TRUE(grid->GetCellAt(3, 2)->IsKindOf(CMarkedCell::GetThisClass()));
}

TEST(CGridCtrlStorage, CellTypesByDescriptor)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 5, 4);

    CGridCellBase* column = grid->SetColumnCellType(2, &CMarkedCell::GetThisClass());
    ASSERT_NE(column, nullptr);
    column->SetValidation(QStringLiteral("[0-9]"));
    grid->Refresh();
    CGridCellBase* shown = grid->GetCellAt(3, 2);
    EXPECT_TRUE(shown->IsKindOf(CMarkedCell::GetThisClass()));
    EXPECT_EQ(shown->GetValidation(), QStringLiteral("[0-9]"));
    EXPECT_EQ(shown->GetText(), GridTestOwner::DefaultText(3, 2));

    // One cell of its own class, keeping what it had.
    CGridCellBase* single = grid->GetCell(4, 1);
    single->SetFormat(DT_RIGHT);
    single->SetValidation(QStringLiteral("x"));
    EXPECT_TRUE(grid->SetCellType(4, 1, &CGridCell::GetThisClass())) << "same class: nothing to do";
    EXPECT_EQ(grid->GetCell(4, 1), single);
    ASSERT_TRUE(grid->SetCellType(4, 1, &CMarkedCell::GetThisClass()));
    CGridCellBase* replaced = grid->GetCell(4, 1);
    EXPECT_TRUE(replaced->IsKindOf(CMarkedCell::GetThisClass()));
    EXPECT_EQ(replaced->GetFormat(), quint32(DT_RIGHT));
    EXPECT_EQ(replaced->GetValidation(), QStringLiteral("x"));

    // What is no cell class, or cannot be made, is refused without change.
    EXPECT_FALSE(grid->SetCellType(4, 1, nullptr));
    EXPECT_FALSE(grid->SetCellType(4, 1, &CGridCellBase::GetThisClass()));
    EXPECT_EQ(grid->SetColumnCellType(2, &CGridCellBase::GetThisClass()), nullptr);
    EXPECT_EQ(grid->SetColumnCellType(4, &CMarkedCell::GetThisClass()), nullptr);
    EXPECT_FALSE(grid->SetDefaultCellType(&CGridCellBase::GetThisClass()));
    EXPECT_EQ(grid->GetDefaultCellType(), &CGridCell::GetThisClass());
    EXPECT_TRUE(grid->SetDefaultCellType(&CMarkedCell::GetThisClass()));
    EXPECT_TRUE(grid->GetCell(4, 3)->IsKindOf(CMarkedCell::GetThisClass()));
}

TEST(CGridCtrlStorage, HeaderWithoutOwnCellAsksTheOwner)
{
    GridTestOwner owner;
    CGridCtrl grid(nullptr, QString(), QString(), 0, 0, 0, 0, &owner);
    grid.SetVirtualMode(true);
    grid.SetColumnCount(3);
    grid.SetRowCount(4);
    EXPECT_EQ(grid.GetItemText(0, 1), GridTestOwner::DefaultText(0, 1));
    EXPECT_EQ(owner.textRequests, 1);
}

TEST(CGridCtrlStorage, ModifiedMarksAndTheGridSwitch)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 5, 4);
    grid->SetCellModified(true, 2, 2);
    EXPECT_TRUE(grid->GetModified());
    EXPECT_TRUE(grid->GetItemState(2, 2) & GVIS_MODIFIED);
    grid->SetCellModified(false, 2, 2);
    EXPECT_FALSE(grid->GetItemState(2, 2) & GVIS_MODIFIED);
    grid->SetCellModified(true, 3, 3);
    grid->SetCellModified(false, -1, -1);
    EXPECT_FALSE(grid->GetModified());
    EXPECT_FALSE(grid->GetItemState(3, 3) & GVIS_MODIFIED);
}

TEST(CGridCtrlStorage, OwnerThatRefreshesAndResizesInsideARequestIsSafe)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 200, 5);
    int depth = 0;
    owner.during = [&](GRID_DISPINFO& info) {
        if (depth > 0 || info.hdr.code != GRIDN_GETCELLTEXT)
            return;
        ++depth;
        // Looks another cell up, throws every copy away and changes the
        // counts, all while the grid is filling a copy.
        grid->GetItemText(0, 1);
        grid->Refresh();
        grid->GetItemText(1, 1);
        grid->SetRowCount(grid->GetRowCount() == 200 ? 150 : 200);
        --depth;
    };
    for (int i = 0; i < 3; ++i) {
        CGridCellBase* cell = grid->GetCellAt(5, 2);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->GetText(), GridTestOwner::DefaultText(5, 2));
        Paint(owner);
    }
    QCoreApplication::processEvents();
    owner.during = nullptr;
    Paint(owner);
    EXPECT_EQ(grid->GetItemText(5, 2), GridTestOwner::DefaultText(5, 2));
}

TEST(CGridCtrlStorage, FirstFillOfALargeGridIsLinear)
{
    GridTestOwner owner;
    QElapsedTimer timer;
    timer.start();
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 11);
    Paint(owner);
    // Quadratic set-up (a linear search per new fixed-column cell) would take
    // minutes; the budget leaves room for sanitizer builds.
    EXPECT_LT(timer.elapsed(), 5000);

    // Every row of the number column has an explicit cell of its own class,
    // and changing one changes only its row.
    EXPECT_LT(grid->ExplicitCellCount(), 100u) << "alike cells are not made one by one";
    CGridCellBase* number = grid->GetCell(70000, 0);
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->GetState() & GVIS_FIXEDCOL_BITS, GVIS_FIXEDCOL_BITS);
    EXPECT_EQ(grid->GetCell(70000, 0), number);
    number->SetBackClr(0x00FF00);
    grid->Refresh();
    EXPECT_EQ(grid->GetCellAt(70000, 0)->GetBackClr(), 0x00FF00u);
    EXPECT_EQ(grid->GetCellAt(70001, 0)->GetBackClr(), CLR_DEFAULT);
    EXPECT_EQ(grid->GetCellAt(5, 0)->GetState() & GVIS_FIXEDCOL_BITS, GVIS_FIXEDCOL_BITS);
}

TEST(CGridCtrlStorage, ScrollingAcrossTheTableKeepsTheCacheSmall)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 11);
    Paint(owner);
    for (int i = 0; i < 200; ++i) {
        grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        Paint(owner);
    }
    QCoreApplication::processEvents();
    EXPECT_LT(grid->DisplayCacheSize(), 10000u);
}

namespace
{

// Entries for any list cell; enough of them that a copy reading freed ones
// reads a freed block, not a reused one.
void FillEntries(CGridCellBase* cell)
{
    CGridItemArray* items = nullptr;
    if (auto* combo = dynamic_cast<CGridCellCombo*>(cell))
        items = &combo->GetItemList();
    else if (auto* checks = dynamic_cast<CGridCellCheckList*>(cell))
        items = &checks->GetItemList();
    else if (auto* options = dynamic_cast<CGridCellOptionList*>(cell))
        items = &options->GetItemList();
    ASSERT_NE(items, nullptr);
    for (int i = 0; i < 40; ++i)
        items->push_back(std::make_unique<CListEntry>(QStringLiteral("Entry %1").arg(i), QString::number(i)));
}

}  // namespace

TEST(CGridCtrlStorage, ListCellCopiesNeverOutliveTheCellTheyShow)
{
    const CGridCellClass* lists[] = {&CGridCellCombo::GetThisClass(), &CGridCellCheckList::GetThisClass(),
                                     &CGridCellOptionList::GetThisClass()};
    for (const CGridCellClass* listClass : lists) {
        for (bool wholeColumn : {true, false}) {
            SCOPED_TRACE(std::string(listClass->GetName()) + (wholeColumn ? " column" : " cell"));
            GridTestOwner owner;
            owner.text = [](int, int col) { return col == 2 ? QStringLiteral("7") : QStringLiteral("x"); };
            CGridCtrl* grid = MakeViewGrid(owner, 10, 4);
            CGridCellBase* source = nullptr;
            if (wholeColumn) {
                source = grid->SetColumnCellType(2, listClass);
            } else {
                ASSERT_TRUE(grid->SetCellType(3, 2, listClass));
                source = grid->GetCell(3, 2);
            }
            ASSERT_NE(source, nullptr);
            FillEntries(source);
            grid->Refresh();
            EXPECT_STREQ(grid->GetCellAt(3, 2)->GetRuntimeClass().GetName(), listClass->GetName());

            // The view sets its columns up again (a refill): the old cell
            // goes, and with the next turn of the event loop it is freed.
            if (wholeColumn)
                ASSERT_NE(grid->SetColumnCellType(2, listClass), nullptr);
            else
                ASSERT_TRUE(grid->SetCellType(3, 2, &CGridCellCheck::GetThisClass()));
            QCoreApplication::processEvents();
            CGridCellBase* shown = grid->GetCellAt(3, 2);
            ASSERT_NE(shown, nullptr);
            // The copy is made afresh from the new cell (reading the old
            // copy's entries would read freed memory).
            EXPECT_STREQ(shown->GetRuntimeClass().GetName(),
                      (wholeColumn ? listClass : &CGridCellCheck::GetThisClass())->GetName());
            EXPECT_FALSE(shown->GetValue().startsWith(QStringLiteral("Entry")));
            shown->GetText();
        }
    }
}

TEST(CGridCtrlStorage, TypingEveryRowOnceIsLinear)
{
    GridTestOwner owner;
    CGridCtrl* grid = MakeViewGrid(owner, 100001, 4);
    // The first and the last ten thousand rows take alike: a search for the
    // entry just appended makes the last ones nineteen times slower. Counted
    // in this thread's processor time, not on the wall: on a busy machine a
    // thread can wait for a processor longer than the rows take.
    const auto threadMs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    };
    qint64 firstMs = 0;
    qint64 lastMs = 0;
    qint64 mark = threadMs();
    for (int row = 1; row <= 100000; ++row) {
        ASSERT_TRUE(grid->SetCellType(row, 2, &CGridCellCheck::GetThisClass()));
        if (row == 10000)
            firstMs = threadMs() - mark;
        else if (row == 90000)
            mark = threadMs();
    }
    lastMs = threadMs() - mark;
    EXPECT_LT(lastMs, 5 * firstMs + 300) << firstMs << " ms for the first rows, " << lastMs << " for the last";
    QCoreApplication::processEvents();
    for (int row : {1, 65536, 100000}) {
        EXPECT_TRUE(grid->GetCellAt(row, 2)->IsKindOf(CGridCellCheck::GetThisClass())) << row;
        EXPECT_FALSE(grid->GetCellAt(row, 3)->IsKindOf(CGridCellCheck::GetThisClass())) << row;
    }
    ASSERT_TRUE(grid->SetCellType(65536, 2, &CGridCell::GetThisClass()));
    EXPECT_FALSE(grid->GetCellAt(65536, 2)->IsKindOf(CGridCellCheck::GetThisClass()));
    EXPECT_TRUE(grid->GetCellAt(65537, 2)->IsKindOf(CGridCellCheck::GetThisClass()));
}
