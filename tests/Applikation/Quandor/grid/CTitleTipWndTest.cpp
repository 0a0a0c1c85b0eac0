#include "CTitleTipWnd.h"
#include "GridInputFixture.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace
{

const QString kLong = QStringLiteral("A name far too long for its column");

// A record view's grid in which cell (3, 2) holds a text too long for it;
// every other cell fits.
class TitleTip : public GridInputTest
{
protected:
    void SetUp() override
    {
        owner.text = [](int dataRow, int col) {
            return dataRow == 3 && col == 2 ? kLong : QStringLiteral("ab");
        };
        Build(20, 5, QSize(400, 300), false);
        tip = grid->GetTitleTip();
    }

    void MoveTo(QPoint point)
    {
        QMouseEvent move(QEvent::MouseMove, point, View()->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(View(), &move);
    }

    // The tip over the long cell, as the pointer brings it.
    void ShowOverLongCell()
    {
        MoveTo(At(3, 2));
        ASSERT_TRUE(tip->isVisible());
    }

    CTitleTipWnd* tip = nullptr;
};

}  // namespace

TEST_F(TitleTip, ShowsOnlyTextThatDoesNotFitAndOnlyOnce)
{
    const QRect rect(70, 84, 60, 18);
    tip->Show(rect, QStringLiteral("ab"), 2);
    EXPECT_FALSE(tip->isVisible()) << "a text that fits";
    tip->Show(QRect(), kLong, 2);
    EXPECT_FALSE(tip->isVisible()) << "no rectangle";

    const QFont font = grid->font();
    tip->Show(rect, kLong, 2, nullptr, &font, RGB(0, 0, 128), RGB(255, 255, 212));
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->pos(), View()->mapToGlobal(QPoint(rect.left() + 2, rect.top())));
    const int textWidth = QFontMetrics(font).horizontalAdvance(QLatin1Char(' ') + kLong + QLatin1Char(' '));
    EXPECT_EQ(tip->size(), QSize(textWidth + 2, rect.height()));
    EXPECT_EQ(tip->GetShownText(), QLatin1Char(' ') + kLong + QLatin1Char(' '));
    EXPECT_FALSE(tip->isActiveWindow()) << "shown without taking the focus";
    EXPECT_TRUE(grid->hasFocus());

    // Showing already: a second text does not replace the first.
    tip->Show(rect.translated(0, 18), QStringLiteral("another text that is far too long"), 2);
    EXPECT_EQ(tip->GetShownText(), QLatin1Char(' ') + kLong + QLatin1Char(' '));
    EXPECT_EQ(tip->pos().y(), View()->mapToGlobal(rect.topLeft()).y());

    // Given up and made again.
    tip->DestroyWindow();
    EXPECT_FALSE(tip->IsCreated());
    EXPECT_FALSE(tip->isVisible());
    tip->Show(rect, kLong, 0);
    EXPECT_TRUE(tip->IsCreated());
    EXPECT_TRUE(tip->isVisible());
    tip->Hide();

    // Nothing of the program has the focus: no tip.
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus);
    focus->clearFocus();
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    tip->Show(rect, kLong, 0);
    EXPECT_FALSE(tip->isVisible());
}

TEST_F(TitleTip, ThePointerOverACutOffCellShowsItsText)
{
    MoveTo(At(5, 2));
    EXPECT_FALSE(tip->isVisible()) << "\"ab\" fits";

    MoveTo(At(3, 2));
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->GetShownText(), QLatin1Char(' ') + kLong + QLatin1Char(' '));
    QRect cell;
    ASSERT_TRUE(grid->GetCellRect(3, 2, &cell));
    EXPECT_EQ(tip->pos(), View()->mapToGlobal(cell.topLeft()));

    // Within the cell it stays; in the next cell it goes.
    MoveTo(At(3, 2, 2));
    EXPECT_TRUE(tip->isVisible());
    MoveTo(At(3, 3));
    EXPECT_FALSE(tip->isVisible());
    MoveTo(At(3, 2));
    EXPECT_TRUE(tip->isVisible()) << "back over the cell";
}

