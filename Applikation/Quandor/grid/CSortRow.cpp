#include "CSortRow.h"

CSortRow::CSortRow(const QStringList* texts, uint index) : m_nIndex(index)
{
    if (texts)
        m_texts = *texts;
}

const QString& CSortRow::EmptyText()
{
    static const QString empty(QLatin1String(""));
    return empty;
}
