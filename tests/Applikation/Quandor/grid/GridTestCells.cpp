#include "GridTestCells.h"

IMPLEMENT_GRIDCELL(CEditRecordingCell, CGridCell)

bool CEditRecordingCell::Edit(int row, int col, QRect, QPoint point, quint32 id, const CGridEditKey& key)
{
    Starts().push_back({row, col, point, id, key});
    return true;
}

std::vector<CEditRecordingCell::Start>& CEditRecordingCell::Starts()
{
    static std::vector<Start> starts;
    return starts;
}
