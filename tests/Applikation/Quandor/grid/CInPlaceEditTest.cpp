#include "EditorTestFixture.h"

#include "CGridCellNumeric.h"
#include "CInPlaceEdit.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace
{

using InPlaceEdit = EditorTest;

CGridEditKey Click()
{
    return CGridEditKey::Key(VK_LBUTTON);
}

CGridEditKey Typed(const char* text)
{
    return CGridEditKey::Char(QString::fromLatin1(text));
}

}  // namespace

TEST_F(InPlaceEdit, TypedCharactersAreHeldToTheCellsExpression)
{
    grid->SetColumnCellType(2, &CGridCell::GetThisClass())->SetValidation(QStringLiteral("[0-9A-F]"));
    grid->Refresh();
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Click());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->GetValidation(), QStringLiteral("[0-9A-F]"));
    editor->clear();
    // Checked upper-cased, kept as typed; a character outside the set is
    // dropped without a word.
    QTest::keyClicks(editor, QStringLiteral("fg1-a"));
    EXPECT_EQ(editor->text(), QStringLiteral("f1a"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(editor->text(), QStringLiteral("f1"));
    EXPECT_EQ(OpenModalBoxes(), 0);
    // Alt keys are the menus', never text.
    QTest::keyClick(editor, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(editor->text(), QStringLiteral("f1"));
    // A first typed character takes the same road.
    QTest::keyClick(editor, Qt::Key_Escape);
    Settle();
    editor = Open<CInPlaceEdit>(3, 2, Typed("g"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), GridTestOwner::DefaultText(3, 2)) << "g is dropped, the text stays selected";
    EXPECT_EQ(editor->selectedText(), editor->text());
    QTest::keyClick(editor, Qt::Key_Escape);
    Settle();

    // Without an expression everything goes.
    editor = Open<CInPlaceEdit>(3, 3, Click());
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("g!"));
    QKeyEvent umlaut(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("ü"));
    QCoreApplication::sendEvent(editor, &umlaut);
    EXPECT_EQ(editor->text(), QStringLiteral("g!ü"));
    QTest::keyClick(editor, Qt::Key_Escape);
}

TEST_F(InPlaceEdit, WhatStartsTheEditDecidesTheFirstStep)
{
    const QString initial = GridTestOwner::DefaultText(3, 2);

    // A click (or F2) selects everything and leaves the arrows to the caret.
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Click());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), initial);
    EXPECT_EQ(editor->selectedText(), initial);
    EXPECT_TRUE(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClick(editor, Qt::Key_Left);
    EXPECT_EQ(editor->cursorPosition(), initial.size() - 1);
    EXPECT_FALSE(editor->IsEnded());
    QTest::keyClick(editor, Qt::Key_Escape);
    Settle();

    // Typed text replaces the whole text; "." and "(" are text, not the
    // Delete or the Down key that share their numbers.
    for (const char* typed : {"x", ".", "(", " "}) {
        editor = Open<CInPlaceEdit>(3, 2, Typed(typed));
        ASSERT_NE(editor, nullptr) << typed;
        EXPECT_EQ(editor->text(), QString::fromLatin1(typed));
        QTest::keyClick(editor, Qt::Key_Escape);
        Settle();
    }
    EXPECT_TRUE(Ends().empty());

    // The Delete key empties the cell and confirms at once.
    CGridEditKey lastKey;
    QPointer<CInPlaceEdit> deleting;
    owner.onEnd = [&](GRID_NOTIFY&) { lastKey = deleting ? deleting->GetLastKey() : CGridEditKey(); };
    grid->MoveFocusCell(4, 2);
    grid->BeginCellEdit(4, 2, QPoint(-1, -1), CGridEditKey::Key(VK_DELETE));
    deleting = qobject_cast<CInPlaceEdit*>(grid->GetActiveEditor());
    ASSERT_TRUE(deleting);
    Settle();
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(std::make_tuple(Ends()[0].row, Ends()[0].column, Ends()[0].text1), std::make_tuple(4, 2, QString()));
    EXPECT_EQ(lastKey, CGridEditKey::Key(VK_RETURN));
    Settle();
    EXPECT_FALSE(deleting) << "the editor is gone";
    EXPECT_EQ(grid->GetItemText(4, 2), QString());
}

