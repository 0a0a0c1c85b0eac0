#pragma once

#include "CGridCell.h"

// A push button in a cell. A click, Enter or Space report GRIDN_BUTTONCLICK
// to the owner with the cell's value text; the cell has no editor.
class CGridCellButton : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellButton)

public:
    CGridCellButton();

    bool Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground = true,
              COLORREF shade = 0) override;
    bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key) override;
    void EndEdit() override {}
    void OnClick(QPoint point) override;
    bool OnKeyDown(int key, int repeat, quint32 flags) override;

private:
    void Press();
};
