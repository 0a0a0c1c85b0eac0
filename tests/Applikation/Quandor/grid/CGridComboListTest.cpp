#include "EditorTestFixture.h"

#include "CGridCellCombo.h"
#include "CGridComboEdit.h"
#include "CGridComboList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

namespace
{

// A combo column (4) whose cells stand for the values "a", "b", "g" and
// show "Alpha", "Beta", "Gamma"; the owner holds "a" for every row.
class ComboEdit : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        grid->SetColumnWidth(4, 90, true, false);
        MakeCombo(CGridCellCombo::DropDownList);
        for (int row = 1; row < 30; ++row)
            owner.stored[{row, 4}] = QStringLiteral("a");
        grid->Refresh();
    }

    CGridCellCombo* MakeCombo(int style)
    {
        auto* combo = static_cast<CGridCellCombo*>(grid->SetColumnCellType(4, &CGridCellCombo::GetThisClass()));
        combo->SetStyle(style);
        combo->SetAllowFreeText(style == CGridCellCombo::DropDown);
        CGridItemArray& items = combo->GetItemList();
        items.clear();
        items.push_back(std::make_unique<CListEntry>(QStringLiteral("Alpha"), QStringLiteral("a")));
        items.push_back(std::make_unique<CListEntry>(QStringLiteral("Beta"), QStringLiteral("b")));
        items.push_back(std::make_unique<CListEntry>(QStringLiteral("Gamma"), QStringLiteral("g")));
        grid->Refresh();
        return combo;
    }

    CGridComboList* OpenCombo(int row, const CGridEditKey& key = CGridEditKey::Key(VK_LBUTTON))
    {
        return Open<CGridComboList>(row, 4, key);
    }
};

}  // namespace

TEST_F(ComboEdit, TheListOpensOnTheCellsEntryWithoutDropping)
{
    CGridComboList* list = OpenCombo(3);
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isEditable());
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentText(), QStringLiteral("Alpha"));
    EXPECT_EQ(list->currentData().toString(), QStringLiteral("a"));
    EXPECT_FALSE(list->IsDropped());
    EXPECT_TRUE(list->hasFocus());
    QRect cell;
    ASSERT_TRUE(grid->GetCellRect(3, 4, &cell));
    EXPECT_EQ(list->geometry(), cell);
    EXPECT_TRUE(grid->GetCellAt(3, 4)->IsEditing());
    grid->repaint();
    KeepPicture(owner.grab().toImage(), QStringLiteral("combo-open.png"));
    QTest::keyClick(list, Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(Ends().empty());
    EXPECT_FALSE(grid->GetCellAt(3, 4)->IsEditing());
}

TEST_F(ComboEdit, KeysChooseAndEndTheEdit)
{
    // Chosen by Down, confirmed by Tab: the shown text and the value.
    CGridComboList* list = OpenCombo(3);
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentText(), QStringLiteral("Beta"));
    EXPECT_FALSE(list->IsEnded()) << "a click-started list leaves the arrows to the choice";
    QTest::keyClick(list, Qt::Key_Tab);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(std::make_tuple(Ends()[0].row, Ends()[0].column, Ends()[0].text1, Ends()[0].text2),
              std::make_tuple(3, 4, QStringLiteral("Beta"), QStringLiteral("b")));
    Settle();
    EXPECT_EQ(owner.stored[std::make_pair(3, 4)], QStringLiteral("b"));
    EXPECT_EQ(grid->GetItemText(3, 4), QStringLiteral("Beta"));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 5)) << "Tab moved on";

    // Esc: back to what it was, nothing told.
    owner.ResetCounts();
    list = OpenCombo(4);
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(Ends().empty());
    EXPECT_EQ(grid->GetItemText(4, 4), QStringLiteral("Alpha"));

    // Enter confirms; started by a key, Ctrl or not, an arrow ends it.
    list = OpenCombo(5);
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(Ends()[0].text2, QStringLiteral("b"));
    Settle();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(6, 4));
    // The hand-off opened the next row's list, started by a key now.
    list = qobject_cast<CGridComboList*>(grid->GetActiveEditor());
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_TRUE(list->IsEnded());
    Settle();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(5, 4));
    list = qobject_cast<CGridComboList*>(grid->GetActiveEditor());
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list, Qt::Key_Return);
    Settle();
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
    EXPECT_EQ(Ends().size(), 1u) << "neither row's entry changed after the first";
}

TEST_F(ComboEdit, TheDroppedListDoesNotEndTheEditTheFocusLeavingDoes)
{
    CGridComboList* list = OpenCombo(3);
    ASSERT_NE(list, nullptr);
    list->showPopup();
    Settle();
    ASSERT_TRUE(list->IsDropped());
    EXPECT_FALSE(list->IsEnded());
    EXPECT_LE(list->DroppedWidth(), 200);
    EXPECT_GE(list->DroppedWidth(), QFontMetrics(list->view()->font()).horizontalAdvance(QStringLiteral("Gamma")));
    EXPECT_LE(list->view()->window()->width(), std::max(200, list->width()));

    // Picture: the grid with the list dropped over it.
    QImage picture = owner.grab().toImage();
    {
        QPainter painter(&picture);
        QWidget* popup = list->view()->window();
        painter.drawPixmap(owner.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
    }
    KeepPicture(picture, QStringLiteral("combo-dropped.png"));

    list->setCurrentIndex(2);
    list->hidePopup();
    Settle();
    EXPECT_FALSE(list->IsEnded());
    elsewhere->setFocus(Qt::MouseFocusReason);
    Settle();
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(std::make_pair(Ends()[0].text1, Ends()[0].text2), std::make_pair(QStringLiteral("Gamma"), QStringLiteral("g")));
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
}

// In the dropped list one Return picks and stores; an Escape after it
// takes nothing back.
TEST_F(ComboEdit, ReturnInTheDroppedListStoresTheChoice)
{
    for (bool escapeAfter : {false, true}) {
        SCOPED_TRACE(escapeAfter);
        owner.ResetCounts();
        const int row = escapeAfter ? 7 : 6;
        CGridComboList* list = OpenCombo(row);
        ASSERT_NE(list, nullptr);
        list->showPopup();
        Settle();
        ASSERT_TRUE(list->IsDropped());
        QWidget* dropped = list->view();
        QTest::keyClick(dropped, Qt::Key_Down);
        QTest::keyClick(dropped, Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Ends().empty(); }));
        if (escapeAfter)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : grid, Qt::Key_Escape);
        Settle();
        ASSERT_EQ(Ends().size(), 1u);
        EXPECT_EQ(std::make_pair(Ends()[0].text1, Ends()[0].text2), std::make_pair(QStringLiteral("Beta"), QStringLiteral("b")));
        EXPECT_EQ(owner.stored[std::make_pair(row, 4)], QStringLiteral("b"));
        EXPECT_EQ(grid->GetItemText(row, 4), QStringLiteral("Beta"));
        EXPECT_EQ(grid->GetActiveEditor(), nullptr);
    }
}

