#include "CDialogSetup.h"
#include "TestWait.h"
#include "CFontScale.h"
#include "CGridBaseDlg.h"
#include "CGridCellBase.h"
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"
#include "CQuandorApp.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A record view in miniature on a layout store of its own: data row r
// shows "r<r>c<column>" and a column's values sort as texts.
class LayoutView : public CGridBaseDlg
{
public:
    explicit LayoutView(CDialogSetup* store) : CGridBaseDlg(CQuandorApp::Instance()->Context()), m_store(store) {}

    void FillGrid(int rows)
    {
        InitGrid(QStringLiteral("04"), 1004, 6, rows);
        ResetSortState();
        LoadGridLayout(QStringLiteral("04"));
    }
    bool StoreEditedCell(GRID_NOTIFY* notify) override
    {
        edits << notify->text2;
        return false;
    }
    QStringList edits;
    int rightClicks = 0;

protected:
    void OnGetCellText(GRID_DISPINFO* info) override
    {
        if (info->row > 0)
            info->valueText = QStringLiteral("r%1c%2").arg(values.value(info->dataRow - 1, info->dataRow)).arg(info->column);
    }
    void OnGetCellColor(GRID_DISPINFO* info) override
    {
        if (info->row > 0 && info->column == 2)
            SetCellColors(true, info, 0xB9B9B9, 0);
    }
    void OnGridRClick(GRID_NOTIFY*) override { ++rightClicks; }

public:
    // What data row r + 1 shows, when set; else its number.
    QList<int> values;

protected:
    CDialogSetup* LayoutStore() const override { return m_store; }

private:
    CDialogSetup* m_store;
};

class CGridBaseDlgTest : public ::testing::Test
{
protected:
    std::unique_ptr<CDialogSetup> Start()
    {
        auto store = std::make_unique<CDialogSetup>(folder);
        EXPECT_TRUE(store->OpenFile(QStringLiteral("DialogSetup.xml")));
        return store;
    }

    QString folder = TestEnvironment::NewFolder(QStringLiteral("layout"));
};

} // namespace

TEST_F(CGridBaseDlgTest, TheFirstFillGivesTheStandardLookAndLaterOnesOnlyTheRowCount)
{
    auto store = Start();
    LayoutView view(store.get());
    EXPECT_EQ(view.GetGrid(), nullptr);
    view.FillGrid(4);
    CGridCtrl* grid = view.GetGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->GetDlgCtrlID(), 1004u);
    EXPECT_EQ(grid->GetColumnCount(), 6);
    EXPECT_EQ(grid->GetRowCount(), 4);
    EXPECT_EQ(grid->GetFixedRowCount(), 1);
    EXPECT_EQ(grid->GetFixedColumnCount(), 1);
    EXPECT_TRUE(grid->GetListMode());
    // The standard sizes, for the grid's font.
    const CFontScale scale(grid);
    EXPECT_EQ(grid->GetRowHeight(0), scale.Height(30));
    EXPECT_EQ(grid->GetRowHeight(1), scale.Height(18));
    EXPECT_EQ(grid->GetRowHeight(3), scale.Height(18));
    EXPECT_EQ(grid->GetColumnWidth(0), scale.Width(10));
    // Opening a view stores nothing.
    EXPECT_EQ(store->GetRowHeight("04", "0", false), -1);

    grid->SetColumnWidth(2, 77, true, false);
    view.InitGrid("04", 1004, 6, 9);
    EXPECT_EQ(view.GetGrid(), grid);
    EXPECT_EQ(grid->GetRowCount(), 9);
    EXPECT_EQ(view.GetRowCount(), 9);
    EXPECT_EQ(grid->GetColumnWidth(2), 77);
    view.InitGrid("04", 1004, 6, 0);
    EXPECT_EQ(grid->GetRowCount(), 9);
}

TEST_F(CGridBaseDlgTest, StoredHeightsAndWidthsSurviveARestart)
{
    {
        auto store = Start();
        LayoutView view(store.get());
        view.FillGrid(5);
        CGridCtrl* grid = view.GetGrid();
        grid->SetRowHeight(1, 25, true);
        grid->SetRowHeight(0, 40, true);
        grid->SetColumnWidth(3, 123, true, true);
        store->Save();
    }
    auto store = Start();
    LayoutView view(store.get());
    view.FillGrid(5);
    CGridCtrl* grid = view.GetGrid();
    EXPECT_EQ(grid->GetRowHeight(0), 40);
    EXPECT_EQ(grid->GetRowHeight(1), 25);
    EXPECT_EQ(grid->GetRowHeight(4), 25);
    EXPECT_EQ(grid->GetColumnWidth(3), 123);
    // Still stored after this second opening.
    EXPECT_EQ(store->GetRowHeight("04", "0", false), 25);

    view.resize(500, 200);
    view.show();
    TestWait::Settle();
    const QString shots = QDir::currentPath() + "/screenshots";
    QDir().mkpath(shots);
    EXPECT_TRUE(view.grab().save(shots + "/grid_base_view.png"));
}

