#include "GridInputFixture.h"

#include <QVBoxLayout>

#include <map>

namespace
{

// Stand-ins with the names of the cells that change by clicks: the grid
// knows them by class, exactly.
class CGridCellCheck : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellCheck)
};
IMPLEMENT_GRIDCELL(CGridCellCheck, CGridCell)

class CGridCellButton : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellButton)
};
IMPLEMENT_GRIDCELL(CGridCellButton, CGridCell)

class CDerivedCheck : public CGridCellCheck
{
    DECLARE_GRIDCELL(CDerivedCheck)
};
IMPLEMENT_GRIDCELL(CDerivedCheck, CGridCellCheck)

// An owner that keeps its cells' values and stores what an edit brings,
// unless told otherwise.
class StoringOwner : public GridTestOwner
{
public:
    StoringOwner()
    {
        text = [this](int dataRow, int col) {
            const auto it = stored.find({dataRow, col});
            return it == stored.end() ? DefaultText(dataRow, col) : it->second;
        };
        reply = [this](GRID_NOTIFY& notify) -> qint64 {
            if (notify.hdr.code == GRIDN_ENDEDIT) {
                if (onEnd)
                    onEnd();
                if (!store)
                    return endResult;
                stored[{notify.dataRow, notify.column}] = notify.text1;
            }
            if (notify.hdr.code == GRIDN_BEGINEDIT)
                return beginResult;
            return notify.hdr.code == GRIDN_ENDEDIT ? endResult : 0;
        };
    }
    std::map<std::pair<int, int>, QString> stored;
    bool store = true;
    qint64 beginResult = 0;
    qint64 endResult = 0;
    std::function<void()> onEnd;
};

class GridEditing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid = MakeViewGrid(owner, 30, 5);
        grid->SetEditable(true);
        for (int col = 1; col < 5; ++col)
            grid->SetColumnCellType(col, &CEditRecordingCell::GetThisClass());
        owner.show();
        QCoreApplication::processEvents();
        owner.ResetCounts();
        CEditRecordingCell::Starts().clear();
    }
    void TearDown() override { CEditRecordingCell::Starts().clear(); }

    StoringOwner owner;
    CGridCtrl* grid = nullptr;
};

}  // namespace

TEST_F(GridEditing, NotificationsGoToTheOwnerElseTheNearestReceivingParent)
{
    EXPECT_EQ(grid->SendMessageToParent(3, 2, NM_CLICK), 0);
    ASSERT_EQ(owner.notifications.size(), 1u) << "the parent hears it";

    // Inside a plain container the receiving view further up still hears it.
    QWidget container(&owner);
    grid->setParent(&container);
    owner.ResetCounts();
    grid->SendMessageToParent(3, 2, NM_CLICK);
    EXPECT_EQ(owner.notifications.size(), 1u);

    // An owner wins over the parent.
    GridTestOwner other;
    other.reply = [](GRID_NOTIFY&) { return 7; };
    grid->SetOwner(&other);
    owner.ResetCounts();
    EXPECT_EQ(grid->SendMessageToParent(3, 2, NM_DBLCLK, QStringLiteral("a"), QStringLiteral("b")), 7);
    EXPECT_TRUE(owner.notifications.empty());
    ASSERT_EQ(other.notifications.size(), 1u);
    const GRID_NOTIFY heard = other.notifications[0];
    EXPECT_EQ(std::make_tuple(heard.hdr.code, heard.row, heard.column, heard.dataRow, heard.text1, heard.text2),
              std::make_tuple(int(NM_DBLCLK), 3, 2, 3, QStringLiteral("a"), QStringLiteral("b")));
    EXPECT_EQ(heard.hdr.idFrom, grid->GetDlgCtrlID());

    // Nobody to hear it: 0.
    grid->SetOwner(nullptr);
    QWidget lonely;
    grid->setParent(&lonely);
    EXPECT_EQ(grid->SendMessageToParent(3, 2, NM_CLICK), 0);
    grid->setParent(&owner);
}

