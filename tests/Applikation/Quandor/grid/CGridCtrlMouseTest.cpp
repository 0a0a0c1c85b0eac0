#include "CDialogSetup.h"
#include "GridInputFixture.h"
#include "TestEnvironment.h"

#include <QContextMenuEvent>
#include <QSignalSpy>

namespace
{

using Call = std::tuple<int, int, int>;

class GridMouse : public GridInputTest
{
protected:
    std::vector<Call> CallsSoFar() const { return Calls(owner.notifications); }
};

// Counts the context-menu events a widget receives.
class ContextMenuCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ContextMenu)
            ++count;
        return false;
    }
    int count = 0;
};

}  // namespace

TEST_F(GridMouse, ClickSelectsTheRowAndNotifiesInOrder)
{
    Build(50, 6);
    QSignalSpy commands(grid, &CGridCtrl::ControlCommand);
    Click(3, 2);
    EXPECT_EQ(CallsSoFar(), (std::vector<Call>{{GRIDN_SELCHANGING, 3, 2}, {GRIDN_SELCHANGED, 3, 2}, {NM_CLICK, 3, 2}}));
    for (const GRID_NOTIFY& notify : owner.notifications) {
        EXPECT_EQ(notify.hdr.hwndFrom, grid);
        EXPECT_EQ(notify.hdr.idFrom, 1005u);
        EXPECT_EQ(notify.dataRow, 3);
        EXPECT_TRUE(notify.text1.isEmpty() && notify.text2.isEmpty());
    }
    EXPECT_EQ(SelectedRows(), QList<uint>({3}));
    for (int col = 1; col < 6; ++col)
        EXPECT_TRUE(grid->GetItemState(3, col) & GVIS_SELECTED) << col;
    EXPECT_FALSE(grid->GetItemState(3, 0) & GVIS_SELECTED) << "the number column is never selected";
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 2));
    EXPECT_TRUE(grid->GetItemState(3, 2) & GVIS_FOCUSED);
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
    EXPECT_FALSE(grid->IsAutoScrolling());

    // The command is posted, not sent.
    EXPECT_EQ(commands.count(), 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toUInt(), 1005u);
}

TEST_F(GridMouse, HeaderPressSelectsNothingAndRemovesTheFocus)
{
    Build(50, 6);
    Click(3, 2);
    owner.ResetCounts();
    Click(0, 3);
    EXPECT_EQ(CallsSoFar(), (std::vector<Call>{{GRIDN_SELCHANGING, 0, 3}, {GRIDN_SELCHANGED, -1, -1}, {NM_CLICK, 0, 3}}));
    EXPECT_EQ(grid->GetFocusCell(), CCellID());
    EXPECT_EQ(SelectedRows(), QList<uint>({3})) << "a header press changes no selection";
}

TEST_F(GridMouse, ShiftAndCtrlClicksExtendAddAndRemoveRows)
{
    Build(50, 6);
    Click(3, 2);
    Click(6, 4, Qt::ShiftModifier);
    EXPECT_EQ(SelectedRows(), QList<uint>({3, 4, 5, 6}));
    EXPECT_EQ(grid->GetSelectionAnchor(), CCellID(3, 2)) << "Shift keeps the anchor";
    EXPECT_EQ(grid->GetFocusCell(), CCellID(6, 4));

    Click(9, 2, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), QList<uint>({3, 4, 5, 6, 9}));

    // Ctrl on a selected row takes it out, without starting a drag.
    owner.ResetCounts();
    QTest::mousePress(View(), Qt::LeftButton, Qt::ControlModifier, At(4, 3));
    EXPECT_EQ(SelectedRows(), QList<uint>({3, 5, 6, 9}));
    EXPECT_FALSE(grid->IsAutoScrolling());
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
    EXPECT_TRUE(owner.Heard(GRIDN_SELCHANGING).empty());
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::ControlModifier, At(4, 3));
    EXPECT_EQ(CallsSoFar(), (std::vector<Call>{{GRIDN_SELCHANGED, 4, 3}, {NM_CLICK, 4, 3}}));
    EXPECT_EQ(SelectedRows(), QList<uint>({3, 5, 6, 9}));
}

