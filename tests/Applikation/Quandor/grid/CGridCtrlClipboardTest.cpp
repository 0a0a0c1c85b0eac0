#include "CGridCellCheck.h"
#include "CUiMessage.h"
#include "GridInputFixture.h"
#include "ScopedSeam.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>

#include <map>

namespace
{

QString ClipboardText()
{
    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

void SetClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

// A record view's grid (virtual, 19 records, columns 1 to 4 in the body,
// column 1 the title column) over an owner that stores what edits bring and
// shows it afterwards. Message boxes are recorded, not shown.
class GridClipboard : public GridInputTest
{
protected:
    void SetUp() override
    {
        owner.text = [this](int dataRow, int col) {
            const auto it = stored.find({dataRow, col});
            return it == stored.end() ? GridTestOwner::DefaultText(dataRow, col) : it->second;
        };
        owner.reply = [this](GRID_NOTIFY& notify) -> qint64 {
            if (notify.hdr.code == GRIDN_ENDEDIT) {
                stored[{notify.dataRow, notify.column}] = notify.text1;
                if (onEnd)
                    onEnd();
            }
            return 0;
        };
        presenter.Set([this](const CUiMessage::Request& request) {
            boxes.push_back(request);
            return QMessageBox::Ok;
        });
        SetClipboardText(QStringLiteral("before"));
    }

    void Build(bool listMode)
    {
        GridInputTest::Build(20, 5, QSize(400, 300), listMode);
    }

    void SelectRows(std::initializer_list<uint> rows)
    {
        const QList<uint> list(rows);
        grid->SelectRows(&list);
    }

    // (code, row, column, text 1) of every edit notification, in order.
    std::vector<std::tuple<int, int, int, QString>> Edits() const
    {
        std::vector<std::tuple<int, int, int, QString>> edits;
        for (const GRID_NOTIFY& notify : owner.notifications) {
            if (notify.hdr.code == GRIDN_BEGINEDIT || notify.hdr.code == GRIDN_ENDEDIT)
                edits.emplace_back(notify.hdr.code, notify.row, notify.column, notify.text1);
        }
        return edits;
    }

    std::map<std::pair<int, int>, QString> stored;
    std::function<void()> onEnd;
    std::vector<CUiMessage::Request> boxes;
    ScopedSeam<CUiMessage::Presenter> presenter{CUiMessage::PresenterSeam()};
};

}  // namespace

TEST_F(GridClipboard, OneSelectedCellCopiesExactlyItsValue)
{
    Build(false);
    grid->SetColumnCellType(4, &CGridCellCheck::GetThisClass());
    owner.text = [](int dataRow, int col) {
        return col == 4 ? QStringLiteral("1") : GridTestOwner::DefaultText(dataRow, col);
    };
    grid->Refresh();

    grid->SelectCellRange(3, 2, 3, 2, false, true);
    owner.ResetCounts();
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ClipboardText(), QStringLiteral("r3c2")) << "the value alone: no separator, no line end";
    // The owner hears what is about to be read and that the read is over.
    const auto hint = std::find(owner.hints.begin(), owner.hints.end(), CCellRange(3, 2, 3, 2));
    ASSERT_NE(hint, owner.hints.end());
    ASSERT_NE(hint + 1, owner.hints.end());
    EXPECT_FALSE((hint + 1)->IsValid());

    // Ctrl+Insert is the same; a check cell gives its tick.
    grid->SelectCellRange(5, 4, 5, 4, false, true);
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(ClipboardText(), QStringLiteral("1"));
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(Edits().empty()) << "copying changes no cell";
}