TEST_F(InPlaceEdit, EndingKeysAndFocusLossReportTheText)
{
    // Enter: the new text goes to the owner, who stores it.
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Typed("a"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("bc"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(std::make_tuple(Ends()[0].row, Ends()[0].column, Ends()[0].text1, Ends()[0].text2),
              std::make_tuple(3, 2, QStringLiteral("abc"), QStringLiteral("abc")));
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
    EXPECT_TRUE(grid->hasFocus());
    Settle();
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("abc"));
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 2));

    // Esc puts the old text back: nothing to tell.
    owner.ResetCounts();
    editor = Open<CInPlaceEdit>(3, 2, Typed("z"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    Settle();
    EXPECT_TRUE(Ends().empty());
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("abc"));

    // Tab: reported, and the next cell's editor opens.
    editor = Open<CInPlaceEdit>(3, 2, Typed("t"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Tab);
    ASSERT_EQ(Ends().size(), 1u);
    Settle();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));
    auto* next = qobject_cast<CInPlaceEdit*>(grid->GetActiveEditor());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(std::make_pair(next->GetRow(), next->GetColumn()), std::make_pair(3, 3));
    EXPECT_TRUE(next->hasFocus());
    EXPECT_EQ(next->selectedText(), GridTestOwner::DefaultText(3, 3));

    // The focus leaving ends it too, though not for the editor's own menu.
    QTest::keyClicks(next, QStringLiteral("q"));
    QFocusEvent toMenu(QEvent::FocusOut, Qt::PopupFocusReason);
    QCoreApplication::sendEvent(next, &toMenu);
    EXPECT_FALSE(next->IsEnded());
    elsewhere->setFocus(Qt::MouseFocusReason);
    ASSERT_EQ(Ends().size(), 2u);
    EXPECT_EQ(std::make_tuple(Ends()[1].column, Ends()[1].text1), std::make_tuple(3, QStringLiteral("q")));
    Settle();
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
}

TEST_F(InPlaceEdit, ArrowsEndOnlyAnEditStartedByAKeyOrWithCtrl)
{
    // Started by a key: Right ends the edit and moves on.
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Typed("k"));
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->GetExitOnArrows());
    QTest::keyClick(editor, Qt::Key_Right);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(Ends()[0].text1, QStringLiteral("k"));
    Settle();
    EXPECT_EQ(grid->GetFocusCell(), CCellID(3, 3));
    editor = qobject_cast<CInPlaceEdit*>(grid->GetActiveEditor());
    ASSERT_NE(editor, nullptr) << "the edit moved on";
    QTest::keyClick(editor, Qt::Key_Escape);
    Settle();

    // Started by a click: the arrows move the caret, Ctrl+Down ends.
    owner.ResetCounts();
    editor = Open<CInPlaceEdit>(5, 2, Click());
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->GetExitOnArrows());
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown})
        QTest::keyClick(editor, key);
    EXPECT_FALSE(editor->IsEnded());
    QTest::keyClick(editor, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_TRUE(editor->IsEnded());
    EXPECT_EQ(editor->GetLastKey(), CGridEditKey::Key(VK_DOWN, Qt::ControlModifier));
    EXPECT_TRUE(Ends().empty()) << "the text did not change";
}

TEST_F(InPlaceEdit, TheEditorWidensToItsTextUpToTheViewportEdge)
{
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Click());
    ASSERT_NE(editor, nullptr);
    QRect cell;
    ASSERT_TRUE(grid->GetCellRect(3, 2, &cell));
    EXPECT_EQ(editor->geometry(), cell);
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("abc"));
    EXPECT_EQ(editor->width(), cell.width()) << "a short text fits";
    QTest::keyClicks(editor, QStringLiteral("defghijklmnop"));
    const int widened = editor->width();
    EXPECT_GT(widened, cell.width());
    EXPECT_EQ(editor->x(), cell.x());
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(editor->width(), widened) << "it never narrows";
    QTest::keyClicks(editor, QString(80, QLatin1Char('w')));
    EXPECT_EQ(editor->geometry().right(), grid->viewport()->width() - 1) << "capped at the viewport's edge";
    QTest::keyClick(editor, Qt::Key_Escape);
}

