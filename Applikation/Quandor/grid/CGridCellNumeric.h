#pragma once

#include "CGridCell.h"

// A text cell whose editor takes digits only.
class CGridCellNumeric : public CGridCell
{
    DECLARE_GRIDCELL(CGridCellNumeric)

public:
    // What the editor lets through: digits only.
    static bool IsAcceptedText(const QString& text);
};