TEST_F(GridClipboard, ACopiedRowIsPastedColumnByColumnOntoEachSelectedRow)
{
    Build(true);
    SelectRows({2});
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(ClipboardText(), QStringLiteral("before")) << "a row waits for its paste, off the clipboard";
    ASSERT_EQ(grid->GetCopiedCells().size(), 4u);

    SelectRows({7, 5});
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    std::vector<std::tuple<int, int, int, QString>> expected;
    for (int row : {5, 7}) {
        for (int col = 1; col <= 4; ++col) {
            expected.emplace_back(GRIDN_BEGINEDIT, row, col, QString());
            expected.emplace_back(GRIDN_ENDEDIT, row, col, GridTestOwner::DefaultText(2, col));
        }
    }
    EXPECT_EQ(Edits(), expected);
    EXPECT_EQ(grid->GetItemText(5, 3), QStringLiteral("r2c3")) << "the grid shows what the owner stored";
    EXPECT_EQ(ClipboardText(), QStringLiteral("r2c4")) << "the clipboard ends with the last copied value";

    // Onto its own row: every cell is offered, none changes.
    SelectRows({2});
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(owner.Heard(GRIDN_BEGINEDIT).size(), 4u);
    EXPECT_TRUE(owner.Heard(GRIDN_ENDEDIT).empty());
}

TEST_F(GridClipboard, ARowPastedAfterASortBringsTheCopiedRecordsValues)
{
    Build(true);
    SelectRows({2});
    Key(Qt::Key_C, Qt::ControlModifier);

    // Descending: displayed row 2 now shows another record.
    ASSERT_TRUE(grid->SortByColumn(2, 2));
    ASSERT_NE(grid->GetDataRow(2), 2);
    SelectRows({1, 3});
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);

    const std::vector<GRID_NOTIFY> ends = owner.Heard(GRIDN_ENDEDIT);
    ASSERT_EQ(ends.size(), 8u);
    for (const GRID_NOTIFY& end : ends) {
        EXPECT_EQ(end.text1, GridTestOwner::DefaultText(2, end.column)) << end.row << "/" << end.column;
        EXPECT_EQ(end.dataRow, grid->GetDataRow(end.row));
    }
    EXPECT_EQ(stored.count({2, 3}), 0u) << "the record shown at the copied place now is left alone";
}

TEST_F(GridClipboard, NothingSelectedCopiesAndPastesNothing)
{
    Build(false);
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(ClipboardText(), QStringLiteral("before"));
    Key(Qt::Key_V, Qt::ControlModifier);
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_TRUE(Edits().empty());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(grid->CopyCellToDataSource(-1, -1), nullptr);

    // A copied row with nothing to paste it onto.
    grid->SetListMode(true);
    SelectRows({2});
    Key(Qt::Key_C, Qt::ControlModifier);
    grid->SelectRows(nullptr);
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Edits().empty());
    EXPECT_EQ(ClipboardText(), QStringLiteral("before"));
}

TEST_F(GridClipboard, CellsOfTwoRowsCannotBeCopied)
{
    Build(false);
    // A row copied before: the failed copy forgets it.
    grid->SelectCellRange(2, 2, 2, 4, false, true);
    Key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(grid->GetCopiedCells().size(), 3u);

    grid->SelectCellRange(2, 2, 3, 3, false, true);
    Key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error"));
    EXPECT_EQ(boxes[0].caption, CUiMessage::DefaultCaption());
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(ClipboardText(), QStringLiteral("before"));
    EXPECT_TRUE(grid->GetCopiedCells().empty());

    // So a paste now takes the clipboard's text into each selected cell.
    grid->SelectCellRange(6, 2, 6, 3, false, true);
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(owner.Heard(GRIDN_ENDEDIT).size(), 2u);
    EXPECT_EQ(owner.Heard(GRIDN_ENDEDIT)[1].text1, QStringLiteral("before"));
}