TEST_F(InPlaceEdit, TheEditorTakesTheCellsAlignment)
{
    grid->SetColumnCellType(2, &CGridCell::GetThisClass())->SetFormat(DT_RIGHT | DT_NOPREFIX);
    grid->SetColumnCellType(3, &CGridCell::GetThisClass())->SetFormat(DT_CENTER | DT_NOPREFIX);
    grid->Refresh();
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Click());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QTest::keyClick(editor, Qt::Key_Escape);
    editor = Open<CInPlaceEdit>(3, 3, Click());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QTest::keyClick(editor, Qt::Key_Escape);
    editor = Open<CInPlaceEdit>(3, 5, Click());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QTest::keyClick(editor, Qt::Key_Escape);
}

TEST_F(InPlaceEdit, NumericCellsTakeDigitsOnly)
{
    grid->SetColumnCellType(4, &CGridCellNumeric::GetThisClass());
    grid->Refresh();
    CInPlaceEdit* editor = Open<CInPlaceEdit>(2, 4, Typed("1"));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("a2.-3"));
    EXPECT_EQ(editor->text(), QStringLiteral("123"));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(Ends()[0].text1, QStringLiteral("123"));

    // A letter typed on the cell opens it without replacing the text.
    editor = Open<CInPlaceEdit>(2, 4, Typed("x"));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("123"));
    QTest::keyClick(editor, Qt::Key_Escape);
}

TEST_F(InPlaceEdit, AKeyForACellBeingEditedGoesToItsEditor)
{
    CInPlaceEdit* editor = Open<CInPlaceEdit>(3, 2, Typed("a"));
    ASSERT_NE(editor, nullptr);
    grid->BeginCellEdit(3, 2, QPoint(-1, -1), Typed("b"));
    Settle();
    EXPECT_EQ(grid->GetActiveEditor(), editor) << "no second editor";
    EXPECT_EQ(editor->text(), QStringLiteral("ab"));
    QList<CInPlaceEdit*> editors = grid->viewport()->findChildren<CInPlaceEdit*>();
    EXPECT_EQ(editors.size(), 1);
    QTest::keyClick(editor, Qt::Key_Escape);
}

// The record views refill their grids from GRIDN_ENDEDIT; cells and the
// editor must survive it (the sanitizer builds catch what they do not).
TEST_F(InPlaceEdit, TheOwnerMayRefillTheGridWhileItHearsTheEnd)
{
    int refills = 0;
    owner.onEnd = [&](GRID_NOTIFY&) {
        ++refills;
        grid->SetRowCount(grid->GetRowCount() == 30 ? 12 : 30);
        grid->Refresh();
        grid->SetColumnCellType(2, &CGridCell::GetThisClass());
        grid->SetColumnCellType(3, &CGridCellNumeric::GetThisClass());
        grid->GetItemText(3, 2);
    };
    QPointer<CInPlaceEdit> editor = Open<CInPlaceEdit>(3, 2, Typed("a"));
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_Tab);
    Settle();
    EXPECT_EQ(refills, 1);
    EXPECT_FALSE(editor);
    EXPECT_EQ(grid->GetRowCount(), 12);
    EXPECT_EQ(grid->GetActiveEditor(), nullptr) << "the refill took the focus cell, so the edit stops";

    // An editor on what is a numeric cell now ends by the focus leaving.
    editor = Open<CInPlaceEdit>(3, 3, Click());
    ASSERT_TRUE(editor);
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("7"));
    elsewhere->setFocus(Qt::MouseFocusReason);
    Settle();
    EXPECT_EQ(refills, 2);
    EXPECT_FALSE(editor);
    EXPECT_EQ(Ends().back().text1, QStringLiteral("7"));
    EXPECT_EQ(Ends().size(), 2u);
}

TEST_F(InPlaceEdit, AModalBoxOnTheEndHearsOneEnd)
{
    int boxes = 0;
    owner.onEnd = [&](GRID_NOTIFY&) {
        ++boxes;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Quandor"), QStringLiteral("stored"), QMessageBox::Ok,
                        &owner);
        QTimer::singleShot(50, &box, &QDialog::accept);
        box.exec();
    };
    // Ended by Enter, and by the focus going elsewhere.
    QPointer<CInPlaceEdit> editor = Open<CInPlaceEdit>(3, 2, Typed("m"));
    ASSERT_TRUE(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(editor);

    WaitActive();
    editor = Open<CInPlaceEdit>(4, 2, Typed("n"));
    ASSERT_TRUE(editor);
    elsewhere->setFocus(Qt::MouseFocusReason);
    Settle();
    EXPECT_EQ(boxes, 2);
    EXPECT_FALSE(editor);
    EXPECT_EQ(grid->GetActiveEditor(), nullptr);
    EXPECT_EQ(Ends().size(), 2u);
}

