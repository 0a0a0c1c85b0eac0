#pragma once

#include "CDialogSetup.h"
#include "CGridCtrl.h"
#include "GridTestCells.h"
#include "GridTestOwner.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

// Opens the grid's protected input steps to the tests.
class InputGrid : public CGridCtrl
{
public:
    using CGridCtrl::CGridCtrl;
    using CGridCtrl::OnAutoScrollTimer;
    using CGridCtrl::OnGridKeyDown;
};

// A record view's grid, shown and active: virtual and list mode, editable,
// 1 header row of 30 px, rows of 18 px, a 10-px number column and columns
// of 60 px (column 1 the title column); every data cell records its edit
// starts.
class GridInputTest : public ::testing::Test
{
protected:
    void Build(int rows, int cols, QSize size = QSize(400, 300), bool listMode = true,
               CDialogSetup* store = nullptr)
    {
        grid = new InputGrid(store, QStringLiteral("05"), QStringLiteral("0"), 0, 0, 0, 0, &owner);
        grid->SetListMode(listMode);
        grid->SetVirtualMode(true);
        grid->SetColumnCount(cols);
        grid->SetRowCount(rows);
        grid->SetFixedRowCount(1);
        grid->SetFixedColumnCount(1);
        grid->SetEditable(true);
        grid->SetRowHeight(0, 30, false);
        grid->SetTitleMode(1, QStringLiteral("t1"), QStringLiteral("t2"));
        grid->SetColumnWidth(0, 10, true, false);
        grid->SetRowHeight(1, 18, false);
        for (int col = 0; col < cols; ++col) {
            grid->GetCell(0, col);
            grid->SetColumnTitle(col, QStringLiteral("Col %1").arg(col));
            if (col > 0) {
                grid->SetColumnCellType(col, &CEditRecordingCell::GetThisClass());
                grid->SetColumnWidth(col, 60, true, false);
            }
        }
        grid->SetDlgCtrlID(1005);
        owner.resize(size);
        grid->setGeometry(QRect(QPoint(0, 0), size));
        owner.show();
        owner.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
        grid->setFocus();
        QCoreApplication::processEvents();
        grid->ResetScrollBars();
        owner.ResetCounts();
        CEditRecordingCell::Starts().clear();
    }

    void TearDown() override { CEditRecordingCell::Starts().clear(); }

    QWidget* View() const { return grid->viewport(); }

    // A point inside a cell, "dx" pixels from its left edge (the middle
    // when -1).
    QPoint At(int row, int col, int dx = -1) const
    {
        QRect rect;
        EXPECT_TRUE(grid->GetCellRect(row, col, &rect)) << row << "/" << col;
        return QPoint(dx < 0 ? rect.center().x() : rect.left() + dx, rect.center().y());
    }

    void Click(int row, int col, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(View(), Qt::LeftButton, modifiers, At(row, col));
    }

    // The body rows with a selected cell.
    QList<uint> SelectedRows() const
    {
        QList<uint> rows;
        grid->GetSelectedRows(&rows, false);
        return rows;
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(grid, Qt::Key(key), modifiers);
    }

    GridTestOwner owner;
    InputGrid* grid = nullptr;
};

// Readable notification codes and positions in failures.
inline std::vector<std::tuple<int, int, int>> Calls(const std::vector<GRID_NOTIFY>& heard)
{
    std::vector<std::tuple<int, int, int>> calls;
    for (const GRID_NOTIFY& notify : heard)
        calls.emplace_back(notify.hdr.code, notify.row, notify.column);
    return calls;
}