TEST_F(GridClipboard, PastedTextKeepsItsFirstLineWithoutBlanks)
{
    Build(false);
    grid->SelectCellRange(3, 2, 3, 2, false, true);
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("  abc \r\n"), QStringLiteral("abc")},
        {QStringLiteral("\r\n first \r\nsecond"), QStringLiteral("first")},
        {QStringLiteral("x\ny"), QStringLiteral("x")},
    };
    for (const auto& [text, value] : cases) {
        SetClipboardText(text);
        owner.ResetCounts();
        Key(Qt::Key_V, Qt::ControlModifier);
        ASSERT_EQ(owner.Heard(GRIDN_ENDEDIT).size(), 1u) << text.toStdString();
        EXPECT_EQ(owner.Heard(GRIDN_ENDEDIT)[0].text1, value);
    }
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("x"));

    // Blank text changes nothing and asks nobody; Shift+Insert pastes too.
    for (const QString& blank : {QStringLiteral("   "), QStringLiteral(" \r\n\t")}) {
        SetClipboardText(blank);
        owner.ResetCounts();
        Key(Qt::Key_Insert, Qt::ShiftModifier);
        EXPECT_TRUE(Edits().empty());
    }
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("x"));
}

TEST_F(GridClipboard, ReadOnlyAndTickedCellsTakeOnlyWhatTheyMay)
{
    Build(true);
    // Column 3 read-only (the owner's grey look), column 4 a check cell.
    grid->SetColumnItemData(3, 1);
    owner.colour = [](GRID_DISPINFO& info) {
        if (info.column == 3)
            info.state |= GVIS_READONLY;
    };
    grid->SetColumnCellType(4, &CGridCellCheck::GetThisClass());
    owner.text = [this](int dataRow, int col) {
        const auto it = stored.find({dataRow, col});
        if (it != stored.end())
            return it->second;
        return col == 4 ? QStringLiteral("0") : GridTestOwner::DefaultText(dataRow, col);
    };
    grid->Refresh();

    SelectRows({4});
    SetClipboardText(QStringLiteral("abc"));
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    using Edit = std::tuple<int, int, int, QString>;
    EXPECT_EQ(Edits(), (std::vector<Edit>{{GRIDN_BEGINEDIT, 4, 1, QString()},
                                          {GRIDN_ENDEDIT, 4, 1, QStringLiteral("abc")},
                                          {GRIDN_BEGINEDIT, 4, 2, QString()},
                                          {GRIDN_ENDEDIT, 4, 2, QStringLiteral("abc")}}))
        << "neither the read-only cell nor the tick is offered \"abc\"";
    EXPECT_EQ(grid->GetItemText(4, 3), QStringLiteral("r4c3"));

    // A tick takes "1".
    SetClipboardText(QStringLiteral(" 1 "));
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(stored[std::make_pair(4, 4)], QStringLiteral("1"));
    EXPECT_EQ(owner.Heard(GRIDN_ENDEDIT).size(), 3u);
}

TEST_F(GridClipboard, CutAndAGridThatIsNotEditableChangeNothing)
{
    Build(false);
    grid->SelectCellRange(3, 2, 3, 3, false, true);
    Key(Qt::Key_X, Qt::ControlModifier);
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(Edits().empty());
    EXPECT_EQ(ClipboardText(), QStringLiteral("before"));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("r3c2"));

    grid->SetEditable(false);
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Edits().empty());
}

TEST_F(GridClipboard, AnOwnerThatRefillsWhileStoringStillGetsEveryTarget)
{
    // The record views refill their grid and clear its selection each time
    // they store an edit.
    Build(true);
    onEnd = [this] {
        grid->SelectRows(nullptr);
        grid->SetRowCount(grid->GetRowCount());
        grid->Refresh();
    };
    SelectRows({2});
    Key(Qt::Key_C, Qt::ControlModifier);
    SelectRows({4, 5, 6});
    owner.ResetCounts();
    Key(Qt::Key_V, Qt::ControlModifier);
    for (int row : {4, 5, 6}) {
        for (int col = 1; col <= 4; ++col)
            EXPECT_EQ(stored[std::make_pair(row, col)], GridTestOwner::DefaultText(2, col)) << row << "/" << col;
    }

    // One value into many cells.
    grid->SelectRows(nullptr);
    SetClipboardText(QStringLiteral("one"));
    grid->SelectCellRange(8, 2, 8, 2, false, true);
    Key(Qt::Key_C, Qt::ControlModifier);
    SetClipboardText(QStringLiteral("one"));
    SelectRows({9, 10});
    Key(Qt::Key_V, Qt::ControlModifier);
    for (int row : {9, 10}) {
        for (int col = 1; col <= 4; ++col)
            EXPECT_EQ(stored[std::make_pair(row, col)], QStringLiteral("one")) << row << "/" << col;
    }
}

