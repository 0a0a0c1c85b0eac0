#include "CUiMessage.h"
#include "GridInputFixture.h"
#include "ScopedSeam.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QVBoxLayout>

namespace
{

using Call = std::tuple<int, int, int>;

class GridKeys : public GridInputTest
{
protected:
    CCellID Focus() const { return grid->GetFocusCell(); }
    void FocusOn(int row, int col)
    {
        Click(row, col);
        owner.ResetCounts();
    }
    std::vector<CGridEditKey> EditKeys() const
    {
        std::vector<CGridEditKey> keys;
        for (const CEditRecordingCell::Start& start : CEditRecordingCell::Starts())
            keys.push_back(start.key);
        return keys;
    }
};

}  // namespace

TEST_F(GridKeys, ArrowsWalkTheBodyAndPassHiddenRowsAndColumns)
{
    Build(30, 6);
    grid->SetSharedRowHeight(false);
    grid->SetRowHeight(4, 0, false);
    grid->SetColumnWidth(3, 0, true, false);
    FocusOn(3, 2);

    Key(Qt::Key_Down);
    EXPECT_EQ(Focus(), CCellID(5, 2)) << "row 4 is hidden";
    Key(Qt::Key_Right);
    EXPECT_EQ(Focus(), CCellID(5, 4)) << "column 3 is hidden";
    Key(Qt::Key_Up);
    EXPECT_EQ(Focus(), CCellID(3, 4));
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_Up);
    EXPECT_EQ(Focus(), CCellID(1, 4)) << "never into the header";
    for (int i = 0; i < 6; ++i)
        Key(Qt::Key_Left);
    EXPECT_EQ(Focus(), CCellID(1, 1)) << "the title column is body; the number column is not";
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
}

TEST_F(GridKeys, AKeyThatMovesTheFocusSelectsAndNotifies)
{
    Build(30, 6);
    FocusOn(3, 2);
    Key(Qt::Key_Down);
    EXPECT_EQ(Calls(owner.notifications), (std::vector<Call>{{GRIDN_SELCHANGING, 4, 2}, {GRIDN_SELCHANGED, 4, 2}}));
    EXPECT_EQ(SelectedRows(), QList<uint>({4}));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);

    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRows(), QList<uint>({4, 5, 6})) << "Shift extends from the anchor";
    Key(Qt::Key_Down);
    EXPECT_EQ(SelectedRows(), QList<uint>({7}));

    // A key that cannot move sends nothing.
    owner.ResetCounts();
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    owner.ResetCounts();
    Key(Qt::Key_Left);
    EXPECT_TRUE(owner.notifications.empty());
}

TEST_F(GridKeys, TabWrapsBetweenRowsAndNeverLeavesTheGrid)
{
    Build(5, 4);
    auto* other = new QLineEdit(&owner);
    other->setGeometry(0, 280, 100, 20);
    other->show();
    grid->SetColumnWidth(3, 0, true, false);  // the last column hidden
    FocusOn(2, 2);

    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), CCellID(3, 1)) << "past the last shown column to the next row";
    EXPECT_EQ(QApplication::focusWidget(), grid);
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), CCellID(2, 2));
    Key(Qt::Key_Backtab);
    EXPECT_EQ(Focus(), CCellID(2, 1));
    EXPECT_EQ(QApplication::focusWidget(), grid);

    // The last cell of the last row: Tab stays.
    grid->MoveFocusCell(4, 2);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Focus(), CCellID(4, 2));
    EXPECT_EQ(QApplication::focusWidget(), grid);
    // The first body cell: Shift+Tab stays too.
    grid->MoveFocusCell(1, 1);
    Key(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(Focus(), CCellID(1, 1));

    // Ctrl+Tab is the window's.
    grid->MoveFocusCell(2, 1);
    Key(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Focus(), CCellID(2, 1));
    EXPECT_TRUE(CEditRecordingCell::Starts().empty()) << "a Tab character starts no edit";
}

TEST_F(GridKeys, PageHomeAndEndReachTheEdges)
{
    Build(200, 12, QSize(400, 300));
    FocusOn(1, 2);
    const int perPage = grid->GetVisibleNonFixedCellRange().maxRow - 1;

    Key(Qt::Key_PageDown);
    const int top = grid->GetTopLeftNonFixedCell().row;
    EXPECT_GT(top, 1);
    EXPECT_EQ(Focus(), CCellID(1 + (top - 1), 2)) << "by as many rows as the view moved";
    EXPECT_GE(top - 1, perPage - 1);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Focus(), CCellID(1, 2));
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Focus(), CCellID(1, 2)) << "at the top";

    Key(Qt::Key_End);
    EXPECT_EQ(Focus(), CCellID(1, 11));
    EXPECT_EQ(grid->horizontalScrollBar()->value(), grid->horizontalScrollBar()->maximum());
    Key(Qt::Key_Home);
    EXPECT_EQ(Focus(), CCellID(1, 1));
    EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);

    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Focus(), CCellID(199, 11));
    EXPECT_TRUE(grid->IsCellVisible(199, 11));
    QRect last;
    ASSERT_TRUE(grid->GetCellRect(199, 11, &last));
    EXPECT_LE(last.bottom(), grid->viewport()->height() - 1);
    EXPECT_LE(last.right(), grid->viewport()->width() - 1);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Focus(), CCellID(199, 11)) << "the view cannot move: the last row";
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(Focus(), CCellID(1, 1));
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);

    // An arrow off the page scrolls the focus row into view.
    for (int i = 0; i < 40; ++i)
        Key(Qt::Key_Down);
    EXPECT_EQ(Focus(), CCellID(41, 1));
    ASSERT_TRUE(grid->GetCellRect(41, 1, &last));
    EXPECT_LE(last.bottom(), grid->viewport()->height() - 1);
    EXPECT_GE(last.top(), 30);
}

