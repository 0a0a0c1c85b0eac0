#include "CGridCellButton.h"
#include "TestWait.h"
#include "CGridCellCheck.h"
#include "GridInputFixture.h"

#include <QDir>
#include <QLineEdit>
#include <QMap>

namespace {

// A record view's yes/no column 2 and button column 3, with the values the
// owner keeps and stores back from the grid's reports.
class SpecialCellTest : public GridInputTest
{
protected:
    void SetUp() override
    {
        Build(6, 4);
        grid->SetColumnCellType(2, &CGridCellCheck::GetThisClass());
        grid->SetColumnCellType(3, &CGridCellButton::GetThisClass());
        owner.text = [this](int dataRow, int col) {
            if (col == 2)
                return values.value(dataRow);
            return col == 3 ? QStringLiteral("Set") : GridTestOwner::DefaultText(dataRow, col);
        };
        owner.colour = [this](GRID_DISPINFO& info) {
            if (greyRows.contains(info.dataRow))
                info.state |= GVIS_READONLY;
        };
        owner.reply = [this](GRID_NOTIFY& notify) -> qint64 {
            if (notify.hdr.code == GRIDN_ENDEDIT && notify.column == 2)
                values[notify.dataRow] = notify.text1;
            if (onReport)
                onReport(notify);
            return 0;
        };
        grid->SetColumnItemData(2, 1);
        grid->SetColumnItemData(3, 1);
        grid->Refresh();
        QCoreApplication::processEvents();
    }

    // Every click reaches the cell, the first one too.
    void ClickAt(int row, int col, int dx = -1)
    {
        QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, At(row, col, dx), 600);
    }

    // Focus by a click at the cell's left edge, off the check box.
    void Focus(int row, int col)
    {
        QTest::mouseClick(View(), Qt::LeftButton, Qt::NoModifier, At(row, col, 1));
        owner.ResetCounts();
    }

    QMap<int, QString> values{{1, "0"}, {2, ""}, {3, "1"}, {4, "x"}};
    QList<int> greyRows;
    std::function<void(GRID_NOTIFY&)> onReport;
};

} // namespace

TEST_F(SpecialCellTest, ACheckCellTogglesByClickEnterAndSpaceAndReportsAnEndedEdit)
{
    ClickAt(1, 2);
    EXPECT_EQ(values.value(1), "1");
    // An empty value is unticked and becomes "1"; any other value becomes "0".
    ClickAt(2, 2);
    EXPECT_EQ(values.value(2), "1");
    ClickAt(4, 2);
    EXPECT_EQ(values.value(4), "0");

    const std::vector<GRID_NOTIFY> heard = owner.Heard(GRIDN_ENDEDIT);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].row, 1);
    EXPECT_EQ(heard[0].column, 2);
    EXPECT_EQ(heard[0].text1, "1");
    EXPECT_EQ(heard[0].text2, "1");

    Focus(3, 2);
    Key(Qt::Key_Space);
    EXPECT_EQ(values.value(3), "0");
    Key(Qt::Key_Return);
    EXPECT_EQ(values.value(3), "1");
    EXPECT_EQ(grid->GetCellAt(3, 2)->GetValue(), "1");
}

TEST_F(SpecialCellTest, ARefusedToggleShowsWhatTheOwnerKeeps)
{
    // The owner hears the toggle but stores nothing.
    owner.reply = [](GRID_NOTIFY&) -> qint64 { return 0; };
    ClickAt(1, 2);
    ASSERT_EQ(owner.Heard(GRIDN_ENDEDIT).size(), 1u);
    CGridCellBase* cell = grid->GetCellAt(1, 2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->GetValue(), "0");
}

TEST_F(SpecialCellTest, ACheckCellIgnoresClicksOutsideItsBoxAndRefusesWhenReadOnly)
{
    ClickAt(1, 2, 2);
    EXPECT_EQ(values.value(1), "0");

    greyRows = {1};
    grid->Refresh();
    ClickAt(1, 2);
    Focus(1, 2);
    Key(Qt::Key_Space);
    EXPECT_EQ(values.value(1), "0");
    EXPECT_TRUE(owner.Heard(GRIDN_ENDEDIT).empty());
}