TEST_F(GridClipboard, APasteIntoACellBeingEditedGoesToItsEditor)
{
    Build(false);
    grid->SetColumnCellType(2, &CGridCell::GetThisClass());
    grid->Refresh();
    Click(3, 2);
    Key(Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid->GetActiveEditor());
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("ab"));
    editor->setCursorPosition(1);

    SetClipboardText(QStringLiteral("XY"));
    owner.ResetCounts();
    grid->PasteClipboard();
    EXPECT_EQ(editor->text(), QStringLiteral("aXYb"));
    EXPECT_TRUE(Edits().empty()) << "the cell changes when the edit ends, not before";
}

TEST_F(GridClipboard, TheEditCommandsRunOnlyWhenTheirRulesAllow)
{
    Build(true);
    grid->SetColumnItemData(3, 1);
    owner.colour = [](GRID_DISPINFO& info) {
        if (info.column == 3)
            info.state |= GVIS_READONLY;
    };
    grid->Refresh();
    using Grid = CGridCtrl;
    const int commands[] = {Grid::ID_EDIT_COPY, Grid::ID_EDIT_CUT, Grid::ID_EDIT_PASTE, Grid::ID_EDIT_SELECT_ALL};
    auto enabled = [&]() {
        std::vector<bool> states;
        for (int id : commands) {
            states.push_back(grid->IsEditCommandEnabled(id));
            EXPECT_EQ(grid->GetEditAction(id)->isEnabled(), states.back()) << id;
        }
        return states;
    };
    EXPECT_EQ(grid->GetEditAction(4711), nullptr);
    EXPECT_FALSE(grid->OnEditCommand(4711));

    // (what happened before, copy, cut, paste, select all)
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, false, true})) << "nothing selected, no focus";
    Click(4, 2);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true})) << "a row, an editable focus cell";
    grid->SetEditable(false);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, false, false, true})) << "a grid that takes no edits";
    grid->SetEditable(true);
    grid->MoveFocusCell(4, 3);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false, true})) << "a read-only focus cell";
    grid->MoveFocusCell(4, 2);
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false, true})) << "no text to paste";

    // A command that its rule refuses does nothing, even from an action
    // enabled a while ago.
    QAction* paste = grid->GetEditAction(Grid::ID_EDIT_PASTE);
    SetClipboardText(QStringLiteral("pasted"));
    grid->UpdateEditActions();
    EXPECT_TRUE(paste->isEnabled());
    grid->MoveFocusCell(4, 3);
    owner.ResetCounts();
    paste->trigger();
    EXPECT_TRUE(Edits().empty());
    grid->MoveFocusCell(4, 2);
    EXPECT_TRUE(grid->OnEditCommand(Grid::ID_EDIT_PASTE));
    EXPECT_EQ(stored[std::make_pair(4, 2)], QStringLiteral("pasted"));

    grid->GetEditAction(Grid::ID_EDIT_SELECT_ALL)->trigger();
    EXPECT_EQ(SelectedRows().size(), 19);
    EXPECT_TRUE(grid->OnEditCommand(Grid::ID_EDIT_COPY));
    ASSERT_EQ(boxes.size(), 1u) << "cells of several rows are not copied";
    EXPECT_TRUE(grid->OnEditCommand(Grid::ID_EDIT_CUT));
    EXPECT_EQ(grid->GetItemText(4, 2), QStringLiteral("pasted")) << "cutting changes nothing";
}