TEST_F(GridKeys, F4AndF5AreCommandsForTheMainWindowOnly)
{
    Build(20, 4);
    FocusOn(3, 2);
    QSignalSpy commands(grid, &CGridCtrl::MainWindowCommand);
    Key(Qt::Key_F5);
    Key(Qt::Key_F4);
    ASSERT_EQ(commands.count(), 2);
    EXPECT_EQ(commands.at(0).at(0).toInt(), 32850);
    EXPECT_EQ(commands.at(1).at(0).toInt(), 32851);
    EXPECT_EQ(Focus(), CCellID(3, 2));
    EXPECT_TRUE(owner.notifications.empty());
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
    Key(Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(commands.count(), 2) << "only without Shift and Ctrl";
}

TEST_F(GridKeys, AFocusedGridKeepsSelectAllAndTheClipboardKeys)
{
    Build(20, 4);
    int windowShortcuts = 0;
    for (const QKeySequence& sequence :
         {QKeySequence(Qt::CTRL | Qt::Key_A), QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_V),
          QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete),
          QKeySequence(Qt::SHIFT | Qt::Key_Insert), QKeySequence(Qt::CTRL | Qt::Key_I)}) {
        auto* action = new QAction(&owner);
        action->setShortcut(sequence);
        QObject::connect(action, &QAction::triggered, [&windowShortcuts]() { ++windowShortcuts; });
        owner.addAction(action);
    }
    FocusOn(3, 2);

    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(windowShortcuts, 0);
    EXPECT_EQ(grid->GetSelectedCount(), 19 * 3) << "every body cell";
    EXPECT_EQ(Calls(owner.notifications), (std::vector<Call>{{GRIDN_SELCHANGING, 3, 2}, {GRIDN_SELCHANGED, 3, 2}}));

    // Copying cells of many rows is refused with a box.
    std::vector<QString> boxes;
    ScopedSeam presenter(CUiMessage::PresenterSeam(), [&boxes](const CUiMessage::Request& request) {
        boxes.push_back(request.text);
        return QMessageBox::Ok;
    });
    for (int key : {Qt::Key_C, Qt::Key_V, Qt::Key_X})
        Key(key, Qt::ControlModifier);
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(windowShortcuts, 0);
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Error")}) << "Ctrl+C reached the grid";
    EXPECT_TRUE(CEditRecordingCell::Starts().empty()) << "Shift+Delete is cut, never the Delete that empties a cell";

    Key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(windowShortcuts, 1) << "other shortcuts still reach the window";
}

TEST_F(GridKeys, TypedTextAndKeysStartEditsKeptApart)
{
    Build(20, 4);
    FocusOn(3, 2);
    QTest::keyClick(grid, '.');
    QTest::keyClick(grid, '!');
    QTest::keyClick(grid, 'a');
    Key(Qt::Key_Return);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Space);
    Key(Qt::Key_Delete);
    Key(Qt::Key_F2);
    EXPECT_EQ(EditKeys(),
              (std::vector<CGridEditKey>{CGridEditKey::Char(QStringLiteral(".")), CGridEditKey::Char(QStringLiteral("!")),
                                         CGridEditKey::Char(QStringLiteral("a")), CGridEditKey::Char(QStringLiteral("\r")),
                                         CGridEditKey::Char(QStringLiteral("\b")), CGridEditKey::Char(QStringLiteral(" ")),
                                         CGridEditKey::Key(VK_DELETE), CGridEditKey::Key(VK_LBUTTON)}));
    for (const CEditRecordingCell::Start& start : CEditRecordingCell::Starts()) {
        EXPECT_EQ(std::make_tuple(start.row, start.col, start.id), std::make_tuple(3, 2, 8u));
        EXPECT_EQ(start.point, QPoint(-1, -1));
    }
    EXPECT_EQ(owner.Heard(GRIDN_BEGINEDIT).size(), 8u);

    // Escape, Ctrl and Alt keys start nothing.
    CEditRecordingCell::Starts().clear();
    Key(Qt::Key_Escape);
    Key(Qt::Key_E, Qt::ControlModifier);
    Key(Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());

    // Without a focus cell a key has nowhere to go.
    grid->MoveFocusCell(-1, -1);
    QTest::keyClick(grid, 'x');
    Key(Qt::Key_Down);
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
    EXPECT_EQ(Focus(), CCellID());

    // The owner may refuse an edit.
    grid->MoveFocusCell(3, 2);
    owner.reply = [](GRID_NOTIFY& notify) { return notify.hdr.code == GRIDN_BEGINEDIT ? -1 : 0; };
    QTest::keyClick(grid, 'x');
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
}

TEST_F(GridKeys, InputMethodTextStartsAnEdit)
{
    Build(20, 4);
    FocusOn(3, 2);
    QInputMethodEvent event;
    event.setCommitString(QStringLiteral("é"));
    QApplication::sendEvent(grid, &event);
    EXPECT_EQ(EditKeys(), (std::vector<CGridEditKey>{CGridEditKey::Char(QStringLiteral("é"))}));
}