TEST_F(CGridBaseDlgTest, StoredSizesOfZeroOrLessKeepTheDefaults)
{
    auto store = Start();
    store->SetRowHeight("04", "0", false, 0);
    store->SetRowHeight("04", "0", true, -5);
    store->SetColumnWidth("04", "0", "2", 0);
    LayoutView view(store.get());
    view.FillGrid(3);
    const CFontScale scale(view.GetGrid());
    EXPECT_EQ(view.GetGrid()->GetRowHeight(0), scale.Height(30));
    EXPECT_EQ(view.GetGrid()->GetRowHeight(1), scale.Height(18));
    EXPECT_GT(view.GetGrid()->GetColumnWidth(2), 0);

    // Fewer than two columns: the grid exists but stays empty.
    LayoutView bare(store.get());
    bare.InitGrid("04", 1004, 1, 3);
    ASSERT_NE(bare.GetGrid(), nullptr);
    EXPECT_EQ(bare.GetGrid()->GetColumnCount(), 0);
    bare.LoadGridLayout("04");
}

namespace {

GRID_NOTIFY headerDoubleClick(int column)
{
    GRID_NOTIFY notify;
    notify.hdr.code = NM_DBLCLK;
    notify.row = 0;
    notify.column = column;
    return notify;
}

COLORREF headerTint(CGridCtrl* grid, int column)
{
    return grid->GetCell(0, column)->GetBackClr(true);
}

} // namespace

TEST_F(CGridBaseDlgTest, TheViewAnswersTheGridThroughItsHandlers)
{
    auto store = Start();
    LayoutView view(store.get());
    view.FillGrid(4);
    CGridCtrl* grid = view.GetGrid();
    ASSERT_EQ(grid->GetReceiver(), static_cast<CGridNotifyReceiver*>(&view));
    grid->SetColumnItemData(2, 1);
    EXPECT_EQ(grid->GetItemText(2, 3), "r2c3");
    // Column 2 asks for its colours and gets the read-only look.
    EXPECT_EQ(grid->GetCellAt(1, 2)->GetBackClr(), 0xB9B9B9u);
    EXPECT_NE(grid->GetCellAt(1, 2)->GetState() & GVIS_READONLY, 0u);
    EXPECT_FALSE(grid->IsCellEditable(1, 2));
    EXPECT_TRUE(grid->IsCellEditable(1, 3));

    // A finished edit reaches StoreEditedCell; refused, the cell shows what
    // the view has.
    grid->FinishCellEdit(1, 3, QStringLiteral("typed"), QStringLiteral("typed"));
    EXPECT_EQ(view.edits, QStringList{QStringLiteral("typed")});
    EXPECT_EQ(grid->GetItemText(1, 3), "r1c3");

    grid->SendMessageToParent(2, 3, NM_RCLICK, QString(), QString(), QPoint(5, 5));
    EXPECT_EQ(view.rightClicks, 1);
}

TEST_F(CGridBaseDlgTest, HeaderDoubleClicksCycleAscendingDescendingAndOriginalOrder)
{
    auto store = Start();
    LayoutView view(store.get());
    view.values = {2, 3, 1};
    view.FillGrid(4);
    CGridCtrl* grid = view.GetGrid();
    auto shown = [&] { return QStringList{grid->GetItemText(1, 2), grid->GetItemText(2, 2), grid->GetItemText(3, 2)}; };
    const QStringList original = shown();

    // A double click on a data row does not sort.
    GRID_NOTIFY body = headerDoubleClick(2);
    body.row = 1;
    view.OnGridNotify(body);
    EXPECT_EQ(shown(), original);
    EXPECT_EQ(view.m_nSortMode, 0);

    GRID_NOTIFY click = headerDoubleClick(2);
    view.OnGridNotify(click);
    EXPECT_EQ(view.m_nSortColumn, 2);
    EXPECT_EQ(view.m_nSortMode, 1);
    EXPECT_EQ(shown(), (QStringList{"r1c2", "r2c2", "r3c2"}));
    EXPECT_EQ(headerTint(grid, 2), 0xBEFFFFu);
    view.OnGridNotify(click);
    EXPECT_EQ(shown(), (QStringList{"r3c2", "r2c2", "r1c2"}));
    EXPECT_EQ(headerTint(grid, 2), 0xFFFFBEu);
    view.OnGridNotify(click);
    EXPECT_EQ(view.m_nSortMode, 0);
    EXPECT_EQ(shown(), original);
    EXPECT_EQ(headerTint(grid, 2), CLR_DEFAULT);

    // Another column: the previous header loses its tint and the new one
    // starts at ascending.
    view.OnGridNotify(click);
    GRID_NOTIFY other = headerDoubleClick(4);
    view.OnGridNotify(other);
    EXPECT_EQ(headerTint(grid, 2), CLR_DEFAULT);
    EXPECT_EQ(headerTint(grid, 4), 0xBEFFFFu);
    EXPECT_EQ(view.m_nSortMode, 1);

    // A refill with as many rows shows the original order again, untinted.
    view.FillGrid(4);
    EXPECT_EQ(view.m_nSortMode, 0);
    EXPECT_EQ(headerTint(grid, 4), CLR_DEFAULT);
    EXPECT_EQ(shown(), original);
}