TEST_F(TitleTip, KeysPressesWheelAndEditsHideIt)
{
    ShowOverLongCell();
    Key(Qt::Key_Down);
    EXPECT_FALSE(tip->isVisible()) << "a key";

    MoveTo(At(5, 3));
    ShowOverLongCell();
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2, 3));
    EXPECT_FALSE(tip->isVisible()) << "a press";
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, At(3, 2, 3));
    MoveTo(At(3, 2, 4));
    EXPECT_FALSE(tip->isVisible()) << "not again over the cell just pressed";

    MoveTo(At(5, 3));
    ShowOverLongCell();
    QWheelEvent wheel(At(3, 2), View()->mapToGlobal(At(3, 2)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(View(), &wheel);
    EXPECT_FALSE(tip->isVisible()) << "the wheel";

    grid->verticalScrollBar()->setValue(0);
    MoveTo(At(5, 3));
    ShowOverLongCell();
    grid->BeginCellEdit(5, 3, QPoint(-1, -1), CGridEditKey::Key(VK_LBUTTON));
    EXPECT_FALSE(tip->isVisible()) << "an edit starts";
}

TEST_F(TitleTip, APressOnTheTipActsOnTheCellBelow)
{
    ShowOverLongCell();
    // The tip reaches over the next cell; a click there selects that cell.
    QRect next;
    ASSERT_TRUE(grid->GetCellRect(3, 3, &next));
    const QPoint global = View()->mapToGlobal(next.center());
    ASSERT_TRUE(tip->geometry().contains(global)) << "the tip covers the next cell";

    QTest::mouseClick(tip, Qt::LeftButton, Qt::NoModifier, tip->mapFromGlobal(global));
    EXPECT_FALSE(tip->isVisible());
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));
    EXPECT_TRUE(grid->IsCellSelected(3, 3));
    EXPECT_FALSE(grid->IsCellSelected(3, 2));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING) << "the release reached the grid too";
    EXPECT_EQ(owner.Heard(NM_CLICK).size(), 1u);
}

TEST_F(TitleTip, DrawsTheWholeTextInTheCellsColours)
{
    owner.colour = [](GRID_DISPINFO& info) {
        if (info.row == 3)
            info.backColour = RGB(255, 255, 212);
    };
    grid->SetColumnItemData(2, 1);
    grid->SetColumnWidth(2, 90, true, false);
    grid->Refresh();
    MoveTo(At(5, 3));
    ShowOverLongCell();
    QCoreApplication::processEvents();

    const QImage shown = tip->grab().toImage();
    EXPECT_EQ(shown.pixelColor(shown.width() - 3, shown.height() / 2), QColor(255, 255, 212)) << "the cell's back";
    EXPECT_NE(shown.pixelColor(0, 0), QColor(255, 255, 212)) << "the border";
    // Text all along, also past the cell's right edge.
    auto inked = [&](int fromX, int toX) {
        int count = 0;
        for (int x = fromX; x < toX; ++x) {
            for (int y = 2; y < shown.height() - 2; ++y)
                count += shown.pixelColor(x, y).lightness() < 100;
        }
        return count;
    };
    ASSERT_GT(shown.width(), 90 + 40);
    EXPECT_GT(inked(2, 90), 30);
    EXPECT_GT(inked(90, shown.width() - 2), 30) << "the text goes on past the cell";

    if (const QByteArray folder = qgetenv("QUANDOR_SCREENSHOTS"); !folder.isEmpty()) {
        // The grid with the tip over it, as the user sees them.
        QImage image = owner.grab().toImage();
        QPainter painter(&image);
        painter.drawImage(owner.mapFromGlobal(tip->pos()), shown);
        painter.end();
        image.save(QString::fromLocal8Bit(folder) + QStringLiteral("/grid-title-tip.png"));
    }
}