TEST_F(GridMouse, CtrlDragAddsToWhatWasSelectedBefore)
{
    Build(50, 6);
    Click(2, 2);
    QTest::mousePress(View(), Qt::LeftButton, Qt::ControlModifier, At(5, 2));
    QTest::mouseMove(View(), At(6, 2));
    QTest::mouseMove(View(), At(7, 3));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::ControlModifier, At(7, 3));
    EXPECT_EQ(SelectedRows(), QList<uint>({2, 5, 6, 7}));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(7, 3));

    // A plain drag starts afresh.
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(10, 2));
    QTest::mouseMove(View(), At(8, 2));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(8, 2));
    EXPECT_EQ(SelectedRows(), QList<uint>({8, 9, 10}));

    // A cleared selection is not brought back by the next Ctrl+press.
    grid->ClearSelection();
    Click(12, 2, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), QList<uint>({12}));
}

TEST_F(GridMouse, ADragOntoTheEmptyAreaKeepsTheFocusOnACell)
{
    Build(5, 3, QSize(400, 300));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(2, 1));
    QTest::mouseMove(View(), At(3, 2));
    QTest::mouseMove(View(), QPoint(350, 250));  // right of and below every cell
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 2));
    EXPECT_EQ(SelectedRows(), QList<uint>({2, 3}));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(350, 250));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 2));
}

TEST_F(GridMouse, NormalModeSelectsRectanglesColumnsAndEverything)
{
    Build(30, 6, QSize(400, 300), false);
    grid->SetFixedRowSelection(true);
    grid->SetFixedColumnSelection(true);
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(2, 2));
    QTest::mouseMove(View(), At(4, 3));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(4, 3));
    EXPECT_EQ(grid->GetSelectedCount(), 6);
    EXPECT_TRUE(grid->IsCellSelected(3, 3));
    EXPECT_FALSE(grid->IsCellSelected(3, 4));

    Click(0, 4);  // a header column
    EXPECT_EQ(grid->GetSelectedCount(), 29);
    EXPECT_TRUE(grid->IsCellSelected(29, 4));
    Click(5, 0);  // a header row
    EXPECT_EQ(grid->GetSelectedCount(), 5);
    Click(0, 0);  // the corner
    EXPECT_EQ(grid->GetSelectedCount(), 29 * 5);
}

TEST_F(GridMouse, ASecondPressOnTheFocusCellEditsAtTheRelease)
{
    Build(50, 6);
    Click(3, 2);
    owner.ResetCounts();
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2, 12));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_PREPARE_EDIT);
    EXPECT_TRUE(owner.notifications.empty()) << "no selection starts";
    EXPECT_TRUE(CEditRecordingCell::Starts().empty()) << "the edit waits for the release";
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2, 12));
    EXPECT_EQ(CallsSoFar(), (std::vector<Call>{{GRIDN_BEGINEDIT, 3, 2}}));
    ASSERT_EQ(CEditRecordingCell::Starts().size(), 1u);
    const CEditRecordingCell::Start start = CEditRecordingCell::Starts().front();
    EXPECT_EQ(std::make_tuple(start.row, start.col, start.point.x(), start.id), std::make_tuple(3, 2, 12, 8u));
    EXPECT_EQ(start.key, CGridEditKey::Key(VK_LBUTTON));

    // Pressed, moved and released: the selection and the focus go.
    CEditRecordingCell::Starts().clear();
    owner.ResetCounts();
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2));
    QTest::mouseMove(View(), At(3, 2) + QPoint(4, 0));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_PREPARE_DRAG);
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2) + QPoint(4, 0));
    EXPECT_EQ(CallsSoFar(), (std::vector<Call>{{NM_CLICK, 3, 2}, {GRIDN_SELCHANGING, 3, 2}, {GRIDN_SELCHANGED, -1, -1}}));
    EXPECT_TRUE(SelectedRows().isEmpty());
    EXPECT_EQ(grid->GetFocusCell(), CCellID());
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());

    // A grid that may not be edited selects again instead.
    grid->SetEditable(false);
    Click(3, 2);
    Click(3, 2);
    EXPECT_TRUE(CEditRecordingCell::Starts().empty());
    EXPECT_EQ(SelectedRows(), QList<uint>({3}));
}

