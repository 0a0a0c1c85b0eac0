#include "CGridCellCheckList.h"
#include "TestWait.h"
#include "CGridCellOptionList.h"
#include "GridInputFixture.h"

#include <QDir>
#include <QMap>

namespace {

template <class Cell>
void Fill(Cell& cell)
{
    cell.GetItemList().push_back(std::make_unique<CListEntry>("Monday", "Mo"));
    cell.GetItemList().push_back(std::make_unique<CListEntry>("Tuesday", "Tu"));
    cell.GetItemList().push_back(std::make_unique<CListEntry>("Friday", "Fr"));
}

} // namespace

TEST(CGridListCellTest, ACheckListTicksKnownPiecesOnceInTheirOrder)
{
    CGridCellCheckList list;
    EXPECT_TRUE(list.IsReadOnly());
    Fill(list);
    list.SetValue("Fr;Mo;Fr;Sa");
    EXPECT_EQ(list.GetValue(), "Fr;Mo");
    EXPECT_EQ(list.GetCheckedTexts(), QStringList({"Friday", "Monday"}));
    EXPECT_EQ(list.GetTipText(), "Friday\nMonday");
    list.SetValue("");
    EXPECT_EQ(list.GetValue(), "");
    // Read-only: clicks and keys change nothing.
    list.OnClick(QPoint(5, 5));
    EXPECT_TRUE(list.OnKeyDown(VK_SPACE, 1, 0));
    EXPECT_EQ(list.GetValue(), "");

    list.SetState(0);
    list.SetMargin(3);
    list.OnClick(QPoint(5, 16 + 5)); // Tuesday's box
    list.OnClick(QPoint(5, 5));
    EXPECT_EQ(list.GetValue(), "Tu;Mo");
    list.OnClick(QPoint(5, 16 + 5)); // off again: the index leaves the order
    EXPECT_EQ(list.GetValue(), "Mo");
    list.OnClick(QPoint(60, 5)); // beside the box
    list.OnClick(QPoint(5, 3 * 16 + 5)); // below the last line
    EXPECT_EQ(list.GetValue(), "Mo");
}

TEST(CGridListCellTest, TheCurrentLineWrapsDownAndStopsAtTheTop)
{
    CGridCellCheckList list;
    Fill(list);
    list.SetState(0);
    EXPECT_TRUE(list.OnKeyDown(VK_UP, 1, 0)); // first line: the grid moves
    EXPECT_FALSE(list.OnKeyDown(VK_DOWN, 1, 0));
    EXPECT_FALSE(list.OnKeyDown(VK_DOWN, 1, 0));
    EXPECT_EQ(list.Lines().Current(), 2);
    list.OnKeyDown(VK_SPACE, 1, 0);
    EXPECT_EQ(list.GetValue(), "Fr");
    EXPECT_FALSE(list.OnKeyDown(VK_DOWN, 1, 0));
    EXPECT_EQ(list.Lines().Current(), 0);

    CGridCellCheckList empty;
    empty.SetState(0);
    empty.OnKeyDown(VK_SPACE, 1, 0);
    EXPECT_TRUE(empty.OnKeyDown(VK_DOWN, 1, 0));
    EXPECT_EQ(empty.GetValue(), "");
}

TEST(CGridListCellTest, AnOptionListShowsTheChosenEntry)
{
    CGridCellOptionList list;
    Fill(list);
    list.SetValue("Tu");
    EXPECT_EQ(list.GetSelectedIndex(), 1);
    EXPECT_EQ(list.GetSelectedText(), "Tuesday");
    EXPECT_EQ(list.GetValue(), "Tu");
    list.SetValue("Xx"); // kept as the value, the choice stays
    EXPECT_EQ(list.GetValue(), "Xx");
    EXPECT_EQ(list.GetSelectedIndex(), 1);

    list.OnClick(QPoint(5, 5));
    EXPECT_EQ(list.GetSelectedIndex(), 1); // read-only
    list.SetState(0);
    list.SetMargin(3);
    list.OnClick(QPoint(5, 2 * 16 + 5));
    EXPECT_EQ(list.GetSelectedIndex(), 2);
    EXPECT_EQ(list.GetValue(), "Fr");
    list.OnKeyDown(VK_SPACE, 1, 0); // current line 0
    EXPECT_EQ(list.GetValue(), "Mo");
}

class ListCellGridTest : public GridInputTest
{
};

TEST_F(ListCellGridTest, ListCellsReportTheirChangesAndAreDrawn)
{
    Build(4, 3, QSize(300, 200));
    auto* checks = static_cast<CGridCellCheckList*>(grid->SetColumnCellType(1, &CGridCellCheckList::GetThisClass()));
    auto* options = static_cast<CGridCellOptionList*>(grid->SetColumnCellType(2, &CGridCellOptionList::GetThisClass()));
    ASSERT_TRUE(checks && options);
    Fill(*checks);
    Fill(*options);
    grid->SetRowHeight(1, 50, false);
    grid->SetColumnWidth(1, 110, true, false);
    grid->SetColumnWidth(2, 110, true, false);
    QMap<int, QString> values{{1, "Mo;Fr"}, {2, "Tu"}, {3, ""}};
    owner.text = [&](int dataRow, int col) { return col == 1 ? values.value(dataRow) : QString("Tu"); };
    owner.reply = [&](GRID_NOTIFY& notify) -> qint64 {
        if (notify.hdr.code == GRIDN_ENDEDIT && notify.column == 1) {
            values[notify.dataRow] = notify.text1;
            // The owner refills while it hears the change.
            grid->SetRowCount(4);
            grid->Refresh();
            grid->GetCellAt(notify.row, 1);
        }
        return 0;
    };
    grid->Refresh();
    TestWait::Settle();
    EXPECT_EQ(grid->GetCellAt(1, 1)->GetValue(), "Mo;Fr");

    QRect cell;
    ASSERT_TRUE(grid->GetCellRect(2, 1, &cell));
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, cell.topLeft() + QPoint(8, 16 + 6));
    EXPECT_EQ(values.value(2), "");
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, cell.topLeft() + QPoint(8, 2 * 16 + 6), 600);
    EXPECT_EQ(values.value(2), "Fr") << "the second click ticks Friday";

    ASSERT_TRUE(grid->GetCellRect(3, 2, &cell));
    QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, cell.topLeft() + QPoint(8, 6), 600);
    const std::vector<GRID_NOTIFY> heard = owner.Heard(GRIDN_ENDEDIT);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back().column, 2);
    EXPECT_EQ(heard.back().text1, "Mo");

    TestWait::Settle();
    const QString folder = QDir::currentPath() + "/screenshots";
    QDir().mkpath(folder);
    EXPECT_TRUE(grid->grab().save(folder + "/grid_list_cells.png"));
}
