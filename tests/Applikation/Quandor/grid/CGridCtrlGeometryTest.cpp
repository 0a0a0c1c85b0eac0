#include "CGridCtrl.h"
#include "CDialogSetup.h"
#include "GridTestOwner.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace
{

// A shown view with a grid of 1 header row (30 px), data rows of 18 px, a
// number column of 10 px and columns of 60 px, the first being the title
// column.
struct Geometry : public ::testing::Test
{
    void Build(int rows, int cols, QSize size = QSize(300, 200))
    {
        grid = MakeViewGrid(owner, rows, cols, size);
        owner.show();
        QCoreApplication::processEvents();
        grid->ResetScrollBars();
        QCoreApplication::processEvents();
    }

    QScrollBar* VBar() const { return grid->verticalScrollBar(); }
    QScrollBar* HBar() const { return grid->horizontalScrollBar(); }

    // The last data row ends inside the viewport.
    bool LastRowFullyVisible() const
    {
        QRect rect;
        return grid->GetCellRect(grid->GetRowCount() - 1, 1, &rect)
               && rect.bottom() < grid->viewport()->height();
    }

    void Wheel(QWidget* target, int delta)
    {
        QWheelEvent event(QPointF(20, 60), target->mapToGlobal(QPointF(20, 60)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }

    GridTestOwner owner;
    CGridCtrl* grid = nullptr;
};

class PaintCounter : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

}  // namespace

TEST_F(Geometry, PositionsOfFixedTitleAndScrolledCells)
{
    Build(50, 10);
    EXPECT_EQ(grid->GetFixedRowHeight(), 30);
    EXPECT_EQ(grid->GetFixedColumnWidth(false), 10);
    EXPECT_EQ(grid->GetFixedColumnWidth(true), 70);
    EXPECT_EQ(grid->GetVirtualHeight(), 30 + 49 * 18);
    EXPECT_EQ(grid->GetVirtualWidth(), 10 + 9 * 60);

    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(2, 2, &rect));
    EXPECT_EQ(rect, QRect(70, 30 + 18, 60, 18));
    QPoint origin;
    ASSERT_TRUE(grid->GetCellOrigin(0, 2, &origin));
    EXPECT_EQ(origin, QPoint(70, 0)) << "column 2 starts at the frozen width";
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(75, 31)), CCellID(1, 2));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(5, 5)), CCellID(0, 0));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(5, 5), false), CCellID(-1, -1));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(69, 47), true), CCellID(1, 1));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(-1, 47)), CCellID(1, -1));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(10000, 10000)), CCellID(-1, -1));
    EXPECT_EQ(grid->GetCellOffsetFromOrigin(2, 2, QPoint(75, 50)), QPoint(5, 2));
    QRect range;
    ASSERT_TRUE(grid->GetCellRangeRect(CCellRange(1, 1, 2, 2), &range));
    EXPECT_EQ(range, QRect(10, 30, 120, 36));

    // Scrolled two columns and three rows: fixed and title cells stay put.
    HBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    HBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    for (int i = 0; i < 3; ++i)
        VBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(HBar()->value(), 120);
    EXPECT_EQ(VBar()->value(), 54);
    EXPECT_EQ(grid->GetTopLeftNonFixedCell(), CCellID(4, 4));
    ASSERT_TRUE(grid->GetCellOrigin(0, 1, &origin));
    EXPECT_EQ(origin, QPoint(10, 0));
    ASSERT_TRUE(grid->GetCellOrigin(4, 0, &origin));
    EXPECT_EQ(origin, QPoint(0, 30));
    ASSERT_TRUE(grid->GetCellOrigin(4, 4, &origin));
    EXPECT_EQ(origin, QPoint(70, 30));
    EXPECT_FALSE(grid->GetCellOrigin(4, 2, &origin)) << "scrolled out to the left";
    EXPECT_FALSE(grid->GetCellOrigin(2, 4, &origin)) << "scrolled out above";
    EXPECT_FALSE(grid->IsCellVisible(2, 4));
    EXPECT_TRUE(grid->IsCellVisible(4, 4));
    EXPECT_TRUE(grid->IsCellVisible(4, 1));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(71, 31)), CCellID(4, 4));

    const CCellRange visible = grid->GetVisibleNonFixedCellRange();
    EXPECT_EQ(visible.minRow, 4);
    EXPECT_EQ(visible.minCol, 4);
    const int viewHeight = grid->viewport()->height();
    EXPECT_EQ(visible.maxRow, 4 + (viewHeight - 30 + 17) / 18 - 1) << "a partly shown row belongs to it";
    const CCellRange whole = grid->GetUnobstructedNonFixedCellRange();
    EXPECT_EQ(whole.maxRow, 4 + (viewHeight - 30) / 18 - 1);
}