TEST_F(GridMouse, APressOutsideTheCellsClearsTheFocusAndCapturesNothing)
{
    Build(4, 3);
    Click(2, 1);
    owner.ResetCounts();
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 250));
    EXPECT_EQ(grid->GetFocusCell(), CCellID());
    EXPECT_FALSE(grid->IsAutoScrolling());
    EXPECT_TRUE(owner.notifications.empty());
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 250));
    EXPECT_EQ(CallsSoFar(), (std::vector<Call>{{GRIDN_SELCHANGED, -1, -1}, {NM_CLICK, -1, -1}}));
}

TEST_F(GridMouse, DraggingDividersSizesColumnsAndRowsAndStoresThem)
{
    const QString folder = TestEnvironment::NewFolder(QStringLiteral("layout"));
    CDialogSetup store(folder);
    ASSERT_TRUE(store.OpenFile(QStringLiteral("DialogSetup.xml")));
    Build(20, 6, QSize(400, 300), true, &store);

    // Column 2 spans x 70..129; its divider is at 130, in the header row.
    QTest::mouseMove(View(), QPoint(129, 15));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_OVER_COL_DIVIDE);
    EXPECT_EQ(View()->cursor().shape(), Qt::SizeHorCursor);
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(129, 15));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_SIZING_COL);
    QTest::mouseMove(View(), QPoint(170, 40));
    // The sizing line is drawn inverted over the whole height.
    const QImage during = View()->grab().toImage();
    if (const QByteArray folder = qgetenv("QUANDOR_SCREENSHOTS"); !folder.isEmpty())
        during.save(QString::fromLocal8Bit(folder) + QStringLiteral("/grid-column-sizing.png"));
    EXPECT_NE(during.pixelColor(170, 100), grid->grab().toImage().pixelColor(0, 0));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(170, 15));
    EXPECT_EQ(grid->GetColumnWidth(2), 100);
    EXPECT_EQ(store.GetColumnWidth(QStringLiteral("05"), QStringLiteral("0"), QStringLiteral("2")), 100);
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_OVER_COL_DIVIDE) << "the pointer is still on the divider";
    EXPECT_TRUE(owner.Heard(GRIDN_SELCHANGING).empty()) << "sizing selects nothing";

    // Never narrower than one pixel.
    QTest::mouseMove(View(), QPoint(169, 15));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(169, 15));
    QTest::mouseMove(View(), QPoint(-50, 15));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(-50, 15));
    EXPECT_EQ(grid->GetColumnWidth(2), 1);

    // The left edge of a cell sizes the column left of it.
    grid->SetColumnWidth(2, 60, true, false);
    QTest::mouseMove(View(), QPoint(71, 15));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(71, 15));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(81, 15));
    EXPECT_EQ(grid->GetColumnWidth(1), 71);

    // The header's lower edge in the number column sizes the header.
    QTest::mouseMove(View(), QPoint(5, 28));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_OVER_ROW_DIVIDE);
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 28));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_SIZING_ROW);
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 44));
    EXPECT_EQ(grid->GetRowHeight(0), 44);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("05"), QStringLiteral("0"), true), 44);

    // A data row: every data row shares the height; it may reach 0.
    const int rowBottom = 44 + 2 * 18 - 1;  // row 2
    QTest::mouseMove(View(), QPoint(5, rowBottom));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, rowBottom));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, rowBottom + 7));
    EXPECT_EQ(grid->GetRowHeight(2), 24);  // from its top at 62
    EXPECT_EQ(grid->GetRowHeight(19), 24);
    EXPECT_EQ(store.GetRowHeight(QStringLiteral("05"), QStringLiteral("0"), false), 24);
    const int row1Bottom = 44 + 24 - 1;
    QTest::mouseMove(View(), QPoint(5, row1Bottom));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, row1Bottom));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 0));
    EXPECT_EQ(grid->GetRowHeight(1), 0);

    // In the body an edge is just part of a cell.
    grid->SetRowHeight(1, 18, false);
    QTest::mouseMove(View(), QPoint(129, 60));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
    delete grid;  // before the store it writes to
    grid = nullptr;
}