TEST_F(GridEditing, ARowTheOrderCannotTranslateIsNotReported)
{
    ASSERT_TRUE(grid->SortByColumn(2, 2));
    owner.ResetCounts();
    EXPECT_EQ(grid->SendMessageToParent(1, 2, NM_CLICK), 0);
    EXPECT_EQ(grid->SendMessageToParent(0, 2, NM_DBLCLK), 0);
    EXPECT_EQ(grid->SendMessageToParent(30, 2, NM_CLICK), 1) << "beyond the order";
    ASSERT_EQ(owner.notifications.size(), 2u);
    EXPECT_EQ(owner.notifications[0].dataRow, 9) << "\"r9c2\" is the greatest text";
    EXPECT_EQ(owner.notifications[1].dataRow, 0);
}

TEST_F(GridEditing, AnEndedEditShowsWhatTheOwnerKept)
{
    // Unchanged text: nothing to tell.
    grid->FinishCellEdit(3, 2, GridTestOwner::DefaultText(3, 2), QString());
    EXPECT_TRUE(owner.Heard(GRIDN_ENDEDIT).empty());

    // A new text goes to the owner in both texts and is stored.
    grid->FinishCellEdit(3, 2, QStringLiteral("new"), QStringLiteral("new"));
    ASSERT_EQ(owner.Heard(GRIDN_ENDEDIT).size(), 1u);
    const GRID_NOTIFY end = owner.Heard(GRIDN_ENDEDIT)[0];
    EXPECT_EQ(std::make_tuple(end.row, end.column, end.text1, end.text2),
              std::make_tuple(3, 2, QStringLiteral("new"), QStringLiteral("new")));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("new"));
    EXPECT_TRUE(grid->GetModified());

    // Refused: the old text stays.
    owner.store = false;
    owner.endResult = -1;
    grid->FinishCellEdit(3, 2, QStringLiteral("refused"), QStringLiteral("refused"));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("new"));

    // Accepted without being stored (an hour of 25, say): the grid asks
    // again and shows what the owner holds.
    owner.endResult = 0;
    grid->FinishCellEdit(3, 2, QStringLiteral("25"), QStringLiteral("25"));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("new"));
    owner.stored[{3, 2}] = QStringLiteral("23");
    grid->FinishCellEdit(3, 2, QStringLiteral("24"), QStringLiteral("24"));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("23")) << "the owner changed what it stored";
}