TEST_F(ComboEdit, ACellWhoseTextIsNoEntryKeepsItUnlessChosen)
{
    // A stored value the list no longer offers, shown as it is.
    owner.stored[{3, 4}] = QStringLiteral("gone");
    MakeCombo(CGridCellCombo::DropDownList)->SetAllowFreeText(true);
    grid->Refresh();
    ASSERT_EQ(grid->GetItemText(3, 4), QStringLiteral("gone"));
    CGridComboList* list = OpenCombo(3);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentIndex(), -1);
    QTest::keyClick(list, Qt::Key_Return);
    Settle();
    EXPECT_TRUE(Ends().empty()) << "nothing chosen, nothing lost";
    EXPECT_EQ(grid->GetItemText(3, 4), QStringLiteral("gone"));
}

TEST_F(ComboEdit, ADropDownTakesTypedTextHeldToTheExpression)
{
    MakeCombo(CGridCellCombo::DropDown)->SetValidation(QStringLiteral("[A-Z]"));
    grid->Refresh();
    CGridComboList* list = OpenCombo(3, CGridEditKey::Char(QStringLiteral("b")));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(list->isEditable());
    CGridComboEdit* edit = list->GetEditPart();
    ASSERT_NE(edit, nullptr);
    Settle();
    EXPECT_EQ(edit->text(), QStringLiteral("b")) << "the typed character replaced the text";
    QTest::keyClicks(edit, QStringLiteral("e1ta"));
    EXPECT_EQ(edit->text(), QStringLiteral("beta"));
    // Esc puts the initial text back and ends.
    QTest::keyClick(edit, Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(Ends().empty());

    // Free text goes out as both texts; an entry's text carries its value.
    list = OpenCombo(3);
    ASSERT_NE(list, nullptr);
    list->GetEditPart()->setText(QStringLiteral("Delta"));
    QTest::keyClick(list->GetEditPart(), Qt::Key_Return);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(std::make_pair(Ends()[0].text1, Ends()[0].text2), std::make_pair(QStringLiteral("Delta"), QStringLiteral("Delta")));
    Settle();
    list = OpenCombo(4);
    ASSERT_NE(list, nullptr);
    QTest::keyClick(list->GetEditPart(), Qt::Key_Down);
    EXPECT_EQ(list->GetEditPart()->text(), QStringLiteral("Beta"));
    QTest::keyClick(list->GetEditPart(), Qt::Key_Tab);
    ASSERT_EQ(Ends().size(), 2u);
    EXPECT_EQ(std::make_pair(Ends()[1].text1, Ends()[1].text2), std::make_pair(QStringLiteral("Beta"), QStringLiteral("b")));
}

TEST_F(ComboEdit, TheDropButtonOpensTheListOfAWritableCell)
{
    grid->MoveFocusCell(2, 2);
    grid->repaint();
    QRect cell;
    ASSERT_TRUE(grid->GetCellRect(6, 4, &cell));
    const QPoint button(cell.right() - 3, cell.center().y());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, button);
    Settle();
    auto* list = qobject_cast<CGridComboList*>(grid->GetActiveEditor());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetRow(), 6);
    EXPECT_FALSE(list->IsDropped());
    QTest::keyClick(list, Qt::Key_Escape);
    Settle();

    // Read-only: the button does nothing.
    grid->SetEditable(false);
    grid->Refresh();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, button);
    Settle();
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
}

TEST_F(ComboEdit, TheOwnerMayRefillOrAskAModalQuestionOnTheEnd)
{
    int ends = 0;
    owner.onEnd = [&](GRID_NOTIFY&) {
        ++ends;
        grid->SetRowCount(grid->GetRowCount() - 1);
        MakeCombo(CGridCellCombo::DropDownList);
        grid->Refresh();
        grid->GetItemText(3, 4);
        QMessageBox box(QMessageBox::Question, QStringLiteral("Quandor"), QStringLiteral("sure?"), QMessageBox::Ok,
                        &owner);
        QTimer::singleShot(50, &box, &QDialog::accept);
        box.exec();
    };
    QPointer<CGridComboList> list = OpenCombo(3);
    ASSERT_TRUE(list);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Tab);
    Settle();
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(list);

    WaitActive();
    list = OpenCombo(4);
    ASSERT_TRUE(list);
    QTest::keyClick(list, Qt::Key_Down);
    elsewhere->setFocus(Qt::MouseFocusReason);
    Settle();
    EXPECT_EQ(ends, 2);
    EXPECT_FALSE(list);
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
}