TEST_F(GridMouse, DoubleClicksAutoSizeOnDividersAndReportOnCells)
{
    Build(20, 6);
    owner.text = [](int dataRow, int col) {
        return col == 3 && dataRow == 4 ? QStringLiteral("a rather long text for a narrow column") : QString();
    };
    grid->Refresh();
    QWindow* window = owner.windowHandle();
    ASSERT_NE(window, nullptr);
    auto inWindow = [&](QPoint point) { return View()->mapTo(&owner, point); };

    // The divider right of column 3 (x 130..189).
    QTest::mouseMove(window, inWindow(QPoint(189, 15)));
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, inWindow(QPoint(189, 15)));
    QCoreApplication::processEvents();
    EXPECT_GT(grid->GetColumnWidth(3), 150) << "fitted to the long text";
    EXPECT_TRUE(owner.Heard(NM_DBLCLK).empty()) << "a divider is not a header";

    owner.ResetCounts();
    QTest::mouseMove(window, inWindow(At(0, 2)));
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, inWindow(At(0, 2)));
    QCoreApplication::processEvents();
    const std::vector<GRID_NOTIFY> doubles = owner.Heard(NM_DBLCLK);
    ASSERT_EQ(doubles.size(), 1u);
    EXPECT_EQ(std::make_pair(doubles[0].row, doubles[0].column), std::make_pair(0, 2));
    EXPECT_TRUE(CEditRecordingCell::Starts().empty()) << "a header never edits";

    // On a body cell's text it opens the editor, then reports.
    owner.ResetCounts();
    QTest::mouseMove(window, inWindow(At(5, 2)));
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, inWindow(At(5, 2)));
    QCoreApplication::processEvents();
    ASSERT_FALSE(CEditRecordingCell::Starts().empty());
    EXPECT_EQ(CEditRecordingCell::Starts().front().row, 5);
    ASSERT_EQ(owner.Heard(NM_DBLCLK).size(), 1u);
    EXPECT_EQ(owner.Heard(NM_DBLCLK)[0].row, 5);
}

TEST_F(GridMouse, RightClickMovesTheFocusAndReportsThePoint)
{
    Build(50, 6);
    ContextMenuCounter menus;
    owner.installEventFilter(&menus);
    Click(3, 2);
    owner.ResetCounts();

    QWindow* window = owner.windowHandle();
    const QPoint point = At(5, 3);
    QTest::mouseClick(window, Qt::RightButton, Qt::NoModifier, View()->mapTo(&owner, point));
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(5, 3));
    EXPECT_EQ(SelectedRows(), QList<uint>({3})) << "a right click leaves the selection";
    const std::vector<GRID_NOTIFY> clicks = owner.Heard(NM_RCLICK);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(std::make_tuple(clicks[0].row, clicks[0].column, clicks[0].dataRow), std::make_tuple(5, 3, 5));
    EXPECT_EQ(clicks[0].point, point);
    EXPECT_EQ(clicks[0].screenPoint, View()->mapToGlobal(point)) << "where the view's context menu opens";
    EXPECT_EQ(menus.count, 0) << "the view gets NM_RCLICK, never a context-menu event";

    // A header cell gives the focus to the first body row.
    owner.ResetCounts();
    QTest::mouseClick(View(), Qt::RightButton, Qt::NoModifier, At(0, 4));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 4));
    ASSERT_EQ(owner.Heard(NM_RCLICK).size(), 1u);
    EXPECT_EQ(owner.Heard(NM_RCLICK)[0].row, 0);

    // Outside the cells (right of the last column): -1 and -1, with the
    // point, and the focus stays.
    owner.ResetCounts();
    QTest::mouseClick(View(), Qt::RightButton, Qt::NoModifier, QPoint(350, 100));
    ASSERT_EQ(owner.Heard(NM_RCLICK).size(), 1u);
    const GRID_NOTIFY outside = owner.Heard(NM_RCLICK)[0];
    EXPECT_EQ(std::make_tuple(outside.row, outside.column), std::make_tuple(-1, -1));
    EXPECT_EQ(outside.point, QPoint(350, 100));
    EXPECT_EQ(outside.screenPoint, View()->mapToGlobal(QPoint(350, 100)));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(1, 4));
}