TEST_F(GridEditing, EditsStartOnlyWhereTheOwnerAndTheCellAllow)
{
    grid->BeginCellEdit(3, 2, QPoint(-1, -1), CGridEditKey::Char(QStringLiteral("x")));
    ASSERT_EQ(CEditRecordingCell::Starts().size(), 1u);
    EXPECT_EQ(owner.Heard(GRIDN_BEGINEDIT).size(), 1u);
    CEditRecordingCell::Starts().clear();

    owner.beginResult = -1;
    grid->BeginCellEdit(3, 2, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
    owner.beginResult = 0;

    // The owner's read-only look, asked for with the colours.
    grid->SetColumnItemData(3, 1);
    owner.colour = [](GRID_DISPINFO& info) { info.state |= GVIS_READONLY; };
    grid->Refresh();
    EXPECT_FALSE(grid->IsCellEditable(3, 3));
    EXPECT_TRUE(grid->IsCellEditable(3, 2));
    grid->BeginCellEdit(3, 3, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());

    // Cells that change by clicks, exactly those classes.
    auto typed = [this](const CGridCellClass& cellClass) {
        grid->SetColumnCellType(4, &cellClass);
        grid->Refresh();
        return grid->IsCellEditable(3, 4);
    };
    EXPECT_FALSE(typed(CGridCellCheck::GetThisClass()));
    EXPECT_FALSE(typed(CGridCellButton::GetThisClass()));
    EXPECT_TRUE(typed(CDerivedCheck::GetThisClass()));

    grid->SetEditable(false);
    EXPECT_FALSE(grid->IsCellEditable(3, 2));
    EXPECT_FALSE(grid->IsCellEditable(99, 2));
}

TEST_F(GridEditing, AnEditEndedByTabOrAnArrowMovesOnToTheNextCell)
{
    grid->MoveFocusCell(3, 2);
    grid->EndInPlaceEdit(3, 2, QStringLiteral("typed"), CGridEditKey::Key(VK_TAB));
    EXPECT_EQ(owner.stored[std::make_pair(3, 2)], QStringLiteral("typed"));
    EXPECT_TRUE(CEditRecordingCell::Starts().empty()) << "not while the editor is going";
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));
    ASSERT_EQ(CEditRecordingCell::Starts().size(), 1u);
    EXPECT_EQ(CEditRecordingCell::Starts()[0].key, CGridEditKey::Key(VK_TAB));
    EXPECT_EQ(CEditRecordingCell::Starts()[0].col, 3);

    CEditRecordingCell::Starts().clear();
    grid->EndInPlaceEdit(3, 3, QStringLiteral("down"), CGridEditKey::Key(VK_DOWN));
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(4, 3));
    ASSERT_EQ(CEditRecordingCell::Starts().size(), 1u);

    // Enter and Escape end the edit where it is.
    CEditRecordingCell::Starts().clear();
    grid->EndInPlaceEdit(4, 3, QStringLiteral("x"), CGridEditKey::Key(VK_RETURN));
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(4, 3));
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
}

TEST_F(GridEditing, ValuesTheGridChangesItselfAreOfferedLikeEdits)
{
    grid->SetCellValueByEdit(3, 2, GridTestOwner::DefaultText(3, 2));
    EXPECT_EQ(owner.Codes(), (std::vector<int>{GRIDN_BEGINEDIT})) << "an equal value changes nothing";

    owner.ResetCounts();
    grid->SetCellValueByEdit(3, 2, QStringLiteral("pasted"));
    EXPECT_EQ(owner.Codes(), (std::vector<int>{GRIDN_BEGINEDIT, GRIDN_ENDEDIT}));
    EXPECT_EQ(owner.Heard(GRIDN_ENDEDIT)[0].text2, QStringLiteral("pasted"));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("pasted"));

    owner.ResetCounts();
    owner.beginResult = -1;
    grid->SetCellValueByEdit(3, 2, QStringLiteral("refused"));
    EXPECT_EQ(owner.Codes(), (std::vector<int>{GRIDN_BEGINEDIT}));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("pasted"));
}

TEST_F(GridEditing, AnOwnerMayRebuildTheGridWhileItAnswers)
{
    // What the record views do when a stored edit changes their rows.
    owner.onEnd = [this]() {
        grid->SetRowCount(40);
        grid->Refresh();
        grid->SelectRows(nullptr);
        grid->SetColumnCount(6);
        for (int col = 0; col < 6; ++col)
            grid->GetCell(0, col);
        grid->GetItemText(3, 2);
    };
    grid->MoveFocusCell(3, 2);
    grid->EndInPlaceEdit(3, 2, QStringLiteral("changed"), CGridEditKey::Key(VK_TAB));
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetRowCount(), 40);

    // A click whose notifications rebuild the grid.
    owner.onEnd = nullptr;
    owner.reply = [this](GRID_NOTIFY& notify) -> qint64 {
        if (notify.hdr.code == NM_CLICK || notify.hdr.code == GRIDN_SELCHANGED) {
            grid->SetRowCount(35);
            grid->SetColumnCount(5);
            grid->Refresh();
        }
        return 0;
    };
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(3, 2, &rect));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    QCoreApplication::processEvents();
    grid->repaint();
    EXPECT_EQ(grid->GetRowCount(), 35);
}
