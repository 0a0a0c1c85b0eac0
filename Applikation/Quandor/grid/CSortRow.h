#pragma once

#include <QStringList>
#include <QStringView>

#include <algorithm>

// One row to be sorted: its texts, in the order they are compared, and the
// row's position in the sorter's input. A row looks at the caller's texts,
// which stay unchanged while the sort runs, instead of copying them: a sort
// of 100,000 rows would otherwise spend much of its time counting
// references to the texts up and down again.
class CSortRow
{
public:
    CSortRow() = default;
    // A null "texts" gives a row without texts.
    CSortRow(const QStringList* texts, uint index);

    uint GetIndex() const { return m_nIndex; }

    // Text by text, case-sensitive and by character code. A row that equals
    // the start of a longer row compares equal to it. A row without texts
    // compares like a row holding one empty text: otherwise it would be
    // neither before nor after anything, and no order could hold it.
    int Compare(const CSortRow& other) const
    {
        // The first text is at hand in the row itself: most rows differ
        // there, and a sort compares rows far more often than it moves them.
        const int first = m_first.compare(other.m_first, Qt::CaseSensitive);
        if (first != 0 || !m_texts || !other.m_texts)
            return first;
        const qsizetype count = std::min(m_texts->size(), other.m_texts->size());
        for (qsizetype i = 1; i < count; ++i) {
            const int order = m_texts->at(i).compare(other.m_texts->at(i), Qt::CaseSensitive);
            if (order != 0)
                return order;
        }
        return 0;
    }
    bool IsBeforeOrEqual(const CSortRow& other) const { return Compare(other) <= 0; }
    bool IsAfterOrEqual(const CSortRow& other) const { return Compare(other) >= 0; }

private:
    QStringView m_first;
    const QStringList* m_texts = nullptr;
    uint m_nIndex = 0;
};