TEST_F(Geometry, HiddenColumnsAreSkipped)
{
    Build(20, 14);
    ASSERT_TRUE(grid->SetColumnWidth(2, 0, true, false));
    ASSERT_TRUE(grid->SetColumnWidth(3, 0, true, false));
    EXPECT_EQ(grid->GetCellFromPoint(QPoint(71, 40)).col, 4);
    HBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(HBar()->value(), 60) << "one step passes both hidden columns";
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().col, 5);
    HBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(HBar()->value(), 0);
    grid->EnsureCellVisible(5, 3);
    EXPECT_EQ(HBar()->value(), 0);
}

TEST_F(Geometry, BarsAppearOnlyWhenNeededAndPagesAreBelowTheHeader)
{
    // Everything fits below the header: no bars.
    Build(5, 3, QSize(400, 300));
    EXPECT_EQ(VBar()->maximum(), 0);
    EXPECT_EQ(HBar()->maximum(), 0);

    ASSERT_TRUE(grid->SetRowCount(100));
    QCoreApplication::processEvents();
    EXPECT_GT(VBar()->maximum(), 0);
    EXPECT_EQ(VBar()->pageStep(), grid->viewport()->height() - 30);
    EXPECT_EQ(VBar()->maximum(), grid->GetVirtualHeight() - 30 - VBar()->pageStep());
    EXPECT_EQ(HBar()->maximum(), 0);
}

TEST_F(Geometry, OneBarCanForceTheOther)
{
    // The columns fit only until the vertical bar takes its width.
    GridTestOwner probe;
    CGridCtrl* measure = MakeViewGrid(probe, 2, 2);
    const int frame = 2 * measure->frameWidth();
    const int barWidth = measure->verticalScrollBar()->sizeHint().width();
    const int width = 10 + 60 * 4 + frame + barWidth / 2;
    Build(100, 5, QSize(width, 300));
    EXPECT_GT(VBar()->maximum(), 0);
    EXPECT_GT(HBar()->maximum(), 0);
    QCoreApplication::processEvents();
    // Both ends can be reached completely.
    VBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    HBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_TRUE(LastRowFullyVisible());
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(99, 4, &rect));
    EXPECT_LE(rect.right(), grid->viewport()->width() - 1);
}

TEST_F(Geometry, TheLastRowCanBeReachedEveryWay)
{
    for (const int height : {150, 187, 200, 263}) {
        SCOPED_TRACE(height);
        GridTestOwner local;
        CGridCtrl* g = MakeViewGrid(local, 60, 4, QSize(300, height));
        local.show();
        QCoreApplication::processEvents();
        g->ResetScrollBars();
        grid = g;
        QScrollBar* bar = g->verticalScrollBar();

        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        EXPECT_TRUE(LastRowFullyVisible());
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        EXPECT_EQ(g->GetTopLeftNonFixedCell().row, 1);

        for (int i = 0; i < 200; ++i)
            bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_TRUE(LastRowFullyVisible());
        for (int i = 0; i < 200; ++i)
            bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        EXPECT_EQ(bar->value(), 0);

        bar->setSliderPosition(bar->maximum());  // dragging the thumb to the end
        EXPECT_TRUE(LastRowFullyVisible());
        for (int i = 0; i < 10; ++i)
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        EXPECT_EQ(bar->value(), 0);
        for (int i = 0; i < 10; ++i)
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        EXPECT_TRUE(LastRowFullyVisible());

        // Fewer rows: the position comes back inside the range.
        ASSERT_TRUE(g->SetRowCount(30));
        QCoreApplication::processEvents();
        EXPECT_LE(bar->value(), bar->maximum());
        EXPECT_TRUE(LastRowFullyVisible());
        local.hide();
    }
    grid = nullptr;
}

TEST_F(Geometry, EnsureCellVisibleGoesStraightThereAndGivesTheFocusBack)
{
    Build(100001, 12);
    QLineEdit editor(&owner);
    editor.move(0, 250);
    editor.show();
    editor.setFocus();
    QCoreApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    grid->EnsureCellVisible(100000, 11);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(LastRowFullyVisible());
    QRect rect;
    ASSERT_TRUE(grid->GetCellRect(100000, 11, &rect));
    EXPECT_LE(rect.right(), grid->viewport()->width() - 1);
    EXPECT_EQ(QApplication::focusWidget(), &editor);

    grid->EnsureCellVisible(1, 2);
    EXPECT_EQ(VBar()->value(), 0);
    EXPECT_EQ(HBar()->value(), 0);

    // A new last row, as the views add one.
    ASSERT_TRUE(grid->SetRowCount(100002));
    grid->EnsureCellVisible(100001, 1);
    EXPECT_TRUE(LastRowFullyVisible());
}

