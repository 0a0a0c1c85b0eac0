#pragma once

#include "CGridCell.h"

// A text cell whose editor takes digits only.
class CGridCellNumeric : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellNumeric)

public:
    bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key) override;

    // What the editor lets through: digits only.
    static bool IsAcceptedText(const QString& text);
};
