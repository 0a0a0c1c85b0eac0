#include "CRowView.h"

#include "CFieldExchange.h"

#include <limits>

namespace {

bool fits32(qint64 n)
{
    return n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
}

} // namespace

qint32 CRowView::Long(int c) const
{
    const Cell& cell = m_cells[c];
    if (cell.value)
        return CFieldExchange::ToLong(*cell.value);
    return cell.null ? 0 : static_cast<qint32>(cell.number);
}

int CRowView::Bool(int c) const
{
    const Cell& cell = m_cells[c];
    if (cell.value)
        return CFieldExchange::ToBool(*cell.value);
    return !cell.null && cell.number != 0 ? 1 : 0;
}

QString CRowView::Text(int c) const
{
    const Cell& cell = m_cells[c];
    if (cell.value)
        return CFieldExchange::ToText(*cell.value);
    return cell.chars.toString();
}

QVariant CRowView::Value(int c) const
{
    const Cell& cell = m_cells[c];
    if (cell.value)
        return *cell.value;
    if (cell.null)
        return cell.text ? QVariant(QMetaType::fromType<QString>()) : QVariant(QMetaType::fromType<int>());
    if (cell.text)
        return cell.chars.toString();
    return fits32(cell.number) ? QVariant(int(cell.number)) : QVariant(qlonglong(cell.number));
}

bool CRowView::FitsLong(int c) const
{
    const Cell& cell = m_cells[c];
    if (cell.value)
        return CFieldExchange::FitsLong(*cell.value);
    return cell.null || fits32(cell.number);
}
