#pragma once

#include "CGridCell.h"

#include <QPoint>

#include <vector>

// A text cell that records every edit start instead of opening an editor.
class CEditRecordingCell : public CGridCell
{
    DECLARE_GRIDCELL(CEditRecordingCell)

public:
    struct Start
    {
        int row;
        int col;
        QPoint point;
        quint32 id;
        CGridEditKey key;
    };

    bool Edit(int row, int col, QRect rect, QPoint point, quint32 id, const CGridEditKey& key) override;

    static std::vector<Start>& Starts();
};
