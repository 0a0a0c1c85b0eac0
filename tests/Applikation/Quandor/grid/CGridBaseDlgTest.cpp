#include "CDialogSetup.h"
#include "CGridBaseDlg.h"
#include "CGridCtrl.h"
#include "CGridNotifyReceiver.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A record view in miniature on a layout store of its own.
class LayoutView : public CGridBaseDlg, public CGridNotifyReceiver
{
public:
    explicit LayoutView(CDialogSetup* store) : m_store(store) {}

    void FillGrid(int rows)
    {
        InitGrid(QStringLiteral("04"), 1004, 6, rows);
        LoadGridLayout(QStringLiteral("04"));
    }
    void OnGridDispInfo(GRID_DISPINFO& info) override
    {
        info.valueText = QStringLiteral("r%1c%2").arg(info.dataRow).arg(info.column);
    }

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
    EXPECT_EQ(grid->GetRowHeight(0), 30);
    EXPECT_EQ(grid->GetRowHeight(1), 18);
    EXPECT_EQ(grid->GetRowHeight(3), 18);
    EXPECT_EQ(grid->GetColumnWidth(0), 10);
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
    QTest::qWait(20);
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
    EXPECT_EQ(view.GetGrid()->GetRowHeight(0), 30);
    EXPECT_EQ(view.GetGrid()->GetRowHeight(1), 18);
    EXPECT_GT(view.GetGrid()->GetColumnWidth(2), 0);

    // Fewer than two columns: the grid exists but stays empty.
    LayoutView bare(store.get());
    bare.InitGrid("04", 1004, 1, 3);
    ASSERT_NE(bare.GetGrid(), nullptr);
    EXPECT_EQ(bare.GetGrid()->GetColumnCount(), 0);
    bare.LoadGridLayout("04");
}