TEST_F(GridMouse, DraggingBelowTheViewScrollsAndExtendsRowByRow)
{
    Build(200, 6, QSize(400, 300));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2));
    EXPECT_TRUE(grid->IsAutoScrolling());
    const QPoint below(100, View()->height() + 30);
    QTest::mouseMove(View(), below);
    const int firstFocus = grid->GetFocusCell().row;
    for (int tick = 0; tick < 30; ++tick)
        grid->OnAutoScrollTimer();
    EXPECT_EQ(firstFocus, 3) << "moves outside the view are left to the ticks";
    EXPECT_EQ(grid->GetFocusCell().row, firstFocus + 30);
    EXPECT_GT(grid->verticalScrollBar()->value(), 0);
    // From the anchor to the row under the pointer's place pulled into the
    // view: the focus row, or the part of a row shown below it.
    const QList<uint> selected = SelectedRows();
    ASSERT_FALSE(selected.isEmpty());
    EXPECT_EQ(selected.front(), 3u);
    EXPECT_GE(selected.back(), uint(firstFocus + 30));
    EXPECT_LE(selected.back(), uint(firstFocus + 31));
    EXPECT_EQ(uint(selected.size()), selected.back() - 3 + 1);
    QRect last;
    ASSERT_TRUE(grid->GetCellRect(firstFocus + 30, 2, &last));
    EXPECT_LE(last.bottom(), View()->height() - 1) << "the focus row stays in view";

    // Dragged back over the header, the focus goes to the first body row
    // and the next tick brings it into view.
    QTest::mouseMove(View(), QPoint(100, 5));
    EXPECT_EQ(grid->GetFocusCell().row, 1);
    grid->OnAutoScrollTimer();
    EXPECT_EQ(grid->verticalScrollBar()->value(), 0);

    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 5));
    EXPECT_FALSE(grid->IsAutoScrolling());
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
}

TEST_F(GridMouse, TheAutoScrollRunsOnItsTimerAndStopsWhenTheFocusGoes)
{
    Build(500, 4, QSize(300, 200));
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(2, 2));
    QTest::mouseMove(View(), QPoint(100, View()->height() + 40));
    // Ticks every 25 ms; a busy machine may take longer for a few.
    EXPECT_TRUE(QTest::qWaitFor([this]() { return grid->GetFocusCell().row > 4; }, 5000));
    EXPECT_GT(SelectedRows().size(), 2);

    // Another window taking the focus ends the drag.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(grid->IsAutoScrolling());
    const int row = grid->GetFocusCell().row;
    // A scroll that must not come has no event: the timer gets time to fire.
    QTest::qWait(100);
    EXPECT_EQ(grid->GetFocusCell().row, row);
}

TEST_F(GridMouse, NotificationsCarryTheDataRowOfASortedGrid)
{
    Build(6, 4);
    ASSERT_TRUE(grid->SortByColumn(2, 2));  // r6c2 .. r1c2: descending
    ASSERT_EQ(grid->GetRowOrder(), (std::vector<uint>{4, 3, 2, 1, 0}));
    owner.ResetCounts();
    Click(1, 2);
    ASSERT_EQ(owner.notifications.size(), 3u);
    for (const GRID_NOTIFY& notify : owner.notifications) {
        EXPECT_EQ(notify.row, 1);
        EXPECT_EQ(notify.dataRow, 5);
    }
}