TEST_F(Geometry, ARowTallerThanTheViewStopsAtTheTop)
{
    Build(40, 4, QSize(300, 120));
    grid->SetSharedRowHeight(false);
    ASSERT_TRUE(grid->SetRowHeight(20, 500, false));
    grid->EnsureCellVisible(20, 1);
    QPoint origin;
    ASSERT_TRUE(grid->GetCellOrigin(20, 1, &origin));
    EXPECT_EQ(origin.y(), 30);
}

TEST_F(Geometry, SizesGoToTheLayoutStoreAndComeBackAfterARestart)
{
    const QString folder = TestEnvironment::NewFolder(QStringLiteral("layout"));
    const QString file = QStringLiteral("DialogSetup.xml");
    const QString view = QStringLiteral("05");
    const QString key = QStringLiteral("0");
    {
        CDialogSetup store(folder);
        ASSERT_TRUE(store.OpenFile(file));
        CGridCtrl grid(&store, view, key, 0, 0, 0, 0, &owner);
        grid.SetVirtualMode(true);
        grid.SetColumnCount(4);
        grid.SetRowCount(10);
        grid.SetFixedRowCount(1);
        grid.SetFixedColumnCount(1);

        // The header alone, not stored.
        ASSERT_TRUE(grid.SetRowHeight(0, 30, false));
        EXPECT_EQ(grid.GetRowHeight(0), 30);
        EXPECT_EQ(store.GetRowHeight(view, key, true), -1);

        // A data row with the shared height: every data row, the default
        // height and one stored data-row height.
        ASSERT_TRUE(grid.SetRowHeight(1, 18, true));
        for (int row = 1; row < 10; ++row)
            EXPECT_EQ(grid.GetRowHeight(row), 18);
        EXPECT_EQ(grid.GetRowHeight(0), 30);
        EXPECT_EQ(grid.GetDefaultCell(false, false)->GetHeight(), 18);
        EXPECT_EQ(store.GetRowHeight(view, key, false), 18);
        EXPECT_EQ(store.GetRowHeight(view, key, true), -1);
        ASSERT_TRUE(grid.SetRowCount(12));
        EXPECT_EQ(grid.GetRowHeight(11), 18) << "new rows take the shared height";

        ASSERT_TRUE(grid.SetRowHeight(0, 25, true));
        ASSERT_TRUE(grid.SetColumnWidth(3, 77, true, true));
        ASSERT_TRUE(grid.SetColumnWidth(2, 55, true, false));
        EXPECT_EQ(store.GetRowHeight(view, key, true), 25);
        EXPECT_EQ(store.GetColumnWidth(view, key, QStringLiteral("3")), 77);
        EXPECT_EQ(store.GetColumnWidth(view, key, QStringLiteral("2")), -1);

        // Refused without any change.
        EXPECT_FALSE(grid.SetRowHeight(-1, 10, true));
        EXPECT_FALSE(grid.SetRowHeight(2, -5, true));
        EXPECT_FALSE(grid.SetRowHeight(2, 1 << 20, true));
        EXPECT_FALSE(grid.SetColumnWidth(4, 10, true, true));
        EXPECT_FALSE(grid.SetColumnWidth(-1, 10, true, true));
        EXPECT_FALSE(grid.SetColumnWidth(2, -2, true, true));
        EXPECT_EQ(store.GetRowHeight(view, key, false), 18);
        EXPECT_EQ(store.GetColumnWidth(view, key, QStringLiteral("4")), -1);
        grid.SetSharedRowHeight(false);
        EXPECT_FALSE(grid.SetRowHeight(12, 20, true)) << "no such row";
        EXPECT_TRUE(grid.SetRowHeight(11, 20, false));
        EXPECT_EQ(grid.GetRowHeight(10), 18);

        // A grid with only its header still stores the data-row height.
        grid.SetSharedRowHeight(true);
        ASSERT_TRUE(grid.SetRowCount(1));
        ASSERT_TRUE(grid.SetRowHeight(1, 21, true));
        EXPECT_EQ(store.GetRowHeight(view, key, false), 21);
        ASSERT_TRUE(grid.SetRowCount(3));
        EXPECT_EQ(grid.GetRowHeight(2), 21);
        store.Save();
    }

    // The next start: the stored sizes, applied as given and not stored
    // again, give the grid the layout it had.
    CDialogSetup store(folder);
    ASSERT_TRUE(store.OpenFile(file));
    CGridCtrl grid(&store, view, key, 0, 0, 0, 0, &owner);
    grid.SetVirtualMode(true);
    grid.SetColumnCount(4);
    grid.SetRowCount(8);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(1);
    ASSERT_TRUE(grid.SetRowHeight(0, store.GetRowHeight(view, key, true), false));
    ASSERT_TRUE(grid.SetRowHeight(1, store.GetRowHeight(view, key, false), false));
    for (int col = 0; col < grid.GetColumnCount(); ++col) {
        const int width = store.GetColumnWidth(view, key, QString::number(col));
        if (width > 0) {
            ASSERT_TRUE(grid.SetColumnWidth(col, width, true, false));
        }
    }
    EXPECT_EQ(grid.GetRowHeight(0), 25);
    EXPECT_EQ(grid.GetRowHeight(7), 21);
    EXPECT_EQ(grid.GetColumnWidth(3), 77);
}