TEST_F(InPlaceEdit, ScrollingSortingAndDestroyingTheGridEndTheEditSafely)
{
    // Scrolling: the text goes to the record it was typed for.
    QPointer<CInPlaceEdit> editor = Open<CInPlaceEdit>(3, 2, Typed("s"));
    ASSERT_TRUE(editor);
    grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    Settle();
    EXPECT_FALSE(editor);
    ASSERT_EQ(Ends().size(), 1u);
    EXPECT_EQ(std::make_pair(Ends()[0].dataRow, Ends()[0].text1), std::make_pair(3, QStringLiteral("s")));

    // Sorting shows other records in the rows: the edit ends first.
    grid->verticalScrollBar()->setValue(0);
    editor = Open<CInPlaceEdit>(2, 2, Typed("o"));
    ASSERT_TRUE(editor);
    grid->SortByColumn(2, 2);
    Settle();
    EXPECT_FALSE(editor);
    ASSERT_EQ(Ends().size(), 2u);
    EXPECT_EQ(std::make_pair(Ends()[1].dataRow, Ends()[1].text1), std::make_pair(2, QStringLiteral("o")));

    // A refresh keeps the editor; its end still reaches the owner.
    editor = Open<CInPlaceEdit>(5, 3, Typed("r"));
    ASSERT_TRUE(editor);
    grid->Refresh();
    grid->repaint();
    EXPECT_TRUE(grid->GetCellAt(5, 3)->IsEditing());
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(Ends().size(), 3u);

    // The grid going away takes its editor along without a report.
    editor = Open<CInPlaceEdit>(6, 3, Typed("d"));
    ASSERT_TRUE(editor);
    delete grid;
    grid = nullptr;
    Settle();
    EXPECT_FALSE(editor);
    EXPECT_EQ(Ends().size(), 3u);
}

TEST_F(InPlaceEdit, TheEditorStandsOverItsCell)
{
    grid->SetColumnWidth(3, 110, true, false);
    CInPlaceEdit* editor = Open<CInPlaceEdit>(4, 3, Click());
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, QStringLiteral("A longer name typed here"));
    Settle();
    const QImage picture = owner.grab().toImage();
    KeepPicture(picture, QStringLiteral("inplace-edit.png"));
    // The editor's own background covers the cell, not the cell's shading.
    const QPoint inside = grid->viewport()->mapTo(&owner, editor->geometry().topLeft() + QPoint(editor->width() - 4, editor->height() / 2));
    EXPECT_EQ(picture.pixelColor(inside), editor->palette().color(QPalette::Base));
    QTest::keyClick(editor, Qt::Key_Escape);
}

// In a dialog, Enter and Esc end the edit and go no further: neither the
// default button nor the dialog's own Esc may act on them.
TEST(InPlaceEditInDialog, EnterAndEscStayWithTheEditor)
{
    QDialog dialog;
    dialog.resize(420, 360);
    auto* owner = new EditorTestOwner;
    owner->setParent(&dialog);
    CGridCtrl* grid = MakeViewGrid(*owner, 10, 4, QSize(400, 300));
    grid->SetEditable(true);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setGeometry(10, 320, 80, 26);
    ok->setDefault(true);
    int pressed = 0;
    QObject::connect(ok, &QPushButton::clicked, [&]() { ++pressed; });
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    grid->MoveFocusCell(2, 2);
    grid->BeginCellEdit(2, 2, QPoint(-1, -1), CGridEditKey::Char(QStringLiteral("e")));
    QCoreApplication::processEvents();
    auto* editor = qobject_cast<CInPlaceEdit*>(grid->GetActiveEditor());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(owner->Heard(GRIDN_ENDEDIT).size(), 1u);

    grid->BeginCellEdit(2, 3, QPoint(-1, -1), CGridEditKey::Char(QStringLiteral("x")));
    QCoreApplication::processEvents();
    editor = qobject_cast<CInPlaceEdit*>(grid->GetActiveEditor());
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(pressed, 0);
    EXPECT_TRUE(dialog.isVisible()) << "Esc was the editor's";
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(owner->Heard(GRIDN_ENDEDIT).size(), 1u);
}
