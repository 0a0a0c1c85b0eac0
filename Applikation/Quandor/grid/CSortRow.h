#pragma once

#include <QStringList>

#include <algorithm>

// One row to be sorted: copies of its texts, in the order they are compared,
// and the row's position in the sorter's input.
class CSortRow
{
public:
    // A null "texts" gives a row without texts.
    CSortRow(const QStringList* texts, uint index);

    uint GetIndex() const { return m_nIndex; }
    const QStringList& GetTexts() const { return m_texts; }

    // Text by text, case-sensitive and by character code. A row that equals
    // the start of a longer row compares equal to it. A row without texts
    // compares like a row holding one empty text: otherwise it would be
    // neither before nor after anything, and no order could hold it.
    int Compare(const CSortRow& other) const
    {
        const qsizetype count = std::min(TextCount(), other.TextCount());
        for (qsizetype i = 0; i < count; ++i) {
            const int order = Text(i).compare(other.Text(i), Qt::CaseSensitive);
            if (order != 0)
                return order;
        }
        return 0;
    }
    bool IsBeforeOrEqual(const CSortRow& other) const { return Compare(other) <= 0; }
    bool IsAfterOrEqual(const CSortRow& other) const { return Compare(other) >= 0; }

private:
    qsizetype TextCount() const { return m_texts.isEmpty() ? 1 : m_texts.size(); }
    const QString& Text(qsizetype i) const { return m_texts.isEmpty() ? EmptyText() : m_texts.at(i); }
    static const QString& EmptyText();

    QStringList m_texts;
    uint m_nIndex;
};
