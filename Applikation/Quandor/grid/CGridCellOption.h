#pragma once

#include "CGridCell.h"

// A text cell with an option mark in front of it.
class CGridCellOption : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellOption)

public:
    static constexpr int kMarkSize = 15;

    bool IsSelectedOption() const { return m_bSelected; }
    void SetSelectedOption(bool on) { m_bSelected = on; }
    // Toggles the mark when "point" (relative to the cell) lies on it; the
    // state before.
    bool ToggleAt(QPoint point);
    QRect MarkRect() const;

    bool Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground = true,
              COLORREF shade = 0) override;
    bool GetTextRect(QRect& rect) override;
    QSize GetCellExtent(QPainter* painter = nullptr) override;
    void CopyFrom(const CGridCellBase& source) override;

private:
    bool m_bSelected = false;
};
