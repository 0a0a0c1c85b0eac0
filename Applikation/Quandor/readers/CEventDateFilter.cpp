#include "CEventDateFilter.h"

#include "CEventRecord.h"

CEventDateFilter::CEventDateFilter(bool on, const QString& fromDDMMYY, const QString& toDDMMYY)
{
    if (!on || fromDDMMYY.isEmpty() || toDDMMYY.isEmpty())
        return;
    const int from = BoundKey(fromDDMMYY);
    const int to = BoundKey(toDDMMYY);
    if (from < 0 || to < 0)
        return;
    m_on = true;
    m_from = from;
    m_to = to;
}

int CEventDateFilter::BoundKey(const QString& ddmmyy)
{
    if (ddmmyy.size() != 6)
        return -1;
    for (QChar c : ddmmyy) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    return DateKey(ddmmyy.left(2).toInt(), ddmmyy.mid(2, 2).toInt(), CEventRecord::FullYear(ddmmyy.mid(4, 2).toInt()));
}

bool CEventDateFilter::Passes(int day, int month, int fullYear) const
{
    if (!m_on)
        return true;
    const int key = DateKey(day, month, fullYear);
    return key >= m_from && key <= m_to;
}
