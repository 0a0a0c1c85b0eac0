#pragma once

#include "CGridCell.h"

// A yes/no cell: a check box ticked for the value "1". A click in the box,
// Enter or Space toggle it and report the new value to the owner as an
// ended edit.
class CGridCellCheck : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellCheck)

public:
    static constexpr int kBoxSize = 15;

    CGridCellCheck();

    void SetValue(const QString& value) override { SetValueText(value); }
    QString GetValue() const override { return GetValueText(); }
    bool IsChecked() const { return GetValueText() == QLatin1String("1"); }

    bool Draw(QPainter* painter, int row, int col, QRect rect, bool eraseBackground = true,
              COLORREF shade = 0) override;
    bool GetTextRect(QRect& rect) override;
    QSize GetCellExtent(QPainter* painter = nullptr) override;

    // "point" is relative to the cell's top left corner.
    void OnClick(QPoint point) override;
    bool OnKeyDown(int key, int repeat, quint32 flags) override;

    // The box within a cell of this size, relative to its top left corner.
    QRect CheckBoxRect(QSize cellSize) const;

private:
    void Toggle();

    QRect m_rectBox;
};
