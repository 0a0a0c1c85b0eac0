#include "CSortRow.h"

CSortRow::CSortRow(const QStringList* texts, uint index) : m_first(u""), m_nIndex(index)
{
    if (!texts || texts->isEmpty())
        return;
    m_first = texts->front();
    m_texts = texts;
}
