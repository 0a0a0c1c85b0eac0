#include "CGridCellNumeric.h"

IMPLEMENT_GRIDCELL(CGridCellNumeric, CGridCell)

bool CGridCellNumeric::IsAcceptedText(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}