TEST_F(Geometry, WidthMinusOneFitsTheHeaderText)
{
    Build(5, 4);
    grid->SetColumnTitle(2, QStringLiteral("A rather long column title"));
    grid->Refresh();
    const int fitted = grid->GetCellAt(0, 2)->GetCellExtent().width();
    ASSERT_GT(fitted, 60);
    ASSERT_TRUE(grid->SetColumnWidth(2, -1, false, false));
    EXPECT_EQ(grid->GetColumnWidth(2), fitted);
    ASSERT_TRUE(grid->SetColumnWidth(2, 20, true, false));
    EXPECT_EQ(grid->GetColumnWidth(2), 20) << "as given";
    ASSERT_TRUE(grid->SetColumnWidth(2, 20, false, false));
    EXPECT_EQ(grid->GetColumnWidth(2), fitted) << "widened to the header";
    ASSERT_TRUE(grid->SetColumnWidth(2, -1, true, false));
    EXPECT_EQ(grid->GetColumnWidth(2), fitted) << "-1 never becomes a width";
    grid->SetColumnAutoWidth(false);
    ASSERT_TRUE(grid->SetColumnWidth(2, 20, false, false));
    EXPECT_EQ(grid->GetColumnWidth(2), 20);
}

TEST_F(Geometry, WheelScrollsBySystemLines)
{
    Build(200, 4);
    QApplication::setWheelScrollLines(3);
    grid->setStyle(grid->style());  // re-reads the system setting
    QEvent styleChange(QEvent::StyleChange);
    QApplication::sendEvent(grid, &styleChange);
    ASSERT_EQ(grid->GetWheelScrollLines(), 3);

    Wheel(grid->viewport(), -120);
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 4) << "three rows, not six";
    Wheel(grid->viewport(), 120);
    EXPECT_EQ(VBar()->value(), 0);

    QApplication::setWheelScrollLines(1);
    QApplication::sendEvent(grid, &styleChange);
    Wheel(grid->viewport(), -60);
    EXPECT_EQ(VBar()->value(), 0) << "half a notch of one line: nothing yet";
    Wheel(grid->viewport(), -60);
    EXPECT_EQ(VBar()->value(), 18) << "the second half makes the line";

    // The bar itself takes the same path.
    Wheel(VBar(), -120);
    EXPECT_EQ(VBar()->value(), 36);

    QApplication::setWheelScrollLines(3);
}

TEST_F(Geometry, ScrollingRepaintsOnlyWhenTheTopRowChanges)
{
    Build(200, 4);
    PaintCounter paints;
    grid->viewport()->installEventFilter(&paints);
    QCoreApplication::processEvents();

    // The content snaps to rows: a thumb position inside the first row shows
    // the second one on top, and moving within that row shows nothing new.
    VBar()->setValue(5);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 2);
    paints.count = 0;
    VBar()->setValue(12);
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count, 0);
    VBar()->setValue(20);
    QCoreApplication::processEvents();
    EXPECT_EQ(paints.count, 1);

    // At the end a further line step changes and repaints nothing.
    VBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QCoreApplication::processEvents();
    const int end = VBar()->value();
    paints.count = 0;
    VBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCoreApplication::processEvents();
    EXPECT_EQ(VBar()->value(), end);
    EXPECT_EQ(paints.count, 0);
}

TEST_F(Geometry, ResizingRecomputesTheBars)
{
    Build(30, 4, QSize(300, 200));
    VBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    owner.resize(300, 700);
    grid->resize(300, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(VBar()->maximum(), 0);
    EXPECT_EQ(VBar()->value(), 0);
    EXPECT_EQ(grid->GetTopLeftNonFixedCell().row, 1);
    owner.resize(300, 150);
    grid->resize(300, 150);
    QCoreApplication::processEvents();
    EXPECT_GT(VBar()->maximum(), 0);
    EXPECT_EQ(VBar()->pageStep(), grid->viewport()->height() - 30);
}
