#include "CGridDropTarget.h"
#include "GridInputFixture.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace
{

// Counts what reaches the grid's own drag operations.
class DragCountingGrid : public CGridCtrl
{
public:
    using CGridCtrl::CGridCtrl;
    int OnDragEnter(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point) override
    {
        ++enters;
        return CGridCtrl::OnDragEnter(window, data, keys, point);
    }
    int OnDragOver(QWidget* window, const QMimeData* data, Qt::KeyboardModifiers keys, QPoint point) override
    {
        ++overs;
        return CGridCtrl::OnDragOver(window, data, keys, point);
    }
    bool OnDrop(QWidget* window, const QMimeData* data, int effect, QPoint point) override
    {
        ++drops;
        return CGridCtrl::OnDrop(window, data, effect, point);
    }
    void HighlightForDrop(int row, int col)
    {
        SetItemState(row, col, GetItemState(row, col) | GVIS_DROPHILITED);
        m_LastDragOverCell = CCellID(row, col);
    }
    void SetMouseMode(int mode) { m_MouseMode = mode; }
    int enters = 0;
    int overs = 0;
    int drops = 0;
};

class GridDrop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A grid of its own cells (not virtual), shown: showing registers it.
        grid = new DragCountingGrid(nullptr, QString(), QString(), 6, 4, 1, 1, &owner);
        grid->SetEditable(true);
        owner.resize(300, 200);
        grid->setGeometry(0, 0, 300, 200);
        owner.show();
        QCoreApplication::processEvents();
        text.setText(QStringLiteral("dragged text"));
    }

    GridTestOwner owner;
    DragCountingGrid* grid = nullptr;
    QMimeData text;
};

}  // namespace

TEST_F(GridDrop, OnlyAGridIsRegisteredAndOnlyOnce)
{
    EXPECT_TRUE(grid->GetDropTarget().IsRegistered()) << "registered when first shown";
    EXPECT_TRUE(grid->viewport()->acceptDrops());
    EXPECT_FALSE(grid->GetDropTarget().Register(grid)) << "already registered";

    CGridDropTarget target;
    QWidget notAGrid;
    EXPECT_FALSE(target.Register(&notAGrid));
    EXPECT_FALSE(target.IsRegistered());
    EXPECT_EQ(target.GetGrid(), nullptr);
    EXPECT_FALSE(target.Register(nullptr));

    EXPECT_TRUE(target.Register(grid));
    EXPECT_EQ(target.GetGrid(), grid);
    EXPECT_FALSE(target.Register(grid));
    target.Revoke();
    EXPECT_FALSE(target.IsRegistered());

    // A grid that goes first leaves nothing dangling behind.
    auto* shortLived = new CGridCtrl(nullptr, QString(), QString(), 3, 3, 1, 1, &owner);
    EXPECT_TRUE(target.Register(shortLived));
    delete shortLived;
    EXPECT_EQ(target.GetGrid(), nullptr);
    target.Revoke();
    EXPECT_FALSE(target.IsRegistered());
}

TEST_F(GridDrop, DraggedTextIsRefusedAndChangesNothing)
{
    const QPoint point(150, 60);
    QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.accept();
    QCoreApplication::sendEvent(grid->viewport(), &enter);
    EXPECT_EQ(grid->enters, 1) << "the grid was asked";
    EXPECT_FALSE(enter.isAccepted()) << "the no-drop cursor";
    EXPECT_EQ(enter.dropAction(), Qt::IgnoreAction);

    // Refused on entering, the grid gets no more of this drag from Qt; what
    // it would answer is asked of its drop target directly.
    CGridDropTarget& target = grid->GetDropTarget();
    QDragMoveEvent move(point, Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton, Qt::ControlModifier);
    move.accept();
    target.HandleEvent(grid->viewport(), &move);
    EXPECT_EQ(grid->overs, 1);
    EXPECT_FALSE(move.isAccepted());

    grid->SetMouseMode(CGridCtrl::MOUSE_PREPARE_DRAG);
    QDropEvent drop(QPointF(point), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    drop.accept();
    target.HandleEvent(grid->viewport(), &drop);
    EXPECT_EQ(grid->drops, 1);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING);
    EXPECT_TRUE(owner.notifications.empty()) << "no cell was offered anything";

    // Leaving takes the drop highlight off its cell.
    grid->HighlightForDrop(2, 2);
    ASSERT_TRUE(grid->GetItemState(2, 2) & GVIS_DROPHILITED);
    QDragLeaveEvent leave;
    target.HandleEvent(grid->viewport(), &leave);
    EXPECT_FALSE(grid->GetItemState(2, 2) & GVIS_DROPHILITED);

    // Another window's drags never reach the grid.
    QWidget other;
    EXPECT_EQ(target.OnDragEnter(&other, &text, Qt::NoModifier, point), DROPEFFECT_NONE);
    EXPECT_FALSE(target.OnDrop(&other, &text, DROPEFFECT_COPY, point));
    EXPECT_EQ(grid->enters, 1);
    EXPECT_EQ(grid->drops, 1);

    // Revoked, the grid hears nothing more.
    target.Revoke();
    EXPECT_FALSE(grid->viewport()->acceptDrops());
    EXPECT_EQ(target.OnDragEnter(grid->viewport(), &text, Qt::NoModifier, point), DROPEFFECT_NONE);
    EXPECT_EQ(grid->enters, 1);
}