TEST_F(SpecialCellTest, AButtonCellReportsItsClickUnlessGrey)
{
    ClickAt(2, 3);
    Key(Qt::Key_Space);
    Key(Qt::Key_Return);
    std::vector<GRID_NOTIFY> heard = owner.Heard(GRIDN_BUTTONCLICK);
    ASSERT_EQ(heard.size(), 3u) << ::testing::PrintToString(Calls(owner.notifications));
    EXPECT_EQ(heard[0].row, 2);
    EXPECT_EQ(heard[0].column, 3);
    EXPECT_EQ(heard[0].text1, "Set");
    // Never an in-place editor.
    EXPECT_EQ(grid->findChildren<QLineEdit*>().size(), 0);

    owner.ResetCounts();
    greyRows = {2};
    grid->Refresh();
    ClickAt(2, 3);
    Key(Qt::Key_Space);
    EXPECT_TRUE(owner.Heard(GRIDN_BUTTONCLICK).empty());
}

TEST_F(SpecialCellTest, TheOwnerMayRefillTheGridWhileItHearsAToggle)
{
    onReport = [this](GRID_NOTIFY& notify) {
        if (notify.hdr.code != GRIDN_ENDEDIT)
            return;
        grid->SetRowCount(3);
        grid->Refresh();
        for (int col = 1; col < 4; ++col)
            grid->GetCellAt(1, col);
    };
    Focus(2, 2);
    Key(Qt::Key_Space);
    EXPECT_EQ(values.value(2), "1");
    QCoreApplication::processEvents();
    ClickAt(1, 3);
    EXPECT_FALSE(owner.Heard(GRIDN_BUTTONCLICK).empty());
}

TEST(CGridSpecialCellsTest, CheckAndButtonCellsOnTheirOwn)
{
    CGridCellCheck check;
    EXPECT_EQ(check.GetValue(), "0");
    EXPECT_FALSE(check.IsChecked());
    check.SetValue("1");
    EXPECT_TRUE(check.IsChecked());
    EXPECT_EQ(check.GetText(), "");
    // No grid: nothing to report, no crash.
    check.OnClick(QPoint(20, 8));
    EXPECT_TRUE(check.OnKeyDown(VK_SPACE, 1, 0));
    EXPECT_FALSE(check.IsChecked());

    CGridCellButton button;
    EXPECT_FALSE(button.IsReadOnly());
    EXPECT_TRUE(button.Edit(1, 1, QRect(), QPoint(), 1, CGridEditKey::Key(VK_LBUTTON)));
    EXPECT_EQ(button.GetEditWnd(), nullptr);
    button.OnClick(QPoint());
}

TEST_F(SpecialCellTest, TicksAndButtonsAreDrawn)
{
    TestWait::Settle();
    const QImage image = grid->viewport()->grab().toImage();
    const QString folder = QDir::currentPath() + "/screenshots";
    QDir().mkpath(folder);
    grid->grab().save(folder + "/grid_check_and_button_cells.png");

    // The ticked box of row 3 and the cleared one of row 1 differ.
    const QRect ticked = CGridCellCheck().CheckBoxRect(QSize(60, 18));
    QRect row1, row3;
    ASSERT_TRUE(grid->GetCellRect(1, 2, &row1));
    ASSERT_TRUE(grid->GetCellRect(3, 2, &row3));
    EXPECT_NE(image.copy(ticked.translated(row1.topLeft())), image.copy(ticked.translated(row3.topLeft())));
}

// The box stands in the middle of its row, whole, for every row height a
// view uses (the default, a narrow one, a tall one).
TEST_F(SpecialCellTest, TheCheckBoxIsCentredInItsRowAndNeverCut)
{
    for (int height : {grid->GetRowHeight(1), 16, 19, 30}) {
        SCOPED_TRACE(height);
        grid->SetRowHeight(1, height, false);
        grid->Refresh();
        TestWait::Settle();
        QRect cell;
        ASSERT_TRUE(grid->GetCellRect(1, 2, &cell));
        const QRect box = CGridCellCheck().CheckBoxRect(cell.size()).translated(cell.topLeft());
        EXPECT_TRUE(cell.contains(box)) << box.top() << ".." << box.bottom() << " in " << cell.top() << ".."
                                        << cell.bottom();
        EXPECT_LE(std::abs((box.top() - cell.top()) - (cell.bottom() - box.bottom())), 1);
    }
    grid->SetRowHeight(1, 19, false);
    grid->Refresh();
    TestWait::Settle();
    const QString folder = QDir::currentPath() + "/screenshots";
    QDir().mkpath(folder);
    grid->grab().save(folder + "/grid_check_cells_centred.png");
}
